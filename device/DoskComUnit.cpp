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


QString disconnectedCaption() { return QStringLiteral("Data Reading / Kavo5 - Disconnected"); }

} // namespace

// ---------------------------------------------------------------------------

TShape::TShape(QWidget* parent) : QWidget(parent), colour_(kRed) {}

void TShape::setBrushColor(const QColor& c)
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
    protocol_.setPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
    buildControls();
    FormCreate();
}

TDoskComForm::~TDoskComForm()
{
    protocol_.setAbort();
    protocol_.setObserver(nullptr);
    protocol_.closePort();
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
        moveBy(w, -h);
    Bevel1->resize(Bevel1->width(), Bevel1->height() - h);
    const int shrink = h + kPanel4Height;
    for (QWidget* w : {static_cast<QWidget*>(FirmLabel), static_cast<QWidget*>(OKButton),
                       static_cast<QWidget*>(StatusBar1)})
        moveBy(w, -shrink);
    setFixedSize(width(), height() - shrink);
}

void TDoskComForm::togglePanel4()
{
    const int dy = panel4Shown_ ? -kPanel4Height : kPanel4Height;
    panel4Shown_ = !panel4Shown_;
    Panel4->setVisible(panel4Shown_);
    for (QWidget* w : {static_cast<QWidget*>(FirmLabel), static_cast<QWidget*>(OKButton),
                       static_cast<QWidget*>(StatusBar1)})
        moveBy(w, dy);
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
    protocol_.reset();
    OKButton->setEnabled(true);
    for (QPushButton* b : {DataButton, UploadButton, ResetButton, EraseButton, CancelButton})
        b->setEnabled(false);
    ConnectButton->setEnabled(!protocol_.portOpen());
    Label1->setText(QStringLiteral(" "));
    InitLabel->clear();
    DataLabel1->clear();
    ProgressBar1->setValue(0);
    updating_ = true;
    FTEdit->setText(QString::number(settings_.FlightTemperature));
    updating_ = false;
    StatusBar1->showMessage(QStringLiteral("Kavo5 not connected."));
    setConfigControlsEnabled(false);
}

void TDoskComForm::closeEvent(QCloseEvent* e)
{
    // The window's close box: Close, with its question.
    if (protocol_.commandInProgress() && !confirmBreak()) {
        e->ignore();
        return;
    }
    e->accept();
    closeDialog();
}

bool TDoskComForm::confirmBreak()
{
    return Messages().Question(QStringLiteral("Are you sure to break current operation?"), Buttons::YesNo)
        == Answer::Yes;
}

void TDoskComForm::FormClose()
{
    protocol_.setAbort();
    QCoreApplication::processEvents();
    setWindowTitle(disconnectedCaption());
    blocks_.clear();
    blocks_.shrink_to_fit();
    protocol_.shutdown();
}

void TDoskComForm::reject()
{
    // Esc and the window's close box act as Close.
    OKButtonClick();
}

void TDoskComForm::closeDialog()
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
        togglePanel4();
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
            return editKeyPress(ed, k);
    } else if (e->type() == QEvent::FocusOut && ed && isAncestorOf(ed)) {
        editExit(ed);
    }
    return QDialog::eventFilter(watched, e);
}

bool TDoskComForm::editKeyPress(QLineEdit* ed, QKeyEvent* k)
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

void TDoskComForm::setText(QLineEdit* edit, const QString& text)
{
    const bool was = updating_;
    updating_ = true;
    edit->setText(text);
    updating_ = was;
}

