#include "graph/GraphSetup.h"
#include "graph/ViewMath.h"

#include <gtest/gtest.h>
#include <cmath>

namespace {

using namespace qv;

TEST(ViewMath, TimeScrollBarPlacesTheWindowCentre)
{
    // A 10 s window over data from 0 to 100 s with the bar at 50.
    const TAxisRange r = ScrolledRange(50, {0, 10}, 0, 100);
    EXPECT_DOUBLE_EQ(r.Min, 45);
    EXPECT_DOUBLE_EQ(r.Max, 55);
    EXPECT_EQ(HorizontalScrollPosition(r, 0, 100), 50);
    EXPECT_EQ(HorizontalScrollPosition({20, 30}, 0, 100), 25);
    EXPECT_EQ(ScrolledRange(0, {0, 10}, 0, 100), (TAxisRange{-5, 5}));
    // No extent: the bar stays where it is.
    EXPECT_FALSE(HorizontalScrollPosition({0, 10}, 7, 7).has_value());
    EXPECT_FALSE(VerticalScrollPosition({0, 10}, 3, 3).has_value());
    // A window of no width opens to one unit.
    EXPECT_EQ(ScrolledRange(50, {4, 4}, 0, 100), (TAxisRange{50, 51}));
}

TEST(ViewMath, ValueScrollBarCountsFromTheTop)
{
    // Window centred on the top of the data: 0; on the bottom: 100.
    EXPECT_EQ(VerticalScrollPosition({90, 110}, 0, 100), 0);
    EXPECT_EQ(VerticalScrollPosition({-10, 10}, 0, 100), 100);
    EXPECT_EQ(VerticalScrollPosition({65, 85}, 0, 100), 25);
    // Moving the bar to 25 uses p = 75.
    EXPECT_EQ(ScrolledRange(100 - 25, {0, 20}, 0, 100), (TAxisRange{65, 85}));
    EXPECT_EQ(CentredOnZero({10, 50}), (TAxisRange{-20, 20}));
}

TEST(ViewMath, ZoomByPercentageAndRectangle)
{
    EXPECT_EQ(ZoomPercent({0, 100}, 110), (TAxisRange{10, 90}));
    EXPECT_EQ(ZoomPercent({0, 100}, 90), (TAxisRange{-10, 110}));
    // About a point: it keeps its place in the window.
    EXPECT_EQ(ZoomPercentAbout({0, 100}, 110, 50), (TAxisRange{10, 90}));
    EXPECT_EQ(ZoomPercentAbout({0, 100}, 110, 80), (TAxisRange{16, 96}));
    EXPECT_EQ(ZoomPercentAbout({0, 100}, 90, 0), (TAxisRange{0, 120}));
    // Zooming in without end never gives an empty or inverted range.
    TAxisRange r{1000, 1001};
    for (int i = 0; i < 400; ++i) {
        r = ZoomPercent(r, 110);
        ASSERT_LT(r.Min, r.Max) << i;
    }
    EXPECT_GT(r.Max - r.Min, 0.0);
    EXPECT_EQ(ZoomPercent(r, 110), r); // as fine as it goes

    EXPECT_EQ(ZoomedRange(7, 3), (TAxisRange{3, 7}));
    EXPECT_FALSE(ZoomedRange(5, 5).has_value());
    EXPECT_FALSE(ZoomedRange(1e6, std::nextafter(1e6, 2e6)).has_value());
    EXPECT_FALSE(ZoomedRange(0, NAN).has_value());
    EXPECT_TRUE(ZoomedRange(1e-9, 2e-9).has_value());
}

TEST(ViewMath, MinSecLabels)
{
    EXPECT_EQ(MinSecLabel("65"), "1:5");
    EXPECT_EQ(MinSecLabel("600"), "10:0");
    EXPECT_EQ(MinSecLabel(QStringLiteral("1\u00a0200")), "20:0");
    EXPECT_EQ(MinSecLabel("12.5"), "12.5");
    EXPECT_EQ(MinSecLabel("0.5"), "0.5");
    EXPECT_EQ(MinSecLabel("0"), "0:0");
    EXPECT_EQ(MinSecLabel("-65"), "-1:5");
}

TEST(ViewMath, TimeAxisEndsFortyFivePixelsShort)
{
    EXPECT_EQ(BottomAxisEndPercent(900, false), 95);
    EXPECT_EQ(BottomAxisEndPercent(450, false), 90);
    EXPECT_EQ(BottomAxisEndPercent(0, false), 100);
    EXPECT_EQ(BottomAxisEndPercent(900, true), 100);
}

TEST(GraphSetupRecord, DefaultsAndTheRangeCorrection)
{
    TGraphSetupRec g = DefaultGraphSetup();
    EXPECT_TRUE(g.AltitudeAuto && g.PowerSupAuto && g.RXAuto && g.TimeAuto);
    EXPECT_EQ(g.AltitudeLStyle, lsSolid);
    EXPECT_EQ(g.PowerSupLStyle, lsDot);
    EXPECT_EQ(g.RXLStyle, lsDash);
    EXPECT_EQ(g.AnnotMarkStyle, psDiamond);
    EXPECT_EQ(g.MarkerMarkStyle, psTriangle);
    EXPECT_EQ(g.AnnotMarkSize, 4);
    EXPECT_TRUE(AxisSetupOf(g, AxisLeft).Automatic);

    // Manual left axis 50..50 becomes 50..51, in the record too.
    g.AltitudeAuto = false;
    g.AltitudeMin = g.AltitudeMax = 50;
    const TAxisSetup s = AxisSetupOf(g, AxisLeft);
    EXPECT_FALSE(s.Automatic);
    EXPECT_EQ(s.Range, (TAxisRange{50, 51}));
    EXPECT_EQ(g.AltitudeMax, 51);
    g.TimeAuto = false;
    g.TimeMin = 10;
    g.TimeMax = -5;
    EXPECT_EQ(AxisSetupOf(g, AxisBottom).Range, (TAxisRange{10, 11}));
    EXPECT_EQ(g.TimeMax, 11);
    // An automatic axis keeps its stored range as it is.
    g.RXMin = 9;
    g.RXMax = 1;
    AxisSetupOf(g, AxisRight);
    EXPECT_EQ(g.RXMax, 1);
}

} // namespace
