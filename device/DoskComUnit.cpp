#include "device/DoskComUnit.h"

#include "device/DoskComLogic.h"
#include "base/MessageService.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

namespace qv {

namespace {

const QColor kRed(Qt::red);
const QColor kYellow(Qt::yellow);
const QColor kGreen(Qt::green);


QString DisconnectedCaption() { return QString::fromLatin1(kDisconnectedCaption); }

} // namespace

// ---------------------------------------------------------------------------

TShape::TShape(QWidget* parent) : QWidget(parent), colour_(kRed) {}

void TShape::SetBrushColor(const QColor& c)
{
    colour_ = c;
    update();
}

void TShape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::black);
    p.setBrush(colour_);
    const int d = qMin(width(), height()) - 2;
    p.drawEllipse(1, 1, d, d);
}

// ---------------------------------------------------------------------------

TDoskComForm::TDoskComForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), protocol_(port_, this)
{
    setObjectName(QStringLiteral("DoskComForm"));
    setWindowTitle(QStringLiteral("Data Reading"));
    protocol_.SetPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
    BuildControls();
    FormCreate();
}

TDoskComForm::~TDoskComForm()
{
    protocol_.SetAbort();
    protocol_.SetObserver(nullptr);
    protocol_.ClosePort();
    while (busy_ > 0) {
        QApplication::restoreOverrideCursor();
        --busy_;
    }
}

QString TDoskComForm::PortName() const
{
    return portOverride_.isEmpty() ? settings_.Com : portOverride_;
}

// Only the voltage threshold row of the configuration stays visible; the
// hidden controls still carry their bytes.
void TDoskComForm::FormCreate()
{
    const int top = Panel5->y();
    const int bottom = Panel3->y() + Panel3->height();
    const int h = bottom - top;
    for (QWidget* p : {Panel5, Panel2, Panel6, Panel3, Panel4})
        p->hide();
    for (QWidget* w : {UniRow, static_cast<QWidget*>(UploadButton), static_cast<QWidget*>(ResetButton), Panel4})
        MoveBy(w, -h);
    Bevel1->resize(Bevel1->width(), Bevel1->height() - h);
    const int shrink = h + kPanel4Height;
    for (QWidget* w : {static_cast<QWidget*>(FirmLabel), static_cast<QWidget*>(OKButton),
                       static_cast<QWidget*>(StatusBar1)})
        MoveBy(w, -shrink);
    setFixedSize(width(), height() - shrink);
}

void TDoskComForm::TogglePanel4()
{
    const int dy = panel4Shown_ ? -kPanel4Height : kPanel4Height;
    panel4Shown_ = !panel4Shown_;
    Panel4->setVisible(panel4Shown_);
    for (QWidget* w : {static_cast<QWidget*>(FirmLabel), static_cast<QWidget*>(OKButton),
                       static_cast<QWidget*>(StatusBar1)})
        MoveBy(w, dy);
    setFixedSize(width(), height() + dy);
}

void TDoskComForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TDoskComForm::FormShow()
{
    protocol_.Reset();
    OKButton->setEnabled(true);
    for (QPushButton* b : {DataButton, UploadButton, ResetButton, EraseButton, CancelButton})
        b->setEnabled(false);
    ConnectButton->setEnabled(!protocol_.PortOpen());
    Label1->setText(QStringLiteral(" "));
    InitLabel->clear();
    DataLabel1->clear();
    ProgressBar1->setValue(0);
    updating_ = true;
    FTEdit->setText(QString::number(settings_.FlightTemperature));
    updating_ = false;
    StatusBar1->showMessage(QStringLiteral("Kavo5 not connected."));
    SetConfigControlsEnabled(false);
}

void TDoskComForm::closeEvent(QCloseEvent* e)
{
    // The window's close box: Close, with its question.
    if (protocol_.CommandInProgress() && !ConfirmBreak()) {
        e->ignore();
        return;
    }
    e->accept();
    CloseDialog();
}

bool TDoskComForm::ConfirmBreak()
{
    return Messages().Question(QStringLiteral("Are you sure to break current operation?"), Buttons::YesNo)
        == Answer::Yes;
}

void TDoskComForm::FormClose()
{
    protocol_.SetAbort();
    QCoreApplication::processEvents();
    setWindowTitle(DisconnectedCaption());
    blocks_.clear();
    blocks_.shrink_to_fit();
    protocol_.Shutdown();
}

void TDoskComForm::reject()
{
    // Esc and the window's close box act as Close.
    OKButtonClick();
}

