// The generated logger memory: layout, no false end marks, plausible curves.
#include "device/SimMemory.h"

#include <gtest/gtest.h>

using namespace qv::sim;

namespace {
int word(const std::vector<quint8>& m, size_t at) { return (m[at] << 8) | m[at + 1]; }
} // namespace

TEST(SimMemory, FlightsHaveMarkerHeaderAndSamplesThenFf)
{
    FlightShape shape;
    shape.samples = 40;
    shape.words = {{7, 8, 9, 10, 11}};
    const std::vector<quint8> m = BuildMemory(2, shape, 5, 0, 8);
    const size_t flight = kFlightHeaderSize + 40 * 3 * 2;
    ASSERT_EQ(m.size(), 2 * flight + 8);
    for (size_t f = 0; f < 2; ++f) {
        const size_t at = f * flight;
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(m[at + k], 0xFF);
        EXPECT_EQ(word(m, at + 4), 10);
        EXPECT_EQ(word(m, at + 6), 0xC800);
        for (int w = 0; w < 5; ++w)
            EXPECT_EQ(word(m, at + 8 + 2 * w), 7 + w);
        // No 0xFF byte inside the samples, so no false end of data.
        for (size_t i = at + 4; i < at + flight; ++i)
            ASSERT_NE(m[i], 0xFF) << i;
    }
    for (size_t i = 2 * flight; i < m.size(); ++i)
        EXPECT_EQ(m[i], 0xFF);
    EXPECT_EQ(BuildMemory(1, shape, 5, 4096).size(), 4096u);
}

TEST(SimMemory, CurvesLookLikeATowAndRelease)
{
    FlightShape shape;
    shape.samples = 1000;
    const std::vector<quint16> s = FlightSamples(shape, 3);
    ASSERT_EQ(s.size(), 3000u);
    auto traction = [&](int i) { return s[3 * i]; };
    auto servoPercent = [&](int i) { return (19843.0 - s[3 * i + 1]) / 43.35; };
    auto volts = [&](int i) { return (s[3 * i + 2] + 85) * 0.0217; };
    EXPECT_GT(traction(590), traction(50) + 1000);   // pulling hard before the release
    EXPECT_LT(traction(700), traction(50) + 100);    // slack after it
    EXPECT_LT(servoPercent(500), 0.0);               // servo crosses 0 % at the release
    EXPECT_GT(servoPercent(650), 0.0);
    EXPECT_NEAR(volts(0), 8.4, 0.1);
    EXPECT_LT(volts(999), volts(0) - 0.5);
}

TEST(SimMemory, FullMemoryHasExactlyTheSizeAndNoFf)
{
    FlightShape shape;
    const std::vector<quint8> m = BuildFullMemory(540672, 3, shape, 1);
    ASSERT_EQ(m.size(), 540672u);
    int run = 0, longest = 0;
    for (quint8 b : m) {
        run = b == 0xFF ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    EXPECT_EQ(longest, 4); // only the flight markers
}
