#pragma once
// The flight files below a folder, as the data folder tree finds them.
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

namespace qv {

struct TFlightFile {
    QString File;      // relative to the data root, "/" separators
    qint64 Size = 0;
    qint64 MTime = 0;  // modification time, milliseconds since the epoch
};

struct TFlightWalk {
    std::vector<TFlightFile> Files;
    QStringList Folders; // full paths, folder itself first
};

// Every flight file at or below folder (a folder of the data root, or the
// root itself), with its size and time, and the folders on the way, by the
// data folder's one walk rule (browser/FolderWalk.h).
TFlightWalk WalkFlights(const QString& root, const QString& folder);

// The relative path of a file or folder below root ("" for root itself).
QString RelativeToRoot(const QString& root, const QString& path);

} // namespace qv
