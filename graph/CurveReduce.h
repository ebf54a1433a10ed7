#pragma once
// Reduction of long curves for drawing. A min/max pyramid is built once per
// curve; a view of any width then costs in proportion to its pixel columns,
// not to its samples, and keeps in every column the lowest and the highest
// sample, so a single-sample spike stays visible at every zoom level.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

class TMinMaxPyramid {
public:
    // Samples per bucket of level 1, and buckets per bucket of each level
    // above: the levels hold well under one byte per sample.
    static constexpr int kFirst = 32;
    static constexpr int kFan = 4;
    static_assert((kFirst & (kFirst - 1)) == 0 && (kFan & (kFan - 1)) == 0, "bucket sizes are powers of two");

    // Builds the levels over the values y (empty y: no levels), or over
    // y[index[0]], y[index[1]], ... (the indices kept are then those of
    // `index`). Indices must lie within y. With `sums`, the running sums of
    // y by blocks (TBlockSums) are made in the same pass over the values.
    void Build(const std::vector<double>& y, std::vector<double>* sums = nullptr);
    void Build(const std::vector<double>& y, const std::vector<std::int32_t>& index);
    void Clear()
    {
        levels_.clear();
        places_.clear();
        lowest_ = highest_ = -1;
    }
    // The levels from `from` up can also keep where their extremes lie, so
    // that a wide view is reduced without reaching into the samples: x of a
    // bucket's first point, and (x, y) of its lowest and of its highest
    // point. Run after Build with the same points (index: as given to Build,
    // or null); from kPlacedLevel, a few bytes for every 512 points.
    static constexpr int kPlacedLevel = 3;
    struct TPlace {
        double X, MinX, MinY, MaxX, MaxY;
    };
    void KeepPlaces(const std::vector<double>& x, const std::vector<double>& y, const std::vector<std::int32_t>* index,
                    int from = kPlacedLevel);
    // The places of level l's buckets, or null where they are not kept.
    const TPlace* Places(int level) const
    {
        const int k = level - placedFrom_;
        return k >= 0 && k < static_cast<int>(places_.size()) ? places_[static_cast<std::size_t>(k)].data() : nullptr;
    }
    // Index of the first lowest and of the first highest value of all (-1
    // when built over nothing).
    std::int32_t Lowest() const { return lowest_; }
    std::int32_t Highest() const { return highest_; }
    int LevelCount() const { return static_cast<int>(levels_.size()); }
    // Bucket size of level l (level 0 is the samples themselves).
    static std::int64_t BucketSize(int level);
    // Index of the lowest and of the highest sample of bucket b of level l >= 1.
    std::int32_t MinIndex(int level, std::int64_t b) const { return levels_[level - 1][2 * b]; }
    std::int32_t MaxIndex(int level, std::int64_t b) const { return levels_[level - 1][2 * b + 1]; }
    // Buckets of level l >= 1 (only whole buckets are kept).
    std::int64_t BucketCount(int level) const { return static_cast<std::int64_t>(levels_[level - 1].size() / 2); }

private:
    // value(i): value i; bucket(start, buffer): the kFirst values from
    // start on, in place or copied into buffer.
    // seen(values): each whole bucket's values in turn, after its extremes
    // are taken.
    template <class Value, class Bucket, class Seen>
    void BuildOver(std::int64_t n, const Value& value, const Bucket& bucket, const Seen& seen);

    std::vector<std::vector<std::int32_t>> levels_; // per level: min and max index pairs
    std::vector<std::vector<TPlace>> places_;       // per level from placedFrom_
    int placedFrom_ = kPlacedLevel;
    std::int32_t lowest_ = -1, highest_ = -1;
};

// Running sums of values by blocks of kBlock: sums[b] is the sum of the
// first b blocks' values (one entry for none, then one a whole block; the
// values after the last whole block are left out). Each block is added in
// four lanes of every fourth value, the lanes then in pairs, and the blocks
// with a compensated sum, so that the sums are the same however the values
// were handed over.
class TBlockSums {
public:
    static constexpr std::size_t kBlock = 64;
    static_assert(kBlock % TMinMaxPyramid::kFirst == 0 && TMinMaxPyramid::kFirst % 4 == 0, "whole buckets a block");
    explicit TBlockSums(std::size_t values) : blocks_(values / kBlock)
    {
        sums_.reserve(blocks_ + 1);
        sums_.push_back(0);
    }
    // The next `count` values (a multiple of four).
    void Add(const double* v, std::size_t count);
    std::vector<double> Take() { return std::move(sums_); }

private:
    std::size_t blocks_, seen_ = 0;
    double part_[4] = {0, 0, 0, 0};
    double sum_ = 0, carry_ = 0;
    std::vector<double> sums_;
};

// Samples to draw of a curve with ascending x over the key range [x0, x1]
// on `pixels` columns: the indices of, in every column, the lowest and the
// highest sample (the columns in time order, the two of a column with the
// one nearer to the previous point first), plus the nearest sample outside
// each end of the range so that lines run to the edges. When the range
// holds only a few samples per column every sample in it is returned, in
// time order.
void ReduceForView(const std::vector<double>& x, const std::vector<double>& y, const TMinMaxPyramid& pyramid,
                   double x0, double x1, int pixels, std::vector<std::int32_t>& indices);

// Marks to draw of a point curve, from candidate marks at pixel positions
// (px, py): the plane is cut into cells of `cell` pixels (the shape's
// width) and each cell keeps the first candidate that falls into it, so no
// more than one mark is drawn per cell and a mark alone in its cell is
// always drawn. `keep` gets the indices of the kept candidates, in order.
void ThinMarks(const std::vector<double>& px, const std::vector<double>& py, double cell,
               std::vector<std::int32_t>& keep);

} // namespace qv
