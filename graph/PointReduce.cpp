#include "graph/PointReduce.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qv {

namespace {

// Points i of the curve, 0 <= i < n: x(i) ascending. A bucket of the
// pyramid stands for its points in the column where it starts; evenly
// spaced samples put no more than a column's worth into a bucket. Exact:
// a bucket stands for its points only where they reach no further than
// the next column (the point after it does not either), so that a point
// alone behind a gap is never lost; points with gaps (marks) need that.
template <bool Exact, class Points>
void Reduce(const Points& p, std::int64_t n, const TMinMaxPyramid& pyramid, double x0, double x1, int pixels,
            std::vector<std::int32_t>& out, TReducedPlaces* places)
{
    out.clear();
    if (places) {
        places->X.clear();
        places->Y.clear();
    }
    if (n == 0 || !(x1 >= x0))
        return;
    pixels = std::max(1, pixels);
    auto firstAtOrAfter = [&](double t, bool after) {
        std::int64_t lo = 0, hi = n;
        while (lo < hi) {
            const std::int64_t mid = lo + (hi - lo) / 2;
            if (after ? !(t < p.X(mid)) : p.X(mid) < t)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    // The points in the range and one neighbour outside each end.
    const std::int64_t i0 = std::max<std::int64_t>(0, firstAtOrAfter(x0, false) - 1);
    const std::int64_t i1 = std::min<std::int64_t>(n, firstAtOrAfter(x1, true) + 1);
    const std::int64_t count = i1 - i0;
    if (count <= 0)
        return;
    auto give = [&](std::int64_t i, double x, double y) {
        out.push_back(static_cast<std::int32_t>(i));
        if (places) {
            places->X.push_back(x);
            places->Y.push_back(y);
        }
    };
    if (count <= 4 * static_cast<std::int64_t>(pixels)) {
        out.reserve(static_cast<std::size_t>(count));
        for (std::int64_t i = i0; i < i1; ++i)
            give(i, places ? p.X(i) : 0.0, places ? p.Y(i) : 0.0);
        return;
    }
    // The largest level that still puts a bucket or more into a column.
    int level = 0;
    while (level < pyramid.LevelCount() && TMinMaxPyramid::BucketSize(level + 1) * pixels <= count)
        ++level;

    const double perPixel = pixels / (x1 > x0 ? x1 - x0 : 1.0);
    auto columnAt = [&](double x) { // floor, which is the cut for c >= 0
        const double c = (x - x0) * perPixel;
        return c < 0 ? -1 : (c >= pixels ? pixels : static_cast<int>(c));
    };
    auto column = [&](std::int64_t i) { return columnAt(p.X(i)); };
    out.reserve(static_cast<std::size_t>(4 * pixels + 8));
    // The extremes of the column being gathered; their x where known
    // already (not a number: read when they go out).
    constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
    int col = column(i0);
    std::int64_t lo = i0, hi = i0;
    double loV = p.Y(i0), hiV = loV, loX = kUnknown, hiX = kUnknown;
    double lastV = 0; // value of the point emitted last
    auto xOf = [&](std::int64_t i, double known) { return !places ? 0.0 : known == known ? known : p.X(i); };
    // A column's two extremes go out nearer-to-the-previous-point first.
    auto flush = [&] {
        if (lo == hi) {
            give(lo, xOf(lo, loX), loV);
            lastV = loV;
            return;
        }
        const bool lowFirst = out.empty() ? lo < hi : std::abs(loV - lastV) <= std::abs(hiV - lastV);
        if (lowFirst) {
            give(lo, xOf(lo, loX), loV);
            give(hi, xOf(hi, hiX), hiV);
        } else {
            give(hi, xOf(hi, hiX), hiV);
            give(lo, xOf(lo, loX), loV);
        }
        lastV = lowFirst ? hiV : loV;
    };
    auto take = [&](int c, std::int64_t mn, double mnV, double mnX, std::int64_t mx, double mxV, double mxX) {
        if (c != col) {
            flush();
            col = c;
            lo = mn;
            hi = mx;
            loV = mnV;
            hiV = mxV;
            loX = mnX;
            hiX = mxX;
            return;
        }
        if (mnV < loV) {
            lo = mn;
            loV = mnV;
            loX = mnX;
        }
        if (mxV > hiV) {
            hi = mx;
            hiV = mxV;
            hiX = mxX;
        }
    };
    std::int64_t i = i0 + 1;
    // The neighbour outside the left end stays a point of its own.
    if (p.X(i0) < x0) {
        flush();
        col = column(i);
        lo = hi = i;
        loV = hiV = p.Y(i);
        loX = hiX = kUnknown;
        ++i;
    }
    // Bucket sizes are powers of two: alignment is a mask, the bucket a
    // shift.
    std::int64_t sizes[32];
    int shifts[32];
    const TMinMaxPyramid::TPlace* placed[32];
    for (int l = 0; l <= level; ++l) {
        sizes[l] = TMinMaxPyramid::BucketSize(l);
        shifts[l] = __builtin_ctzll(static_cast<unsigned long long>(sizes[l]));
        placed[l] = l > 0 ? pyramid.Places(l) : nullptr;
    }
    constexpr std::int64_t kAhead = 8;
    while (i < i1) {
        // The largest bucket that starts here and ends inside the range.
        const double xi = p.X(i);
        const int here = columnAt(xi);
        int l = level;
        while (l > 0 && ((i & (sizes[l] - 1)) != 0 || i + sizes[l] > i1 || (i >> shifts[l]) >= pyramid.BucketCount(l) ||
                         (Exact && column(std::min(i + sizes[l], i1 - 1)) > here + 1)))
            --l;
        if (l == 0) {
            const double v = p.Y(i);
            take(here, i, v, xi, i, v, xi);
            ++i;
        } else if (const TMinMaxPyramid::TPlace* at = placed[l]) {
            // Wide buckets know their extremes' places.
            const std::int64_t b = i >> shifts[l];
            if (i + (kAhead + 1) * sizes[l] <= i1)
                p.Fetch(i + kAhead * sizes[l]);
            const TMinMaxPyramid::TPlace& q = at[b];
            take(here, pyramid.MinIndex(l, b), q.MinY, q.MinX, pyramid.MaxIndex(l, b), q.MaxY, q.MaxX);
            i += sizes[l];
        } else {
            const std::int64_t b = i >> shifts[l];
            // The extremes and the ends of the buckets ahead lie anywhere in
            // the samples: fetched early, so that the waits overlap.
            if (b + kAhead < pyramid.BucketCount(l) && i + (kAhead + 1) * sizes[l] <= i1) {
                p.Fetch(pyramid.MinIndex(l, b + kAhead));
                p.Fetch(pyramid.MaxIndex(l, b + kAhead));
                p.Fetch(i + kAhead * sizes[l]);
            }
            const std::int32_t mn = pyramid.MinIndex(l, b), mx = pyramid.MaxIndex(l, b);
            take(here, mn, p.Y(mn), kUnknown, mx, p.Y(mx), kUnknown);
            i += sizes[l];
        }
    }
    flush();
}

struct TPlain {
    const double* x;
    const double* y;
    double X(std::int64_t i) const { return x[i]; }
    double Y(std::int64_t i) const { return y[i]; }
    void Fetch(std::int64_t i) const
    {
        __builtin_prefetch(x + i);
        __builtin_prefetch(y + i);
    }
};

struct TIndexed {
    const double* x;
    const double* y;
    const std::int32_t* at;
    double X(std::int64_t i) const { return x[at[i]]; }
    double Y(std::int64_t i) const { return y[at[i]]; }
    void Fetch(std::int64_t i) const
    {
        __builtin_prefetch(x + at[i]);
        __builtin_prefetch(y + at[i]);
    }
};

} // namespace

void ReduceForView(const std::vector<double>& x, const std::vector<double>& y, const TMinMaxPyramid& pyramid,
                   double x0, double x1, int pixels, std::vector<std::int32_t>& indices)
{
    Reduce<false>(TPlain{x.data(), y.data()}, static_cast<std::int64_t>(std::min(x.size(), y.size())), pyramid, x0, x1,
                  pixels, indices, nullptr);
}

void ReduceCurveForView(const TCurve& curve, double x0, double x1, int pixels, std::vector<std::int32_t>& indices,
                        TReducedPlaces* places)
{
    const std::int64_t n = curve.Count();
    if (n == 0) {
        indices.clear();
        if (places) {
            places->X.clear();
            places->Y.clear();
        }
        return;
    }
    if (curve.Index)
        Reduce<true>(TIndexed{curve.X->data(), curve.Y->data(), curve.Index->data()}, n, curve.Pyramid, x0, x1, pixels,
                     indices, places);
    else
        Reduce<false>(TPlain{curve.X->data(), curve.Y->data()}, n, curve.Pyramid, x0, x1, pixels, indices, places);
}

} // namespace qv
