#pragma once
// The arithmetic of the graph view: scroll-bar positions and the ranges they
// give, zoom by percentage and by rectangle, the range correction of the
// graph setup, the time-axis labels in min:sec and the end of the time axis.
#include <QString>
#include <optional>

namespace qv {

struct TAxisRange {
    double Min = 0;
    double Max = 0;
    bool operator==(const TAxisRange& o) const { return Min == o.Min && Max == o.Max; }
    bool operator!=(const TAxisRange& o) const { return !(*this == o); }
};

// Position (0..100) of ScrollBar1: where the centre of the visible window
// lies in the data [dataMin, dataMax]; nothing when the data has no extent.
std::optional<int> HorizontalScrollPosition(const TAxisRange& axis, double dataMin, double dataMax);
// Position (0..100, 0 = top) of ScrollBar2 from the left axis.
std::optional<int> VerticalScrollPosition(const TAxisRange& axis, double dataMin, double dataMax);
// The axis window of the same width centred at `percent` of the data
// [lo, hi] (ScrollBar1 with the position; ScrollBar2 with 100 - position).
TAxisRange ScrolledRange(int percent, const TAxisRange& axis, double lo, double hi);
// The same width centred on zero.
TAxisRange CentredOnZero(const TAxisRange& axis);
// Zoom by percentage: above 100 zooms in, below 100 zooms out, about the
// centre. A result finer than a double can tell apart keeps the range.
TAxisRange ZoomPercent(const TAxisRange& axis, double percent);
// The same about `anchor`, which keeps its place in the window.
TAxisRange ZoomPercentAbout(const TAxisRange& axis, double percent, double anchor);
// A zoom to the values a and b (either order): nothing when they are equal
// or so close that the range would be empty or inverted in doubles.
std::optional<TAxisRange> ZoomedRange(double a, double b);
// A manual range from the graph setup: when Minimum is not below Maximum,
// Maximum becomes Minimum + 1 (written back).
TAxisRange CorrectedRange(double min, double& max);
// The widest range the chart draws: it refuses an axis whose ends or
// width reach 1e250.
constexpr double kChartRangeLimit = 1e249;
// Offsets of a curve stay within this.
constexpr double kOffsetLimit = 1e9;
// The range of an automatic axis over data [lower, upper]: half a unit
// either side of flat data, and never wider than the chart draws.
TAxisRange AutomaticRange(double lower, double upper);
// A bottom-axis label in min:sec ("65" -> "1:5"); labels that are not
// whole numbers stay as they are. The first no-break space is dropped.
QString MinSecLabel(const QString& label);
// End of the time axis in percent of the plot width: 45 pixels short of
// the right edge; 100 when the axis is hidden or the plot has no width.
int BottomAxisEndPercent(int plotWidth, bool axisHidden);

} // namespace qv
