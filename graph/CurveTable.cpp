#include "graph/CurveTable.h"

#include <array>

namespace qv {

namespace {

const std::array<TCurveSlotInfo, kSlotCount> kCurveSlots = {{
    {SlotAlt, " (Alt)", "Altitude", "alt", AxisLeft, false, ArrAltitude, 1, &TGraphSetupRec::AltitudeLStyle,
     &TGraphSetupRec::AltitudeLWidth},
    {SlotRx, " (RX)", "Servo", "rx", AxisRight, false, ArrRx, 2, &TGraphSetupRec::RXLStyle,
     &TGraphSetupRec::RXLWidth},
    {SlotPowS, " (PowS)", "Voltage", "pows", AxisVoltage, false, ArrVoltage, 3, &TGraphSetupRec::PowerSupLStyle,
     &TGraphSetupRec::PowerSupLWidth},
    {SlotMark, " (Mark)", "Marker", "mark", AxisLeft, true, ArrAltitude, 4, &TGraphSetupRec::MarkerMarkStyle,
     &TGraphSetupRec::MarkerMarkSize},
    {SlotAnnot, " (Annot)", "Annotation", "annot", AxisLeft, true, -1, 5, &TGraphSetupRec::AnnotMarkStyle,
     &TGraphSetupRec::AnnotMarkSize},
}};

} // namespace

const TCurveSlotInfo& CurveSlot(int slot)
{
    return kCurveSlots[slot >= 0 && slot < kSlotCount ? slot : 0];
}

} // namespace qv
