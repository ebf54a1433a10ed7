#include "browser/TreeView.h"

#include "base/Assert.h"
#include "base/FileName.h"
#include "base/MessageService.h"
#include "ui/HourGlass.h"

#include <QAction>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <exception>

namespace qv {

namespace {

QPixmap FolderPixmap(bool open)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x9c, 0x7a, 0x1c));
    p.setBrush(QColor(0xf2, 0xc9, 0x4c));
    p.drawRect(QRectF(1.5, 4.5, 13, 9));
    p.drawRect(QRectF(1.5, 2.5, 5, 2));
    if (open) {
        p.setBrush(QColor(0xfb, 0xe3, 0x8e));
        QPainterPath path;
        path.moveTo(3.5, 7.5);
        path.lineTo(15.5, 7.5);
        path.lineTo(13.5, 13.5);
        path.lineTo(1.5, 13.5);
        path.closeSubpath();
        p.drawPath(path);
    }
    return pm;
}

QPixmap FilePixmap(bool open)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x60, 0x60, 0x60));
    p.setBrush(open ? QColor(0xdd, 0xf0, 0xff) : Qt::white);
    p.drawRect(QRectF(2.5, 1.5, 11, 13));
    // a small flight curve
    QPen curve(open ? QColor(0xd0, 0x20, 0x20) : QColor(0x30, 0x60, 0xb0));
    curve.setWidthF(open ? 1.6 : 1.2);
    p.setPen(curve);
    QPainterPath path;
    path.moveTo(4, 12);
    path.cubicTo(6, 3, 9, 3, 12, 9);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    return pm;
}

// The file image with a shortcut arrow in its corner: a symbolic link,
// never followed.
QPixmap LinkPixmap()
{
    QPixmap pm = FilePixmap(false);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x60, 0x60, 0x60));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 8.5, 7, 7));
    QPen arrow(QColor(0x20, 0x70, 0x30));
    arrow.setWidthF(1.3);
    p.setPen(arrow);
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(2, 14);
    path.quadTo(2, 10.5, 6, 10.5);
    path.moveTo(4.5, 9);
    path.lineTo(6, 10.5);
    path.lineTo(4.5, 12);
    p.drawPath(path);
    return pm;
}

} // namespace

QIcon TreeImageIcon(int index)
{
    static const QIcon folder(FolderPixmap(false));
    static const QIcon folderOpen(FolderPixmap(true));
    static const QIcon file(FilePixmap(false));
    static const QIcon fileOpen(FilePixmap(true));
    static const QIcon link(LinkPixmap());
    switch (index) {
    case imgLink: return link;
    case imgFolder: return folder;
    case imgFolderOpen: return folderOpen;
    case imgFileOpen: return fileOpen;
    default: return file;
    }
}

TTreeView::TTreeView(QTreeWidget* tree, QObject* parent) : QObject(parent), TreeView1(tree)
{
    Tree.Listener = this;
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setColumnCount(1);
    TreeView1->header()->hide();
    TreeView1->setExpandsOnDoubleClick(true);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->installEventFilter(this);

    connect(TreeView1, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!resetting_)
            Tree.SetExpanded(NodeOf(item), true);
    });
    connect(TreeView1, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (!resetting_)
            Tree.SetExpanded(NodeOf(item), false);
    });
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        TTreeNode* node = NodeOf(item);
        if (node && node->Data && !node->Data->Folder && !node->Data->Link)
            OpenOrClose(node);
    });
    connect(TreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) { ShowPopup(pos); });

    PopupMenuFile = new QMenu(TreeView1);
    PopupMenuFile->setObjectName(QStringLiteral("PopupMenuFile"));
    mnuOpenFile = PopupMenuFile->addAction(QStringLiteral("Open Data"));
    mnuCloseFile = PopupMenuFile->addAction(QStringLiteral("Close Data"));
    mnuRename = PopupMenuFile->addAction(QStringLiteral("Rename"));
    mnuDelete = PopupMenuFile->addAction(QStringLiteral("Delete"));
    mnuNewFolder = PopupMenuFile->addAction(QStringLiteral("New Folder"));
    mnuRefresh = PopupMenuFile->addAction(QStringLiteral("Refresh"));
    PopupMenuFile->addSeparator();
    PopupMenuFile->addAction(QStringLiteral("Cancel"));
    connect(mnuOpenFile, &QAction::triggered, this, [this] {
        if (PopupNode)
            OpenOrClose(PopupNode);
    });
    connect(mnuCloseFile, &QAction::triggered, this, [this] { mnuCloseFileClick(); });
    connect(mnuRefresh, &QAction::triggered, this, [this] { RefreshTree(); });
    SetUpFileOperations();

    watcher_ = new QFileSystemWatcher(this);
    coalesce_ = new QTimer(this);
    coalesce_->setSingleShot(true);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& path) {
        ++NotificationCount;
        // In the root's parent only the root's coming and going matters.
        if (path == rootParent_ && (Tree.Root() != nullptr) == QFileInfo(Tree.DataRoot).isDir())
            return;
        FileSystemChanged();
    });
    connect(coalesce_, &QTimer::timeout, this, &TTreeView::CoalescedRefresh);
}

