#pragma once
// Which annotation labels the chart draws: as many as can be told apart.
// Labels are offered in order of preference; one is left out only where its
// box would share a pixel with a label already placed, so a label that
// overlaps no other is always drawn. Work grows with the labels offered and
// the area placed, never with the two multiplied.
#include <QRectF>
#include <cmath>
#include <cstdint>
#include <vector>

namespace qv {

class TLabelPlace {
public:
    // area: the visible rectangle in pixels; boxHeight: the height of every
    // label's box (one line of text).
    TLabelPlace(const QRectF& area, double boxHeight) { Reset(area, boxHeight); }
    TLabelPlace() = default;
    // Starts again on an empty area (the buffers are kept for the next
    // round).
    void Reset(const QRectF& area, double boxHeight);

    // Offers a label anchored at the bottom centre (x, y) of its box;
    // width() gives the box's width and is called only when the label may
    // still be drawn. Returns whether the label is placed.
    template <class Width>
    bool Offer(double x, double y, Width&& width)
    {
        int top, bottom;
        if (!Rows(y, top, bottom) || !FirstAt(x, bottom))
            return false;
        // Boxes share one height, so a box overlapping this one covers its
        // top or its bottom row: at the anchor's column first.
        const double col = std::floor(x - area_.left());
        if (col >= 0 && col < cols_ && (Marked(top, static_cast<int>(col)) || Marked(bottom, static_cast<int>(col))))
            return false;
        return Place(x, y, width(), top, bottom);
    }

    // The boxes placed, in the order they were.
    const std::vector<QRectF>& Boxes() const { return boxes_; }

private:
    // Pixel rows of a box anchored at y, cut to the area; false when none.
    // A box covers the pixels whose centres lie inside it.
    bool Rows(double y, int& top, int& bottom) const
    {
        const double t = std::ceil(y - height_ - area_.top() - 0.5);
        const double b = std::floor(y - area_.top() - 0.5);
        if (!(b >= 0 && t < rows_ && t <= b))
            return false;
        top = t > 0 ? static_cast<int>(t) : 0;
        bottom = b < rows_ - 1 ? static_cast<int>(b) : rows_ - 1;
        return true;
    }
    // Whether no label was offered at that pixel before (the one there
    // already decided for every other).
    bool FirstAt(double x, int row)
    {
        const double col = std::floor(x - area_.left());
        if (!(col >= 0 && col < cols_))
            return true;
        const std::size_t at = static_cast<std::size_t>(row) * cols_ + static_cast<std::size_t>(col);
        std::uint64_t& word = offered_[at >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (at & 63);
        if (word & bit)
            return false;
        word |= bit;
        return true;
    }
    bool Marked(int row, int col) const { return covered_[static_cast<std::size_t>(row) * cols_ + col] != 0; }
    bool Place(double x, double y, double w, int top, int bottom);

    QRectF area_;
    double height_ = 1;
    int cols_ = 0, rows_ = 0;           // the area in whole pixels
    std::vector<std::uint64_t> offered_; // a bit per pixel: a label anchored there
    std::vector<std::uint8_t> covered_; // per pixel: inside a box placed
    std::vector<QRectF> boxes_;
    struct TMark {
        int Top, Bottom, Left, Right;
    };
    std::vector<TMark> marks_; // the pixels of each box placed
    int markedCols_ = 0;
};

} // namespace qv
