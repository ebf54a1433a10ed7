#pragma once
// What happens to a downloaded memory image: it is kept as a raw image
// file, cut into flights and every flight is written as a numbered ".kdf"
// file into the data folder; after a failed download the complete flights
// received before the error are offered for saving. The device dialog, the
// "Split memory image..." command and quorvel-cli all go through here.
#include "device/DeviceProtocol.h"
#include "device/FlightSplitter.h"
#include "device/RawImageStore.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace qv {

class IMessageService;

// After a failed download: ask, save without asking, or keep only the raw
// image.
enum class TPartialSave { Ask, Save, Discard };

struct TSaveOptions {
    QString Root;
    QString DefFileName;
    std::string DateText;          // empty: DownloadTimeStamp()
    bool AskBeforeOverwrite = true;
    TPartialSave Partial = TPartialSave::Ask;
    QString ImageFolder;           // empty: TRawImageStore::DefaultFolder()
    TRawImageLimit ImageLimit;
};

struct TSaveResult {
    enum Status {
        Done,          // every flight written
        Stopped,       // "No" to the overwrite question
        WriteFailed,   // the writer failed ("Error in writing file." shown)
        FolderFailed,  // the folder could not be created (see Error)
        NameFailed,    // the file name setting cannot name files (see Error)
        ReadFailed,    // the image file could not be read (see Error)
        NoFlight       // the image holds data but no flight (see Error); nothing written
    } Status = Done;
    int Written = 0;
    int Empty = 0;     // files written that hold no samples
    QStringList Files; // paths written, in order
    QString Error;     // failure text for FolderFailed, NameFailed, ReadFailed
};

struct TDownloadResult {
    int Blocks = 0;           // flights found
    bool Saved = false;       // flights were saved (Save holds the outcome)
    TSaveResult Save;
    QString RawImage;         // the kept image file, empty when none
    QString RawImageError;    // why the image could not be kept
    QString Message;          // the final information text, empty when none
};

// "1 of them holds no samples." / "N of them hold no samples."
QString EmptyFilesText(int count);
// "Save the N complete flights received before the error?"
QString SavePartialQuestionText(int flights);
// "Everything received (B bytes) is kept in PATH."
QString RawImageKeptText(int bytes, const QString& path);
// The image could not take all the logger sent.
QString ImageFullText(int capacity);
// "The memory image holds no flight."
QString NoFlightText();

// True when an image that is all there is holds no flight: it holds bytes
// other than the 0xFF of an erased memory, yet no block with a flight
// header (a sampling period and at least one recorded channel). Such an
// image (a memory of zero bytes, line junk) is no flight: nothing is
// written for it.
bool HoldsNoFlight(const std::uint8_t* image, std::size_t size, const TFlightBlockList& blocks);

class TFlightSaver : public QObject {
    Q_OBJECT
public:
    explicit TFlightSaver(IMessageService& msgs, QObject* parent = nullptr);

    // Writes every flight block as a numbered file, also those without
    // samples. Existing files are overwritten after asking (Yes / No / Yes
    // to All). A write failure stops the saving; the files written so far
    // stay. Folder and name failures are returned, not shown.
    TSaveResult SaveFlights(const std::uint8_t* image, std::size_t size, const TFlightBlockList& blocks,
                            const TSaveOptions& options);

    // Cuts an image and saves its flights: status "Data reading finished
    // (N blocks read.)", the files, and the final information box when
    // flights were found. A full logger memory (fullMemory) ends with the
    // flight that filled it. When the image is all there is (complete)
    // and holds no flight (HoldsNoFlight), nothing is written and the
    // result is NoFlight with its text (and the extra lines) in Error.
    TDownloadResult SplitAndSave(const std::uint8_t* image, std::size_t size, const TSaveOptions& options,
                                 bool fullMemory, const QStringList& extraLines = {}, bool complete = true);

    // Reads a raw memory image file (a kept image or any memory dump) and
    // saves its flights as SplitAndSave does. An unreadable file gives
    // ReadFailed with "Error in reading file.".
    TDownloadResult SplitImageFile(const QString& path, const TSaveOptions& options);

    // Everything after a download ended: the raw image is kept, then a
    // complete (or aborted) download is split and saved; after a failed
    // one the complete flights are offered (TSaveOptions::Partial). The
    // returned Save.Error is for the caller to show.
    TDownloadResult FinishDownload(const TDownloadEnd& end, const TSaveOptions& options);

    const TFlightBlockList& Blocks() const { return blocks_; }

signals:
    // After each file, with the count written so far.
    void FileWritten(int written, const QString& path);
    // "Data reading finished (N blocks read.)"
    void StatusText(const QString& text);

private:
    IMessageService& msgs_;
    TFlightBlockList blocks_;
};

} // namespace qv
