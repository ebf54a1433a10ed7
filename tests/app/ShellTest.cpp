// The main window's life: creation order, settings read at first showing and
// written at close, Escape's question, the assertion window.
#include "app/Application.h"
#include "base/Assert.h"
#include "app/AssertDlg.h"
#include "app/MainFrm.h"
#include "app/Options.h"
#include "app/Settings.h"
#include "graph/GraphPage.h"
#include "graph/GraphSetup.h"
#include "ProgramRun.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using namespace qv::test;
using qv::test::ReadAll;
using qv::test::WriteAll;

// Runs the program's windows against a settings file in a temporary folder
// that also plays the executable's folder.
class Shell : public ::testing::Test {
protected:
    void TearDown() override { StopForms(); }

    QString ini() const { return dir.file("quorvel.ini"); }

    void start()
    {
        qv::test::StartProgram(dir.path(), ini(), &order);
    }

    void stop()
    {
        Main()->close();
        QApplication::processEvents();
    }

    // The written file as "section/key" -> value, in file order.
    QStringList writtenKeys() const
    {
        QStringList keys;
        QString section;
        for (const QByteArray& raw : ReadAll(ini()).split('\n')) {
            const QString line = QString::fromLatin1(raw).trimmed();
            if (line.startsWith('['))
                section = line.mid(1, line.size() - 2);
            else if (line.contains('='))
                keys << section + "/" + line.section('=', 0, 0);
        }
        return keys;
    }

    QString value(const QString& sectionKey) const
    {
        QSettings s(ini(), QSettings::IniFormat);
        return s.value(sectionKey).toString();
    }

    qv::test::TempDir dir;
    qv::test::ScriptedMessages messages;
    QStringList order;
};

TEST_F(Shell, WindowsAreCreatedOnceInOrder)
{
    start();
    EXPECT_EQ(order, (QStringList{"FormMain", "FormAssert", "FormAnnotEdit", "FormAnnot", "FormGraphSetup",
                                  "FormSettings", "FormAbout", "DoskComForm", "FormOptions"}));
    EXPECT_EQ(Main()->windowTitle(), "Quorvel");
    EXPECT_EQ(Program()->FormAssert->windowTitle(), "Assert");
    stop();
}

TEST_F(Shell, AboutAndDeviceDialogRunFromTheMenuThroughTheMessageService)
{
    start();
    messages.QueueDialog([](QDialog& d) { EXPECT_EQ(d.objectName(), "FormAbout"); });
    messages.QueueDialog([](QDialog& d) { EXPECT_EQ(d.objectName(), "DoskComForm"); });
    Main()->mnuAboutClick();
    Main()->mnuReadDataClick();
    EXPECT_EQ(messages.PendingDialogs(), 0);
    EXPECT_TRUE(Main()->FormAbout->LabelSettings->text().endsWith(ini())) << Main()->FormAbout->LabelSettings->text().toStdString();
    stop();
}

