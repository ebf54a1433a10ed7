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
    pyramid.Build(y);
    const std::vector<double> prefix = PrefixSums(y);
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

} // namespace
} // namespace qv
