#include "browser/FileUtils.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cstdio>
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
    const QFileInfo fi(path);
    return fi.exists() || fi.isSymLink();
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
    const QByteArray f = QFile::encodeName(from);
    const QByteArray t = QFile::encodeName(to);
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
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
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

// Copies one entry (a folder with its content), comparing each file.
TFileResult CopyEntry(const QString& from, const QString& to)
{
    const QFileInfo fi(from);
    ClearSystemError();
    if (fi.isSymLink()) {
        if (QFile::link(fi.symLinkTarget(), to))
            return {};
        return {SystemError(kIoError)};
    }
    if (fi.isDir()) {
        TFileResult r = MakeFolder(to);
        if (!r.Ok())
            return r;
        const QDir dir(from);
        const QStringList names =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& name : names) {
            r = CopyEntry(dir.filePath(name), QDir(to).filePath(name));
            if (!r.Ok())
                return r;
        }
        return {};
    }
    if (!QFile::copy(from, to))
        return {SystemError(kIoError)};
    if (!SameContent(from, to))
        return {kIoError};
    return {};
}

bool RemoveEntry(const QString& path)
{
    const QFileInfo fi(path);
    if (fi.isDir() && !fi.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

QString CleanAbsolute(const QString& path)
{
    const QFileInfo fi(path);
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(fi.absoluteFilePath()) : canonical;
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
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
        return {};
#endif
    return {SystemError(kIoError)};
}

TFileResult ShellDelete(const QString& path)
{
    if (!Exists(path))
        return {kNotFound};
    ClearSystemError();
    if (QFile::moveToTrash(path))
        return {};
    return {SystemError(kIoError)};
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
