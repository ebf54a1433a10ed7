#include "graph/LabelPlace.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

// Open overlap: boxes that only touch do not overlap; a box of no width
// overlaps one that it lies strictly inside of.
bool Overlap(const QRectF& a, const QRectF& b)
{
    return a.left() < b.right() && b.left() < a.right() && a.top() < b.bottom() && b.top() < a.bottom();
}

} // namespace

TLabelPlace::TLabelPlace(const QRectF& area, double boxHeight)
    : area_(area), height_(std::max(1.0, boxHeight)), cell_(std::max(8.0, height_))
{
    cols_ = std::max(1, static_cast<int>(std::ceil(area.width() / cell_)) + 1);
    rows_ = std::max(1, static_cast<int>(std::ceil(area.height() / cell_)) + 2);
    cells_.resize(static_cast<std::size_t>(cols_) * static_cast<std::size_t>(rows_));
}

void TLabelPlace::Cells(const QRectF& r, int& c0, int& c1, int& r0, int& r1) const
{
    // Cells of the grid over the area, one row above it for boxes reaching
    // out of its top; boxes beyond the edges share the outermost cells.
    auto col = [&](double x) { return std::clamp(static_cast<int>(std::floor((x - area_.left()) / cell_)), 0, cols_ - 1); };
    auto row = [&](double y) {
        return std::clamp(static_cast<int>(std::floor((y - area_.top()) / cell_)) + 1, 0, rows_ - 1);
    };
    c0 = col(r.left());
    c1 = col(r.right());
    r0 = row(r.top());
    r1 = row(r.bottom());
}

bool TLabelPlace::Covered(const QRectF& r) const
{
    int c0, c1, r0, r1;
    Cells(r, c0, c1, r0, r1);
    for (int y = r0; y <= r1; ++y)
        for (int x = c0; x <= c1; ++x)
            for (const std::int32_t b : cells_[static_cast<std::size_t>(y) * cols_ + x])
                if (Overlap(r, boxes_[static_cast<std::size_t>(b)]))
                    return true;
    return false;
}

bool TLabelPlace::Place(const QRectF& r)
{
    if (r.right() <= area_.left() || r.left() >= area_.right() || Covered(r))
        return false;
    const auto index = static_cast<std::int32_t>(boxes_.size());
    boxes_.push_back(r);
    int c0, c1, r0, r1;
    Cells(r, c0, c1, r0, r1);
    for (int y = r0; y <= r1; ++y)
        for (int x = c0; x <= c1; ++x)
            cells_[static_cast<std::size_t>(y) * cols_ + x].push_back(index);
    return true;
}

} // namespace qv
