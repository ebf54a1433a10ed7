// The termios port on pseudo-terminals, and the whole protocol end to end
// against the simulated logger (unpaced, small memories).
#include "FakePort.h"
#include "SimProcess.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include "device/DeviceProtocol.h"
#include "device/PortAdvice.h"
#include "device/PortLock.h"
#include "device/SerialPort.h"
#include "device/SimMemory.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

using namespace qv;
using qv::test::RecordingObserver;
using qv::test::ScriptedMessages;

namespace {

// A bare pseudo-terminal; the test holds the master side.
struct Pty {
    int master = -1;
    QString path;
    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0)
            ::fcntl(master, F_SETFD, FD_CLOEXEC); // programs the test starts are not the other end
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            path = QString::fromLocal8Bit(::ptsname(master));
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
    }
};

} // namespace

TEST(PosixSerialPort, MissingDeviceFailsWithErrorTwo)
{
    PosixSerialPort port;
    const PortOpenResult r = port.Open(QStringLiteral("/dev/no-such-kavo5"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorCode, 2);
    EXPECT_EQ(r.message, QStringLiteral("CreateFile failed with error 2  ,/dev/no-such-kavo5.\r\n"));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.WriteByte('*'), 0); // nothing is sent while closed
    quint8 b = 0;
    EXPECT_EQ(port.ReadByte(b), 0);
}

TEST(PosixSerialPort, EmptySettingMeansCom1)
{
    EXPECT_EQ(PortNameFromSetting(QString()), QStringLiteral("COM1"));
    EXPECT_EQ(PortNameFromSetting(QStringLiteral("/dev/ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
    ScriptedMessages messages;
    PosixSerialPort port;
    RecordingObserver obs;
    DeviceProtocol proto(port, &obs);
    EXPECT_FALSE(proto.Connect(QString()));
    // The name of another system: the ports this one has follow.
    EXPECT_EQ(obs.topLabel, QStringList{QStringLiteral("CreateFile failed with error 2  ,COM1.\r\n") +
                                        MissingPortAdvice(SystemPorts())});
    EXPECT_FALSE(proto.PortOpen());
}

TEST(PosixSerialPort, PseudoTerminalRawExclusiveAndTimedReads)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    PosixSerialPort port;
    const PortOpenResult r = port.Open(pty.path);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_TRUE(port.IsOpen());

    termios tio{};
    ASSERT_EQ(::tcgetattr(port.Fd(), &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), speed_t(B115200));
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 1);

    // A second user is refused.
    PosixSerialPort other;
    const PortOpenResult r2 = other.Open(pty.path);
    EXPECT_FALSE(r2.ok);
    EXPECT_EQ(r2.errorCode, EBUSY);

    quint8 b = 0;
    EXPECT_EQ(port.ReadByte(b), 0); // nothing on the line

    const char in[] = "\x2A\xFF\x00\x0D";
    ASSERT_EQ(::write(pty.master, in, 4), 4);
    std::vector<int> got;
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(port.ReadByte(b), 1);
        got.push_back(b);
    }
    EXPECT_EQ(got, (std::vector<int>{0x2A, 0xFF, 0x00, 0x0D})); // raw: no CR/LF mapping

    EXPECT_EQ(port.WriteByte('O'), 1);
    char out = 0;
    ASSERT_EQ(::read(pty.master, &out, 1), 1);
    EXPECT_EQ(out, 'O');

    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.WriteByte('O'), 0);
    EXPECT_TRUE(other.Open(pty.path).ok); // free again
}

