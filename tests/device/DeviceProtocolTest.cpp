// The logger protocol against a scripted port, byte for byte.
#include "FakePort.h"
#include "support/ScriptedMessages.h"

#include "device/DeviceProtocol.h"

#include <gtest/gtest.h>

using namespace qv;
using qv::test::FakePort;
using qv::test::RecordingObserver;
using qv::test::ScriptedMessages;

namespace {

QByteArray bytesOf(const TDeviceConfig& c)
{
    return QByteArray(reinterpret_cast<const char*>(c.bytes.data()), kConfigSize);
}

QByteArray withChecksum(const QByteArray& payload, bool good = true)
{
    QByteArray f = payload;
    quint8 sum = FrameChecksum(reinterpret_cast<const quint8*>(payload.constData()),
                               static_cast<size_t>(payload.size()));
    f.append(static_cast<char>(good ? sum : sum ^ 0x01));
    return f;
}

QByteArray firmware(const char* text)
{
    QByteArray f(text);
    f.resize(kFirmwareSize, ' ');
    return f;
}

TDeviceConfig testConfig()
{
    TDeviceConfig c;
    for (int i = 0; i < kConfigSize; ++i)
        c.bytes[i] = static_cast<quint8>(i * 3 + 1);
    c.setChannelRecorded(1, true);
    c.setPeriod(10);
    return c;
}

// 264 bytes of data without any 0xFF.
QByteArray payload(int k)
{
    QByteArray p(kConfigSize, '\0');
    for (int i = 0; i < kConfigSize; ++i)
        p[i] = static_cast<char>((k * 7 + i) % 251);
    return p;
}

struct Rig {
    ScriptedMessages messages;
    FakePort port;
    RecordingObserver obs;
    DeviceProtocol proto{port, &obs};

    Rig()
    {
        // Nothing left to read: end the link loop (a data download fails
        // with "no response" first, as a silent line should make it).
        port.onEmpty = [this] { proto.setAbort(); };
    }

    // Port open, device identified, firmware and configuration read.
    void bringUp(const TDeviceConfig& c = testConfig(), const char* fw = "KAVO5 TEST 1.0")
    {
        port.feed("*F" + firmware(fw) + "R" + withChecksum(bytesOf(c)));
        EXPECT_TRUE(proto.openPort(QString()).ok);
        proto.runLinkLoop();
        ASSERT_TRUE(proto.configLoaded());
        port.written.clear();
        obs.status.clear();
    }

    // "D" answered with the given bytes.
    void download(const QByteArray& reply)
    {
        proto.readData();
        port.feed("D" + reply);
        proto.runLinkLoop();
    }

    bool disconnected() const { return obs.status.contains(QStringLiteral("Disconnected.")); }
};

} // namespace

// --- Connection and identification -------------------------------------------

TEST(DeviceProtocol, ConnectIdentifiesReadsFirmwareAndConfiguration)
{
    Rig r;
    const TDeviceConfig cfg = testConfig();
    r.port.feed("ab*F" + firmware("KAVO5 V2.3") + "R" + withChecksum(bytesOf(cfg)));
    EXPECT_TRUE(r.proto.connect(QString()));

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
    EXPECT_EQ(r.proto.memorySize(), 9000000);
    EXPECT_EQ(r.obs.progressMax, 9000000);
    EXPECT_TRUE(r.proto.configLoaded());
    EXPECT_EQ(r.proto.config(), cfg);
    EXPECT_TRUE(r.obs.configControls);
    EXPECT_TRUE(r.obs.buttons[DeviceButton::ReadData]);
    EXPECT_TRUE(r.obs.buttons[DeviceButton::Connect]);
    EXPECT_EQ(r.proto.currentCommand(), 0);
    // The loop ended: the port is closed, the device no longer identified.
    EXPECT_FALSE(r.proto.portOpen());
    EXPECT_FALSE(r.proto.identified());
    EXPECT_TRUE(r.proto.abortRequested());
    EXPECT_TRUE(r.messages.errors().isEmpty());
}

