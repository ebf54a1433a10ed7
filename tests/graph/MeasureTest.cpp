#include "graph/Measure.h"

#include <gtest/gtest.h>
#include <random>

namespace qv {
namespace {

TEST(Measure, ValueAtInterpolatesAndHoldsTheEndsOutside)
{
    const std::vector<double> x{0, 1, 2, 4}, y{10, 20, 0, 8};
    EXPECT_DOUBLE_EQ(*ValueAt(x, y, 0.5), 15);
    EXPECT_DOUBLE_EQ(*ValueAt(x, y, 3), 4);
    EXPECT_DOUBLE_EQ(*ValueAt(x, y, 2), 0);
    EXPECT_DOUBLE_EQ(*ValueAt(x, y, -5), 10);
    EXPECT_DOUBLE_EQ(*ValueAt(x, y, 99), 8);
    EXPECT_FALSE(ValueAt({}, {}, 1));
}

TEST(Measure, RangeStatsMatchABruteForceScanOnLongCurves)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> v(-100, 100);
    const int n = 100003; // not a whole number of buckets
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = i * 0.01;
        y[i] = v(rng);
    }
    y[54321] = 1e6; // a single-sample spike
    TMinMaxPyramid pyramid;
    std::vector<double> fused;
    pyramid.Build(y, &fused);
    const std::vector<double> prefix = PrefixSums(y);
    const std::vector<double> blocks = BlockSums(y);
    ASSERT_EQ(blocks.size(), n / kSumBlock + 1);
    EXPECT_EQ(fused, blocks); // the same sums, bit for bit, from the pyramid's pass
    for (int m : {0, 31, 63, 64, 65, 96, 129}) {
        const std::vector<double> part(y.begin(), y.begin() + m);
        TMinMaxPyramid p;
        p.Build(part, &fused);
        EXPECT_EQ(fused, BlockSums(part)) << m;
    }
    std::uniform_int_distribution<int> idx(0, n - 1);
    for (int k = 0; k < 200; ++k) {
        int a = idx(rng), b = idx(rng);
        if (k == 0) { a = 0; b = n - 1; }
        if (k == 1) { a = 54321; b = 54321; }
        const TRangeStats s = RangeStats(x, y, pyramid, prefix, x[b], x[a]);
        const int lo = std::min(a, b), hi = std::max(a, b);
        double mn = y[lo], mx = y[lo], sum = 0;
        for (int i = lo; i <= hi; ++i) {
            mn = std::min(mn, y[i]);
            mx = std::max(mx, y[i]);
            sum += y[i];
        }
        ASSERT_EQ(s.Count, hi - lo + 1);
        ASSERT_EQ(s.Min, mn) << lo << ".." << hi;
        ASSERT_EQ(s.Max, mx) << lo << ".." << hi;
        ASSERT_NEAR(s.Mean, sum / s.Count, 1e-6);
        ASSERT_NEAR(RangeStats(x, y, pyramid, blocks, x[a], x[b]).Mean, sum / s.Count, 1e-6) << lo << ".." << hi;
    }
    EXPECT_EQ(RangeStats(x, y, pyramid, prefix, -5, -1).Count, 0);
}

TEST(Measure, ReleaseIsTheFirstFallBelowAFifthOfTheMaximumAfterIt)
{
    const std::vector<double> t{0, 1, 2, 3, 4, 5, 6};
    EXPECT_DOUBLE_EQ(*FindRelease(t, {0, 5, 100, 90, 30, 19, 0}), 5);
    // Low values before the maximum do not count.
    EXPECT_DOUBLE_EQ(*FindRelease(t, {0, 1, 50, 100, 21, 20, 19.9}), 6);
    EXPECT_FALSE(FindRelease(t, {0, 1, 2, 3, 4, 5, 6}));     // still towing at the end
    EXPECT_FALSE(FindRelease(t, {-1, -2, -3, -4, -5, -6, -7})); // no pull at all
    EXPECT_FALSE(FindRelease({}, {}));
}

std::shared_ptr<const std::vector<double>> Points(std::vector<double> v)
{
    return std::make_shared<const std::vector<double>>(std::move(v));
}

// A file of 11 samples at 1 s: altitude 0, 10, ..., 100; servo 50 - 10 t;
// voltage 8 falling by 0.1 per second.
TCurveHandle HandMadeFile(TCurveModel& m)
{
    const TCurveHandle h = m.AddFile(QStringLiteral("F"), 0);
    std::vector<double> t, alt, rx, volt;
    for (int i = 0; i <= 10; ++i) {
        t.push_back(i);
        alt.push_back(10.0 * i);
        rx.push_back(50 - 10.0 * i);
        volt.push_back(8 - 0.1 * i);
    }
    auto time = Points(t);
    m.SetPoints(h, SlotAlt, time, Points(alt));
    m.SetPoints(h, SlotRx, time, Points(rx));
    m.SetPoints(h, SlotPowS, time, Points(volt));
    return h;
}

