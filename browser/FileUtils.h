#pragma once
// File and folder operations of the data browser: rename, move, new folder
// and delete to the system's trash. No widgets; each operation reports the
// operating system's own error code.
#include <QString>
#include <QStringList>

namespace qv {

// Outcome of one operation: 0 on success, else the system's error code
// (errno on POSIX, GetLastError on Windows).
struct TFileResult {
    int Code = 0;
    bool Ok() const { return Code == 0; }
};

// The platform's "already exists" code (EEXIST; 183 on Windows).
int AlreadyExistsCode();
// Whether a code means the target is already there (EEXIST, ENOTEMPTY and
// the like).
bool IsAlreadyExists(int code);

// Why a name cannot be the new name of a file or folder, in the words shown
// to the user; empty when it can. Refuses names empty after trimming, "."
// and "..", path separators and characters the file system refuses; suffix
// is what the name gets on disk (".kdf" of a data file).
QString NameProblem(const QString& name, const QString& suffix = {});

// What is at a path. Paths may carry bytes that are not text
// (base/FileName.h): every call here reaches the file they name.
enum class TDiskKind { None, Folder, File, Link, Other };
// Link is only seen when links are not followed.
TDiskKind KindAt(const QString& path, bool followLinks = false);
// The names in a folder, every byte kept; none when it cannot be read.
QStringList NamesIn(const QString& folder);
// The path with every link, "." and ".." resolved; empty when nothing is
// there.
QString ResolvedPath(const QString& path);

// Renames a file or folder; never replaces an existing target.
TFileResult RenamePath(const QString& from, const QString& to);
// Moves a file or folder with all its content; never replaces an existing
// target. Within one file system this is a rename; across file systems the
// content is copied, the copy compared with the source, and only then is
// the source removed, so a failure half way loses nothing.
TFileResult MovePath(const QString& from, const QString& to);
// Creates one folder.
TFileResult MakeFolder(const QString& path);
// Moves a file or folder with its content to the system's trash; a
// symbolic link goes there itself, never what it leads to.
TFileResult ShellDelete(const QString& path);

// Whether path is folder itself or lies somewhere below it.
bool IsSameOrInside(const QString& folder, const QString& path);
// The first free "Nová složka", "Nová složka (1)", "Nová složka (2)", ...
// in a folder, as a full path.
QString NewFolderPath(const QString& parent);

} // namespace qv
