#pragma once
// Keeping a serial device to ourselves against other programs: the UUCP
// lock file that serial programs share ("LCK..ttyUSB0" in /run/lock or
// /var/lock, holding the owner's process number), and the processes that
// hold the device open, so that "port in use" can name the other program.
#include <QString>

#include <vector>

namespace qv {

// Another program that uses a device.
struct TPortUser {
    long long Pid = 0;  // 0: not known
    QString Program;    // its name (/proc/PID/comm), empty when not known
};

// "Port in use by minicom (process 4711)." / "Port in use by process 4711."
// / "Port in use by another program."
QString PortInUseText(const TPortUser& user);

// The name of a program by its process number; empty when not known.
QString ProgramName(long long pid);

class TPortLockFile {
public:
    // `folder`: where the lock files live; empty: DefaultFolder().
    explicit TPortLockFile(const QString& folder = QString());
    ~TPortLockFile();
    TPortLockFile(const TPortLockFile&) = delete;
    TPortLockFile& operator=(const TPortLockFile&) = delete;

    // /run/lock, else /var/lock; empty when the system has neither.
    static QString DefaultFolder();
    // "LCK.." + the device's path below /dev with "/" as "_":
    // "/dev/ttyUSB0" -> "LCK..ttyUSB0", "/dev/pts/3" -> "LCK..pts_3".
    static QString FileNameFor(const QString& devicePath);

    // Takes the lock of a device (its real path). A lock left by a process
    // that has ended is removed. False, with the owner, while a running
    // process holds it. Without a lock folder, or without the right to
    // write there, there is nothing to take and the result is true.
    bool Acquire(const QString& devicePath, TPortUser& owner);
    // Removes the lock file when it is still ours.
    void Release();
    // Another folder for the lock files (releases a lock held).
    void SetFolder(const QString& folder)
    {
        Release();
        folder_ = folder.isEmpty() ? DefaultFolder() : folder;
    }
    // The lock file held, empty when none.
    QString Path() const { return path_; }

private:
    QString folder_;
    QString path_;
};

// The processes other than this one that hold the device open. The holder
// of a pseudo-terminal's master side is the other end of the line (a
// simulated logger), not a user of the port, and is left out.
std::vector<TPortUser> OtherUsersOf(const QString& devicePath);

} // namespace qv
