#include "graph/Offsets.h"

#include "graph/Measure.h"

#include <QSignalBlocker>

namespace qv {

std::vector<int> ShiftSlots(int axis)
{
    switch (axis) {
    case ShiftServo: return {SlotRx};
    case ShiftVoltage: return {SlotPowS};
    default: return {SlotAlt, SlotMark, SlotAnnot};
    }
}

namespace {
int MainSlot(int axis) { return ShiftSlots(axis).front(); }
} // namespace

TCurveOffsets::TCurveOffsets(TCurveModel& model, QObject* parent) : QObject(parent), model_(model) {}

double TCurveOffsets::OffsetX(TCurveHandle h, int axis) const
{
    const TCurve* c = model_.Curve(h, MainSlot(axis));
    return c ? c->OffsetX : 0.0;
}

double TCurveOffsets::OffsetY(TCurveHandle h, int axis) const
{
    if (axis == ShiftServo) {
        const TCurveFile* f = model_.File(h);
        return f ? f->RxOffsetY : 0.0;
    }
    const TCurve* c = model_.Curve(h, MainSlot(axis));
    return c ? c->OffsetY : 0.0;
}

bool TCurveOffsets::Enabled(TCurveHandle h, int axis) const
{
    const TCurve* c = model_.Curve(h, MainSlot(axis));
    return c && c->OffsetEnabled;
}

void TCurveOffsets::SetGroup(TCurveHandle h, int axis, std::optional<double> dx, std::optional<double> dy)
{
    if (!model_.Has(h))
        return;
    bool changed = false;
    for (int slot : ShiftSlots(axis)) {
        const TCurve& c = *model_.Curve(h, slot);
        const double x = dx.value_or(c.OffsetX);
        if (slot == SlotRx) {
            // The receiver's vertical offset is the file's receiver offset.
            if (dy && *dy != model_.File(h)->RxOffsetY) {
                model_.SetRxOffsetY(h, *dy);
                changed = true;
            }
            if (x != c.OffsetX) {
                model_.SetOffset(h, slot, x, c.OffsetY);
                changed = true;
            }
            continue;
        }
        const double y = dy.value_or(c.OffsetY);
        if (x != c.OffsetX || y != c.OffsetY) {
            model_.SetOffset(h, slot, x, y);
            changed = true;
        }
    }
    if (changed)
        emit OffsetsChanged(h);
}

void TCurveOffsets::SetTime(TCurveHandle h, double dx)
{
    if (!model_.Has(h))
        return;
    bool changed = false;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const TCurve& c = *model_.Curve(h, slot);
        if (c.OffsetX != dx) {
            model_.SetOffset(h, slot, dx, c.OffsetY);
            changed = true;
        }
    }
    if (changed)
        emit OffsetsChanged(h);
}

void TCurveOffsets::SetOffsetX(TCurveHandle h, int, double dx) { SetTime(h, dx); }

void TCurveOffsets::SetOffsetY(TCurveHandle h, int axis, double dy) { SetGroup(h, axis, std::nullopt, dy); }

void TCurveOffsets::SetEnabled(TCurveHandle h, int axis, bool enabled)
{
    for (int slot : ShiftSlots(axis))
        model_.SetOffsetEnabled(h, slot, enabled);
}

void TCurveOffsets::Reset(TCurveHandle h)
{
    SetTime(h, 0.0);
    for (int axis : {ShiftAltitude, ShiftServo, ShiftVoltage})
        SetGroup(h, axis, std::nullopt, 0.0);
}

bool TCurveOffsets::AltitudeToOrigin(TCurveHandle h, std::optional<double> at)
{
    const TCurve* c = model_.Curve(h, SlotAlt);
    if (!c || c->Count() == 0)
        return false;
    // The point in the file's own coordinates.
    const double t = at ? c->FileX(*at) : c->X->front();
    const double v = *ValueAt(*c->X, *c->Y, t);
    SetTime(h, -t);
    SetGroup(h, ShiftAltitude, std::nullopt, -v);
    SetEnabled(h, ShiftAltitude, true);
    return true;
}

bool TCurveOffsets::ServoToZero(TCurveHandle h, std::optional<double> at)
{
    const TCurve* c = model_.Curve(h, SlotRx);
    if (!c || c->Count() == 0 || model_.RxCentre())
        return false;
    const double t = at ? c->FileX(*at) : c->X->front();
    const double v = *ValueAt(*c->X, *c->Y, t);
    SetGroup(h, ShiftServo, std::nullopt, -v);
    SetEnabled(h, ShiftServo, true);
    return true;
}

std::vector<TCurveHandle> TCurveOffsets::AlignAtRelease(const std::vector<TCurveHandle>& files)
{
    std::vector<TCurveHandle> missing;
    for (TCurveHandle h : files) {
        const TCurve* c = model_.Curve(h, SlotAlt);
        const std::optional<double> release = c && c->Count() > 0 ? FindRelease(*c->X, *c->Y) : std::nullopt;
        if (!release) {
            missing.push_back(h);
            continue;
        }
        SetTime(h, -*release);
        for (int axis : {ShiftAltitude, ShiftServo, ShiftVoltage})
            SetEnabled(h, axis, true);
    }
    return missing;
}

TFileOffsets TCurveOffsets::Stored(TCurveHandle h) const
{
    TFileOffsets o;
    if (!model_.Has(h))
        return o;
    o.AltX = OffsetX(h, ShiftAltitude);
    o.AltY = OffsetY(h, ShiftAltitude);
    o.RxX = OffsetX(h, ShiftServo);
    o.VoltX = OffsetX(h, ShiftVoltage);
    o.VoltY = OffsetY(h, ShiftVoltage);
    return o;
}

void TCurveOffsets::Apply(TCurveHandle h, const TFileOffsets& o)
{
    const QSignalBlocker quiet(this); // what the file holds is no change
    SetGroup(h, ShiftAltitude, o.AltX, o.AltY);
    SetGroup(h, ShiftServo, o.RxX, std::nullopt);
    SetGroup(h, ShiftVoltage, o.VoltX, o.VoltY);
}

} // namespace qv
