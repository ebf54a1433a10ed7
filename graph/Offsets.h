#pragma once
// Curve offsets of the open files. The offset controls choose one of three
// curve groups: the altitude (with the markers and annotations drawn on it),
// the servo and the voltage. The points stay as the file holds them; an
// offset only moves where they are drawn, so switching it off or back to 0
// returns every point to its place.
#include "graph/CurveModel.h"
#include "data/FileOffsets.h"

#include <QObject>
#include <optional>
#include <vector>

namespace qv {

// The groups of the "Altitude" / "Servo" / "Voltage" choice; their value
// offsets are their own, the time offset is the file's.
enum ShiftAxis { ShiftAltitude = 0, ShiftServo = 1, ShiftVoltage = 2 };
// The slots a group moves.
std::vector<int> ShiftSlots(int axis);

class TCurveOffsets : public QObject {
    Q_OBJECT
public:
    explicit TCurveOffsets(TCurveModel& model, QObject* parent = nullptr);

    TCurveModel& Model() const { return model_; }
    double OffsetX(TCurveHandle h, int axis) const;
    // The servo's is the file's receiver offset.
    double OffsetY(TCurveHandle h, int axis) const;
    bool Enabled(TCurveHandle h, int axis) const;

    // A flight moves in time as one: a time offset set for any group is
    // that of every curve of the file. Only a file saved with different
    // ones keeps them (Apply) until its time is set again.
    void SetOffsetX(TCurveHandle h, int axis, double dx);
    void SetTime(TCurveHandle h, double dx);
    void SetOffsetY(TCurveHandle h, int axis, double dy);
    // Switching on adds the group's offsets to its points, off takes them away.
    void SetEnabled(TCurveHandle h, int axis, bool enabled);
    // All offsets of the file back to 0.
    void Reset(TCurveHandle h);

    // Moves the altitude group so that the altitude curve's point at the
    // chart time `at` (its first sample when there is none) lies on (0,0).
    // False when the file has no altitude curve.
    bool AltitudeToOrigin(TCurveHandle h, std::optional<double> at);
    // Moves the servo curve vertically so that its value at `at` (its first
    // sample when none) is 0. False without servo curve or while the servo
    // is centred (the offset is not drawn then).
    bool ServoToZero(TCurveHandle h, std::optional<double> at);
    // Sets the time offsets of every curve of each file so that its tow
    // release lies at t = 0; returns the files in which none was found
    // (they stay as they were).
    std::vector<TCurveHandle> AlignAtRelease(const std::vector<TCurveHandle>& files);

    // The offsets a file keeps, and putting them back on opening.
    TFileOffsets Stored(TCurveHandle h) const;
    void Apply(TCurveHandle h, const TFileOffsets& offsets);

signals:
    // Offset values of a file changed (not their switching on or off).
    void OffsetsChanged(TCurveHandle h);

private:
    void SetGroup(TCurveHandle h, int axis, std::optional<double> dx, std::optional<double> dy);

    TCurveModel& model_;
};

} // namespace qv
