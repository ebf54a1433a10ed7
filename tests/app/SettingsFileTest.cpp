// Settings files as other systems, other copies of the program and users'
// editors leave them, read and written through the running program.
#include "app/Application.h"
#include "app/MainFrm.h"
#include "ProgramRun.h"
#include "app/Settings.h"
#include "device/DoskComUnit.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using namespace qv::test;
using qv::test::ReadAll;
using qv::test::WriteAll;
using qv::test::TempDir;

class SettingsRun : public ::testing::Test {
protected:
    void TearDown() override { StopForms(); }

    // One run of the program: started, shown and closed again.
    void run(const TSettingsFiles& files, const std::function<void()>& whileRunning = {})
    {
        TStartOptions o;
        o.ExePath = dir.file("quorvel");
        o.IniPath = files.Write;
        o.IniReadPath = files.Read;
        StartForms(o);
        Main()->show();
        QApplication::processEvents();
        if (whileRunning)
            whileRunning();
        Main()->close();
        QApplication::processEvents();
        StopForms();
    }
    void run(const std::function<void()>& whileRunning = {}) { run({ini(), ini()}, whileRunning); }

    QString ini() const { return dir.file("quorvel.ini"); }

    // The raw bytes of one key's line as written.
    QByteArray line(const QByteArray& key) const
    {
        for (const QByteArray& l : ReadAll(ini()).split('\n'))
            if (l.startsWith(key + "="))
                return l.trimmed();
        return {};
    }

    qv::test::TempDir dir;
    qv::test::ScriptedMessages messages;
};

TEST_F(SettingsRun, DecimalCommaIsADecimalSeparatorNeverAThousandsOne)
{
    ASSERT_TRUE(WriteAll(ini(), "[Options]\r\nMarkerThreshold=0,125\r\nDeflectionMin=-2,500\r\n"
                                "DeflectionMax=1,000\r\n[GraphSetup]\r\nTimeMax=12,5\r\nTimeMin=1.000,5\r\n"));
    TDeviceSettings seen;
    run([&] { seen = Main()->DoskComForm->Settings(); });
    EXPECT_EQ(seen.MarkerThreshold, 0.125);
    EXPECT_EQ(seen.DeflectionMin, -2.5);
    EXPECT_EQ(seen.DeflectionMax, 1.0);

    TIniFile back;
    back.Load(ini());
    TGraphSetupRec g;
    SetGraphSetupDefaults(g);
    const double defaultTimeMin = g.TimeMin;
    ReadGraphSetup(back, g);
    EXPECT_EQ(g.TimeMax, 12.5);
    EXPECT_EQ(g.TimeMin, defaultTimeMin); // "1.000,5" is no number
    // Written in the system's format.
    const QLocale system = QLocale::system();
    EXPECT_EQ(line("MarkerThreshold"), "MarkerThreshold=" + system.toString(0.125).toLocal8Bit());
    EXPECT_EQ(line("DeflectionMin"), "DeflectionMin=" + system.toString(-2.5).toLocal8Bit());
}

TEST_F(SettingsRun, Windows1250ValuesSurviveARun)
{
    // "Šumava" and "Letání" in Windows-1250.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromUtf8("Šumava")));
    const QByteArray root = dir.path().toUtf8() + "/\x8a" "umava";
    ASSERT_TRUE(WriteAll(ini(), "[Options]\r\nRoot=" + root + "\r\nDefFileName=Let\xe1n\xed\r\nCOM=Port \xe8.1\r\n"));
    QString seenRoot;
    TDeviceSettings seen;
    run([&] {
        seenRoot = Main()->DataRoot;
        seen = Main()->DoskComForm->Settings();
        TDeviceSettings changed = seen;
        changed.Com = QString::fromUtf8("Port č.2");
        Main()->DoskComForm->SetSettings(changed);
    });
    EXPECT_EQ(seenRoot, dir.file(QString::fromUtf8("Šumava")));
    EXPECT_EQ(seen.DefFileName, QString::fromUtf8("Letání"));
    EXPECT_EQ(seen.Com, QString::fromUtf8("Port č.1"));
    // Unchanged values keep their bytes; a changed one is written anew.
    EXPECT_EQ(line("Root"), "Root=" + root);
    EXPECT_EQ(line("DefFileName"), "DefFileName=Let\xe1n\xed");
    EXPECT_EQ(line("COM"), QString::fromUtf8("COM=Port č.2").toLocal8Bit());

    // Valid UTF-8 is read as UTF-8.
    run([&] { seen = Main()->DoskComForm->Settings(); });
    EXPECT_EQ(seen.Com, QString::fromUtf8("Port č.2"));
    EXPECT_EQ(seen.DefFileName, QString::fromUtf8("Letání"));
}

