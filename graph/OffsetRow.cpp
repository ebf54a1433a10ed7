#include "graph/OffsetRow.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QToolButton>

namespace qv {

TOffsetRow::TOffsetRow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PanelShift"));
    CheckBoxShift = new QCheckBox(QStringLiteral("Offset"), this);
    CheckBoxShift->setObjectName(QStringLiteral("CheckBoxShift"));
    ComboBoxShiftAxis = new QComboBox(this);
    ComboBoxShiftAxis->setObjectName(QStringLiteral("ComboBoxShiftAxis"));
    ComboBoxShiftAxis->addItems({QStringLiteral("Altitude"), QStringLiteral("Servo"), QStringLiteral("Voltage")});
    TrackBarX = new QSlider(Qt::Horizontal, this);
    TrackBarX->setObjectName(QStringLiteral("TrackBarX"));
    TrackBarX->setRange(-100, 100); // fitted to the flight and the view
    TrackBarX->setValue(0);
    TrackBarY = new QSlider(Qt::Horizontal, this);
    TrackBarY->setObjectName(QStringLiteral("TrackBarY"));
    TrackBarY->setRange(-1000, 1000);
    TrackBarY->setValue(0);
    EditShiftX = new QLineEdit(QStringLiteral("0.0"), this);
    EditShiftX->setObjectName(QStringLiteral("EditShiftX"));
    EditShiftX->setMaximumWidth(70);
    EditShiftY = new QLineEdit(QStringLiteral("0"), this);
    EditShiftY->setObjectName(QStringLiteral("EditShiftY"));
    EditShiftY->setMaximumWidth(70);

    TBShift = new QToolButton(this);
    TBShift->setObjectName(QStringLiteral("TBShift"));
    TBShift->setText(QStringLiteral("Shift"));
    TBShift->setToolTip(QStringLiteral("Sets the offsets at cursor A or at the tow release"));
    TBShift->setPopupMode(QToolButton::InstantPopup);
    ShiftMenu = new QMenu(TBShift);
    auto add = [this](const char* name, const char* caption) {
        QAction* a = ShiftMenu->addAction(QLatin1String(caption));
        a->setObjectName(QLatin1String(name));
        return a;
    };
    mnuAltToZero = add("mnuAltToZero", "Set Alt. to (0,0)");
    mnuAllAltToZero = add("mnuAllAltToZero", "Set all Alt. to (0,0)");
    mnuServoToZero = add("mnuServoToZero", "Set Servo to (x,0)");
    mnuResetShift = add("mnuResetShift", "Reset shift");
    ShiftMenu->addSeparator();
    mnuAlignRelease = add("mnuAlignRelease", "Align at release");
    TBShift->setMenu(ShiftMenu);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(CheckBoxShift);
    row->addWidget(ComboBoxShiftAxis);
    row->addWidget(new QLabel(QStringLiteral("X:"), this));
    row->addWidget(TrackBarX, 1);
    row->addWidget(EditShiftX);
    row->addWidget(new QLabel(QStringLiteral("Y:"), this));
    row->addWidget(TrackBarY, 1);
    row->addWidget(EditShiftY);
    row->addWidget(TBShift);
}

} // namespace qv
