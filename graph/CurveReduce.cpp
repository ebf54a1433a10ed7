#include "graph/CurveReduce.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace qv {

namespace {

// The first places of the lowest and of the highest of the kFirst values v,
// and those values, without branches: noisy data costs no mispredictions.
// Values that are not numbers are passed over (all of them: the first).
[[gnu::always_inline]] inline void BucketExtremes(const double* v, int& lo, int& hi, double& loV, double& hiV)
{
    constexpr int n = TMinMaxPyramid::kFirst;
    static_assert(n % 4 == 0 && n <= 32, "whole lanes, places in one mask");
#ifdef __SSE2__
    // _mm_min_pd(a, m) is a < m ? a : m: a not-a-number never gets in.
    const double inf = HUGE_VAL;
    __m128d mn0 = _mm_set1_pd(inf), mn1 = mn0, mx0 = _mm_set1_pd(-inf), mx1 = mx0;
    for (int j = 0; j < n; j += 4) {
        const __m128d a = _mm_loadu_pd(v + j), b = _mm_loadu_pd(v + j + 2);
        mn0 = _mm_min_pd(a, mn0);
        mn1 = _mm_min_pd(b, mn1);
        mx0 = _mm_max_pd(a, mx0);
        mx1 = _mm_max_pd(b, mx1);
    }
    mn0 = _mm_min_pd(mn0, mn1);
    mx0 = _mm_max_pd(mx0, mx1);
    const __m128d l2 = _mm_min_pd(mn0, _mm_unpackhi_pd(mn0, mn0));
    const __m128d h2 = _mm_max_pd(mx0, _mm_unpackhi_pd(mx0, mx0));
    const __m128d lows2 = _mm_unpacklo_pd(l2, l2), highs2 = _mm_unpacklo_pd(h2, h2);
    std::uint32_t lows = 0, highs = 0;
    for (int j = 0; j < n; j += 2) {
        const __m128d a = _mm_loadu_pd(v + j);
        lows |= static_cast<std::uint32_t>(_mm_movemask_pd(_mm_cmpeq_pd(a, lows2))) << j;
        highs |= static_cast<std::uint32_t>(_mm_movemask_pd(_mm_cmpeq_pd(a, highs2))) << j;
    }
    lo = lows ? __builtin_ctz(lows) : 0;
    hi = highs ? __builtin_ctz(highs) : 0;
    loV = v[lo];
    hiV = v[hi];
#else
    lo = hi = 0;
    loV = hiV = v[0];
    for (int j = 1; j < n; ++j) {
        if (v[j] < loV) {
            loV = v[j];
            lo = j;
        }
        if (v[j] > hiV) {
            hiV = v[j];
            hi = j;
        }
    }
#endif
}

} // namespace

std::int64_t TMinMaxPyramid::BucketSize(int level)
{
    if (level <= 0)
        return 1;
    std::int64_t s = kFirst;
    for (int l = 1; l < level; ++l)
        s *= kFan;
    return s;
}

void TMinMaxPyramid::Build(const std::vector<double>& y, std::vector<double>* sums)
{
    const double* v = y.data();
    const auto n = static_cast<std::int64_t>(y.size());
    auto value = [v](std::int64_t i) { return v[i]; };
    auto bucket = [v](std::int64_t start, double*) { return v + start; };
    if (!sums) {
        BuildOver(n, value, bucket, [](const double*) {});
        return;
    }
    TBlockSums blocks(y.size());
    BuildOver(n, value, bucket, [&blocks](const double* b) { blocks.Add(b, kFirst); });
    *sums = blocks.Take();
}

void TMinMaxPyramid::Build(const std::vector<double>& y, const std::vector<std::int32_t>& index)
{
    const double* v = y.data();
    const std::int32_t* at = index.data();
    BuildOver(static_cast<std::int64_t>(index.size()), [v, at](std::int64_t i) { return v[at[i]]; },
              [v, at](std::int64_t start, double* to) {
                  for (int j = 0; j < kFirst; ++j)
                      to[j] = v[at[start + j]];
                  return static_cast<const double*>(to);
              },
              [](const double*) {});
}

void TMinMaxPyramid::KeepPlaces(const std::vector<double>& x, const std::vector<double>& y,
                                const std::vector<std::int32_t>* index, int from)
{
    places_.clear();
    placedFrom_ = std::max(1, from);
    auto sample = [index](std::int32_t i) {
        return index ? static_cast<std::size_t>((*index)[static_cast<std::size_t>(i)]) : static_cast<std::size_t>(i);
    };
    for (int l = placedFrom_; l <= LevelCount(); ++l) {
        std::vector<TPlace> level(static_cast<std::size_t>(BucketCount(l)));
        for (std::size_t b = 0; b < level.size(); ++b) {
            const std::size_t lo = sample(MinIndex(l, static_cast<std::int64_t>(b)));
            const std::size_t hi = sample(MaxIndex(l, static_cast<std::int64_t>(b)));
            const std::size_t first = sample(static_cast<std::int32_t>(b * static_cast<std::size_t>(BucketSize(l))));
            level[b] = {x[first], x[lo], y[lo], x[hi], y[hi]};
        }
        places_.push_back(std::move(level));
    }
}

