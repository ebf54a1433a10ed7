// The logger protocol against a scripted port, byte for byte.
#include "FakePort.h"
#include "ProtocolRig.h"
#include "support/ScriptedMessages.h"

#include "device/DeviceProtocol.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;


// --- Connection and identification -------------------------------------------

TEST(DeviceProtocol, ConnectIdentifiesReadsFirmwareAndConfiguration)
{
    Rig r;
    const TDeviceConfig cfg = TestConfig();
    r.port.Feed("ab*F" + Firmware("KAVO5 V2.3") + "R" + WithChecksum(BytesOf(cfg)));
    EXPECT_TRUE(r.proto.Connect(QString()));

    EXPECT_EQ(r.port.openedNames, QStringList{QStringLiteral("COM1")});
    EXPECT_EQ(r.port.written, QByteArray("**FR"));
    EXPECT_EQ(r.obs.status, (QStringList{QStringLiteral("Waiting for Kavo5 at COM1"),
                                         QStringLiteral("Connected to Kavo5"),
                                         QStringLiteral("Reading firmware finished."),
                                         QStringLiteral("Config file reading finished.")}));
    EXPECT_EQ(r.obs.caption, QStringLiteral("Data Reading / Kavo5 - Connected"));
    EXPECT_EQ(r.obs.lamps, (std::vector<DeviceLamp>{DeviceLamp::Yellow, DeviceLamp::Green,
                                                     DeviceLamp::Red}));
    EXPECT_TRUE(r.obs.initLabel.isEmpty());
    EXPECT_EQ(r.obs.dataLabel.value(0), QStringLiteral("Number of bytes read: 0"));
    EXPECT_EQ(r.obs.firmwareLabel, QStringLiteral("KAVO5 V2.3                "));
    EXPECT_EQ(r.proto.MemorySize(), 9000000);
    EXPECT_EQ(r.obs.progressMax, 9000000);
    EXPECT_TRUE(r.proto.ConfigLoaded());
    EXPECT_EQ(r.proto.Config(), cfg);
    EXPECT_TRUE(r.obs.configControls);
    EXPECT_TRUE(r.obs.buttons[DeviceButton::ReadData]);
    EXPECT_TRUE(r.obs.buttons[DeviceButton::Connect]);
    EXPECT_EQ(r.proto.CurrentCommand(), 0);
    // The loop ended: the port is closed, the device no longer identified.
    EXPECT_FALSE(r.proto.PortOpen());
    EXPECT_FALSE(r.proto.Identified());
    EXPECT_TRUE(r.proto.AbortRequested());
    EXPECT_TRUE(r.messages.Errors().isEmpty());
}

TEST(DeviceProtocol, OpenFailureGoesToTopLabelAndNothingRuns)
{
    Rig r;
    r.port.failure.message = QStringLiteral("CreateFile failed with error 2  ,COM7.\r\n");
    EXPECT_FALSE(r.proto.Connect(QStringLiteral("COM7")));
    EXPECT_EQ(r.obs.topLabel, QStringList{r.port.failure.message});
    EXPECT_TRUE(r.obs.status.isEmpty());
    EXPECT_TRUE(r.port.written.isEmpty());
    EXPECT_TRUE(r.obs.lamps.empty());
}

TEST(DeviceProtocol, InitLabelGrowsADotPerByteAndRestartsAfterAHundred)
{
    Rig r;
    r.port.Feed(QByteArray(100, 'x'));
    r.proto.OpenPort(QString());
    r.proto.RunLinkLoop();
    EXPECT_EQ(r.obs.initLabel, QString(100, QLatin1Char('.')));
    r.port.Feed("y");
    r.proto.RunLinkLoop();
    EXPECT_EQ(r.obs.initLabel, QStringLiteral("."));
    EXPECT_FALSE(r.proto.Identified());
    EXPECT_TRUE(r.port.written.isEmpty()); // noise is never answered
}

TEST(DeviceProtocol, FirmwareWithoutKavo5GivesTheSmallMemory)
{
    Rig r;
    r.port.Feed("*F" + Firmware("DOSK4 V1.0") + "R" + WithChecksum(BytesOf(TestConfig())));
    r.proto.OpenPort(QString());
    r.proto.RunLinkLoop();
    EXPECT_EQ(r.proto.MemorySize(), 540672);
    EXPECT_EQ(r.obs.progressMax, 540672);
    EXPECT_EQ(r.proto.FirmwareText(), QStringLiteral("DOSK4 V1.0                "));
}

