// The device dialog driven through its controls, headless: layout of the
// first start, the configuration edits and their messages, and a whole
// download from the simulated logger into flight files.
#include "base/Numbers.h"
#include "DialogDrive.h"
#include "SimProcess.h"
#include "data/DataFile.h"
#include "device/DoskComLogic.h"
#include "device/DoskComUnit.h"
#include "device/PortAdvice.h"
#include "device/SimMemory.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace qv;
using qv::test::ScriptedMessages;
using qv::test::TempDir;

namespace {

template <class W = QWidget>
W* child(QWidget& form, const char* name)
{
    W* w = form.findChild<W*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void key(QWidget* w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(w, &press);
}

void leave(QWidget* w)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &out);
}

QString status(QWidget& form) { return child<QStatusBar>(form, "StatusBar1")->currentMessage(); }

QColor lamp(QWidget& form) { return child<TShape>(form, "Shape1")->BrushColor(); }

// Enables the configuration controls as a loaded configuration would.
void enableConfig(QWidget& form)
{
    for (QLineEdit* e : form.findChildren<QLineEdit*>())
        e->setEnabled(true);
}

} // namespace

TEST(DeviceDialog, FirstStartLayoutAndHiddenNumbers)
{
    ScriptedMessages msgs;
    TDoskComForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Data Reading"));
    for (const char* p : {"Panel1", "Panel2", "Panel3", "Panel4", "Panel5", "Panel6"})
        EXPECT_TRUE(child(form, p)->isHidden()) << p;
    EXPECT_FALSE(child(form, "UniEdit")->isHidden());
    EXPECT_EQ(child<QPushButton>(form, "ConnectButton")->toolTip(),
              QStringLiteral("Push Connect button and then power-up Dosk4 device."));
    EXPECT_EQ(child<QPushButton>(form, "ResetButton")->text(), QStringLiteral("Download Cfg"));
    EXPECT_EQ(child<QPushButton>(form, "ResetButton")->toolTip(),
              QStringLiteral("Downloads configuration from KAVO device"));
    EXPECT_EQ(child<QPushButton>(form, "UploadButton")->toolTip(), QStringLiteral("Uploads configuration to KAVO device"));
    EXPECT_EQ(child<QPushButton>(form, "DataButton")->toolTip(), QStringLiteral("Downloads Data from KAVO device"));
    EXPECT_EQ(child<QPushButton>(form, "EraseButton")->toolTip(), QStringLiteral("Erases KAVO memory"));
    EXPECT_EQ(child<QPushButton>(form, "OKButton")->text(), QStringLiteral("Close"));
    EXPECT_EQ(child<QPushButton>(form, "CancelButton")->text(), QStringLiteral("Disconnect"));

    // The rows below the hidden panels moved up next to the top part, and
    // nothing is left below the status bar.
    QWidget* uni = child(form, "UniRow");
    QWidget* bevel = child(form, "Bevel1");
    QWidget* bar = child(form, "StatusBar1");
    EXPECT_LT(uni->y(), child(form, "ProgressBar1")->y() + 60);
    EXPECT_GE(bevel->y() + bevel->height(), child(form, "UploadButton")->y() + child(form, "UploadButton")->height());
    EXPECT_EQ(bar->y() + bar->height(), form.height());

    // Ctrl+Alt+J shows the Numbers and grows the form by 40 pixels; again hides them.
    const int h = form.height();
    const int okY = child(form, "OKButton")->y();
    key(&form, Qt::Key_J, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(child(form, "Panel4")->isHidden());
    EXPECT_EQ(form.height(), h + 40);
    EXPECT_EQ(child(form, "OKButton")->y(), okY + 40);
    EXPECT_EQ(bar->y() + bar->height(), form.height());
    EXPECT_GE(child(form, "OKButton")->y(), child(form, "Panel4")->y() + child(form, "Panel4")->height());
    key(child(form, "UniEdit"), Qt::Key_J, Qt::ControlModifier | Qt::AltModifier); // from an edit too
    EXPECT_TRUE(child(form, "Panel4")->isHidden());
    EXPECT_EQ(form.height(), h);
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

TEST(DeviceDialog, ShowResetsAndCloseAsksNothingWhenIdle)
{
    ScriptedMessages msgs;
    TDoskComForm form;
    TDeviceSettings s;
    s.FlightTemperature = 22;
    s.Com = QStringLiteral("/nonexistent/ttyKavo");
    form.SetSettings(s);
    form.show();
    EXPECT_EQ(status(form), QStringLiteral("Kavo5 not connected."));
    EXPECT_EQ(child<QLineEdit>(form, "FTEdit")->text(), QStringLiteral("22"));
    EXPECT_EQ(lamp(form), QColor(Qt::red));
    for (const char* b : {"DataButton", "UploadButton", "ResetButton", "EraseButton", "CancelButton"})
        EXPECT_FALSE(child(form, b)->isEnabled()) << b;
    EXPECT_TRUE(child(form, "OKButton")->isEnabled());
    EXPECT_FALSE(child(form, "MinEdit")->isEnabled());

    // Read Data without a port.
    form.DataButtonClick();
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Not connected.")});

    // A port that is not there: the open failure in the top label.
    child<QPushButton>(form, "ConnectButton")->click();
    EXPECT_EQ(child<QLabel>(form, "Label1")->text(),
              QStringLiteral("CreateFile failed with error 2  ,/nonexistent/ttyKavo.\r\n") +
                  MissingPortAdvice(SystemPorts()));
    EXPECT_FALSE(form.Protocol().PortOpen());
    EXPECT_EQ(lamp(form), QColor(Qt::red));

    // The port override wins over the setting and is not kept in it.
    form.SetPortOverride(QStringLiteral("/nonexistent/other"));
    EXPECT_EQ(form.PortName(), QStringLiteral("/nonexistent/other"));
    EXPECT_EQ(form.Settings().Com, s.Com);

    // Esc acts as Close; idle, so no question.
    key(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Data Reading / Kavo5 - Disconnected"));
    EXPECT_TRUE(msgs.Questions().isEmpty());
}

TEST(DeviceDialog, ConfigurationEditsAndTheirLimits)
{
    ScriptedMessages msgs;
    TDoskComForm form;
    form.show();
    enableConfig(form);
    TDeviceConfig& c = form.Protocol().Config();
    auto* minEdit = child<QLineEdit>(form, "MinEdit");
    auto* secEdit = child<QLineEdit>(form, "SecEdit");
    auto* msecEdit = child<QLineEdit>(form, "mSecEdit");
    auto* rec = child<QLabel>(form, "RecTimeLabel");

    minEdit->setText(QStringLiteral("10"));
    EXPECT_EQ(c.Period(), 60000);
    EXPECT_EQ(rec->text(), QStringLiteral("0 s")); // no channel recorded
    EXPECT_TRUE(msgs.Texts().isEmpty());
    msecEdit->setText(QStringLiteral("1"));
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Max Sample rate is 10min")});
    EXPECT_EQ(minEdit->text(), QStringLiteral("10"));
    EXPECT_EQ(secEdit->text(), QStringLiteral("0"));
    EXPECT_EQ(msecEdit->text(), QStringLiteral("0"));
    EXPECT_EQ(c.Period(), 60000);

    // 0.1 s with one channel in 540672 bytes: 27034 s.
    minEdit->setText(QStringLiteral("0"));
    msecEdit->setText(QStringLiteral("1"));
    EXPECT_EQ(c.Period(), 10);
    child<QCheckBox>(form, "CheckBox1")->setChecked(true);
    EXPECT_EQ(c.bytes[11], 1);
    EXPECT_EQ(rec->text(), QStringLiteral("7h 30min 34s"));
    child<QCheckBox>(form, "CheckBox5")->setChecked(true);
    EXPECT_EQ(c.bytes[15], 1);
    EXPECT_EQ(form.RecordingTime(), 13517); // two channels
    child<QCheckBox>(form, "CheckBox1")->setChecked(false);
    EXPECT_EQ(c.bytes[11], 0);

    // Typed keys: digits pass, letters do not; "." only in UniEdit.
    msgs.Clear();
    secEdit->setText(QString());
    key(secEdit, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    EXPECT_EQ(secEdit->text(), QString());
    key(secEdit, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
    EXPECT_EQ(secEdit->text(), QStringLiteral("5"));
    EXPECT_EQ(c.Period(), 510);
    key(secEdit, Qt::Key_Period, Qt::NoModifier, QStringLiteral("."));
    EXPECT_EQ(secEdit->text(), QStringLiteral("5"));
    // A pasted non-integer: the conversion error, nothing stored.
    secEdit->setText(QStringLiteral("5x"));
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("'5x' is not a valid integer value")});
    EXPECT_EQ(c.Period(), 510);
    // Leaving an empty edit puts "0" in it.
    secEdit->setText(QString());
    leave(secEdit);
    EXPECT_EQ(secEdit->text(), QStringLiteral("0"));

    // Voltage threshold.
    msgs.Clear();
    auto* uni = child<QLineEdit>(form, "UniEdit");
    uni->setText(QStringLiteral("9.9"));
    EXPECT_EQ(uni->text(), QStringLiteral("9.8"));
    EXPECT_EQ(c.VoltageThresholdRaw(), 817);
    uni->setText(QStringLiteral("1.2.3"));
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Invalid input value")});
    EXPECT_EQ(c.VoltageThresholdRaw(), 817);

    // Start and finish.
    auto* rsEdit = child<QLineEdit>(form, "RSEdit");
    rsEdit->setText(QStringLiteral("12345"));
    EXPECT_EQ(rsEdit->text(), QStringLiteral("9999"));
    EXPECT_EQ(c.StartDelay(), 9999);
    child<QRadioButton>(form, "RSRadioButton4")->setChecked(true);
    EXPECT_EQ(c.StartMode(), 2);
    child<QRadioButton>(form, "RSRadioButton1")->setChecked(true);
    EXPECT_EQ(c.StartMode(), 3);
    child<QRadioButton>(form, "RSRadioButton3")->setChecked(true);
    EXPECT_EQ(c.StartMode(), 0);
    child<QLineEdit>(form, "RFEdit")->setText(QStringLiteral("1500"));
    EXPECT_EQ(c.FinishTime(), 1000);
    child<QRadioButton>(form, "RFRadioButton3")->setChecked(true);
    EXPECT_EQ(c.FinishMode(), 3);
    child<QRadioButton>(form, "RFRadioButton2")->setChecked(true);
    EXPECT_EQ(c.FinishMode(), 1);

    // Numbers: 70000 is refused on leaving the edit.
    msgs.Clear();
    auto* n2 = child<QLineEdit>(form, "HiddenEdit2");
    n2->setText(QStringLiteral("65535"));
    EXPECT_EQ(c.Number(2), 65535);
    n2->setText(QStringLiteral("70000"));
    leave(n2);
    EXPECT_EQ(msgs.Informations(), QStringList{QStringLiteral("Number must be 0..65535!")});
    EXPECT_EQ(c.Number(2), 65535);

    // Flight temperature.
    msgs.Clear();
    auto* ft = child<QLineEdit>(form, "FTEdit");
    ft->setText(QStringLiteral("-12"));
    leave(ft);
    EXPECT_EQ(form.Settings().FlightTemperature, -12);
    ft->setText(QStringLiteral("61"));
    leave(ft);
    EXPECT_EQ(msgs.Errors(),
              QStringList{QStringLiteral("Flight Temperature must be an integer between -30 and 60.")});
    EXPECT_EQ(ft->text(), QStringLiteral("-12"));
    EXPECT_EQ(form.Settings().FlightTemperature, -12);
}

// --- With the simulated logger ---------------------------------------------------

namespace {

using Sim = qv::test::SimProcess;
using qv::test::Drive;

// The dialog on the simulated logger, its flights going to root.
void ShowOnSim(TDoskComForm& form, const Sim& sim, const QString& root)
{
    TDeviceSettings s;
    s.Root = root;
    form.SetSettings(s);
    form.SetPortOverride(sim.path);
    form.show();
}

} // namespace

TEST(DeviceDialogWithSim, ReadDataWritesTheRecordedFlights)
{
    constexpr int kFlights = 3;
    constexpr int kSamples = 300;
    constexpr unsigned kRngStart = 5;
    Sim sim({QStringLiteral("--flights"), QString::number(kFlights), QStringLiteral("--samples"),
             QString::number(kSamples), QStringLiteral("--rng-start"), QString::number(kRngStart),
             QStringLiteral("--period"), QStringLiteral("20")});
    ASSERT_FALSE(sim.path.isEmpty());

    ScriptedMessages msgs;
    TempDir tmp;
    TDoskComForm form;
    TDeviceSettings s;
    s.Root = tmp.file(QStringLiteral("Data"));
    s.DefFileName = QStringLiteral("Flug0007.kdf");
    s.Com = QStringLiteral("/nonexistent/ttyS9");
    form.SetSettings(s);
    form.SetPortOverride(sim.path);
    form.show();

    bool sawGreen = false;
    bool asked = false;
    bool dataStarted = false;
    auto* dataButton = child<QPushButton>(form, "DataButton");
    const bool finished = Drive(form, [&] {
        DeviceProtocol& p = form.Protocol();
        sawGreen = sawGreen || lamp(form) == QColor(Qt::green);
        if (!dataStarted && p.ConfigLoaded() && !p.CommandInProgress() && dataButton->isEnabled()) {
            EXPECT_EQ(form.windowTitle(), QStringLiteral("Data Reading / Kavo5 - Connected"));
            dataStarted = true;
            dataButton->click();
            return false;
        }
        if (dataStarted && !asked && p.CurrentCommand() == 'D') {
            // Esc during the download asks; No carries on.
            asked = true;
            msgs.QueueAnswer(Answer::No);
            key(&form, Qt::Key_Escape);
            EXPECT_TRUE(form.isVisible());
            // So does the window's close box.
            msgs.QueueAnswer(Answer::No);
            EXPECT_FALSE(form.close());
            EXPECT_TRUE(form.isVisible());
            return false;
        }
        return dataStarted && !p.CommandInProgress() && !form.FlightBlocks().empty();
    });
    ASSERT_TRUE(finished);
    EXPECT_TRUE(sawGreen);
    EXPECT_EQ(msgs.Questions(), QStringList(2, QStringLiteral("Are you sure to break current operation?")));
    EXPECT_TRUE(msgs.Errors().isEmpty()) << msgs.Errors().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(msgs.Informations(), QStringList{QStringLiteral("3 files succesfully written.")});
    EXPECT_EQ(child<QLabel>(form, "Label1")->text(), QStringLiteral("Disconnected."));
    EXPECT_EQ(lamp(form), QColor(Qt::red));
    EXPECT_FALSE(form.Protocol().PortOpen());
    EXPECT_TRUE(child<QLabel>(form, "FirmLabel")->text().contains(QStringLiteral("KAVO5")));

    const QStringList files = QDir(s.Root).entryList({QStringLiteral("*.kdf")}, QDir::Files, QDir::Name);
    ASSERT_EQ(files, (QStringList{QStringLiteral("Flug007.kdf"), QStringLiteral("Flug008.kdf"),
                                  QStringLiteral("Flug009.kdf")}));
    sim::FlightShape shape;
    shape.period = 20;
    shape.samples = kSamples;
    for (int k = 0; k < kFlights; ++k) {
        const std::vector<quint16> raw = sim::FlightSamples(shape, kRngStart + k);
        TDataBlock rec;
        rec.NotesStream();
        ASSERT_EQ(ReadDataFile(QDir(s.Root).filePath(files[k]), rec, msgs), kSamples) << k;
        EXPECT_EQ(rec.SamplePeriod(), 20);
        EXPECT_EQ(rec.Flags(), shape.mask);
        EXPECT_EQ(rec.Words[2], shape.words[0]);
        for (int i = 0; i < kSamples; ++i) {
            EXPECT_NEAR(rec.Samples(ArrTime)[i], i * 0.2, 0.051);
            EXPECT_NEAR(rec.Samples(ArrAltitude)[i], (raw[3 * i] - double(raw[0])) / 41.85 * 9.8067, 0.0051);
            EXPECT_NEAR(rec.Samples(ArrRx)[i], (19843.0 - raw[3 * i + 1]) / 43.35, 0.0051);
            EXPECT_NEAR(rec.Samples(ArrVoltage)[i], (raw[3 * i + 2] + 85.0) * 0.0217, 0.0051);
        }
    }
}

TEST(DeviceDialogWithSim, YesToTheBreakQuestionEndsTheLinkAndCloses)
{
    Sim sim({QStringLiteral("--flights"), QStringLiteral("2"), QStringLiteral("--samples"), QStringLiteral("3000")});
    ASSERT_FALSE(sim.path.isEmpty());
    ScriptedMessages msgs;
    TempDir tmp;
    TDoskComForm form;
    qv::test::ShowOn(form, sim.path, tmp.path());
    bool dataStarted = false;
    const bool done = Drive(form, [&] {
        DeviceProtocol& p = form.Protocol();
        if (!dataStarted && p.ConfigLoaded() && !p.CommandInProgress()) {
            dataStarted = true;
            child<QPushButton>(form, "DataButton")->click();
            return false;
        }
        if (dataStarted && p.CurrentCommand() == 'D') {
            msgs.QueueAnswer(Answer::Yes);
            key(&form, Qt::Key_Escape);
            return true;
        }
        return false;
    });
    ASSERT_TRUE(done);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.Protocol().PortOpen());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Data Reading / Kavo5 - Disconnected"));
    EXPECT_EQ(msgs.Questions(), QStringList{QStringLiteral("Are you sure to break current operation?")});
    EXPECT_EQ(msgs.PendingAnswers(), 0);
    // What came before the break is kept as a raw image, and said so.
    ASSERT_EQ(msgs.Informations().size(), 1);
    EXPECT_TRUE(msgs.Informations()[0].startsWith(QStringLiteral("Everything received (")));
    // The flight still being read when the link ended is not written.
    EXPECT_FALSE(QFileInfo::exists(tmp.file(QStringLiteral("Blok002.kdf"))));
}

TEST(DeviceDialogWithSim, UploadedConfigurationComesBackIntoTheControls)
{
    Sim sim({QStringLiteral("--flights"), QStringLiteral("1"), QStringLiteral("--samples"), QStringLiteral("10")});
    ASSERT_FALSE(sim.path.isEmpty());
    ScriptedMessages msgs;
    TDoskComForm form;
    form.SetPortOverride(sim.path);
    form.show();
    auto* uni = child<QLineEdit>(form, "UniEdit");
    auto* rf = child<QLineEdit>(form, "RFEdit");
    int stage = 0;
    const bool done = Drive(form, [&] {
        DeviceProtocol& p = form.Protocol();
        if (p.CommandInProgress() || !child(form, "UploadButton")->isEnabled())
            return false;
        switch (stage) {
        case 0:
            if (!p.ConfigLoaded())
                return false;
            EXPECT_TRUE(uni->isEnabled());
            uni->setText(QStringLiteral("9.9"));
            rf->setText(QStringLiteral("77"));
            child<QPushButton>(form, "UploadButton")->click();
            stage = 1;
            return false;
        case 1:
            // Shown again from the record that was read back.
            uni->setText(QStringLiteral("1"));
            rf->setText(QStringLiteral("1"));
            child<QPushButton>(form, "ResetButton")->click();
            stage = 2;
            return false;
        default:
            return true;
        }
    });
    ASSERT_TRUE(done);
    EXPECT_TRUE(msgs.Errors().isEmpty()) << msgs.Errors().join(QLatin1Char('|')).toStdString();
    const double v = ParseUserNumber(uni->text(), -1);
    EXPECT_DOUBLE_EQ(v, 9.8); // 817 x 0.01199 = 9.79583, shown as 9.80
    EXPECT_EQ(rf->text(), QStringLiteral("77"));
    EXPECT_EQ(form.Protocol().Config().VoltageThresholdRaw(), 817);
}

TEST(DeviceDialogWithSim, AfterAFailedTransferOnlyConnectAndCloseStayEnabled)
{
    Sim sim({QStringLiteral("--flights"), QStringLiteral("2"), QStringLiteral("--samples"), QStringLiteral("2000"),
             QStringLiteral("--wrong-echo"), QStringLiteral("3")});
    ASSERT_FALSE(sim.path.isEmpty());
    ScriptedMessages msgs;
    TempDir tmp;
    TDoskComForm form;
    ShowOnSim(form, sim, tmp.path());
    bool dataStarted = false;
    // The failure ends the link by itself.
    Drive(form, [&] {
        DeviceProtocol& p = form.Protocol();
        if (!dataStarted && p.ConfigLoaded() && !p.CommandInProgress()) {
            dataStarted = true;
            QTest::mouseClick(child<QPushButton>(form, "DataButton"), Qt::LeftButton);
        }
        return false;
    });
    ASSERT_TRUE(dataStarted);
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Communication error")});
    ASSERT_EQ(msgs.Informations().size(), 1);
    EXPECT_TRUE(msgs.Informations()[0].startsWith(QStringLiteral("Everything received (")));
    EXPECT_EQ(child<QLabel>(form, "Label1")->text(), QStringLiteral("Disconnected."));
    EXPECT_TRUE(child(form, "OKButton")->isEnabled());
    EXPECT_TRUE(child(form, "ConnectButton")->isEnabled());
    for (const char* name : {"DataButton", "EraseButton", "UploadButton", "ResetButton", "CancelButton"})
        EXPECT_FALSE(child(form, name)->isEnabled()) << name;
}
