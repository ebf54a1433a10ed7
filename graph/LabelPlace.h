#pragma once
// Which annotation labels the chart draws: as many as can be told apart.
// Labels are offered in order of preference; one is left out only where its
// box would cover part of a label already placed, so a label that overlaps
// no other is always drawn. Work grows with the labels offered, and the
// labels placed are bounded by the area they cover.
#include <QRectF>
#include <cstdint>
#include <vector>

namespace qv {

class TLabelPlace {
public:
    // area: the visible rectangle in pixels; boxHeight: the height of every
    // label's box (one line of text).
    TLabelPlace(const QRectF& area, double boxHeight);

    // Offers a label anchored at the bottom centre (x, y) of its box;
    // width() gives the box's width and is called only when the label may
    // still be drawn. Returns whether the label is placed.
    template <class Width>
    bool Offer(double x, double y, Width&& width)
    {
        if (!(y > area_.top() && y - height_ < area_.bottom()))
            return false;
        const double fx = x - area_.left();
        if (fx >= 0 && fx < pixelCols_) {
            // Pixel tests first: a label anchored where one was offered
            // before, or inside a box placed, cannot be drawn apart.
            const auto col = static_cast<std::size_t>(fx);
            const auto at = [&](double py) {
                return static_cast<std::size_t>(py) * static_cast<std::size_t>(pixelCols_) + col;
            };
            const double fy = y - area_.top();
            if (fy - 0.5 >= 0 && fy - 0.5 < pixelRows_) {
                std::uint8_t& seen = offered_[at(fy - 0.5)];
                if (seen)
                    return false;
                seen = 1;
            }
            if (fy - 1 >= 0 && fy - 1 < pixelRows_ && covered_[at(fy - 1)])
                return false;
            if (fy - height_ + 1 >= 0 && fy - height_ + 1 < pixelRows_ && covered_[at(fy - height_ + 1)])
                return false;
        }
        if (Covered(QRectF(x, y - height_, 0, height_)))
            return false;
        const double w = width();
        return Place(QRectF(x - w / 2, y - height_, w, height_));
    }

    // The boxes placed, in the order they were.
    const std::vector<QRectF>& Boxes() const { return boxes_; }

private:
    bool Covered(const QRectF& r) const;
    bool Place(const QRectF& r);
    void Cells(const QRectF& r, int& c0, int& c1, int& r0, int& r1) const;

    QRectF area_;
    double height_;
    double cell_;
    int cols_ = 1, rows_ = 1;
    std::vector<std::vector<std::int32_t>> cells_; // boxes touching each cell
    std::vector<QRectF> boxes_;
    int pixelCols_ = 0, pixelRows_ = 0; // the area in whole pixels
    std::vector<std::uint8_t> offered_; // per pixel: a label anchored there
    std::vector<std::uint8_t> covered_; // per pixel: inside a box placed
};

} // namespace qv
