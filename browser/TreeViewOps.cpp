// TreeView1 as a file manager: the pop-up's Rename, Delete and New Folder,
// the Delete key, editing a node's text, and moving nodes by drag and drop.
#include "browser/TreeView.h"

#include "ui/HourGlass.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>

namespace qv {

const char* const TTreeView::kNodeMime = "application/x-quorvel-tree-node";

// Edits a node's text; the text reaches the item only through a rename
// that succeeded on the disk.
class TNodeEditDelegate : public QStyledItemDelegate {
public:
    explicit TNodeEditDelegate(TTreeView* view) : QStyledItemDelegate(view->TreeView1), view_(view) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor) {
            editor->setObjectName(QStringLiteral("TreeView1Editor"));
            view_->editing_ = true;
        }
        return editor;
    }
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        view_->editing_ = false;
        QStyledItemDelegate::destroyEditor(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        QTreeWidgetItem* item = view_->TreeView1->itemFromIndex(index);
        if (line && item)
            view_->TreeView1Edited(item, line->text());
    }

private:
    TTreeView* view_;
};

void TTreeView::SetUpFileOperations()
{
    TreeView1->setItemDelegate(new TNodeEditDelegate(this));
    TreeView1->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    // Drags are started and dropped here, never by the view's own item moves.
    TreeView1->setDragEnabled(false);
    TreeView1->setAcceptDrops(true);
    TreeView1->viewport()->setAcceptDrops(true);
    TreeView1->viewport()->installEventFilter(this);

    connect(mnuRename, &QAction::triggered, this, [this] { mnuRenameClick(); });
    connect(mnuDelete, &QAction::triggered, this, [this] { mnuDeleteClick(); });
    connect(mnuNewFolder, &QAction::triggered, this, [this] { mnuNewFolderClick(); });
}

void TTreeView::ExpandSubtree(TTreeNode* node)
{
    if (!node)
        return;
    if (node->Expanded)
        if (QTreeWidgetItem* item = ItemOf(node))
            item->setExpanded(true);
    for (auto& k : node->Children)
        ExpandSubtree(k.get());
}

void TTreeView::mnuRenameClick()
{
    TTreeNode* node = PopupNode;
    if (!node || node == Tree.Root())
        return;
    QTreeWidgetItem* item = ItemOf(node);
    TreeView1->setCurrentItem(item);
    TreeView1->editItem(item);
}

void TTreeView::mnuDeleteClick()
{
    DeleteNode(PopupNode);
}

void TTreeView::DeleteNode(TTreeNode* node)
{
    if (!node || node == Tree.Root())
        return;
    TTreeBusy busy(*this);
    // The save questions of open files come before the hourglass.
    if (node->Data && !Tree.CloseOpenFiles(node))
        return;
    THourGlass wait;
    Tree.DeleteNode(node);
    SyncWatcher();
}

void TTreeView::mnuNewFolderClick()
{
    TTreeNode* node = PopupNode;
    if (!node)
        return;
    TTreeNode* added = nullptr;
    {
        TTreeBusy busy(*this);
        added = Tree.NewFolder(node);
    }
    if (!added)
        return;
    SyncWatcher();
    QTreeWidgetItem* item = ItemOf(added);
    if (item->parent())
        item->parent()->setExpanded(true);
    TreeView1->setCurrentItem(item);
    TreeView1->scrollToItem(item);
    TreeView1->editItem(item);
}

void TTreeView::TreeView1Edited(QTreeWidgetItem* item, const QString& text)
{
    TTreeNode* node = NodeOf(item);
    // An error box takes the focus from the editor, which then offers its
    // text once more: one rename at a time.
    if (!node || renaming_)
        return;
    bool renamed = false;
    {
        TTreeBusy busy(*this);
        const QScopedValueRollback<bool> once(renaming_, true);
        renamed = Tree.RenameNode(node, text);
    }
    if (!renamed)
        return;
    // The node takes its sorted place once the editor is gone.
    QTimer::singleShot(0, this, [this, node] {
        if (!ItemOf(node))
            return; // gone meanwhile
        Tree.PlaceSorted(node);
        TreeView1->setCurrentItem(ItemOf(node));
        SyncWatcher();
    });
}

void TTreeView::StartDrag()
{
    TTreeNode* node = pressNode_;
    pressNode_ = nullptr;
    if (!node || node == Tree.Root() || !ItemOf(node))
        return;
    TreeView1->setCurrentItem(ItemOf(node));
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kNodeMime), Tree.GetFullName(node).toUtf8());
    auto* drag = new QDrag(TreeView1->viewport());
    drag->setMimeData(mime);
    drag->setPixmap(TreeImageIcon(node->ImageIndex).pixmap(16, 16));
    drag->exec(Qt::MoveAction);
}

namespace {

// Takes drags of the tree's own nodes only, always as a move.
bool AcceptNodeDrag(QDropEvent* event)
{
    if (!event->mimeData() || !event->mimeData()->hasFormat(QString::fromLatin1(TTreeView::kNodeMime))) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    return true;
}

} // namespace

void TTreeView::TreeView1DragOver(QDragMoveEvent* event)
{
    if (!AcceptNodeDrag(event))
        return;
    const int y = event->position().toPoint().y();
    QScrollBar* bar = TreeView1->verticalScrollBar();
    if (y < kDragScrollMargin)
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (y > TreeView1->viewport()->height() - kDragScrollMargin)
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    else
        return;
    TreeView1->viewport()->repaint();
}

void TTreeView::TreeView1DragDrop(QDropEvent* event)
{
    if (!AcceptNodeDrag(event))
        return;
    TTreeNode* dragged = SelectedNode();
    if (!dragged || dragged == Tree.Root())
        return;
    TTreeNode* target = NodeOf(TreeView1->itemAt(event->position().toPoint()));
    if (!target)
        return;
    bool moved = false;
    {
        TTreeBusy busy(*this);
        THourGlass wait;
        moved = Tree.MoveNode(dragged, target);
    }
    if (moved) {
        if (QTreeWidgetItem* item = ItemOf(dragged)) {
            if (item->parent())
                item->parent()->setExpanded(true);
            TreeView1->setCurrentItem(item);
        }
    }
    SyncWatcher();
}

bool TTreeView::FileOperationEvent(QObject* watched, QEvent* event)
{
    if (watched == TreeView1 && event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        TTreeNode* node = SelectedNode();
        if (key->key() == Qt::Key_Delete && !editing_ && node && node != Tree.Root() && node->Data) {
            DeleteNode(node);
            return true;
        }
        return false;
    }
    if (watched != TreeView1->viewport())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        pressNode_ = nullptr;
        if (mouse->button() == Qt::LeftButton) {
            pressPos_ = mouse->position().toPoint();
            pressNode_ = NodeOf(TreeView1->itemAt(pressPos_));
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!pressNode_ || !(mouse->buttons() & Qt::LeftButton) || editing_)
            return false;
        if ((mouse->position().toPoint() - pressPos_).manhattanLength() < QApplication::startDragDistance())
            return false;
        StartDrag();
        return true;
    }
    case QEvent::MouseButtonRelease:
        pressNode_ = nullptr;
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
        TreeView1DragOver(static_cast<QDragMoveEvent*>(event));
        return true;
    case QEvent::Drop:
        TreeView1DragDrop(static_cast<QDropEvent*>(event));
        return true;
    default:
        return false;
    }
}

} // namespace qv