void TDoskComForm::CloseDialog()
{
    FormClose();
    if (isVisible())
        QDialog::done(QDialog::Accepted);
}

void TDoskComForm::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        OKButtonClick();
        return;
    }
    if (e->key() == Qt::Key_J && (e->modifiers() & Qt::ControlModifier) && (e->modifiers() & Qt::AltModifier)) {
        TogglePanel4();
        return;
    }
    QDialog::keyPressEvent(e);
}

bool TDoskComForm::eventFilter(QObject* watched, QEvent* e)
{
    auto* ed = qobject_cast<QLineEdit*>(watched);
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Escape
            || (k->key() == Qt::Key_J && (k->modifiers() & Qt::ControlModifier) && (k->modifiers() & Qt::AltModifier))) {
            keyPressEvent(k);
            return true;
        }
        if (ed && isAncestorOf(ed))
            return EditKeyPress(ed, k);
    } else if (e->type() == QEvent::FocusOut && ed && isAncestorOf(ed)) {
        EditExit(ed);
    }
    return QDialog::eventFilter(watched, e);
}

bool TDoskComForm::EditKeyPress(QLineEdit* ed, QKeyEvent* k)
{
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
        QWidget* next = nullptr;
        if (ed == FTEdit)
            next = MinEdit;
        else if (ed == MinEdit)
            next = SecEdit;
        else if (ed == SecEdit)
            next = mSecEdit;
        else if (ed == mSecEdit)
            next = RSRadioButton[0];
        if (next)
            next->setFocus(Qt::TabFocusReason);
        return true;
    }
    // Editing and moving keys pass; typed characters are filtered.
    const QString text = k->text();
    if (text.isEmpty() || (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    const QChar c = text.at(0);
    if (c.unicode() < 32 || c.unicode() == 127)
        return false;
    bool passes = KeyPasses(c, ed == UniEdit);
    // Flight temperatures may be below zero.
    if (ed == FTEdit && c == QLatin1Char('-'))
        passes = true;
    return !passes;
}

void TDoskComForm::SetText(QLineEdit* edit, const QString& text)
{
    const bool was = updating_;
    updating_ = true;
    edit->setText(text);
    updating_ = was;
}

void TDoskComForm::EditExit(QLineEdit* ed)
{
    if (ed == FTEdit) {
        QString text = FTEdit->text();
        int temperature = settings_.FlightTemperature;
        const bool ok = CheckFlightTemperature(text, temperature);
        SetText(FTEdit, text);
        settings_.FlightTemperature = temperature;
        if (!ok)
            Messages().Error(FlightTemperatureText());
        return;
    }
    for (int i = 0; i < 3; ++i) {
        if (ed != HiddenEdit[i])
            continue;
        QString text = ed->text();
        const bool ok = CheckNumberOnExit(text);
        if (text != ed->text())
            ed->setText(text);
        if (!ok) {
            Messages().Information(NumberRangeText());
            ed->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
    if (ed->text().trimmed().isEmpty())
        ed->setText(QStringLiteral("0"));
}

// --- Buttons -----------------------------------------------------------------

void TDoskComForm::ConnectButtonClick()
{
    if (protocol_.PortOpen())
        return;
    protocol_.Connect(PortName());
}

void TDoskComForm::CancelButtonClick()
{
    // The protocol gives the dialog its disconnected look (labels, caption,
    // lamp, buttons) through the observer.
    protocol_.Disconnect();
}

void TDoskComForm::OKButtonClick()
{
    if (protocol_.CommandInProgress() && !ConfirmBreak())
        return;
    protocol_.SetAbort();
    QCoreApplication::processEvents();
    CloseDialog();
}

void TDoskComForm::ResetButtonClick() { protocol_.DownloadConfig(); }

void TDoskComForm::UploadButtonClick() { protocol_.UploadConfig(); }

void TDoskComForm::DataButtonClick()
{
    if (!protocol_.PortOpen()) {
        Messages().Error(QStringLiteral("Not connected."));
        return;
    }
    protocol_.ReadData();
}

void TDoskComForm::EraseButtonClick() { protocol_.EraseMemory(); }

// --- Configuration controls ---------------------------------------------------

void TDoskComForm::CheckBoxClick(int channel, bool checked)
{
    if (updating_)
        return;
    protocol_.Config().SetChannelRecorded(channel, checked);
    ShowRecordingTime();
}

void TDoskComForm::PeriodEditChange(QLineEdit* edit)
{
    if (updating_ || edit->text().trimmed().isEmpty())
        return;
    int v = 0;
    if (!ParseInt(edit->text(), v)) {
        Messages().Error(NotAnIntegerText(edit->text()));
        return;
    }
    RecomputeRecordingTime();
}

void TDoskComForm::RecomputeRecordingTime()
{
    TDeviceConfig& c = protocol_.Config();
    const TPeriodFromEdits p = PeriodFromEdits(MinEdit->text(), SecEdit->text(), mSecEdit->text());
    if (!p.Ok) {
        Messages().Error(p.Error);
        return;
    }
    if (p.Clamped) {
        Messages().Error(MaxSampleRateText());
        SetText(MinEdit, QStringLiteral("10"));
        SetText(SecEdit, QStringLiteral("0"));
        SetText(mSecEdit, QStringLiteral("0"));
    }
    c.SetPeriod(static_cast<quint16>(p.Period));
    ShowRecordingTime();
}

// From the stored period: showing a record must not change its bytes.
void TDoskComForm::ShowRecordingTime()
{
    const TDeviceConfig& c = protocol_.Config();
    recSeconds_ = RecordingSeconds(c.RecordedChannelCount(), static_cast<long long>(c.Period()) * 10,
                                   protocol_.MemorySize(), protocol_.UsedMemory());
    RecTimeLabel->setText(RecordingTimeText(recSeconds_));
}

void TDoskComForm::StartRadioClick(int index, bool checked)
{
    if (updating_ || !checked)
        return;
    TDeviceConfig& c = protocol_.Config();
    c.SetStartMode(static_cast<quint8>(kStartModes[index]));
    if (index == 1)
        ApplyLimitedEdit(c, TDeviceConfig::StartDelayWord, RSEdit->text(), kMaxStartValue);
    else if (index == 3)
        ApplyLimitedEdit(c, TDeviceConfig::StartAltitudeWord, RSAltEdit->text(), kMaxStartValue);
}

void TDoskComForm::FinishRadioClick(int index, bool checked)
{
    if (updating_ || !checked)
        return;
    TDeviceConfig& c = protocol_.Config();
    c.SetFinishMode(static_cast<quint8>(kFinishModes[index]));
    if (index == 1)
        ApplyLimitedEdit(c, TDeviceConfig::FinishTimeWord, RFEdit->text(), kMaxFinishTime);
}

void TDoskComForm::LimitedEditChange(QLineEdit* edit, int offset, int limit)
{
    if (updating_)
        return;
    const QString shown = ApplyLimitedEdit(protocol_.Config(), offset, edit->text(), limit);
    if (shown != edit->text())
        SetText(edit, shown);
}

void TDoskComForm::UniEditChange()
{
    if (updating_)
        return;
    QString shown, error;
    if (!ApplyVoltsEdit(protocol_.Config(), UniEdit->text(), shown, error)) {
        Messages().Error(error);
        return;
    }
    if (shown != UniEdit->text())
        SetText(UniEdit, shown);
}

// --- What the protocol shows ---------------------------------------------------

void TDoskComForm::SetStatusText(const QString& t) { StatusBar1->showMessage(t); }
void TDoskComForm::SetTopLabel(const QString& t) { Label1->setText(t); }
void TDoskComForm::SetInitLabel(const QString& t) { InitLabel->setText(t); }
void TDoskComForm::SetDataLabel(const QString& t) { DataLabel1->setText(t); }
void TDoskComForm::SetFirmwareLabel(const QString& t) { FirmLabel->setText(t); }
void TDoskComForm::SetCaption(const QString& t) { setWindowTitle(t); }

void TDoskComForm::SetLamp(DeviceLamp lamp)
{
    Shape1->SetBrushColor(lamp == DeviceLamp::Green ? kGreen : lamp == DeviceLamp::Yellow ? kYellow : kRed);
}

void TDoskComForm::SetProgressMax(int v) { ProgressBar1->setMaximum(v); }
void TDoskComForm::SetProgress(int v) { ProgressBar1->setValue(qMin(v, ProgressBar1->maximum())); }

void TDoskComForm::SetBusyCursor(bool on)
{
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busy_;
    } else {
        while (busy_ > 0) {
            QApplication::restoreOverrideCursor();
            --busy_;
        }
    }
}

QPushButton* TDoskComForm::Button(DeviceButton b) const
{
    switch (b) {
    case DeviceButton::Connect: return ConnectButton;
    case DeviceButton::Disconnect: return CancelButton;
    case DeviceButton::Close: return OKButton;
    case DeviceButton::ReadData: return DataButton;
    case DeviceButton::UploadCfg: return UploadButton;
    case DeviceButton::DownloadCfg: return ResetButton;
    case DeviceButton::EraseMemory: return EraseButton;
    }
    return nullptr;
}

void TDoskComForm::SetButtonEnabled(DeviceButton b, bool on)
{
    // The commands follow the link: once it is down (a failed transfer
    // disconnects) they stay off until the next Connect.
    const bool needsLink = b == DeviceButton::ReadData || b == DeviceButton::UploadCfg ||
                           b == DeviceButton::DownloadCfg || b == DeviceButton::EraseMemory;
    if (on && needsLink && (!protocol_.PortOpen() || protocol_.AbortRequested()))
        on = false;
    if (QPushButton* p = Button(b))
        p->setEnabled(on);
}

void TDoskComForm::SetConfigControlsEnabled(bool on)
{
    for (QWidget* w : std::initializer_list<QWidget*>{CheckBox1, CheckBox2, CheckBox5, MinEdit, SecEdit, mSecEdit,
                                                      RSEdit, RSAltEdit, RFEdit, UniEdit, HiddenEdit[0],
                                                      HiddenEdit[1], HiddenEdit[2]})
        w->setEnabled(on);
    for (QRadioButton* r : RSRadioButton)
        r->setEnabled(on);
    for (QRadioButton* r : RFRadioButton)
        r->setEnabled(on);
}

void TDoskComForm::ShowConfig(const TDeviceConfig& c)
{
    const TConfigView v = ConfigToView(c);
    updating_ = true;
    MinEdit->setText(v.Period.Minutes);
    SecEdit->setText(v.Period.Seconds);
    mSecEdit->setText(v.Period.Tenths);
    CheckBox1->setChecked(v.Channel1);
    CheckBox2->setChecked(v.Channel2);
    CheckBox5->setChecked(v.Channel5);
    RSEdit->setText(v.StartDelay);
    RSAltEdit->setText(v.StartAlt);
    RFEdit->setText(v.FinishTime);
    // Radio buttons of a group: none is checked for an unknown mode.
    for (int i = 0; i < 4; ++i) {
        RSRadioButton[i]->setAutoExclusive(false);
        RSRadioButton[i]->setChecked(i == v.StartRadio);
        RSRadioButton[i]->setAutoExclusive(true);
    }
    for (int i = 0; i < 3; ++i) {
        RFRadioButton[i]->setAutoExclusive(false);
        RFRadioButton[i]->setChecked(i == v.FinishRadio);
        RFRadioButton[i]->setAutoExclusive(true);
    }
    UniEdit->setText(v.Volts);
    for (int i = 0; i < 3; ++i)
        HiddenEdit[i]->setText(v.Numbers[i]);
    updating_ = false;
    ShowRecordingTime();
}

void TDoskComForm::RecordingTimeChanged() { ShowRecordingTime(); }

TSaveOptions TDoskComForm::SaveOptions() const
{
    TSaveOptions options;
    options.Root = settings_.Root;
    options.DefFileName = settings_.DefFileName;
    options.ImageLimit = TRawImageLimit::FromText(settings_.RawImageLimit);
    return options;
}

void TDoskComForm::BindSaver(TFlightSaver& saver)
{
    connect(&saver, &TFlightSaver::FileWritten, this, [this](int written, const QString&) {
        Label1->setText(FilesWrittenText(written));
        QCoreApplication::processEvents();
    });
    connect(&saver, &TFlightSaver::StatusText, this, [this](const QString& t) { StatusBar1->showMessage(t); });
}

QString TDoskComForm::DownloadFinished(const TDownloadEnd& end)
{
    TFlightSaver saver(Messages());
    BindSaver(saver);
    const TDownloadResult r = saver.FinishDownload(end, SaveOptions());
    blocks_ = saver.Blocks();
    OKButton->setEnabled(true);
    // An image without a flight is no fault of the link: say so and stay
    // connected (the memory may still be erased).
    if (r.Save.Status == TSaveResult::NoFlight) {
        Messages().Error(r.Save.Error);
        return {};
    }
    return r.Save.Error;
}

void TDoskComForm::SplitMemoryImage()
{
    const QString path = Messages().OpenFileName(QStringLiteral("Split memory image"), TRawImageStore().Folder(),
                                                  QStringLiteral("Memory images (*.bin);;All files (*)"));
    if (path.isEmpty())
        return;
    SetBusyCursor(true);
    TFlightSaver saver(Messages());
    BindSaver(saver);
    const TDownloadResult r = saver.SplitImageFile(path, SaveOptions());
    SetBusyCursor(false);
    if (!r.Save.Error.isEmpty())
        Messages().Error(r.Save.Error);
}

} // namespace qv
