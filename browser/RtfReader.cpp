// RTF reader: one pass over the bytes with an explicit stack of group
// states, so that neither deep nesting nor damaged input can exhaust the
// call stack; memory grows with the input only.
#include "browser/Rtf.h"

#include "browser/RtfCodePage.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <unordered_map>

namespace qv {

namespace {

using rtf::TCodePage;

enum class Dest : unsigned char { Text, Skip, FontTable, ColourTable };

struct State {
    int font = -1;    // -1: the default font
    int halfPoints = 24;
    int colour = 0;   // index into the colour table, 0: automatic
    int align = AlignLeft;
    int uc = 1;       // characters that stand in for each \uN
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    Dest dest = Dest::Text;
};

struct Font {
    QString name;
    int codePage = 0; // 0: the document's
    bool named = false;
};

enum class Cmd : unsigned char {
    Ignore, AnsiCpg, Deff, FontTbl, ColorTbl, SkipDest, F, Fs, FCharset, B, I, Ul, UlNone, Strike, Cf, Plain,
    Pard, Ql, Qc, Qr, Qj, Par, Line, Tab, U, Uc, Bin, Red, Green, Blue, Char
};

struct Word {
    Cmd cmd;
    char16_t ch = 0;
};

const std::unordered_map<std::string_view, Word>& words()
{
    static const std::unordered_map<std::string_view, Word> table = {
        {"ansicpg", {Cmd::AnsiCpg}}, {"deff", {Cmd::Deff}}, {"fonttbl", {Cmd::FontTbl}},
        {"colortbl", {Cmd::ColorTbl}}, {"f", {Cmd::F}}, {"fs", {Cmd::Fs}}, {"fcharset", {Cmd::FCharset}},
        {"b", {Cmd::B}}, {"i", {Cmd::I}}, {"ul", {Cmd::Ul}}, {"ulnone", {Cmd::UlNone}},
        {"strike", {Cmd::Strike}}, {"cf", {Cmd::Cf}}, {"plain", {Cmd::Plain}}, {"pard", {Cmd::Pard}},
        {"ql", {Cmd::Ql}}, {"qc", {Cmd::Qc}}, {"qr", {Cmd::Qr}}, {"qj", {Cmd::Qj}}, {"par", {Cmd::Par}},
        {"sect", {Cmd::Par}}, {"page", {Cmd::Par}}, {"row", {Cmd::Par}}, {"line", {Cmd::Line}},
        {"tab", {Cmd::Tab}}, {"cell", {Cmd::Tab}}, {"u", {Cmd::U}}, {"uc", {Cmd::Uc}}, {"bin", {Cmd::Bin}},
        {"red", {Cmd::Red}}, {"green", {Cmd::Green}}, {"blue", {Cmd::Blue}},
        {"emdash", {Cmd::Char, 0x2014}}, {"endash", {Cmd::Char, 0x2013}}, {"bullet", {Cmd::Char, 0x2022}},
        {"lquote", {Cmd::Char, 0x2018}}, {"rquote", {Cmd::Char, 0x2019}},
        {"ldblquote", {Cmd::Char, 0x201C}}, {"rdblquote", {Cmd::Char, 0x201D}},
        {"emspace", {Cmd::Char, 0x2003}}, {"enspace", {Cmd::Char, 0x2002}}, {"qmspace", {Cmd::Char, 0x2005}},
        // Destinations whose text is not part of the notes.
        {"stylesheet", {Cmd::SkipDest}}, {"info", {Cmd::SkipDest}}, {"pict", {Cmd::SkipDest}},
        {"header", {Cmd::SkipDest}}, {"headerl", {Cmd::SkipDest}}, {"headerr", {Cmd::SkipDest}},
        {"headerf", {Cmd::SkipDest}}, {"footer", {Cmd::SkipDest}}, {"footerl", {Cmd::SkipDest}},
        {"footerr", {Cmd::SkipDest}}, {"footerf", {Cmd::SkipDest}}, {"footnote", {Cmd::SkipDest}},
        {"object", {Cmd::SkipDest}}, {"themedata", {Cmd::SkipDest}}, {"colorschememapping", {Cmd::SkipDest}},
        {"listtable", {Cmd::SkipDest}}, {"listoverridetable", {Cmd::SkipDest}}, {"revtbl", {Cmd::SkipDest}},
        {"rsidtbl", {Cmd::SkipDest}}, {"generator", {Cmd::SkipDest}}, {"filetbl", {Cmd::SkipDest}},
        {"datastore", {Cmd::SkipDest}}, {"latentstyles", {Cmd::SkipDest}}, {"xmlnstbl", {Cmd::SkipDest}},
        {"fldinst", {Cmd::SkipDest}}, {"nonshppict", {Cmd::SkipDest}}, {"bkmkstart", {Cmd::SkipDest}},
        {"bkmkend", {Cmd::SkipDest}}, {"xe", {Cmd::SkipDest}}, {"tc", {Cmd::SkipDest}},
        {"annotation", {Cmd::SkipDest}}, {"atnid", {Cmd::SkipDest}}, {"atnauthor", {Cmd::SkipDest}},
    };
    return table;
}

// Bytes that end a stretch of plain text.
constexpr std::array<bool, 256> kSpecial = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 0x20; ++c)
        t[c] = true;
    t['{'] = t['}'] = t['\\'] = true;
    return t;
}();

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class Reader {
public:
    explicit Reader(std::string_view in) : p_(in.data()), end_(in.data() + in.size())
    {
        // Room for the paragraphs the text most likely holds.
        std::size_t marks = 0;
        for (std::size_t at = in.find("\\par"); at != std::string_view::npos; at = in.find("\\par", at + 4))
            ++marks;
        doc_.Paragraphs.reserve(marks + 1);
        doc_.Paragraphs.emplace_back();
    }

    TRichDocument Run()
    {
        while (p_ < end_ && !done_) {
            const char c = *p_;
            switch (c) {
            case '{':
                ++p_;
                skip_ = 0;
                stack_.push_back(st_);
                break;
            case '}':
                ++p_;
                skip_ = 0;
                if (stack_.empty())
                    break; // a stray closing brace before the document
                st_ = stack_.back();
                stack_.pop_back();
                dirty_ = true;
                done_ = stack_.empty(); // the document's own group closed
                break;
            case '\\':
                ++p_;
                Control();
                break;
            case '\t':
                ++p_;
                Put(u'\t');
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    ++p_; // line ends and other control bytes are no text
                } else if (st_.dest == Dest::Text && skip_ == 0) {
                    const char* s = p_;
                    while (p_ < end_ && !kSpecial[static_cast<unsigned char>(*p_)])
                        ++p_;
                    AppendText(s, p_);
                } else {
                    ++p_;
                    PutByte(static_cast<unsigned char>(c));
                }
            }
        }
        auto& paras = doc_.Paragraphs;
        // The paragraph mark that ends the last paragraph opens none.
        if (paras.size() > 1 && paras.back().Runs.empty())
            paras.pop_back();
        return std::move(doc_);
    }

