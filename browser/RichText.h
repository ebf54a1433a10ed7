#pragma once
// Formatted notes as the RTF reader produces them and the writer takes
// them: paragraphs of runs of equally formatted text.
#include <QString>
#include <cstdint>
#include <vector>

namespace qv {

// Paragraph alignment; the values are the tags of the alignment tools.
enum TAlignment { AlignLeft = 0, AlignRight = 1, AlignCenter = 2, AlignJustify = 3 };

// Colour of text drawn in the window's text colour.
constexpr std::uint32_t kAutoColour = 0xFFFFFFFFu;

struct TRichFormat {
    QString Font;               // family name
    int HalfPoints = 24;        // size in half points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strike = false;
    std::uint32_t Colour = kAutoColour; // 0xRRGGBB or kAutoColour

    bool operator==(const TRichFormat& o) const
    {
        return HalfPoints == o.HalfPoints && Bold == o.Bold && Italic == o.Italic && Underline == o.Underline &&
               Strike == o.Strike && Colour == o.Colour && Font == o.Font;
    }
    bool operator!=(const TRichFormat& o) const { return !(*this == o); }
};

struct TRichRun {
    TRichFormat Format;
    QString Text; // a tab is '\t', a line break inside a paragraph U+2028
    bool operator==(const TRichRun& o) const { return Format == o.Format && Text == o.Text; }
};

struct TRichParagraph {
    int Align = AlignLeft;
    std::vector<TRichRun> Runs;
    QString Text() const;
    bool operator==(const TRichParagraph& o) const { return Align == o.Align && Runs == o.Runs; }
};

struct TRichDocument {
    std::vector<TRichParagraph> Paragraphs;
    bool operator==(const TRichDocument& o) const { return Paragraphs == o.Paragraphs; }
    // Paragraphs joined by '\n', line breaks as '\n'.
    QString PlainText() const;
    // One paragraph per line of text ("\r\n", "\n" or "\r" ends a line),
    // all in one format.
    static TRichDocument FromPlainText(const QString& text, const TRichFormat& format);
};

// The font new notes are typed in.
inline const char* const kNotesFontName = "Arial";
constexpr int kNotesFontPoints = 10;
TRichFormat NotesDefaultFormat();

} // namespace qv
