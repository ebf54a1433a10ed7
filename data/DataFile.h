#pragma once
// Reader and writer of the ".kdf" flight data files.
#include "data/DataBlock.h"

#include <QString>
#include <stdexcept>

namespace qv {

class IMessageService;

// Raised by the reader for a malformed file: "Unexpected end of file",
// "Bad header of file", "Error reading data from file.".
class DataFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Open and save dialogs filter.
inline const char* const kDataFileFilter = "Dosk data (kdf)|*.kdf";

// Reads fileName into block (whose notes stream exists) and returns the
// number of samples (0 for an empty name). Markers are set where the
// receiver value is above markerThreshold. Format errors throw
// DataFileError; input/output errors are reported through msgs
// ("Error in reading file.") and the count found so far is returned.
int ReadDataFile(const QString& fileName, TDataBlock& block, double markerThreshold,
                 IMessageService& msgs);

// Writes block to fileName. The old file is replaced only once the new one
// is complete; on failure msgs shows "Error in writing file.", the old file
// stays as it was and false is returned.
bool WriteDataFile(const QString& fileName, const TDataBlock& block, IMessageService& msgs);

} // namespace qv