TEST(PosixSerialPort, AnotherProgramOnThePortIsNamedAndStaleLocksGo)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    const QString ptsName = pty.path.mid(5).replace(QLatin1Char('/'), QLatin1Char('_'));
    EXPECT_EQ(TPortLockFile::FileNameFor(pty.path), QStringLiteral("LCK..") + ptsName);
    EXPECT_EQ(TPortLockFile::FileNameFor(QStringLiteral("/dev/ttyUSB0")), QStringLiteral("LCK..ttyUSB0"));
    qv::test::TempDir locks;
    const QString lockFile = locks.file(QStringLiteral("LCK..") + ptsName);
    const QString inUse = QStringLiteral("CreateFile failed with error 16  ,%1.\r\n").arg(pty.path);
    PosixSerialPort port;
    port.SetLockFolder(locks.path());

    // Another program reads the terminal (it holds it as its stdin).
    QProcess reader;
    reader.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exec sleep 30 < ") + pty.path});
    ASSERT_TRUE(reader.waitForStarted(5000));
    const QString proc = QStringLiteral("/proc/%1/").arg(reader.processId());
    QElapsedTimer t;
    t.start();
    while ((QFileInfo(proc + QStringLiteral("fd/0")).symLinkTarget() != pty.path
            || qv::test::ReadAll(proc + QStringLiteral("comm")) != "sleep\n") && t.elapsed() < 5000)
        QThread::msleep(10);
    const QString bySleep = QStringLiteral("Port in use by sleep (process %1).").arg(reader.processId());
    PortOpenResult r = port.Open(pty.path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorCode, EBUSY);
    EXPECT_EQ(r.message, inUse + bySleep);
    EXPECT_FALSE(QFileInfo::exists(lockFile)); // a refused open leaves no lock
    reader.kill();
    reader.waitForFinished(5000);

    // A lock file of a running program refuses the port and names it.
    QProcess locker;
    locker.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(locker.waitForStarted(5000));
    ASSERT_TRUE(qv::test::WriteAll(lockFile, QByteArray::number(locker.processId()).rightJustified(10) + '\n'));
    r = port.Open(pty.path);
    EXPECT_EQ(r.message, inUse + QStringLiteral("Port in use by sleep (process %1).").arg(locker.processId()));
    // Once that program has ended its lock is stale: removed and taken.
    locker.kill();
    locker.waitForFinished(5000);
    r = port.Open(pty.path);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(qv::test::ReadAll(lockFile), QByteArray::number(::getpid()).rightJustified(10) + '\n');
    port.Close();
    EXPECT_FALSE(QFileInfo::exists(lockFile));

    // The system's lock folder by default.
    const QString system = TPortLockFile::DefaultFolder();
    if (!system.isEmpty() && ::access(QFile::encodeName(system).constData(), W_OK) == 0) {
        PosixSerialPort plain;
        ASSERT_TRUE(plain.Open(pty.path).ok);
        EXPECT_EQ(plain.LockFile(), system + QStringLiteral("/LCK..") + ptsName);
        EXPECT_TRUE(QFileInfo::exists(plain.LockFile()));
        plain.Close();
        EXPECT_FALSE(QFileInfo::exists(system + QStringLiteral("/LCK..") + ptsName));
    }
}

namespace {

using Sim = qv::test::SimProcess;

// One connection: the host reads firmware and configuration, then runs
// `step` from the pump whenever it is idle, until `step` returns true or
// 20 s have passed.
struct Session {
    ScriptedMessages messages;
    PosixSerialPort port;
    RecordingObserver obs;
    DeviceProtocol proto{port, &obs};
    bool timedOut = false;

    void run(const QString& path, const std::function<bool(DeviceProtocol&)>& step)
    {
        QElapsedTimer t;
        t.start();
        proto.SetPump([&] {
            if (t.elapsed() > 20000) {
                timedOut = true;
                proto.SetAbort();
            } else if (!messages.Errors().isEmpty()) {
                proto.SetAbort();
            } else if (proto.ConfigLoaded() && proto.CurrentCommand() == 0 && step(proto)) {
                proto.SetAbort();
            }
        });
        EXPECT_TRUE(proto.Connect(path));
        EXPECT_FALSE(timedOut);
    }

    // Starts a download once; done when it has ended.
    bool downloadStep(DeviceProtocol& p)
    {
        if (!requested) {
            requested = true;
            p.ReadData();
            return false;
        }
        return obs.downloads > 0;
    }
    bool requested = false;
};

QByteArray expectedDownload(int flights, int samples)
{
    sim::FlightShape shape;
    shape.samples = samples;
    const std::vector<quint8> m = sim::BuildMemory(flights, shape, 1);
    // Up to and including the fifth 0xFF after the last flight.
    return QByteArray(reinterpret_cast<const char*>(m.data()), static_cast<int>(m.size()) - 8 + 5);
}

} // namespace

TEST(DeviceLinkSim, DownloadsTheGeneratedFlights)
{
    Sim sim({QStringLiteral("--flights"), QStringLiteral("3"), QStringLiteral("--samples"),
             QStringLiteral("300"), QStringLiteral("--firmware"), QStringLiteral("KAVO5 TEST 9")});
    ASSERT_FALSE(sim.path.isEmpty());
    Session s;
    s.run(sim.path, [&](DeviceProtocol& p) { return s.downloadStep(p); });
    EXPECT_TRUE(s.messages.Errors().isEmpty()) << s.messages.Errors().join(';').toStdString();
    EXPECT_EQ(s.proto.FirmwareText(), QStringLiteral("KAVO5 TEST 9              "));
    EXPECT_EQ(s.proto.MemorySize(), kMemorySizeKavo5);
    EXPECT_TRUE(s.proto.Config().ChannelRecorded(1));
    EXPECT_EQ(s.proto.Config().Period(), 10);
    ASSERT_EQ(s.obs.downloads, 1);
    EXPECT_EQ(s.obs.downloaded, expectedDownload(3, 300));
    EXPECT_FALSE(s.proto.PortOpen());
}

TEST(DeviceLinkSim, BadFramesAndNoiseAreOvercome)
{
    Sim sim({QStringLiteral("--flights"), QStringLiteral("2"), QStringLiteral("--samples"),
             QStringLiteral("200"), QStringLiteral("--bad-frames"), QStringLiteral("0:2,3:10"),
             QStringLiteral("--noise")});
    ASSERT_FALSE(sim.path.isEmpty());
    Session s;
    s.run(sim.path, [&](DeviceProtocol& p) { return s.downloadStep(p); });
    EXPECT_TRUE(s.messages.Errors().isEmpty()) << s.messages.Errors().join(';').toStdString();
    EXPECT_EQ(s.obs.downloaded, expectedDownload(2, 200));
}

