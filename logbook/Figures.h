#pragma once
// The launch figures of one flight file, as the logbook shows them: one
// function computes them for the page, the command-line tool and the tests.
// Figures are taken from the file as saved (curve offsets not applied).
#include "data/DataBlock.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace qv {

enum TLogColumn {
    LogFile = 0,
    LogDate,
    LogSampling,
    LogSamples,
    LogFlightTime,
    LogMaximum,
    LogTimeOfMax,
    LogTowStart,
    LogRelease,
    LogTowTime,
    LogMeanTow,
    LogMinVoltage,
    LogAnnotations,
    LogNotes,
    kLogColumns
};

// Column titles, in column order (also the header line of the CSV).
const QStringList& LogColumnNames();

// Fraction of the maximum at which a tow starts and below which it is
// released.
constexpr double kTowFraction = 0.2;
// Buckets of the sparkline summary; each keeps its lowest and highest value.
constexpr int kSparkBuckets = 64;
// Characters of the notes' first line that are kept.
constexpr int kNotesChars = 80;

struct TFlightFigures {
    QString File;  // relative to the data root, "/" separators
    QString Date;  // the header's date text
    qint64 DateKey = 0; // milliseconds since the epoch; 0 when the text is no date
    int SamplingMs = 0;
    int Samples = 0;
    std::optional<double> FlightTime, Maximum, TimeOfMax, TowStart, Release, TowTime, MeanTow, MinVoltage;
    int Annotations = 0;
    QString Notes;      // first line of the notes, or "Error: " and the reader's message
    bool Refused = false;
    QString SearchText; // notes' plain text and annotation texts, folded for the filter
    // Per bucket the lowest and the highest value of the main channel.
    std::vector<float> Spark;

    bool operator==(const TFlightFigures& o) const;
};

// The figures of a record read whole; file is the relative path.
TFlightFigures ComputeFigures(const TDataBlock& block, const QString& file);

// Reads fullPath with the flight file reader and computes its figures; a
// file the reader refuses gets a row with "Error: " and the message.
TFlightFigures ReadFlightFigures(const QString& fullPath, const QString& file);

// Milliseconds since the epoch of a header's date text ("08.12.2026
// 10:15:00" and the system's short date forms); 0 when it is none.
qint64 FlightDateKey(const QString& text);

// Min/max summary of values in `buckets` buckets of equal sample count
// (fewer when there are fewer samples).
std::vector<float> SparkSummary(const std::vector<double>& values, int buckets = kSparkBuckets);

// The text of one cell: numbers with "." as decimal separator (times with
// one decimal, values with two), empty where a figure does not exist.
QString FigureText(const TFlightFigures& f, int column);

// Case- and accent-insensitive form of a text for the filter.
QString FoldForSearch(const QString& text);

} // namespace qv