private:
    void Control()
    {
        if (p_ >= end_)
            return;
        const char c = *p_;
        if (!IsLetter(c)) {
            ++p_;
            Symbol(c);
            return;
        }
        const char* s = p_;
        while (p_ < end_ && IsLetter(*p_))
            ++p_;
        const std::string_view word(s, static_cast<std::size_t>(p_ - s));
        bool hasParam = false;
        long long param = 0;
        bool negative = false;
        if (p_ < end_ && *p_ == '-' && p_ + 1 < end_ && IsDigit(p_[1])) {
            negative = true;
            ++p_;
        }
        while (p_ < end_ && IsDigit(*p_)) {
            hasParam = true;
            if (param < INT_MAX)
                param = param * 10 + (*p_ - '0');
            ++p_;
        }
        param = std::min<long long>(param, INT_MAX);
        if (negative)
            param = -param;
        if (p_ < end_ && *p_ == ' ')
            ++p_;
        Command(word, hasParam, static_cast<int>(param));
    }

    void Symbol(char c)
    {
        switch (c) {
        case '\'': {
            if (end_ - p_ < 2)
                break;
            const int hi = HexValue(p_[0]), lo = HexValue(p_[1]);
            if (hi < 0 || lo < 0)
                break;
            p_ += 2;
            PutByte(static_cast<unsigned char>(hi * 16 + lo));
            break;
        }
        case '\\': case '{': case '}':
            Put(static_cast<char16_t>(c));
            break;
        case '~':
            Put(0x00A0);
            break;
        case '_':
            Put(0x2011);
            break;
        case '*':
            st_.dest = Dest::Skip;
            break;
        case '\r': case '\n':
            if (!ConsumeSkip() && st_.dest == Dest::Text)
                Paragraph();
            break;
        default: // \- optional hyphen, \: index entry, \| formula and the rest
            ConsumeSkip();
            break;
        }
    }

    void Command(std::string_view word, bool hasParam, int param)
    {
        const auto& table = words();
        const auto it = table.find(word);
        Word w{Cmd::Ignore};
        if (it != table.end())
            w = it->second;
        else if (word.size() > 2 && word.substr(0, 2) == "ul" && word != "ulc")
            w = {Cmd::Ul}; // dotted, double, wave and other underlines
        if (w.cmd == Cmd::Bin) {
            const long long n = hasParam ? std::max(0, param) : 0;
            p_ += std::min<long long>(n, end_ - p_);
            ConsumeSkip();
            return;
        }
        if (ConsumeSkip())
            return;
        const bool on = !hasParam || param != 0;
        switch (w.cmd) {
        case Cmd::Ignore:
            break;
        case Cmd::AnsiCpg:
            docCp_ = param == 1252 ? 1252 : 1250;
            cpDirty_ = true;
            break;
        case Cmd::Deff:
            deff_ = param;
            dirty_ = true;
            break;
        case Cmd::FontTbl:
            st_.dest = Dest::FontTable;
            break;
        case Cmd::ColorTbl:
            st_.dest = Dest::ColourTable;
            resetColour();
            break;
        case Cmd::SkipDest:
            st_.dest = Dest::Skip;
            break;
        case Cmd::F:
            if (st_.dest == Dest::FontTable) {
                fontDef_ = param;
                fonts_[param];
            } else {
                st_.font = param;
                dirty_ = true;
            }
            break;
        case Cmd::FCharset:
            if (st_.dest == Dest::FontTable && fontDef_ != INT_MIN)
                fonts_[fontDef_].codePage = rtf::CodePageOfCharset(param);
            break;
        case Cmd::Fs:
            st_.halfPoints = ClampHalfPoints(hasParam ? param : 24);
            dirty_ = true;
            break;
        case Cmd::B:
            st_.bold = on;
            dirty_ = true;
            break;
        case Cmd::I:
            st_.italic = on;
            dirty_ = true;
            break;
        case Cmd::Ul:
            st_.underline = on;
            dirty_ = true;
            break;
        case Cmd::UlNone:
            st_.underline = false;
            dirty_ = true;
            break;
        case Cmd::Strike:
            st_.strike = on;
            dirty_ = true;
            break;
        case Cmd::Cf:
            st_.colour = param;
            dirty_ = true;
            break;
        case Cmd::Plain:
            st_.font = -1;
            st_.halfPoints = 24;
            st_.colour = 0;
            st_.bold = st_.italic = st_.underline = st_.strike = false;
            dirty_ = true;
            break;
        case Cmd::Pard:
            st_.align = AlignLeft;
            break;
        case Cmd::Ql:
            st_.align = AlignLeft;
            break;
        case Cmd::Qc:
            st_.align = AlignCenter;
            break;
        case Cmd::Qr:
            st_.align = AlignRight;
            break;
        case Cmd::Qj:
            st_.align = AlignJustify;
            break;
        case Cmd::Par:
            if (st_.dest == Dest::Text)
                Paragraph();
            break;
        case Cmd::Line:
            Put(0x2028);
            break;
        case Cmd::Tab:
            Put(u'\t');
            break;
        case Cmd::Char:
            Put(w.ch);
            break;
        case Cmd::U:
            Put(static_cast<char16_t>(std::clamp(param, -32768, 65535) & 0xFFFF));
            skip_ = st_.uc;
            break;
        case Cmd::Uc:
            st_.uc = std::max(0, param);
            break;
        case Cmd::Red:
            red_ = std::clamp(param, 0, 255);
            break;
        case Cmd::Green:
            green_ = std::clamp(param, 0, 255);
            break;
        case Cmd::Blue:
            blue_ = std::clamp(param, 0, 255);
            break;
        case Cmd::Bin:
            break;
        }
    }

    // A character, control word or escape that stands in for the last \uN
    // is dropped; returns whether this one was.
    bool ConsumeSkip()
    {
        if (skip_ == 0)
            return false;
        --skip_;
        return true;
    }

    void Paragraph()
    {
        doc_.Paragraphs.back().Align = st_.align;
        doc_.Paragraphs.emplace_back();
        dirty_ = true;
    }

    const TCodePage& fontCodePage(int font)
    {
        const auto it = fonts_.find(font);
        const int cp = it != fonts_.end() && it->second.codePage != 0 ? it->second.codePage : docCp_;
        return rtf::CodePageOf(cp);
    }

    char16_t Decode(unsigned char b)
    {
        if (b < 0x80)
            return b;
        if (st_.dest == Dest::FontTable)
            return fontCodePage(fontDef_)[b];
        if (cpDirty_ || dirty_ || !cp_) {
            cp_ = &fontCodePage(st_.font >= 0 ? st_.font : deff_);
            cpDirty_ = false;
        }
        return (*cp_)[b];
    }

    void PutByte(unsigned char b) { Put(Decode(b)); }

    void Put(char16_t c)
    {
        if (ConsumeSkip())
            return;
        switch (st_.dest) {
        case Dest::Text:
            CurrentRun().Text.append(QChar(c));
            break;
        case Dest::FontTable:
            FontChar(c);
            break;
        case Dest::ColourTable:
            if (c == u';') {
                colours_.push_back(red_ < 0 && green_ < 0 && blue_ < 0
                                       ? kAutoColour
                                       : (std::uint32_t(std::max(red_, 0)) << 16) |
                                             (std::uint32_t(std::max(green_, 0)) << 8) |
                                             std::uint32_t(std::max(blue_, 0)));
                resetColour();
            }
            break;
        case Dest::Skip:
            break;
        }
    }

    void FontChar(char16_t c)
    {
        if (fontDef_ == INT_MIN)
            return;
        Font& f = fonts_[fontDef_];
        if (f.named)
            return;
        if (c == u';') {
            f.name = f.name.trimmed();
            f.named = true;
        } else {
            f.name.append(QChar(c));
        }
    }

    void AppendText(const char* s, const char* e)
    {
        if (s == e)
            return;
        QString& t = CurrentRun().Text;
        // Through a small buffer, so that the text grows geometrically.
        char16_t buf[256];
        while (s < e) {
            const std::ptrdiff_t n = std::min<std::ptrdiff_t>(e - s, 256);
            for (std::ptrdiff_t i = 0; i < n; ++i) {
                const auto b = static_cast<unsigned char>(s[i]);
                buf[i] = b < 0x80 ? char16_t(b) : Decode(b);
            }
            t.append(reinterpret_cast<const QChar*>(buf), n);
            s += n;
        }
    }

    TRichRun& CurrentRun()
    {
        TRichParagraph& para = doc_.Paragraphs.back();
        para.Align = st_.align;
        if (dirty_ || para.Runs.empty()) {
            if (dirty_) {
                cp_ = nullptr;
                dirty_ = false;
            }
            TRichFormat f = Format();
            if (para.Runs.empty() || para.Runs.back().Format != f)
                para.Runs.push_back({std::move(f), QString()});
        }
        return para.Runs.back();
    }

    TRichFormat Format() const
    {
        TRichFormat f;
        const auto it = fonts_.find(st_.font >= 0 ? st_.font : deff_);
        if (it != fonts_.end()) // a name the table never ended is taken as it stands
            f.Font = it->second.named ? it->second.name : it->second.name.trimmed();
        f.HalfPoints = st_.halfPoints;
        f.Bold = st_.bold;
        f.Italic = st_.italic;
        f.Underline = st_.underline;
        f.Strike = st_.strike;
        if (st_.colour > 0 && static_cast<std::size_t>(st_.colour) < colours_.size())
            f.Colour = colours_[static_cast<std::size_t>(st_.colour)];
        return f;
    }

    void resetColour() { red_ = green_ = blue_ = -1; }

    const char* p_;
    const char* end_;
    State st_;
    std::vector<State> stack_;
    bool done_ = false;
    int skip_ = 0;
    int docCp_ = 1250;
    int deff_ = 0;
    std::unordered_map<int, Font> fonts_;
    int fontDef_ = INT_MIN; // the font the font table is defining
    std::vector<std::uint32_t> colours_;
    int red_ = -1, green_ = -1, blue_ = -1;
    bool dirty_ = true;     // the character format changed since the last run
    bool cpDirty_ = true;
    const TCodePage* cp_ = nullptr;
    TRichDocument doc_;
};

} // namespace

int ClampHalfPoints(long long halfPoints)
{
    if (halfPoints < 1)
        return 24;
    return static_cast<int>(std::min<long long>(halfPoints, 3276));
}

bool IsRtf(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return bytes.substr(i, 5) == "{\\rtf";
}

TRichDocument ReadRtf(std::string_view bytes)
{
    if (!IsRtf(bytes)) {
        QString text;
        text.resize(static_cast<qsizetype>(bytes.size()));
        const TCodePage& cp = rtf::CodePage1250();
        QChar* d = text.data();
        for (unsigned char b : bytes)
            *d++ = QChar(cp[b]);
        return TRichDocument::FromPlainText(text, NotesDefaultFormat());
    }
    while (!bytes.empty() && bytes.front() != '{')
        bytes.remove_prefix(1);
    return Reader(bytes).Run();
}

} // namespace qv
