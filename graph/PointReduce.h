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

#include <cstdint>
#include <vector>

namespace qv {

// The places (x, y in the file's coordinates) of the points returned.
struct TReducedPlaces {
    std::vector<double> X, Y;
};

// x0, x1: the key range in the file's coordinates; places (if given) gets
// where each point returned lies.
void ReduceCurveForView(const TCurve& curve, double x0, double x1, int pixels, std::vector<std::int32_t>& indices,
                        TReducedPlaces* places = nullptr);

} // namespace qv
