// What the device dialog saves when a download goes wrong, and the split of
// a kept memory image, driven through the dialog against the simulated
// logger.
#include "DialogDrive.h"
#include "SimProcess.h"
#include "device/DoskComUnit.h"
#include "device/SimMemory.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace qv;
using qv::test::Drive;
using qv::test::ScriptedMessages;
using qv::test::SimProcess;
using qv::test::TempDir;

namespace {

QStringList kdf(const QString& dir) { return QDir(dir).entryList({QStringLiteral("*.kdf")}, QDir::Files, QDir::Name); }

// Raw images go to their own folder for each test.
struct ImageFolder {
    TempDir dir;
    QByteArray old = qgetenv("QUORVEL_IMAGE_DIR");
    ImageFolder() { qputenv("QUORVEL_IMAGE_DIR", dir.path().toLocal8Bit()); }
    ~ImageFolder() { qputenv("QUORVEL_IMAGE_DIR", old); }
    QStringList images() const
    {
        QStringList out;
        for (const QString& n : QDir(dir.path()).entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name))
            out << QDir(dir.path()).filePath(n);
        return out;
    }
};

// Connects, reads the data once and lets the download end however it ends
// (a failure ends the link by itself); `ended` runs once it has, before
// the dialog disconnects. Returns whether the data were asked.
bool ReadOnce(TDoskComForm& form, const std::function<void()>& ended = {})
{
    bool started = false;
    Drive(form, [&] {
        DeviceProtocol& p = form.Protocol();
        auto* data = form.findChild<QPushButton*>(QStringLiteral("DataButton"));
        if (!started && p.ConfigLoaded() && !p.CommandInProgress() && data->isEnabled()) {
            started = true;
            data->click();
            return false;
        }
        if (!started || p.CommandInProgress())
            return false;
        if (ended)
            ended();
        return true;
    });
    return started;
}

} // namespace

TEST(DeviceDialogRescue, HangUpAtTheLastFrameOffersTheCompleteFlights)
{
    // Five flights in 69 frames; the line drops after 68 (99 %).
    sim::FlightShape shape;
    const std::vector<quint8> memory = sim::BuildMemory(5, shape, 1);
    const int received = 68 * 264;
    for (const Answer answer : {Answer::Yes, Answer::No}) {
        SCOPED_TRACE(answer == Answer::Yes ? "Yes" : "No");
        ImageFolder images;
        SimProcess sim({QStringLiteral("--flights"), QStringLiteral("5"), QStringLiteral("--hangup-after"),
                        QStringLiteral("68")});
        ASSERT_FALSE(sim.path.isEmpty());
        ScriptedMessages msgs;
        msgs.QueueAnswer(answer);
        TempDir tmp;
        TDoskComForm form;
        const QString root = tmp.file(QStringLiteral("Data"));
        qv::test::ShowOn(form, sim.path, root);
        ASSERT_TRUE(ReadOnce(form));

        ASSERT_EQ(images.images().size(), 1);
        const QString kept = images.images().first();
        EXPECT_EQ(qv::test::ReadAll(kept), QByteArray(reinterpret_cast<const char*>(memory.data()), received));
        const QString keptText =
            QStringLiteral("Everything received (%1 bytes) is kept in %2.").arg(received).arg(kept);
        // The error box first, then the question, then what was saved.
        const std::vector<qv::test::Shown>& shown = msgs.Shown();
        ASSERT_EQ(shown.size(), 3u);
        EXPECT_EQ(shown[0].text, QStringLiteral("Communication error, no response from device"));
        EXPECT_EQ(shown[1].text, QStringLiteral("Save the 4 complete flights received before the error?"));
        if (answer == Answer::Yes) {
            EXPECT_EQ(kdf(root), (QStringList{QStringLiteral("Blok001.kdf"), QStringLiteral("Blok002.kdf"),
                                                QStringLiteral("Blok003.kdf"), QStringLiteral("Blok004.kdf")}));
            EXPECT_EQ(shown[2].text, QStringLiteral("4 files succesfully written.\n") + keptText);
        } else {
            EXPECT_TRUE(kdf(root).isEmpty());
            EXPECT_EQ(shown[2].text, keptText);
        }
        EXPECT_FALSE(form.Protocol().PortOpen());
    }
}