TEST_F(SettingsRun, FirstOfDuplicateKeysCountsAndNulLosesNothing)
{
    const char raw[] = "[Options]\r\nFlightTemperature=20\r\nCOM=/dev/ttyS3\0\0\0\r\nDefFileName=Flug\r\n"
                       "[options]\r\nflighttemperature=25\r\nMarkerThreshold=1.5\0garbage\r\nDeflectionMax=7\r\n";
    ASSERT_TRUE(WriteAll(ini(), QByteArray(raw, sizeof raw - 1)));
    TDeviceSettings seen;
    run([&] { seen = Main()->DoskComForm->Settings(); });
    EXPECT_EQ(seen.FlightTemperature, 20);
    EXPECT_EQ(seen.Com, "/dev/ttyS3");
    EXPECT_EQ(seen.DefFileName, "Flug");
    EXPECT_EQ(seen.MarkerThreshold, 1.5);
    EXPECT_EQ(seen.DeflectionMax, 7.0);
    EXPECT_EQ(line("FlightTemperature"), "FlightTemperature=20");
    EXPECT_FALSE(ReadAll(ini()).contains('\0'));
}

TEST_F(SettingsRun, ReadOnlyFileBesideTheProgramIsReadAndTheUsersCopyWritten)
{
    const QString beside = dir.file("quorvel.ini");
    const QString user = dir.file("config/quorvel.ini");
    ASSERT_TRUE(QDir(dir.path()).mkdir("config"));
    ASSERT_TRUE(WriteAll(beside, "[Options]\r\nCOM=/dev/ttyS5\r\nDefFileName=Flug\r\n[Mine]\r\nx=1\r\n"));

    // The file beside the program can be written: used both ways.
    TSettingsFiles files = ChooseSettingsFiles(beside, user, true);
    EXPECT_EQ(files.Read, beside);
    EXPECT_EQ(files.Write, beside);

    // It cannot: read there, written to the user's folder.
    files = ChooseSettingsFiles(beside, user, false);
    EXPECT_EQ(files.Read, beside);
    EXPECT_EQ(files.Write, user);
    TDeviceSettings seen;
    run(files, [&] {
        seen = Main()->DoskComForm->Settings();
        TDeviceSettings changed = seen;
        changed.DefFileName = "Volny";
        Main()->DoskComForm->SetSettings(changed);
    });
    EXPECT_EQ(seen.Com, "/dev/ttyS5");
    EXPECT_EQ(seen.DefFileName, "Flug");
    EXPECT_EQ(ReadAll(beside), "[Options]\r\nCOM=/dev/ttyS5\r\nDefFileName=Flug\r\n[Mine]\r\nx=1\r\n");
    const QByteArray written = ReadAll(user);
    EXPECT_TRUE(written.contains("DefFileName=Volny"));
    EXPECT_TRUE(written.contains("COM=/dev/ttyS5"));
    EXPECT_TRUE(written.contains("[Mine]"));

    // The next start reads the user's copy first.
    files = ChooseSettingsFiles(beside, user, false);
    EXPECT_EQ(files.Read, user);
    EXPECT_EQ(files.Write, user);
    run(files, [&] { seen = Main()->DoskComForm->Settings(); });
    EXPECT_EQ(seen.DefFileName, "Volny");
}

TEST(InstalledProgram, SettingsAndFlightsLiveWithTheUser)
{
    for (const char* dir : {"/usr/bin", "/usr/local/bin/", "/opt/quorvel/bin"})
        EXPECT_TRUE(IsSystemProgramFolder(dir)) << dir;
    TempDir home;
    EXPECT_FALSE(IsSystemProgramFolder(home.path()));
    EXPECT_FALSE(IsSystemProgramFolder("/usr/src/quorvel/build/bin"));

    const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.file(".config").toLocal8Bit());
    const QString root = DefaultDataRoot("/usr/bin");
    const TSettingsFiles files = DefaultSettingsFiles("/usr/bin/quorvel");
    qputenv("HOME", savedHome);
    qputenv("XDG_CONFIG_HOME", savedConfig);

    EXPECT_EQ(root, home.file("Documents/Quorvel"));
    EXPECT_TRUE(QFileInfo(root).isDir());
    // Even root, who could write there, keeps its settings to itself.
    EXPECT_EQ(files.Write, home.file(".config/Quorvel/quorvel.ini"));
}

} // namespace
