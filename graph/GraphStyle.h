#pragma once
// Widget-free helpers of the chart: style codes of the graph setup, the
// curve colours and the receiver centring.
#include <QtCore/qnamespace.h>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace qv {

// The curve colour table, 0xBBGGRR, in the order open files take them.
constexpr int kCurveColourCount = 14;
extern const std::array<std::uint32_t, kCurveColourCount> kCurveColours;

// 0xBBGGRR -> 0xRRGGBB (and back: the swap is its own inverse).
constexpr std::uint32_t SwapRedBlue(std::uint32_t c)
{
    return ((c & 0xFFu) << 16) | (c & 0x00FF00u) | ((c >> 16) & 0xFFu);
}

// First index of the colour table no open file uses; 255 when all are taken.
std::uint8_t FirstFreeColourIndex(const std::vector<std::uint8_t>& usedIndices);

// The chart's own series colours (0xRRGGBB), used when the table is full:
// the first one that no series on the chart has, else they repeat in turn.
extern const std::array<std::uint32_t, 16> kChartSeriesColours;
std::uint32_t NextFreeSeriesColour(const std::vector<std::uint32_t>& usedRgb);

// Line-style code 0..4 -> Qt pen style; nothing for an invalid code.
std::optional<Qt::PenStyle> PenStyleFromCode(int code);

// Point-shape codes 0..8 are valid; others leave the shape as it is.
constexpr bool IsValidPointShape(int code) { return code >= 0 && code <= 8; }

// Drawn size in pixels of a point of the given setup size (half width).
constexpr double PointPixelSize(int size) { return 2.0 * size + 1.0; }

// Receiver value on the chart: centred into the deflection range
// (v * (max - min) / 200 + (max + min) / 2) or shifted by the file's offset.
struct TRxMapping {
    double Scale = 1.0;
    double Shift = 0.0;
    double operator()(double v) const { return v * Scale + Shift; }
};
TRxMapping RxMapping(bool centre, double deflectionMin, double deflectionMax, double rxOffsetY);

} // namespace qv
