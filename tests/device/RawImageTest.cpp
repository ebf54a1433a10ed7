// Kept memory images and their pruning, the messages after a download that
// ended early or overflowed the image, and the write time-out of the port.
#include "device/DownloadSaver.h"
#include "device/RawImageStore.h"
#include "device/SerialPort.h"
#include "device/SimMemory.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace qv;
using qv::test::ScriptedMessages;
using qv::test::TempDir;

namespace {

void makeImage(const QString& path, int bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(bytes, 'x'));
}

QStringList names(const QStringList& paths)
{
    QStringList out;
    for (const QString& p : paths)
        out << QFileInfo(p).fileName();
    return out;
}

} // namespace

TEST(RawImageStore, KeepsImageAndFirmwareUnderDateAndTime)
{
    TempDir tmp;
    const QString folder = tmp.file(QStringLiteral("images"));
    TRawImageStore store(folder);
    const quint8 bytes[] = {1, 2, 0xFF, 3};
    QString error;
    const QString first = store.Keep(bytes, 4, QByteArray("KAVO5 X 1.0      \0\0", 19), error);
    ASSERT_FALSE(first.isEmpty()) << error.toStdString();
    EXPECT_TRUE(QFileInfo(first).fileName().contains(QRegularExpression(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d(_\\d\\d)?\\.bin$"))));
    EXPECT_EQ(qv::test::ReadAll(first), QByteArray("\x01\x02\xFF\x03", 4));
    QString text = first;
    text.replace(QStringLiteral(".bin"), QStringLiteral(".txt"));
    EXPECT_EQ(qv::test::ReadAll(text), QByteArray("KAVO5 X 1.0      \n"));
    // A second image in the same second gets a name of its own, after the first.
    const QString second = store.Keep(bytes, 2, QByteArray(), error);
    EXPECT_NE(second, first);
    EXPECT_EQ(store.Images(), (QStringList{first, second}));

    // Without the variable: the program's data location, whatever the
    // running tool is called.
    const QByteArray variable = qgetenv(kRawImageDirVariable);
    qunsetenv(kRawImageDirVariable);
    const QString programs = TRawImageStore::DefaultFolder();
    EXPECT_TRUE(programs.endsWith(QStringLiteral("/Quorvel/images"))) << programs.toStdString();
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-cli"));
    EXPECT_EQ(TRawImageStore::DefaultFolder(), programs);
    QCoreApplication::setApplicationName(name);
    qputenv(kRawImageDirVariable, variable);
    EXPECT_EQ(TRawImageStore().Folder(), QString::fromLocal8Bit(variable));

    // A folder that cannot be made is told, not ignored.
    TRawImageStore bad(first + QStringLiteral("/sub"));
    EXPECT_TRUE(bad.Keep(bytes, 4, QByteArray(), error).isEmpty());
    EXPECT_EQ(error, QStringLiteral("Cannot create ") + first + QStringLiteral("/sub"));
}

TEST(RawImageStore, PrunesOnlyBeyondCountAndSize)
{
    TempDir tmp;
    for (int i = 1; i <= 5; ++i)
        makeImage(tmp.file(QStringLiteral("2026-01-0%1_10-00-00.bin").arg(i)), 400 * 1024);
    // Within both limits nothing goes.
    EXPECT_EQ(TRawImageStore(tmp.path(), {5, 2}).Prune(), 0);
    // Count: the newest three stay.
    EXPECT_EQ(TRawImageStore(tmp.path(), {3, 100}).Prune(), 2);
    EXPECT_EQ(names(TRawImageStore(tmp.path()).Images()),
              (QStringList{QStringLiteral("2026-01-03_10-00-00.bin"), QStringLiteral("2026-01-04_10-00-00.bin"),
                           QStringLiteral("2026-01-05_10-00-00.bin")}));
    // Size: 1 MB holds two of them.
    EXPECT_EQ(TRawImageStore(tmp.path(), {50, 1}).Prune(), 1);
    EXPECT_EQ(TRawImageStore(tmp.path()).Images().size(), 2);
    // The newest is kept even when it alone is over the limit.
    makeImage(tmp.file(QStringLiteral("2026-01-09_10-00-00.bin")), 1536 * 1024);
    TRawImageStore(tmp.path(), {50, 1}).Prune();
    EXPECT_EQ(names(TRawImageStore(tmp.path()).Images()), QStringList{QStringLiteral("2026-01-09_10-00-00.bin")});

    EXPECT_EQ(TRawImageLimit::FromText(QStringLiteral("20,300")), (TRawImageLimit{20, 300}));
    EXPECT_EQ(TRawImageLimit::FromText(QStringLiteral("abc")), TRawImageLimit{});
    EXPECT_EQ(TRawImageLimit::FromText(QStringLiteral("7")), (TRawImageLimit{7, 1024}));
    EXPECT_EQ(TRawImageLimit::FromText(QStringLiteral("0,-5")), TRawImageLimit{});
    EXPECT_EQ(TRawImageLimit{}.ToText(), QStringLiteral("50,1024"));
}

TEST(FinishDownload, EndingsAndTheirMessages)
{
    TempDir tmp;
    sim::FlightShape shape;
    shape.samples = 30;
    std::vector<quint8> m = sim::BuildMemory(2, shape, 1);
    TSaveOptions o;
    o.Root = tmp.file(QStringLiteral("Data"));
    o.ImageFolder = tmp.file(QStringLiteral("images"));
    o.AskBeforeOverwrite = false;
    TDownloadEnd end;
    end.Image = m.data();
    end.ByteCount = static_cast<int>(m.size());
    end.Firmware = "KAVO5";

    { // The image ran full: the final box says so.
        ScriptedMessages msgs;
        TFlightSaver saver(msgs);
        end.ImageFull = true;
        end.ImageCapacity = 1000;
        const TDownloadResult r = saver.FinishDownload(end, o);
        EXPECT_EQ(r.Save.Written, 2);
        EXPECT_EQ(msgs.Informations(),
                  QStringList{QStringLiteral("2 files succesfully written.\nThe logger sent more than the memory image "
                                             "holds (1000 bytes); the rest was not read.")});
        EXPECT_FALSE(r.RawImage.isEmpty());
        end.ImageFull = false;
    }
    { // Aborted: the complete flights are saved and the image is named.
        ScriptedMessages msgs;
        TFlightSaver saver(msgs);
        end.Status = TDownloadEnd::Aborted;
        end.ByteCount = 300; // inside the second flight (flights of 198 bytes)
        const TDownloadResult r = saver.FinishDownload(end, o);
        EXPECT_EQ(r.Save.Written, 1);
        EXPECT_EQ(msgs.Informations(), QStringList{QStringLiteral("1 file succesfully written.\n")
                                                   + RawImageKeptText(300, r.RawImage)});
    }
    { // Failed with one complete flight, asked, and a folder that cannot be made.
        ScriptedMessages msgs;
        msgs.QueueAnswer(Answer::Yes);
        TFlightSaver saver(msgs);
        end.Status = TDownloadEnd::Failed;
        TSaveOptions bad = o;
        bad.Root = tmp.file(QStringLiteral("f"));
        ASSERT_TRUE(qv::test::WriteAll(bad.Root, "file, not folder"));
        bad.Root += QStringLiteral("/x");
        const TDownloadResult r = saver.FinishDownload(end, bad);
        EXPECT_EQ(msgs.Questions(), QStringList{QStringLiteral("Save the 1 complete flight received before the error?")});
        EXPECT_EQ(r.Save.Status, TSaveResult::FolderFailed);
        EXPECT_TRUE(r.Save.Error.startsWith(QStringLiteral("Cannot create ")));
    }
    { // Nothing received: nothing kept, nothing shown.
        ScriptedMessages msgs;
        TFlightSaver saver(msgs);
        end.ByteCount = 0;
        const TDownloadResult r = saver.FinishDownload(end, o);
        EXPECT_TRUE(r.RawImage.isEmpty());
        EXPECT_TRUE(msgs.Texts().isEmpty());
    }
}

TEST(PosixSerialPort, AStalledLineTimesTheWriteOut)
{
    // Nobody reads the other side of the terminal: its queue fills and a
    // write must give up instead of holding the program.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(QString::fromLocal8Bit(::ptsname(master))).ok);
    int written = 0;
    int result = 1;
    while (written < 4 * 1024 * 1024 && (result = port.WriteByte(0x55)) == 1)
        ++written;
    EXPECT_EQ(result, 0);
    EXPECT_GT(written, 0);
    EXPECT_TRUE(port.IsOpen());
    port.Close();
    ::close(master);
}
