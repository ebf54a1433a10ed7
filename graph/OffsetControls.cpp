#include "graph/OffsetControls.h"

#include "base/Numbers.h"

#include "base/MessageService.h"
#include "graph/GraphPage.h"
#include "graph/Measurement.h"
#include "graph/OffsetRow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QSlider>
#include <QToolButton>
#include <cmath>

namespace qv {

TOffsetControls::TOffsetControls(TGraphPage& page, TMeasurement& measurement)
    : QObject(&page), page_(page), measurement_(measurement), offsets_(page.Chart->Model(), this)
{
    const TOffsetRow& row = *page.PanelShift;
    TBShift = row.TBShift;
    mnuAltToZero = row.mnuAltToZero;
    mnuAllAltToZero = row.mnuAllAltToZero;
    mnuServoToZero = row.mnuServoToZero;
    mnuResetShift = row.mnuResetShift;
    mnuAlignRelease = row.mnuAlignRelease;
    // The same commands on the chart's pop-up.
    page.Chart->PopupChart->addSeparator();
    page.Chart->PopupChart->addActions(row.ShiftMenu->actions());

    connect(page.TrackBarX, &QSlider::valueChanged, this, &TOffsetControls::TrackBarXChange);
    connect(page.TrackBarY, &QSlider::valueChanged, this, &TOffsetControls::TrackBarYChange);
    connect(page.EditShiftX, &QLineEdit::editingFinished, this, &TOffsetControls::EditShiftXExit);
    connect(page.EditShiftY, &QLineEdit::editingFinished, this, &TOffsetControls::EditShiftYExit);
    connect(page.CheckBoxShift, &QCheckBox::toggled, this, &TOffsetControls::CheckBoxShiftClick);
    connect(mnuAltToZero, &QAction::triggered, this, &TOffsetControls::AltToZeroClick);
    connect(mnuAllAltToZero, &QAction::triggered, this, &TOffsetControls::AllAltToZeroClick);
    connect(mnuServoToZero, &QAction::triggered, this, &TOffsetControls::ServoToZeroClick);
    connect(mnuResetShift, &QAction::triggered, this, &TOffsetControls::ResetShiftClick);
    connect(mnuAlignRelease, &QAction::triggered, this, &TOffsetControls::AlignReleaseClick);
    // The servo's vertical offset is not drawn while the servo is centred.
    connect(page.ComboBoxShiftAxis, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TOffsetControls::EnableControls);
    connect(page.Chart->CheckBox_RxCenter, &QCheckBox::toggled, this, &TOffsetControls::EnableControls);
}

void TOffsetControls::EnableControls()
{
    const bool servoY = !(Axis() == ShiftServo && offsets_.Model().RxCentre());
    page_.TrackBarY->setEnabled(servoY);
    page_.EditShiftY->setEnabled(servoY);
    mnuServoToZero->setEnabled(!offsets_.Model().RxCentre());
}

int TOffsetControls::Axis() const { return qBound(0, page_.ComboBoxShiftAxis->currentIndex(), 2); }

void TOffsetControls::ShowEdits()
{
    // Puts back what is in force (after a text that is no number).
    const TCurveHandle h = page_.ActualFile();
    page_.EditShiftX->setText(TGraphPage::TimeOffsetText(offsets_.OffsetX(h, Axis())));
    page_.EditShiftY->setText(QString::number(offsets_.OffsetY(h, Axis())));
}

void TOffsetControls::FollowView() { page_.UpdateScrollBars(); }

void TOffsetControls::TrackBarXChange(int position)
{
    // Whole sample periods, without the rounding noise of the product.
    offsets_.SetOffsetX(page_.ActualFile(), Axis(), std::round(position * page_.TimeStep() * 1e6) / 1e6);
    FollowView();
}

void TOffsetControls::TrackBarYChange(int position)
{
    offsets_.SetOffsetY(page_.ActualFile(), Axis(), position);
    FollowView();
}

void TOffsetControls::EditShiftXExit() { EditExit(true); }

void TOffsetControls::EditShiftYExit() { EditExit(false); }

void TOffsetControls::EditExit(bool timeOffset)
{
    const std::optional<double> typed = ParseUserNumber((timeOffset ? page_.EditShiftX : page_.EditShiftY)->text());
    if (!typed)
        return ShowEdits();
    const double v = *typed;
    if (timeOffset)
        offsets_.SetOffsetX(page_.ActualFile(), Axis(), v);
    else
        offsets_.SetOffsetY(page_.ActualFile(), Axis(), v);
    FollowView();
}

void TOffsetControls::CheckBoxShiftClick()
{
    offsets_.SetEnabled(page_.ActualFile(), Axis(), page_.CheckBoxShift->isChecked());
    FollowView();
}

void TOffsetControls::AltToZeroClick()
{
    offsets_.AltitudeToOrigin(page_.ActualFile(), measurement_.CursorA());
    FollowView();
}

void TOffsetControls::AllAltToZeroClick()
{
    for (TCurveHandle h : offsets_.Model().Handles())
        offsets_.AltitudeToOrigin(h, measurement_.CursorA());
    FollowView();
}

void TOffsetControls::ServoToZeroClick()
{
    offsets_.ServoToZero(page_.ActualFile(), measurement_.CursorA());
    FollowView();
}

void TOffsetControls::ResetShiftClick()
{
    offsets_.Reset(page_.ActualFile());
    FollowView();
}

void TOffsetControls::AlignReleaseClick()
{
    const std::vector<TCurveHandle> missing = offsets_.AlignAtRelease(offsets_.Model().Handles());
    FollowView();
    if (missing.empty())
        return;
    QStringList names;
    for (TCurveHandle h : missing)
        names << offsets_.Model().File(h)->ShortName;
    Messages().Information(QStringLiteral("No tow release found in: ") + names.join(QStringLiteral(", ")) +
                           QStringLiteral("\rThese files keep their offsets."));
}

} // namespace qv
