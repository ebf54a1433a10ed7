#pragma once
// The curve offset controls of the graph page: "Offset", the two track bars
// and edits (kept in step) for the curve group chosen in ComboBoxShiftAxis,
// and the commands that set offsets at a point or at the tow release.
#include "graph/Offsets.h"

#include <QObject>

class QAction;
class QToolButton;

namespace qv {

class TGraphPage;
class TMeasurement;

class TOffsetControls : public QObject {
    Q_OBJECT
public:
    TOffsetControls(TGraphPage& page, TMeasurement& measurement);

    TCurveOffsets& Offsets() { return offsets_; }

    QToolButton* TBShift = nullptr; // the commands' menu (in the page's PanelShift)
    QAction* mnuAltToZero = nullptr;
    QAction* mnuAllAltToZero = nullptr;
    QAction* mnuServoToZero = nullptr;
    QAction* mnuResetShift = nullptr;
    QAction* mnuAlignRelease = nullptr;

    // Handlers
    void TrackBarXChange(int position);
    void TrackBarYChange(int position);
    void EditShiftXExit();
    void EditShiftYExit();
    void CheckBoxShiftClick();
    void AltToZeroClick();
    void AllAltToZeroClick();
    void ServoToZeroClick();
    void ResetShiftClick();
    void AlignReleaseClick();

private:
    int Axis() const;
    void ShowEdits();
    void EditExit(bool timeOffset);
    void EnableControls();
    void FollowView();

    TGraphPage& page_;
    TMeasurement& measurement_;
    TCurveOffsets offsets_;
};


} // namespace qv
