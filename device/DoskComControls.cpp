// The controls of the device dialog "Data Reading".
#include "device/DoskComLogic.h"
#include "device/DoskComUnit.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

namespace qv {

namespace {

constexpr int kFormWidth = 430;

template <class W>
W* Make(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* l = Make<QLabel>(parent, name, geometry);
    l->setText(text);
    return l;
}

QPushButton* PushButton(QWidget* parent, const char* name, const QString& text, const QString& hint,
                        const QRect& geometry)
{
    auto* b = Make<QPushButton>(parent, name, geometry);
    b->setText(text);
    b->setToolTip(hint);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QLineEdit* edit(QWidget* parent, const char* name, const QRect& geometry, const QString& text = QStringLiteral("0"))
{
    auto* e = Make<QLineEdit>(parent, name, geometry);
    e->setText(text);
    return e;
}

QWidget* Panel(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* p = Make<QFrame>(parent, name, geometry);
    p->setFrameShape(QFrame::NoFrame);
    return p;
}


} // namespace

void TDoskComForm::BuildControls()
{
    const int w = kFormWidth;
    Label1 = Label(this, "Label1", QStringLiteral(" "), {10, 6, w - 20, 20});
    Shape1 = Make<TShape>(this, "Shape1", {12, 36, 22, 22});
    ConnectButton = PushButton(this, "ConnectButton", QStringLiteral("Connect"),
                               QStringLiteral("Push Connect button and then power-up Dosk4 device."), {44, 34, 100, 26});
    CancelButton = PushButton(this, "CancelButton", QStringLiteral("Disconnect"), QString(), {150, 34, 100, 26});
    InitLabel = Label(this, "InitLabel", QString(), {258, 38, w - 268, 20});
    DataButton = PushButton(this, "DataButton", QStringLiteral("Read Data"),
                            QStringLiteral("Downloads Data from KAVO device"), {44, 66, 100, 26});
    EraseButton = PushButton(this, "EraseButton", QStringLiteral("Erase Memory"),
                             QStringLiteral("Erases KAVO memory"), {150, 66, 100, 26});
    DataLabel1 = Label(this, "DataLabel1", QString(), {10, 98, w - 20, 18});
    ProgressBar1 = Make<QProgressBar>(this, "ProgressBar1", {10, 118, w - 20, 16});
    ProgressBar1->setRange(0, kMemorySizeOther);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    Bevel1 = Make<QFrame>(this, "Bevel1", {6, 142, w - 12, 314});
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->lower();

    // Flight temperature (kept hidden).
    Panel1 = Panel(this, "Panel1", {10, 148, w - 20, 30});
    Label(Panel1, "FTLabel", QStringLiteral("Flight Temperature [°C]:"), {4, 6, 160, 18});
    FTEdit = edit(Panel1, "FTEdit", {170, 4, 50, 22}, QStringLiteral("15"));
    Panel1->hide();

    Panel5 = Panel(this, "Panel5", {10, 148, w - 20, 30});
    Label(Panel5, "DataLogLabel", QStringLiteral("DataLog:"), {4, 6, 60, 18});
    CheckBox1 = Make<QCheckBox>(Panel5, "CheckBox1", {70, 4, 80, 22});
    CheckBox1->setText(QStringLiteral("Altitude"));
    CheckBox2 = Make<QCheckBox>(Panel5, "CheckBox2", {150, 4, 140, 22});
    CheckBox2->setText(QStringLiteral("RX Channel length"));
    CheckBox5 = Make<QCheckBox>(Panel5, "CheckBox5", {290, 4, 110, 22});
    CheckBox5->setText(QStringLiteral("Power Supply"));

    Panel6 = Panel(this, "Panel6", {10, 178, w - 20, 56});
    Label(Panel6, "SampleLabel", QStringLiteral("Sample rate:"), {4, 6, 80, 18});
    MinEdit = edit(Panel6, "MinEdit", {90, 4, 36, 22});
    Label(Panel6, "MinLabel", QStringLiteral("min"), {128, 6, 26, 18});
    SecEdit = edit(Panel6, "SecEdit", {156, 4, 36, 22});
    Label(Panel6, "SecLabel", QStringLiteral("s"), {194, 6, 12, 18});
    mSecEdit = edit(Panel6, "mSecEdit", {208, 4, 36, 22});
    Label(Panel6, "mSecLabel", QStringLiteral("x 0.1 s"), {246, 6, 60, 18});
    Label(Panel6, "RecTimeCaption", QStringLiteral("Recording Time available:"), {4, 32, 170, 18});
    RecTimeLabel = Label(Panel6, "RecTimeLabel", QString(), {178, 32, 200, 18});

    Panel2 = Panel(this, "Panel2", {10, 234, w - 20, 84});
    Label(Panel2, "RSLabel", QStringLiteral("Recording Start"), {4, 2, 200, 18});
    const char* rsNames[4] = {"RSRadioButton1", "RSRadioButton2", "RSRadioButton3", "RSRadioButton4"};
    const QString rsTexts[4] = {QStringLiteral("Immediately"), QStringLiteral("sec after Power ON"),
                                QStringLiteral("By RX Channel"), QStringLiteral("Above Altitude [m]:")};
    const int rsY[4] = {20, 40, 60, 60};
    const int rsX[4] = {10, 80, 10, 200};
    for (int i = 0; i < 4; ++i) {
        RSRadioButton[i] = Make<QRadioButton>(Panel2, rsNames[i], {rsX[i], rsY[i], i == 1 ? 160 : 140, 20});
        RSRadioButton[i]->setText(rsTexts[i]);
    }
    RSRadioButton[0]->setGeometry(10, 20, 140, 20);
    RSEdit = edit(Panel2, "RSEdit", {10, 40, 60, 20});
    RSAltEdit = edit(Panel2, "RSAltEdit", {340, 60, 60, 20});

    Panel3 = Panel(this, "Panel3", {10, 318, w - 20, 70});
    Label(Panel3, "RFLabel", QStringLiteral("Recording Finish"), {4, 2, 200, 18});
    const char* rfNames[3] = {"RFRadioButton1", "RFRadioButton2", "RFRadioButton3"};
    const QString rfTexts[3] = {QStringLiteral("On Power OFF"), QStringLiteral("min after Power ON"),
                                QStringLiteral("By RX Channel")};
    RFRadioButton[0] = Make<QRadioButton>(Panel3, rfNames[0], {10, 20, 140, 20});
    RFRadioButton[1] = Make<QRadioButton>(Panel3, rfNames[1], {80, 42, 160, 20});
    RFRadioButton[2] = Make<QRadioButton>(Panel3, rfNames[2], {200, 20, 140, 20});
    for (int i = 0; i < 3; ++i)
        RFRadioButton[i]->setText(rfTexts[i]);
    RFEdit = edit(Panel3, "RFEdit", {10, 42, 60, 20});

    UniRow = Panel(this, "UniRow", {10, 394, w - 20, 26});
    Label(UniRow, "UniLabel", QStringLiteral("Voltspy Threshold:"), {4, 4, 130, 18});
    UniEdit = edit(UniRow, "UniEdit", {140, 2, 60, 22}, QStringLiteral("0.00"));
    Label(UniRow, "UniUnitLabel", QStringLiteral("V"), {204, 4, 16, 18});
    UploadButton = PushButton(this, "UploadButton", QStringLiteral("Upload Cfg"),
                              QStringLiteral("Uploads configuration to KAVO device"), {44, 424, 100, 26});
    ResetButton = PushButton(this, "ResetButton", QStringLiteral("Download Cfg"),
                             QStringLiteral("Downloads configuration from KAVO device"), {150, 424, 100, 26});

    Panel4 = Panel(this, "Panel4", {10, 460, w - 20, kPanel4Height});
    const char* numNames[3] = {"HiddenEdit1", "HiddenEdit2", "HiddenEdit3"};
    for (int i = 0; i < 3; ++i) {
        Label(Panel4, QStringLiteral("NumberLabel%1").arg(i + 1).toLatin1().constData(),
              QStringLiteral("Number %1:").arg(i + 1), {4 + 136 * i, 10, 64, 18});
        HiddenEdit[i] = edit(Panel4, numNames[i], {68 + 136 * i, 8, 60, 22});
    }

    FirmLabel = Label(this, "FirmLabel", QStringLiteral("Firmware:"), {10, 504, w - 130, 18});
    OKButton = PushButton(this, "OKButton", QStringLiteral("Close"), QString(), {w - 110, 500, 100, 26});
    StatusBar1 = Make<QStatusBar>(this, "StatusBar1", {0, 540, w, 22});
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
    connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) { CheckBoxClick(1, on); });
    connect(CheckBox2, &QCheckBox::toggled, this, [this](bool on) { CheckBoxClick(2, on); });
    connect(CheckBox5, &QCheckBox::toggled, this, [this](bool on) { CheckBoxClick(5, on); });
    for (QLineEdit* e : {MinEdit, SecEdit, mSecEdit})
        connect(e, &QLineEdit::textChanged, this, [this, e] { PeriodEditChange(e); });
    for (int i = 0; i < 4; ++i)
        connect(RSRadioButton[i], &QRadioButton::toggled, this, [this, i](bool on) { StartRadioClick(i, on); });
    for (int i = 0; i < 3; ++i)
        connect(RFRadioButton[i], &QRadioButton::toggled, this, [this, i](bool on) { FinishRadioClick(i, on); });
    connect(RSEdit, &QLineEdit::textChanged, this,
            [this] { LimitedEditChange(RSEdit, TDeviceConfig::StartDelayWord, kMaxStartValue); });
    connect(RSAltEdit, &QLineEdit::textChanged, this,
            [this] { LimitedEditChange(RSAltEdit, TDeviceConfig::StartAltitudeWord, kMaxStartValue); });
    connect(RFEdit, &QLineEdit::textChanged, this,
            [this] { LimitedEditChange(RFEdit, TDeviceConfig::FinishTimeWord, kMaxFinishTime); });
    connect(UniEdit, &QLineEdit::textChanged, this, [this] { UniEditChange(); });
    for (int i = 0; i < 3; ++i)
        connect(HiddenEdit[i], &QLineEdit::textChanged, this, [this, i](const QString& t) {
            if (!updating_)
                ApplyNumberEdit(protocol_.Config(), i, t);
        });

    // Key preview and the Exit handlers.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void TDoskComForm::MoveBy(QWidget* w, int dy)
{
    w->move(w->x(), w->y() + dy);
}

} // namespace qv
