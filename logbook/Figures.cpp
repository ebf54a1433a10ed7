#include "logbook/Figures.h"

#include "base/Cp1250.h"
#include "base/FileName.h"
#include "base/MessageService.h"
#include "browser/Notes.h"
#include "data/DataFile.h"
#include "graph/Measure.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cmath>

namespace qv {

namespace {

// Keeps the reader's error box text instead of showing it.
class TKeptMessage : public IMessageService {
public:
    void Error(const QString& text) override { Text = text; }
    void Information(const QString& text) override { Text = text; }
    Answer Question(const QString&, Buttons) override { return Answer::No; }
    QString OpenFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString ExistingDirectory(const QString&, const QString&) override { return {}; }
    QString Text;
};

QString FirstLine(const QString& text)
{
    const QString t = text.trimmed();
    const qsizetype end = t.indexOf(QLatin1Char('\n'));
    return (end < 0 ? t : t.left(end)).trimmed().left(kNotesChars);
}

QString Fixed(const std::optional<double>& v, int decimals)
{
    return v ? QString::fromStdString(FormatFixed(*v, decimals)) : QString();
}

} // namespace

const QStringList& LogColumnNames()
{
    static const QStringList names = {
        QStringLiteral("File"),           QStringLiteral("Date"),           QStringLiteral("Sampling (ms)"),
        QStringLiteral("Samples"),        QStringLiteral("Flight time (s)"), QStringLiteral("Maximum"),
        QStringLiteral("Time of maximum (s)"), QStringLiteral("Tow start (s)"), QStringLiteral("Release (s)"),
        QStringLiteral("Tow time (s)"),   QStringLiteral("Mean during tow"), QStringLiteral("Min voltage (V)"),
        QStringLiteral("Annotations"),    QStringLiteral("Notes")};
    return names;
}

bool TFlightFigures::operator==(const TFlightFigures& o) const
{
    return File == o.File && Date == o.Date && DateKey == o.DateKey && SamplingMs == o.SamplingMs &&
           Samples == o.Samples && FlightTime == o.FlightTime && Maximum == o.Maximum && TimeOfMax == o.TimeOfMax &&
           TowStart == o.TowStart && Release == o.Release && TowTime == o.TowTime && MeanTow == o.MeanTow &&
           MinVoltage == o.MinVoltage && Annotations == o.Annotations && Notes == o.Notes && Refused == o.Refused &&
           SearchText == o.SearchText && Spark == o.Spark;
}

QString FoldForSearch(const QString& text)
{
    const QString d = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(d.size());
    for (const QChar c : d)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c.toCaseFolded();
    return out;
}

qint64 FlightDateKey(const QString& text)
{
    const QString t = text.simplified();
    if (t.isEmpty())
        return 0;
    static const char* const kForms[] = {"dd.MM.yyyy HH:mm:ss", "d.M.yyyy H:mm:ss", "dd.MM.yyyy HH:mm",
                                         "d.M.yyyy H:mm",       "dd.MM.yyyy",       "d.M.yyyy",
                                         "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd"};
    for (const char* form : kForms) {
        const QDateTime dt = QDateTime::fromString(t, QString::fromLatin1(form));
        if (dt.isValid())
            return dt.toMSecsSinceEpoch();
    }
    // Downloads write the system's short date: try its forms too.
    const QLocale locale = QLocale::system();
    const qsizetype blank = t.lastIndexOf(QLatin1Char(' '));
    const QDate date = locale.toDate(blank < 0 ? t : t.left(blank), QLocale::ShortFormat);
    if (date.isValid()) {
        const QTime time = blank < 0 ? QTime(0, 0) : QTime::fromString(t.mid(blank + 1), QStringLiteral("H:mm:ss"));
        return QDateTime(date, time.isValid() ? time : QTime(0, 0)).toMSecsSinceEpoch();
    }
    return 0;
}

std::vector<float> SparkSummary(const std::vector<double>& values, int buckets)
{
    std::vector<float> out;
    const std::size_t n = values.size();
    if (n == 0 || buckets <= 0)
        return out;
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(buckets), n);
    out.reserve(2 * count);
    for (std::size_t b = 0; b < count; ++b) {
        const std::size_t i0 = b * n / count;
        const std::size_t i1 = (b + 1) * n / count;
        const auto [lo, hi] = std::minmax_element(values.begin() + i0, values.begin() + i1);
        out.push_back(static_cast<float>(*lo));
        out.push_back(static_cast<float>(*hi));
    }
    return out;
}

