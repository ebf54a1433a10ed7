#pragma once
// Turning a downloaded logger memory image into flight files: finding the
// flights, converting their raw samples into flight records and writing one
// numbered ".kdf" file per flight into the data folder.
#include "data/DataBlock.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace qv {

class IMessageService;

// One flight found in the memory image.
struct TFlightBlock {
    std::uint16_t SamplePeriod = 0;   // header word 1, units of 10 ms
    std::uint16_t ChannelMask = 0;    // header word 2
    std::uint16_t Words[5] = {};      // header words 3..7
    int ChannelCount = 0;             // set bits among bits 0..15 of the mask
    std::size_t DataStart = 0;        // index of the first sample byte
    std::size_t DataEnd = 0;          // index of the flight's end marker
};

using TFlightBlockList = std::vector<TFlightBlock>;

constexpr std::size_t kFlightHeaderBytes = 18; // 4 marker bytes + 7 words

// Index of the first run of four 0xFF bytes at or after `from` whose last
// byte lies before the last byte of the image, or -1 when there is none.
long long FindFlightEnd(const std::uint8_t* image, std::size_t size, std::size_t from);

// Cuts the image (its `size` valid bytes) into flights. Ranges shorter than
// a flight header give no block; the part after the last marker is not a
// flight.
TFlightBlockList SplitImage(const std::uint8_t* image, std::size_t size);

// Number of whole samples the block holds, never reaching past the image.
// 0 for a block without any channel.
std::size_t SampleCount(const TFlightBlock& block, std::size_t imageSize);

// Fills `rec` (cleared first) for one flight: header words, time array and
// the converted channels. `dateText` is the time stamp of the download, in
// file bytes.
void BuildFlightRecord(const std::uint8_t* image, std::size_t size, const TFlightBlock& block,
                       const std::string& dateText, TDataBlock& rec);

// Channel conversions of the download, by record array 1..7.
double ConvertRaw(int array, std::uint16_t raw, std::uint16_t firstRaw);

// Time stamp text of a download: current date and time as the system shows
// them, in file bytes.
std::string DownloadTimeStamp();

// Data folder with a trailing delimiter: `root`, or "./Data" when empty.
QString DataFolder(const QString& root);

// Base name and first number of the numbered files from the default file
// name setting: "Flug0012.kdf" -> ("Flug", 12); "Block.kdf" -> ("Block", 1);
// "" -> ("Block", 1).
struct TBaseName {
    QString Base;
    int FirstNumber = 1;
};
TBaseName BaseNameFromSetting(const QString& defFileName);

// folder + base + number ("%.3d") + ".kdf"
QString FlightFileName(const QString& folder, const QString& base, int number);

// "1 file succesfully written." / "N files succesfully written."
QString FilesWrittenText(int count);
// "Data reading finished (N blocks read.)"
QString ReadingFinishedText(int blocks);
// "Filename PATH already exists. Rewrite?"
QString RewriteQuestionText(const QString& path);

struct TSaveResult {
    enum Status {
        Done,          // every flight handled (some may have been skipped)
        Stopped,       // "No" to the overwrite question
        WriteFailed,   // the writer failed ("Error in writing file." shown)
        FolderFailed   // the folder could not be created (see Error)
    } Status = Done;
    int Written = 0;
    QStringList Files; // paths written, in order
    QString Error;     // "Cannot create " + folder for FolderFailed
};

struct TSaveOptions {
    QString Root;
    QString DefFileName;
    std::string DateText;          // empty: DownloadTimeStamp()
    bool AskBeforeOverwrite = true;
    // Called after each file with the count written so far.
    std::function<void(int written, const QString& path)> FileWritten;
};

// Writes every flight with samples as a numbered file. Existing files are
// overwritten after asking through msgs (Yes / No / Yes to All). A flight
// without any channel is not written and takes no number. A write failure
// stops the saving; the files written so far stay. The folder failure is
// returned, not shown.
TSaveResult SaveFlights(const std::uint8_t* image, std::size_t size, const TFlightBlockList& blocks,
                        const TSaveOptions& options, IMessageService& msgs);

// The whole step after a download: cuts the image, reports
// "Data reading finished (N blocks read.)" through `status`, saves the
// flights when there are any and shows the count written in an information
// box. `blocks` receives the flight list.
struct TDownloadResult {
    int Blocks = 0;
    TSaveResult Save;
};
TDownloadResult SplitAndSave(const std::uint8_t* image, std::size_t size, const TSaveOptions& options,
                             IMessageService& msgs, const std::function<void(const QString&)>& status,
                             TFlightBlockList* blocks = nullptr);

} // namespace qv