TEST(DeviceDialogRescue, NoCompleteFlightMeansNoQuestion)
{
    ImageFolder images;
    SimProcess sim({QStringLiteral("--flights"), QStringLiteral("1"), QStringLiteral("--samples"),
                    QStringLiteral("2000"), QStringLiteral("--wrong-echo"), QStringLiteral("3")});
    ASSERT_FALSE(sim.path.isEmpty());
    ScriptedMessages msgs;
    TempDir tmp;
    TDoskComForm form;
    qv::test::ShowOn(form, sim.path, tmp.path());
    ASSERT_TRUE(ReadOnce(form));
    ASSERT_EQ(images.images().size(), 1);
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Communication error")});
    EXPECT_TRUE(msgs.Questions().isEmpty());
    EXPECT_EQ(msgs.Informations(),
              QStringList{QStringLiteral("Everything received (1056 bytes) is kept in %1.").arg(images.images().first())});
    EXPECT_TRUE(kdf(tmp.path()).isEmpty());
}

TEST(DeviceDialogRescue, SplitMemoryImageSavesLikeADownload)
{
    TempDir tmp;
    sim::FlightShape shape;
    shape.samples = 40;
    std::vector<quint8> memory = sim::BuildMemory(2, shape, 7);
    const QString image = tmp.file(QStringLiteral("dump.bin"));
    ASSERT_TRUE(qv::test::WriteAll(image, QByteArray(reinterpret_cast<const char*>(memory.data()),
                                                     static_cast<int>(memory.size()))));
    ScriptedMessages msgs;
    TDoskComForm form;
    TDeviceSettings s;
    s.Root = tmp.file(QStringLiteral("Data"));
    s.DefFileName = QStringLiteral("Flug0012.kdf");
    form.SetSettings(s);

    msgs.QueueFileName(image);
    form.SplitMemoryImage();
    EXPECT_EQ(kdf(s.Root), (QStringList{QStringLiteral("Flug012.kdf"), QStringLiteral("Flug013.kdf")}));
    EXPECT_EQ(msgs.Informations(), QStringList{QStringLiteral("2 files succesfully written.")});

    // Again: the overwrite question; No stops.
    msgs.Clear();
    msgs.QueueFileName(image);
    msgs.QueueAnswer(Answer::No);
    form.SplitMemoryImage();
    EXPECT_EQ(msgs.Questions(), QStringList{QStringLiteral("Filename ") + s.Root
                                            + QStringLiteral("/Flug012.kdf already exists. Rewrite?")});
    EXPECT_EQ(msgs.Informations(), QStringList{QStringLiteral("0 files succesfully written.")});

    // A cancelled dialog does nothing; an unreadable file says so.
    msgs.Clear();
    msgs.QueueFileName(QString());
    form.SplitMemoryImage();
    EXPECT_TRUE(msgs.Informations().isEmpty());
    msgs.QueueFileName(tmp.file(QStringLiteral("missing.bin")));
    form.SplitMemoryImage();
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Error in reading file.")});
}

TEST(DeviceDialogRescue, ZeroFramesAreNoFlightAndTheLinkStays)
{
    ImageFolder images;
    TempDir tmp;
    // Ten frames of zero bytes, then the erased rest of the memory.
    const QString zeros = tmp.file(QStringLiteral("zeros.bin"));
    ASSERT_TRUE(qv::test::WriteAll(zeros, QByteArray(10 * kConfigSize, '\0')));
    SimProcess sim({QStringLiteral("--image"), zeros});
    ASSERT_FALSE(sim.path.isEmpty());
    ScriptedMessages msgs;
    TDoskComForm form;
    const QString root = tmp.file(QStringLiteral("Data"));
    qv::test::ShowOn(form, sim.path, root);
    bool connectedAfter = false;
    ASSERT_TRUE(ReadOnce(form, [&] {
        connectedAfter = form.Protocol().PortOpen() && form.Protocol().Identified()
            && form.findChild<QPushButton*>(QStringLiteral("DataButton"))->isEnabled();
    }));
    ASSERT_EQ(images.images().size(), 1);
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("The memory image holds no flight.\n")
                                         + QStringLiteral("Everything received (%1 bytes) is kept in %2.")
                                               .arg(10 * kConfigSize + 5)
                                               .arg(images.images().first())});
    EXPECT_TRUE(msgs.Informations().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_TRUE(connectedAfter);
}