TEST(DeviceProtocol, OpenFailureGoesToTopLabelAndNothingRuns)
{
    Rig r;
    r.port.failure.message = QStringLiteral("CreateFile failed with error 2  ,COM7.\r\n");
    EXPECT_FALSE(r.proto.connect(QStringLiteral("COM7")));
    EXPECT_EQ(r.obs.topLabel, QStringList{r.port.failure.message});
    EXPECT_TRUE(r.obs.status.isEmpty());
    EXPECT_TRUE(r.port.written.isEmpty());
    EXPECT_TRUE(r.obs.lamps.empty());
}

TEST(DeviceProtocol, InitLabelGrowsADotPerByteAndRestartsAfterAHundred)
{
    Rig r;
    r.port.feed(QByteArray(100, 'x'));
    r.proto.openPort(QString());
    r.proto.runLinkLoop();
    EXPECT_EQ(r.obs.initLabel, QString(100, QLatin1Char('.')));
    r.port.feed("y");
    r.proto.runLinkLoop();
    EXPECT_EQ(r.obs.initLabel, QStringLiteral("."));
    EXPECT_FALSE(r.proto.identified());
    EXPECT_TRUE(r.port.written.isEmpty()); // noise is never answered
}

TEST(DeviceProtocol, FirmwareWithoutKavo5GivesTheSmallMemory)
{
    Rig r;
    r.port.feed("*F" + firmware("DOSK4 V1.0") + "R" + withChecksum(bytesOf(testConfig())));
    r.proto.openPort(QString());
    r.proto.runLinkLoop();
    EXPECT_EQ(r.proto.memorySize(), 540672);
    EXPECT_EQ(r.obs.progressMax, 540672);
    EXPECT_EQ(r.proto.firmwareText(), QStringLiteral("DOSK4 V1.0                "));
}

TEST(DeviceProtocol, RepliesToOtherCommandsAreIgnored)
{
    Rig r;
    r.bringUp();
    r.port.feed("FRED*"); // idle: no command waits for these
    r.proto.runLinkLoop();
    EXPECT_TRUE(r.port.written.isEmpty());
    EXPECT_TRUE(r.obs.status.isEmpty());
}

// --- Configuration ------------------------------------------------------------

TEST(DeviceProtocol, ConfigurationWithBadChecksumIsNotLoaded)
{
    Rig r;
    r.port.feed("*F" + firmware("KAVO5") + "R" + withChecksum(bytesOf(testConfig()), false));
    r.proto.openPort(QString());
    r.proto.runLinkLoop();
    EXPECT_EQ(r.messages.errors(), QStringList{QStringLiteral("Reading failed, CRC error.")});
    EXPECT_FALSE(r.proto.configLoaded());
    EXPECT_FALSE(r.obs.configControls);
    EXPECT_EQ(r.obs.configShown, 1);
    EXPECT_EQ(r.obs.status.last(), QStringLiteral("Config file reading finished."));
    EXPECT_TRUE(r.obs.buttons[DeviceButton::UploadCfg]);
}

TEST(DeviceProtocol, GarbledConfigurationLeavesTheLoadedRecordIntact)
{
    Rig r;
    const TDeviceConfig good = testConfig();
    r.bringUp(good);
    r.proto.downloadConfig();
    EXPECT_EQ(r.port.written, QByteArray("R"));
    TDeviceConfig garbled = good;
    garbled.bytes[30] = 0xEE;
    r.port.feed("R" + withChecksum(bytesOf(garbled), false));
    r.proto.runLinkLoop();
    EXPECT_EQ(r.messages.errors(), QStringList{QStringLiteral("Reading failed, CRC error.")});
    EXPECT_EQ(r.proto.config(), good);
}

TEST(DeviceProtocol, ConfigurationCutShortByAbort)
{
    Rig r;
    r.port.feed("*F" + firmware("KAVO5") + "R" + bytesOf(testConfig()).left(100));
    r.proto.openPort(QString());
    r.proto.runLinkLoop();
    EXPECT_EQ(r.messages.errors(), QStringList{QStringLiteral("Reading failed, only 100 bytes read.")});
    EXPECT_FALSE(r.proto.configLoaded());
}

