#include "graph/GraphStyle.h"

#include <gtest/gtest.h>

namespace {

using namespace qv;

TEST(GraphStyle, PaletteEntriesAreBlueGreenRed)
{
    EXPECT_EQ(SwapRedBlue(kCurveColours[0]), 0x0000FFu); // blue
    EXPECT_EQ(SwapRedBlue(kCurveColours[1]), 0xFF0000u); // red
    EXPECT_EQ(SwapRedBlue(kCurveColours[9]), 0xA6CAF0u); // sky blue
    EXPECT_EQ(SwapRedBlue(SwapRedBlue(0x123456)), 0x123456u);
}

TEST(GraphStyle, FreeColourIndexAndChartColours)
{
    EXPECT_EQ(FirstFreeColourIndex({}), 0);
    EXPECT_EQ(FirstFreeColourIndex({0, 1, 3}), 2);
    std::vector<std::uint8_t> all;
    for (int i = 0; i < kCurveColourCount; ++i)
        all.push_back(static_cast<std::uint8_t>(i));
    EXPECT_EQ(FirstFreeColourIndex(all), 255);
    all.push_back(255);
    all.erase(all.begin() + 5);
    EXPECT_EQ(FirstFreeColourIndex(all), 5);

    EXPECT_EQ(NextFreeSeriesColour({}), kChartSeriesColours[0]);
    EXPECT_EQ(NextFreeSeriesColour({kChartSeriesColours[0], 0x123456}), kChartSeriesColours[1]);
    std::vector<std::uint32_t> used(kChartSeriesColours.begin(), kChartSeriesColours.end());
    used.push_back(1);
    EXPECT_EQ(NextFreeSeriesColour(used), kChartSeriesColours[1]); // in turn
}

TEST(GraphStyle, StyleCodes)
{
    EXPECT_EQ(PenStyleFromCode(0), Qt::SolidLine);
    EXPECT_EQ(PenStyleFromCode(4), Qt::DashDotDotLine);
    EXPECT_FALSE(PenStyleFromCode(5).has_value());
    EXPECT_FALSE(PenStyleFromCode(-1).has_value());
    EXPECT_TRUE(IsValidPointShape(8));
    EXPECT_FALSE(IsValidPointShape(9));
}

TEST(GraphStyle, ReceiverMapping)
{
    const TRxMapping centred = RxMapping(true, -5.0, 5.0, 7.0);
    EXPECT_DOUBLE_EQ(centred(100), 5.0);
    EXPECT_DOUBLE_EQ(centred(-100), -5.0);
    const TRxMapping skewed = RxMapping(true, 0.0, 10.0, 7.0);
    EXPECT_DOUBLE_EQ(skewed(0), 5.0);
    const TRxMapping shifted = RxMapping(false, -5.0, 5.0, 7.0);
    EXPECT_DOUBLE_EQ(shifted(10), 17.0);
}

} // namespace
