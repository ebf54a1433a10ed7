#include "graph/Measure.h"

#include <algorithm>
#include <cmath>

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
    // Compensated summation: as exact as a wider sum, at the speed of doubles.
    std::vector<double> p(y.size() + 1);
    double sum = 0, carry = 0;
    p[0] = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        const double v = y[i] - carry;
        const double t = sum + v;
        carry = (t - sum) - v;
        sum = t;
        p[i + 1] = sum;
    }
    return p;
}

std::vector<double> BlockSums(const std::vector<double>& y)
{
    TBlockSums sums(y.size());
    sums.Add(y.data(), y.size() / kSumBlock * kSumBlock);
    return sums.Take();
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
    else if (!prefix.empty() && prefix.size() == y.size() / kSumBlock + 1) {
        // The sum up to a sample: its block's running sum and the rest.
        auto upTo = [&](std::int64_t i) {
            const std::size_t b = static_cast<std::size_t>(i) / kSumBlock;
            double sum = 0;
            for (std::size_t j = b * kSumBlock; j < static_cast<std::size_t>(i); ++j)
                sum += y[j];
            return prefix[b] + sum;
        };
        s.Mean = (upTo(i1) - upTo(i0)) / s.Count;
    } else {
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

namespace qv {

const std::array<const char*, kMeasureRows> kMeasureRowTitles = {"A", "B", "DELTA", "d X/d TIME",
                                                                 "MIN", "MAX", "MEAN"};
const std::array<const char*, kMeasureColumns> kMeasureColumnTitles = {"TIME", "ALTITUDE", "SERVO", "VOLTAGE"};

const std::vector<double>& TPrefixCache::For(const std::shared_ptr<const std::vector<double>>& y)
{
    // Drop the sums of arrays that are gone (their address may come back).
    for (auto it = entries_.begin(); it != entries_.end();)
        it = it->second.Source.expired() ? entries_.erase(it) : std::next(it);
    TEntry& e = entries_[y.get()];
    if (e.Source.lock() != y || e.Sums.size() != y->size() + 1) {
        e.Source = y;
        e.Sums = PrefixSums(*y);
    }
    return e.Sums;
}

std::optional<double> DrawnValueAt(const TCurve& curve, double t)
{
    if (curve.Count() == 0)
        return std::nullopt;
    const auto v = ValueAt(*curve.X, *curve.Y, curve.FileX(t));
    return v ? std::optional<double>(curve.DrawnY(*v)) : std::nullopt;
}

TMeasureTable MeasureFile(const TCurveModel& model, TCurveHandle h, std::optional<double> a,
                          std::optional<double> b, TPrefixCache& cache)
{
    TMeasureTable t;
    if (!model.Has(h))
        return t;
    auto& c = t.Cells;
    c[MeasA][0] = a;
    c[MeasB][0] = b;
    if (a && b)
        c[MeasDelta][0] = *b - *a;
    static constexpr std::array<int, 3> channelSlots = {SlotAlt, SlotRx, SlotPowS};
    for (int k = 0; k < 3; ++k) {
        const TCurve& curve = *model.Curve(h, channelSlots[k]);
        const int col = k + 1;
        if (curve.Count() == 0)
            continue;
        if (a)
            c[MeasA][col] = DrawnValueAt(curve, *a);
        if (b)
            c[MeasB][col] = DrawnValueAt(curve, *b);
        if (!a || !b)
            continue;
        const double delta = *c[MeasB][col] - *c[MeasA][col];
        c[MeasDelta][col] = delta;
        if (*b != *a)
            c[MeasRate][col] = delta / (*b - *a);
        const bool own = curve.Prefix && curve.Prefix->size() == curve.Y->size() / kSumBlock + 1;
        const TRangeStats s = RangeStats(*curve.X, *curve.Y, curve.Pyramid, own ? *curve.Prefix : cache.For(curve.Y),
                                         curve.FileX(*a), curve.FileX(*b));
        if (s.Count > 0) {
            const double lo = curve.DrawnY(s.Min), hi = curve.DrawnY(s.Max);
            c[MeasMin][col] = std::min(lo, hi);
            c[MeasMax][col] = std::max(lo, hi);
            c[MeasMean][col] = curve.DrawnY(s.Mean);
        }
    }
    return t;
}

namespace {
// "-0.000" reads as a value below zero: a value that rounds to zero is "0.000".
QString Fixed(double v, int decimals)
{
    QString text = QString::number(v, 'f', decimals);
    if (text.startsWith(QLatin1Char('-')) && text.count(QLatin1Char('0')) == text.size() - 2)
        text.remove(0, 1);
    return text;
}
} // namespace

QString FormatMeasureTime(double seconds, bool minSec)
{
    if (!minSec)
        return Fixed(seconds, 2);
    // Rounded to hundredths first so that 59.999 reads 1:00.00.
    long long hundredths = std::llround(std::fabs(seconds) * 100.0);
    const long long minutes = hundredths / 6000;
    hundredths %= 6000;
    const QString sec = QString::number(hundredths / 100.0, 'f', 2).rightJustified(5, QLatin1Char('0'));
    return (seconds < 0 && (minutes > 0 || hundredths > 0) ? QStringLiteral("-") : QString()) +
           QString::number(minutes) + QLatin1Char(':') + sec;
}

QString MeasureCellText(const TMeasureTable& table, int row, int column, bool minSec)
{
    const std::optional<double>& v = table.Cells[row][column];
    if (!v)
        return {};
    if (column == 0)
        return FormatMeasureTime(*v, minSec);
    return Fixed(*v, row == MeasRate ? 3 : 2);
}

QString MeasureTableText(const TMeasureTable& table, bool minSec, const QString& fileName)
{
    QString text = fileName + QLatin1Char('\n');
    for (int col = 0; col < kMeasureColumns; ++col) {
        text += QLatin1Char('\t') + QLatin1String(kMeasureColumnTitles[col]);
        if (col == 0 && minSec)
            text += QStringLiteral("\tTIME (s)");
    }
    text += QLatin1Char('\n');
    for (int r = 0; r < kMeasureRows; ++r) {
        text += QLatin1String(kMeasureRowTitles[r]);
        for (int col = 0; col < kMeasureColumns; ++col) {
            text += QLatin1Char('\t') + MeasureCellText(table, r, col, minSec);
            if (col == 0 && minSec)
                text += QLatin1Char('\t') + MeasureCellText(table, r, col, false);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

QString CursorReadout(const TCurveModel& model, TCurveHandle h, double t, bool minSec)
{
    QString text = QStringLiteral("Time: ") + FormatMeasureTime(t, minSec);
    static constexpr std::array<int, 3> channelSlots = {SlotAlt, SlotRx, SlotPowS};
    static constexpr std::array<const char*, 3> names = {"  Altitude: ", "  Servo: ", "  Voltage: "};
    for (int k = 0; k < 3; ++k) {
        const TCurve* c = model.Curve(h, channelSlots[k]);
        if (!c || c->Count() == 0)
            continue;
        if (const auto v = DrawnValueAt(*c, t))
            text += QLatin1String(names[k]) + Fixed(*v, 2);
    }
    return text;
}

} // namespace qv
