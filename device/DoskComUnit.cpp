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

constexpr int kFormWidth = 430;
constexpr int kPanel4Height = 40;

QString disconnectedCaption() { return QStringLiteral("Data Reading / Kavo5 - Disconnected"); }

template <class W>
W* make(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* l = make<QLabel>(parent, name, geometry);
    l->setText(text);
    return l;
}

QPushButton* pushButton(QWidget* parent, const char* name, const QString& text, const QString& hint,
                        const QRect& geometry)
{
    auto* b = make<QPushButton>(parent, name, geometry);
    b->setText(text);
    b->setToolTip(hint);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QLineEdit* edit(QWidget* parent, const char* name, const QRect& geometry, const QString& text = QStringLiteral("0"))
{
    auto* e = make<QLineEdit>(parent, name, geometry);
    e->setText(text);
    return e;
}

QWidget* panel(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* p = make<QFrame>(parent, name, geometry);
    p->setFrameShape(QFrame::NoFrame);
    return p;
}

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

void TDoskComForm::buildControls()
{
    const int w = kFormWidth;
    Label1 = label(this, "Label1", QStringLiteral(" "), {10, 6, w - 20, 20});
    Shape1 = make<TShape>(this, "Shape1", {12, 36, 22, 22});
    ConnectButton = pushButton(this, "ConnectButton", QStringLiteral("Connect"),
                               QStringLiteral("Push Connect button and then power-up Dosk4 device."), {44, 34, 100, 26});
    CancelButton = pushButton(this, "CancelButton", QStringLiteral("Disconnect"), QString(), {150, 34, 100, 26});
    InitLabel = label(this, "InitLabel", QString(), {258, 38, w - 268, 20});
    DataButton = pushButton(this, "DataButton", QStringLiteral("Read Data"),
                            QStringLiteral("Downloads Data from KAVO device"), {44, 66, 100, 26});
    EraseButton = pushButton(this, "EraseButton", QStringLiteral("Erase Memory"),
                             QStringLiteral("Erases KAVO memory"), {150, 66, 100, 26});
    DataLabel1 = label(this, "DataLabel1", QString(), {10, 98, w - 20, 18});
    ProgressBar1 = make<QProgressBar>(this, "ProgressBar1", {10, 118, w - 20, 16});
    ProgressBar1->setRange(0, kMemorySizeOther);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    Bevel1 = make<QFrame>(this, "Bevel1", {6, 142, w - 12, 314});
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->lower();

    // Flight temperature (kept hidden).
    Panel1 = panel(this, "Panel1", {10, 148, w - 20, 30});
    label(Panel1, "FTLabel", QStringLiteral("Flight Temperature [°C]:"), {4, 6, 160, 18});
    FTEdit = edit(Panel1, "FTEdit", {170, 4, 50, 22}, QStringLiteral("15"));
    Panel1->hide();

    Panel5 = panel(this, "Panel5", {10, 148, w - 20, 30});
    label(Panel5, "DataLogLabel", QStringLiteral("DataLog:"), {4, 6, 60, 18});
    CheckBox1 = make<QCheckBox>(Panel5, "CheckBox1", {70, 4, 80, 22});
    CheckBox1->setText(QStringLiteral("Altitude"));
    CheckBox2 = make<QCheckBox>(Panel5, "CheckBox2", {150, 4, 140, 22});
    CheckBox2->setText(QStringLiteral("RX Channel length"));
    CheckBox5 = make<QCheckBox>(Panel5, "CheckBox5", {290, 4, 110, 22});
    CheckBox5->setText(QStringLiteral("Power Supply"));

    Panel6 = panel(this, "Panel6", {10, 178, w - 20, 56});
    label(Panel6, "SampleLabel", QStringLiteral("Sample rate:"), {4, 6, 80, 18});
    MinEdit = edit(Panel6, "MinEdit", {90, 4, 36, 22});
    label(Panel6, "MinLabel", QStringLiteral("min"), {128, 6, 26, 18});
    SecEdit = edit(Panel6, "SecEdit", {156, 4, 36, 22});
    label(Panel6, "SecLabel", QStringLiteral("s"), {194, 6, 12, 18});
    mSecEdit = edit(Panel6, "mSecEdit", {208, 4, 36, 22});
    label(Panel6, "mSecLabel", QStringLiteral("x 0.1 s"), {246, 6, 60, 18});
    label(Panel6, "RecTimeCaption", QStringLiteral("Recording Time available:"), {4, 32, 170, 18});
    RecTimeLabel = label(Panel6, "RecTimeLabel", QString(), {178, 32, 200, 18});

    Panel2 = panel(this, "Panel2", {10, 234, w - 20, 84});
    label(Panel2, "RSLabel", QStringLiteral("Recording Start"), {4, 2, 200, 18});
    const char* rsNames[4] = {"RSRadioButton1", "RSRadioButton2", "RSRadioButton3", "RSRadioButton4"};
    const QString rsTexts[4] = {QStringLiteral("Immediately"), QStringLiteral("sec after Power ON"),
                                QStringLiteral("By RX Channel"), QStringLiteral("Above Altitude [m]:")};
    const int rsY[4] = {20, 40, 60, 60};
    const int rsX[4] = {10, 80, 10, 200};
    for (int i = 0; i < 4; ++i) {
        RSRadioButton[i] = make<QRadioButton>(Panel2, rsNames[i], {rsX[i], rsY[i], i == 1 ? 160 : 140, 20});
        RSRadioButton[i]->setText(rsTexts[i]);
    }
    RSRadioButton[0]->setGeometry(10, 20, 140, 20);
    RSEdit = edit(Panel2, "RSEdit", {10, 40, 60, 20});
    RSAltEdit = edit(Panel2, "RSAltEdit", {340, 60, 60, 20});

    Panel3 = panel(this, "Panel3", {10, 318, w - 20, 70});
    label(Panel3, "RFLabel", QStringLiteral("Recording Finish"), {4, 2, 200, 18});
    const char* rfNames[3] = {"RFRadioButton1", "RFRadioButton2", "RFRadioButton3"};
    const QString rfTexts[3] = {QStringLiteral("On Power OFF"), QStringLiteral("min after Power ON"),
                                QStringLiteral("By RX Channel")};
    RFRadioButton[0] = make<QRadioButton>(Panel3, rfNames[0], {10, 20, 140, 20});
    RFRadioButton[1] = make<QRadioButton>(Panel3, rfNames[1], {80, 42, 160, 20});
    RFRadioButton[2] = make<QRadioButton>(Panel3, rfNames[2], {200, 20, 140, 20});
    for (int i = 0; i < 3; ++i)
        RFRadioButton[i]->setText(rfTexts[i]);
    RFEdit = edit(Panel3, "RFEdit", {10, 42, 60, 20});

    UniRow = panel(this, "UniRow", {10, 394, w - 20, 26});
    label(UniRow, "UniLabel", QStringLiteral("Voltspy Threshold:"), {4, 4, 130, 18});
    UniEdit = edit(UniRow, "UniEdit", {140, 2, 60, 22}, QStringLiteral("0.00"));
    label(UniRow, "UniUnitLabel", QStringLiteral("V"), {204, 4, 16, 18});
    UploadButton = pushButton(this, "UploadButton", QStringLiteral("Upload Cfg"),
                              QStringLiteral("Uploads configuration to KAVO device"), {44, 424, 100, 26});
    ResetButton = pushButton(this, "ResetButton", QStringLiteral("Download Cfg"),
                             QStringLiteral("Downloads configuration from KAVO device"), {150, 424, 100, 26});

    Panel4 = panel(this, "Panel4", {10, 460, w - 20, kPanel4Height});
    const char* numNames[3] = {"HiddenEdit1", "HiddenEdit2", "HiddenEdit3"};
    for (int i = 0; i < 3; ++i) {
        label(Panel4, QStringLiteral("NumberLabel%1").arg(i + 1).toLatin1().constData(),
              QStringLiteral("Number %1:").arg(i + 1), {4 + 136 * i, 10, 64, 18});
        HiddenEdit[i] = edit(Panel4, numNames[i], {68 + 136 * i, 8, 60, 22});
    }

    FirmLabel = label(this, "FirmLabel", QStringLiteral("Firmware:"), {10, 504, w - 130, 18});
    OKButton = pushButton(this, "OKButton", QStringLiteral("Close"), QString(), {w - 110, 500, 100, 26});
    StatusBar1 = make<QStatusBar>(this, "StatusBar1", {0, 540, w, 22});
    StatusBar1->setSizeGripEnabled(false);
    resize(w, 562);

    // Handlers.
    connect(ConnectButton, &QPushButton::clicked, this, [this] { ConnectButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(ResetButton, &QPushButton::clicked, this, [this] { ResetButtonClick(); });
    connect(UploadButton, &QPushButton::clicked, this, [this] { UploadButtonClick(); });
    connect(DataButton, &QPushButton::clicked, this, [this] { DataButtonClick(); });
    connect(EraseButton, &QPushButton::clicked, this, [this] { EraseButtonClick(); });
    connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) { checkBoxClick(1, on); });
    connect(CheckBox2, &QCheckBox::toggled, this, [this](bool on) { checkBoxClick(2, on); });
    connect(CheckBox5, &QCheckBox::toggled, this, [this](bool on) { checkBoxClick(5, on); });
    for (QLineEdit* e : {MinEdit, SecEdit, mSecEdit})
        connect(e, &QLineEdit::textChanged, this, [this, e] { periodEditChange(e); });
    for (int i = 0; i < 4; ++i)
        connect(RSRadioButton[i], &QRadioButton::toggled, this, [this, i](bool on) { startRadioClick(i, on); });
    for (int i = 0; i < 3; ++i)
        connect(RFRadioButton[i], &QRadioButton::toggled, this, [this, i](bool on) { finishRadioClick(i, on); });
    connect(RSEdit, &QLineEdit::textChanged, this,
            [this] { limitedEditChange(RSEdit, TDeviceConfig::StartDelay, kMaxStartValue); });
    connect(RSAltEdit, &QLineEdit::textChanged, this,
            [this] { limitedEditChange(RSAltEdit, TDeviceConfig::StartAltitude, kMaxStartValue); });
    connect(RFEdit, &QLineEdit::textChanged, this,
            [this] { limitedEditChange(RFEdit, TDeviceConfig::FinishTime, kMaxFinishTime); });
    connect(UniEdit, &QLineEdit::textChanged, this, [this] { uniEditChange(); });
    for (int i = 0; i < 3; ++i)
        connect(HiddenEdit[i], &QLineEdit::textChanged, this, [this, i](const QString& t) {
            if (!updating_)
                ApplyNumberEdit(protocol_.config(), i, t);
        });

    // Key preview and the Exit handlers.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void TDoskComForm::moveBy(QWidget* w, int dy)
{
    w->move(w->x(), w->y() + dy);
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
    return Messages().question(QStringLiteral("Are you sure to break current operation?"), Buttons::YesNo)
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
            Messages().error(FlightTemperatureText());
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
            Messages().information(NumberRangeText());
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
        Messages().error(QStringLiteral("Not connected."));
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
        Messages().error(NotAnIntegerText(edit->text()));
        return;
    }
    recomputeRecordingTime();
}

void TDoskComForm::recomputeRecordingTime()
{
    TDeviceConfig& c = protocol_.config();
    const TPeriodFromEdits p = PeriodFromEdits(MinEdit->text(), SecEdit->text(), mSecEdit->text());
    if (!p.Ok) {
        Messages().error(p.Error);
        return;
    }
    if (p.Clamped) {
        Messages().error(MaxSampleRateText());
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
        Messages().error(error);
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
    const QString path = Messages().openFileName(QStringLiteral("Split memory image"), TRawImageStore().Folder(),
                                                  QStringLiteral("Memory images (*.bin);;All files (*)"));
    if (path.isEmpty())
        return;
    setBusyCursor(true);
    TFlightSaver saver(Messages());
    bindSaver(saver);
    const TDownloadResult r = saver.SplitImageFile(path, saveOptions());
    setBusyCursor(false);
    if (!r.Save.Error.isEmpty())
        Messages().error(r.Save.Error);
}

} // namespace qv