void TDoskComForm::editExit(QLineEdit* ed)
{
    if (ed == FTEdit) {
        QString text = FTEdit->text();
        int temperature = settings_.FlightTemperature;
        const bool ok = CheckFlightTemperature(text, temperature);
        setText(FTEdit, text);
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
    if (protocol_.portOpen())
        return;
    protocol_.connect(PortName());
}

void TDoskComForm::CancelButtonClick()
{
    protocol_.disconnect();
    Label1->setText(QStringLiteral("Disconnected."));
    StatusBar1->showMessage(QStringLiteral("Disconnected."));
    setWindowTitle(disconnectedCaption());
    Shape1->setBrushColor(kRed);
    OKButton->setEnabled(true);
    ConnectButton->setEnabled(true);
    for (QPushButton* b : {CancelButton, DataButton, UploadButton, ResetButton, EraseButton})
        b->setEnabled(false);
    setConfigControlsEnabled(false);
}

void TDoskComForm::OKButtonClick()
{
    if (protocol_.commandInProgress() && !confirmBreak())
        return;
    protocol_.setAbort();
    QCoreApplication::processEvents();
    closeDialog();
}

void TDoskComForm::ResetButtonClick() { protocol_.downloadConfig(); }

void TDoskComForm::UploadButtonClick() { protocol_.uploadConfig(); }

void TDoskComForm::DataButtonClick()
{
    if (!protocol_.portOpen()) {
        Messages().Error(QStringLiteral("Not connected."));
        return;
    }
    protocol_.readData();
}

void TDoskComForm::EraseButtonClick() { protocol_.eraseMemory(); }

// --- Configuration controls ---------------------------------------------------

void TDoskComForm::checkBoxClick(int channel, bool checked)
{
    if (updating_)
        return;
    protocol_.config().setChannelRecorded(channel, checked);
    showRecordingTime();
}

void TDoskComForm::periodEditChange(QLineEdit* edit)
{
    if (updating_ || edit->text().trimmed().isEmpty())
        return;
    int v = 0;
    if (!ParseInt(edit->text(), v)) {
        Messages().Error(NotAnIntegerText(edit->text()));
        return;
    }
    recomputeRecordingTime();
}

void TDoskComForm::recomputeRecordingTime()
{
    TDeviceConfig& c = protocol_.config();
    const TPeriodFromEdits p = PeriodFromEdits(MinEdit->text(), SecEdit->text(), mSecEdit->text());
    if (!p.Ok) {
        Messages().Error(p.Error);
        return;
    }
    if (p.Clamped) {
        Messages().Error(MaxSampleRateText());
        setText(MinEdit, QStringLiteral("10"));
        setText(SecEdit, QStringLiteral("0"));
        setText(mSecEdit, QStringLiteral("0"));
    }
    c.setPeriod(static_cast<quint16>(p.Period));
    showRecordingTime();
}

// From the stored period: showing a record must not change its bytes.
void TDoskComForm::showRecordingTime()
{
    const TDeviceConfig& c = protocol_.config();
    recSeconds_ = RecordingSeconds(c.recordedChannelCount(), static_cast<long long>(c.period()) * 10,
                                   protocol_.memorySize(), protocol_.usedMemory());
    RecTimeLabel->setText(RecordingTimeText(recSeconds_));
}

void TDoskComForm::startRadioClick(int index, bool checked)
{
    if (updating_ || !checked)
        return;
    TDeviceConfig& c = protocol_.config();
    c.setStartMode(static_cast<quint8>(kStartModes[index]));
    if (index == 1)
        ApplyLimitedEdit(c, TDeviceConfig::StartDelay, RSEdit->text(), kMaxStartValue);
    else if (index == 3)
        ApplyLimitedEdit(c, TDeviceConfig::StartAltitude, RSAltEdit->text(), kMaxStartValue);
}

void TDoskComForm::finishRadioClick(int index, bool checked)
{
    if (updating_ || !checked)
        return;
    TDeviceConfig& c = protocol_.config();
    c.setFinishMode(static_cast<quint8>(kFinishModes[index]));
    if (index == 1)
        ApplyLimitedEdit(c, TDeviceConfig::FinishTime, RFEdit->text(), kMaxFinishTime);
}

void TDoskComForm::limitedEditChange(QLineEdit* edit, int offset, int limit)
{
    if (updating_)
        return;
    const QString shown = ApplyLimitedEdit(protocol_.config(), offset, edit->text(), limit);
    if (shown != edit->text())
        setText(edit, shown);
}

void TDoskComForm::uniEditChange()
{
    if (updating_)
        return;
    QString shown, error;
    if (!ApplyVoltsEdit(protocol_.config(), UniEdit->text(), shown, error)) {
        Messages().Error(error);
        return;
    }
    if (shown != UniEdit->text())
        setText(UniEdit, shown);
}

// --- What the protocol shows ---------------------------------------------------

void TDoskComForm::setStatusText(const QString& t) { StatusBar1->showMessage(t); }
void TDoskComForm::setTopLabel(const QString& t) { Label1->setText(t); }
void TDoskComForm::setInitLabel(const QString& t) { InitLabel->setText(t); }
void TDoskComForm::setDataLabel(const QString& t) { DataLabel1->setText(t); }
void TDoskComForm::setFirmwareLabel(const QString& t) { FirmLabel->setText(t); }
void TDoskComForm::setCaption(const QString& t) { setWindowTitle(t); }

void TDoskComForm::setLamp(DeviceLamp lamp)
{
    Shape1->setBrushColor(lamp == DeviceLamp::Green ? kGreen : lamp == DeviceLamp::Yellow ? kYellow : kRed);
}

void TDoskComForm::setProgressMax(int v) { ProgressBar1->setMaximum(v); }
void TDoskComForm::setProgress(int v) { ProgressBar1->setValue(qMin(v, ProgressBar1->maximum())); }

void TDoskComForm::setBusyCursor(bool on)
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

QPushButton* TDoskComForm::button(DeviceButton b) const
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

void TDoskComForm::setButtonEnabled(DeviceButton b, bool on)
{
    // The commands follow the link: once it is down (a failed transfer
    // disconnects) they stay off until the next Connect.
    const bool needsLink = b == DeviceButton::ReadData || b == DeviceButton::UploadCfg ||
                           b == DeviceButton::DownloadCfg || b == DeviceButton::EraseMemory;
    if (on && needsLink && (!protocol_.portOpen() || protocol_.abortRequested()))
        on = false;
    if (QPushButton* p = button(b))
        p->setEnabled(on);
}

void TDoskComForm::setConfigControlsEnabled(bool on)
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

void TDoskComForm::showConfig(const TDeviceConfig& c)
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
    showRecordingTime();
}

