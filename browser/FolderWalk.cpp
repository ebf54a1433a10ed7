#include "browser/FolderWalk.h"

#include "base/FileName.h"
#include "browser/FileUtils.h"
#include "data/DataFile.h"

#include <algorithm>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace qv {

bool IsDataFileName(const QString& name)
{
    return name.endsWith(QLatin1String(kDataFileExtension), Qt::CaseInsensitive);
}

TFolderWalk::TFolderWalk(const QString& root) : resolvedRoot_(ResolvedPath(root)) {}

bool TFolderWalk::Inside(const QString& path) const
{
    if (resolvedRoot_.isEmpty())
        return false;
    const QString resolved = ResolvedPath(path);
    return resolved == resolvedRoot_ ||
           resolved.startsWith(resolvedRoot_.endsWith(QLatin1Char('/')) ? resolvedRoot_
                                                                         : resolvedRoot_ + QLatin1Char('/'));
}

std::vector<TFolderEntry> TFolderWalk::Enter(const QString& folder)
{
    std::vector<TFolderEntry> out;
#ifdef Q_OS_WIN
    if (!enteredPaths_.insert(ResolvedPath(folder).toLower()).second)
        return out;
#else
    struct stat st;
    if (::stat(NativeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return out;
    if (!entered_.insert({static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)})
             .second)
        return out;
#endif
    QStringList names = NamesIn(folder);
    std::sort(names.begin(), names.end());
    for (const QString& name : names) {
        const QString path = folder + QLatin1Char('/') + name;
        switch (KindAt(path)) {
        case TDiskKind::Folder:
            out.push_back({TEntryKind::Folder, name, path});
            break;
        case TDiskKind::File:
            if (IsDataFileName(name))
                out.push_back({TEntryKind::DataFile, name, path});
            break;
        case TDiskKind::Link: {
            const TDiskKind target = KindAt(path, true);
            if (target == TDiskKind::File && IsDataFileName(name) && Inside(path))
                out.push_back({TEntryKind::DataFile, name, path});
            else if (target == TDiskKind::Folder || IsDataFileName(name))
                out.push_back({TEntryKind::Link, name, path});
            break;
        }
        default:
            break;
        }
    }
    return out;
}

void ForEachFlightFile(const QString& root, const std::function<void(const QString& path)>& f)
{
    TFolderWalk walk(root);
    std::vector<QString> folders{root};
    while (!folders.empty()) {
        const QString folder = folders.back();
        folders.pop_back();
        const std::vector<TFolderEntry> entries = walk.Enter(folder);
        // A folder's flights, then its subfolders in name order.
        for (auto it = entries.rbegin(); it != entries.rend(); ++it)
            if (it->Kind == TEntryKind::Folder)
                folders.push_back(it->Path);
        for (const TFolderEntry& e : entries)
            if (e.Kind == TEntryKind::DataFile)
                f(e.Path);
    }
}

} // namespace qv
