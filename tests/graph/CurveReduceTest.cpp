#include "graph/CurveReduce.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {

using namespace qv;

struct Curve {
    std::vector<double> x, y;
    TMinMaxPyramid pyramid;
    explicit Curve(int n, double dt = 0.01)
    {
        x.resize(n);
        y.resize(n);
        for (int i = 0; i < n; ++i) {
            x[i] = i * dt;
            y[i] = (i % 97) + std::sin(i * 0.001) * 20;
        }
    }
    void build() { pyramid.Build(y); }
    std::vector<std::int32_t> reduce(double x0, double x1, int pixels) const
    {
        std::vector<std::int32_t> out;
        ReduceForView(x, y, pyramid, x0, x1, pixels, out);
        return out;
    }
};

TEST(CurveReduce, PyramidHoldsTheExtremesOfEveryBucket)
{
    Curve c(10007);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> d(-1000, 1000);
    for (double& v : c.y)
        v = d(rng);
    c.build();
    ASSERT_GE(c.pyramid.LevelCount(), 5);
    for (int l = 1; l <= c.pyramid.LevelCount(); ++l) {
        const std::int64_t s = TMinMaxPyramid::BucketSize(l);
        EXPECT_EQ(c.pyramid.BucketCount(l), 10007 / s) << l;
        for (std::int64_t b = 0; b < c.pyramid.BucketCount(l); b += 7) {
            const auto first = c.y.begin() + b * s, last = first + s;
            EXPECT_EQ(c.pyramid.MinIndex(l, b), std::min_element(first, last) - c.y.begin());
            EXPECT_EQ(c.pyramid.MaxIndex(l, b), std::max_element(first, last) - c.y.begin());
        }
    }
}

TEST(CurveReduce, SingleSampleSpikeStaysVisibleAtEveryZoom)
{
    const int n = 1500000;
    Curve c(n);
    const int spike = 987653;
    c.y[spike] = -5000; // one sample far below the rest
    c.y[spike + 1] = 5000; // and the next far above
    c.build();
    const double t = c.x[spike];
    for (double width : {20000.0, 15000.0, 3000.0, 150.0, 15.0, 1.5, 0.1, 0.03}) {
        for (double shift : {-0.49, -0.1, 0.0, 0.3, 0.49}) {
            const double x0 = t - width * (0.5 + shift);
            for (int pixels : {1, 37, 800, 1600}) {
                const auto idx = c.reduce(x0, x0 + width, pixels);
                // Columns in time order: no index goes back by more than
                // one step (the second extreme of a column may come first).
                for (std::size_t k = 2; k < idx.size(); ++k)
                    ASSERT_GT(idx[k], std::min(idx[k - 1], idx[k - 2]));
                EXPECT_NE(std::find(idx.begin(), idx.end(), spike), idx.end()) << width << " " << shift << " " << pixels;
                EXPECT_NE(std::find(idx.begin(), idx.end(), spike + 1), idx.end()) << width << " " << pixels;
                // A bounded number of points: two per column, the ends and
                // the neighbours outside.
                EXPECT_LE(idx.size(), std::size_t(4 * pixels + 8)) << width << " " << pixels;
            }
        }
    }
}

