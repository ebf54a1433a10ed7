#pragma once
// Reader and writer of the ".kdf" flight data files.
#include "data/DataBlock.h"

#include <QString>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qv {

class IMessageService;
class TCheckedWriter;

// Raised by the reader for a malformed file: "Unexpected end of file",
// "Bad header of file", "Error reading data from file.".
class DataFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The files' ending, the default suffix of the save dialog and its filter.
inline const char* const kDataFileExtension = ".kdf";
inline const char* const kDataFileSuffix = "kdf";
inline const char* const kDataFileFilter = "Dosk data (kdf)|*.kdf";

// Failure texts.
inline const char* const kErrUnexpectedEnd = "Unexpected end of file";
inline const char* const kErrBadHeader = "Bad header of file";
inline const char* const kErrBadData = "Error reading data from file.";
inline const char* const kErrReading = "Error in reading file.";
inline const char* const kErrWriting = "Error in writing file.";

// Decimals of the time column and of every other real value in the files.
constexpr int kTimeDecimals = 1;
constexpr int kValueDecimals = 2;

// Reads fileName into block (whose notes stream exists) and returns the
// number of samples (0 for an empty name). The file is read in pieces; its
// samples must fit MemoryForSamples(). The sample arrays are moved into the
// record once and shared from there on. Format errors throw
// DataFileError; input/output errors (file missing or unreadable, header
// words missing or not numbers, memory exhausted, not a regular file) are reported through msgs
// ("Error in reading file.") and 0 is returned. Either way the record is
// left as it was: it is filled only from a file read whole.
int ReadDataFile(const QString& fileName, TDataBlock& block,
                 IMessageService& msgs);

// Whether path names a regular file (symbolic links followed): the reader
// refuses anything else, a device or a pipe could feed it without end.
bool IsRegularFile(const QString& path);

// The same reader on the file's bytes already in memory. Lines end in CR LF
// or LF (CRs before the LF are never part of a line); the lines of the text
// section are joined with CR LF into the notes.
int ParseDataFile(std::string_view bytes, TDataBlock& block,
                  IMessageService& msgs);
// The same with the memory the samples may take; a file that needs more is
// refused before its samples are read (DataFileError with TooLargeText).
int ParseDataFile(std::string_view bytes, TDataBlock& block,
                  IMessageService& msgs, std::size_t memoryLimit);

// The memory the samples of one file may take: half of what the system has
// available.
std::size_t MemoryForSamples();
std::string TooLargeText(std::size_t samples, double bytesNeeded, std::size_t bytesAvailable);

// Writes block to fileName through the checked writer. The old file is
// replaced only once the new one is complete; on failure msgs shows "Error
// in writing file." with the file's name, the old file stays as it was and
// false is returned.
bool WriteDataFile(const QString& fileName, const TDataBlock& block, IMessageService& msgs);
bool WriteDataFile(const QString& fileName, const TDataBlock& block, IMessageService& msgs, TCheckedWriter& writer);

// The bytes WriteDataFile writes for block.
std::string FormatDataFile(const TDataBlock& block);

// --- Numbers as the files hold them -------------------------------------

// Longest text FormatFixed can produce (sign, 309 digits, point, decimals).
constexpr int kMaxFixedChars = 330;

// Fixed-point text of value with 0..9 decimals: "." as separator, no
// exponent, no blanks. The exact binary value is rounded to the nearest
// decimal; a value exactly half way (0.125, -0.25) goes away from zero.
// Never "-0.00"; a value that is not finite is written as 0. Writes at most
// kMaxFixedChars characters at out and returns the end.
char* FormatFixed(char* out, double value, int decimals);
std::string FormatFixed(double value, int decimals);

// Parses a real number the way the reader does: blanks around it are
// allowed, an empty text gives 0; a leading "+" or "-", digits, optional
// fraction, optional exponent. Infinities, NaN and values out of the range
// of a double are refused. Returns false when text is no such number.
bool ParseReal(std::string_view text, double& value);

} // namespace qv
