#include "logbook/FlightWalk.h"

#include "browser/DataTree.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace qv {

QString RelativeToRoot(const QString& root, const QString& path)
{
    const QString rel = QDir(root).relativeFilePath(path);
    return rel == QLatin1String(".") ? QString() : QDir::fromNativeSeparators(rel);
}

TFlightWalk WalkFlights(const QString& root, const QString& folder)
{
    TFlightWalk walk;
    TDataTree tree;
    tree.DataRoot = folder;
    tree.BuildTree();
    tree.ForEach([&](TTreeNode* node) {
        if (!node->Data || node->Data->Folder)
            return;
        // Anything else of that name is listed too: the reader refuses it
        // with its message rather than the logbook leaving it out.
        const QFileInfo fi(tree.GetFullName(node));
        const QDateTime time = fi.lastModified();
        walk.Files.push_back({RelativeToRoot(root, fi.filePath()), fi.size(), time.isValid() ? time.toMSecsSinceEpoch() : 0});
    });
    walk.Folders = tree.FolderPaths();
    return walk;
}

} // namespace qv
