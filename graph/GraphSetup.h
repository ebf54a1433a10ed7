#pragma once
// The graph-setup record: axis ranges, automatic flags, line and mark styles.
#include "graph/CurveSlots.h"
#include "graph/ViewMath.h"

#include <cstdint>

namespace qv {

struct TGraphSetupRec {
    bool AltitudeAuto;
    double AltitudeMin;
    double AltitudeMax;
    std::int32_t AltitudeLStyle;
    std::int32_t AltitudeLWidth;
    bool PowerSupAuto;
    double PowerSupMin;
    double PowerSupMax;
    std::int32_t PowerSupLStyle;
    std::int32_t PowerSupLWidth;
    bool RXAuto;
    double RXMin;
    double RXMax;
    std::int32_t RXLStyle;
    std::int32_t RXLWidth;
    bool TimeAuto;
    double TimeMin;
    double TimeMax;
    std::int32_t AnnotMarkStyle;
    std::int32_t AnnotMarkSize;
    std::int32_t MarkerMarkStyle;
    std::int32_t MarkerMarkSize;
};

// Line-style codes and point-shape codes of the record.
enum LineStyleCode { lsSolid = 0, lsDash, lsDot, lsDashDot, lsDashDotDot };
enum PointShapeCode { psRectangle = 0, psCircle, psTriangle, psDownTriangle, psCross, psDiagCross, psStar,
                      psDiamond, psSmallDot };

void SetGraphSetupDefaults(TGraphSetupRec& rec);
TGraphSetupRec DefaultGraphSetup();

// How the record scales one axis: automatic, or the stored range. A
// Maximum not above the Minimum is corrected in the record itself.
struct TAxisSetup {
    bool Automatic = true;
    TAxisRange Range;
};
TAxisSetup AxisSetupOf(TGraphSetupRec& rec, AxisId axis);

} // namespace qv
