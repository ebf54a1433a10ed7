// The data download against a scripted port, byte for byte: frames and
// their acknowledgement, the end of the data, a full memory or image, and
// what a failure hands over.
#include "ProtocolRig.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

// --- Data download ----------------------------------------------------------------

TEST(DeviceProtocol, DownloadAcknowledgesFramesAndStopsAtFiveFfInsideAFrame)
{
    Rig r;
    r.BringUp();
    QByteArray f0 = Payload(0);
    f0.replace(0, 4, QByteArray(4, '\xFF')); // memory starts with a flight marker
    const QByteArray f1 = Payload(1);
    QByteArray f2 = Payload(2);
    f2.replace(20, 5, QByteArray(5, '\xFF'));
    r.Download(WithChecksum(f0) + "O" + WithChecksum(f1) + "O" + WithChecksum(f2));

    EXPECT_TRUE(r.messages.Errors().isEmpty()) << r.messages.Errors().join(';').toStdString();
    EXPECT_EQ(r.port.written, QByteArray("DOO"));
    const int total = 2 * 264 + 25;
    EXPECT_EQ(r.obs.downloads, 1);
    EXPECT_EQ(r.obs.downloaded, f0 + f1 + f2.left(25));
    EXPECT_EQ(r.proto.ByteCount(), total);
    EXPECT_EQ(r.obs.endIndex, total - 1);
    EXPECT_EQ(r.proto.DataEndIndex(), total - 1);
    EXPECT_EQ(r.proto.UsedMemory(), total - 1);
    EXPECT_EQ(r.obs.topLabel.last(), QStringLiteral("Data reading started."));
    EXPECT_EQ(r.obs.dataLabel.mid(1), (QStringList{QStringLiteral("Number of bytes read: 0"),
                                            QStringLiteral("Number of bytes read: 264"),
                                            QStringLiteral("Number of bytes read: 528"),
                                            QStringLiteral("Number of bytes read: 552")}));
    EXPECT_EQ(r.obs.progress, 528 + total % 1000);
    EXPECT_EQ(r.proto.CurrentCommand(), 0);
    EXPECT_FALSE(r.obs.busy);
    EXPECT_TRUE(r.obs.buttons[DeviceButton::Close]);
}

TEST(DeviceProtocol, EndOfDataAcrossAFrameBorder)
{
    Rig r;
    r.BringUp();
    QByteArray f0 = Payload(0);
    f0.replace(261, 3, QByteArray(3, '\xFF'));
    QByteArray f1 = Payload(1);
    f1.replace(0, 2, QByteArray(2, '\xFF'));
    r.Download(WithChecksum(f0) + "O" + WithChecksum(f1));
    EXPECT_TRUE(r.messages.Errors().isEmpty());
    EXPECT_EQ(r.obs.downloaded, f0 + f1.left(2));
}

TEST(DeviceProtocol, BadFrameIsAnsweredXAndNotCopied)
{
    Rig r;
    r.BringUp();
    const QByteArray f0 = Payload(0);
    const QByteArray end(264, '\xFF');
    r.Download(WithChecksum(f0, false) + "X" + WithChecksum(f0) + "O" + WithChecksum(end));
    EXPECT_TRUE(r.messages.Errors().isEmpty());
    EXPECT_EQ(r.port.written, QByteArray("DXO"));
    EXPECT_EQ(r.obs.downloaded, f0 + end.left(5));
}

TEST(DeviceProtocol, TenBadFramesInARowPassTheEleventhFails)
{
    const QByteArray f0 = Payload(0);
    QByteArray tenBad;
    for (int i = 0; i < 10; ++i)
        tenBad += WithChecksum(f0, false) + "X";
    const QByteArray end = WithChecksum(QByteArray(264, '\xFF'));
    {
        Rig r;
        r.BringUp();
        r.Download(tenBad + WithChecksum(f0) + "O" + end);
        EXPECT_TRUE(r.messages.Errors().isEmpty());
        EXPECT_EQ(r.port.written, "D" + QByteArray(10, 'X') + "O");
        EXPECT_EQ(r.obs.downloaded.left(264), f0);
    }
    {
        Rig r;
        r.BringUp();
        r.Download(tenBad + WithChecksum(f0, false) + "X");
        EXPECT_EQ(r.messages.Errors(),
                  QStringList{QStringLiteral("Communication error, bad CRC more then 10 times.")});
        EXPECT_EQ(r.port.written, "D" + QByteArray(10, 'X')); // the eleventh is not answered
        EXPECT_EQ(r.obs.ending.Status, TDownloadEnd::Failed);
        EXPECT_TRUE(r.Disconnected());
        EXPECT_TRUE(r.obs.buttons[DeviceButton::Close]); // the command still ends
    }
    { // a good frame starts the count again
        Rig r;
        r.BringUp();
        r.Download(tenBad + WithChecksum(f0) + "O" + tenBad + WithChecksum(Payload(1)) + "O" + end);
        EXPECT_TRUE(r.messages.Errors().isEmpty());
        EXPECT_EQ(r.obs.downloaded.left(528), f0 + Payload(1));
    }
}

