#pragma once
// Which annotation labels the chart draws: as many as can be told apart.
// Labels are offered in order of preference; one is left out only where its
// box would cover part of a label already placed, so a label that overlaps
// no other is always drawn. Work grows with the labels offered, and the
// labels placed are bounded by the area they cover.
#include <QRectF>
#include <cstddef>
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
        if (y <= area_.top() || y - height_ >= area_.bottom() || !FirstAt(x, y) || Marked(x, y - 1) ||
            Marked(x, y - height_ + 1) || Covered(QRectF(x, y - height_, 0, height_)))
            return false;
        const double w = width();
        return Place(QRectF(x - w / 2, y - height_, w, height_));
    }

    // The boxes placed, in the order they were.
    const std::vector<QRectF>& Boxes() const { return boxes_; }

private:
    // Index of the pixel of the area at (x, y); -1 outside.
    std::ptrdiff_t Pixel(double x, double y) const;
    // Whether no label was offered at that pixel before (one there already
    // decided for every other).
    bool FirstAt(double x, double y);
    // Whether the pixel lies inside a box placed.
    bool Marked(double x, double y) const
    {
        const std::ptrdiff_t at = Pixel(x, y);
        return at >= 0 && covered_[static_cast<std::size_t>(at)];
    }
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
