#pragma once
// The one way the program writes a file. Every byte is written, flushed and
// synced before the old file is replaced; on any failure the old file stays
// as it was.
//
// The usual way is a temporary file beside the target that is renamed over
// it. Where that cannot be done (the folder takes no new file, or the file
// has further hard links that a rename would cut off) the file is written
// in place: its old contents are copied to a backup beside it when possible,
// the new contents are written over it and read back, and on a mismatch the
// old contents are put back.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <functional>

namespace qv {

// Takes the next piece of the new contents; false once writing has failed.
using TByteSink = std::function<bool(const char* data, std::size_t size)>;
// Produces the whole contents through the sink; false to give up.
using TContentWriter = std::function<bool(const TByteSink& sink)>;

enum class TWriteMode {
    Replaced,        // a complete new file took the old one's place
    InPlaceBackup,   // written over the file while a backup beside it was kept
    InPlaceVerified, // written over the file and read back; no backup was possible
};

struct TWriteResult {
    bool Ok = false;
    TWriteMode Mode = TWriteMode::Replaced;
    QString Error; // the system's reason when !Ok
    explicit operator bool() const { return Ok; }
};

class TCheckedWriter {
public:
    virtual ~TCheckedWriter() = default;

    TWriteResult Write(const QString& path, const TContentWriter& content);
    TWriteResult Write(const QString& path, const QByteArray& bytes);

protected:
    // One write(2) of at most size bytes; returns what it wrote or -1 with
    // errno set. Tests replace it to fail the way a full disk does.
    virtual long SysWrite(int fd, const char* data, std::size_t size);

private:
    TWriteResult ViaTemporary(const QString& target, const TContentWriter& content, bool& noNewFile);
    TWriteResult InPlace(const QString& target, const TContentWriter& content);
    bool WriteAll(int fd, const char* data, std::size_t size);
};

TWriteResult WriteFileChecked(const QString& path, const TContentWriter& content);
TWriteResult WriteFileChecked(const QString& path, const QByteArray& bytes);

// "Error in writing file." with the file's name and the reason, for the
// error box of a failed write.
QString WriteErrorText(const QString& path, const TWriteResult& result);
// What the user is told after a write that succeeded the unsafe way (no
// backup could be kept); empty when there is nothing to tell.
QString WriteNoticeText(const QString& path, const TWriteResult& result);

} // namespace qv
