#include "logbook/LogbookCsv.h"

#include <QStringList>
#include <algorithm>

namespace qv {

QString CsvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray LogbookCsv(const std::vector<const TFlightFigures*>& rows)
{
    QByteArray out;
    auto line = [&out](const QStringList& fields) {
        QStringList quoted;
        quoted.reserve(fields.size());
        for (const QString& f : fields)
            quoted << CsvField(f);
        out += quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
    };
    line(LogColumnNames());
    for (const TFlightFigures* f : rows) {
        QStringList fields;
        for (int c = 0; c < kLogColumns; ++c)
            fields << FigureText(*f, c);
        line(fields);
    }
    return out;
}

void SortByFile(std::vector<const TFlightFigures*>& rows)
{
    std::sort(rows.begin(), rows.end(), [](const TFlightFigures* a, const TFlightFigures* b) {
        const int c = a->File.compare(b->File, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a->File < b->File;
    });
}

} // namespace qv
