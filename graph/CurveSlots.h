#pragma once
// The five curves every open file has, in their fixed order, and the value
// axis each is drawn against.
#include <array>
#include <cstdint>

namespace qv {

constexpr int kSlotCount = 5;

// Curve slots in their fixed order.
enum SlotIndex { SlotAlt = 0, SlotRx = 1, SlotPowS = 2, SlotMark = 3, SlotAnnot = 4 };

// Title suffix of each slot's curve: " (Alt)", " (RX)", ...
extern const std::array<const char*, kSlotCount> kSlotTitles;

// The chart's four axes.
enum AxisId { AxisBottom = 0, AxisLeft = 1, AxisRight = 2, AxisVoltage = 3 };
constexpr int kAxisCount = 4;

// Value axis of each slot: altitude, markers and annotations on the left,
// the receiver on the right, the voltage on its own axis.
constexpr std::array<AxisId, kSlotCount> kSlotAxis = {AxisLeft, AxisRight, AxisVoltage, AxisLeft, AxisLeft};

// Slots drawn as points rather than lines.
constexpr bool IsPointSlot(int slot) { return slot == SlotMark || slot == SlotAnnot; }

constexpr std::uint8_t kNoColour = 255;

// An open file's curves in the curve model.
using TCurveHandle = int;
constexpr TCurveHandle kNoCurves = -1;

} // namespace qv
