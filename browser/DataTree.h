#pragma once
// The data folder tree without widgets: the root folder, its subfolders and
// the ".kdf" files below, each node with a record that links it to the
// open files. A view mirrors the nodes through ITreeListener. The
// tree is also a small file manager: rename, move, delete and new folder.
#include "browser/FileUtils.h"
#include "browser/FolderWalk.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace qv {

// Node images of the tree's image list.
enum TreeImage { imgFolder = 0, imgFolderOpen = 1, imgFile = 2, imgLink = 3, imgFileOpen = 9 };

constexpr int kMaxNodeName = 255;

struct TNodeRec {
    bool Folder = false;
    bool Link = false;  // a symbolic link, shown and never followed
    QString Name;       // the name on disk (its bytes kept, base/FileName.h)
};

struct TTreeNode {
    QString Text;       // as shown: bytes of the name that are not text are U+FFFD
    int ImageIndex = imgFolder;
    int SelectedIndex = imgFolder;
    bool Expanded = false;
    std::unique_ptr<TNodeRec> Data;
    TTreeNode* Parent = nullptr;
    std::vector<std::unique_ptr<TTreeNode>> Children;

    bool IsFolder() const { return Data && Data->Folder; }
    bool IsLink() const { return Data && Data->Link; }
    int IndexInParent() const;
};

// Told about every change of the nodes, so a view can follow them.
class ITreeListener {
public:
    virtual ~ITreeListener() = default;
    virtual void TreeReset() = 0;                               // all nodes anew
    // A new node, or one moved with its children; index among its siblings.
    virtual void NodeAdded(TTreeNode* node, int index) = 0;
    virtual void NodeRemoving(TTreeNode* node) = 0;             // with its children
    virtual void NodeChanged(TTreeNode* node) = 0;              // text or image
};

// What the tree asks of the window that shows the open files.
class ITreeHost {
public:
    virtual ~ITreeHost() = default;
    // Opens a file into the graph: the new grid row, or a negative value
    // after it showed the one box that says why.
    virtual int OpenFile(const QString& fileName) = 0;
    // Whether a file is open.
    virtual bool IsOpen(const QString& fileName) const = 0;
    // The tree-notification switch: file-system changes refresh the tree
    // only while it is on; off while the program itself changes the disk.
    virtual bool NotificationsOn() const = 0;
    virtual void SetNotificationsOn(bool on) = 0;
    // Whether an operation that may show a dialog is under way elsewhere
    // (opening, closing, saving): refreshes wait until it ends.
    virtual bool Busy() const = 0;
};

// Switches the host's notifications off for a scope and back afterwards,
// also when the work fails.
class TNotificationsOff {
public:
    explicit TNotificationsOff(ITreeHost* host);
    ~TNotificationsOff();
    TNotificationsOff(const TNotificationsOff&) = delete;
    TNotificationsOff& operator=(const TNotificationsOff&) = delete;

private:
    ITreeHost* host_;
    bool was_ = true;
};

// Sort order of siblings: folders before files, then the texts as file
// names (case-insensitive, by the locale).
int CompareNodes(const TTreeNode& a, const TTreeNode& b);

class TDataTree : public QObject {
    Q_OBJECT
public:
    TDataTree();
    ~TDataTree() override;

    QString DataRoot;                 // no trailing delimiter
    ITreeListener* Listener = nullptr;
    ITreeHost* Host = nullptr;        // none: notifications count as on

    TTreeNode* Root() const { return root_.get(); }
    bool Empty() const { return !root_; }

    void BuildTree();
    void RefreshTree();
    // By the walk rule of browser/FolderWalk.h: each folder once, links
    // shown as links and never followed.
    void RunSearch(const QString& folder, TTreeNode* parent, bool checkExisting);
    // The parent's first child of that kind whose name matches, or null.
    TTreeNode* IsInTN(bool folder, const QString& name, TTreeNode* parent) const;
    // Removes the node's vanished descendants and the node itself if gone;
    // throws std::runtime_error for a node without a record.
    void CheckTreeExists(TTreeNode* node);
    void AssignDataptr(TTreeNode* node, const QString& path, bool folder);
    void ClearTreeView();
    QString GetFullName(const TTreeNode* node) const;
    // Whether a file node's file is open (the host knows).
    bool IsOpen(const TTreeNode* node) const;
    // Files were opened or closed: the file nodes show which are open.
    void OpenFilesChanged();

    void SetExpanded(TTreeNode* node, bool expanded);

    // Node lookups.
    TTreeNode* FindByPath(const QString& fullName) const;
    void ForEach(const std::function<void(TTreeNode*)>& f) const;
    int NodeCount() const;
    QStringList FolderPaths() const;  // every folder of the tree, root first

    // File operations (DataTreeOps.cpp). Each reports its failure in an
    // error box and leaves the tree as the disk is.
    // The end of an edit of a node's text; true when the node was renamed.
    bool RenameNode(TTreeNode* node, const QString& newText);
    // Moves the dragged node into the target folder (a file target: its
    // folder); true when it moved.
    bool MoveNode(TTreeNode* dragged, TTreeNode* target);
    // Closes, through the ordinary close with its save question, every open
    // file at or below the node; false when one stays open.
    bool CloseOpenFiles(TTreeNode* node);
    // Deletes the node's file or folder to the trash, closing its open files
    // first; true when it was deleted.
    bool DeleteNode(TTreeNode* node);
    // Makes "Nová složka" (then "Nová složka (1)", ...) in the node's folder;
    // the new node, or null.
    TTreeNode* NewFolder(TTreeNode* node);
    // Puts a node whose text changed at its sorted place among its siblings.
    void PlaceSorted(TTreeNode* node);

signals:
    // Closes an open file (vanished, or about to be deleted).
    void CloseFile(const QString& fullName);
    // Closes every open file (the data root vanished).
    void CloseAllFiles();
    // An open file is now at another place (renamed or moved).
    void OpenFileMoved(const QString& oldName, const QString& newName);
    // The root folder was renamed.
    void DataRootChanged(const QString& dataRoot);

private:
    TTreeNode* AddChild(TTreeNode* parent, const QString& text, int image);
    void Search(TFolderWalk& walk, const QString& folder, TTreeNode* parent, bool checkExisting);
    // Index among parent's children where a node of that kind and text goes.
    int SortedIndex(const TTreeNode* parent, const TTreeNode* node, bool folder) const;
    // Changes the disk with the notifications off.
    TFileResult Unwatched(const std::function<TFileResult()>& change);
    // Tells the open files at or below node, which moved from oldPath to
    // newPath, their new paths.
    void ReportOpenPaths(const TTreeNode* node, const QString& oldPath, const QString& newPath);
    void RemoveNode(TTreeNode* node);
    void SortChildren(TTreeNode* node);

    std::unique_ptr<TTreeNode> root_;
    bool sorted_ = true;
};

} // namespace qv