TEST(DeviceProtocol, RepliesToOtherCommandsAreIgnored)
{
    Rig r;
    r.BringUp();
    r.port.Feed("FRED*"); // idle: no command waits for these
    r.proto.RunLinkLoop();
    EXPECT_TRUE(r.port.written.isEmpty());
    EXPECT_TRUE(r.obs.status.isEmpty());
}

// --- Configuration ------------------------------------------------------------

TEST(DeviceProtocol, ConfigurationWithBadChecksumIsNotLoaded)
{
    Rig r;
    r.port.Feed("*F" + Firmware("KAVO5") + "R" + WithChecksum(BytesOf(TestConfig()), false));
    r.proto.OpenPort(QString());
    r.proto.RunLinkLoop();
    EXPECT_EQ(r.messages.Errors(), QStringList{QStringLiteral("Reading failed, CRC error.")});
    EXPECT_FALSE(r.proto.ConfigLoaded());
    EXPECT_FALSE(r.obs.configControls);
    EXPECT_EQ(r.obs.configShown, 1);
    EXPECT_EQ(r.obs.status.last(), QStringLiteral("Config file reading finished."));
    EXPECT_TRUE(r.obs.buttons[DeviceButton::UploadCfg]);
}

TEST(DeviceProtocol, GarbledConfigurationLeavesTheLoadedRecordIntact)
{
    Rig r;
    const TDeviceConfig good = TestConfig();
    r.BringUp(good);
    r.proto.DownloadConfig();
    EXPECT_EQ(r.port.written, QByteArray("R"));
    TDeviceConfig garbled = good;
    garbled.bytes[30] = 0xEE;
    r.port.Feed("R" + WithChecksum(BytesOf(garbled), false));
    r.proto.RunLinkLoop();
    EXPECT_EQ(r.messages.Errors(), QStringList{QStringLiteral("Reading failed, CRC error.")});
    EXPECT_EQ(r.proto.Config(), good);
}

TEST(DeviceProtocol, ConfigurationCutShortByAbort)
{
    Rig r;
    r.port.Feed("*F" + Firmware("KAVO5") + "R" + BytesOf(TestConfig()).left(100));
    r.proto.OpenPort(QString());
    r.proto.RunLinkLoop();
    EXPECT_EQ(r.messages.Errors(), QStringList{QStringLiteral("Reading failed, only 100 bytes read.")});
    EXPECT_FALSE(r.proto.ConfigLoaded());
}

TEST(DeviceProtocol, CommandsNeedAnOpenPortAndUploadALoadedConfiguration)
{
    Rig r;
    r.proto.RequestConfig();
    r.proto.ReadData();
    r.proto.UploadConfig();
    r.proto.EraseMemory();
    EXPECT_EQ(r.messages.Errors(), QStringList(4, QStringLiteral("Not connected.")));
    r.messages.Clear();
    r.proto.OpenPort(QString());
    r.proto.UploadConfig();
    EXPECT_EQ(r.messages.Errors(), QStringList{QStringLiteral("File not loaded.")});
    EXPECT_TRUE(r.port.written.isEmpty());
}

TEST(DeviceProtocol, UploadWritesTheRecordAndVerifiesTheReadBack)
{
    Rig r;
    r.BringUp();
    r.proto.Config().SetNumber(2, 4321);
    r.proto.Config().SetVoltageThreshold(9.9);
    const TDeviceConfig sent = r.proto.Config();
    EXPECT_EQ(sent.VoltageThresholdRaw(), 817);

    r.proto.UploadConfig();
    EXPECT_EQ(r.port.written, "W" + BytesOf(sent) + "R");
    EXPECT_EQ(r.proto.CurrentCommand(), 'W');
    EXPECT_FALSE(r.obs.buttons[DeviceButton::Close]);
    EXPECT_FALSE(r.obs.buttons[DeviceButton::ReadData]);

    r.port.Feed("R" + WithChecksum(BytesOf(sent)));
    r.proto.RunLinkLoop();
    EXPECT_TRUE(r.messages.Errors().isEmpty());
    EXPECT_EQ(r.obs.status, (QStringList{QStringLiteral("Config file writing started."),
                                         QStringLiteral("Config file writing finished."),
                                         QStringLiteral("Verifying config file."),
                                         QStringLiteral("Config file writing finished.")}));
    EXPECT_EQ(r.proto.VerifyCopy(), sent);
    EXPECT_EQ(r.proto.CurrentCommand(), 0);
    EXPECT_TRUE(r.obs.buttons[DeviceButton::Close]);
}

