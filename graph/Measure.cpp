#include "graph/Measure.h"

#include <algorithm>

namespace qv {

std::optional<double> ValueAt(const std::vector<double>& x, const std::vector<double>& y, double t)
{
    const std::size_t n = std::min(x.size(), y.size());
    if (n == 0)
        return std::nullopt;
    if (!(t > x[0]))
        return y[0];
    if (!(t < x[n - 1]))
        return y[n - 1];
    const std::size_t i = static_cast<std::size_t>(std::upper_bound(x.begin(), x.begin() + n, t) - x.begin());
    const double x0 = x[i - 1], x1 = x[i];
    if (!(x1 > x0))
        return y[i];
    return y[i - 1] + (y[i] - y[i - 1]) * (t - x0) / (x1 - x0);
}

std::vector<double> PrefixSums(const std::vector<double>& y)
{
    std::vector<double> p(y.size() + 1);
    long double sum = 0;
    p[0] = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        sum += y[i];
        p[i + 1] = static_cast<double>(sum);
    }
    return p;
}

std::pair<std::int64_t, std::int64_t> RangeMinMaxIndex(const std::vector<double>& y, const TMinMaxPyramid& pyramid,
                                                       std::int64_t i0, std::int64_t i1)
{
    std::int64_t lo = i0, hi = i0;
    std::int64_t i = i0;
    while (i < i1) {
        // The largest bucket that starts at i and ends within the range.
        int level = 0;
        while (level < pyramid.LevelCount()) {
            const std::int64_t size = TMinMaxPyramid::BucketSize(level + 1);
            if (i % size != 0 || i + size > i1 || i / size >= pyramid.BucketCount(level + 1))
                break;
            ++level;
        }
        std::int64_t bLo = i, bHi = i;
        if (level > 0) {
            const std::int64_t b = i / TMinMaxPyramid::BucketSize(level);
            bLo = pyramid.MinIndex(level, b);
            bHi = pyramid.MaxIndex(level, b);
        }
        if (y[static_cast<std::size_t>(bLo)] < y[static_cast<std::size_t>(lo)])
            lo = bLo;
        if (y[static_cast<std::size_t>(bHi)] > y[static_cast<std::size_t>(hi)])
            hi = bHi;
        i += TMinMaxPyramid::BucketSize(level);
    }
    return {lo, hi};
}

TRangeStats RangeStats(const std::vector<double>& x, const std::vector<double>& y, const TMinMaxPyramid& pyramid,
                       const std::vector<double>& prefix, double t0, double t1)
{
    TRangeStats s;
    if (t1 < t0)
        std::swap(t0, t1);
    const std::size_t n = std::min(x.size(), y.size());
    const std::int64_t i0 = std::lower_bound(x.begin(), x.begin() + n, t0) - x.begin();
    const std::int64_t i1 = std::upper_bound(x.begin(), x.begin() + n, t1) - x.begin();
    if (i1 <= i0)
        return s;
    const auto [lo, hi] = RangeMinMaxIndex(y, pyramid, i0, i1);
    s.Count = static_cast<int>(i1 - i0);
    s.Min = y[static_cast<std::size_t>(lo)];
    s.Max = y[static_cast<std::size_t>(hi)];
    if (prefix.size() == y.size() + 1)
        s.Mean = (prefix[static_cast<std::size_t>(i1)] - prefix[static_cast<std::size_t>(i0)]) / s.Count;
    else {
        long double sum = 0;
        for (std::int64_t i = i0; i < i1; ++i)
            sum += y[static_cast<std::size_t>(i)];
        s.Mean = static_cast<double>(sum / s.Count);
    }
    return s;
}

std::optional<double> FindRelease(const std::vector<double>& time, const std::vector<double>& altitude,
                                  double fraction)
{
    const std::size_t n = std::min(time.size(), altitude.size());
    if (n == 0)
        return std::nullopt;
    const std::size_t top = static_cast<std::size_t>(std::max_element(altitude.begin(), altitude.begin() + n)
                                                     - altitude.begin());
    const double max = altitude[top];
    if (!(max > 0))
        return std::nullopt;
    const double limit = fraction * max;
    for (std::size_t i = top + 1; i < n; ++i)
        if (altitude[i] < limit)
            return time[i];
    return std::nullopt;
}

} // namespace qv
