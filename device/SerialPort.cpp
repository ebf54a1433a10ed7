#include "device/SerialPort.h"

#include "device/PortLock.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace qv {

namespace {
constexpr auto kReadTimeout = std::chrono::milliseconds(100);
// Write time-out of one byte: 100 ms per byte plus 200 ms.
constexpr auto kWriteTimeout = std::chrono::milliseconds(100 * 1 + 200);

// The modem-line ioctls: a pseudo-terminal has no modem lines and answers
// ENOTTY (some drivers EINVAL); that is no failure for us.
bool ModemLine(int fd, unsigned long request, int bits)
{
    if (::ioctl(fd, request, &bits) == 0)
        return true;
    return errno == ENOTTY || errno == EINVAL;
}
} // namespace

QString PortNameFromSetting(const QString& setting)
{
    return setting.isEmpty() ? QStringLiteral("COM1") : setting;
}

PosixSerialPort::~PosixSerialPort() { Close(); }

PortOpenResult PosixSerialPort::Open(const QString& name)
{
    Close();
    PortOpenResult r;
    const QByteArray shown = name.toLocal8Bit();
    // A bare device name ("ttyUSB0", "COM1") is looked for under /dev, never
    // in the current folder.
    const QByteArray path = name.contains(QLatin1Char('/')) ? shown : "/dev/" + shown;

    auto openFailed = [&](int err, const QString& more = QString()) {
        r.errorCode = err;
        r.message = QString::asprintf("CreateFile failed with error %d  ,%s.\r\n", err, shown.constData()) + more;
        return r;
    };
    // The device itself, not a link to it, is what others lock and hold.
    char real[PATH_MAX];
    if (!::realpath(path.constData(), real))
        return openFailed(errno);
    const QString device = QString::fromLocal8Bit(real);

    // The lock first: opening a port that another program drives would
    // already disturb its line.
    TPortUser owner;
    if (!lock_.Acquire(device, owner))
        return openFailed(EBUSY, PortInUseText(owner));
    auto inUse = [&] {
        // Name the other program when it can be found.
        const std::vector<TPortUser> users = OtherUsersOf(device);
        lock_.Release();
        return openFailed(EBUSY, PortInUseText(users.empty() ? TPortUser{} : users.front()));
    };

    // O_NONBLOCK so that the open does not wait for carrier; cleared below.
    int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == EBUSY) // another program has it in exclusive use
            return inUse();
        lock_.Release();
        return openFailed(err);
    }
    // Exclusive use: no other open of the tty, no other program holding it
    // (the other end of a pseudo-terminal does not count).
    if (::ioctl(fd, TIOCEXCL) != 0) { // not a terminal
        const int err = errno;
        ::close(fd);
        lock_.Release();
        return openFailed(err);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !OtherUsersOf(device).empty()) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return inUse();
    }
    auto fail = [&](const char* text) {
        r.errorCode = errno;
        r.message = QString::fromLatin1(text);
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        lock_.Release();
        return r;
    };

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return fail("SetupComm failed");
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B115200);
    ::cfsetospeed(&tio, B115200);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    tio.c_cc[VMIN] = 0;  // a read returns what is there ...
    tio.c_cc[VTIME] = 1; // ... or nothing after 100 ms
    ::tcsetattr(fd, TCSANOW, &tio);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail("SetupComm failed");

    if (::tcflush(fd, TCIOFLUSH) != 0)
        return fail("PurgeComm failed");
    if (!ModemLine(fd, TIOCMBIS, TIOCM_DTR) || !ModemLine(fd, TIOCMBIC, TIOCM_RTS))
        return fail("EscapeCommFunction failed");

    fd_ = fd;
    open_ = true;
    bufPos_ = bufLen_ = 0;
    r.ok = true;
    return r;
}

int PosixSerialPort::ReadByte(quint8& byte)
{
    if (bufPos_ < bufLen_) {
        byte = buf_[bufPos_++];
        return 1;
    }
    if (!open_)
        return 0;
    const auto start = std::chrono::steady_clock::now();
    ssize_t n;
    do
        n = ::read(fd_, buf_, sizeof buf_);
    while (n < 0 && errno == EINTR);
    if (n > 0) {
        bufLen_ = static_cast<int>(n);
        bufPos_ = 1;
        byte = buf_[0];
        return 1;
    }
    bufPos_ = bufLen_ = 0;
    // A hung-up line answers at once; keep the 100 ms rhythm so that the
    // waiting loops do not spin.
    const auto spent = std::chrono::steady_clock::now() - start;
    if (spent < kReadTimeout - std::chrono::milliseconds(5))
        std::this_thread::sleep_for(kReadTimeout - spent);
    return 0;
}

int PosixSerialPort::WriteByte(quint8 byte)
{
    if (!open_)
        return 0;
    // A stalled line (flow stopped, driver queue full) must not hold the
    // program: the byte gets its write time-out, then counts as not sent.
    const auto deadline = std::chrono::steady_clock::now() + kWriteTimeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return 0;
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return 0;
        const ssize_t n = ::write(fd_, &byte, 1);
        if (n == 1)
            return 1;
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return 0;
    }
}

void PosixSerialPort::Close()
{
    if (fd_ >= 0) {
        ::ioctl(fd_, TIOCNXCL);
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
    lock_.Release();
    fd_ = -1;
    open_ = false;
    bufPos_ = bufLen_ = 0;
}

} // namespace qv