void TDoskComForm::recordingTimeChanged() { showRecordingTime(); }

TSaveOptions TDoskComForm::saveOptions() const
{
    TSaveOptions options;
    options.Root = settings_.Root;
    options.DefFileName = settings_.DefFileName;
    options.ImageLimit = TRawImageLimit::FromText(settings_.RawImageLimit);
    return options;
}

void TDoskComForm::bindSaver(TFlightSaver& saver)
{
    connect(&saver, &TFlightSaver::FileWritten, this, [this](int written, const QString&) {
        Label1->setText(FilesWrittenText(written));
        QCoreApplication::processEvents();
    });
    connect(&saver, &TFlightSaver::StatusText, this, [this](const QString& t) { StatusBar1->showMessage(t); });
}

QString TDoskComForm::downloadFinished(const TDownloadEnd& end)
{
    TFlightSaver saver(Messages());
    bindSaver(saver);
    const TDownloadResult r = saver.FinishDownload(end, saveOptions());
    blocks_ = saver.Blocks();
    OKButton->setEnabled(true);
    return r.Save.Error;
}

void TDoskComForm::SplitMemoryImage()
{
    const QString path = Messages().OpenFileName(QStringLiteral("Split memory image"), TRawImageStore().Folder(),
                                                  QStringLiteral("Memory images (*.bin);;All files (*)"));
    if (path.isEmpty())
        return;
    setBusyCursor(true);
    TFlightSaver saver(Messages());
    bindSaver(saver);
    const TDownloadResult r = saver.SplitImageFile(path, saveOptions());
    setBusyCursor(false);
    if (!r.Save.Error.isEmpty())
        Messages().Error(r.Save.Error);
}

} // namespace qv
