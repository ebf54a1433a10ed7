#pragma once
// TreeView1, the data folder tree on the screen: mirrors TDataTree, opens
// and closes files on double click and Enter, renames by editing a node's
// text, moves by drag and drop, deletes and makes folders from its pop-up
// menu, and keeps the file-system watcher that refreshes it when others
// change the data folder.
#include "browser/DataTree.h"

#include <QHash>
#include <QIcon>
#include <QObject>

class QAction;
class QDragMoveEvent;
class QDropEvent;
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
    QAction* mnuRename = nullptr;
    QAction* mnuDelete = nullptr;
    QAction* mnuNewFolder = nullptr;
    QAction* mnuRefresh = nullptr;
    TTreeNode* PopupNode = nullptr;   // node the pop-up was opened on
    // Pixels from the top and bottom edges within which a drag scrolls.
    static constexpr int kDragScrollMargin = 20;
    // Mime type of a node dragged within the tree.
    static const char* const kNodeMime;

    void BuildTree();
    // Refresh with the hourglass cursor.
    void RefreshTree();
    // Double click / Enter / "Open Data" on a node.
    void OpenOrClose(TTreeNode* node);
    void mnuCloseFileClick();
    // Readies PopupMenuFile for a node; false for the root and no node,
    // which get no menu.
    bool PreparePopup(TTreeNode* node);

    // File operations (TreeViewOps.cpp).
    void mnuRenameClick();     // edits the remembered node's text
    void mnuDeleteClick();     // deletes the remembered node
    void mnuNewFolderClick();  // a new folder, its name then edited
    void DeleteNode(TTreeNode* node);
    // The end of an edit of an item's text.
    void TreeView1Edited(QTreeWidgetItem* item, const QString& text);
    // Dragging over the tree: accepts and scrolls near the edges.
    void TreeView1DragOver(QDragMoveEvent* event);
    // A drop: moves the selected node into the folder under the pointer.
    void TreeView1DragDrop(QDropEvent* event);
    bool Editing() const { return editing_; }

    TTreeNode* NodeOf(QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOf(const TTreeNode* node) const { return items_.value(node, nullptr); }
    TTreeNode* SelectedNode() const;
    // Folders the watcher looks at (for tests): every folder of the tree
    // and the root's parent.
    QStringList WatchedFolders() const;
    // Milliseconds a burst of changes is gathered before one refresh.
    int CoalesceMs = 200;
    int RefreshCount = 0;
    // Changes the watcher reported (tests wait for them instead of a time).
    int NotificationCount = 0;
    // A change of the disk as the watcher reports it: one refresh follows a
    // burst of them.
    void FileSystemChanged();
    // Whether a refresh is gathered and waiting; runs a waiting one now.
    bool RefreshPending() const;
    void FlushRefresh();

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
    void CoalescedRefresh();
    void SyncWatcher();
    void ShowPopup(const QPoint& pos);
    void SetUpFileOperations();
    bool FileOperationEvent(QObject* watched, QEvent* event);
    void StartDrag();
    void ExpandSubtree(TTreeNode* node);

    QHash<const TTreeNode*, QTreeWidgetItem*> items_;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* coalesce_ = nullptr;
    QString rootParent_; // watched for the root's renaming and removal
    bool resetting_ = false;
    bool editing_ = false;
    bool renaming_ = false;
    TTreeNode* pressNode_ = nullptr; // under the last left press, may start a drag
    QPoint pressPos_;
    int busy_ = 0; // nested operations of the tree itself
    friend struct TTreeBusy;
    friend class TNodeEditDelegate;

signals:
    // Closes an open file (double click, Enter, "Close Data").
    void CloseFile(const QString& fullName);
};

// Marks the tree busy for a scope: dialogs shown meanwhile let events run,
// and a refresh then must not pull nodes away under the operation.
struct TTreeBusy {
    explicit TTreeBusy(TTreeView& v) : view(v) { ++view.busy_; }
    ~TTreeBusy() { --view.busy_; }
    TTreeView& view;
};

} // namespace qv
