#pragma once
// The curve offset row of the graph page: "Offset", the curve group
// (ComboBoxShiftAxis), the track bars and edits of the time and vertical
// offsets, and TBShift with the commands that set offsets at a point or at
// the tow release. The row only holds the controls; TOffsetControls
// (graph/OffsetControls.h) does their work.
#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QSlider;
class QToolButton;

namespace qv {

class TOffsetRow : public QWidget {
    Q_OBJECT
public:
    explicit TOffsetRow(QWidget* parent = nullptr);

    QCheckBox* CheckBoxShift = nullptr;
    QComboBox* ComboBoxShiftAxis = nullptr;
    QSlider* TrackBarX = nullptr;
    QSlider* TrackBarY = nullptr;
    QLineEdit* EditShiftX = nullptr;
    QLineEdit* EditShiftY = nullptr;
    QToolButton* TBShift = nullptr; // the commands' menu beside the controls
    QMenu* ShiftMenu = nullptr;
    QAction* mnuAltToZero = nullptr;
    QAction* mnuAllAltToZero = nullptr;
    QAction* mnuServoToZero = nullptr;
    QAction* mnuResetShift = nullptr;
    QAction* mnuAlignRelease = nullptr;
};

} // namespace qv