TEST(MeasureTable, ValuesAtTheCursorsTheirDifferenceRateAndRange)
{
    TCurveModel m;
    const TCurveHandle h = HandMadeFile(m);
    TPrefixCache cache;
    TMeasureTable t = MeasureFile(m, h, 2.5, 6.0, cache);
    const auto& c = t.Cells;
    EXPECT_DOUBLE_EQ(*c[MeasA][0], 2.5);
    EXPECT_DOUBLE_EQ(*c[MeasA][1], 25); // interpolated
    EXPECT_DOUBLE_EQ(*c[MeasB][2], -10);
    EXPECT_DOUBLE_EQ(*c[MeasDelta][0], 3.5);
    EXPECT_DOUBLE_EQ(*c[MeasDelta][1], 35);
    EXPECT_DOUBLE_EQ(*c[MeasRate][1], 10);
    EXPECT_DOUBLE_EQ(*c[MeasRate][2], -10);
    EXPECT_NEAR(*c[MeasRate][3], -0.1, 1e-12);
    EXPECT_FALSE(c[MeasRate][0]);
    // Samples 3..6 lie between the cursors.
    EXPECT_DOUBLE_EQ(*c[MeasMin][1], 30);
    EXPECT_DOUBLE_EQ(*c[MeasMax][1], 60);
    EXPECT_DOUBLE_EQ(*c[MeasMean][1], 45);
    EXPECT_DOUBLE_EQ(*c[MeasMin][2], -10);
    EXPECT_DOUBLE_EQ(*c[MeasMax][2], 20);

    // Cursors in either order give the same range; B before A a negative time.
    t = MeasureFile(m, h, 6.0, 2.5, cache);
    EXPECT_DOUBLE_EQ(*t.Cells[MeasDelta][0], -3.5);
    EXPECT_DOUBLE_EQ(*t.Cells[MeasRate][1], 10);
    EXPECT_DOUBLE_EQ(*t.Cells[MeasMean][1], 45);

    // Offsets are applied: the curve is read where it is drawn.
    m.SetOffset(h, SlotAlt, 100, -5);
    t = MeasureFile(m, h, 102.5, 106, cache);
    EXPECT_DOUBLE_EQ(*t.Cells[MeasA][1], 20);
    EXPECT_DOUBLE_EQ(*t.Cells[MeasMax][1], 55);
    EXPECT_DOUBLE_EQ(*t.Cells[MeasMean][1], 40);
    m.SetOffsetEnabled(h, SlotAlt, false);
    EXPECT_DOUBLE_EQ(*MeasureFile(m, h, 2.5, std::nullopt, cache).Cells[MeasA][1], 25);

    // Both cursors at one time: no rate; a range between two samples: no
    // minimum; one cursor: only its row.
    t = MeasureFile(m, h, 4.0, 4.0, cache);
    EXPECT_FALSE(t.Cells[MeasRate][1]);
    EXPECT_DOUBLE_EQ(*t.Cells[MeasMin][1], 40);
    t = MeasureFile(m, h, 4.2, 4.8, cache);
    EXPECT_FALSE(t.Cells[MeasMin][1]);
    EXPECT_DOUBLE_EQ(*t.Cells[MeasDelta][1], 6);
    t = MeasureFile(m, h, 3.0, std::nullopt, cache);
    EXPECT_TRUE(t.Cells[MeasA][2]);
    EXPECT_FALSE(t.Cells[MeasB][0]);
    EXPECT_FALSE(t.Cells[MeasDelta][1]);
    // No file: an empty table.
    EXPECT_FALSE(MeasureFile(m, kNoCurves, 1.0, 2.0, cache).Cells[MeasA][0]);
}

TEST(MeasureTable, ChannelsWithoutDataStayEmptyAndCentredServoKeepsItsOrder)
{
    TCurveModel m;
    const TCurveHandle h = HandMadeFile(m);
    m.SetPoints(h, SlotPowS, nullptr, nullptr);
    // A reversed deflection range turns the servo upside down on the chart:
    // its lowest drawn value comes from its highest sample.
    m.SetDeflection(5, -5);
    m.SetRxCentre(true);
    TPrefixCache cache;
    const TMeasureTable t = MeasureFile(m, h, 0, 10, cache);
    EXPECT_FALSE(t.Cells[MeasA][3]);
    EXPECT_TRUE(MeasureCellText(t, MeasMin, 3, false).isEmpty());
    EXPECT_DOUBLE_EQ(*t.Cells[MeasMin][2], 50 * -0.05);
    EXPECT_DOUBLE_EQ(*t.Cells[MeasMax][2], -50 * -0.05);
}

