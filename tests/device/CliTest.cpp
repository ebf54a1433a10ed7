// quorvel-cli split and download as a user runs them, against image files
// and the simulated logger with its faults.
#include "SimProcess.h"
#include "data/DataFile.h"
#include "device/DeviceConfig.h"
#include "device/SimMemory.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

using qv::test::SimProcess;
using qv::test::TempDir;

namespace {

struct CliRun {
    int code = -1;
    QString out, err;
};

// Runs quorvel-cli without a terminal on stdin; raw images go to imageDir.
// A run that has not ended after waitMs is killed (code -1).
CliRun cli(const QStringList& args, const QString& imageDir, int waitMs = 60000)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVEL_IMAGE_DIR"), imageDir);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QV_CLI_PATH), args);
    p.closeWriteChannel();
    CliRun r;
    if (!p.waitForFinished(waitMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QStringList kdf(const QString& dir) { return QDir(dir).entryList({QStringLiteral("*.kdf")}, QDir::Files, QDir::Name); }

QStringList images(const QString& dir)
{
    return QDir(dir).entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name);
}

int samplesIn(const QString& path)
{
    qv::test::ScriptedMessages msgs;
    qv::TDataBlock rec;
    return qv::ReadDataFile(path, rec, msgs);
}

QByteArray BytesOf(const std::vector<quint8>& m)
{
    return QByteArray(reinterpret_cast<const char*>(m.data()), static_cast<int>(m.size()));
}

const QString kAll = QStringLiteral("all");

} // namespace

TEST(CliSplit, SavesTheFlightsOfAnImageFile)
{
    TempDir tmp;
    qv::sim::FlightShape shape;
    shape.samples = 20;
    const QString image = tmp.file(QStringLiteral("memory.bin"));
    ASSERT_TRUE(qv::test::WriteAll(image, BytesOf(qv::sim::BuildMemory(2, shape, 3))));
    const QString root = tmp.file(QStringLiteral("out"));
    const QString raw = tmp.file(QStringLiteral("raw"));
    auto split = [&](QStringList extra) {
        return cli(QStringList{QStringLiteral("split"), image, QStringLiteral("--root"), root, QStringLiteral("--name"),
                               QStringLiteral("Flug0012.kdf")} + extra, raw);
    };

    CliRun r = split({QStringLiteral("--overwrite"), kAll});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("2 files succesfully written.\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Data reading finished (2 blocks read.)")));
    EXPECT_EQ(kdf(root), (QStringList{QStringLiteral("Flug012.kdf"), QStringLiteral("Flug013.kdf")}));

    // Nobody can answer the question without a terminal: refused at once.
    r = split({});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(r.err.trimmed(),
              QStringLiteral("--overwrite ask needs a terminal to answer on; choose --overwrite yes|no|all"));

    // "No": saving stops, nothing written, and that is no success.
    r = split({QStringLiteral("--overwrite"), QStringLiteral("no")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, QStringLiteral("0 files succesfully written.\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Filename ") + root + QStringLiteral("/Flug012.kdf already exists. Rewrite? no")));

    // A root that cannot be made fails with the folder's text.
    r = cli({QStringLiteral("split"), image, QStringLiteral("--overwrite"), kAll, QStringLiteral("--root"),
             image + QStringLiteral("/x")}, raw);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Cannot create ") + image + QStringLiteral("/x/")));

    r = cli({QStringLiteral("split"), tmp.file(QStringLiteral("missing.bin")), QStringLiteral("--overwrite"), kAll}, raw);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Error in reading file.")));

    // A name with control characters never reaches a file name.
    r = cli({QStringLiteral("split"), image, QStringLiteral("--overwrite"), kAll, QStringLiteral("--root"), root,
             QStringLiteral("--name"), QStringLiteral("Fl\tug\n")}, raw);
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("control characters"))) << r.err.toStdString();
    EXPECT_EQ(kdf(root).size(), 2);

    r = cli({QStringLiteral("split"), image, QStringLiteral("--bogus")}, raw);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.trimmed(), QStringLiteral("unknown argument --bogus"));
    r = cli({QStringLiteral("split"), image, QStringLiteral("--root")}, raw);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.trimmed(), QStringLiteral("missing value after --root"));
}

