// The logbook's figures of small hand-made flights, and their CSV.
#include "logbook/Figures.h"
#include "logbook/LogbookCsv.h"

#include "LogbookFiles.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace test;

QStringList Cells(const TFlightFigures& f)
{
    QStringList cells;
    for (int c = 0; c < kLogColumns; ++c)
        cells << FigureText(f, c);
    return cells;
}

TFlightFigures Figures(const KdfContent& k, const QString& name = QStringLiteral("a/flight.kdf"))
{
    TempDir dir;
    EXPECT_TRUE(WriteFlight(dir.file(name), k));
    return ReadFlightFigures(dir.file(name), name);
}

TEST(LogbookFigures, TowWithReleaseNoReleaseFlatAndNoVoltage)
{
    KdfContent tow = TowFlight({0, 10, 50, 100, 80, 10, 5});
    tow.Annotations = {QStringLiteral("0.30,100.00,weak link, again"), QStringLiteral("0.50,10.00,off")};
    tow.Notes = "Strong wind\r\nsecond line";
    const TFlightFigures f = Figures(tow);
    EXPECT_EQ(Cells(f), (QStringList{"a/flight.kdf", "08.12.2026 10:15:00", "100", "7", "0.6", "100.00", "0.3", "0.2",
                                     "0.5", "0.3", "76.67", "6.90", "2", "Strong wind"}));
    EXPECT_EQ(f.DateKey, QDateTime(QDate(2026, 12, 8), QTime(10, 15)).toMSecsSinceEpoch());
    EXPECT_TRUE(f.SearchText.contains(QStringLiteral("weak link, again")));

    // Never falls below a fifth of the maximum: no release, no tow time.
    const TFlightFigures open = Figures(TowFlight({0, 50, 100, 90, 30}));
    EXPECT_EQ(Cells(open).mid(LogMaximum, 7), (QStringList{"100.00", "0.2", "0.1", "", "", "", "7.10"}));

    // A flat flight: a maximum but no pull, so no tow.
    const TFlightFigures flat = Figures(TowFlight({0, 0, 0}));
    EXPECT_EQ(Cells(flat).mid(LogFlightTime, 8), (QStringList{"0.2", "0.00", "0.0", "", "", "", "", "7.30"}));

    // Without a voltage channel the minimum voltage is empty.
    const TFlightFigures noVolt = Figures(TowFlight({0, 40, 0}, 0xC000));
    EXPECT_EQ(Cells(noVolt).mid(LogMaximum), (QStringList{"40.00", "0.1", "0.1", "0.2", "0.1", "40.00", "", "0", ""}));
}

TEST(LogbookFigures, RefusedFileGetsARowWithTheReadersMessage)
{
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("bad.kdf"), " " + KdfText(TowFlight({1, 2}))));
    const TFlightFigures f = ReadFlightFigures(dir.file("bad.kdf"), QStringLiteral("bad.kdf"));
    EXPECT_TRUE(f.Refused);
    EXPECT_EQ(Cells(f), (QStringList{"bad.kdf", "", "", "", "", "", "", "", "", "", "", "", "", "Error: Bad header of file"}));
    const TFlightFigures gone = ReadFlightFigures(dir.file("gone.kdf"), QStringLiteral("gone.kdf"));
    EXPECT_EQ(gone.Notes, QStringLiteral("Error: Error in reading file."));
}

TEST(LogbookFigures, SparklineKeepsASingleSampleSpike)
{
    std::vector<double> v(10000, 1.0);
    v[4321] = 500;
    v[7777] = -20;
    const std::vector<float> s = SparkSummary(v);
    ASSERT_EQ(s.size(), 2u * kSparkBuckets);
    EXPECT_EQ(*std::max_element(s.begin(), s.end()), 500.0f);
    EXPECT_EQ(*std::min_element(s.begin(), s.end()), -20.0f);
    EXPECT_EQ(SparkSummary({3.0, 4.0}).size(), 4u); // fewer samples than buckets
}

TEST(LogbookFigures, CsvHeaderAndQuoting)
{
    TFlightFigures f;
    f.File = QStringLiteral("Léto/lot, \"první\".kdf");
    f.Samples = 3;
    f.Maximum = 12.5;
    f.Notes = QStringLiteral("line");
    const QByteArray csv = LogbookCsv({&f});
    EXPECT_EQ(csv, QByteArray("File,Date,Sampling (ms),Samples,Flight time (s),Maximum,Time of maximum (s),Tow start (s),"
                              "Release (s),Tow time (s),Mean during tow,Min voltage (V),Annotations,Notes\r\n"
                              "\"L\xC3\xA9to/lot, \"\"prvn\xC3\xAD\"\".kdf\",,0,3,,12.50,,,,,,,0,line\r\n"));
}

} // namespace
} // namespace qv