TEST(CurveReduce, EveryColumnKeepsItsLowestAndHighestValue)
{
    const int n = 400000;
    Curve c(n);
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, 5);
    for (double& v : c.y)
        v += noise(rng);
    c.build();
    std::uniform_real_distribution<double> start(-100, 4000), span(1, 4000);
    for (int round = 0; round < 30; ++round) {
        const double x0 = start(rng), x1 = x0 + span(rng);
        const int pixels = 200 + round * 17;
        const auto idx = c.reduce(x0, x1, pixels);
        // Per column of the view: the extremes of the samples in it and of
        // the reduced points (a bucket counts where it starts: allow the
        // column on either side).
        std::vector<double> lo(pixels, 1e300), hi(pixels, -1e300), rlo(pixels + 2, 1e300), rhi(pixels + 2, -1e300);
        auto column = [&](double x) { return int(std::floor((x - x0) * pixels / (x1 - x0))); };
        for (int i = 0; i < n; ++i) {
            const int col = column(c.x[i]);
            if (c.x[i] < x0 || c.x[i] > x1 || col < 0 || col >= pixels)
                continue;
            lo[col] = std::min(lo[col], c.y[i]);
            hi[col] = std::max(hi[col], c.y[i]);
        }
        for (std::int32_t i : idx) {
            const int col = std::clamp(column(c.x[i]), -1, pixels) + 1;
            rlo[col] = std::min(rlo[col], c.y[i]);
            rhi[col] = std::max(rhi[col], c.y[i]);
        }
        for (int col = 0; col < pixels; ++col) {
            if (lo[col] > hi[col])
                continue;
            const double l = std::min({rlo[col], rlo[col + 1], rlo[col + 2]});
            const double h = std::max({rhi[col], rhi[col + 1], rhi[col + 2]});
            ASSERT_LE(l, lo[col]) << round << " column " << col;
            ASSERT_GE(h, hi[col]) << round << " column " << col;
        }
    }
}

TEST(CurveReduce, EqualValuesGiveTheFirstOfAColumnAndNotANumberNeverWins)
{
    Curve c(200000);
    std::fill(c.y.begin(), c.y.end(), 5.0);
    c.y[100003] = std::numeric_limits<double>::quiet_NaN();
    c.build();
    // Sample by sample (a view of 10,000 samples) and bucket by bucket.
    for (const auto& [x0, x1] : {std::pair{950.0, 1050.0}, std::pair{-1.0, 2001.0}}) {
        const auto idx = c.reduce(x0, x1, 700);
        auto column = [&](std::int32_t i) { return int(std::floor((c.x[i] - x0) * 700 / (x1 - x0))); };
        for (std::size_t k = 1; k < idx.size(); ++k) {
            ASSERT_NE(idx[k], 100003);
            ASSERT_LT(column(idx[k - 1]), column(idx[k])) << k; // one point a column: its lowest is its highest
            if (x1 - x0 < 200 && k + 1 < idx.size())
                EXPECT_LT(column(idx[k] - 1), column(idx[k])) << k; // and the first of it
        }
    }
}

TEST(CurveReduce, ShortRangesGiveEverySampleAndTheNeighboursOutside)
{
    Curve c(1000, 1.0);
    c.build();
    const auto idx = c.reduce(100.5, 110.5, 800);
    ASSERT_EQ(idx.size(), 12u); // 101..110 and 100, 111
    EXPECT_EQ(idx.front(), 100);
    EXPECT_EQ(idx.back(), 111);
    // Views beside the data and reversed ranges draw nothing odd.
    EXPECT_EQ(c.reduce(5000, 6000, 800), std::vector<std::int32_t>{999});
    EXPECT_TRUE(c.reduce(10, 5, 800).empty());
    Curve empty(0);
    empty.build();
    EXPECT_TRUE(empty.reduce(0, 1, 100).empty());
    Curve one(1);
    one.build();
    EXPECT_EQ(one.reduce(-1, 1, 100), std::vector<std::int32_t>{0});
}

} // namespace

