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
    pixelCols_ = std::max(0, static_cast<int>(std::ceil(area.width())));
    pixelRows_ = std::max(0, static_cast<int>(std::ceil(area.height())));
    offered_.assign(static_cast<std::size_t>(pixelCols_) * static_cast<std::size_t>(pixelRows_), 0);
    covered_.assign(offered_.size(), 0);
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
    // The pixels whose centres lie inside the box; boxes never overlap, so
    // all of them together mark each pixel at most once.
    const int x0 = std::max(0, static_cast<int>(std::ceil(r.left() - area_.left() - 0.5)));
    const int x1 = std::min(pixelCols_ - 1, static_cast<int>(std::floor(r.right() - area_.left() - 0.5)));
    const int y0 = std::max(0, static_cast<int>(std::ceil(r.top() - area_.top() - 0.5)));
    const int y1 = std::min(pixelRows_ - 1, static_cast<int>(std::floor(r.bottom() - area_.top() - 0.5)));
    for (int y = y0; y <= y1; ++y)
        std::fill_n(covered_.begin() + static_cast<std::ptrdiff_t>(y) * pixelCols_ + x0, std::max(0, x1 - x0 + 1), 1);
    return true;
}

} // namespace qv