void TBlockSums::Add(const double* v, std::size_t count)
{
    // Up to the end of each block in turn, the lanes in registers; each
    // lane adds its values in their order, as four plain sums would.
    while (count > 0 && sums_.size() <= blocks_) {
        const std::size_t take = std::min(count, kBlock - seen_ % kBlock);
#ifdef __SSE2__
        __m128d p01 = _mm_loadu_pd(part_), p23 = _mm_loadu_pd(part_ + 2);
        for (std::size_t i = 0; i < take; i += 4) {
            p01 = _mm_add_pd(p01, _mm_loadu_pd(v + i));
            p23 = _mm_add_pd(p23, _mm_loadu_pd(v + i + 2));
        }
        _mm_storeu_pd(part_, p01);
        _mm_storeu_pd(part_ + 2, p23);
#else
        for (std::size_t i = 0; i < take; i += 4)
            for (std::size_t l = 0; l < 4; ++l)
                part_[l] += v[i + l];
#endif
        v += take;
        count -= take;
        if ((seen_ += take) % kBlock != 0)
            continue;
        const double block = (part_[0] + part_[1]) + (part_[2] + part_[3]);
        part_[0] = part_[1] = part_[2] = part_[3] = 0;
        const double d = block - carry_;
        const double t = sum_ + d;
        carry_ = (t - sum_) - d;
        sum_ = t;
        sums_.push_back(sum_);
    }
}

template <class Value, class Bucket, class Seen>
void TMinMaxPyramid::BuildOver(std::int64_t n, const Value& y, const Bucket& bucket, const Seen& seen)
{
    Clear();
    if (n <= 0)
        return;
    // Level 1 from the values, and the extremes of all on the way: of the
    // level's buckets, then of the values after the last whole bucket.
    std::int64_t buckets = n / kFirst;
    std::vector<double> values(static_cast<std::size_t>(2 * std::max<std::int64_t>(buckets, 0)));
    std::int64_t lowest = 0, highest = 0;
    double lowV = y(0), highV = lowV;
    if (buckets >= 1) {
        std::vector<std::int32_t> first(static_cast<std::size_t>(2 * buckets));
        double gathered[kFirst];
        for (std::int64_t b = 0; b < buckets; ++b) {
            const std::int64_t start = b * kFirst;
            int lo = 0, hi = 0;
            double loV = 0, hiV = 0;
            const double* own = bucket(start, gathered);
            BucketExtremes(own, lo, hi, loV, hiV);
            seen(own);
            first[2 * b] = static_cast<std::int32_t>(start + lo);
            first[2 * b + 1] = static_cast<std::int32_t>(start + hi);
            values[2 * b] = loV;
            values[2 * b + 1] = hiV;
            if (loV < lowV) {
                lowV = loV;
                lowest = start + lo;
            }
            if (hiV > highV) {
                highV = hiV;
                highest = start + hi;
            }
        }
        levels_.push_back(std::move(first));
    }
    for (std::int64_t i = buckets * kFirst; i < n; ++i) {
        const double v = y(i);
        if (v < lowV) {
            lowV = v;
            lowest = i;
        }
        if (v > highV) {
            highV = v;
            highest = i;
        }
    }
    lowest_ = static_cast<std::int32_t>(lowest);
    highest_ = static_cast<std::int32_t>(highest);
    if (levels_.empty())
        return;
    // Each further level from the one below, comparing the values kept of
    // its buckets (reading them through the indices again would miss the
    // cache at every bucket); they are overwritten level by level.
    while ((buckets = static_cast<std::int64_t>(levels_.back().size() / 2) / kFan) >= 1) {
        const std::vector<std::int32_t>& below = levels_.back();
        std::vector<std::int32_t> next(static_cast<std::size_t>(2 * buckets));
        for (std::int64_t b = 0; b < buckets; ++b) {
            std::int32_t lo = below[2 * b * kFan], hi = below[2 * b * kFan + 1];
            double loV = values[2 * b * kFan], hiV = values[2 * b * kFan + 1];
            for (std::int64_t c = b * kFan + 1; c < (b + 1) * kFan; ++c) {
                if (values[2 * c] < loV) {
                    loV = values[2 * c];
                    lo = below[2 * c];
                }
                if (values[2 * c + 1] > hiV) {
                    hiV = values[2 * c + 1];
                    hi = below[2 * c + 1];
                }
            }
            next[2 * b] = lo;
            next[2 * b + 1] = hi;
            values[2 * b] = loV;
            values[2 * b + 1] = hiV;
        }
        levels_.push_back(std::move(next));
    }
}

void ThinMarks(const std::vector<double>& px, const std::vector<double>& py, double cell,
               std::vector<std::int32_t>& keep)
{
    keep.clear();
    const std::size_t n = std::min(px.size(), py.size());
    if (n == 0)
        return;
    cell = std::max(1.0, cell);
    auto cellOf = [cell](double v) {
        const double c = std::clamp(v / cell, -1e9, 1e9);
        const auto t = static_cast<std::int64_t>(c); // towards zero: one less below it
        return t - (c < t);
    };
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