TEST(DeviceProtocol, CommandsNeedAnOpenPortAndUploadALoadedConfiguration)
{
    Rig r;
    r.proto.requestConfig();
    r.proto.readData();
    r.proto.uploadConfig();
    r.proto.eraseMemory();
    EXPECT_EQ(r.messages.errors(), QStringList(4, QStringLiteral("Not connected.")));
    r.messages.clear();
    r.proto.openPort(QString());
    r.proto.uploadConfig();
    EXPECT_EQ(r.messages.errors(), QStringList{QStringLiteral("File not loaded.")});
    EXPECT_TRUE(r.port.written.isEmpty());
}

TEST(DeviceProtocol, UploadWritesTheRecordAndVerifiesTheReadBack)
{
    Rig r;
    r.bringUp();
    r.proto.config().setNumber(2, 4321);
    r.proto.config().setVoltageThreshold(9.9);
    const TDeviceConfig sent = r.proto.config();
    EXPECT_EQ(sent.voltageThresholdRaw(), 817);

    r.proto.uploadConfig();
    EXPECT_EQ(r.port.written, "W" + bytesOf(sent) + "R");
    EXPECT_EQ(r.proto.currentCommand(), 'W');
    EXPECT_FALSE(r.obs.buttons[DeviceButton::Close]);
    EXPECT_FALSE(r.obs.buttons[DeviceButton::ReadData]);

    r.port.feed("R" + withChecksum(bytesOf(sent)));
    r.proto.runLinkLoop();
    EXPECT_TRUE(r.messages.errors().isEmpty());
    EXPECT_EQ(r.obs.status, (QStringList{QStringLiteral("Config file writing started."),
                                         QStringLiteral("Config file writing finished."),
                                         QStringLiteral("Verifying config file."),
                                         QStringLiteral("Config file writing finished.")}));
    EXPECT_EQ(r.proto.verifyCopy(), sent);
    EXPECT_EQ(r.proto.currentCommand(), 0);
    EXPECT_TRUE(r.obs.buttons[DeviceButton::Close]);
}

TEST(DeviceProtocol, VerificationFailures)
{
    { // contents differ: reported, link stays up
        Rig r;
        r.bringUp();
        r.proto.uploadConfig();
        TDeviceConfig other = r.proto.config();
        other.bytes[200] ^= 0x10;
        r.port.feed("R" + withChecksum(bytesOf(other)));
        r.proto.runLinkLoop();
        EXPECT_EQ(r.messages.errors(), QStringList{QStringLiteral("Verifying config file failed.")});
        EXPECT_FALSE(r.disconnected());
        EXPECT_EQ(r.obs.status.last(), QStringLiteral("Config file writing finished."));
    }
    { // wrong check byte: disconnects
        Rig r;
        r.bringUp();
        r.proto.uploadConfig();
        r.port.feed("R" + withChecksum(bytesOf(r.proto.config()), false));
        r.proto.runLinkLoop();
        EXPECT_EQ(r.messages.errors(), QStringList{QStringLiteral("Config file reading failed, CRC error.")});
        EXPECT_TRUE(r.disconnected());
        EXPECT_EQ(r.obs.caption, QStringLiteral("Data Reading / Kavo5 - Disconnected"));
    }
    { // the device stops answering
        Rig r;
        r.bringUp();
        r.proto.uploadConfig();
        r.port.feed("R" + bytesOf(r.proto.config()).left(10));
        r.proto.runLinkLoop();
        EXPECT_EQ(r.messages.errors(),
                  QStringList{QStringLiteral("Communication error, no response from device")});
        EXPECT_TRUE(r.disconnected());
    }
}

