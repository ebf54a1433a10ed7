#include "graph/GraphSetup.h"

namespace qv {

void SetGraphSetupDefaults(TGraphSetupRec& r)
{
    r.AltitudeAuto = true;
    r.AltitudeMin = 0.0;
    r.AltitudeMax = 100.0;
    r.AltitudeLStyle = lsSolid;
    r.AltitudeLWidth = 1;
    r.PowerSupAuto = true;
    r.PowerSupMin = 0.0;
    r.PowerSupMax = 100.0;
    r.PowerSupLStyle = lsDot;
    r.PowerSupLWidth = 1;
    r.RXAuto = true;
    r.RXMin = 0.0;
    r.RXMax = 100.0;
    r.RXLStyle = lsDash;
    r.RXLWidth = 1;
    r.TimeAuto = true;
    r.TimeMin = 0.0;
    r.TimeMax = 100.0;
    r.AnnotMarkStyle = psDiamond;
    r.AnnotMarkSize = 4;
    r.MarkerMarkStyle = psTriangle;
    r.MarkerMarkSize = 4;
}

TGraphSetupRec DefaultGraphSetup()
{
    TGraphSetupRec r{};
    SetGraphSetupDefaults(r);
    return r;
}

TAxisSetup AxisSetupOf(TGraphSetupRec& r, AxisId axis)
{
    auto make = [](bool automatic, double min, double& max) {
        TAxisSetup s;
        s.Automatic = automatic;
        if (!automatic)
            s.Range = CorrectedRange(min, max);
        return s;
    };
    switch (axis) {
    case AxisLeft: return make(r.AltitudeAuto, r.AltitudeMin, r.AltitudeMax);
    case AxisRight: return make(r.RXAuto, r.RXMin, r.RXMax);
    case AxisVoltage: return make(r.PowerSupAuto, r.PowerSupMin, r.PowerSupMax);
    case AxisBottom: break;
    }
    return make(r.TimeAuto, r.TimeMin, r.TimeMax);
}

} // namespace qv
