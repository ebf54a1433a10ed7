// Lines and stamps drawn straight into pixels.
#include "graph/PixelCanvas.h"
#include "graph/ChartCanvas.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace qv;

constexpr std::uint32_t kInk = 0xff102030u;

struct Picture {
    Picture(int w, int h) : W(w), H(h), Bits(static_cast<std::size_t>(w * h), 0u), Canvas(Bits.data(), w, h, w) {}
    bool At(int x, int y) const { return Bits[static_cast<std::size_t>(y * W + x)] == kInk; }
    int Count() const
    {
        int n = 0;
        for (std::uint32_t p : Bits)
            n += p == kInk;
        return n;
    }
    int W, H;
    std::vector<std::uint32_t> Bits;
    TPixelCanvas Canvas;
};

TEST(PixelCanvas, DashesRunOnAcrossSegmentsAndEveryPointIsReached)
{
    Picture p(20, 40);
    // Down a column in two segments of 5 and 7 pixels, then the last point.
    const double x[] = {3.2, 3.7, 3.5}, y[] = {0, 5, 12};
    p.Canvas.Polyline(x, y, 3, kInk, {4, 2});
    std::string column;
    for (int r = 0; r <= 12; ++r)
        column += p.At(3, r) ? '#' : '.';
    EXPECT_EQ(column, "####..####..#");
    EXPECT_EQ(p.Count(), 9);
    // The same in long runs (drawn a dash place at a time).
    Picture tall(8, 400);
    const double tx[] = {2, 2, 2}, ty[] = {0, 203, 390};
    tall.Canvas.Polyline(tx, ty, 3, kInk, {4, 2});
    for (int r = 0; r < 400; ++r)
        ASSERT_EQ(tall.At(2, r), r <= 390 && r % 6 < 4) << r;

    Picture solid(20, 20);
    const double sx[] = {0, 19, 19}, sy[] = {0, 19, 0};
    solid.Canvas.Polyline(sx, sy, 3, kInk, {});
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(solid.At(i, i)) << i;
        EXPECT_TRUE(solid.At(19, i)) << i;
    }

    // Points one after another in a column, then on to the next column:
    // every row between their lowest and highest, and nothing more.
    Picture chain(10, 12);
    const int cx[] = {5, 5, 5, 6, 6}, cy[] = {3, 9, 4, 4, 1};
    chain.Canvas.Polyline(cx, cy, 5, kInk, {});
    std::string columns;
    for (int c = 5; c <= 6; ++c)
        for (int r = 0; r < 12; ++r)
            columns += chain.At(c, r) ? '#' : '.';
    EXPECT_EQ(columns, "...#######.." ".####.......");
    EXPECT_EQ(chain.Count(), 11);
}

TEST(PixelCanvas, NothingOutsideTheClipAndFarPointsAreSafe)
{
    Picture p(50, 50);
    p.Canvas.SetClip(10, 10, 39, 39);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // A line from far away across the picture, a gap, and a short piece.
    const double x[] = {-1e12, 1e12, nan, 20, 30}, y[] = {25, 25, nan, 30, 30};
    p.Canvas.Polyline(x, y, 5, kInk, {});
    for (int yy = 0; yy < 50; ++yy)
        for (int xx = 0; xx < 50; ++xx)
            if (p.At(xx, yy))
                EXPECT_TRUE(xx >= 10 && xx <= 39 && yy >= 10 && yy <= 39) << xx << "," << yy;
    EXPECT_TRUE(p.At(10, 25) && p.At(39, 25));
    EXPECT_TRUE(p.At(20, 30) && p.At(30, 30));
    EXPECT_FALSE(p.At(20, 28)); // nothing joins the pieces across the gap
    // The pixel a coordinate falls in, below zero too; far ones held.
    EXPECT_EQ(TPixelCanvas::PixelOf(2.7), 2);
    EXPECT_EQ(TPixelCanvas::PixelOf(-0.2), -1);
    EXPECT_EQ(TPixelCanvas::PixelOf(-3.0), -3);
    EXPECT_EQ(TPixelCanvas::PixelOf(nan), TPixelCanvas::kGap);
    EXPECT_EQ(TPixelCanvas::PixelOf(-1e300), -(1 << 22));
    EXPECT_EQ(TPixelCanvas::PixelOf(1e300), 1 << 22);
}

