#pragma once
// Every downloaded memory image is kept as a raw file (the bytes as they
// came from the logger, the format that "quorvel-cli split" and "Split
// memory image..." read) in a folder of the program's data location, named
// by date and time, with the firmware text beside it. Old images are pruned
// only beyond a count and a size limit.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qv {

// How many images are kept at most: the newest Count images, and no more
// than Megabytes in all (the newest image is always kept).
struct TRawImageLimit {
    int Count = 50;
    qint64 Megabytes = 1024;

    // Settings text "COUNT,MEGABYTES", e.g. "50,1024". Either part may be
    // missing or wrong; it then keeps its default.
    static TRawImageLimit FromText(const QString& text);
    QString ToText() const;
    bool operator==(const TRawImageLimit& o) const { return Count == o.Count && Megabytes == o.Megabytes; }
};

// Environment variable that moves the image folder (tests, portable use).
constexpr const char* kRawImageDirVariable = "QUORVEL_IMAGE_DIR";

class TRawImageStore {
public:
    // folder empty: $QUORVEL_IMAGE_DIR when set, else the "images" folder
    // of the program's data location (the same for quorvel-cli).
    explicit TRawImageStore(const QString& folder = QString(), TRawImageLimit limit = {});

    static QString DefaultFolder();
    QString Folder() const { return folder_; }

    // Writes image (byteCount bytes) as "yyyy-MM-dd_hh-mm-ss.bin" (with
    // "-2", "-3", ... when that name is taken) and the firmware text as
    // the same name with ".txt"; then prunes. Returns the image's path, or
    // an empty string with `error` set.
    QString Keep(const quint8* image, int byteCount, const QByteArray& firmware, QString& error);

    // Images in the folder, oldest first.
    QStringList Images() const;
    // Deletes the oldest images (and their firmware texts) beyond the
    // limit; `keep` is never deleted. Returns the number deleted.
    int Prune(const QString& keep = QString());

private:
    QString folder_;
    TRawImageLimit limit_;
};

// True for an image size that is a whole logger memory (9000000 or
// 540672 bytes): its last flight runs to the end of the image.
bool IsFullMemorySize(qint64 size);

} // namespace qv
