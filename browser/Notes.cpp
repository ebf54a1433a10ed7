#include "browser/Notes.h"

#include "base/Cp1250.h"
#include "browser/HtmlFlatten.h"
#include "browser/NotesDocument.h"
#include "browser/Rtf.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

namespace qv {

namespace {

std::string_view TrimmedStart(std::string_view bytes)
{
    while (!bytes.empty() && (bytes.front() == ' ' || bytes.front() == '\t' || bytes.front() == '\r' ||
                              bytes.front() == '\n'))
        bytes.remove_prefix(1);
    return bytes;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// Text of an HTML document; such notes may hold RTF as plain paragraphs,
// which is read again as what it is. The HTML is read into a document of
// its own that fetches nothing and is never laid out; only its text and
// formats go on.
TRichDocument RichFromHtml(std::string_view bytes)
{
    TNotesDocument doc;
    doc.setUndoRedoEnabled(false);
    doc.setHtml(FlattenHtml(FromCp1250(bytes)));
    const QString text = doc.toPlainText();
    const std::string code = ToCp1250(text);
    if (IsRtf(code))
        return ReadRtf(code);
    return RichFromDocument(doc);
}

QTextCharFormat CharFormat(const TRichFormat& f)
{
    QTextCharFormat cf;
    cf.setFontFamilies(QStringList{f.Font});
    cf.setFontPointSize(f.HalfPoints / 2.0);
    cf.setFontWeight(f.Bold ? QFont::Bold : QFont::Normal);
    cf.setFontItalic(f.Italic);
    cf.setFontUnderline(f.Underline);
    cf.setFontStrikeOut(f.Strike);
    if (f.Colour != kAutoColour)
        cf.setForeground(QColor(QRgb(0xFF000000u | f.Colour)));
    return cf;
}

TRichFormat RichFormat(const QTextCharFormat& cf, const QFont& defaultFont)
{
    const QFont font = cf.font().resolve(defaultFont);
    TRichFormat f;
    f.Font = font.family();
    if (f.Font.isEmpty()) // no font database (command line)
        f.Font = QString::fromLatin1(kNotesFontName);
    const double points = font.pointSizeF();
    f.HalfPoints = ClampHalfPoints(points > 0 ? qRound(points * 2) : kNotesFontPoints * 2);
    f.Bold = font.bold();
    f.Italic = font.italic();
    f.Underline = font.underline();
    f.Strike = font.strikeOut();
    if (cf.hasProperty(QTextFormat::ForegroundBrush) && cf.foreground().style() != Qt::NoBrush)
        f.Colour = cf.foreground().color().rgb() & 0xFFFFFFu;
    return f;
}

} // namespace

int AlignmentTag(Qt::Alignment a)
{
    if (a & Qt::AlignHCenter)
        return AlignCenter;
    if (a & Qt::AlignJustify)
        return AlignJustify;
    if (a & Qt::AlignRight)
        return AlignRight;
    return AlignLeft;
}

Qt::Alignment QtAlignment(int tag)
{
    switch (tag) {
    case AlignCenter: return Qt::AlignHCenter;
    case AlignRight: return Qt::AlignRight | Qt::AlignAbsolute;
    case AlignJustify: return Qt::AlignJustify;
    default: return Qt::AlignLeft | Qt::AlignAbsolute;
    }
}

TNotesKind NotesKindOf(std::string_view bytes)
{
    const std::string_view s = TrimmedStart(bytes);
    if (s.empty())
        return TNotesKind::Empty;
    if (IsRtf(s))
        return TNotesKind::Rtf;
    if (StartsWithNoCase(s, "<!doctype html") || StartsWithNoCase(s, "<html"))
        return TNotesKind::Html;
    return TNotesKind::Plain;
}

TRichDocument ReadNotes(std::string_view bytes)
{
    if (NotesKindOf(bytes) == TNotesKind::Html)
        return RichFromHtml(bytes);
    return ReadRtf(bytes);
}

QString NotesPlainText(std::string_view bytes)
{
    switch (NotesKindOf(bytes)) {
    case TNotesKind::Empty:
        return {};
    case TNotesKind::Plain: {
        QString text = FromCp1250(bytes);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        return text;
    }
    default:
        return ReadNotes(bytes).PlainText();
    }
}

std::string NotesAsRtf(std::string_view bytes) { return WriteRtf(ReadNotes(bytes)); }

std::string PlainNotes(const QString& text)
{
    return WriteRtf(TRichDocument::FromPlainText(text, NotesDefaultFormat()));
}

TRichDocument RichFromDocument(const QTextDocument& doc)
{
    TRichDocument rich;
    const QFont defaultFont = doc.defaultFont();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        TRichParagraph p;
        p.Align = AlignmentTag(b.blockFormat().alignment());
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid())
                continue;
            QString text = frag.text();
            text.remove(QChar::ObjectReplacementCharacter);
            if (text.isEmpty())
                continue;
            TRichFormat f = RichFormat(frag.charFormat(), defaultFont);
            if (!p.Runs.empty() && p.Runs.back().Format == f)
                p.Runs.back().Text += text;
            else
                p.Runs.push_back({std::move(f), std::move(text)});
        }
        rich.Paragraphs.push_back(std::move(p));
    }
    return rich;
}

void RichToDocument(const TRichDocument& rich, QTextDocument& doc)
{
    doc.clear();
    QTextCursor c(&doc);
    c.beginEditBlock();
    bool first = true;
    for (const TRichParagraph& p : rich.Paragraphs) {
        QTextBlockFormat bf;
        bf.setAlignment(QtAlignment(p.Align));
        QTextCharFormat blockChars;
        if (!p.Runs.empty())
            blockChars = CharFormat(p.Runs.front().Format);
        if (first)
            c.setBlockFormat(bf);
        else
            c.insertBlock(bf, blockChars);
        first = false;
        for (const TRichRun& r : p.Runs)
            c.insertText(r.Text, CharFormat(r.Format));
    }
    c.endEditBlock();
}

void LoadNotes(std::string_view bytes, QTextDocument& doc)
{
    switch (NotesKindOf(bytes)) {
    case TNotesKind::Empty:
        doc.clear();
        break;
    case TNotesKind::Plain:
        doc.setPlainText(NotesPlainText(bytes));
        break;
    case TNotesKind::Rtf:
        RichToDocument(ReadRtf(bytes), doc);
        break;
    case TNotesKind::Html:
        RichToDocument(RichFromHtml(bytes), doc);
        break;
    }
}

std::string SaveNotes(const QTextDocument& doc) { return WriteRtf(RichFromDocument(doc)); }

} // namespace qv