TEST(MeasureTable, PrefixSumsFollowNewPoints)
{
    TCurveModel m;
    const TCurveHandle h = HandMadeFile(m);
    TPrefixCache cache;
    EXPECT_DOUBLE_EQ(*MeasureFile(m, h, 0, 10, cache).Cells[MeasMean][1], 50);
    // The sums are made with the points, not by the first table.
    ASSERT_TRUE(m.Curve(h, SlotAlt)->Prefix);
    EXPECT_EQ(m.Curve(h, SlotAlt)->Prefix->size(), 1u); // eleven samples: no whole block
    m.SetPoints(h, SlotAlt, m.Curve(h, SlotRx)->X, Points(std::vector<double>(11, 7.0)));
    EXPECT_DOUBLE_EQ(*MeasureFile(m, h, 0, 10, cache).Cells[MeasMean][1], 7);
}

TEST(MeasureTable, TextsOfTimesCellsAndTheClipboard)
{
    EXPECT_EQ(FormatMeasureTime(12.345, false), QStringLiteral("12.35"));
    EXPECT_EQ(FormatMeasureTime(65.3, true), QStringLiteral("1:05.30"));
    EXPECT_EQ(FormatMeasureTime(59.999, true), QStringLiteral("1:00.00"));
    EXPECT_EQ(FormatMeasureTime(-1.5, true), QStringLiteral("-0:01.50"));
    EXPECT_EQ(FormatMeasureTime(-0.001, true), QStringLiteral("0:00.00"));
    EXPECT_EQ(FormatMeasureTime(3600, true), QStringLiteral("60:00.00"));

    TCurveModel m;
    const TCurveHandle h = HandMadeFile(m);
    TPrefixCache cache;
    const TMeasureTable t = MeasureFile(m, h, 1, 3, cache);
    const QStringList lines = MeasureTableText(t, false, QStringLiteral("Blok 7")).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 10); // the file, headings, seven rows, the empty end
    EXPECT_EQ(lines[0], QStringLiteral("Blok 7"));
    EXPECT_EQ(lines[1], QStringLiteral("\tTIME\tALTITUDE\tSERVO\tVOLTAGE"));
    EXPECT_EQ(lines[2], QStringLiteral("A\t1.00\t10.00\t40.00\t7.90"));
    EXPECT_EQ(lines[4], QStringLiteral("DELTA\t2.00\t20.00\t-20.00\t-0.20"));
    EXPECT_EQ(lines[5], QStringLiteral("d X/d TIME\t\t10.000\t-10.000\t-0.100"));
    EXPECT_EQ(lines[8], QStringLiteral("MEAN\t\t20.00\t30.00\t7.80"));
    // With min:sec the plain seconds follow in a column of their own.
    const QStringList mmss = MeasureTableText(t, true, QStringLiteral("Blok 7")).split(QLatin1Char('\n'));
    EXPECT_EQ(mmss[1], QStringLiteral("\tTIME\tTIME (s)\tALTITUDE\tSERVO\tVOLTAGE"));
    EXPECT_EQ(mmss[2], QStringLiteral("A\t0:01.00\t1.00\t10.00\t40.00\t7.90"));
    EXPECT_EQ(mmss[5], QStringLiteral("d X/d TIME\t\t\t10.000\t-10.000\t-0.100"));
    // A value that rounds to zero never reads "-0.000".
    TMeasureTable z;
    z.Cells[MeasRate][1] = -0.0001;
    z.Cells[MeasDelta][2] = -0.004;
    z.Cells[MeasDelta][0] = -0.001;
    EXPECT_EQ(MeasureCellText(z, MeasRate, 1, false), QStringLiteral("0.000"));
    EXPECT_EQ(MeasureCellText(z, MeasDelta, 2, false), QStringLiteral("0.00"));
    EXPECT_EQ(MeasureCellText(z, MeasDelta, 0, false), QStringLiteral("0.00"));
    z.Cells[MeasRate][1] = -0.0006;
    EXPECT_EQ(MeasureCellText(z, MeasRate, 1, false), QStringLiteral("-0.001"));
    EXPECT_EQ(CursorReadout(m, h, 65.5, true), QStringLiteral("Time: 1:05.50  Altitude: 100.00  Servo: -50.00  Voltage: 7.00"));
    EXPECT_EQ(CursorReadout(m, kNoCurves, 2, false), QStringLiteral("Time: 2.00"));
}

} // namespace
} // namespace qv
