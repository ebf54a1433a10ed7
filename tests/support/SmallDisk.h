#pragma once
// A real small file system for tests of full disks: a tmpfs of a given size
// (and number of files) mounted on a temporary folder. Mounting needs root,
// as CI has; elsewhere the test is skipped.
#include "support/KdfText.h"
#include "support/TempDir.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <sys/mount.h>

namespace qv::test {

class SmallDisk {
public:
    // bytes: size of the disk; files: how many files and folders it holds,
    // the root folder counted (0: no limit).
    explicit SmallDisk(long bytes, int files = 0)
    {
        QByteArray options = "size=" + QByteArray::number(bytes);
        if (files > 0)
            options += ",nr_inodes=" + QByteArray::number(files);
        mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.file(name); }

    // Fills the disk up to keepFree bytes (in whole blocks) with one file.
    bool FillUpTo(long keepFree, const QString& name = QStringLiteral("filler"))
    {
        QFile f(file(name));
        if (!f.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(4096, 'x');
        while (Free() > keepFree)
            if (f.write(block) != block.size() || !f.flush())
                break;
        return true;
    }
    long Free() const;

    // A flight of 150 samples written onto the disk; its bytes.
    QByteArray PutFlight(const QString& name)
    {
        KdfContent s;
        s.Lines = ThreeChannelLines(150);
        const QByteArray bytes = KdfText(s);
        return WriteAll(file(name), bytes) ? bytes : QByteArray();
    }

private:
    TempDir dir_;
    bool mounted_ = false;
};

} // namespace qv::test

#define QV_NEED_SMALL_DISK(disk)                                                     \
    if (!(disk).Mounted())                                                           \
    GTEST_SKIP() << "a tmpfs cannot be mounted here (needs root)"

#include <sys/statvfs.h>

inline long qv::test::SmallDisk::Free() const
{
    struct statvfs s {};
    if (::statvfs(QFile::encodeName(dir_.path()).constData(), &s) != 0)
        return 0;
    return static_cast<long>(s.f_bavail * s.f_frsize);
}
