#include "browser/DataTree.h"

#include "base/Assert.h"
#include "base/FileName.h"

#include <QCollator>
#include <QDir>
#include <algorithm>
#include <stdexcept>

namespace qv {

namespace {

QString WithoutTrailingDelimiter(QString path)
{
    while (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'))))
        path.chop(1);
    return path;
}

const QCollator& FileNameCollator()
{
    static const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

} // namespace

int TTreeNode::IndexInParent() const
{
    if (!Parent)
        return 0;
    for (std::size_t i = 0; i < Parent->Children.size(); ++i)
        if (Parent->Children[i].get() == this)
            return static_cast<int>(i);
    return -1;
}

int CompareNodes(const TTreeNode& a, const TTreeNode& b)
{
    if (ApplicationTerminating())
        return 0;
    if (a.Data && b.Data) {
        if (a.Data->Folder && !b.Data->Folder)
            return -1;
        if (!a.Data->Folder && b.Data->Folder)
            return 1;
    }
    return FileNameCollator().compare(a.Text, b.Text);
}

TDataTree::TDataTree() = default;

TDataTree::~TDataTree()
{
    Listener = nullptr;
    ClearTreeView();
}

TNotificationsOff::TNotificationsOff(ITreeHost* host) : host_(host)
{
    if (host_) {
        was_ = host_->NotificationsOn();
        host_->SetNotificationsOn(false);
    }
}

TNotificationsOff::~TNotificationsOff()
{
    if (host_)
        host_->SetNotificationsOn(was_);
}

int TDataTree::SortedIndex(const TTreeNode* parent, const TTreeNode* node, bool folder) const
{
    const auto& kids = parent->Children;
    auto pos = std::upper_bound(kids.begin(), kids.end(), node, [folder](const TTreeNode* n, const auto& k) {
        const bool kFolder = k->IsFolder();
        if (folder != kFolder)
            return folder;
        return CompareNodes(*n, *k) < 0;
    });
    return static_cast<int>(pos - kids.begin());
}

TTreeNode* TDataTree::AddChild(TTreeNode* parent, const QString& text, int image)
{
    auto node = std::make_unique<TTreeNode>();
    node->Text = text;
    node->ImageIndex = node->SelectedIndex = image;
    node->Parent = parent;
    TTreeNode* raw = node.get();
    auto& kids = parent->Children;
    if (sorted_) {
        // Its record is not attached yet: place it by kind and text now.
        const int index = SortedIndex(parent, raw, image == imgFolder || image == imgFolderOpen);
        kids.insert(kids.begin() + index, std::move(node));
        if (Listener)
            Listener->NodeAdded(raw, index);
    } else {
        kids.push_back(std::move(node));
    }
    return raw;
}

void TDataTree::RemoveNode(TTreeNode* node)
{
    if (!node)
        return;
    if (Listener)
        Listener->NodeRemoving(node);
    if (!node->Parent) {
        root_.reset();
        return;
    }
    auto& kids = node->Parent->Children;
    kids.erase(std::remove_if(kids.begin(), kids.end(), [node](const auto& k) { return k.get() == node; }),
               kids.end());
}

void TDataTree::SortChildren(TTreeNode* node)
{
    std::stable_sort(node->Children.begin(), node->Children.end(),
                     [](const auto& a, const auto& b) { return CompareNodes(*a, *b) < 0; });
    for (auto& k : node->Children)
        SortChildren(k.get());
}

void TDataTree::BuildTree()
{
    const QString root = WithoutTrailingDelimiter(DataRoot);
    QString text = root.mid(std::max(root.lastIndexOf(QLatin1Char('/')), root.lastIndexOf(QLatin1Char('\\'))) + 1);
    if (text.isEmpty())
        text = root;
    ClearTreeView();
    root_ = std::make_unique<TTreeNode>();
    root_->Text = text;
    AssignDataptr(root_.get(), root, true);
    sorted_ = false;
    try {
        RunSearch(root, root_.get(), false);
    } catch (...) {
        sorted_ = true;
        SortChildren(root_.get());
        SetExpanded(root_.get(), true);
        if (Listener)
            Listener->TreeReset();
        throw;
    }
    sorted_ = true;
    SortChildren(root_.get());
    root_->Expanded = true;
    root_->ImageIndex = root_->SelectedIndex = imgFolderOpen;
    if (Listener)
        Listener->TreeReset();
}

void TDataTree::RunSearch(const QString& folder, TTreeNode* parent, bool checkExisting)
{
    if (!parent)
        return;
    TFolderWalk walk(WithoutTrailingDelimiter(DataRoot));
    Search(walk, folder, parent, checkExisting);
}

void TDataTree::Search(TFolderWalk& walk, const QString& folder, TTreeNode* parent, bool checkExisting)
{
    for (const TFolderEntry& e : walk.Enter(folder)) {
        const QString& name = e.Name;
        if (e.Kind == TEntryKind::Folder) {
            TTreeNode* node = checkExisting ? IsInTN(true, name, parent) : nullptr;
            if (!node) {
                node = AddChild(parent, ShownName(name), imgFolder);
                AssignDataptr(node, e.Path, true);
                QV_ASSERT(node->Data != nullptr, QStringLiteral("NTN.data<>nil in Runsearch, TN.text=") + node->Text);
            }
            Search(walk, e.Path, node, checkExisting);
            continue;
        }
        if (checkExisting && IsInTN(false, name, parent))
            continue;
        const bool link = e.Kind == TEntryKind::Link;
        const QString text = ShownName(link ? name : name.left(name.size() - 4));
        TTreeNode* node = AddChild(parent, text, link ? imgLink : imgFile);
        AssignDataptr(node, e.Path, false);
        QV_ASSERT(node->Data != nullptr, QStringLiteral("NTN.data<>nil in RunSearch, NTN.text=") + node->Text);
        if (node->Data)
            node->Data->Link = link;
    }
}

TTreeNode* TDataTree::IsInTN(bool folder, const QString& name, TTreeNode* parent) const
{
    if (!parent)
        return nullptr;
    for (const auto& k : parent->Children) {
        if (!QV_ASSERT(k->Data != nullptr, "P<>nil in IsInTN"))
            continue;
        if (k->Data->Folder != folder)
            continue;
        if (k->Data->Name == name)
            return k.get();
    }
    return nullptr;
}

void TDataTree::AssignDataptr(TTreeNode* node, const QString& path, bool folder)
{
    if (!node)
        return;
    auto rec = std::make_unique<TNodeRec>();
    rec->Folder = folder;
    // The name on disk, which the text shows.
    rec->Name = WithoutTrailingDelimiter(path).section(QLatin1Char('/'), -1).left(kMaxNodeName);
    node->Data = std::move(rec);
    QV_ASSERT(node->Data != nullptr, QStringLiteral("TN.data<>nil in AssignDataptr, TN.text=") + node->Text);
}

void TDataTree::ClearTreeView()
{
    sorted_ = false;
    ForEach([](TTreeNode* n) {
        std::unique_ptr<TNodeRec> rec = std::move(n->Data);
        QV_ASSERT(rec != nullptr, QStringLiteral("P<>nil in ClearTreeView, Text=") + n->Text);
    });
    root_.reset();
    sorted_ = true;
    if (Listener)
        Listener->TreeReset();
}

QString TDataTree::GetFullName(const TTreeNode* node) const
{
    if (!root_ || !node)
        return {};
    if (!QV_ASSERT(node->Data != nullptr, "P<>nil in GetFullName"))
        return {};
    QStringList parts;
    for (const TTreeNode* n = node; n && n->Parent; n = n->Parent)
        parts.prepend(n->Data ? n->Data->Name : n->Text);
    QString full = WithoutTrailingDelimiter(DataRoot);
    if (!parts.isEmpty())
        full += QLatin1Char('/') + parts.join(QLatin1Char('/'));
    return WithoutTrailingDelimiter(full);
}

void TDataTree::CheckTreeExists(TTreeNode* node)
{
    if (!node)
        return;
    std::vector<TTreeNode*> kids;
    for (auto& k : node->Children)
        kids.push_back(k.get());
    for (TTreeNode* k : kids)
        CheckTreeExists(k);
    if (!node->Data)
        throw std::runtime_error("Invalid Pointer in CheckTreeExists");
    const QString full = GetFullName(node);
    if (node->Data->Folder) {
        if (KindAt(full, node == root_.get()) != TDiskKind::Folder)
            RemoveNode(node);
    } else if (node->Data->Link) {
        if (KindAt(full) != TDiskKind::Link)
            RemoveNode(node);
    } else if (KindAt(full, true) != TDiskKind::File) {
        if (IsOpen(node))
            emit CloseFile(full);
        RemoveNode(node);
    }
}

void TDataTree::RefreshTree()
{
    const QString root = WithoutTrailingDelimiter(DataRoot);
    if (KindAt(root, true) == TDiskKind::Folder) {
        if (!root_) {
            BuildTree();
            return;
        }
        CheckTreeExists(root_.get());
        if (root_)
            RunSearch(root, root_.get(), true);
        else
            BuildTree();
    } else {
        emit CloseAllFiles();
        ClearTreeView();
    }
}

bool TDataTree::IsOpen(const TTreeNode* node) const
{
    return node && node->Data && !node->Data->Folder && Host && Host->IsOpen(GetFullName(node));
}

void TDataTree::OpenFilesChanged()
{
    ForEach([this](TTreeNode* n) {
        if (!QV_ASSERT(n->Data != nullptr, "P=nil FormMain.CancelGridRowFlag") || n->Data->Folder)
            return;
        const int image = IsOpen(n) ? imgFileOpen : imgFile;
        if (n->ImageIndex == image)
            return;
        n->ImageIndex = n->SelectedIndex = image;
        if (Listener)
            Listener->NodeChanged(n);
    });
}

void TDataTree::SetExpanded(TTreeNode* node, bool expanded)
{
    if (!node)
        return;
    node->Expanded = expanded;
    if (node->Data && node->Data->Folder) {
        node->ImageIndex = node->SelectedIndex = expanded ? imgFolderOpen : imgFolder;
        if (Listener)
            Listener->NodeChanged(node);
    }
}

void TDataTree::ForEach(const std::function<void(TTreeNode*)>& f) const
{
    if (!root_)
        return;
    std::vector<TTreeNode*> stack{root_.get()};
    while (!stack.empty()) {
        TTreeNode* n = stack.back();
        stack.pop_back();
        f(n);
        for (auto it = n->Children.rbegin(); it != n->Children.rend(); ++it)
            stack.push_back(it->get());
    }
}

int TDataTree::NodeCount() const
{
    int n = 0;
    ForEach([&n](TTreeNode*) { ++n; });
    return n;
}

TTreeNode* TDataTree::FindByPath(const QString& fullName) const
{
    TTreeNode* found = nullptr;
    const QString wanted = QDir::cleanPath(fullName);
    ForEach([&](TTreeNode* n) {
        if (!found && n->Data && QDir::cleanPath(GetFullName(n)) == wanted)
            found = n;
    });
    return found;
}

QStringList TDataTree::FolderPaths() const
{
    QStringList paths;
    ForEach([&](TTreeNode* n) {
        if (n->Data && n->Data->Folder)
            paths << GetFullName(n);
    });
    return paths;
}

} // namespace qv