TEST(DeviceProtocol, SilenceAndWrongEchoFailTheDownload)
{
    {
        Rig r;
        r.BringUp();
        r.Download(Payload(0).left(100));
        EXPECT_EQ(r.messages.Errors(),
                  QStringList{QStringLiteral("Communication error, no response from device")});
        EXPECT_EQ(r.obs.ending.Status, TDownloadEnd::Failed);
        EXPECT_TRUE(r.Disconnected());
        EXPECT_FALSE(r.obs.busy);
    }
    {
        Rig r;
        r.BringUp();
        r.Download(WithChecksum(Payload(0)) + "X");
        EXPECT_EQ(r.messages.Errors(), QStringList{QStringLiteral("Communication error")});
        EXPECT_EQ(r.port.written, QByteArray("DO"));
    }
    {
        Rig r;
        r.BringUp();
        r.Download(WithChecksum(Payload(0))); // no echo at all
        EXPECT_EQ(r.messages.Errors(), QStringList{QStringLiteral("Communication error")});
    }
}

TEST(DeviceProtocol, SaveFailureIsShownAndDisconnects)
{
    Rig r;
    r.BringUp();
    r.obs.downloadFailure = QStringLiteral("Cannot create /nowhere/");
    r.Download(WithChecksum(QByteArray(264, '\xFF')));
    EXPECT_EQ(r.obs.downloads, 1);
    EXPECT_EQ(r.obs.downloaded, QByteArray(5, '\xFF'));
    EXPECT_EQ(r.obs.dataLabel.last(), QStringLiteral("Number of bytes read: 0"));
    EXPECT_EQ(r.messages.Errors(), QStringList{QStringLiteral("Cannot create /nowhere/")});
    EXPECT_TRUE(r.Disconnected());
}

TEST(DeviceProtocol, AbortedDownloadKeepsOnlyAcceptedFrames)
{
    Rig r;
    r.BringUp();
    const QByteArray f0 = Payload(0);
    const QByteArray f1 = Payload(1);
    int given = 0;
    r.port.source = [&](quint8& b) {
        if (given == 100)
            r.proto.SetAbort(); // Disconnect pressed while frame 1 comes in
        b = static_cast<quint8>(f1[given++ % 264]);
        return true;
    };
    r.Download(WithChecksum(f0) + "O");
    EXPECT_TRUE(r.messages.Errors().isEmpty());
    EXPECT_EQ(r.obs.downloads, 1);
    EXPECT_EQ(r.obs.downloaded, f0); // the unfinished frame is not counted
    EXPECT_EQ(r.proto.ByteCount(), 264);
}

namespace {

// A download from a logger that sends good frames of Payload(k) without
// end and echoes "O". Returns the bytes it sent.
long long downloadFromEndlessLogger(Rig& r, int k)
{
    const QByteArray frame = WithChecksum(Payload(k));
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
    r.Download(QByteArray());
    r.port.source = nullptr;
    return sent;
}

} // namespace

TEST(DeviceProtocol, FullMemoryEndsTheDownloadWithoutAnEndMarker)
{
    // The small memory (540672 bytes = 2048 frames), full to the last byte;
    // after it the logger sends nothing more.
    Rig r;
    r.BringUp(TestConfig(), "OTHER 1.0");
    const long long sent = downloadFromEndlessLogger(r, 3);
    EXPECT_TRUE(r.messages.Errors().isEmpty()) << r.messages.Errors().join(';').toStdString();
    ASSERT_EQ(r.obs.downloads, 1);
    EXPECT_EQ(r.obs.ending.Status, TDownloadEnd::Complete);
    EXPECT_TRUE(r.obs.ending.MemoryFull);
    EXPECT_FALSE(r.obs.ending.EndMarker);
    EXPECT_EQ(r.proto.ByteCount(), kMemorySizeOther);
    EXPECT_EQ(sent, 2048LL * 265); // not a byte more was waited for
    EXPECT_FALSE(r.Disconnected());
}

