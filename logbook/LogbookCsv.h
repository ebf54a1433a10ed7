#pragma once
// The logbook as comma-separated values: a header line with the column
// names, one line per row, UTF-8, "." as decimal separator, fields quoted
// as RFC 4180 asks (CR LF line ends), empty where a figure does not exist.
#include "logbook/Figures.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace qv {

QString CsvField(const QString& text);
QByteArray LogbookCsv(const std::vector<const TFlightFigures*>& rows);

// Rows in the order the tool prints them: by relative path, ignoring case.
void SortByFile(std::vector<const TFlightFigures*>& rows);

} // namespace qv
