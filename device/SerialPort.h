#pragma once
// The serial port under the logger protocol: open with fixed settings,
// read one byte (waiting at most 100 ms), write one byte, close.
// ISerialPort lets tests drive the protocol through a scripted port;
// PosixSerialPort is the termios implementation.
#include "device/PortLock.h"

#include <QString>
#include <QtGlobal>

namespace qv {

struct PortOpenResult {
    bool ok = false;
    QString message;   // failure text; empty on success
    int errorCode = 0; // errno of the failing step (0 on success)
};

class ISerialPort {
public:
    virtual ~ISerialPort() = default;

    // Opens and sets up the port (see PortNameFromSetting for the name).
    // On failure nothing stays open.
    virtual PortOpenResult Open(const QString& name) = 0;
    // True once the set-up has completed, until Close().
    virtual bool IsOpen() const = 0;
    // Reads one byte: returns 1 with the byte, or 0 when nothing came
    // within 100 ms (or the port is closed / the line has hung up).
    virtual int ReadByte(quint8& byte) = 0;
    // Writes one byte: returns 1, or 0 when the port is not open, the write
    // failed or did not finish within its time-out (100 ms per byte plus
    // 200 ms). Nothing is sent while the port is closed.
    virtual int WriteByte(quint8 byte) = 0;
    virtual void Close() = 0;
};

// "COM1" when the setting is empty, else the setting itself.
QString PortNameFromSetting(const QString& setting);

// POSIX termios port. A name without '/' names a device under /dev
// ("ttyUSB0"; "COM1" normally fails with error 2). Opened
// O_RDWR|O_NOCTTY and kept to ourselves: the UUCP lock file of the device
// (TPortLockFile) is taken first, then TIOCEXCL and flock, and the port is
// refused while another program holds the device open (OtherUsersOf).
// A port in use fails with error 16 (EBUSY) and a second line that names
// the other program when it can be found ("Port in use by ...", PortLock.h).
// raw 8N1 at 115200 with every kind of flow control off, VMIN=0/VTIME=1,
// both queues purged, DTR raised and RTS dropped (a pseudo-terminal's
// ENOTTY for the modem lines counts as success).
//
// Failure texts (errno as error code):
//   "CreateFile failed with error %d  ,%s.\r\n"  (open, exclusive use)
//   "SetupComm failed"                           (line settings)
//   "PurgeComm failed"                           (tcflush)
//   "EscapeCommFunction failed"                  (DTR / RTS)
//
// Bytes the driver already holds are fetched in one read() and handed out
// one at a time; readByte still returns at most one byte per call.
class PosixSerialPort : public ISerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    PortOpenResult Open(const QString& name) override;
    bool IsOpen() const override { return open_; }
    int ReadByte(quint8& byte) override;
    int WriteByte(quint8 byte) override;
    void Close() override;

    int Fd() const { return fd_; }
    // Where the lock files go (tests); by default the system's lock folder.
    void SetLockFolder(const QString& folder) { lock_.SetFolder(folder); }
    QString LockFile() const { return lock_.Path(); }

private:
    int fd_ = -1;
    bool open_ = false;
    TPortLockFile lock_;
    quint8 buf_[4096];
    int bufPos_ = 0;
    int bufLen_ = 0;
};

} // namespace qv
