#pragma once
// The one rule by which the data folder is walked, for the tree and for any
// walk over all flights of the data folder:
// - a folder is entered once, by its identity on the disk (device and
//   inode); another way to the same folder lists nothing below it;
// - a symbolic link is never followed: a link to a folder, a link to a
//   flight outside the data folder and a dangling link named like a flight
//   are listed as links; a link to a flight inside the data folder is listed
//   as that flight; other links are left out;
// - a flight is a regular file whose name ends in ".kdf" (any case);
// - names keep their bytes (base/FileName.h), also when they are not text.
#include <QString>
#include <functional>
#include <set>
#include <utility>
#include <vector>

namespace qv {

enum class TEntryKind { Folder, DataFile, Link };

struct TFolderEntry {
    TEntryKind Kind = TEntryKind::DataFile;
    QString Name; // on the disk
    QString Path; // the folder's path, "/" and Name
};

// Whether a name is that of a flight file: it ends in ".kdf", any case.
bool IsDataFileName(const QString& name);

class TFolderWalk {
public:
    // Walks below root (a link as the root itself is followed).
    explicit TFolderWalk(const QString& root);
    // The entries of folder that the walk shows, sorted by name; none when
    // the folder was entered before or cannot be read.
    std::vector<TFolderEntry> Enter(const QString& folder);

private:
    bool Inside(const QString& path) const;

    QString resolvedRoot_;
#ifdef Q_OS_WIN
    std::set<QString> enteredPaths_;
#else
    std::set<std::pair<unsigned long long, unsigned long long>> entered_; // device, inode
#endif
};

// Calls f with the path of every flight file below root, by the rule above.
void ForEachFlightFile(const QString& root, const std::function<void(const QString& path)>& f);

} // namespace qv
