#pragma once
// Flight notes between the bytes of a flight file and a text document.
// Notes are RTF as the notes editor has always saved them; notes of other
// kinds are shown as they are and become RTF once edited.
#include "browser/RichText.h"

#include <QString>
#include <Qt>
#include <string>
#include <string_view>

class QTextDocument;

namespace qv {

enum class TNotesKind {
    Empty,
    Plain, // text without formatting
    Rtf,
    Html   // the HTML document some builds of the program saved instead of RTF
};

TNotesKind NotesKindOf(std::string_view bytes);

// The formatted text of notes of any kind.
TRichDocument ReadNotes(std::string_view bytes);
// The notes as plain text.
QString NotesPlainText(std::string_view bytes);
// The RTF the program saves for notes after reading them.
std::string NotesAsRtf(std::string_view bytes);
// Notes that hold one plain paragraph of text, as the editor saves them.
std::string PlainNotes(const QString& text);

// Paragraph alignment of the text document and of the formatted text.
int AlignmentTag(Qt::Alignment alignment);
Qt::Alignment QtAlignment(int tag);

// A text document and its formatted text.
TRichDocument RichFromDocument(const QTextDocument& doc);
void RichToDocument(const TRichDocument& rich, QTextDocument& doc);

// Fills doc from the notes bytes: formatted text for RTF, the text itself
// for plain notes.
void LoadNotes(std::string_view bytes, QTextDocument& doc);
// The bytes edited notes are saved as (RTF).
std::string SaveNotes(const QTextDocument& doc);

} // namespace qv