namespace {

TEST(CurveReduce, MarksAreThinnedToOnePerShapeWidthAndNeverDroppedAlone)
{
    // A dense run of marks 1 pixel apart on a line over ten cells, and a
    // lone mark far from it; marks of 9 pixels.
    std::vector<double> px, py;
    for (int i = 0; i < 90; ++i) {
        px.push_back(99 + i);
        py.push_back(50);
    }
    px.push_back(150);
    py.push_back(300.5); // alone, in the middle of the run's time span
    std::vector<std::int32_t> keep;
    ThinMarks(px, py, 9.0, keep);
    ASSERT_EQ(keep.size(), 11u); // 90 pixels of run: ten cells, and the lone one
    EXPECT_EQ(keep.front(), 0);
    EXPECT_EQ(keep.back(), 90);
    for (std::size_t k = 1; k + 1 < keep.size(); ++k)
        EXPECT_GE(px[keep[k]] - px[keep[k - 1]], 9.0);
    // Marks a shape's width apart are all kept, at any position.
    px = {0.5, 9.5, 18.5, 18.5};
    py = {0, 0, 0, 9.5};
    ThinMarks(px, py, 9.0, keep);
    EXPECT_EQ(keep, (std::vector<std::int32_t>{0, 1, 2, 3}));
    // Two on the same spot are one mark.
    ThinMarks({7, 7}, {3, 3}, 9.0, keep);
    EXPECT_EQ(keep, (std::vector<std::int32_t>{0}));
    ThinMarks({}, {}, 9.0, keep);
    EXPECT_TRUE(keep.empty());
}

} // namespace

#include "graph/CurveModel.h"
#include "graph/PointReduce.h"


