#include "logbook/FlightWalk.h"

#include "base/FileName.h"
#include "browser/FolderWalk.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace qv {

namespace {

// Size and modification time (ms) of a file under any name the walk gives.
void Stat(const QString& path, qint64& size, qint64& mtime)
{
#ifdef Q_OS_WIN
    const QFileInfo fi(path);
    size = fi.size();
    mtime = fi.lastModified().isValid() ? fi.lastModified().toMSecsSinceEpoch() : 0;
#else
    struct stat st;
    if (::stat(NativeName(path).constData(), &st) != 0) {
        size = -1;
        mtime = 0;
        return;
    }
    size = static_cast<qint64>(st.st_size);
    mtime = static_cast<qint64>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
#endif
}

} // namespace

QString RelativeToRoot(const QString& root, const QString& path)
{
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    if (path == root)
        return {};
    if (path.startsWith(prefix))
        return path.mid(prefix.size());
    const QString rel = QDir(root).relativeFilePath(path);
    return rel == QLatin1String(".") ? QString() : QDir::fromNativeSeparators(rel);
}

TFlightWalk WalkFlights(const QString& root, const QString& folder)
{
    TFlightWalk walk;
    // The data folder's one walk rule, started at folder.
    TFolderWalk rule(root);
    std::vector<QString> todo{folder};
    while (!todo.empty()) {
        const QString current = todo.back();
        todo.pop_back();
        const std::vector<TFolderEntry> entries = rule.Enter(current);
        walk.Folders << current;
        for (auto it = entries.rbegin(); it != entries.rend(); ++it)
            if (it->Kind == TEntryKind::Folder)
                todo.push_back(it->Path);
        for (const TFolderEntry& e : entries) {
            if (e.Kind != TEntryKind::DataFile)
                continue;
            TFlightFile f;
            f.File = RelativeToRoot(root, e.Path);
            Stat(e.Path, f.Size, f.MTime);
            walk.Files.push_back(f);
        }
    }
    return walk;
}

} // namespace qv
