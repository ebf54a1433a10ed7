#pragma once
// The five curves every open file has, in their fixed order, and the
// chart's axes (what each curve is: graph/CurveTable.h).
#include <array>
#include <cstdint>

namespace qv {

constexpr int kSlotCount = 5;

// Curve slots in their fixed order.
enum SlotIndex { SlotAlt = 0, SlotRx = 1, SlotPowS = 2, SlotMark = 3, SlotAnnot = 4 };

// The chart's four axes.
enum AxisId { AxisBottom = 0, AxisLeft = 1, AxisRight = 2, AxisVoltage = 3 };
constexpr int kAxisCount = 4;

constexpr std::uint8_t kNoColour = 255;

// An open file's curves in the curve model.
using TCurveHandle = int;
constexpr TCurveHandle kNoCurves = -1;

} // namespace qv
