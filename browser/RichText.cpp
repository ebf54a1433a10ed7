#include "browser/RichText.h"

#include <QStringList>

namespace qv {

QString TRichParagraph::Text() const
{
    QString s;
    for (const TRichRun& r : Runs)
        s += r.Text;
    return s;
}

QString TRichDocument::PlainText() const
{
    QString s;
    for (std::size_t i = 0; i < Paragraphs.size(); ++i) {
        if (i > 0)
            s += QLatin1Char('\n');
        s += Paragraphs[i].Text();
    }
    s.replace(QChar(0x2028), QLatin1Char('\n'));
    return s;
}

TRichDocument TRichDocument::FromPlainText(const QString& text, const TRichFormat& format)
{
    TRichDocument doc;
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = t.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        TRichParagraph p;
        if (!line.isEmpty())
            p.Runs.push_back({format, line});
        doc.Paragraphs.push_back(std::move(p));
    }
    return doc;
}

TRichFormat NotesDefaultFormat()
{
    TRichFormat f;
    f.Font = QString::fromLatin1(kNotesFontName);
    f.HalfPoints = kNotesFontPoints * 2;
    return f;
}

} // namespace qv