void TTreeView::CoalescedRefresh()
{
    if (ApplicationTerminating() || (Tree.Host && !Tree.Host->NotificationsOn()))
        return;
    if (busy_ > 0 || (Tree.Host && Tree.Host->Busy())) {
        coalesce_->start(CoalesceMs); // once the operation is over
        return;
    }
    RefreshTree();
}

bool TTreeView::RefreshPending() const { return coalesce_->isActive(); }

void TTreeView::FlushRefresh()
{
    if (!coalesce_->isActive())
        return;
    coalesce_->stop();
    CoalescedRefresh();
}

TTreeView::~TTreeView()
{
    // The tree widget may be gone already; Qt drops the event filter of a
    // deleted object by itself.
    Tree.Listener = nullptr;
}

void TTreeView::BuildTree()
{
    TTreeBusy busy(*this);
    THourGlass wait;
    try {
        Tree.BuildTree();
    } catch (const std::exception& e) {
        Messages().Error(QString::fromLocal8Bit(e.what()));
    }
    SyncWatcher();
}

void TTreeView::RefreshTree()
{
    if (busy_ > 0) {
        // Asked from within an operation of the tree: afterwards.
        coalesce_->start(CoalesceMs);
        return;
    }
    TTreeBusy busy(*this);
    THourGlass wait;
    ++RefreshCount;
    try {
        Tree.RefreshTree();
    } catch (const std::exception& e) {
        Messages().Error(QString::fromLocal8Bit(e.what()));
    }
    SyncWatcher();
}

void TTreeView::FileSystemChanged()
{
    if (ApplicationTerminating() || (Tree.Host && !Tree.Host->NotificationsOn()))
        return;
    if (!coalesce_->isActive())
        coalesce_->start(CoalesceMs);
}

void TTreeView::SyncWatcher()
{
    QStringList wanted;
    // The watcher cannot name folders whose names are not text.
    for (const QString& folder : Tree.FolderPaths())
        if (QtCanName(folder))
            wanted << folder;
    // The root's parent as well: a root renamed or removed by others shows
    // there, and so does its return.
    const QFileInfo root(Tree.DataRoot);
    rootParent_ = Tree.DataRoot.isEmpty() ? QString() : root.absolutePath();
    if (!rootParent_.isEmpty() && rootParent_ != root.absoluteFilePath() && !wanted.contains(rootParent_) &&
        QFileInfo(rootParent_).isDir())
        wanted << rootParent_;
    const QSet<QString> want(wanted.begin(), wanted.end());
    const QStringList have = watcher_->directories();
    QStringList drop;
    for (const QString& d : have)
        if (!want.contains(d))
            drop << d;
    if (!drop.isEmpty())
        watcher_->removePaths(drop);
    const QSet<QString> haveSet(have.begin(), have.end());
    QStringList add;
    for (const QString& d : wanted)
        if (!haveSet.contains(d))
            add << d;
    if (!add.isEmpty())
        watcher_->addPaths(add);
}

QStringList TTreeView::WatchedFolders() const
{
    return watcher_->directories();
}

TTreeNode* TTreeView::NodeOf(QTreeWidgetItem* item) const
{
    if (!item)
        return nullptr;
    return reinterpret_cast<TTreeNode*>(item->data(0, Qt::UserRole).value<quintptr>());
}

TTreeNode* TTreeView::SelectedNode() const
{
    return NodeOf(TreeView1->currentItem());
}

QTreeWidgetItem* TTreeView::MakeItem(TTreeNode* node)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, node->Text);
    item->setIcon(0, TreeImageIcon(node->ImageIndex));
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    items_.insert(node, item);
    return item;
}

void TTreeView::AddItems(QTreeWidgetItem* item, TTreeNode* node)
{
    QList<QTreeWidgetItem*> kids;
    kids.reserve(static_cast<int>(node->Children.size()));
    for (auto& k : node->Children)
        kids << MakeItem(k.get());
    item->addChildren(kids);
    for (std::size_t i = 0; i < node->Children.size(); ++i)
        AddItems(kids[static_cast<int>(i)], node->Children[i].get());
}

