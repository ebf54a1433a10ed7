#pragma once
// A stand-in for the main window behind the data tree: opens files through
// a test's function, keeps the paths of the open files and records the
// tree-notification switch.
#include "browser/DataTree.h"

#include <QStringList>
#include <functional>
#include <vector>

namespace qv::test {

class TTestTreeHost : public ITreeHost {
public:
    int OpenFile(const QString& fileName) override
    {
        const int row = Open ? Open(fileName) : -1;
        if (row >= 0 && !OpenPaths.contains(fileName))
            OpenPaths << fileName;
        return row;
    }
    bool IsOpen(const QString& fileName) const override
    {
        return OpenQuery ? OpenQuery(fileName) : OpenPaths.contains(fileName);
    }
    bool NotificationsOn() const override { return Notify; }
    void SetNotificationsOn(bool on) override
    {
        Notify = on;
        Switches.push_back(on);
    }
    bool Busy() const override { return false; }

    // Marks a node's file open, as opening it would, or closed.
    void MarkOpen(TDataTree& tree, TTreeNode* node)
    {
        OpenPaths << tree.GetFullName(node);
        tree.OpenFilesChanged();
    }
    void MarkClosed(TDataTree& tree, const QString& fileName)
    {
        OpenPaths.removeAll(fileName);
        tree.OpenFilesChanged();
    }
    // Follows a move of an open file.
    void Moved(const QString& from, const QString& to)
    {
        const int i = OpenPaths.indexOf(from);
        if (i >= 0)
            OpenPaths[i] = to;
    }

    std::function<int(const QString&)> Open;
    std::function<bool(const QString&)> OpenQuery; // asks the real open files instead
    bool Notify = true;
    std::vector<bool> Switches; // every setting of the switch, in order
    QStringList OpenPaths;
};

} // namespace qv::test
