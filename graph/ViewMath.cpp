#include "graph/ViewMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qv {

namespace {

// Narrowest range kept: well above the spacing of doubles near its ends.
bool TooNarrow(double lo, double hi)
{
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo))
        return true;
    const double scale = std::max({std::abs(lo), std::abs(hi), 1e-290});
    return hi - lo < scale * 1e-12;
}

} // namespace

std::optional<int> HorizontalScrollPosition(const TAxisRange& a, double dataMin, double dataMax)
{
    const double extent = dataMax - dataMin;
    if (!(extent > 0))
        return std::nullopt;
    const double centre = a.Min + (a.Max - a.Min) / 2;
    return static_cast<int>(std::lround((centre - dataMin) / extent * 100));
}

std::optional<int> VerticalScrollPosition(const TAxisRange& a, double dataMin, double dataMax)
{
    const double extent = dataMax - dataMin;
    if (!(extent > 0))
        return std::nullopt;
    const double centre = a.Min + (a.Max - a.Min) / 2;
    return static_cast<int>(std::lround((dataMax - centre) / extent * 100));
}

TAxisRange ScrolledRange(int percent, const TAxisRange& a, double lo, double hi)
{
    const double width = a.Max - a.Min;
    TAxisRange r;
    r.Max = lo + percent * (hi - lo) / 100 + width / 2;
    r.Min = r.Max - width;
    if (!(r.Max > r.Min))
        r.Max = r.Min + 1;
    return r;
}

TAxisRange CentredOnZero(const TAxisRange& a)
{
    const double w = a.Max - a.Min;
    return {-w / 2, w / 2};
}

TAxisRange ZoomPercent(const TAxisRange& a, double percent)
{
    const double delta = (a.Max - a.Min) * (percent - 100.0) * 0.01;
    const TAxisRange r{a.Min + delta, a.Max - delta};
    return TooNarrow(r.Min, r.Max) ? a : r;
}

TAxisRange ZoomPercentAbout(const TAxisRange& a, double percent, double anchor)
{
    const double keep = 1.0 - 2.0 * (percent - 100.0) * 0.01; // of the width
    const TAxisRange r{anchor - (anchor - a.Min) * keep, anchor + (a.Max - anchor) * keep};
    return TooNarrow(r.Min, r.Max) || !std::isfinite(anchor) ? a : r;
}

std::optional<TAxisRange> ZoomedRange(double a, double b)
{
    const double lo = std::min(a, b), hi = std::max(a, b);
    if (TooNarrow(lo, hi))
        return std::nullopt;
    return TAxisRange{lo, hi};
}

TAxisRange CorrectedRange(double min, double& max)
{
    if (!(min < max))
        max = min + 1;
    return {min, max};
}

QString MinSecLabel(const QString& label)
{
    QString text = label;
    const int nbsp = text.indexOf(QChar(0xA0));
    if (nbsp >= 0)
        text.remove(nbsp, 1);
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok);
    if (!ok)
        return label;
    const long long a = v < 0 ? -v : v;
    return QStringLiteral("%1%2:%3").arg(v < 0 ? QStringLiteral("-") : QString()).arg(a / 60).arg(a % 60);
}

int BottomAxisEndPercent(int plotWidth, bool axisHidden)
{
    if (axisHidden || plotWidth <= 0)
        return 100;
    return static_cast<int>(std::lround((plotWidth - 45) * 100.0 / plotWidth));
}

TAxisRange AutomaticRange(double lower, double upper)
{
    TAxisRange r{lower, upper};
    if (!(upper > lower))
        r = {lower - 0.5, upper + 0.5};
    r.Min = std::clamp(r.Min, -kChartRangeLimit, kChartRangeLimit);
    r.Max = std::clamp(r.Max, -kChartRangeLimit, kChartRangeLimit);
    // Data entirely beyond the limit: the outermost stretch the chart draws.
    if (!(r.Max > r.Min))
        r = r.Min > 0 ? TAxisRange{kChartRangeLimit / 2, kChartRangeLimit}
                      : TAxisRange{-kChartRangeLimit, -kChartRangeLimit / 2};
    return r;
}

} // namespace qv