TEST_F(Shell, NoSettingsFileGivesDefaultsAndCloseWritesEveryKeyInOrder)
{
    start();
    const TAppSettings& s = Main()->Settings;
    EXPECT_EQ(s.Device.Com, "COM1");
    EXPECT_EQ(s.Device.DefFileName, "Blok");
    EXPECT_EQ(s.Device.FlightTemperature, 15);
    EXPECT_EQ(s.Device.DeflectionMin, -5.0);
    EXPECT_EQ(s.Device.DeflectionMax, 5.0);
    EXPECT_EQ(s.Device.MarkerThreshold, 0.0);
    EXPECT_TRUE(Main()->GraphPage->ShowTable->isChecked());
    EXPECT_FALSE(Main()->GraphPage->TBShowLegend->isChecked());
    // No "Data" subfolder beside the executable: the executable's folder.
    EXPECT_EQ(Main()->DataRoot, QDir::cleanPath(dir.path()));
    EXPECT_FALSE(Main()->DataPagesEnabled());
    EXPECT_TRUE(Main()->TreeNotify);
    stop();

    const QStringList keys = writtenKeys();
    ASSERT_GE(keys.size(), 14);
    EXPECT_EQ(keys.mid(0, 14),
              (QStringList{"Options/Root", "Options/COM", "Options/DefFileName", "Options/FlightTemperature",
                           "Options/MarkerThreshold", "Options/DeflectionMin", "Options/DeflectionMax",
                           "Options/DeflectionOnGraph", "Options/SaveWindowsPos", "Options/AutoGridSize",
                           "Options/ShowTable", "Options/TBShowLegend", "Options/RawImageLimit", "Pos/PanelLeft"}));
    // Window positions come after the table's keys.
    EXPECT_EQ(keys.mid(14, 2), (QStringList{"Screen/ScreenH", "Screen/ScreenW"}));
    EXPECT_TRUE(ReadAll(ini()).contains("\nRawImageLimit=50,1024"));
    EXPECT_TRUE(keys.contains("FormMain/State"));
    EXPECT_EQ(value("Options/COM"), "COM1");
    EXPECT_EQ(value("Options/ShowTable"), "1");
    EXPECT_EQ(value("Options/TBShowLegend"), "0");
    EXPECT_EQ(value("Options/Root"), QDir::cleanPath(dir.path()));
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(Shell, AutoGridSizeOffStaysAndOnBecomesTextWidth)
{
    WriteAll(ini(), "[Options]\nAutoGridSize=5\n");
    start();
    stop();
    EXPECT_EQ(value("Options/AutoGridSize"), "5");

    StopForms();
    WriteAll(ini(), "[Options]\nAutoGridSize=10\n");
    start();
    const int textWidth = Main()->Settings.AutoGridSize;
    stop();
    EXPECT_GT(textWidth, 10);
    EXPECT_EQ(value("Options/AutoGridSize"), QString::number(textWidth));
}

TEST_F(Shell, RootNamingDeletedFolderFallsBackToDataSubfolder)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("Data"));
    WriteAll(ini(), "[Options]\nRoot=" + dir.file("gone").toLocal8Bit() + "\nCOM=/dev/ttyUSB0\n");
    start();
    EXPECT_EQ(Main()->DataRoot, dir.file("Data"));
    EXPECT_EQ(Main()->Settings.Device.Com, "/dev/ttyUSB0");
    stop();
    EXPECT_EQ(value("Options/Root"), dir.file("Data"));
}

TEST_F(Shell, GraphSetupWrittenOnlyAfterConfirmationAndUnknownKeysSurvive)
{
    WriteAll(ini(), "[Options]\nCOM=COM3\nMyOwnKey=kept\n[Elsewhere]\nx=1\n[GraphSetup]\nTimeMax=250\n");
    start();
    EXPECT_EQ(Main()->GraphSetup.TimeMax, 250.0);
    EXPECT_EQ(Main()->GraphSetup.AltitudeMax, 100.0);
    stop();
    EXPECT_EQ(value("Options/MyOwnKey"), "kept");
    EXPECT_EQ(value("Elsewhere/x"), "1");
    EXPECT_FALSE(writtenKeys().contains("GraphSetup/AltitudeMin")); // not confirmed: not written

    StopForms();
    start();
    Main()->GraphSetup.RXMax = 42.5;
    Main()->GraphSetupChanged = true;
    stop();
    EXPECT_TRUE(writtenKeys().contains("GraphSetup/MarkerMarkSize"));
    EXPECT_EQ(value("GraphSetup/RXMax").toDouble(), 42.5);
    Main()->GraphSetupChanged = false;
}

