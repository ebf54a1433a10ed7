// Downloads and kept images onto a disk that fills up: nothing is cut off
// and nothing that failed is called a success.
#include "data/DataFile.h"
#include "device/RawImageStore.h"
#include "device/SimMemory.h"
#include "support/CliRun.h"
#include "support/ScriptedMessages.h"
#include "support/SmallDisk.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

TEST(FullDisk, SplitStopsAtTheFileThatDidNotFitAndFails)
{
    SmallDisk disk(96 * 1024);
    QV_NEED_SMALL_DISK(disk);
    sim::FlightShape shape;
    shape.samples = 400;
    const std::vector<quint8> memory = sim::BuildMemory(3, shape, 3);
    TempDir tmp;
    const QString image = tmp.file("memory.bin");
    ASSERT_TRUE(WriteAll(image, QByteArray(reinterpret_cast<const char*>(memory.data()), int(memory.size()))));
    ASSERT_TRUE(disk.FillUpTo(20 * 1024));

    const CliRun r = cli({"split", image, "--root", disk.path(), "--overwrite", "all"});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("Error in writing file.")) << r.err.toStdString();
    // Every file that is there reads whole.
    const QStringList files = QDir(disk.path()).entryList({"*.kdf"}, QDir::Files);
    EXPECT_LT(files.size(), 3);
    for (const QString& f : files) {
        ScriptedMessages msgs;
        TDataBlock rec;
        EXPECT_EQ(ReadDataFile(disk.file(f), rec, msgs), 400) << f.toStdString();
    }
    EXPECT_TRUE(QDir(disk.path()).entryList(QDir::Hidden | QDir::Files).filter(".tmp").isEmpty());
}

TEST(FullDisk, AnImageThatDoesNotFitIsNotKept)
{
    SmallDisk disk(64 * 1024);
    QV_NEED_SMALL_DISK(disk);
    ASSERT_TRUE(disk.FillUpTo(4096));
    TRawImageStore store(disk.path());
    const std::vector<quint8> bytes(5141, 0x55);
    QString error;
    EXPECT_TRUE(store.Keep(bytes.data(), int(bytes.size()), QByteArray("KAVO5"), error).isEmpty());
    EXPECT_TRUE(error.startsWith("Cannot write " + disk.path())) << error.toStdString();
    EXPECT_TRUE(store.Images().isEmpty());
}
