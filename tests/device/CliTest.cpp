// quorvel-cli split and download as a user runs them.
#include "device/SimMemory.h"
#include "support/TempDir.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

using qv::test::TempDir;

namespace {

struct CliRun {
    int code = -1;
    QString out, err;
};

CliRun cli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QV_CLI_PATH), args);
    p.closeWriteChannel(); // questions read end of input: No
    CliRun r;
    if (!p.waitForFinished(60000)) {
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

} // namespace

TEST(CliSplit, SavesTheFlightsOfAnImageFile)
{
    TempDir tmp;
    qv::sim::FlightShape shape;
    shape.samples = 20;
    const std::vector<quint8> mem = qv::sim::BuildMemory(2, shape, 3);
    const QString image = tmp.file(QStringLiteral("memory.bin"));
    ASSERT_TRUE(qv::test::WriteAll(image, QByteArray(reinterpret_cast<const char*>(mem.data()), int(mem.size()))));
    const QString root = tmp.file(QStringLiteral("out"));

    CliRun r = cli({QStringLiteral("split"), image, QStringLiteral("--root"), root, QStringLiteral("--name"),
                 QStringLiteral("Flug0012.kdf")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("2 files succesfully written.\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Data reading finished (2 blocks read.)")));
    EXPECT_EQ(kdf(root), (QStringList{QStringLiteral("Flug012.kdf"), QStringLiteral("Flug013.kdf")}));

    // Again: the question is answered No at the end of input; nothing written.
    r = cli({QStringLiteral("split"), image, QStringLiteral("--root"), root, QStringLiteral("--name"),
             QStringLiteral("Flug0012.kdf")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QStringLiteral("0 files succesfully written.\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Filename ") + root + QStringLiteral("/Flug012.kdf already exists. Rewrite?")));

    // A root that cannot be made fails with the folder's text.
    r = cli({QStringLiteral("split"), image, QStringLiteral("--root"), image + QStringLiteral("/x")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Cannot create ") + image + QStringLiteral("/x/")));

    r = cli({QStringLiteral("split"), tmp.file(QStringLiteral("missing.bin"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Error in reading file.")));
}

TEST(CliDownload, ReadsTheSimulatedLogger)
{
    TempDir tmp;
    QProcess sim;
    sim.start(QStringLiteral(KAVO5_SIM_PATH),
              {QStringLiteral("--baud"), QStringLiteral("0"), QStringLiteral("--exit-on-stdin-eof"),
               QStringLiteral("--flights"), QStringLiteral("2"), QStringLiteral("--samples"), QStringLiteral("100")});
    ASSERT_TRUE(sim.waitForStarted(5000) && sim.waitForReadyRead(5000));
    const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();
    const QString root = tmp.file(QStringLiteral("Data"));

    CliRun r = cli({QStringLiteral("download"), QStringLiteral("--port"), port, QStringLiteral("--root"), root,
                 QStringLiteral("--timeout"), QStringLiteral("20")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("2 files succesfully written.\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Connected to Kavo5")));
    EXPECT_EQ(kdf(root), (QStringList{QStringLiteral("Block001.kdf"), QStringLiteral("Block002.kdf")}));

    // Yes to all: the same two files again, no question left open.
    r = cli({QStringLiteral("download"), QStringLiteral("--port"), port, QStringLiteral("--root"), root,
             QStringLiteral("--overwrite"), QStringLiteral("all")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("2 files succesfully written.\n"));

    sim.closeWriteChannel();
    if (!sim.waitForFinished(3000))
        sim.kill();
    sim.waitForFinished(3000);

    r = cli({QStringLiteral("download"), QStringLiteral("--port"), tmp.file(QStringLiteral("noport"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("CreateFile failed with error 2  ,")));
}
