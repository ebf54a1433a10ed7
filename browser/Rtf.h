#pragma once
// Reader and writer of the notes' rich text: RTF as a Windows rich-edit
// control writes and reads it.
#include "browser/RichText.h"

#include <string>
#include <string_view>

namespace qv {

// Whether bytes hold RTF: "{\rtf" after any leading blanks.
bool IsRtf(std::string_view bytes);

// Reads RTF: groups, control words, the font and colour tables, \'xx
// escapes in the font's or the document's code page (1250 unless told
// otherwise), \uN with \ucN, bold, italic, underline, strike-out, font,
// size, colour, alignment, \par, \line and \tab. Ignorable destinations
// ({\*...}) and other destinations that hold no text are skipped, unknown
// control words ignored. Never fails: damaged input gives what could be
// read. Bytes that are not RTF are read as Windows-1250 plain text.
TRichDocument ReadRtf(std::string_view bytes);

// Writes a document as RTF in code page 1250: a font table of the fonts
// used, \'xx for the characters of the code page and \uN? for the others.
// Reading the result gives the document back.
std::string WriteRtf(const TRichDocument& doc);

// Sizes in half points as both sides keep them: 1 to 3276, 24 for none.
int ClampHalfPoints(long long halfPoints);

} // namespace qv
