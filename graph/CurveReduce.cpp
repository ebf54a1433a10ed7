#include "graph/CurveReduce.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace qv {

std::int64_t TMinMaxPyramid::BucketSize(int level)
{
    if (level <= 0)
        return 1;
    std::int64_t s = kFirst;
    for (int l = 1; l < level; ++l)
        s *= kFan;
    return s;
}

void TMinMaxPyramid::Build(const std::vector<double>& y)
{
    Clear();
    const std::int64_t n = static_cast<std::int64_t>(y.size());
    // Level 1 from the samples.
    std::int64_t buckets = n / kFirst;
    if (buckets < 1)
        return;
    std::vector<std::int32_t> first(static_cast<std::size_t>(2 * buckets));
    for (std::int64_t b = 0; b < buckets; ++b) {
        std::int64_t lo = b * kFirst, hi = lo;
        for (std::int64_t i = lo + 1; i < (b + 1) * kFirst; ++i) {
            if (y[i] < y[lo])
                lo = i;
            if (y[i] > y[hi])
                hi = i;
        }
        first[2 * b] = static_cast<std::int32_t>(lo);
        first[2 * b + 1] = static_cast<std::int32_t>(hi);
    }
    levels_.push_back(std::move(first));
    // Each further level from the one below.
    while ((buckets = static_cast<std::int64_t>(levels_.back().size() / 2) / kFan) >= 1) {
        const std::vector<std::int32_t>& below = levels_.back();
        std::vector<std::int32_t> next(static_cast<std::size_t>(2 * buckets));
        for (std::int64_t b = 0; b < buckets; ++b) {
            std::int32_t lo = below[2 * b * kFan], hi = below[2 * b * kFan + 1];
            for (std::int64_t c = b * kFan + 1; c < (b + 1) * kFan; ++c) {
                if (y[below[2 * c]] < y[lo])
                    lo = below[2 * c];
                if (y[below[2 * c + 1]] > y[hi])
                    hi = below[2 * c + 1];
            }
            next[2 * b] = lo;
            next[2 * b + 1] = hi;
        }
        levels_.push_back(std::move(next));
    }
}