TEST(DeviceProtocol, UploadReportsBytesThatCouldNotBeWritten)
{
    Rig r;
    r.bringUp();
    int n = 0;
    r.port.onWrite = [&](quint8) {
        if (++n == 101) // "W" and 100 bytes went out, then the port is gone
            r.port.close();
    };
    r.proto.uploadConfig();
    EXPECT_EQ(r.messages.errors(), QStringList{QStringLiteral("Only 100 bytes written.")});
}

// --- Erase ----------------------------------------------------------------------

TEST(DeviceProtocol, EraseAsksSendsEAndWaitsForTheSecondE)
{
    Rig r;
    r.bringUp();
    r.messages.queueAnswer(Answer::Yes);
    r.proto.eraseMemory();
    EXPECT_EQ(r.messages.questions(), QStringList{QStringLiteral("Erase memory?")});
    EXPECT_EQ(r.port.written, QByteArray("E"));
    EXPECT_FALSE(r.obs.buttons[DeviceButton::Close]);
    r.port.feed("EE");
    r.proto.runLinkLoop();
    EXPECT_EQ(r.obs.status, (QStringList{QStringLiteral("Erasing started, please wait."),
                                         QStringLiteral("Erasing finished.")}));
    EXPECT_EQ(r.proto.currentCommand(), 0);
    EXPECT_TRUE(r.obs.buttons[DeviceButton::Close]);
}

TEST(DeviceProtocol, EraseAnsweredWithAnotherByteOrDeclined)
{
    Rig r;
    r.bringUp();
    r.messages.queueAnswer(Answer::Yes);
    r.proto.eraseMemory();
    r.port.feed("EZ");
    r.proto.runLinkLoop();
    EXPECT_EQ(r.obs.status.last(), QStringLiteral("Command:E expected, but Z found"));
    EXPECT_TRUE(r.messages.errors().isEmpty());
    EXPECT_FALSE(r.disconnected());

    r.port.written.clear();
    r.messages.queueAnswer(Answer::No);
    r.proto.eraseMemory();
    EXPECT_TRUE(r.port.written.isEmpty());
}

// --- Data download ----------------------------------------------------------------

TEST(DeviceProtocol, DownloadAcknowledgesFramesAndStopsAtFiveFfInsideAFrame)
{
    Rig r;
    r.bringUp();
    QByteArray f0 = payload(0);
    f0.replace(0, 4, QByteArray(4, '\xFF')); // memory starts with a flight marker
    const QByteArray f1 = payload(1);
    QByteArray f2 = payload(2);
    f2.replace(20, 5, QByteArray(5, '\xFF'));
    r.download(withChecksum(f0) + "O" + withChecksum(f1) + "O" + withChecksum(f2));

    EXPECT_TRUE(r.messages.errors().isEmpty()) << r.messages.errors().join(';').toStdString();
    EXPECT_EQ(r.port.written, QByteArray("DOO"));
    const int total = 2 * 264 + 25;
    EXPECT_EQ(r.obs.downloads, 1);
    EXPECT_EQ(r.obs.downloaded, f0 + f1 + f2.left(25));
    EXPECT_EQ(r.proto.byteCount(), total);
    EXPECT_EQ(r.obs.endIndex, total - 1);
    EXPECT_EQ(r.proto.dataEndIndex(), total - 1);
    EXPECT_EQ(r.proto.usedMemory(), total - 1);
    EXPECT_EQ(r.obs.topLabel.last(), QStringLiteral("Data reading started."));
    EXPECT_EQ(r.obs.dataLabel.mid(1), (QStringList{QStringLiteral("Number of bytes read: 0"),
                                            QStringLiteral("Number of bytes read: 264"),
                                            QStringLiteral("Number of bytes read: 528"),
                                            QStringLiteral("Number of bytes read: 552")}));
    EXPECT_EQ(r.obs.progress, 528 + total % 1000);
    EXPECT_EQ(r.proto.currentCommand(), 0);
    EXPECT_FALSE(r.obs.busy);
    EXPECT_TRUE(r.obs.buttons[DeviceButton::Close]);
}