TEST(CliSplit, AWholeMemoryDumpEndsWithTheFlightThatFilledIt)
{
    TempDir tmp;
    qv::sim::FlightShape shape;
    const std::vector<quint8> mem = qv::sim::BuildFullMemory(qv::kMemorySizeOther, 3, shape, 1);
    const QString image = tmp.file(QStringLiteral("dump.bin"));
    ASSERT_TRUE(qv::test::WriteAll(image, BytesOf(mem)));
    const QString root = tmp.file(QStringLiteral("out"));
    const CliRun r = cli({QStringLiteral("split"), image, QStringLiteral("--root"), root, QStringLiteral("--overwrite"),
                          kAll}, tmp.file(QStringLiteral("raw")));
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("3 files succesfully written.\n"));
    ASSERT_EQ(kdf(root).size(), 3);
    EXPECT_GT(samplesIn(root + QStringLiteral("/Block003.kdf")), 20000);
}

TEST(CliDownload, ReadsTheSimulatedLoggerAndKeepsTheImage)
{
    TempDir tmp;
    SimProcess sim({QStringLiteral("--flights"), QStringLiteral("2"), QStringLiteral("--samples"),
                    QStringLiteral("100"), QStringLiteral("--firmware"), QStringLiteral("KAVO5 CLI 2")});
    ASSERT_FALSE(sim.path.isEmpty());
    const QString root = tmp.file(QStringLiteral("Data"));
    const QString raw = tmp.file(QStringLiteral("raw"));

    CliRun r = cli({QStringLiteral("download"), QStringLiteral("--port"), sim.path, QStringLiteral("--root"), root,
                    QStringLiteral("--timeout"), QStringLiteral("20"), QStringLiteral("--overwrite"), kAll}, raw);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("2 files succesfully written.\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Connected to Kavo5")));
    EXPECT_EQ(kdf(root), (QStringList{QStringLiteral("Block001.kdf"), QStringLiteral("Block002.kdf")}));
    ASSERT_EQ(images(raw).size(), 1);
    const QString kept = QDir(raw).filePath(images(raw).first());
    EXPECT_TRUE(r.err.contains(QStringLiteral("Memory image kept in ") + kept));
    qv::sim::FlightShape shape;
    shape.samples = 100;
    const QByteArray memory = BytesOf(qv::sim::BuildMemory(2, shape, 1));
    EXPECT_EQ(qv::test::ReadAll(kept), memory.left(memory.size() - 3)); // up to the fifth 0xFF
    QString firmware = kept;
    firmware.replace(QStringLiteral(".bin"), QStringLiteral(".txt"));
    EXPECT_TRUE(qv::test::ReadAll(firmware).startsWith("KAVO5 CLI 2"));

    // The kept image splits into the same files.
    const QString again = tmp.file(QStringLiteral("Again"));
    r = cli({QStringLiteral("split"), kept, QStringLiteral("--root"), again, QStringLiteral("--overwrite"), kAll}, raw);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(kdf(again), kdf(root));
    EXPECT_EQ(samplesIn(again + QStringLiteral("/Block002.kdf")), 100);

    // Asking without a terminal is refused before the port is touched.
    r = cli({QStringLiteral("download"), QStringLiteral("--port"), sim.path, QStringLiteral("--root"), root}, raw);
    EXPECT_EQ(r.code, 2);
    EXPECT_FALSE(r.err.contains(QStringLiteral("Connected")));

    r = cli({QStringLiteral("download"), QStringLiteral("--port"), tmp.file(QStringLiteral("noport")),
             QStringLiteral("--overwrite"), kAll}, raw);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("CreateFile failed with error 2  ,")));
}

