#pragma once
// What every one of a file's five curves is: the one table that the curve
// model, the chart, the grid, the picture output and the command-line tool
// read. A curve's drawn place and its place in the file map through
// TCurve::DrawnX/DrawnY and TCurve::FileX/FileY (graph/CurveModel.h).
#include "data/DataBlock.h"
#include "graph/CurveSlots.h"
#include "graph/GraphSetup.h"

#include <cstdint>

namespace qv {

struct TCurveSlotInfo {
    SlotIndex Slot;
    const char* TitleSuffix; // behind the file's short name: " (Alt)"
    const char* Caption;     // the grid's check and pop-up item: "Altitude"
    const char* CliName;     // the command line's --curves word: "alt"
    AxisId Axis;             // the value axis it is drawn against
    bool Points;             // drawn as points (markers, annotations), else as a line
    int Source;              // sample array of its values; -1: the annotations
    int GridColumn;          // its check column in the open-files grid
    // The graph setup's fields of its look: line style and width, or point
    // shape and size.
    std::int32_t TGraphSetupRec::*Style;
    std::int32_t TGraphSetupRec::*Size;
};

// The curve of a slot 0..4 (SlotAlt ... SlotAnnot).
const TCurveSlotInfo& CurveSlot(int slot);

} // namespace qv
