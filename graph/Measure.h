#pragma once
// Reading values off curves: the value at a time, the lowest, highest and
// mean value between two times, and the tow release of a flight. Curves are
// x-ascending sample arrays; the min/max pyramid built for drawing also
// answers range queries, and prefix sums give the mean, so a query over a
// whole full-memory flight costs microseconds.
#include "graph/CurveModel.h"
#include "graph/CurveReduce.h"

#include <QString>
#include <array>
#include <map>
#include <memory>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace qv {

// The value at time t, interpolated linearly between the samples around
// it; outside the curve the value of its first or last sample. Nothing for
// an empty curve.
std::optional<double> ValueAt(const std::vector<double>& x, const std::vector<double>& y, double t);

// prefix[i] is the sum of y[0] .. y[i-1] (n + 1 entries).
std::vector<double> PrefixSums(const std::vector<double>& y);
// The same for every kSumBlock-th sample only: sums[b] is the sum of
// y[0] .. y[b * kSumBlock - 1] (n / kSumBlock + 1 entries), a sixty-fourth of
// the memory; a range then adds at most twice kSumBlock samples itself.
constexpr std::size_t kSumBlock = TBlockSums::kBlock;
std::vector<double> BlockSums(const std::vector<double>& y);

// Indices of the lowest and the highest sample of y[i0] .. y[i1 - 1]
// (i0 < i1), found through the pyramid of y.
std::pair<std::int64_t, std::int64_t> RangeMinMaxIndex(const std::vector<double>& y, const TMinMaxPyramid& pyramid,
                                                       std::int64_t i0, std::int64_t i1);

struct TRangeStats {
    int Count = 0; // samples in the range; the rest is valid only when > 0
    double Min = 0;
    double Max = 0;
    double Mean = 0;
};

// Statistics of the samples whose time lies between t0 and t1 (either
// order, both ends included); prefix is PrefixSums or BlockSums of y (or
// empty: the samples are added up).
TRangeStats RangeStats(const std::vector<double>& x, const std::vector<double>& y, const TMinMaxPyramid& pyramid,
                       const std::vector<double>& prefix, double t0, double t1);

// The tow release: the first time after the curve's maximum at which it
// falls below fraction of that maximum. Nothing when the curve is empty,
// its maximum is not above 0, or it never falls that low afterwards.
std::optional<double> FindRelease(const std::vector<double>& time, const std::vector<double>& altitude,
                                  double fraction = 0.2);

// Prefix sums of curve values, made once per point array and kept while
// that array lives.
class TPrefixCache {
public:
    const std::vector<double>& For(const std::shared_ptr<const std::vector<double>>& y);

private:
    struct TEntry {
        std::weak_ptr<const std::vector<double>> Source;
        std::vector<double> Sums;
    };
    std::map<const void*, TEntry> entries_;
};

// The measurement table: rows A, B, their difference, the difference per
// second, then the lowest, highest and mean value between A and B; columns
// time, altitude, servo, voltage. Values are as drawn (offsets applied).
enum MeasureRow { MeasA = 0, MeasB, MeasDelta, MeasRate, MeasMin, MeasMax, MeasMean };
constexpr int kMeasureRows = 7;
constexpr int kMeasureColumns = 4;
extern const std::array<const char*, kMeasureRows> kMeasureRowTitles;
extern const std::array<const char*, kMeasureColumns> kMeasureColumnTitles;

struct TMeasureTable {
    // Empty cells have no value.
    std::array<std::array<std::optional<double>, kMeasureColumns>, kMeasureRows> Cells{};
};

// The value of a curve as drawn at the drawn time t; nothing when empty.
std::optional<double> DrawnValueAt(const TCurve& curve, double t);

// Reads the file's altitude, servo and voltage at the cursors (chart times;
// either may be missing) and between them.
TMeasureTable MeasureFile(const TCurveModel& model, TCurveHandle h, std::optional<double> a,
                          std::optional<double> b, TPrefixCache& cache);

// A time in seconds ("12.35"), or in minutes and seconds ("-1:05.30").
QString FormatMeasureTime(double seconds, bool minSec);
// The text of one cell (empty when it has no value; never a negative zero).
QString MeasureCellText(const TMeasureTable& table, int row, int column, bool minSec);
// The table of the file `fileName` as tab-separated lines: the file's
// name, the headings, the rows. With min:sec the times are followed by a
// column of plain seconds, which a spreadsheet reads as numbers.
QString MeasureTableText(const TMeasureTable& table, bool minSec, const QString& fileName);
// The pointer read-out: the time and the file's values there.
QString CursorReadout(const TCurveModel& model, TCurveHandle h, double t, bool minSec);

} // namespace qv