TEST(DeviceProtocol, EndOfDataAcrossAFrameBorder)
{
    Rig r;
    r.bringUp();
    QByteArray f0 = payload(0);
    f0.replace(261, 3, QByteArray(3, '\xFF'));
    QByteArray f1 = payload(1);
    f1.replace(0, 2, QByteArray(2, '\xFF'));
    r.download(withChecksum(f0) + "O" + withChecksum(f1));
    EXPECT_TRUE(r.messages.errors().isEmpty());
    EXPECT_EQ(r.obs.downloaded, f0 + f1.left(2));
}

TEST(DeviceProtocol, BadFrameIsAnsweredXAndNotCopied)
{
    Rig r;
    r.bringUp();
    const QByteArray f0 = payload(0);
    const QByteArray end(264, '\xFF');
    r.download(withChecksum(f0, false) + "X" + withChecksum(f0) + "O" + withChecksum(end));
    EXPECT_TRUE(r.messages.errors().isEmpty());
    EXPECT_EQ(r.port.written, QByteArray("DXO"));
    EXPECT_EQ(r.obs.downloaded, f0 + end.left(5));
}

TEST(DeviceProtocol, TenBadFramesInARowPassTheEleventhFails)
{
    const QByteArray f0 = payload(0);
    QByteArray tenBad;
    for (int i = 0; i < 10; ++i)
        tenBad += withChecksum(f0, false) + "X";
    const QByteArray end = withChecksum(QByteArray(264, '\xFF'));
    {
        Rig r;
        r.bringUp();
        r.download(tenBad + withChecksum(f0) + "O" + end);
        EXPECT_TRUE(r.messages.errors().isEmpty());
        EXPECT_EQ(r.port.written, "D" + QByteArray(10, 'X') + "O");
        EXPECT_EQ(r.obs.downloaded.left(264), f0);
    }
    {
        Rig r;
        r.bringUp();
        r.download(tenBad + withChecksum(f0, false) + "X");
        EXPECT_EQ(r.messages.errors(),
                  QStringList{QStringLiteral("Communication error, bad CRC more then 10 times.")});
        EXPECT_EQ(r.port.written, "D" + QByteArray(10, 'X')); // the eleventh is not answered
        EXPECT_EQ(r.obs.ending.Status, TDownloadEnd::Failed);
        EXPECT_TRUE(r.disconnected());
        EXPECT_TRUE(r.obs.buttons[DeviceButton::Close]); // the command still ends
    }
    { // a good frame starts the count again
        Rig r;
        r.bringUp();
        r.download(tenBad + withChecksum(f0) + "O" + tenBad + withChecksum(payload(1)) + "O" + end);
        EXPECT_TRUE(r.messages.errors().isEmpty());
        EXPECT_EQ(r.obs.downloaded.left(528), f0 + payload(1));
    }
}

TEST(DeviceProtocol, SilenceAndWrongEchoFailTheDownload)
{
    {
        Rig r;
        r.bringUp();
        r.download(payload(0).left(100));
        EXPECT_EQ(r.messages.errors(),
                  QStringList{QStringLiteral("Communication error, no response from device")});
        EXPECT_EQ(r.obs.ending.Status, TDownloadEnd::Failed);
        EXPECT_TRUE(r.disconnected());
        EXPECT_FALSE(r.obs.busy);
    }
    {
        Rig r;
        r.bringUp();
        r.download(withChecksum(payload(0)) + "X");
        EXPECT_EQ(r.messages.errors(), QStringList{QStringLiteral("Communication error")});
        EXPECT_EQ(r.port.written, QByteArray("DO"));
    }
    {
        Rig r;
        r.bringUp();
        r.download(withChecksum(payload(0))); // no echo at all
        EXPECT_EQ(r.messages.errors(), QStringList{QStringLiteral("Communication error")});
    }
}

