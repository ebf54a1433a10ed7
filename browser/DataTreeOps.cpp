// The data tree as a file manager: rename, move, delete and new folder, each
// on the disk first and then on the nodes, so that the tree keeps showing
// what is on the disk.
#include "browser/DataTree.h"
#include "browser/FileUtils.h"

#include "base/Assert.h"
#include "base/FileName.h"
#include "base/MessageService.h"
#include "data/DataFile.h"

#include <exception>

namespace qv {

namespace {

const QString kDataExt = QString::fromLatin1(kDataFileExtension);

QString Quoted(const QString& s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}

} // namespace

TFileResult TDataTree::Unwatched(const std::function<TFileResult()>& change)
{
    TNotificationsOff off(Host);
    return change();
}

void TDataTree::ReportOpenPaths(const TTreeNode* node, const QString& oldPath, const QString& newPath)
{
    if (!node)
        return;
    if (node->Data && !node->Data->Folder) {
        const QString now = GetFullName(node);
        const QString before = oldPath + now.mid(newPath.size());
        if (Host && Host->IsOpen(before))
            emit OpenFileMoved(before, now);
    }
    for (const auto& k : node->Children)
        ReportOpenPaths(k.get(), oldPath, newPath);
}

void TDataTree::PlaceSorted(TTreeNode* node)
{
    if (!node || !node->Parent)
        return;
    auto& kids = node->Parent->Children;
    const int at = node->IndexInParent();
    if (at < 0)
        return;
    const bool before = at == 0 || CompareNodes(*kids[at - 1], *node) <= 0;
    const bool after = at + 1 == static_cast<int>(kids.size()) || CompareNodes(*node, *kids[at + 1]) <= 0;
    if (before && after)
        return; // already in place
    if (Listener)
        Listener->NodeRemoving(node);
    std::unique_ptr<TTreeNode> own = std::move(kids[at]);
    kids.erase(kids.begin() + at);
    const int index = SortedIndex(node->Parent, node, node->IsFolder());
    kids.insert(kids.begin() + index, std::move(own));
    if (Listener)
        Listener->NodeAdded(node, index);
}

bool TDataTree::RenameNode(TTreeNode* node, const QString& newText)
{
    if (!node || newText.isEmpty())
        return false;
    const QString oldText = node->Text;
    if (!QV_ASSERT(node->Data != nullptr, "P=nil FormMain.TreeView1Edited")) {
        Messages().Error(QStringLiteral("Erpor by Renaming ") + oldText + QStringLiteral(" Empty data!"));
        return false;
    }
    if (newText == oldText)
        return false; // the edit changed nothing
    const QString oldPath = GetFullName(node);
    if (oldPath.isEmpty()) {
        Messages().Error(QStringLiteral("Erpor by Renaming ") + oldText + QStringLiteral(" Full name not found!"));
        return false;
    }
    const bool folder = node->Data->Folder;
    const QString suffix = folder || node->Data->Link ? QString() : kDataExt;
    const QString problem = NameProblem(newText, suffix);
    if (!problem.isEmpty()) {
        Messages().Error(problem);
        return false;
    }
    const QString newPath = oldPath.left(oldPath.lastIndexOf(QLatin1Char('/')) + 1) + newText + suffix;
    const TDiskKind there = KindAt(newPath, !node->Data->Link);
    if (node->Data->Link ? there != TDiskKind::None : there == (folder ? TDiskKind::Folder : TDiskKind::File)) {
        Messages().Error((folder ? QStringLiteral("Složka ") : QStringLiteral("Soubor ")) + ShownName(newPath) +
                         QStringLiteral(" už existuje!"));
        return false;
    }

    const TFileResult result = Unwatched([&] { return RenamePath(oldPath, newPath); });
    if (!result.Ok()) {
        Messages().Error(QStringLiteral("Can not rename file \r") + ShownName(oldPath) + QStringLiteral("\r to \r") +
                         ShownName(newPath) + QStringLiteral("\rErorr#=") + QString::number(result.Code));
        return false;
    }
    node->Data->Name = (newText + suffix).left(kMaxNodeName);
    node->Text = newText;
    if (node == root_.get()) {
        DataRoot = newPath;
        emit DataRootChanged(newPath);
    }
    if (Listener)
        Listener->NodeChanged(node);
    // Open files keep their rows; the rows learn the new paths.
    ReportOpenPaths(node, oldPath, newPath);
    return true;
}

bool TDataTree::MoveNode(TTreeNode* dragged, TTreeNode* target)
{
    if (!dragged || dragged == root_.get() || !target)
        return false;
    if (!QV_ASSERT(target->Data != nullptr, "P=nil FormMain.TreeView1DragDrop"))
        return false;
    if (!target->Data->Folder)
        target = target->Parent; // a file stands for its folder
    if (!target || !target->Data || !target->Data->Folder || !dragged->Data)
        return false;

    const QString targetFolder = GetFullName(target);
    if (KindAt(targetFolder, true) != TDiskKind::Folder) {
        Messages().Error(QStringLiteral("Cílová složka nenalezena! ") + ShownName(targetFolder));
        return false;
    }
    const QString newPath = targetFolder + QLatin1Char('/') + dragged->Data->Name;
    const QString oldPath = GetFullName(dragged);
    const bool folder = dragged->Data->Folder;
    // A link moves as itself, wherever it leads.
    const TDiskKind source = KindAt(oldPath, !dragged->Data->Link);
    if (!folder && source != (dragged->Data->Link ? TDiskKind::Link : TDiskKind::File)) {
        Messages().Error(QStringLiteral("Zdrojový soubor nenalezen! ") + ShownName(oldPath));
        return false;
    }
    if (folder && source != TDiskKind::Folder) {
        Messages().Error(QStringLiteral("Zdrojová složka nenalezena! ") + ShownName(oldPath));
        return false;
    }
    if (target == dragged->Parent)
        return false; // dropped where it already is
    bool intoItself = folder && IsSameOrInside(oldPath, targetFolder);
    for (const TTreeNode* n = target; n && !intoItself; n = n->Parent)
        intoItself = n == dragged;
    if (intoItself) {
        Messages().Error(QStringLiteral("Složku ") + Quoted(dragged->Text) +
                         QStringLiteral(" nelze přesunout do ní samé ani do její podsložky!"));
        return false;
    }

    const TFileResult result = Unwatched([&] { return MovePath(oldPath, newPath); });
    if (!result.Ok()) {
        if (IsAlreadyExists(result.Code)) {
            Messages().Error(Quoted(dragged->Text) + QStringLiteral(" již existuje v cílové složce!"));
        } else {
            Messages().Error(QStringLiteral("Chyba při přesouvání \"\r") + ShownName(oldPath) +
                             QStringLiteral("\" do \"\r") + ShownName(newPath) + QStringLiteral("! \rErorr:") +
                             QString::number(result.Code));
            RefreshTree();
        }
        return false;
    }

    // The node goes over with its children and records.
    if (Listener)
        Listener->NodeRemoving(dragged);
    auto& from = dragged->Parent->Children;
    const int at = dragged->IndexInParent();
    std::unique_ptr<TTreeNode> own = std::move(from[at]);
    from.erase(from.begin() + at);
    dragged->Parent = target;
    const int index = SortedIndex(target, dragged, folder);
    target->Children.insert(target->Children.begin() + index, std::move(own));
    if (Listener)
        Listener->NodeAdded(dragged, index);
    ReportOpenPaths(dragged, oldPath, newPath);
    return true;
}

bool TDataTree::CloseOpenFiles(TTreeNode* node)
{
    std::vector<TTreeNode*> open;
    std::vector<TTreeNode*> stack{node};
    while (!stack.empty()) {
        TTreeNode* n = stack.back();
        stack.pop_back();
        if (IsOpen(n))
            open.push_back(n);
        for (auto& k : n->Children)
            stack.push_back(k.get());
    }
    for (TTreeNode* n : open) {
        if (!IsOpen(n))
            continue; // closed meanwhile
        emit CloseFile(GetFullName(n));
        if (IsOpen(n))
            return false;
    }
    return true;
}

bool TDataTree::DeleteNode(TTreeNode* node)
{
    if (!node || node == root_.get())
        return false;
    const QString text = node->Text;
    if (!QV_ASSERT(node->Data != nullptr, "P=nil FormMain.mnuDeleteClick ")) {
        Messages().Error(QStringLiteral("Chyba při odstraňování ") + text + QStringLiteral("\rData=nil"));
        return false;
    }
    try {
        // One file that stays open keeps everything on the disk.
        if (!CloseOpenFiles(node))
            return false;
        const QString path = GetFullName(node);
        const TFileResult result = Unwatched([&] { return ShellDelete(path); });
        if (!result.Ok()) {
            Messages().Error(QStringLiteral("Chyba při odstraňování ") + text + QStringLiteral("\rError=") +
                             QString::number(result.Code));
            RefreshTree();
            return false;
        }
        RemoveNode(node);
        return true;
    } catch (const std::exception&) {
        Messages().Error(QStringLiteral("Chyba při odstraňování ") + text);
        RefreshTree();
        return false;
    }
}

TTreeNode* TDataTree::NewFolder(TTreeNode* node)
{
    if (!node || !QV_ASSERT(node->Data != nullptr, "P=nil FormMain.mnuNewDir"))
        return nullptr;
    if (!node->Data->Folder) {
        node = node->Parent;
        if (!node || !QV_ASSERT(node->Data != nullptr, "P=nil FormMain.mnuNewDir"))
            return nullptr;
    }
    const QString parentPath = GetFullName(node);
    const QString candidate = NewFolderPath(parentPath);
    const TFileResult result = Unwatched([&] { return MakeFolder(candidate); });
    if (!result.Ok()) {
        Messages().Error(QStringLiteral("Složku ") + Quoted(ShownName(candidate)) +
                         QStringLiteral(" nelze vytvořit!"));
        return nullptr;
    }
    TTreeNode* added = AddChild(node, candidate.mid(parentPath.size() + 1), imgFolder);
    AssignDataptr(added, candidate, true);
    return added;
}

} // namespace qv