TFlightFigures ComputeFigures(const TDataBlock& block, const QString& file)
{
    TFlightFigures f;
    f.File = file;
    f.Date = FromCp1250(block.Date);
    f.DateKey = FlightDateKey(f.Date);
    f.SamplingMs = block.SamplePeriod() * 10;
    f.Samples = block.SampleCount();
    f.Annotations = static_cast<int>(block.Annotations.size());
    const QString notes = NotesPlainText(block.NotesText());
    f.Notes = FirstLine(notes);
    QString search = notes;
    for (const TAnotace& a : block.Annotations)
        search += QLatin1Char('\n') + FromCp1250(a.Text);
    f.SearchText = FoldForSearch(search);

    const std::vector<double>& time = block.Samples(ArrTime);
    if (!time.empty())
        f.FlightTime = time.back();
    const std::vector<double>& volt = block.Samples(ArrVoltage);
    if (!volt.empty())
        f.MinVoltage = *std::min_element(volt.begin(), volt.end());

    const std::vector<double>& alt = block.Samples(ArrAltitude);
    const std::size_t n = std::min(time.size(), alt.size());
    if (n == 0)
        return f;
    f.Spark = SparkSummary(alt);
    const std::size_t top =
        static_cast<std::size_t>(std::max_element(alt.begin(), alt.begin() + n) - alt.begin());
    f.Maximum = alt[top];
    f.TimeOfMax = time[top];
    if (!(alt[top] > 0))
        return f; // no pull: no tow
    const double limit = kTowFraction * alt[top];
    std::size_t start = 0;
    while (start < top && alt[start] < limit)
        ++start;
    f.TowStart = time[start];
    f.Release = FindRelease(time, alt, kTowFraction);
    if (!f.Release)
        return f;
    f.TowTime = *f.Release - *f.TowStart;
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = start; i < n && time[i] < *f.Release; ++i, ++count)
        sum += alt[i];
    if (count > 0)
        f.MeanTow = sum / static_cast<double>(count);
    return f;
}

TFlightFigures ReadFlightFigures(const QString& fullPath, const QString& file)
{
    TDataBlock block;
    block.NotesStream();
    TKeptMessage kept;
    QString error;
    try {
        ReadDataFile(fullPath, block, kept);
        error = kept.Text;
    } catch (const DataFileError& e) {
        error = QString::fromLatin1(e.what());
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    }
    if (error.isEmpty())
        return ComputeFigures(block, file);
    TFlightFigures f;
    f.File = file;
    f.Refused = true;
    f.Notes = QStringLiteral("Error: ") + error;
    f.SearchText = FoldForSearch(f.Notes);
    return f;
}

QString FigureText(const TFlightFigures& f, int column)
{
    if (f.Refused && column != LogFile && column != LogNotes)
        return {};
    switch (column) {
    case LogFile: return ShownName(f.File);
    case LogDate: return f.Date;
    case LogSampling: return QString::number(f.SamplingMs);
    case LogSamples: return QString::number(f.Samples);
    case LogFlightTime: return Fixed(f.FlightTime, kTimeDecimals);
    case LogMaximum: return Fixed(f.Maximum, kValueDecimals);
    case LogTimeOfMax: return Fixed(f.TimeOfMax, kTimeDecimals);
    case LogTowStart: return Fixed(f.TowStart, kTimeDecimals);
    case LogRelease: return Fixed(f.Release, kTimeDecimals);
    case LogTowTime: return Fixed(f.TowTime, kTimeDecimals);
    case LogMeanTow: return Fixed(f.MeanTow, kValueDecimals);
    case LogMinVoltage: return Fixed(f.MinVoltage, kValueDecimals);
    case LogAnnotations: return QString::number(f.Annotations);
    case LogNotes: return f.Notes;
    default: return {};
    }
}

} // namespace qv
