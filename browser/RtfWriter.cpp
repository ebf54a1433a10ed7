// RTF writer: the subset the reader takes, laid out the way a Windows
// rich-edit control writes it, so that word processors and older copies of
// the program open it.
#include "browser/Rtf.h"

#include "browser/RtfCodePage.h"

#include <QHash>
#include <cstdint>

namespace qv {

namespace {

class Writer {
public:
    explicit Writer(const TRichDocument& doc) : doc_(doc) {}

    std::string Run()
    {
        Collect();
        out_.reserve(256 + Estimate());
        out_ += "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl";
        for (int i = 0; i < fonts_.size(); ++i) {
            out_ += "{\\f";
            Number(i);
            out_ += "\\fnil\\fcharset238 ";
            for (QChar c : fonts_[i])
                if (c != QLatin1Char(';'))
                    Character(c.unicode());
            out_ += ";}";
        }
        out_ += "}\r\n";
        if (!colours_.empty()) {
            out_ += "{\\colortbl ;";
            for (std::uint32_t c : colours_) {
                out_ += "\\red";
                Number(int(c >> 16 & 0xFF));
                out_ += "\\green";
                Number(int(c >> 8 & 0xFF));
                out_ += "\\blue";
                Number(int(c & 0xFF));
                out_ += ';';
            }
            out_ += "}\r\n";
        }
        out_ += "\\viewkind4\\uc1";
        space_ = true;
        int align = -1;
        for (const TRichParagraph& p : doc_.Paragraphs) {
            if (p.Align != align) {
                align = p.Align;
                Word("\\pard");
                switch (align) {
                case AlignCenter: Word("\\qc"); break;
                case AlignRight: Word("\\qr"); break;
                case AlignJustify: Word("\\qj"); break;
                default: break;
                }
            }
            for (const TRichRun& r : p.Runs) {
                Format(r.Format);
                for (QChar c : r.Text)
                    Character(c.unicode());
            }
            Word("\\par");
            out_ += "\r\n";
            space_ = false;
        }
        out_ += '}';
        return std::move(out_);
    }

private:
    void Collect()
    {
        for (const TRichParagraph& p : doc_.Paragraphs)
            for (const TRichRun& r : p.Runs) {
                if (!fontIndex_.contains(r.Format.Font)) {
                    fontIndex_.insert(r.Format.Font, static_cast<int>(fonts_.size()));
                    fonts_.push_back(r.Format.Font);
                }
                if (r.Format.Colour != kAutoColour && !colourIndex_.contains(r.Format.Colour)) {
                    colours_.push_back(r.Format.Colour);
                    colourIndex_.insert(r.Format.Colour, static_cast<int>(colours_.size()));
                }
            }
        if (fonts_.isEmpty())
            fonts_.push_back(QString::fromLatin1(kNotesFontName));
    }

    std::size_t Estimate() const
    {
        std::size_t n = 0;
        for (const TRichParagraph& p : doc_.Paragraphs) {
            n += 16;
            for (const TRichRun& r : p.Runs)
                n += static_cast<std::size_t>(r.Text.size()) + 24;
        }
        return n + n / 4;
    }

    // Writes the control words that change the current character format.
    void Format(const TRichFormat& f)
    {
        const int font = fontIndex_.value(f.Font);
        if (font != font_) {
            font_ = font;
            Word("\\f");
            Number(font);
        }
        const int size = ClampHalfPoints(f.HalfPoints);
        if (size != size_) {
            size_ = size;
            Word("\\fs");
            Number(size);
        }
        const int colour = f.Colour == kAutoColour ? 0 : colourIndex_.value(f.Colour);
        if (colour != colour_) {
            colour_ = colour;
            Word("\\cf");
            Number(colour);
        }
        Toggle(bold_, f.Bold, "\\b", "\\b0");
        Toggle(italic_, f.Italic, "\\i", "\\i0");
        Toggle(underline_, f.Underline, "\\ul", "\\ulnone");
        Toggle(strike_, f.Strike, "\\strike", "\\strike0");
    }

    void Toggle(bool& current, bool wanted, const char* on, const char* off)
    {
        if (current != wanted) {
            current = wanted;
            Word(wanted ? on : off);
        }
    }

    // A control word; text after it needs a blank to end it.
    void Word(const char* w)
    {
        out_ += w;
        space_ = true;
    }

    void Number(int n)
    {
        char buf[16];
        int len = 0;
        unsigned int u = n < 0 ? 0u - static_cast<unsigned int>(n) : static_cast<unsigned int>(n);
        do {
            buf[len++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u);
        if (n < 0)
            out_ += '-';
        while (len)
            out_ += buf[--len];
    }

    void Character(char16_t c)
    {
        static const char* const hex = "0123456789abcdef";
        if (c >= 0x20 && c < 0x80) {
            if (space_) {
                out_ += ' ';
                space_ = false;
            }
            if (c == u'\\' || c == u'{' || c == u'}')
                out_ += '\\';
            out_ += static_cast<char>(c);
            return;
        }
        if (c == u'\t') {
            Word("\\tab");
            return;
        }
        if (c == 0x2028) {
            Word("\\line");
            return;
        }
        const int b = c < 0x20 ? -1 : rtf::Cp1250Byte(c);
        if (b >= 0) {
            out_ += "\\'";
            out_ += hex[b >> 4];
            out_ += hex[b & 15];
        } else {
            out_ += "\\u";
            Number(c < 0x8000 ? int(c) : int(c) - 0x10000);
            out_ += '?';
        }
        space_ = false;
    }

    const TRichDocument& doc_;
    std::string out_;
    QList<QString> fonts_;
    QHash<QString, int> fontIndex_;
    std::vector<std::uint32_t> colours_;
    QHash<std::uint32_t, int> colourIndex_;
    bool space_ = false;
    int font_ = -1;
    int size_ = -1;
    int colour_ = 0;
    bool bold_ = false, italic_ = false, underline_ = false, strike_ = false;
};

} // namespace

std::string WriteRtf(const TRichDocument& doc) { return Writer(doc).Run(); }

} // namespace qv