void ReduceForView(const std::vector<double>& x, const std::vector<double>& y, const TMinMaxPyramid& pyramid,
                   double x0, double x1, int pixels, std::vector<std::int32_t>& out)
{
    out.clear();
    const std::int64_t n = static_cast<std::int64_t>(std::min(x.size(), y.size()));
    if (n == 0 || !(x1 >= x0))
        return;
    pixels = std::max(1, pixels);
    // The samples in the range and one neighbour outside each end.
    std::int64_t i0 = std::lower_bound(x.begin(), x.begin() + n, x0) - x.begin();
    std::int64_t i1 = std::upper_bound(x.begin(), x.begin() + n, x1) - x.begin();
    i0 = std::max<std::int64_t>(0, i0 - 1);
    i1 = std::min<std::int64_t>(n, i1 + 1);
    const std::int64_t count = i1 - i0;
    if (count <= 0)
        return;
    if (count <= 4 * static_cast<std::int64_t>(pixels)) {
        out.reserve(static_cast<std::size_t>(count));
        for (std::int64_t i = i0; i < i1; ++i)
            out.push_back(static_cast<std::int32_t>(i));
        return;
    }
    // The largest level that still puts a bucket or more into a column.
    int level = 0;
    while (level < pyramid.LevelCount() && TMinMaxPyramid::BucketSize(level + 1) * pixels <= count)
        ++level;

    const double width = x1 > x0 ? x1 - x0 : 1.0;
    const double perPixel = pixels / width;
    auto column = [&](std::int64_t i) {
        const double c = std::floor((x[i] - x0) * perPixel);
        return c < 0 ? -1 : (c >= pixels ? pixels : static_cast<int>(c));
    };
    out.reserve(static_cast<std::size_t>(4 * pixels + 8));
    int col = column(i0);
    std::int64_t lo = i0, hi = i0;
    double loV = y[i0], hiV = y[i0];
    double lastV = 0; // value of the point emitted last
    // A column's two extremes go out in the order that keeps the line
    // short: first the one nearer to the point drawn before. Dense curves
    // then cost half the ink of a zigzag in time order, and look the same.
    auto flush = [&] {
        if (lo == hi) {
            out.push_back(static_cast<std::int32_t>(lo));
            lastV = loV;
            return;
        }
        const bool lowFirst = out.empty() ? lo < hi : std::abs(loV - lastV) <= std::abs(hiV - lastV);
        out.push_back(static_cast<std::int32_t>(lowFirst ? lo : hi));
        out.push_back(static_cast<std::int32_t>(lowFirst ? hi : lo));
        lastV = lowFirst ? hiV : loV;
    };
    auto take = [&](int c, std::int64_t mn, double mnV, std::int64_t mx, double mxV) {
        if (c != col) {
            flush();
            col = c;
            lo = mn;
            hi = mx;
            loV = mnV;
            hiV = mxV;
            return;
        }
        if (mnV < loV) {
            lo = mn;
            loV = mnV;
        }
        if (mxV > hiV) {
            hi = mx;
            hiV = mxV;
        }
    };
    std::int64_t i = i0 + 1;
    // The neighbour outside the left end stays a point of its own.
    if (i0 < i1 && x[i0] < x0) {
        flush();
        col = column(i);
        lo = hi = i;
        loV = hiV = y[i];
        ++i;
    }
    // Bucket sizes are powers of two: alignment is a mask.
    std::int64_t sizes[32];
    for (int l = 0; l <= level; ++l)
        sizes[l] = TMinMaxPyramid::BucketSize(l);
    // The extremes a bucket points at lie anywhere in the samples: they are
    // fetched a few buckets ahead, so that the waits for memory overlap.
    constexpr std::int64_t kAhead = 8;
    while (i < i1) {
        // The largest bucket that starts here and ends inside the range.
        int l = level;
        while (l > 0 && ((i & (sizes[l] - 1)) != 0 || i + sizes[l] > i1))
            --l;
        if (l == 0) {
            take(column(i), i, y[i], i, y[i]);
            ++i;
            continue;
        }
        const std::int64_t s = sizes[l];
        const std::int64_t b = i / s;
        if (b + kAhead < pyramid.BucketCount(l) && i + (kAhead + 1) * s <= i1) {
            __builtin_prefetch(&y[pyramid.MinIndex(l, b + kAhead)]);
            __builtin_prefetch(&y[pyramid.MaxIndex(l, b + kAhead)]);
            __builtin_prefetch(&x[i + kAhead * s]);
        }
        const std::int32_t mn = pyramid.MinIndex(l, b), mx = pyramid.MaxIndex(l, b);
        take(column(i), mn, y[mn], mx, y[mx]);
        i += s;
    }
    flush();
}

void ThinMarks(const std::vector<double>& px, const std::vector<double>& py, double cell,
               std::vector<std::int32_t>& keep)
{
    keep.clear();
    const std::size_t n = std::min(px.size(), py.size());
    if (n == 0)
        return;
    cell = std::max(1.0, cell);
    auto cellOf = [cell](double v) { return static_cast<std::int64_t>(std::floor(std::clamp(v / cell, -1e9, 1e9))); };
    std::int64_t c0 = cellOf(px[0]), c1 = c0, r0 = cellOf(py[0]), r1 = r0;
    for (std::size_t i = 1; i < n; ++i) {
        const std::int64_t c = cellOf(px[i]), r = cellOf(py[i]);
        c0 = std::min(c0, c);
        c1 = std::max(c1, c);
        r0 = std::min(r0, r);
        r1 = std::max(r1, r);
    }
    const std::int64_t columns = c1 - c0 + 1, rows = r1 - r0 + 1;
    if (columns * rows <= (std::int64_t(1) << 22)) {
        // The cells taken so far, a flag a cell of the marks' extent.
        std::vector<std::uint8_t> taken(static_cast<std::size_t>(columns * rows), 0);
        for (std::size_t i = 0; i < n; ++i) {
            std::uint8_t& t = taken[static_cast<std::size_t>((cellOf(py[i]) - r0) * columns + (cellOf(px[i]) - c0))];
            if (!t) {
                t = 1;
                keep.push_back(static_cast<std::int32_t>(i));
            }
        }
        return;
    }
    // Marks spread far beyond any screen: the cells as keys.
    std::unordered_set<std::int64_t> taken;
    taken.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
        const auto key = cellOf(px[i]) * (std::int64_t(1) << 32) ^ static_cast<std::int64_t>(static_cast<std::uint32_t>(cellOf(py[i])));
        if (taken.insert(key).second)
            keep.push_back(static_cast<std::int32_t>(i));
    }
}

} // namespace qv
