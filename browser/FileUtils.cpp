#include "browser/FileUtils.h"

#include "base/FileName.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qv {

namespace {

void ClearSystemError()
{
#ifdef Q_OS_WIN
    SetLastError(0);
#endif
    errno = 0;
}

// The code of the call that just failed; fallback when the system left none.
int SystemError(int fallback)
{
#ifdef Q_OS_WIN
    const DWORD e = GetLastError();
    if (e != 0)
        return static_cast<int>(e);
#endif
    return errno != 0 ? errno : fallback;
}

#ifdef Q_OS_WIN
constexpr int kIoError = ERROR_GEN_FAILURE;
constexpr int kNotFound = ERROR_FILE_NOT_FOUND;
constexpr int kNotSameDevice = ERROR_NOT_SAME_DEVICE;
std::wstring Native(const QString& path) { return QDir::toNativeSeparators(path).toStdWString(); }
#else
constexpr int kIoError = EIO;
constexpr int kNotFound = ENOENT;
constexpr int kNotSameDevice = EXDEV;
#endif

// Whether anything (also a dangling link) is at path.
bool Exists(const QString& path)
{
    return KindAt(path) != TDiskKind::None;
}

TFileResult RenameNoReplace(const QString& from, const QString& to)
{
    if (Exists(to))
        return {AlreadyExistsCode()};
    ClearSystemError();
#ifdef Q_OS_WIN
    if (MoveFileExW(Native(from).c_str(), Native(to).c_str(), 0))
        return {};
    return {SystemError(kIoError)};
#else
    const QByteArray f = NativeName(from);
    const QByteArray t = NativeName(to);
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS)
        return {SystemError(kIoError)};
    ClearSystemError(); // the file system cannot refuse to replace: checked above
#endif
    if (::rename(f.constData(), t.constData()) == 0)
        return {};
    return {SystemError(kIoError)};
#endif
}

bool SameContent(const QString& a, const QString& b)
{
    QFile fa, fb;
    if (!OpenForReading(fa, a) || !OpenForReading(fb, b) || fa.size() != fb.size())
        return false;
    constexpr qint64 kChunk = 1 << 16;
    while (!fa.atEnd()) {
        const QByteArray ca = fa.read(kChunk);
        const QByteArray cb = fb.read(kChunk);
        if (ca.isEmpty() && !fa.atEnd())
            return false;
        if (ca != cb)
            return false;
    }
    return fb.atEnd();
}

#ifdef Q_OS_WIN
TFileResult CopyFile(const QString& from, const QString& to)
{
    return QFile::copy(from, to) ? TFileResult{} : TFileResult{SystemError(kIoError)};
}

TFileResult CopyLink(const QString& from, const QString& to)
{
    return QFile::link(QFileInfo(from).symLinkTarget(), to) ? TFileResult{} : TFileResult{SystemError(kIoError)};
}

