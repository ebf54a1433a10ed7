#pragma once
// Reduction for drawing of a curve through its point accessors, so that a
// curve whose points are some of the record's samples (TCurve::Index) is
// reduced without copying them out. The rules are those of ReduceForView
// (graph/CurveReduce.h): in every pixel column the lowest and the highest
// point, the nearest point outside each end, and every point when there are
// only a few per column; the indices returned are the curve's point indices.
// A curve of some of the samples (the marks) has gaps: there no point that
// stands alone behind a gap is left out.
#include "graph/CurveModel.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace qv {

// The places (x, y in the file's coordinates) of the points returned.
struct TReducedPlaces {
    std::vector<double> X, Y;
};

// What the last views of a curve read from its samples, kept by whoever
// draws it (one for each curve): for the run of buckets of a level without
// places of its own that a view went through, the places of each bucket
// (TMinMaxPyramid::TPlace). A view panned or zoomed a little then reads the
// samples only for the buckets that are new to it; the rest are in a few
// bytes a bucket instead of scattered over the sample arrays. The result
// is the same as without it. Given another curve's points, it starts again.
class TReduceMemo {
public:
    // Forgets all unless the points are those it was given last.
    void For(const TCurve& curve);
    // Makes it hold buckets [from, to) of `level`, 0 < to - from, keeping
    // those it holds already; decode(b, place) gives the others.
    template <class Decode> void Cover(int level, std::int64_t from, std::int64_t to, const Decode& decode);
    // The buckets held, [First(), End()): bucket b at Places()[b & Mask()].
    const TMinMaxPyramid::TPlace* Places() const { return places_.data(); }
    std::uint64_t Mask() const { return places_.size() - 1; }
    std::int64_t First() const { return first_; }
    std::int64_t End() const { return end_; }

private:
    // Whose points these are.
    std::weak_ptr<const std::vector<double>> x_, y_;
    std::weak_ptr<const std::vector<std::int32_t>> index_;
    int level_ = 0;
    // Buckets [first_, end_) of level_; the room is a power of two, so that
    // bucket b has its own place at b & Mask().
    std::int64_t first_ = 0, end_ = 0;
    std::vector<TMinMaxPyramid::TPlace> places_;
};

template <class Decode> void TReduceMemo::Cover(int level, std::int64_t from, std::int64_t to, const Decode& decode)
{
    const std::int64_t want = to - from;
    if (level != level_ || to <= first_ || from >= end_ || want > static_cast<std::int64_t>(places_.size())) {
        if (want > static_cast<std::int64_t>(places_.size())) {
            std::size_t room = 1024;
            while (static_cast<std::int64_t>(room) < want)
                room *= 2;
            places_.assign(room, {});
        }
        level_ = level;
        first_ = end_ = from;
    }
    const std::uint64_t mask = Mask();
    for (std::int64_t b = from; b < std::min(to, first_); ++b)
        decode(b, places_[b & mask]);
    for (std::int64_t b = std::max(from, end_); b < to; ++b)
        decode(b, places_[b & mask]);
    // What it held besides stays where the room allows.
    if (std::max(to, end_) - std::min(from, first_) <= static_cast<std::int64_t>(places_.size())) {
        first_ = std::min(from, first_);
        end_ = std::max(to, end_);
    } else {
        first_ = from;
        end_ = to;
    }
}

// x0, x1: the key range in the file's coordinates; places (if given) gets
// where each point returned lies; memo (if given): the curve's own.
void ReduceCurveForView(const TCurve& curve, double x0, double x1, int pixels, std::vector<std::int32_t>& indices,
                        TReducedPlaces* places = nullptr, TReduceMemo* memo = nullptr);

} // namespace qv
