#include "graph/Offsets.h"

#include "graph/Measure.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <cmath>

namespace qv {
namespace {

std::shared_ptr<const std::vector<double>> Points(std::vector<double> v)
{
    return std::make_shared<const std::vector<double>>(std::move(v));
}

// A flight of 0.1 s samples: pull up to 100 at 3 s, release at 4 s, then
// rest; servo and voltage beside it; two markers and two annotations.
struct Flight {
    TCurveModel& m;
    TCurveHandle h;
    explicit Flight(TCurveModel& model, double start = 0.0, double releaseAt = 4.0) : m(model)
    {
        h = m.AddFile(QStringLiteral("F"), 0);
        std::vector<double> t, alt, rx, volt;
        for (int i = 0; i < 100; ++i) {
            const double x = start + i * 0.1;
            t.push_back(x);
            alt.push_back(x < start + 3 ? 100 * (x - start) / 3 : x < start + releaseAt ? 100 : 2);
            rx.push_back(std::sin(i * 0.3) * 40);
            volt.push_back(8 - i * 0.01);
        }
        auto time = Points(t);
        m.SetPoints(h, SlotAlt, time, Points(alt));
        m.SetPoints(h, SlotRx, time, Points(rx));
        m.SetPoints(h, SlotPowS, time, Points(volt));
        m.SetPoints(h, SlotMark, Points({t[10], t[50]}), Points({alt[10], alt[50]}));
        m.SetLabels(h, {{t[20], 70, "up"}, {t[45], 90, "off"}});
        for (int k = 0; k < kSlotCount; ++k)
            m.SetVisible(h, k, true);
    }
    // Every drawn point of every curve and label.
    std::vector<double> Drawn() const
    {
        std::vector<double> out;
        for (int k = 0; k < kSlotCount; ++k) {
            const TCurve& c = *m.Curve(h, k);
            for (int i = 0; i < c.Count(); ++i) {
                out.push_back(c.DrawnX((*c.X)[i]));
                out.push_back(c.DrawnY((*c.Y)[i]));
            }
        }
        return out;
    }
};

TEST(Offsets, SwitchingOffAndBackAndResetReturnEveryPointToItsPlace)
{
    TCurveModel m;
    Flight f(m);
    TCurveOffsets o(m);
    const std::vector<double> before = f.Drawn();
    QSignalSpy changed(&o, &TCurveOffsets::OffsetsChanged);

    o.SetOffsetX(f.h, ShiftAltitude, 12.5);
    o.SetOffsetY(f.h, ShiftAltitude, -30);
    o.SetOffsetX(f.h, ShiftServo, -3);
    o.SetOffsetY(f.h, ShiftServo, 15);
    o.SetOffsetY(f.h, ShiftVoltage, 2);
    EXPECT_EQ(changed.count(), 5);
    // The flight moves in time as one, whichever group set it last; the
    // markers and annotations take the altitude's value offset.
    for (int slot = 0; slot < kSlotCount; ++slot)
        EXPECT_EQ(m.Curve(f.h, slot)->OffsetX, -3) << slot;
    for (int slot : {SlotAlt, SlotMark, SlotAnnot})
        EXPECT_EQ(m.Curve(f.h, slot)->OffsetY, -30);
    EXPECT_EQ(m.Curve(f.h, SlotPowS)->OffsetY, 2);
    // The servo's vertical offset is the file's receiver offset.
    EXPECT_EQ(m.File(f.h)->RxOffsetY, 15);
    EXPECT_EQ(o.OffsetY(f.h, ShiftServo), 15);
    const std::vector<double> shifted = f.Drawn();
    EXPECT_NE(shifted, before);

    for (int axis : {ShiftAltitude, ShiftServo, ShiftVoltage})
        o.SetEnabled(f.h, axis, false);
    EXPECT_EQ(f.Drawn(), before);
    for (int axis : {ShiftAltitude, ShiftServo, ShiftVoltage})
        o.SetEnabled(f.h, axis, true);
    EXPECT_EQ(f.Drawn(), shifted);
    EXPECT_EQ(changed.count(), 5); // switching is no change of the values

    // The same value again is no change either.
    o.SetOffsetX(f.h, ShiftVoltage, -3);
    EXPECT_EQ(changed.count(), 5);

    o.Reset(f.h);
    EXPECT_EQ(f.Drawn(), before);
    EXPECT_EQ(o.Stored(f.h), TFileOffsets{});
    EXPECT_EQ(m.File(f.h)->RxOffsetY, 0);
}

TEST(Offsets, StoredOffsetsComeBackOnAFreshModel)
{
    TCurveModel m;
    Flight f(m);
    TCurveOffsets o(m);
    o.SetOffsetX(f.h, ShiftAltitude, 1.5);
    o.SetOffsetY(f.h, ShiftAltitude, -2);
    o.SetOffsetX(f.h, ShiftServo, 3);
    o.SetOffsetX(f.h, ShiftVoltage, -4);
    o.SetOffsetY(f.h, ShiftVoltage, 0.25);
    EXPECT_EQ(o.Stored(f.h), (TFileOffsets{-4, -2, -4, -4, 0.25})); // one time offset
    // A file saved earlier with a time offset per group opens as saved.
    const TFileOffsets kept{1.5, -2, 3, -4, 0.25};
    o.Apply(f.h, kept);
    EXPECT_EQ(o.Stored(f.h), kept);

    TCurveModel fresh;
    Flight g(fresh);
    TCurveOffsets p(fresh);
    QSignalSpy changed(&p, &TCurveOffsets::OffsetsChanged);
    p.Apply(g.h, kept);
    EXPECT_EQ(changed.count(), 0); // opening a file changes nothing in it
    EXPECT_EQ(g.Drawn(), f.Drawn());
}

TEST(Offsets, AltitudeToOriginAtCursorAOrAtTheFirstSample)
{
    TCurveModel m;
    Flight f(m, 10.0);
    TCurveOffsets o(m);
    // Without a cursor the first sample (10 s, 0) lands on (0,0).
    ASSERT_TRUE(o.AltitudeToOrigin(f.h, std::nullopt));
    const TCurve& alt = *m.Curve(f.h, SlotAlt);
    EXPECT_NEAR(alt.DrawnX(alt.X->front()), 0, 1e-12);
    EXPECT_NEAR(alt.DrawnY(alt.Y->front()), 0, 1e-12);
    // At a cursor on the chart (now 1.5 s: file time 11.5 s, altitude 50).
    o.SetEnabled(f.h, ShiftAltitude, false);
    ASSERT_TRUE(o.AltitudeToOrigin(f.h, 11.5));
    EXPECT_TRUE(alt.OffsetEnabled);
    EXPECT_NEAR(alt.OffsetX, -11.5, 1e-12);
    EXPECT_NEAR(alt.OffsetY, -50, 1e-9);
    ASSERT_TRUE(o.AltitudeToOrigin(f.h, 0.0)); // the point under A again: no move
    EXPECT_NEAR(alt.OffsetX, -11.5, 1e-12);
    EXPECT_NEAR(alt.OffsetY, -50, 1e-9);
    EXPECT_EQ(m.Curve(f.h, SlotAnnot)->OffsetX, alt.OffsetX);
    // The servo and the voltage move in time with it, not in value.
    EXPECT_EQ(m.Curve(f.h, SlotRx)->OffsetX, alt.OffsetX);
    EXPECT_EQ(m.Curve(f.h, SlotPowS)->OffsetX, alt.OffsetX);
    EXPECT_EQ(m.Curve(f.h, SlotPowS)->OffsetY, 0);

    const TCurveHandle empty = m.AddFile(QStringLiteral("E"), 1);
    EXPECT_FALSE(o.AltitudeToOrigin(empty, 1.0));
}

std::optional<double> ValueAtForTest(const TCurve& c, double t) { return ValueAt(*c.X, *c.Y, t); }

TEST(Offsets, ServoToZeroAtCursorA)
{
    TCurveModel m;
    Flight f(m);
    TCurveOffsets o(m);
    ASSERT_TRUE(o.ServoToZero(f.h, 0.5));
    const TCurve& rx = *m.Curve(f.h, SlotRx);
    EXPECT_NEAR(rx.DrawnY(*ValueAtForTest(rx, 0.5)), 0, 1e-9);
    EXPECT_EQ(rx.OffsetX, 0);
    // While the servo is centred its offset is not drawn: nothing to set.
    m.SetRxCentre(true);
    EXPECT_FALSE(o.ServoToZero(f.h, 0.5));
}

TEST(Offsets, AlignAtReleaseShiftsEveryCurveOfEachFileAndNamesTheOnesWithout)
{
    TCurveModel m;
    Flight a(m, 0.0, 4.0), b(m, 100.0, 6.0);
    const TCurveHandle flat = m.AddFile(QStringLiteral("Flat"), 2);
    m.SetPoints(flat, SlotAlt, Points({0, 1, 2}), Points({-1, -1, -1}));
    TCurveOffsets o(m);
    EXPECT_EQ(o.AlignAtRelease(m.Handles()), std::vector<TCurveHandle>{flat});
    // a releases at 4.0 s (first sample below 20 after the top), b at 106 s.
    for (int k = 0; k < kSlotCount; ++k) {
        EXPECT_NEAR(m.Curve(a.h, k)->OffsetX, -4.0, 1e-9) << k;
        EXPECT_NEAR(m.Curve(b.h, k)->OffsetX, -106.0, 1e-9) << k;
        EXPECT_EQ(m.Curve(a.h, k)->OffsetY, k == SlotRx ? m.File(a.h)->RxOffsetY : 0.0);
    }
    EXPECT_EQ(m.Curve(flat, SlotAlt)->OffsetX, 0);
}

} // namespace
} // namespace qv