namespace {

TEST(CurveReduce, MarksOfSomeSamplesReduceAsTheirPointsCopiedOut)
{
    // Markers at a random half of 300,000 samples, none in a long gap but
    // one in its middle, and one marker far below the rest: both are drawn
    // at every view that holds them.
    const int n = 300000;
    Curve c(n);
    std::mt19937 rng(11);
    auto index = std::make_shared<std::vector<std::int32_t>>();
    for (int i = 0; i < n; ++i)
        if ((i < 100000 || i >= 200000 || i == 150000) && (rng() % 2 || i == 150000))
            index->push_back(i);
    const std::int32_t spike = static_cast<std::int32_t>(index->size() / 4);
    const auto lone = static_cast<std::int32_t>(std::find(index->begin(), index->end(), 150000) - index->begin());
    c.y[(*index)[spike]] = -1e4;
    Curve copied(0);
    for (const std::int32_t i : *index) {
        copied.x.push_back(c.x[i]);
        copied.y.push_back(c.y[i]);
    }
    copied.build();
    TCurveModel m;
    const TCurveHandle h = m.AddFile(QStringLiteral("f"), 0);
    m.SetIndexedPoints(h, SlotMark, std::make_shared<std::vector<double>>(c.x),
                       std::make_shared<std::vector<double>>(c.y), index);
    m.SetPoints(h, SlotAlt, std::make_shared<std::vector<double>>(c.x), std::make_shared<std::vector<double>>(c.y));
    const TCurve& marks = *m.Curve(h, SlotMark);
    ASSERT_EQ(marks.Index, index); // kept, not copied
    // A wide bucket keeps where its first point lies, which places it in
    // its column.
    ASSERT_NE(marks.Pyramid.Places(TMinMaxPyramid::kPlacedLevel - 1), nullptr); // marks: one level more
    for (int l = 1; l <= marks.Pyramid.LevelCount(); ++l)
        if (const TMinMaxPyramid::TPlace* q = marks.Pyramid.Places(l))
            for (std::int64_t b = 0; b < marks.Pyramid.BucketCount(l); ++b)
                ASSERT_EQ(q[b].X, marks.PointX(b * TMinMaxPyramid::BucketSize(l))) << l << " " << b;
    EXPECT_EQ(marks.MinY, -1e4);
    EXPECT_EQ(marks.KeyExtent().Upper, copied.x.back());
    std::uniform_real_distribution<double> start(-100, 3000), span(0.01, 3000);
    for (int round = 0; round < 60; ++round) {
        // The whole flight, on a wide and on a narrow chart (the widest
        // buckets), then random views.
        const double x0 = round < 2 ? -1 : start(rng), x1 = round < 2 ? 3001 : x0 + span(rng);
        const int pixels = round == 0 ? 1400 : 50 + round * 23;
        std::vector<std::int32_t> got;
        TReducedPlaces places;
        // Where each point lies comes with it (from the wide buckets too),
        // for marks and lines alike.
        for (const TCurve* curve : {&marks, m.Curve(h, SlotAlt)}) {
            ReduceCurveForView(*curve, x0, x1, pixels, got, &places);
            ASSERT_EQ(places.X.size(), got.size());
            for (std::size_t k = 0; k < got.size(); ++k) {
                ASSERT_EQ(places.X[k], curve->PointX(got[k])) << round;
                ASSERT_EQ(places.Y[k], curve->PointY(got[k])) << round;
            }
        }
        ReduceCurveForView(marks, x0, x1, pixels, got, &places);
        for (const std::int32_t alone : {spike, lone})
            if (copied.x[alone] >= x0 && copied.x[alone] <= x1)
                EXPECT_NE(std::find(got.begin(), got.end(), alone), got.end()) << round << " " << alone;
        // Where the copied points would be reduced otherwise, it is only
        // behind a gap: no more points than a reduction gives.
        EXPECT_LE(got.size(), std::max(copied.reduce(x0, x1, pixels).size(), static_cast<std::size_t>(4 * pixels + 8)))
            << round;
    }
}

TEST(CurveReduce, MemoOfTheLastViewsGivesTheSamePoints)
{
    // Lines and marks, panned in small and large steps, zoomed across
    // levels and back, then given other points: with the memo every view
    // is reduced exactly as without it.
    const int n = 300000;
    Curve c(n);
    std::mt19937 rng(5);
    auto index = std::make_shared<std::vector<std::int32_t>>();
    for (int i = 0; i < n; ++i)
        if ((i / 700) % 3 != 1 && rng() % 3) // runs with gaps of 7 s
            index->push_back(i);
    TCurveModel m;
    const TCurveHandle h = m.AddFile(QStringLiteral("f"), 0);
    auto x = std::make_shared<std::vector<double>>(c.x);
    m.SetPoints(h, SlotAlt, x, std::make_shared<std::vector<double>>(c.y));
    m.SetIndexedPoints(h, SlotMark, x, std::make_shared<std::vector<double>>(c.y), index);
    TReduceMemo memos[2];
    auto check = [&](double x0, double w, int pixels) {
        for (int k = 0; k < 2; ++k) {
            const TCurve& curve = *m.Curve(h, k == 0 ? SlotAlt : SlotMark);
            std::vector<std::int32_t> want, got;
            TReducedPlaces wantAt, gotAt;
            ReduceCurveForView(curve, x0, x0 + w, pixels, want, &wantAt);
            ReduceCurveForView(curve, x0, x0 + w, pixels, got, &gotAt, &memos[k]);
            ASSERT_TRUE(got == want && gotAt.X == wantAt.X && gotAt.Y == wantAt.Y) << x0 << " " << w << " " << k;
        }
    };
    for (double w : {300.0, 1000.0}) { // 32 and 128 samples a bucket
        for (int step = 0; step < 40; ++step)
            ASSERT_NO_FATAL_FAILURE(check(-5 + step * 3.7, w, 400));
        ASSERT_GT(memos[0].End(), memos[0].First());
        for (int step = 0; step < 10; ++step)
            ASSERT_NO_FATAL_FAILURE(check(2900 - w - step * 211.3, w, 400)); // far steps and back
        for (double zoom : {0.9, 0.7, 1.3, 2.5, 0.3, 1.0})
            ASSERT_NO_FATAL_FAILURE(check(1000, w * zoom, 400));
    }
    for (double& v : c.y)
        v = -v;
    m.SetPoints(h, SlotAlt, x, std::make_shared<std::vector<double>>(c.y));
    m.SetIndexedPoints(h, SlotMark, x, std::make_shared<std::vector<double>>(c.y), index);
    ASSERT_NO_FATAL_FAILURE(check(1000, 300, 400));
}

} // namespace