TEST(CliDownload, HangUpAtTheLastFrameSavesTheCompleteFlights)
{
    // Five flights of 3618 bytes: 69 frames. The line drops after 68.
    qv::sim::FlightShape shape;
    const QByteArray memory = BytesOf(qv::sim::BuildMemory(5, shape, 1));
    const int received = 68 * 264;
    for (const QString& partial : {QStringLiteral("save"), QStringLiteral("discard")}) {
        SCOPED_TRACE(partial.toStdString());
        TempDir tmp;
        SimProcess sim({QStringLiteral("--flights"), QStringLiteral("5"), QStringLiteral("--hangup-after"),
                        QStringLiteral("68")});
        ASSERT_FALSE(sim.path.isEmpty());
        const QString root = tmp.file(QStringLiteral("Data"));
        const QString raw = tmp.file(QStringLiteral("raw"));
        const CliRun r = cli({QStringLiteral("download"), QStringLiteral("--port"), sim.path, QStringLiteral("--root"),
                              root, QStringLiteral("--overwrite"), kAll, QStringLiteral("--partial"), partial}, raw);
        EXPECT_EQ(r.code, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("Communication error, no response from device")));
        ASSERT_EQ(images(raw).size(), 1);
        const QString kept = QDir(raw).filePath(images(raw).first());
        EXPECT_EQ(qv::test::ReadAll(kept), memory.left(received));
        const QString keptText = QStringLiteral("Everything received (%1 bytes) is kept in %2.").arg(received).arg(kept);
        if (partial == QLatin1String("save")) {
            EXPECT_EQ(kdf(root), (QStringList{QStringLiteral("Block001.kdf"), QStringLiteral("Block002.kdf"),
                                              QStringLiteral("Block003.kdf"), QStringLiteral("Block004.kdf")}));
            EXPECT_EQ(r.out, QStringLiteral("4 files succesfully written.\n") + keptText + QLatin1Char('\n'));
            EXPECT_EQ(samplesIn(root + QStringLiteral("/Block004.kdf")), shape.samples);
        } else {
            EXPECT_TRUE(kdf(root).isEmpty());
            EXPECT_EQ(r.out, keptText + QLatin1Char('\n'));
        }
    }
}