TEST(DeviceProtocol, VerificationFailures)
{
    { // contents differ: reported, link stays up
        Rig r;
        r.BringUp();
        r.proto.UploadConfig();
        TDeviceConfig other = r.proto.Config();
        other.bytes[200] ^= 0x10;
        r.port.Feed("R" + WithChecksum(BytesOf(other)));
        r.proto.RunLinkLoop();
        EXPECT_EQ(r.messages.Errors(), QStringList{QStringLiteral("Verifying config file failed.")});
        EXPECT_FALSE(r.Disconnected());
        EXPECT_EQ(r.obs.status.last(), QStringLiteral("Config file writing finished."));
    }
    { // wrong check byte: disconnects
        Rig r;
        r.BringUp();
        r.proto.UploadConfig();
        r.port.Feed("R" + WithChecksum(BytesOf(r.proto.Config()), false));
        r.proto.RunLinkLoop();
        EXPECT_EQ(r.messages.Errors(), QStringList{QStringLiteral("Config file reading failed, CRC error.")});
        EXPECT_TRUE(r.Disconnected());
        EXPECT_EQ(r.obs.caption, QStringLiteral("Data Reading / Kavo5 - Disconnected"));
    }
    { // the device stops answering
        Rig r;
        r.BringUp();
        r.proto.UploadConfig();
        r.port.Feed("R" + BytesOf(r.proto.Config()).left(10));
        r.proto.RunLinkLoop();
        EXPECT_EQ(r.messages.Errors(),
                  QStringList{QStringLiteral("Communication error, no response from device")});
        EXPECT_TRUE(r.Disconnected());
    }
}

TEST(DeviceProtocol, UploadReportsBytesThatCouldNotBeWritten)
{
    Rig r;
    r.BringUp();
    int n = 0;
    r.port.onWrite = [&](quint8) {
        if (++n == 101) // "W" and 100 bytes went out, then the port is gone
            r.port.Close();
    };
    r.proto.UploadConfig();
    EXPECT_EQ(r.messages.Errors(), QStringList{QStringLiteral("Only 100 bytes written.")});
}

// --- Erase ----------------------------------------------------------------------

TEST(DeviceProtocol, EraseAsksSendsEAndWaitsForTheSecondE)
{
    Rig r;
    r.BringUp();
    r.messages.QueueAnswer(Answer::Yes);
    r.proto.EraseMemory();
    EXPECT_EQ(r.messages.Questions(), QStringList{QStringLiteral("Erase memory?")});
    EXPECT_EQ(r.port.written, QByteArray("E"));
    EXPECT_FALSE(r.obs.buttons[DeviceButton::Close]);
    r.port.Feed("EE");
    r.proto.RunLinkLoop();
    EXPECT_EQ(r.obs.status, (QStringList{QStringLiteral("Erasing started, please wait."),
                                         QStringLiteral("Erasing finished.")}));
    EXPECT_EQ(r.proto.CurrentCommand(), 0);
    EXPECT_TRUE(r.obs.buttons[DeviceButton::Close]);
}

TEST(DeviceProtocol, EraseAnsweredWithAnotherByteOrDeclined)
{
    Rig r;
    r.BringUp();
    r.messages.QueueAnswer(Answer::Yes);
    r.proto.EraseMemory();
    r.port.Feed("EZ");
    r.proto.RunLinkLoop();
    EXPECT_EQ(r.obs.status.last(), QStringLiteral("Command:E expected, but Z found"));
    EXPECT_TRUE(r.messages.Errors().isEmpty());
    EXPECT_FALSE(r.Disconnected());

    r.port.written.clear();
    r.messages.QueueAnswer(Answer::No);
    r.proto.EraseMemory();
    EXPECT_TRUE(r.port.written.isEmpty());
}

TEST(DeviceConfig, FieldsAreBigEndianAtTheirOffsets)
{
    TDeviceConfig c;
    c.SetPeriod(60000);
    c.SetStartDelay(9999);
    c.SetNumber(3, 0x1234);
    c.SetChannelRecorded(5, true);
    c.SetVoltageThreshold(-1);
    EXPECT_EQ(c.bytes[30], 0xEA);
    EXPECT_EQ(c.bytes[31], 0x60);
    EXPECT_EQ(c.bytes[52], 0x27);
    EXPECT_EQ(c.bytes[53], 0x0F);
    EXPECT_EQ(c.bytes[74], 0x12);
    EXPECT_EQ(c.bytes[75], 0x34);
    EXPECT_EQ(c.bytes[15], 1);
    EXPECT_EQ(c.RecordedChannelCount(), 1);
    EXPECT_EQ(c.VoltageThresholdRaw(), 0);
    c.SetVoltageThreshold(6.0);
    EXPECT_EQ(c.VoltageThresholdRaw(), 500);
    const quint8 x[] = {0x12, 0x34, 0x56};
    EXPECT_EQ(FrameChecksum(x, 3), 0x12 ^ 0x34 ^ 0x56);
}
