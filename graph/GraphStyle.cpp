#include "graph/GraphStyle.h"

#include <algorithm>

namespace qv {

const std::array<std::uint32_t, kCurveColourCount> kCurveColours = {
    0xFF0000, // blue
    0x0000FF, // red
    0x008000, // green
    0x008080, // olive
    0xFF00FF, // fuchsia
    0x00FF00, // lime
    0x800000, // navy
    0x000080, // maroon
    0x808000, // teal
    0xF0CAA6, // sky blue
    0x800080, // purple
    0xC0DCC0, // money green
    0x00FFFF, // yellow
    0xFFFF00, // aqua
};

const std::array<std::uint32_t, 16> kChartSeriesColours = {
    0xFF8000, 0x8B4513, 0x9400D3, 0xDAA520, 0x008B8B, 0xDC143C, 0x556B2F, 0x4682B4,
    0xFF1493, 0x2F4F4F, 0xB8860B, 0x6A5ACD, 0x20B2AA, 0xA0522D, 0x7B68EE, 0x3CB371,
};

std::uint8_t FirstFreeColourIndex(const std::vector<std::uint8_t>& used)
{
    for (int i = 0; i < kCurveColourCount; ++i)
        if (std::find(used.begin(), used.end(), static_cast<std::uint8_t>(i)) == used.end())
            return static_cast<std::uint8_t>(i);
    return 255;
}

std::uint32_t NextFreeSeriesColour(const std::vector<std::uint32_t>& usedRgb)
{
    for (std::uint32_t c : kChartSeriesColours)
        if (std::find(usedRgb.begin(), usedRgb.end(), c) == usedRgb.end())
            return c;
    return kChartSeriesColours[usedRgb.size() % kChartSeriesColours.size()];
}

std::optional<Qt::PenStyle> PenStyleFromCode(int code)
{
    switch (code) {
    case 0: return Qt::SolidLine;
    case 1: return Qt::DashLine;
    case 2: return Qt::DotLine;
    case 3: return Qt::DashDotLine;
    case 4: return Qt::DashDotDotLine;
    default: return std::nullopt;
    }
}

TRxMapping RxMapping(bool centre, double deflectionMin, double deflectionMax, double rxOffsetY)
{
    if (centre)
        return {(deflectionMax - deflectionMin) / 200.0, (deflectionMax + deflectionMin) * 0.5};
    return {1.0, rxOffsetY};
}

} // namespace qv
