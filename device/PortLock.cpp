#include "device/PortLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace qv {

namespace {

// The process number written in a lock file: ASCII, right-aligned in ten
// places with a line end (the form of today's serial programs); 0 when the
// file holds none.
long long LockOwner(const QByteArray& path)
{
    QFile f(QString::fromLocal8Bit(path));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const long long pid = f.read(64).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

bool Running(long long pid)
{
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// Index of a pseudo-terminal slave (majors 136..143), or -1.
long PtyIndex(dev_t rdev)
{
    const unsigned m = major(rdev);
    return m >= 136 && m <= 143 ? static_cast<long>((m - 136) * 256 + minor(rdev)) : -1;
}

// Whether the file descriptor fdPath (/proc/P/fd/N) is the master side of
// pseudo-terminal `index`.
bool IsPtyMaster(const QByteArray& procDir, const char* fdName, long index)
{
    char target[256];
    const QByteArray link = procDir + "/fd/" + fdName;
    const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    const QByteArray t(target);
    if (!t.endsWith("/ptmx"))
        return false;
    QFile info(QString::fromLocal8Bit(procDir + "/fdinfo/" + fdName));
    if (!info.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : info.readAll().split('\n'))
        if (line.startsWith("tty-index:"))
            return line.mid(10).trimmed().toLong() == index;
    return false;
}

} // namespace

QString PortInUseText(const TPortUser& user)
{
    if (user.Pid <= 0)
        return QStringLiteral("Port in use by another program.");
    if (user.Program.isEmpty())
        return QStringLiteral("Port in use by process %1.").arg(user.Pid);
    return QStringLiteral("Port in use by %1 (process %2).").arg(user.Program).arg(user.Pid);
}

QString ProgramName(long long pid)
{
    QFile f(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readAll()).trimmed();
}

TPortLockFile::TPortLockFile(const QString& folder) : folder_(folder.isEmpty() ? DefaultFolder() : folder) {}

TPortLockFile::~TPortLockFile() { Release(); }

QString TPortLockFile::DefaultFolder()
{
    for (const char* d : {"/run/lock", "/var/lock"})
        if (QFileInfo(QString::fromLatin1(d)).isDir())
            return QString::fromLatin1(d);
    return {};
}

QString TPortLockFile::FileNameFor(const QString& devicePath)
{
    QString name = devicePath;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    else
        name = QFileInfo(name).fileName();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

bool TPortLockFile::Acquire(const QString& devicePath, TPortUser& owner)
{
    Release();
    owner = TPortUser{};
    if (folder_.isEmpty())
        return true;
    const QByteArray lock = QFile::encodeName(QDir(folder_).filePath(FileNameFor(devicePath)));
    const long long self = ::getpid();
    // The whole lock is written under a name of our own and then linked
    // into place: whoever finds the lock file finds it complete.
    const QByteArray temp = QFile::encodeName(QDir(folder_).filePath(QStringLiteral("LTMP.%1").arg(self)));
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return true; // no right to lock here: nothing to take
        char text[32];
        const int len = std::snprintf(text, sizeof text, "%10lld\n", self);
        const bool written = ::write(fd, text, static_cast<size_t>(len)) == len;
        const bool closed = ::close(fd) == 0;
        if (!written || !closed) {
            ::unlink(temp.constData());
            return true;
        }
        const int linked = ::link(temp.constData(), lock.constData());
        const int err = errno;
        ::unlink(temp.constData());
        if (linked == 0) {
            path_ = QFile::decodeName(lock);
            return true;
        }
        if (err != EEXIST)
            return true;
        const long long pid = LockOwner(lock);
        if (Running(pid)) {
            owner.Pid = pid;
            owner.Program = ProgramName(pid);
            return false;
        }
        // Its owner has ended (or it names none): a stale lock.
        ::unlink(lock.constData());
    }
    return false; // others keep taking it
}

void TPortLockFile::Release()
{
    if (path_.isEmpty())
        return;
    const QByteArray lock = QFile::encodeName(path_);
    if (LockOwner(lock) == ::getpid())
        ::unlink(lock.constData());
    path_.clear();
}

std::vector<TPortUser> OtherUsersOf(const QString& devicePath)
{
    std::vector<TPortUser> users;
    struct stat dev {};
    if (::stat(QFile::encodeName(devicePath).constData(), &dev) != 0 || !S_ISCHR(dev.st_mode))
        return users;
    const long ptyIndex = PtyIndex(dev.st_rdev);
    const long long self = ::getpid();

    DIR* proc = ::opendir("/proc");
    if (!proc)
        return users;
    while (dirent* e = ::readdir(proc)) {
        char* end = nullptr;
        const long long pid = std::strtoll(e->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self)
            continue;
        const QByteArray procDir = "/proc/" + QByteArray(e->d_name);
        DIR* fds = ::opendir((procDir + "/fd").constData());
        if (!fds)
            continue; // gone, or not ours to look at
        bool holds = false;
        bool master = false;
        while (dirent* f = ::readdir(fds)) {
            if (f->d_name[0] == '.')
                continue;
            struct stat st {};
            if (::stat((procDir + "/fd/" + f->d_name).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
                continue;
            if (st.st_rdev == dev.st_rdev)
                holds = true;
            else if (ptyIndex >= 0 && !master)
                master = IsPtyMaster(procDir, f->d_name, ptyIndex);
        }
        ::closedir(fds);
        if (holds && !master)
            users.push_back({pid, ProgramName(pid)});
    }
    ::closedir(proc);
    return users;
}

} // namespace qv
