#include "graph/LabelPlace.h"

#include <algorithm>
#include <cmath>

namespace qv {

void TLabelPlace::Reset(const QRectF& area, double boxHeight)
{
    area_ = area;
    height_ = std::max(1.0, boxHeight);
    cols_ = std::max(0, static_cast<int>(std::ceil(area.width())));
    rows_ = std::max(0, static_cast<int>(std::ceil(area.height())));
    const std::size_t pixels = static_cast<std::size_t>(cols_) * static_cast<std::size_t>(rows_);
    offered_.assign((pixels + 63) / 64, 0);
    if (covered_.size() == pixels && cols_ == markedCols_) {
        for (const TMark& m : marks_) // only what the last round covered
            for (int row = m.Top; row <= m.Bottom; ++row)
                std::fill_n(covered_.begin() + static_cast<std::ptrdiff_t>(row) * cols_ + m.Left, m.Right - m.Left + 1, 0);
    } else {
        covered_.assign(pixels, 0);
    }
    markedCols_ = cols_;
    marks_.clear();
    boxes_.clear();
}

bool TLabelPlace::Place(double x, double y, double w, int top, int bottom)
{
    const double l = std::ceil(x - w / 2 - area_.left() - 0.5);
    const double r = std::floor(x + w / 2 - area_.left() - 0.5);
    if (!(r >= 0 && l < cols_ && l <= r))
        return false; // wholly beside the area
    const int c0 = static_cast<int>(std::max(0.0, l));
    const int c1 = static_cast<int>(std::min<double>(cols_ - 1, r));
    for (const int row : {top, bottom}) {
        const auto begin = covered_.begin() + static_cast<std::ptrdiff_t>(row) * cols_;
        if (std::find(begin + c0, begin + c1 + 1, 1) != begin + c1 + 1)
            return false;
    }
    // Boxes never share a pixel, so marking them all costs the area at most.
    for (int row = top; row <= bottom; ++row)
        std::fill(covered_.begin() + static_cast<std::ptrdiff_t>(row) * cols_ + c0,
                  covered_.begin() + static_cast<std::ptrdiff_t>(row) * cols_ + c1 + 1, 1);
    marks_.push_back({top, bottom, c0, c1});
    boxes_.emplace_back(x - w / 2, y - height_, w, height_);
    return true;
}

} // namespace qv