TEST(CliDownload, HostileLoggerFaults)
{
    struct Case {
        QStringList args;
        QStringList files;
        QString out;
    };
    const QStringList three{QStringLiteral("Block001.kdf"), QStringLiteral("Block002.kdf"),
                            QStringLiteral("Block003.kdf")};
    const std::vector<Case> cases = {
        // Noise of five 0xFF in a frame with a wrong check byte: answered
        // "X", the frame comes again and nothing is lost.
        {{QStringLiteral("--noise-ff"), QStringLiteral("5")}, three, QStringLiteral("3 files succesfully written.\n")},
        // Full to the last byte, no end marker after it.
        {{QStringLiteral("--full-memory"), QStringLiteral("--firmware"), QStringLiteral("OTHER 1.0")},
         three, QStringLiteral("3 files succesfully written.\n")},
        // A flight of odd length and one with a header only.
        {{QStringLiteral("--odd-flight"), QStringLiteral("0"), QStringLiteral("--empty-flight"), QStringLiteral("1")},
         three, QStringLiteral("3 files succesfully written.\n1 of them holds no samples.\n")},
        // A garbled configuration does not keep the flights on the logger.
        {{QStringLiteral("--bad-config")}, three, QStringLiteral("3 files succesfully written.\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        TempDir tmp;
        SimProcess sim(QStringList{QStringLiteral("--flights"), QStringLiteral("3"), QStringLiteral("--samples"),
                                   QStringLiteral("300")} + c.args);
        ASSERT_FALSE(sim.path.isEmpty());
        const QString root = tmp.file(QStringLiteral("Data"));
        const CliRun r = cli({QStringLiteral("download"), QStringLiteral("--port"), sim.path, QStringLiteral("--root"),
                              root, QStringLiteral("--overwrite"), kAll}, tmp.file(QStringLiteral("raw")));
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(kdf(root), c.files);
        if (c.args.contains(QStringLiteral("--full-memory"))) {
            EXPECT_GT(samplesIn(root + QStringLiteral("/Block003.kdf")), 20000);
        } else if (c.args.contains(QStringLiteral("--empty-flight"))) {
            EXPECT_EQ(samplesIn(root + QStringLiteral("/Block001.kdf")), 300); // the stray byte is no sample
            EXPECT_EQ(samplesIn(root + QStringLiteral("/Block002.kdf")), 0);
            EXPECT_EQ(samplesIn(root + QStringLiteral("/Block003.kdf")), 300);
        } else {
            for (const QString& f : c.files)
                EXPECT_EQ(samplesIn(root + QLatin1Char('/') + f), 300) << f.toStdString();
        }
        if (c.args.contains(QStringLiteral("--bad-config")))
            EXPECT_TRUE(r.err.contains(QStringLiteral("Reading failed, CRC error.")));
    }
}

TEST(CliDownload, TheTimeOutCountsBytesAndJunkAloneTimesOut)
{
    TempDir tmp;
    const QString root = tmp.file(QStringLiteral("Data"));
    const QString raw = tmp.file(QStringLiteral("raw"));
    auto download = [&](const QString& port) {
        return cli({QStringLiteral("download"), QStringLiteral("--port"), port, QStringLiteral("--root"), root,
                    QStringLiteral("--timeout"), QStringLiteral("1"), QStringLiteral("--overwrite"), kAll},
                   raw, 20000);
    };
    { // A slow line: every byte 6 ms after the one before, so the 266 bytes
      // of the configuration take longer than the time-out.
        SimProcess sim({QStringLiteral("--byte-ms"), QStringLiteral("6"), QStringLiteral("--flights"),
                        QStringLiteral("1"), QStringLiteral("--samples"), QStringLiteral("20")});
        ASSERT_FALSE(sim.path.isEmpty());
        const CliRun r = download(sim.path);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("1 file succesfully written.\n"));
        EXPECT_EQ(samplesIn(root + QStringLiteral("/Block001.kdf")), 20);
    }
    { // Nothing but junk, without pause: the same time-out ends it.
        SimProcess sim({QStringLiteral("--junk-flood")});
        ASSERT_FALSE(sim.path.isEmpty());
        const CliRun r = download(sim.path);
        EXPECT_EQ(r.code, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("Communication error, no response from device\n"
                                                  "Only line noise came for 1 s ("))) << r.err.toStdString();
    }
}

TEST(CliDownload, AMemoryOfZeroFramesIsNoFlight)
{
    TempDir tmp;
    const QString zeros = tmp.file(QStringLiteral("zeros.bin"));
    ASSERT_TRUE(qv::test::WriteAll(zeros, QByteArray(qv::kMemorySizeOther, '\0')));
    SimProcess sim({QStringLiteral("--image"), zeros, QStringLiteral("--full-memory"), QStringLiteral("--firmware"),
                    QStringLiteral("OTHER 1.0")});
    ASSERT_FALSE(sim.path.isEmpty());
    const QString root = tmp.file(QStringLiteral("Data"));
    const QString raw = tmp.file(QStringLiteral("raw"));
    CliRun r = cli({QStringLiteral("download"), QStringLiteral("--port"), sim.path, QStringLiteral("--root"), root,
                    QStringLiteral("--overwrite"), kAll}, raw);
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    ASSERT_EQ(images(raw).size(), 1);
    const QString kept = QDir(raw).filePath(images(raw).first());
    EXPECT_EQ(qv::test::ReadAll(kept).size(), qv::kMemorySizeOther);
    EXPECT_TRUE(r.err.contains(QStringLiteral("The memory image holds no flight.\nEverything received (%1 bytes) is "
                                              "kept in %2.").arg(qv::kMemorySizeOther).arg(kept)))
        << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(root));

    // Split again, the kept image is no flight either.
    r = cli({QStringLiteral("split"), kept, QStringLiteral("--root"), root, QStringLiteral("--overwrite"), kAll}, raw);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QStringLiteral("Data reading finished (0 blocks read.)\nThe memory image holds no flight.\n"));
    EXPECT_FALSE(QFileInfo::exists(root));
}
