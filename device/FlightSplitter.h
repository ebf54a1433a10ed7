#pragma once
// Turning a downloaded logger memory image into flights: finding them,
// converting their raw samples into flight records, and the names and texts
// of the numbered ".kdf" files (written by TFlightSaver, DownloadSaver.h).
#include "data/DataBlock.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

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
// byte lies before the last byte of the image (or, with lastByteToo, is
// any byte of it), or -1 when there is none.
long long FindFlightEnd(const std::uint8_t* image, std::size_t size, std::size_t from,
                        bool lastByteToo = false);

// Cuts the image (its `size` valid bytes) into flights. Ranges shorter than
// a flight header give no block. The part after the last marker is not a
// flight, unless the image is a full logger memory (fullMemory): then the
// last flight was cut short by the end of the memory and runs to the end
// of the image.
TFlightBlockList SplitImage(const std::uint8_t* image, std::size_t size, bool fullMemory = false);

// Number of whole samples between the block's header and its end, never
// reaching past the image; a partial sample is dropped. 0 for a block
// without any channel.
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

// Empty when the default file name setting can name files; else the
// reason it cannot (control characters such as tabs or line ends).
QString FileNameProblem(const QString& defFileName);

} // namespace qv
