#pragma once
// TreeView1, the data folder tree on the screen: mirrors TDataTree, opens
// and closes files on double click and Enter, its pop-up menu, and the
// file-system watcher that refreshes it when others change the data folder.
#include "browser/DataTree.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <functional>

class QAction;
class QFileSystemWatcher;
class QMenu;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace qv {

// The tree's image list; index as in TreeImage.
QIcon TreeImageIcon(int index);

class TTreeView : public QObject, public ITreeListener {
    Q_OBJECT
public:
    // tree: the widget to bind (made by the caller).
    TTreeView(QTreeWidget* tree, QObject* parent = nullptr);
    ~TTreeView() override;

    TDataTree Tree;
    QTreeWidget* TreeView1 = nullptr;
    QMenu* PopupMenuFile = nullptr;
    QAction* mnuOpenFile = nullptr;   // "Open Data"
    QAction* mnuCloseFile = nullptr;  // "Close Data"
    QAction* mnuRename = nullptr;     // hidden until file operations use it
    QAction* mnuDelete = nullptr;
    QAction* mnuNewFolder = nullptr;
    QAction* mnuRefresh = nullptr;
    TTreeNode* PopupNode = nullptr;   // node the pop-up was opened on

    // Opens a file into the graph: the new grid row or a negative value.
    std::function<int(const QString& fileName)> OpenFile;
    // Closes an open grid row.
    std::function<void(int row)> CloseRow;
    // The tree-notification switch: file-system changes refresh the tree
    // only while it answers true.
    std::function<bool()> NotificationsOn;
    // Whether an operation that may show a dialog is under way elsewhere
    // (opening, closing, saving): refreshes wait until it ends.
    std::function<bool()> Busy;

    void BuildTree();
    // Refresh with the hourglass cursor.
    void RefreshTree();
    // Double click / Enter / "Open Data" on a node.
    void OpenOrClose(TTreeNode* node);
    void mnuCloseFileClick();
    // Readies PopupMenuFile for a node; false for the root and no node,
    // which get no menu.
    bool PreparePopup(TTreeNode* node);

    TTreeNode* NodeOf(QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOf(const TTreeNode* node) const { return items_.value(node, nullptr); }
    TTreeNode* SelectedNode() const;
    // Folders the watcher looks at (for tests): every folder of the tree
    // and the root's parent.
    QStringList WatchedFolders() const;
    // Milliseconds a burst of changes is gathered before one refresh.
    int CoalesceMs = 200;
    int RefreshCount = 0;

    // ITreeListener
    void TreeReset() override;
    void NodeAdded(TTreeNode* node, int index) override;
    void NodeRemoving(TTreeNode* node) override;
    void NodeChanged(TTreeNode* node) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidgetItem* MakeItem(TTreeNode* node);
    void AddItems(QTreeWidgetItem* item, TTreeNode* node);
    void ForgetItems(TTreeNode* node);
    void FileSystemChanged();
    void SyncWatcher();
    void ShowPopup(const QPoint& pos);

    QHash<const TTreeNode*, QTreeWidgetItem*> items_;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* coalesce_ = nullptr;
    QString rootParent_; // watched for the root's renaming and removal
    bool resetting_ = false;
    int busy_ = 0; // nested operations of the tree itself
    friend struct TTreeBusy;
};

} // namespace qv