TEST(DeviceLinkSim, LineFaultsFailTheDownload)
{
    struct Case {
        QStringList args;
        QString error;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("--bad-frames"), QStringLiteral("1:11")},
         QStringLiteral("Communication error, bad CRC more then 10 times.")},
        {{QStringLiteral("--wrong-echo"), QStringLiteral("1")}, QStringLiteral("Communication error")},
        {{QStringLiteral("--silent-after"), QStringLiteral("2")},
         QStringLiteral("Communication error, no response from device")},
        {{QStringLiteral("--hangup-after"), QStringLiteral("2")},
         QStringLiteral("Communication error, no response from device")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        Sim sim(c.args);
        ASSERT_FALSE(sim.path.isEmpty());
        Session s;
        s.run(sim.path, [&](DeviceProtocol& p) { return s.downloadStep(p); });
        EXPECT_EQ(s.messages.Errors(), QStringList{c.error});
        EXPECT_EQ(s.obs.ending.Status, TDownloadEnd::Failed);
        EXPECT_TRUE(s.obs.status.contains(QStringLiteral("Disconnected.")));
    }
}

TEST(DeviceLinkSim, UploadVerifyEraseAndReconnect)
{
    Sim sim({QStringLiteral("--flights"), QStringLiteral("1"), QStringLiteral("--samples"),
             QStringLiteral("50")});
    ASSERT_FALSE(sim.path.isEmpty());
    {
        Session s;
        int stage = 0;
        s.messages.QueueAnswer(Answer::Yes);
        s.run(sim.path, [&](DeviceProtocol& p) {
            switch (stage++) {
            case 0:
                p.Config().SetNumber(1, 777);
                p.Config().SetPeriod(50);
                p.UploadConfig();
                return false;
            case 1:
                p.EraseMemory();
                return false;
            default:
                return true;
            }
        });
        EXPECT_TRUE(s.messages.Errors().isEmpty()) << s.messages.Errors().join(';').toStdString();
        EXPECT_EQ(s.proto.VerifyCopy(), s.proto.Config());
        EXPECT_TRUE(s.obs.status.contains(QStringLiteral("Erasing finished.")));
    }
    { // the logger kept the configuration; its memory is empty
        Session s;
        s.run(sim.path, [&](DeviceProtocol& p) { return s.downloadStep(p); });
        EXPECT_TRUE(s.messages.Errors().isEmpty()) << s.messages.Errors().join(';').toStdString();
        EXPECT_EQ(s.proto.Config().Number(1), 777);
        EXPECT_EQ(s.proto.Config().Period(), 50);
        EXPECT_EQ(s.obs.downloaded, QByteArray(5, '\xFF'));
    }
}

TEST(DeviceInfoCommand, PrintsFirmwareAndConfigurationOrTheFailure)
{
    Sim sim({QStringLiteral("--firmware"), QStringLiteral("KAVO5 CLI")});
    ASSERT_FALSE(sim.path.isEmpty());
    QProcess cli;
    cli.start(QStringLiteral(QV_CLI_PATH),
              {QStringLiteral("device-info"), QStringLiteral("--port"), sim.path, QStringLiteral("--json")});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QJsonObject o = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
    EXPECT_EQ(o.value(QStringLiteral("firmware")).toString(), QStringLiteral("KAVO5 CLI"));
    EXPECT_EQ(o.value(QStringLiteral("memorySize")).toInt(), 9000000);
    EXPECT_EQ(o.value(QStringLiteral("channels")).toArray(), (QJsonArray{1, 2, 5}));
    EXPECT_EQ(o.value(QStringLiteral("period")).toInt(), 10);
    EXPECT_EQ(o.value(QStringLiteral("startMode")).toInt(), 3);
    EXPECT_EQ(o.value(QStringLiteral("voltageThreshold")).toDouble(), 6.0);
    EXPECT_EQ(o.value(QStringLiteral("numbers")).toArray(), (QJsonArray{1, 2, 3}));

    cli.start(QStringLiteral(QV_CLI_PATH),
              {QStringLiteral("device-info"), QStringLiteral("--port"), QStringLiteral("/dev/no-such-kavo5")});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(cli.readAllStandardError()).trimmed().split(QStringLiteral("\r\n")),
              QStringList({QStringLiteral("CreateFile failed with error 2  ,/dev/no-such-kavo5."),
                           MissingPortAdvice(SystemPorts())}));

    Pty quiet; // a line where no logger ever answers
    cli.start(QStringLiteral(QV_CLI_PATH), {QStringLiteral("device-info"), QStringLiteral("--port"),
                                            quiet.path, QStringLiteral("--timeout"), QStringLiteral("0.5")});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(cli.readAllStandardError()).trimmed(),
              QStringLiteral("Communication error, no response from device"));
}
