#include "base/CheckedWrite.h"

#include "base/FileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {

QString SystemText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

TWriteResult Failed(int err)
{
    TWriteResult r;
    r.Error = SystemText(err ? err : EIO);
    return r;
}

// Retries a call that a signal broke off.
template <class F>
auto Retry(F f)
{
    decltype(f()) r;
    do
        r = f();
    while (r < 0 && errno == EINTR);
    return r;
}

// The file a write to path really changes: a symbolic link is followed, so
// the link stays a link.
QString TargetOf(const QString& path)
{
    const QFileInfo fi(path);
    struct stat st {};
    const QByteArray name = NativeName(path);
    if (::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* canonical = ::realpath(name.constData(), nullptr)) {
            const QString resolved = NameFromNative(canonical);
            std::free(canonical);
            return resolved;
        }
        return fi.symLinkTarget();
    }
    return AbsolutePath(path);
}

bool ReadWhole(const QByteArray& name, QByteArray& out, int& err)
{
    const int fd = Retry([&] { return ::open(name.constData(), O_RDONLY | O_CLOEXEC); });
    if (fd < 0) {
        err = errno;
        return false;
    }
    out.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = Retry([&] { return ::read(fd, buf, sizeof buf); });
        if (n < 0) {
            err = errno;
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        out.append(buf, n);
    }
    ::close(fd);
    return true;
}

void SyncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

long TCheckedWriter::SysWrite(int fd, const char* data, std::size_t size)
{
    return static_cast<long>(::write(fd, data, size));
}

bool TCheckedWriter::WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const long n = SysWrite(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

TWriteResult TCheckedWriter::Write(const QString& path, const QByteArray& bytes)
{
    return Write(path, [&bytes](const TByteSink& sink) {
        return sink(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    });
}

TWriteResult TCheckedWriter::Write(const QString& path, const TContentWriter& content)
{
    if (path.isEmpty())
        return Failed(ENOENT);
    const QString target = TargetOf(path);
    const QByteArray name = NativeName(target);
    struct stat st {};
    const bool exists = ::stat(name.constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return Failed(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    // A rename would leave the other hard links with the old contents.
    if (exists && st.st_nlink > 1)
        return InPlace(target, content);
    bool noNewFile = false;
    TWriteResult r = ViaTemporary(target, content, noNewFile);
    if (!r.Ok && noNewFile && exists && ::access(name.constData(), W_OK) == 0)
        return InPlace(target, content);
    return r;
}

TWriteResult TCheckedWriter::ViaTemporary(const QString& target, const TContentWriter& content, bool& noNewFile)
{
    const QFileInfo fi(target);
    const QByteArray folder = NativeName(fi.absolutePath());
    const QByteArray finalName = NativeName(target);
    struct stat old {};
    const bool hadOld = ::stat(finalName.constData(), &old) == 0;

    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = folder + "/." + NativeName(fi.fileName()) + '.'
               + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        // 0666 less the umask for a new file; an existing file's mode is
        // copied below.
        fd = Retry([&] { return ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int err = errno;
        noNewFile = true;
        return Failed(err);
    }
    if (hadOld) {
        ::fchmod(fd, old.st_mode & 07777);
        if (::geteuid() == 0 && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // The new file keeps root's ownership; its contents are what matter.
        }
    }

    int err = 0;
    const bool produced = content([&](const char* p, std::size_t n) {
        if (err)
            return false;
        if (!WriteAll(fd, p, n))
            err = errno ? errno : EIO;
        return err == 0;
    });
    if (!produced && !err)
        err = ECANCELED;
    if (!err && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (!err && Retry([&] { return ::rename(temp.constData(), finalName.constData()); }) != 0)
        err = errno;
    if (err) {
        ::unlink(temp.constData());
        return Failed(err);
    }
    SyncFolder(folder);
    TWriteResult r;
    r.Ok = true;
    return r;
}

TWriteResult TCheckedWriter::InPlace(const QString& target, const TContentWriter& content)
{
    const QByteArray name = NativeName(target);
    QByteArray fresh;
    if (!content([&fresh](const char* p, std::size_t n) {
            fresh.append(p, static_cast<qsizetype>(n));
            return true;
        }))
        return Failed(ECANCELED);
    QByteArray old;
    int err = 0;
    if (!ReadWhole(name, old, err))
        return Failed(err);

    // A backup beside the file, under a name nobody uses.
    QByteArray backup;
    for (int n = 0; n < 100 && backup.isEmpty(); ++n) {
        const QByteArray candidate = name + (n == 0 ? QByteArray("~") : "~" + QByteArray::number(n));
        const int fd = Retry([&] { return ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); });
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            break;
        }
        const bool ok = WriteAll(fd, old.constData(), static_cast<std::size_t>(old.size())) && ::fsync(fd) == 0;
        if (::close(fd) == 0 && ok)
            backup = candidate;
        else
            ::unlink(candidate.constData());
        if (!ok)
            break;
    }

    auto overwrite = [&](const QByteArray& bytes) -> int {
        const int fd = Retry([&] { return ::open(name.constData(), O_WRONLY | O_CLOEXEC); });
        if (fd < 0)
            return errno;
        int e = 0;
        if (!WriteAll(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())))
            e = errno ? errno : EIO;
        if (!e && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
            e = errno;
        if (!e && ::fsync(fd) != 0 && errno != EINVAL)
            e = errno;
        if (::close(fd) != 0 && !e)
            e = errno;
        if (!e) {
            QByteArray back;
            if (!ReadWhole(name, back, e))
                return e ? e : EIO;
            if (back != bytes)
                e = EIO;
        }
        return e;
    };

    err = overwrite(fresh);
    if (err) {
        // Put the old contents back; the backup stays when even that fails.
        if (overwrite(old) == 0 && !backup.isEmpty())
            ::unlink(backup.constData());
        return Failed(err);
    }
    if (!backup.isEmpty())
        ::unlink(backup.constData());
    TWriteResult r;
    r.Ok = true;
    r.Mode = backup.isEmpty() ? TWriteMode::InPlaceVerified : TWriteMode::InPlaceBackup;
    return r;
}

TWriteResult WriteFileChecked(const QString& path, const TContentWriter& content)
{
    TCheckedWriter writer;
    return writer.Write(path, content);
}

TWriteResult WriteFileChecked(const QString& path, const QByteArray& bytes)
{
    TCheckedWriter writer;
    return writer.Write(path, bytes);
}

QString WriteErrorText(const QString& path, const TWriteResult& result)
{
    QString text = QStringLiteral("Error in writing file.\n") + QDir::toNativeSeparators(ShownName(path));
    if (!result.Error.isEmpty())
        text += QStringLiteral("\n") + result.Error;
    return text;
}

QString WriteNoticeText(const QString& path, const TWriteResult& result)
{
    if (!result.Ok || result.Mode != TWriteMode::InPlaceVerified)
        return {};
    return QStringLiteral("No new file can be made in the folder of %1, not even a backup: the file was "
                          "written over in place and checked by reading it back.")
        .arg(QDir::toNativeSeparators(ShownName(path)));
}

} // namespace qv
