// What the user is told when the serial port does not open: the group to
// join on permission denied, the system's ports when the port is missing.
#include "FakePort.h"
#include "ProtocolRig.h"
#include "device/PortAdvice.h"
#include "device/SerialPort.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

using namespace qv;
using namespace qv::test;

TEST(PortAdvice, Texts)
{
    EXPECT_EQ(PermissionAdvice("dialout", "pilot"),
              "The port belongs to the group \"dialout\": join it with \"sudo usermod -aG dialout pilot\", "
              "then log out and in again.");
    EXPECT_EQ(PermissionAdvice("root", "pilot"), "Only the administrator may open this port.");
    EXPECT_EQ(MissingPortAdvice({}), "This system has no serial ports.");
    EXPECT_EQ(MissingPortAdvice({{"/dev/ttyS0", "/dev/ttyS0"},
                                 {"/dev/ttyUSB0", PortCaption("/dev/ttyUSB0", "FT232R USB UART", "FTDI")}}),
              "Serial ports of this system: /dev/ttyS0; /dev/ttyUSB0 - FT232R USB UART (FTDI).");
    EXPECT_EQ(PortCaption("/dev/ttyACM0", "", "Arduino"), "/dev/ttyACM0 - Arduino");
    EXPECT_EQ(PortCaption("/dev/ttyACM0", "", ""), "/dev/ttyACM0");
    EXPECT_TRUE(PortOpenAdvice("/dev/ttyUSB0", EBUSY).isEmpty());
}

TEST(PortAdvice, FollowsTheOpenFailureOnALineOfItsOwn)
{
    // A device of the group "dialout", as the system makes serial ports.
    TempDir dir;
    const QString device = dir.file("ttyUSB0");
    ASSERT_TRUE(WriteAll(device, QByteArray()));
    const group* dialout = ::getgrnam("dialout");
    if (!dialout || ::chown(device.toLocal8Bit().constData(), static_cast<uid_t>(-1), dialout->gr_gid) != 0)
        GTEST_SKIP() << "cannot give a file to the group dialout here";
    const QString user = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);

    Rig r;
    r.port.failure.message = QStringLiteral("CreateFile failed with error 13  ,%1.\r\n").arg(device);
    r.port.failure.errorCode = EACCES;
    EXPECT_FALSE(r.proto.Connect(device));
    EXPECT_EQ(r.obs.topLabel, QStringList{r.port.failure.message + PermissionAdvice("dialout", user)});

    // A port that is not there: the real open, then the ports there are.
    PosixSerialPort port;
    RecordingObserver obs;
    DeviceProtocol proto(port, &obs);
    EXPECT_FALSE(proto.Connect(dir.file("ttyGone")));
    ASSERT_EQ(obs.topLabel.size(), 1);
    const QStringList lines = obs.topLabel.first().split("\r\n");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "CreateFile failed with error 2  ," + dir.file("ttyGone") + ".");
    EXPECT_EQ(lines[1], MissingPortAdvice(SystemPorts()));
}

} // namespace