TEST(DeviceProtocol, SaveFailureIsShownAndDisconnects)
{
    Rig r;
    r.bringUp();
    r.obs.downloadFailure = QStringLiteral("Cannot create /nowhere/");
    r.download(withChecksum(QByteArray(264, '\xFF')));
    EXPECT_EQ(r.obs.downloads, 1);
    EXPECT_EQ(r.obs.downloaded, QByteArray(5, '\xFF'));
    EXPECT_EQ(r.obs.dataLabel.last(), QStringLiteral("Number of bytes read: 0"));
    EXPECT_EQ(r.messages.errors(), QStringList{QStringLiteral("Cannot create /nowhere/")});
    EXPECT_TRUE(r.disconnected());
}

TEST(DeviceProtocol, AbortedDownloadKeepsOnlyAcceptedFrames)
{
    Rig r;
    r.bringUp();
    const QByteArray f0 = payload(0);
    const QByteArray f1 = payload(1);
    int given = 0;
    r.port.source = [&](quint8& b) {
        if (given == 100)
            r.proto.setAbort(); // Disconnect pressed while frame 1 comes in
        b = static_cast<quint8>(f1[given++ % 264]);
        return true;
    };
    r.download(withChecksum(f0) + "O");
    EXPECT_TRUE(r.messages.errors().isEmpty());
    EXPECT_EQ(r.obs.downloads, 1);
    EXPECT_EQ(r.obs.downloaded, f0); // the unfinished frame is not counted
    EXPECT_EQ(r.proto.byteCount(), 264);
}

// A download from a logger that sends good frames of payload(k) without
// end and echoes "O". Returns the bytes it sent.
long long downloadFromEndlessLogger(Rig& r, int k)
{
    const QByteArray frame = withChecksum(payload(k));
    long long sent = 0;
    r.port.source = [&](quint8& b) {
        if (r.obs.downloads > 0)
            return false; // quiet once the download has ended
        b = static_cast<quint8>(frame[static_cast<int>(sent++ % 265)]);
        return true;
    };
    r.port.onWrite = [&r](quint8 b) {
        if (b == 'O')
            r.port.input.push_back('O');
    };
    r.download(QByteArray());
    r.port.source = nullptr;
    return sent;
}

TEST(DeviceProtocol, FullMemoryEndsTheDownloadWithoutAnEndMarker)
{
    // The small memory (540672 bytes = 2048 frames), full to the last byte;
    // after it the logger sends nothing more.
    Rig r;
    r.bringUp(testConfig(), "OTHER 1.0");
    const long long sent = downloadFromEndlessLogger(r, 3);
    EXPECT_TRUE(r.messages.errors().isEmpty()) << r.messages.errors().join(';').toStdString();
    ASSERT_EQ(r.obs.downloads, 1);
    EXPECT_EQ(r.obs.ending.Status, TDownloadEnd::Complete);
    EXPECT_TRUE(r.obs.ending.MemoryFull);
    EXPECT_FALSE(r.obs.ending.EndMarker);
    EXPECT_EQ(r.proto.byteCount(), kMemorySizeOther);
    EXPECT_EQ(sent, 2048LL * 265); // not a byte more was waited for
    EXPECT_FALSE(r.disconnected());
}

TEST(DeviceProtocol, BytesPastTheMemorySizeAreCut)
{
    // The big memory is no whole number of frames: the last frame carries
    // 240 memory bytes and padding.
    Rig r;
    r.bringUp();
    downloadFromEndlessLogger(r, 4);
    ASSERT_EQ(r.obs.downloads, 1);
    EXPECT_TRUE(r.obs.ending.MemoryFull);
    EXPECT_EQ(r.obs.ending.ByteCount, kMemorySizeKavo5);
    EXPECT_EQ(r.obs.downloaded.right(240), payload(4).left(240));
}

TEST(DeviceProtocol, AFullImageIsTold)
{
    Rig r;
    r.bringUp();
    r.proto.setImageCapacity(1000); // three frames fit
    downloadFromEndlessLogger(r, 5);
    ASSERT_EQ(r.obs.downloads, 1);
    EXPECT_TRUE(r.obs.ending.ImageFull);
    EXPECT_EQ(r.obs.ending.Status, TDownloadEnd::Complete);
    EXPECT_EQ(r.obs.ending.ImageCapacity, 1000);
    EXPECT_EQ(r.proto.byteCount(), 3 * 264);
}

