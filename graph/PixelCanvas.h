#pragma once
// Drawing straight into a picture of premultiplied 32-bit pixels
// (0xAARRGGBB), a pixel at a time: thin lines with or without a dash
// pattern, and small stamped pictures. The chart draws its dense curves and
// marks this way; the picture belongs to the caller.
#include <cstddef>
#include <cstdint>
#include <climits>
#include <vector>

namespace qv {

class TPixelCanvas {
public:
    // The w x h pixels at `bits`, `stride` pixels from one row to the next.
    TPixelCanvas(std::uint32_t* bits, int w, int h, int stride);

    // Where drawing is allowed (inclusive, cut to the picture).
    void SetClip(int left, int top, int right, int bottom);
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Right() const { return right_; }
    int Bottom() const { return bottom_; }

    // A line one pixel wide through the points (x[i], y[i]) in pixels, in
    // the opaque colour `argb`. `dashes` are the lengths in pixels of the
    // pattern's dashes and gaps in turn (empty: solid); the pattern runs on
    // from one segment to the next. A point that is not a number breaks the
    // line there.
    void Polyline(const double* x, const double* y, int n, std::uint32_t argb, const std::vector<int>& dashes);
    // The same through points already in whole pixels (PixelOf), kGap
    // breaking the line.
    void Polyline(const int* x, const int* y, int n, std::uint32_t argb, const std::vector<int>& dashes);
    static constexpr int kGap = INT32_MIN;
    // The pixel a coordinate falls in (kGap for one that is not a number);
    // far outside any picture it is held to a bound.
    static int PixelOf(double v)
    {
        // Held far outside any picture, so that the arithmetic of a line
        // stays in range; a line is still walked only inside the clip.
        constexpr double kFar = 1 << 22;
        if (v != v)
            return kGap;
        const double c = v < -kFar ? -kFar : (v > kFar ? kFar : v);
        const int t = static_cast<int>(c); // towards zero: one less below it
        return t - (c < t);
    }
    // A w x h premultiplied picture to put many times, with the part of
    // each row that is not clear found once.
    struct TStamp {
        TStamp(const std::uint32_t* bits, int w, int h);
        const std::uint32_t* Bits;
        int W, H;
        std::vector<int> From, To; // per row: first and last pixel not clear (From > To: none)
        std::vector<int> Solid, SolidTo; // per row: the opaque run from its first opaque pixel on
    };
    // Puts the stamp with its top left corner at (x, y), blending where it
    // is not opaque.
    void Stamp(const TStamp& stamp, int x, int y);

private:
    void Segment(int x0, int y0, int x1, int y1, std::uint32_t argb);
    // Rows top .. bottom of column x, cut to the clip.
    void Column(int x, int top, int bottom, std::uint32_t argb);

    std::uint32_t* bits_;
    int width_, height_, stride_;
    int left_ = 0, top_ = 0, right_ = -1, bottom_ = -1; // the clip
    // The dash pattern of the line being drawn, a flag a pixel, and where
    // in it the next pixel falls.
    std::vector<std::uint8_t> pattern_;
    std::vector<std::ptrdiff_t> dashAt_; // the places in it that are drawn
    std::size_t phase_ = 0;
    std::vector<int> px_, py_;
};

} // namespace qv
