#include "graph/PointReduce.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace qv {

namespace {

// c ? a : b, without a branch.
template <class T> inline T Pick(bool c, T a, T b)
{
    static_assert(sizeof(T) == sizeof(std::uint64_t), "a 64-bit value");
    std::uint64_t ua, ub;
    std::memcpy(&ua, &a, sizeof ua);
    std::memcpy(&ub, &b, sizeof ub);
    const std::uint64_t m = 0 - static_cast<std::uint64_t>(c);
    const std::uint64_t r = (ua & m) | (ub & ~m);
    T t;
    std::memcpy(&t, &r, sizeof t);
    return t;
}

// Points i of the curve, 0 <= i < n: x(i) ascending. A bucket of the
// pyramid stands for its points in the column where it starts; evenly
// spaced samples put no more than a column's worth into a bucket. Exact:
// a bucket stands for its points only where they reach no further than
// the next column (the point after it does not either), so that a point
// alone behind a gap is never lost; points with gaps (marks) need that.
template <bool Exact, class Points>
void Reduce(const Points& p, std::int64_t n, const TMinMaxPyramid& pyramid, double x0, double x1, int pixels,
            std::vector<std::int32_t>& out, TReducedPlaces& places, TReduceMemo* memo)
{
    std::size_t k = 0, size = 0; // points given so far, and room for
    std::int32_t* oi = nullptr;
    double *ox = nullptr, *oy = nullptr;
    auto room = [&](std::size_t points) {
        size = points;
        out.resize(size);
        places.X.resize(size);
        places.Y.resize(size);
        oi = out.data();
        ox = places.X.data();
        oy = places.Y.data();
    };
    auto done = [&] {
        out.resize(k);
        places.X.resize(k);
        places.Y.resize(k);
    };
    auto give = [&](std::int64_t i, double x, double y) {
        if (k == size) // only where times are not in order
            room(2 * size + 8);
        oi[k] = static_cast<std::int32_t>(i);
        ox[k] = x;
        oy[k] = y;
        ++k;
    };
    if (n == 0 || !(x1 >= x0))
        return done();
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
        return done();
    if (count <= 4 * static_cast<std::int64_t>(pixels)) {
        room(static_cast<std::size_t>(count));
        for (std::int64_t i = i0; i < i1; ++i)
            give(i, p.X(i), p.Y(i));
        return done();
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
    // Columns only grow from one point to the next: two points for each,
    // and the neighbour outside the left end.
    room(static_cast<std::size_t>(2 * pixels + 8));
    // The extremes of the column being gathered; their x where known
    // already (not a number: read when they go out).
    constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
    int col = column(i0);
    std::int64_t lo = i0, hi = i0;
    double loV = p.Y(i0), hiV = loV, loX = kUnknown, hiX = kUnknown;
    double lastV = 0; // value of the point given last
    auto xOf = [&](std::int64_t i, double known) { return known == known ? known : p.X(i); };
    // A column's two extremes go out nearer-to-the-previous-point first.
    auto flush = [&] {
        if (lo == hi) {
            give(lo, xOf(lo, loX), loV);
            lastV = loV;
            return;
        }
        const bool lowFirst = k == 0 ? lo < hi : std::abs(loV - lastV) <= std::abs(hiV - lastV);
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
        // Without branches: on noisy data they would be mispredicted half
        // the time.
        const bool lower = mnV < loV, higher = mxV > hiV;
        lo = Pick(lower, mn, lo);
        loX = Pick(lower, mnX, loX);
        hi = Pick(higher, mx, hi);
        hiX = Pick(higher, mxX, hiX);
        loV = mnV < loV ? mnV : loV;
        hiV = mxV > hiV ? mxV : hiV;
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
    if (level == 0) {
        // Every point in turn; the places of the extremes are read when
        // they go out.
        for (; i < i1; ++i) {
            const double v = p.Y(i);
            const int c = column(i);
            if (c != col) {
                flush();
                col = c;
                lo = hi = i;
                loV = hiV = v;
                loX = hiX = kUnknown;
                continue;
            }
            lo = Pick(v < loV, i, lo);
            hi = Pick(v > hiV, i, hi);
            loV = v < loV ? v : loV;
            hiV = v > hiV ? v : hiV;
        }
        flush();
        return done();
    }
    // Bucket sizes are powers of two: alignment is a mask, the bucket a
    // shift.
    std::int64_t sizes[32], buckets[32];
    int shifts[32];
    // The places of a level's buckets [first, end), bucket b at at[b & mask].
    struct TPlaced {
        const TMinMaxPyramid::TPlace* at = nullptr;
        std::uint64_t mask = 0;
        std::int64_t first = 0, end = 0;
        const TMinMaxPyramid::TPlace* Of(std::int64_t b) const
        {
            return b >= first && b < end ? at + (static_cast<std::uint64_t>(b) & mask) : nullptr;
        }
    } placed[32];
    for (int l = 0; l <= level; ++l) {
        sizes[l] = TMinMaxPyramid::BucketSize(l);
        shifts[l] = __builtin_ctzll(static_cast<unsigned long long>(sizes[l]));
        buckets[l] = l > 0 ? pyramid.BucketCount(l) : 0;
        if (const TMinMaxPyramid::TPlace* q = l > 0 ? pyramid.Places(l) : nullptr)
            placed[l] = {q, ~std::uint64_t{0}, 0, buckets[l]};
    }
    const std::int64_t topEnd = std::min(buckets[level], i1 >> shifts[level]); // whole top buckets end before
    constexpr std::int64_t kAhead = 8;
    if (memo && !placed[level].at) {
        // The memo's places of the top level's buckets in the range (and
        // of the one after: where it starts is asked).
        const std::int64_t from = (i0 + sizes[level]) >> shifts[level], to = std::min(buckets[level], topEnd + 1);
        if (from < to) {
            memo->Cover(level, from, to, [&](std::int64_t b, TMinMaxPyramid::TPlace& q) {
                if (b + kAhead < buckets[level]) {
                    p.FetchX((b + kAhead) << shifts[level]);
                    p.FetchY(pyramid.MinIndex(level, b + kAhead));
                    p.FetchY(pyramid.MaxIndex(level, b + kAhead));
                }
                const std::int32_t mn = pyramid.MinIndex(level, b), mx = pyramid.MaxIndex(level, b);
                q = {p.X(b << shifts[level]), p.X(mn), p.Y(mn), p.X(mx), p.Y(mx)};
            });
            placed[level] = {memo->Places(), memo->Mask(), memo->First(), memo->End()};
        }
    }
    // x of point j, from the places of a bucket it starts where one is
    // kept (those of the samples may be far out of the cache).
    auto xAt = [&](std::int64_t j) {
        for (int l = level; l > 0 && placed[l].at; --l)
            if ((j & (sizes[l] - 1)) == 0)
                if (const TMinMaxPyramid::TPlace* q = placed[l].Of(j >> shifts[l]))
                    return q->X;
        return p.X(j);
    };
    // Bucket b of level l: its extremes, where they lie fetched early so
    // that the waits overlap. False where it is not to stand for its points.
    auto bucket = [&](int l, std::int64_t b, int here) {
        const std::int64_t at = b << shifts[l];
        if (Exact && columnAt(xAt(std::min(at + sizes[l], i1 - 1))) > here + 1)
            return false;
        if (const TMinMaxPyramid::TPlace* q = placed[l].Of(b)) {
            // Wide buckets know their extremes' places.
            take(here, pyramid.MinIndex(l, b), q->MinY, q->MinX, pyramid.MaxIndex(l, b), q->MaxY, q->MaxX);
            return true;
        }
        if (at + (kAhead + 1) * sizes[l] <= i1 && b + kAhead < buckets[l]) {
            p.FetchY(pyramid.MinIndex(l, b + kAhead));
            p.FetchY(pyramid.MaxIndex(l, b + kAhead));
            p.FetchX(at + kAhead * sizes[l]);
        }
        const std::int32_t mn = pyramid.MinIndex(l, b), mx = pyramid.MaxIndex(l, b);
        take(here, mn, p.Y(mn), kUnknown, mx, p.Y(mx), kUnknown);
        return true;
    };
    const TPlaced& topPlaced = placed[level];
    while (i < i1) {
        // The run of whole buckets of the top level from here; where their
        // places are kept, without reaching into the points at all.
        if ((i & (sizes[level] - 1)) == 0) {
            std::int64_t b = i >> shifts[level];
            if (topPlaced.at && topPlaced.first <= b && topEnd <= topPlaced.end) {
                for (; b < topEnd; ++b) {
                    const TMinMaxPyramid::TPlace& q = topPlaced.at[static_cast<std::uint64_t>(b) & topPlaced.mask];
                    const int here = columnAt(q.X);
                    if (Exact && columnAt(xAt(std::min((b + 1) << shifts[level], i1 - 1))) > here + 1)
                        break;
                    take(here, pyramid.MinIndex(level, b), q.MinY, q.MinX, pyramid.MaxIndex(level, b), q.MaxY, q.MaxX);
                }
            } else {
                while (b < topEnd && bucket(level, b, column(b << shifts[level])))
                    ++b;
            }
            i = b << shifts[level];
            if (i >= i1)
                break;
        }
        // Else the largest bucket that starts here and ends inside the range.
        const double xi = xAt(i);
        const int here = columnAt(xi);
        int l = level;
        while (l > 0 && ((i & (sizes[l] - 1)) != 0 || i + sizes[l] > i1 || (i >> shifts[l]) >= buckets[l] ||
                         !bucket(l, i >> shifts[l], here)))
            --l;
        if (l == 0) {
            // This point, and those up to where a bucket may start again,
            // one by one.
            const std::int64_t end = std::min(i1, (i | (sizes[1] - 1)) + 1);
            double x = xi;
            for (int c = here;;) {
                if (i + kAhead < i1) {
                    p.FetchX(i + kAhead);
                    p.FetchY(i + kAhead);
                }
                const double v = p.Y(i);
                take(c, i, v, x, i, v, x);
                if (++i >= end)
                    break;
                x = p.X(i);
                c = columnAt(x);
            }
        } else {
            i += sizes[l];
        }
    }
    flush();
    done();
}

struct TPlain {
    const double* x;
    const double* y;
    double X(std::int64_t i) const { return x[i]; }
    double Y(std::int64_t i) const { return y[i]; }
    void FetchX(std::int64_t i) const { __builtin_prefetch(x + i); }
    void FetchY(std::int64_t i) const { __builtin_prefetch(y + i); }
};

struct TIndexed {
    const double* x;
    const double* y;
    const std::int32_t* at;
    double X(std::int64_t i) const { return x[at[i]]; }
    double Y(std::int64_t i) const { return y[at[i]]; }
    void FetchX(std::int64_t i) const { __builtin_prefetch(x + at[i]); }
    void FetchY(std::int64_t i) const { __builtin_prefetch(y + at[i]); }
};

} // namespace

void ReduceForView(const std::vector<double>& x, const std::vector<double>& y, const TMinMaxPyramid& pyramid,
                   double x0, double x1, int pixels, std::vector<std::int32_t>& indices)
{
    TReducedPlaces places;
    Reduce<false>(TPlain{x.data(), y.data()}, static_cast<std::int64_t>(std::min(x.size(), y.size())), pyramid, x0, x1,
                  pixels, indices, places, nullptr);
}

void TReduceMemo::For(const TCurve& curve)
{
    // Owners compared, not addresses: an array freed and another made in
    // its place is not the same.
    auto same = [](const auto& held, const auto& given) {
        return !held.owner_before(given) && !given.owner_before(held) && !held.expired();
    };
    if (same(x_, curve.X) && same(y_, curve.Y) && (curve.Index ? same(index_, curve.Index) : index_.expired()))
        return;
    x_ = curve.X;
    y_ = curve.Y;
    index_ = curve.Index;
    first_ = end_ = 0;
}

void ReduceCurveForView(const TCurve& curve, double x0, double x1, int pixels, std::vector<std::int32_t>& indices,
                        TReducedPlaces* places, TReduceMemo* memo)
{
    if (memo)
        memo->For(curve);
    TReducedPlaces own;
    TReducedPlaces& to = places ? *places : own;
    const std::int64_t n = curve.Count();
    if (n == 0) {
        indices.clear();
        to.X.clear();
        to.Y.clear();
    } else if (curve.Index) {
        Reduce<true>(TIndexed{curve.X->data(), curve.Y->data(), curve.Index->data()}, n, curve.Pyramid, x0, x1, pixels,
                     indices, to, memo);
    } else {
        Reduce<false>(TPlain{curve.X->data(), curve.Y->data()}, n, curve.Pyramid, x0, x1, pixels, indices, to, memo);
    }
}

} // namespace qv
