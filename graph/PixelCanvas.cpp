#include "graph/PixelCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace qv {

namespace {

// d * (255 - alpha of s) / 255 + s, for premultiplied pixels.
inline std::uint32_t Over(std::uint32_t s, std::uint32_t d)
{
    const std::uint32_t ia = 255 - (s >> 24);
    std::uint32_t rb = (d & 0xff00ffu) * ia;
    std::uint32_t ag = ((d >> 8) & 0xff00ffu) * ia;
    rb = ((rb + ((rb >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
    ag = (ag + ((ag >> 8) & 0xff00ffu) + 0x800080u) & 0xff00ff00u;
    return s + rb + ag;
}

} // namespace

TPixelCanvas::TPixelCanvas(std::uint32_t* bits, int w, int h, int stride)
    : bits_(bits), width_(std::max(0, w)), height_(std::max(0, h)), stride_(stride)
{
    SetClip(0, 0, width_ - 1, height_ - 1);
}

void TPixelCanvas::SetClip(int left, int top, int right, int bottom)
{
    left_ = std::max(0, left);
    top_ = std::max(0, top);
    right_ = std::min(width_ - 1, right);
    bottom_ = std::min(height_ - 1, bottom);
}

void TPixelCanvas::Polyline(const double* x, const double* y, int n, std::uint32_t argb, const std::vector<int>& dashes)
{
    px_.resize(static_cast<std::size_t>(std::max(0, n)));
    py_.resize(px_.size());
    for (int i = 0; i < n; ++i) {
        px_[static_cast<std::size_t>(i)] = PixelOf(x[i]);
        py_[static_cast<std::size_t>(i)] = PixelOf(y[i]);
    }
    Polyline(px_.data(), py_.data(), n, argb, dashes);
}

void TPixelCanvas::Polyline(const int* x, const int* y, int n, std::uint32_t argb, const std::vector<int>& dashes)
{
    if (!bits_ || left_ > right_ || top_ > bottom_ || n <= 0)
        return;
    pattern_.clear();
    for (std::size_t d = 0; d < dashes.size(); ++d)
        pattern_.insert(pattern_.end(), static_cast<std::size_t>(std::max(1, dashes[d])), d % 2 == 0 ? 1 : 0);
    if (std::find(pattern_.begin(), pattern_.end(), 0) == pattern_.end())
        pattern_.clear(); // no gaps: solid
    dashAt_.clear();
    for (std::size_t i = 0; i < pattern_.size(); ++i)
        if (pattern_[i])
            dashAt_.push_back(static_cast<std::ptrdiff_t>(i));
    phase_ = 0;
    // A solid line's points that follow each other in one column make the
    // rows between their lowest and highest, drawn as one run down it (the
    // last of them is where the next segment starts anyway).
    const bool solid = pattern_.empty();
    bool have = false;
    int px = 0, py = 0, lo = 0, hi = 0;
    auto endPiece = [&] { // before a gap, and at the last point
        if (solid)
            Column(px, lo, hi, argb);
        else
            Segment(px, py, px + 1, py, argb); // the last point itself
    };
    for (int i = 0; i < n; ++i) {
        if (x[i] == kGap || y[i] == kGap) {
            if (have)
                endPiece();
            have = false;
            continue;
        }
        const int cx = x[i], cy = y[i];
        if (have && solid && cx == px) {
            lo = std::min(lo, cy);
            hi = std::max(hi, cy);
            py = cy;
            continue;
        }
        if (have) {
            if (solid)
                Column(px, lo, hi, argb);
            Segment(px, py, cx, cy, argb); // without its last pixel: the next one starts there
        }
        px = cx;
        py = lo = hi = cy;
        have = true;
    }
    if (have)
        endPiece();
}

void TPixelCanvas::Column(int x, int top, int bottom, std::uint32_t argb)
{
    if (x < left_ || x > right_)
        return;
    top = std::max(top, top_);
    bottom = std::min(bottom, bottom_);
    std::uint32_t* p = bits_ + static_cast<std::ptrdiff_t>(top) * stride_ + x;
    for (int row = top; row <= bottom; ++row, p += stride_)
        *p = argb;
}

void TPixelCanvas::Segment(int x0, int y0, int x1, int y1, std::uint32_t argb)
{
    const int dx = x1 - x0, dy = y1 - y0;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    if (steps == 0)
        return;
    // Walked along the longer axis m, a pixel a step; the other coordinate
    // n in 16.16 fixed point, rounded.
    const bool steep = std::abs(dy) > std::abs(dx);
    const int m0 = steep ? y0 : x0, dm = steep ? (dy > 0 ? 1 : -1) : (dx > 0 ? 1 : -1);
    const int lo = steep ? top_ : left_, hi = steep ? bottom_ : right_;
    const int nLo = steep ? left_ : top_, nHi = steep ? right_ : bottom_;
    const std::int64_t inc = (static_cast<std::int64_t>(steep ? dx : dy) * 65536) / steps;
    const std::int64_t n0 = static_cast<std::int64_t>(steep ? x0 : y0) * 65536 + 0x8000;
    // The steps that fall inside the clip on the longer axis.
    const int kLo = std::max(dm > 0 ? lo - m0 : m0 - hi, 0);
    const int kHi = std::min(dm > 0 ? hi - m0 : m0 - lo, steps - 1);
    const std::size_t plen = pattern_.size();
    if (kLo <= kHi) {
        // One step moves a row (steep) or a pixel along the row.
        const std::ptrdiff_t mStep = steep ? static_cast<std::ptrdiff_t>(dm) * stride_ : dm;
        const std::ptrdiff_t nStep = steep ? 1 : stride_;
        std::uint32_t* const base = bits_ + (steep ? static_cast<std::ptrdiff_t>(m0) * stride_ : m0);
        const std::uint8_t* pattern = pattern_.data();
        // In runs of steps that share the other coordinate: a dense curve
        // is mostly long runs straight down a column.
        for (int k = kLo; k <= kHi;) {
            const int n = static_cast<int>((n0 + inc * k) >> 16);
            int kEnd = kHi;
            if (inc > 0)
                kEnd = static_cast<int>(std::min<std::int64_t>(
                    kHi, (static_cast<std::int64_t>(n + 1) * 65536 - n0 + inc - 1) / inc - 1));
            else if (inc < 0)
                kEnd = static_cast<int>(
                    std::min<std::int64_t>(kHi, (n0 - static_cast<std::int64_t>(n) * 65536) / -inc));
            kEnd = std::max(kEnd, k);
            if (n >= nLo && n <= nHi) {
                std::uint32_t* p = base + k * mStep + n * nStep;
                const int count = kEnd - k + 1;
                if (plen == 0) {
                    for (int c = 0; c < count; ++c, p += mStep)
                        *p = argb;
                } else if (count >= 24 * static_cast<int>(plen)) {
                    // A long run: each drawn place of the pattern in turn,
                    // a whole pattern's length apart.
                    const auto phase = static_cast<std::ptrdiff_t>((phase_ + static_cast<std::size_t>(k)) % plen);
                    const auto whole = static_cast<std::ptrdiff_t>(plen);
                    for (const std::ptrdiff_t at : dashAt_) {
                        std::ptrdiff_t c = at >= phase ? at - phase : at + whole - phase;
                        for (std::uint32_t* q = p + c * mStep; c < count; c += whole, q += whole * mStep)
                            *q = argb;
                    }
                } else {
                    // Up to the pattern's start, then a whole pattern at a
                    // time: the dashes at fixed places of each turn.
                    std::size_t phase = (phase_ + static_cast<std::size_t>(k)) % plen;
                    int c = 0;
                    for (; c < count && phase != 0; ++c, p += mStep) {
                        if (pattern[phase])
                            *p = argb;
                        phase = phase + 1 == plen ? 0 : phase + 1;
                    }
                    const int whole = static_cast<int>(plen);
                    for (; c + whole <= count; c += whole, p += whole * mStep)
                        for (const std::ptrdiff_t at : dashAt_)
                            p[at * mStep] = argb;
                    for (; c < count; ++c, p += mStep, ++phase)
                        if (pattern[phase])
                            *p = argb;
                }
            }
            k = kEnd + 1;
        }
    }
    if (plen)
        phase_ = (phase_ + static_cast<std::size_t>(steps)) % plen;
}

TPixelCanvas::TStamp::TStamp(const std::uint32_t* bits, int w, int h) : Bits(bits), W(w), H(h)
{
    for (int row = 0; row < h; ++row) {
        const std::uint32_t* line = bits + static_cast<std::ptrdiff_t>(row) * w;
        int from = 0, to = w - 1;
        while (from <= to && line[from] == 0)
            ++from;
        while (to >= from && line[to] == 0)
            --to;
        From.push_back(from);
        To.push_back(to);
        int solid = from;
        while (solid <= to && line[solid] >> 24 != 255)
            ++solid;
        int solidTo = solid;
        while (solidTo <= to && line[solidTo] >> 24 == 255)
            ++solidTo;
        Solid.push_back(solid);
        SolidTo.push_back(solidTo - 1); // Solid > SolidTo: none
    }
}

void TPixelCanvas::Stamp(const TStamp& stamp, int x, int y)
{
    if (!bits_)
        return;
    const int l = std::max(x, left_), r = std::min(x + stamp.W - 1, right_);
    const int t = std::max(y, top_), b = std::min(y + stamp.H - 1, bottom_);
    for (int row = t; row <= b; ++row) {
        const std::size_t at = static_cast<std::size_t>(row - y);
        // Only between the row's first and last pixel that is not clear.
        const int from = std::max(l - x, stamp.From[at]), to = std::min(r - x, stamp.To[at]);
        const std::uint32_t* s = stamp.Bits + static_cast<std::ptrdiff_t>(at) * stamp.W;
        std::uint32_t* d = bits_ + static_cast<std::ptrdiff_t>(row) * stride_ + x;
        auto blend = [&](int a, int b) {
            for (int c = a; c <= b; ++c) {
                const std::uint32_t alpha = s[c] >> 24;
                if (alpha == 255)
                    d[c] = s[c];
                else if (alpha != 0)
                    d[c] = Over(s[c], d[c]);
            }
        };
        // The opaque run is copied as it is; only around it is blended.
        const int solid = std::max(from, stamp.Solid[at]), solidTo = std::min(to, stamp.SolidTo[at]);
        if (solid > solidTo) {
            blend(from, to);
            continue;
        }
        blend(from, solid - 1);
        std::copy(s + solid, s + solidTo + 1, d + solid);
        blend(solidTo + 1, to);
    }
}

} // namespace qv
