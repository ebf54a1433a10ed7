#pragma once
// The data folder tree without widgets: the root folder, its subfolders and
// the ".kdf" files below, each node with a record that links it to the
// open-files grid. A view mirrors the nodes through ITreeListener.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace qv {

// Node images of the tree's image list.
enum TreeImage { imgFolder = 0, imgFolderOpen = 1, imgFile = 2, imgFileOpen = 9 };

constexpr int kMaxNodeName = 255;

struct TNodeRec {
    int GridRow = -1;   // row of the open-files grid; -1 when not open
    bool Folder = false;
    QString Name;       // folder name, or the file's name on disk
};

struct TTreeNode {
    QString Text;
    int ImageIndex = imgFolder;
    int SelectedIndex = imgFolder;
    bool Expanded = false;
    std::unique_ptr<TNodeRec> Data;
    TTreeNode* Parent = nullptr;
    std::vector<std::unique_ptr<TTreeNode>> Children;

    bool IsFolder() const { return Data && Data->Folder; }
    int IndexInParent() const;
};

// Told about every change of the nodes, so a view can follow them.
class ITreeListener {
public:
    virtual ~ITreeListener() = default;
    virtual void TreeReset() = 0;                               // all nodes anew
    virtual void NodeAdded(TTreeNode* node, int index) = 0;     // index among its siblings
    virtual void NodeRemoving(TTreeNode* node) = 0;             // with its children
    virtual void NodeChanged(TTreeNode* node) = 0;              // text or image
};

// Sort order of siblings: folders before files, then the texts as file
// names (case-insensitive, by the locale).
int CompareNodes(const TTreeNode& a, const TTreeNode& b);

class TDataTree {
public:
    TDataTree();
    ~TDataTree();

    QString DataRoot;                 // no trailing delimiter
    ITreeListener* Listener = nullptr;
    // Closes the grid row of a file that vanished from the disk.
    std::function<void(int row)> CloseGridRow;
    // Closes every open file (the data root vanished).
    std::function<void()> CloseAllFiles;

    TTreeNode* Root() const { return root_.get(); }
    bool Empty() const { return !root_; }

    void BuildTree();
    void RefreshTree();
    void RunSearch(const QString& folder, TTreeNode* parent, bool checkExisting);
    // The parent's first child of that kind whose name matches, or null.
    TTreeNode* IsInTN(bool folder, const QString& name, TTreeNode* parent) const;
    // Removes the node's vanished descendants and the node itself if gone;
    // throws std::runtime_error for a node without a record.
    void CheckTreeExists(TTreeNode* node);
    void AssignDataptr(TTreeNode* node, const QString& path, bool folder);
    void ClearTreeView();
    QString GetFullName(const TTreeNode* node) const;
    void CancelGridRowFlag(int removedRow);

    // Opening and closing from the tree.
    void SetGridRow(TTreeNode* node, int row);
    void SetExpanded(TTreeNode* node, bool expanded);

    // Node lookups.
    TTreeNode* FindByPath(const QString& fullName) const;
    void ForEach(const std::function<void(TTreeNode*)>& f) const;
    int NodeCount() const;
    QStringList FolderPaths() const;  // every folder of the tree, root first

private:
    TTreeNode* AddChild(TTreeNode* parent, const QString& text, int image);
    void RemoveNode(TTreeNode* node);
    void SortChildren(TTreeNode* node);

    std::unique_ptr<TTreeNode> root_;
    bool sorted_ = true;
};

} // namespace qv