TEST_F(Shell, SplitMemoryImageFromTheDataMenu)
{
    ASSERT_TRUE(QDir().mkpath(dir.file("Data")));
    WriteAll(ini(), "[Options]\nRoot=" + dir.file("Data").toLocal8Bit()
                        + "\nDefFileName=Flug0012.kdf\nRawImageLimit=7,300\n");
    // Two flights of one sample each and the end of the data.
    const QByteArray image = QByteArray(4, '\xFF') + QByteArray::fromHex("000A80000001000000000000000013880000")
        + QByteArray(4, '\xFF') + QByteArray::fromHex("000A80000001000000000000000013890000")
        + QByteArray(5, '\xFF');
    WriteAll(dir.file("memory.bin"), image);
    start();
    EXPECT_EQ(Main()->Settings.Device.RawImageLimit, "7,300");
    QAction* split = nullptr;
    for (QAction* a : Main()->menuBar()->actions())
        if (a->text() == "Data" && a->menu())
            for (QAction* item : a->menu()->actions())
                if (item->text() == "Split memory image...")
                    split = item;
    ASSERT_NE(split, nullptr);
    messages.QueueFileName(dir.file("memory.bin"));
    split->trigger();
    EXPECT_EQ(QDir(dir.file("Data")).entryList({"*.kdf"}, QDir::Files, QDir::Name),
              (QStringList{"Flug012.kdf", "Flug013.kdf"}));
    EXPECT_EQ(messages.Informations(), QStringList{"2 files succesfully written."});
    auto* tree = Main()->findChild<QTreeWidget*>("TreeView1");
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->findItems("Flug013", Qt::MatchExactly | Qt::MatchRecursive).size(), 1);
    stop();
    EXPECT_TRUE(ReadAll(ini()).contains("\nRawImageLimit=7,300"));
}

TEST_F(Shell, EscapeAsksBeforeExiting)
{
    start();
    messages.QueueAnswer(Answer::No);
    Main()->actEscape->trigger();
    EXPECT_TRUE(Main()->isVisible());
    messages.QueueAnswer(Answer::Yes);
    Main()->actEscape->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(Main()->isVisible());
    EXPECT_EQ(messages.Questions(),
              (QStringList{"Are you sure to exit application?", "Are you sure to exit application?"}));
    EXPECT_TRUE(QFile::exists(ini()));
}

TEST(SettingsFile, BadInputGivesDefaults)
{
    qv::test::TempDir dir;
    const QString path = dir.file("bad.ini");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(static_cast<char>((i * 7919) & 0xFF));
    const QByteArray huge = "[Options]\nCOM=" + QByteArray(4 << 20, 'x') + "\nFlightTemperature=abc\n";
    const QList<QByteArray> inputs = {
        "", binary, huge,
        "[Options]\nFlightTemperature=20\n[Options]\nFlightTemperature=25\nDeflectionMin=1e999\n",
        "[Options]\nFlightTemperature=99999999999999\nDeflectionMax=--1\nShowTable=yes\nAutoGridSize=\n",
        QByteArray("[Options]\nCOM=A\0B\nDefFileName=Flug\n", 36),
    };
    for (const QByteArray& bytes : inputs) {
        ASSERT_TRUE(WriteAll(path, bytes));
        TIniFile ini;
        ini.Load(path);
        TAppSettings s;
        s.Root = dir.path();
        ReadAppSettings(ini, s);
        EXPECT_TRUE(s.Device.FlightTemperature == 15 || s.Device.FlightTemperature == 20 ||
                    s.Device.FlightTemperature == 25);
        EXPECT_EQ(s.Device.DeflectionMin, -5.0);
        EXPECT_EQ(s.Device.DeflectionMax, 5.0);
        EXPECT_TRUE(s.ShowTable);
        EXPECT_EQ(s.AutoGridSize, 10);
        EXPECT_EQ(s.Root, dir.path());
    }
}