bool RemoveEntry(const QString& path)
{
    const QFileInfo fi(path);
    if (fi.isDir() && !fi.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}
#else
// Copies a file's bytes and permissions into a new file.
TFileResult CopyFile(const QString& from, const QString& to)
{
    QFile in;
    if (!OpenForReading(in, from))
        return {SystemError(kIoError)};
    struct stat st;
    const mode_t mode = ::fstat(in.handle(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    const int fd = ::open(NativeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return {SystemError(kIoError)};
    QFile out;
    if (!out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {kIoError};
    }
    constexpr qint64 kChunk = 1 << 16;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size())
            return {kIoError};
    }
    if (!out.flush() || ::fchmod(out.handle(), mode) != 0)
        return {SystemError(kIoError)};
    out.close();
    return {out.error() == QFileDevice::NoError ? 0 : kIoError};
}

TFileResult CopyLink(const QString& from, const QString& to)
{
    QByteArray target(4096, '\0');
    const ssize_t n = ::readlink(NativeName(from).constData(), target.data(), static_cast<size_t>(target.size()));
    if (n < 0 || n == target.size())
        return {SystemError(kIoError)};
    target.truncate(n);
    return {::symlink(target.constData(), NativeName(to).constData()) == 0 ? 0 : SystemError(kIoError)};
}

// Removes a file or link, or a folder with its content (links in it as
// links).
bool RemoveEntry(const QString& path)
{
    if (KindAt(path) != TDiskKind::Folder)
        return ::unlink(NativeName(path).constData()) == 0;
    bool ok = true;
    for (const QString& name : NamesIn(path))
        ok = RemoveEntry(path + QLatin1Char('/') + name) && ok;
    return ::rmdir(NativeName(path).constData()) == 0 && ok;
}

// Moves an entry (a link as itself) into the home trash of the desktop's
// trash rules, for the names and links that QFile::moveToTrash cannot take.
TFileResult TrashEntry(const QString& path)
{
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                          QStringLiteral("/Trash");
    const QByteArray files = NativeName(trash + QStringLiteral("/files/"));
    const QByteArray info = NativeName(trash + QStringLiteral("/info/"));
    QDir().mkpath(QFileInfo(trash).path());
    for (const QString& d : {trash, trash + QStringLiteral("/files"), trash + QStringLiteral("/info")})
        if (::mkdir(NativeName(d).constData(), 0700) != 0 && errno != EEXIST)
            return {SystemError(kIoError)};
    const QString absolute = AbsolutePath(path);
    const QByteArray source = NativeName(absolute);
    const QByteArray name = source.mid(source.lastIndexOf('/') + 1);
    const QByteArray text = "[Trash Info]\nPath=" + source.toPercentEncoding("/") + "\nDeletionDate=" +
                            QDateTime::currentDateTime().toString(Qt::ISODate).toLatin1() + "\n";
    for (int counter = 0; counter < 10000; ++counter) {
        const QByteArray unique = counter == 0 ? name : name + '.' + QByteArray::number(counter);
        const QByteArray infoFile = info + unique + ".trashinfo";
        const int fd = ::open(infoFile.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return {SystemError(kIoError)};
        const bool written = ::write(fd, text.constData(), static_cast<size_t>(text.size())) == text.size();
        if (::close(fd) != 0 || !written) {
            const int code = SystemError(kIoError);
            ::unlink(infoFile.constData());
            return {code};
        }
        const QByteArray target = files + unique;
        struct stat st;
        if (::lstat(target.constData(), &st) == 0) {
            ::unlink(infoFile.constData()); // left over from another program
            continue;
        }
        if (::rename(source.constData(), target.constData()) == 0)
            return {};
        int code = errno;
        if (code == EXDEV && KindAt(absolute) == TDiskKind::Link) {
            // A link on another file system: the trash gets a copy of the
            // link itself.
            if (CopyLink(absolute, NameFromNative(target)).Ok()) {
                if (::unlink(source.constData()) == 0)
                    return {};
                code = errno;
                ::unlink(target.constData());
            }
        }
        ::unlink(infoFile.constData());
        return {code};
    }
    return {AlreadyExistsCode()};
}
#endif

// Copies one entry (a folder with its content, a link as a link),
// comparing each file.
TFileResult CopyEntry(const QString& from, const QString& to)
{
    ClearSystemError();
    const TDiskKind kind = KindAt(from);
    if (kind == TDiskKind::Link)
        return CopyLink(from, to);
    if (kind == TDiskKind::Folder) {
        TFileResult r = MakeFolder(to);
        if (!r.Ok())
            return r;
        QStringList names = NamesIn(from);
        std::sort(names.begin(), names.end());
        for (const QString& name : names) {
            r = CopyEntry(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name);
            if (!r.Ok())
                return r;
        }
        return {};
    }
    const TFileResult r = CopyFile(from, to);
    if (!r.Ok())
        return r;
    if (!SameContent(from, to))
        return {kIoError};
    return {};
}

QString CleanAbsolute(const QString& path)
{
    const QString resolved = ResolvedPath(path);
    return resolved.isEmpty() ? AbsolutePath(path) : resolved;
}

// The copy step of a move across file systems: copies from to the new path
// to, compares every file with its source and removes the partial copy on
// any failure. The source stays.
TFileResult CopyVerified(const QString& from, const QString& to)
{
    if (Exists(to))
        return {AlreadyExistsCode()};
    if (!Exists(from))
        return {kNotFound};
    const TFileResult r = CopyEntry(from, to);
    if (!r.Ok())
        RemoveEntry(to); // only what this copy made: the target did not exist
    return r;
}

} // namespace

int AlreadyExistsCode()
{
#ifdef Q_OS_WIN
    return ERROR_ALREADY_EXISTS;
#else
    return EEXIST;
#endif
}

bool IsAlreadyExists(int code)
{
#ifdef Q_OS_WIN
    return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS;
#else
    return code == EEXIST || code == ENOTEMPTY;
#endif
}

QString NameProblem(const QString& name, const QString& suffix)
{
    const QString quoted = QLatin1Char('"') + name + QLatin1Char('"');
    if (name.trimmed().isEmpty())
        return QStringLiteral("Název nesmí být prázdný!");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("Název ") + quoted + QStringLiteral(" nelze použít!");
#ifdef Q_OS_WIN
    const QString refused = QStringLiteral("/\\<>:\"|?*");
#else
    const QString refused = QStringLiteral("/\\");
#endif
    for (const QChar c : name) {
        if (refused.contains(c))
            return QStringLiteral("Název ") + quoted + QStringLiteral(" nesmí obsahovat znak \"") + c +
                   QStringLiteral("\"!");
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("Název nesmí obsahovat řídicí znaky!");
    }
#ifdef Q_OS_WIN
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return QStringLiteral("Název ") + quoted + QStringLiteral(" nesmí končit tečkou ani mezerou!");
    static const QStringList reserved = [] {
        QStringList r{"CON", "PRN", "AUX", "NUL"};
        for (int i = 1; i <= 9; ++i)
            r << QStringLiteral("COM%1").arg(i) << QStringLiteral("LPT%1").arg(i);
        return r;
    }();
    if (reserved.contains(name.section(QLatin1Char('.'), 0, 0).trimmed(), Qt::CaseInsensitive))
        return QStringLiteral("Název ") + quoted + QStringLiteral(" je vyhrazen systémem!");
    const bool tooLong = (name + suffix).size() > 255;
#else
    const bool tooLong = QFile::encodeName(name + suffix).size() > 255;
#endif
    if (tooLong)
        return QStringLiteral("Název ") + quoted + QStringLiteral(" je příliš dlouhý!");
    return {};
}

TFileResult RenamePath(const QString& from, const QString& to)
{
    return RenameNoReplace(from, to);
}

TFileResult MovePath(const QString& from, const QString& to)
{
    const TFileResult r = RenameNoReplace(from, to);
    if (r.Code != kNotSameDevice)
        return r;
    const TFileResult copied = CopyVerified(from, to);
    if (!copied.Ok())
        return copied;
    ClearSystemError();
    if (!RemoveEntry(from))
        return {SystemError(kIoError)}; // the copy is complete; some of the source stays
    return {};
}

TFileResult MakeFolder(const QString& path)
{
    ClearSystemError();
#ifdef Q_OS_WIN
    if (CreateDirectoryW(Native(path).c_str(), nullptr))
        return {};
#else
    if (::mkdir(NativeName(path).constData(), 0777) == 0)
        return {};
#endif
    return {SystemError(kIoError)};
}

TFileResult ShellDelete(const QString& path)
{
    const TDiskKind kind = KindAt(path);
    if (kind == TDiskKind::None)
        return {kNotFound};
    ClearSystemError();
#ifndef Q_OS_WIN
    // Qt's trash reaches neither names that are not text nor links as such.
    if (kind == TDiskKind::Link || !QtCanName(path))
        return TrashEntry(path);
#endif
    if (QFile::moveToTrash(path))
        return {};
    return {SystemError(kIoError)};
}

TDiskKind KindAt(const QString& path, bool followLinks)
{
    if (path.isEmpty())
        return TDiskKind::None;
#ifdef Q_OS_WIN
    const QFileInfo fi(path);
    if (!followLinks && fi.isSymLink())
        return TDiskKind::Link;
    if (!fi.exists())
        return TDiskKind::None;
    return fi.isDir() ? TDiskKind::Folder : fi.isFile() ? TDiskKind::File : TDiskKind::Other;
#else
    struct stat st;
    const QByteArray native = NativeName(path);
    if ((followLinks ? ::stat(native.constData(), &st) : ::lstat(native.constData(), &st)) != 0)
        return TDiskKind::None;
    if (S_ISLNK(st.st_mode))
        return TDiskKind::Link;
    if (S_ISDIR(st.st_mode))
        return TDiskKind::Folder;
    return S_ISREG(st.st_mode) ? TDiskKind::File : TDiskKind::Other;
#endif
}

QStringList NamesIn(const QString& folder)
{
#ifdef Q_OS_WIN
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
#else
    QStringList names;
    DIR* dir = ::opendir(NativeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names << NameFromNative(name);
    }
    ::closedir(dir);
    return names;
#endif
}

QString ResolvedPath(const QString& path)
{
#ifdef Q_OS_WIN
    return QFileInfo(path).canonicalFilePath();
#else
    char* resolved = path.isEmpty() ? nullptr : ::realpath(NativeName(path).constData(), nullptr);
    if (!resolved)
        return {};
    const QString out = NameFromNative(QByteArray(resolved));
    std::free(resolved);
    return out;
#endif
}

bool IsSameOrInside(const QString& folder, const QString& path)
{
    const QString f = CleanAbsolute(folder);
    const QString p = CleanAbsolute(path);
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    if (p.compare(f, cs) == 0)
        return true;
    const QString prefix = f.endsWith(QLatin1Char('/')) ? f : f + QLatin1Char('/');
    return p.startsWith(prefix, cs);
}

QString NewFolderPath(const QString& parent)
{
    const QString first = QDir(parent).filePath(QStringLiteral("Nová složka"));
    QString candidate = first;
    for (int counter = 1; Exists(candidate); ++counter)
        candidate = first + QStringLiteral(" (") + QString::number(counter) + QLatin1Char(')');
    return candidate;
}

} // namespace qv
