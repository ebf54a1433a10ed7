#pragma once
// The curve offsets a flight file keeps besides the receiver's vertical
// offset: time and value offsets of the altitude curve (markers and
// annotations move with it), the receiver's time offset and the voltage
// curve's offsets.
namespace qv {

struct TFileOffsets {
    double AltX = 0;
    double AltY = 0;
    double RxX = 0;
    double VoltX = 0;
    double VoltY = 0;
    bool operator==(const TFileOffsets& o) const
    {
        return AltX == o.AltX && AltY == o.AltY && RxX == o.RxX && VoltX == o.VoltX && VoltY == o.VoltY;
    }
    bool operator!=(const TFileOffsets& o) const { return !(*this == o); }
};

} // namespace qv