TEST(DeviceProtocol, FiveFfOfLineNoiseInAGarbledFrameDoNotEndTheData)
{
    Rig r;
    r.bringUp();
    const QByteArray f0 = payload(0);
    QByteArray noisy = payload(1);
    noisy.replace(100, 5, QByteArray(5, '\xFF'));
    QByteArray badCheck = withChecksum(payload(1)); // the check byte of the true frame
    const QByteArray garbled = noisy + badCheck.right(1);
    QByteArray last = payload(2);
    last.replace(50, 5, QByteArray(5, '\xFF'));
    r.download(withChecksum(f0) + "O" + garbled + "X" + withChecksum(payload(1)) + "O" + withChecksum(last));
    EXPECT_TRUE(r.messages.errors().isEmpty()) << r.messages.errors().join(';').toStdString();
    EXPECT_EQ(r.port.written, QByteArray("DOXO"));
    EXPECT_TRUE(r.obs.ending.EndMarker);
    EXPECT_EQ(r.obs.downloaded, f0 + payload(1) + last.left(55));
}

TEST(DeviceProtocol, FiveFfAndThenSilenceEndTheData)
{
    // The frame stops after the run: no more bytes within 100 ms.
    Rig r;
    r.bringUp();
    QByteArray f1 = payload(1);
    f1.replace(10, 5, QByteArray(5, '\xFF'));
    r.download(withChecksum(payload(0)) + "O" + f1.left(30));
    EXPECT_TRUE(r.messages.errors().isEmpty());
    EXPECT_TRUE(r.obs.ending.EndMarker);
    EXPECT_EQ(r.obs.downloaded, payload(0) + f1.left(15));
}

TEST(DeviceProtocol, FailureHandsOverTheAcceptedFramesAfterTheErrorBox)
{
    Rig r;
    r.bringUp();
    QStringList seenAtDownload;
    r.obs.onDownload = [&] { seenAtDownload = r.obs.status; };
    r.download(withChecksum(payload(0)) + "O" + withChecksum(payload(1)) + "O" + payload(2).left(100));
    EXPECT_EQ(r.messages.errors(), QStringList{QStringLiteral("Communication error, no response from device")});
    ASSERT_EQ(r.obs.downloads, 1);
    EXPECT_EQ(r.obs.ending.Status, TDownloadEnd::Failed);
    EXPECT_EQ(r.obs.ending.Error, QStringLiteral("Communication error, no response from device"));
    EXPECT_EQ(r.obs.downloaded, payload(0) + payload(1));
    EXPECT_EQ(r.obs.ending.Firmware, firmware("KAVO5 TEST 1.0"));
    EXPECT_TRUE(seenAtDownload.contains(QStringLiteral("Disconnected."))); // after the disconnect
}

TEST(DeviceConfig, FieldsAreBigEndianAtTheirOffsets)
{
    TDeviceConfig c;
    c.setPeriod(60000);
    c.setStartDelay(9999);
    c.setNumber(3, 0x1234);
    c.setChannelRecorded(5, true);
    c.setVoltageThreshold(-1);
    EXPECT_EQ(c.bytes[30], 0xEA);
    EXPECT_EQ(c.bytes[31], 0x60);
    EXPECT_EQ(c.bytes[52], 0x27);
    EXPECT_EQ(c.bytes[53], 0x0F);
    EXPECT_EQ(c.bytes[74], 0x12);
    EXPECT_EQ(c.bytes[75], 0x34);
    EXPECT_EQ(c.bytes[15], 1);
    EXPECT_EQ(c.recordedChannelCount(), 1);
    EXPECT_EQ(c.voltageThresholdRaw(), 0);
    c.setVoltageThreshold(6.0);
    EXPECT_EQ(c.voltageThresholdRaw(), 500);
    const quint8 x[] = {0x12, 0x34, 0x56};
    EXPECT_EQ(FrameChecksum(x, 3), 0x12 ^ 0x34 ^ 0x56);
}
