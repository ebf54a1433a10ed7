#pragma once
// The 8-bit code pages of the notes: Windows-1250 (Central European, the
// notes' own) and Windows-1252 (Western).
#include <array>

namespace qv::rtf {

using TCodePage = std::array<char16_t, 256>;

const TCodePage& CodePage1250();
const TCodePage& CodePage1252();
// The table of a code page number; 1250 for any other number.
const TCodePage& CodePageOf(int codePage);
// The code page of an \fcharset value; 0 when the charset names none of
// ours (the document's code page applies).
int CodePageOfCharset(int charset);
// Windows-1250 byte of a character, or -1 when the code page lacks it.
int Cp1250Byte(char16_t c);

} // namespace qv::rtf