void TTreeView::TreeReset()
{
    resetting_ = true;
    PopupNode = nullptr;
    pressNode_ = nullptr;
    TreeView1->setUpdatesEnabled(false);
    TreeView1->clear();
    items_.clear();
    if (TTreeNode* root = Tree.Root()) {
        QTreeWidgetItem* top = MakeItem(root);
        AddItems(top, root);
        TreeView1->addTopLevelItem(top);
        Tree.ForEach([this](TTreeNode* n) {
            if (n->Expanded)
                if (QTreeWidgetItem* it = ItemOf(n))
                    it->setExpanded(true);
        });
    }
    TreeView1->setUpdatesEnabled(true);
    resetting_ = false;
}

void TTreeView::NodeAdded(TTreeNode* node, int index)
{
    // A moved node comes with its children.
    QTreeWidgetItem* item = MakeItem(node);
    AddItems(item, node);
    QTreeWidgetItem* parent = node->Parent ? ItemOf(node->Parent) : nullptr;
    if (parent)
        parent->insertChild(index, item);
    else
        TreeView1->insertTopLevelItem(index, item);
    ExpandSubtree(node);
}

void TTreeView::ForgetItems(TTreeNode* node)
{
    if (PopupNode == node)
        PopupNode = nullptr;
    if (pressNode_ == node)
        pressNode_ = nullptr;
    items_.remove(node);
    for (auto& k : node->Children)
        ForgetItems(k.get());
}

void TTreeView::NodeRemoving(TTreeNode* node)
{
    QTreeWidgetItem* item = ItemOf(node);
    ForgetItems(node);
    delete item;
}

void TTreeView::NodeChanged(TTreeNode* node)
{
    if (QTreeWidgetItem* item = ItemOf(node)) {
        item->setText(0, node->Text);
        item->setIcon(0, TreeImageIcon(node->ImageIndex));
    }
}

void TTreeView::OpenOrClose(TTreeNode* node)
{
    if (!node || node == Tree.Root())
        return;
    if (!QV_ASSERT(node->Data != nullptr, "P=nil FormMain.TreeView1DblClick"))
        return;
    if (node->Data->Folder || node->Data->Link)
        return; // a link is never followed
    TTreeBusy busy(*this);
    if (!Tree.IsOpen(node)) {
        // The host says itself why a file did not open.
        if (Tree.Host)
            Tree.Host->OpenFile(Tree.GetFullName(node));
        Tree.OpenFilesChanged();
    } else {
        emit CloseFile(Tree.GetFullName(node));
    }
}

void TTreeView::mnuCloseFileClick()
{
    TTreeNode* node = PopupNode;
    if (!node || node == Tree.Root() || !node->Data)
        return;
    if (!QV_ASSERT(Tree.IsOpen(node), "P^.GridRow>=0 in mnuCloseFileClick"))
        return;
    TTreeBusy busy(*this);
    emit CloseFile(Tree.GetFullName(node));
}

void TTreeView::ShowPopup(const QPoint& pos)
{
    try {
        QTreeWidgetItem* item = TreeView1->itemAt(pos);
        if (!PreparePopup(NodeOf(item)))
            return;
        TreeView1->setCurrentItem(item);
        PopupMenuFile->popup(TreeView1->viewport()->mapToGlobal(pos));
    } catch (const std::exception& e) {
        Messages().Error(QString::fromLocal8Bit(e.what()));
    }
}

bool TTreeView::PreparePopup(TTreeNode* node)
{
    if (!node || node == Tree.Root())
        return false;
    PopupNode = node;
    const bool file = node->Data && !node->Data->Folder && !node->Data->Link;
    const bool open = file && Tree.IsOpen(node);
    mnuOpenFile->setVisible(file && !open);
    mnuCloseFile->setVisible(open);
    return true;
}

bool TTreeView::eventFilter(QObject* watched, QEvent* event)
{
    if (FileOperationEvent(watched, event))
        return true;
    if (watched == TreeView1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Enter that ends an edit of a node's text comes up from the editor.
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !editing_) {
            if (TTreeNode* node = SelectedNode()) {
                if (node->IsFolder()) {
                    // As a double click: folders open and close.
                    QTreeWidgetItem* item = ItemOf(node);
                    item->setExpanded(!item->isExpanded());
                } else {
                    OpenOrClose(node);
                }
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace qv