TEST(PixelCanvas, StampsBlendWhereTheyAreNotOpaqueAndAreClipped)
{
    Picture p(8, 8);
    p.Bits.assign(64, 0xff0000ffu); // opaque blue
    // 2 x 2: opaque red, half-transparent premultiplied red, clear, clear.
    const std::uint32_t bits[] = {0xffff0000u, 0x80800000u, 0u, 0u};
    const TPixelCanvas::TStamp stamp(bits, 2, 2);
    p.Canvas.Stamp(stamp, 6, 6);
    EXPECT_EQ(p.Bits[6 * 8 + 6], 0xffff0000u);
    EXPECT_EQ(p.Bits[6 * 8 + 7], 0xff80007fu);
    EXPECT_EQ(p.Bits[7 * 8 + 6], 0xff0000ffu);
    p.Canvas.Stamp(stamp, -1, 7); // three quarters outside: only (0, 7) is reached
    EXPECT_EQ(p.Bits[7 * 8], 0xff80007fu);
    EXPECT_EQ(p.Bits[6 * 8], 0xff0000ffu);
    // A row with an opaque run between blended pixels, and one after it;
    // whole, and cut into the run by the left edge.
    const std::uint32_t row[] = {0x80800000u, 0xffff0000u, 0xffff0000u, 0x80800000u, 0xffff0000u};
    const TPixelCanvas::TStamp line(row, 5, 1);
    p.Canvas.Stamp(line, 3, 0);
    p.Canvas.Stamp(line, -2, 1);
    const std::uint32_t half = 0xff80007fu, red = 0xffff0000u, blue = 0xff0000ffu;
    EXPECT_EQ(std::vector<std::uint32_t>(p.Bits.begin(), p.Bits.begin() + 8),
              (std::vector<std::uint32_t>{blue, blue, blue, half, red, red, half, red}));
    EXPECT_EQ(std::vector<std::uint32_t>(p.Bits.begin() + 8, p.Bits.begin() + 16),
              (std::vector<std::uint32_t>{red, half, red, blue, blue, blue, blue, blue}));
}

} // namespace

namespace {

TEST(PixelCanvas, BandsOfRowsDrawWhatTheWholeDraws)
{
    // A dense zigzag with gaps, solid and dashed, drawn whole and then in
    // bands cut at any rows (as the chart's threads draw it): the same
    // pixels, the pattern running on across the cuts.
    std::vector<int> x, y;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> row(-10, 129);
    for (int i = 0; i < 600; ++i) {
        x.push_back(i / 3 - 5);
        y.push_back(i % 97 == 50 ? TPixelCanvas::kGap : row(rng));
    }
    for (const std::vector<int>& dashes : {std::vector<int>{}, std::vector<int>{4, 2}, std::vector<int>{1, 2, 3, 2}}) {
        Picture whole(200, 120), bands(200, 120);
        whole.Canvas.Polyline(x.data(), y.data(), static_cast<int>(x.size()), kInk, dashes);
        for (const int cut : {0, 1, 37, 38, 60, 119}) {
            std::fill(bands.Bits.begin(), bands.Bits.end(), 0u);
            for (const auto& [top, bottom] : {std::pair<int, int>{0, cut - 1}, {cut, 119}}) {
                TPixelCanvas part = bands.Canvas;
                part.SetClip(0, top, 199, bottom);
                part.Polyline(x.data(), y.data(), static_cast<int>(x.size()), kInk, dashes);
            }
            EXPECT_GT(whole.Count(), 2000);
            EXPECT_EQ(bands.Bits, whole.Bits) << dashes.size() << " " << cut;
        }
    }
}

// Bands of rows cut where they get the same ink: a line counts a pixel a
// row it crosses (nothing across a gap), a mark its width on each of its
// rows; the bands follow one another over every row.
TEST(PixelCanvas, BandsAreCutWhereTheInkIsShared)
{
    TInk ink(10, 109);
    const int line[] = {10, 109}, broken[] = {10, TPixelCanvas::kGap, 109}, marks[] = {100, 100, 100};
    ink.AddLine(line, 2);
    ink.AddLine(broken, 3);
    EXPECT_EQ(ink.Tops(2), (std::vector<int>{10, 60, 110}));
    ink.AddMarks(marks, 3, 5); // rows 100 .. 104, 15 pixels each
    EXPECT_EQ(ink.Tops(2), (std::vector<int>{10, 98, 110}));
    EXPECT_EQ(ink.Tops(1), (std::vector<int>{10, 110}));
}

} // namespace
