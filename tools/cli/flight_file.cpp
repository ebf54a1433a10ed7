// Reading a flight file for the commands that work on one.
#include "base/MessageService.h"
#include "data/DataFile.h"
#include "tools/cli/Command.h"

#include <QFileInfo>

namespace qv::cli {

void TFileMessages::Error(const QString& text)
{
    ++Errors;
    PrintError(fileName_ + QStringLiteral(": ") + text);
}

void TFileMessages::Information(const QString& text)
{
    PrintError(fileName_ + QStringLiteral(": ") + text);
}

bool LoadFlightFile(const QString& fileName, TDataBlock& block)
{
    // Only regular files are read: a device or a pipe could feed the reader
    // forever.
    if (!IsRegularFile(fileName)) {
        PrintError(fileName + QStringLiteral(": ") +
                   (QFileInfo::exists(fileName) ? QStringLiteral("not a regular file") : QString::fromLatin1(kErrReading)));
        return false;
    }
    block.NotesStream();
    TFileMessages msgs(fileName);
    try {
        ReadDataFile(fileName, block, msgs);
    } catch (const DataFileError& e) {
        msgs.Error(QString::fromLatin1(e.what()));
    }
    return msgs.Errors == 0;
}

} // namespace qv::cli