TEST(SettingsFile, ValuesOutOfRangeComeToTheNearestEnd)
{
    qv::test::TempDir dir;
    const QString path = dir.file("wild.ini");
    ASSERT_TRUE(WriteAll(path, "[Options]\nFlightTemperature=500\nMarkerThreshold=1e300\nAutoGridSize=-4\n"
                               "[Pos]\nPanelLeft=-100\n[GraphSetup]\nMarkerMarkSize=10000\nAnnotMarkStyle=-3\n"
                               "AltitudeLWidth=0\nRXLStyle=77\nTimeMax=1e300\n"));
    TIniFile ini;
    ini.Load(path);
    TAppSettings s;
    ReadAppSettings(ini, s);
    EXPECT_EQ(s.Device.FlightTemperature, 60);
    EXPECT_EQ(s.Device.MarkerThreshold, 1e9);
    EXPECT_EQ(s.AutoGridSize, 0);
    EXPECT_EQ(s.PanelLeft, kPanelLeftMin);
    TGraphSetupRec g = DefaultGraphSetup();
    ReadGraphSetup(ini, g);
    EXPECT_EQ(g.MarkerMarkSize, 10);
    EXPECT_EQ(g.AnnotMarkStyle, 0);
    EXPECT_EQ(g.AltitudeLWidth, 1);
    EXPECT_EQ(g.RXLStyle, 4);
    EXPECT_EQ(g.TimeMax, 1e9);
}

TEST(SettingsFile, FloatsAcceptPointAndNonZeroIntegersAreTrue)
{
    qv::test::TempDir dir;
    const QString path = dir.file("f.ini");
    WriteAll(path, "[Options]\r\nMarkerThreshold=12.5\r\nDeflectionOnGraph=-3\r\nShowTable=0\r\n");
    TIniFile ini;
    ini.Load(path);
    TAppSettings s;
    ReadAppSettings(ini, s);
    EXPECT_EQ(s.Device.MarkerThreshold, 12.5);
    EXPECT_TRUE(s.DeflectionOnGraph);
    EXPECT_FALSE(s.ShowTable);
}

TEST(SettingsFile, GridFirstColumnRule)
{
    EXPECT_EQ(AutoFirstColumnWidth(7, 400, 8, 24), -1);
    EXPECT_EQ(AutoFirstColumnWidth(60, 400, 8, 24), 400 - 7 * 24 - 8);
    EXPECT_EQ(AutoFirstColumnWidth(60, 200, 8, 24), 60);
}

TEST(AssertWindow, SecondReportInLabelBothInMemo)
{
    TFormAssert form;
    QV_ASSERT(false, "P<>nil in GetFullName");
    QV_ASSERT(false, "TN.data<>nil in AssignDataptr, TN.text=x");
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.Label1->text().startsWith("TN.data<>nil in AssignDataptr, TN.text=x (ShellTest, line "));
    const QStringList lines = form.Memo1->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("P<>nil in GetFullName (ShellTest"));
    EXPECT_EQ(lines[1], form.Label1->text());
}

} // namespace

namespace qv {
namespace {

TEST(StartOptions, IniAndPortInBothFormsAndUnknownOptionsIgnored)
{
    const TStartOptions a = ParseStartOptions({"quorvel", "--ini", "/tmp/a.ini", "--port=/dev/pts/7"});
    EXPECT_EQ(a.ExePath, "quorvel");
    EXPECT_EQ(a.IniPath, "/tmp/a.ini");
    EXPECT_EQ(a.PortOverride, "/dev/pts/7");
    const TStartOptions b = ParseStartOptions({"quorvel", "--style", "fusion", "--ini=/x.ini"});
    EXPECT_EQ(b.IniPath, "/x.ini");
    EXPECT_TRUE(b.PortOverride.isEmpty());
}

} // namespace
} // namespace qv
namespace {

TEST_F(Shell, FirstWindowFitsTheScreensAvailableArea)
{
    start();
    const QRect area = Main()->screen()->availableGeometry();
    ASSERT_LT(area.width(), 1280); // the test screen is smaller than the default size
    EXPECT_TRUE(area.contains(Main()->geometry())) << Main()->geometry().width() << "x"
                                                      << Main()->geometry().height();
    stop();

    // The size saved in that run fits again at the next start, also when
    // the file holds one that does not.
    WriteAll(ini(), "[FormMain]\nRLeft=0\nRRight=1100\nRTop=0\nRBottom=720\nNRLeft=0\nNRRight=1100\nNRTop=0\n"
                    "NRBottom=720\nState=0\n");
    StopForms();
    start();
    EXPECT_TRUE(area.contains(Main()->geometry()));
    stop();
}

} // namespace