TEST(DeviceProtocol, BytesPastTheMemorySizeAreCut)
{
    // The big memory is no whole number of frames: the last frame carries
    // 240 memory bytes and padding.
    Rig r;
    r.BringUp();
    downloadFromEndlessLogger(r, 4);
    ASSERT_EQ(r.obs.downloads, 1);
    EXPECT_TRUE(r.obs.ending.MemoryFull);
    EXPECT_EQ(r.obs.ending.ByteCount, kMemorySizeKavo5);
    EXPECT_EQ(r.obs.downloaded.right(240), Payload(4).left(240));
}

TEST(DeviceProtocol, AFullImageIsTold)
{
    Rig r;
    r.BringUp();
    r.proto.SetImageCapacity(1000); // three frames fit
    downloadFromEndlessLogger(r, 5);
    ASSERT_EQ(r.obs.downloads, 1);
    EXPECT_TRUE(r.obs.ending.ImageFull);
    EXPECT_EQ(r.obs.ending.Status, TDownloadEnd::Complete);
    EXPECT_EQ(r.obs.ending.ImageCapacity, 1000);
    EXPECT_EQ(r.proto.ByteCount(), 3 * 264);
}

TEST(DeviceProtocol, FiveFfOfLineNoiseInAGarbledFrameDoNotEndTheData)
{
    Rig r;
    r.BringUp();
    const QByteArray f0 = Payload(0);
    QByteArray noisy = Payload(1);
    noisy.replace(100, 5, QByteArray(5, '\xFF'));
    QByteArray badCheck = WithChecksum(Payload(1)); // the check byte of the true frame
    const QByteArray garbled = noisy + badCheck.right(1);
    QByteArray last = Payload(2);
    last.replace(50, 5, QByteArray(5, '\xFF'));
    r.Download(WithChecksum(f0) + "O" + garbled + "X" + WithChecksum(Payload(1)) + "O" + WithChecksum(last));
    EXPECT_TRUE(r.messages.Errors().isEmpty()) << r.messages.Errors().join(';').toStdString();
    EXPECT_EQ(r.port.written, QByteArray("DOXO"));
    EXPECT_TRUE(r.obs.ending.EndMarker);
    EXPECT_EQ(r.obs.downloaded, f0 + Payload(1) + last.left(55));
}

TEST(DeviceProtocol, FiveFfAndThenSilenceEndTheData)
{
    // The frame stops after the run: no more bytes within 100 ms.
    Rig r;
    r.BringUp();
    QByteArray f1 = Payload(1);
    f1.replace(10, 5, QByteArray(5, '\xFF'));
    r.Download(WithChecksum(Payload(0)) + "O" + f1.left(30));
    EXPECT_TRUE(r.messages.Errors().isEmpty());
    EXPECT_TRUE(r.obs.ending.EndMarker);
    EXPECT_EQ(r.obs.downloaded, Payload(0) + f1.left(15));
}

TEST(DeviceProtocol, FailureHandsOverTheAcceptedFramesAfterTheErrorBox)
{
    Rig r;
    r.BringUp();
    QStringList seenAtDownload;
    r.obs.onDownload = [&] { seenAtDownload = r.obs.status; };
    r.Download(WithChecksum(Payload(0)) + "O" + WithChecksum(Payload(1)) + "O" + Payload(2).left(100));
    EXPECT_EQ(r.messages.Errors(), QStringList{QStringLiteral("Communication error, no response from device")});
    ASSERT_EQ(r.obs.downloads, 1);
    EXPECT_EQ(r.obs.ending.Status, TDownloadEnd::Failed);
    EXPECT_EQ(r.obs.ending.Error, QStringLiteral("Communication error, no response from device"));
    EXPECT_EQ(r.obs.downloaded, Payload(0) + Payload(1));
    EXPECT_EQ(r.obs.ending.Firmware, Firmware("KAVO5 TEST 1.0"));
    EXPECT_TRUE(seenAtDownload.contains(QStringLiteral("Disconnected."))); // after the disconnect
}

