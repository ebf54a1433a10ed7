// Starting from the desktop: files on the command line, a later start that
// hands its files to the window that runs, --help and --version.
#include "app/Application.h"
#include "app/InstanceLink.h"
#include "app/MainFrm.h"
#include "app/Options.h"
#include "base/Version.h"
#include "browser/TreeView.h"
#include "flights/OpenFlights.h"
#include "ProgramRun.h"
#include "support/EventPump.h"
#include "support/KdfText.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTabWidget>
#include <QThread>
#include <QTableView>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

using namespace qv;
using namespace qv::test;

QByteArray Flight()
{
    KdfContent s;
    s.Lines = ThreeChannelLines(40);
    return KdfText(s);
}

// The runtime folder of this test alone, so the sockets of tests that run
// at the same time never meet.
class DesktopStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = qgetenv("XDG_RUNTIME_DIR");
        ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        QDir().mkpath(exe.file("Data"));
        ASSERT_TRUE(WriteAll(exe.file("Data/Blok1.kdf"), Flight()));
        ASSERT_TRUE(WriteAll(other.file("Away.kdf"), Flight()));
    }
    void TearDown() override
    {
        StopForms();
        qputenv("XDG_RUNTIME_DIR", saved);
    }

    void start(const QStringList& files = {})
    {
        StartProgram(exe.path(), exe.file("quorvel.ini"), nullptr, files);
        grid = Main()->findChild<QTableView*>("StringGrid1");
        tree = Main()->findChild<QTreeWidget*>("TreeView1");
        ASSERT_TRUE(grid && tree);
    }

    // The program itself, with the test's runtime folder.
    QProcess* program(const QStringList& args, const QString& workDir = QString())
    {
        auto* p = new QProcess(Main());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(workDir.isEmpty() ? other.path() : workDir);
        p->start(QV_PROGRAM_PATH, args);
        return p;
    }

    QStringList openPaths() const
    {
        QStringList paths;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            paths << grid->model()->index(r, TOpenFlights::ColPath).data().toString();
        return paths;
    }

    QByteArray saved;
    TempDir runtime, exe, other;
    ScriptedMessages msgs;
    QTableView* grid = nullptr;
    QTreeWidget* tree = nullptr;
};

TEST_F(DesktopStart, FilesOfTheCommandLineOpenOnTheGraphPageInAnyFolder)
{
    const QString missing = other.file("Gone.kdf");
    const TStartOptions o = ParseStartOptions({"quorvel", other.file("Away.kdf"), "--style=fusion",
                                               exe.file("Data/Blok1.kdf"), missing});
    EXPECT_FALSE(o.NewInstance);
    start(o.Files);
    const QString root = Main()->DataRoot;
    ASSERT_TRUE(WaitUntil([&] { return grid->model()->rowCount() == 2; })) << grid->model()->rowCount();

    EXPECT_EQ(openPaths(), QStringList({other.file("Away.kdf"), exe.file("Data/Blok1.kdf")}));
    EXPECT_EQ(Main()->PageControl1->currentWidget(), Main()->TabGraph);
    EXPECT_TRUE(Main()->DataPagesEnabled());
    EXPECT_EQ(Main()->DataRoot, root);
    EXPECT_EQ(Main()->OpenFlights.Actual(), 1); // the last one named
    // The file of the data folder shows open in the tree.
    const auto items = tree->findItems("Blok1", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.first()->icon(0).pixmap(16).toImage(), TreeImageIcon(imgFileOpen).pixmap(16).toImage());
    // One box for what did not open.
    EXPECT_EQ(msgs.Errors(), QStringList{OpenErrorText(missing, "The file does not exist.")});

    // Named again: nothing opens twice.
    Main()->OpenFiles({other.file("Away.kdf")});
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(Main()->OpenFlights.Actual(), 0);
}

TEST_F(DesktopStart, LaterStartHandsItsFilesToTheRunningWindowAndEnds)
{
    start();
    TInstanceLink link;
    EXPECT_EQ(link.Name(), runtime.file("quorvel.socket"));
    ASSERT_TRUE(link.Listen());
    QObject::connect(&link, &TInstanceLink::FilesReceived, Main(), &TFormMain::FilesFromDesktop);

    Main()->showMinimized();
    QApplication::processEvents();
    // A relative name is taken in the folder the later start ran in.
    QProcess* later = program({"Away.kdf"});
    ASSERT_TRUE(WaitUntil([&] { return later->state() == QProcess::NotRunning; }))
        << later->readAllStandardError().toStdString();
    EXPECT_EQ(later->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(later->exitCode(), 0) << later->readAllStandardError().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return grid->model()->rowCount() == 1; }));
    EXPECT_EQ(openPaths(), QStringList{other.file("Away.kdf")});
    EXPECT_EQ(Main()->PageControl1->currentWidget(), Main()->TabGraph);
    EXPECT_FALSE(Main()->isMinimized()); // brought back to the front
    EXPECT_TRUE(msgs.Errors().isEmpty()) << msgs.Errors().join("|").toStdString();

    // A second window never steals the socket of a live one.
    TInstanceLink second;
    EXPECT_FALSE(second.Listen());
    EXPECT_TRUE(link.Listening());
}

TEST(InstanceLink, NobodyListeningAndASocketLeftBehind)
{
    TempDir dir;
    const QString name = dir.file("quorvel.socket");
    TInstanceLink link(name);
    EXPECT_FALSE(link.HandOver({"/x.kdf"}, 300));
    // What a program that died leaves: the socket file, nobody behind it.
    ASSERT_TRUE(WriteAll(name, QByteArray()));
    ASSERT_TRUE(link.Listen());

    QStringList got;
    QObject::connect(&link, &TInstanceLink::FilesReceived, [&got](const QStringList& f) { got = f; });
    // The later start blocks on its socket; here it runs beside this
    // thread's event loop, which answers.
    bool taken = false;
    std::unique_ptr<QThread> later(QThread::create([&] { taken = TInstanceLink(name).HandOver({"/a.kdf", "/b c.kdf"}); }));
    later->start();
    ASSERT_TRUE(WaitUntil([&] { return later->isFinished(); }));
    EXPECT_TRUE(taken);
    EXPECT_EQ(got, QStringList({"/a.kdf", "/b c.kdf"}));
}

TEST(StartOptions, HelpVersionAndRunsOfTheirOwn)
{
    EXPECT_TRUE(ParseStartOptions({"quorvel", "--new-instance", "a.kdf"}).NewInstance);
    EXPECT_TRUE(ParseStartOptions({"quorvel", "--ini", "/x.ini"}).NewInstance);
    EXPECT_TRUE(ParseStartOptions({"quorvel", "--port=/dev/ttyUSB0"}).NewInstance);
    EXPECT_EQ(ParseStartOptions({"quorvel", "/tmp/a.kdf"}).Files, QStringList{"/tmp/a.kdf"});

    QProcess p;
    p.start(QV_PROGRAM_PATH, {"--version"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAllStandardOutput(), "Quorvel " + ProgramVersion().toUtf8() + "\n");
    p.start(QV_CLI_PATH, {"--version"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAllStandardOutput(), "quorvel-cli " + ProgramVersion().toUtf8() + "\n");
    // No display is needed for either.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    p.setProcessEnvironment(env);
    p.start(QV_PROGRAM_PATH, {"--help"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_TRUE(help.contains("--new-instance")) << help.toStdString();
    EXPECT_TRUE(help.contains("[FILE.kdf...]")) << help.toStdString();

    TFormAbout about;
    EXPECT_TRUE(about.findChild<QLabel*>()->text().contains("version " + ProgramVersion()));
}

} // namespace
