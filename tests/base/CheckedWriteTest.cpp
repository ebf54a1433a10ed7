// The checked writer on real small disks, hard links and folders that take
// no new file.
#include "base/CheckedWrite.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

namespace {

// Fails the last write of the contents the way a full disk does: part of
// it goes out, then ENOSPC.
class LastWriteFails : public TCheckedWriter {
public:
    explicit LastWriteFails(std::size_t total) : left_(total) {}

protected:
    long SysWrite(int fd, const char* data, std::size_t size) override
    {
        if (size >= left_) {
            if (size > 1)
                TCheckedWriter::SysWrite(fd, data, size / 2);
            errno = ENOSPC;
            return -1;
        }
        left_ -= size;
        return TCheckedWriter::SysWrite(fd, data, size);
    }

private:
    std::size_t left_;
};

QStringList Listing(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

TEST(CheckedWrite, FullDiskKeepsTheOldFile)
{
    SmallDisk disk(64 * 1024);
    QV_NEED_SMALL_DISK(disk);
    const QString f = disk.file("a.kdf");
    ASSERT_TRUE(WriteAll(f, QByteArray(3000, 'o')));
    ASSERT_TRUE(disk.FillUpTo(4096));

    const QByteArray big(5888, 'n');
    const TWriteResult r = WriteFileChecked(f, big);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error, QString::fromLocal8Bit(std::strerror(ENOSPC)));
    EXPECT_EQ(ReadAll(f), QByteArray(3000, 'o'));
    EXPECT_EQ(Listing(disk.path()), (QStringList{"a.kdf", "filler"})); // no temporary left
    EXPECT_EQ(WriteErrorText(f, r), "Error in writing file.\n" + f + "\n" + r.Error);

    // What fits is written whole.
    EXPECT_TRUE(WriteFileChecked(f, QByteArray(2000, 's')).Ok);
    EXPECT_EQ(ReadAll(f), QByteArray(2000, 's'));
}

TEST(CheckedWrite, FailedLastWriteKeepsTheOldFile)
{
    TempDir dir;
    const QString f = dir.file("a.kdf");
    ASSERT_TRUE(WriteAll(f, "old"));
    const QByteArray fresh(100000, 'n');
    LastWriteFails writer(fresh.size());
    const TWriteResult r = writer.Write(f, [&](const TByteSink& sink) {
        for (int at = 0; at < fresh.size(); at += 4096)
            if (!sink(fresh.constData() + at, std::min<std::size_t>(4096, fresh.size() - at)))
                return false;
        return true;
    });
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(ReadAll(f), QByteArray("old"));
    EXPECT_EQ(Listing(dir.path()), QStringList{"a.kdf"});
}

TEST(CheckedWrite, LinksAndPermissionsSurvive)
{
    TempDir dir;
    const QString f = dir.file("a.kdf");
    ASSERT_TRUE(WriteAll(f, "old"));
    ASSERT_EQ(::chmod(QFile::encodeName(f).constData(), 0640), 0);
    ASSERT_TRUE(WriteFileChecked(f, QByteArray("new")).Ok);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(f).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A hard link sees the new contents; no backup is left behind.
    const QString twin = dir.file("twin.kdf");
    ASSERT_EQ(::link(QFile::encodeName(f).constData(), QFile::encodeName(twin).constData()), 0);
    const TWriteResult r = WriteFileChecked(f, QByteArray("newer"));
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Mode, TWriteMode::InPlaceBackup);
    EXPECT_EQ(ReadAll(twin), QByteArray("newer"));
    EXPECT_EQ(Listing(dir.path()), (QStringList{"a.kdf", "twin.kdf"}));
    EXPECT_TRUE(WriteNoticeText(f, r).isEmpty());

    // A symbolic link stays a link to the file it names.
    const QString link = dir.file("link.kdf");
    ASSERT_TRUE(QFile::link(twin, link));
    ASSERT_TRUE(WriteFileChecked(link, QByteArray("via link")).Ok);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadAll(f), QByteArray("via link"));
}

TEST(CheckedWrite, FolderThatTakesNoNewFileIsWrittenInPlace)
{
    // Room for the folder and one file only: neither a temporary nor a
    // backup can be made.
    SmallDisk disk(64 * 1024, 2);
    QV_NEED_SMALL_DISK(disk);
    const QString f = disk.file("a.kdf");
    ASSERT_TRUE(WriteAll(f, QByteArray(5000, 'o')));
    const TWriteResult r = WriteFileChecked(f, QByteArray(300, 'n'));
    ASSERT_TRUE(r.Ok) << r.Error.toStdString();
    EXPECT_EQ(r.Mode, TWriteMode::InPlaceVerified);
    EXPECT_EQ(ReadAll(f), QByteArray(300, 'n'));
    EXPECT_FALSE(WriteNoticeText(f, r).isEmpty());

    // Too large for the disk: the old contents are put back.
    const TWriteResult full = WriteFileChecked(f, QByteArray(200 * 1024, 'x'));
    EXPECT_FALSE(full.Ok);
    EXPECT_EQ(ReadAll(f), QByteArray(300, 'n'));
}
