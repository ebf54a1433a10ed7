// TreeView1 as a file manager, driven by the mouse and the keyboard on real
// folders.
#include "browser/TreeView.h"
#include "TestTreeHost.h"
#include "TreeListing.h"
#include "support/ScriptedMessages.h"
#include "support/EventPump.h"
#include "support/TempDir.h"
#include "support/TempTrash.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using namespace qv::test;

// Saves a picture of the screen when QV_SHOTS names a folder (runs under a
// real display server).
void Shot(const QString& name)
{
    const QString folder = qEnvironmentVariable("QV_SHOTS");
    if (folder.isEmpty() || !QGuiApplication::primaryScreen())
        return;
    Pump(100);
    QGuiApplication::primaryScreen()->grabWindow(0).copy(0, 0, 420, 460).save(folder + QStringLiteral("/files-") +
                                                                              name + QStringLiteral(".png"));
}

class TreeViewOpsTest : public ::testing::Test {
protected:
    TreeViewOpsTest() : view(&widget)
    {
        root = dir.file("Data");
        view.Tree.Host = &host;
        view.CoalesceMs = 50;
        widget.setWindowTitle(QStringLiteral("TreeView1"));
        widget.setGeometry(10, 10, 400, 440);
    }
    void Build()
    {
        view.Tree.DataRoot = root;
        view.BuildTree();
        widget.show();
        widget.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    }
    QString Path(const QString& rel) const { return root + QLatin1Char('/') + rel; }
    TTreeNode* Node(const QString& rel) const { return view.Tree.FindByPath(rel.isEmpty() ? root : Path(rel)); }
    QTreeWidgetItem* Item(const QString& rel) const { return view.ItemOf(Node(rel)); }
    QPoint At(const QString& rel)
    {
        QTreeWidgetItem* item = Item(rel);
        widget.scrollToItem(item);
        return widget.visualItemRect(item).center();
    }
    // Right click as the user does it, through the window.
    void RightClick(const QString& rel)
    {
        const QPoint p = widget.viewport()->mapTo(&widget, At(rel));
        QTest::mouseClick(widget.windowHandle(), Qt::RightButton, {}, p);
        QApplication::processEvents();
    }
    void ClickMenu(QAction* action)
    {
        ASSERT_TRUE(view.PopupMenuFile->isVisible());
        QTest::mouseClick(view.PopupMenuFile, Qt::LeftButton, {},
                          view.PopupMenuFile->actionGeometry(action).center());
        QApplication::processEvents();
    }
    // The open editor of a node's text (closed ones go a little later).
    QLineEdit* Editor() const
    {
        for (QLineEdit* e : widget.findChildren<QLineEdit*>(QStringLiteral("TreeView1Editor")))
            if (e->isVisible())
                return e;
        return nullptr;
    }
    // Types a new text into the open editor and ends the edit with Enter.
    void TypeName(const QString& text)
    {
        QLineEdit* editor = Editor();
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->isVisible());
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        Pump(20);
    }
    // The widget shows exactly the core tree, which shows exactly the disk.
    void ExpectTrue()
    {
        EXPECT_EQ(TreeListing(view.Tree), DiskListing(view.Tree.DataRoot));
        ASSERT_EQ(widget.topLevelItemCount(), 1);
        ExpectMirrors(view, view.Tree.Root(), widget.topLevelItem(0));
    }
    std::unique_ptr<QMimeData> NodeMime() const
    {
        auto mime = std::make_unique<QMimeData>();
        mime->setData(QString::fromLatin1(TTreeView::kNodeMime), QByteArray("node"));
        return mime;
    }
    // A drag that reaches the tree: the node pressed and moved with the
    // mouse, then the drag's events at the target as the system sends them.
    void DragAndDrop(const QString& from, const QString& to)
    {
        QWindow* window = widget.windowHandle();
        const QPoint start = widget.viewport()->mapTo(&widget, At(from));
        const QPoint empty(380, 420);
        if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
            // A real drag starts: let it go over empty space.
            QTimer::singleShot(50, [window, empty] {
                QTest::mouseMove(window, empty);
                QTest::mouseRelease(window, Qt::LeftButton, {}, empty);
            });
        }
        QTest::mousePress(window, Qt::LeftButton, {}, start);
        QTest::mouseMove(window, start + QPoint(0, QApplication::startDragDistance() + 4));
        QTest::mouseRelease(window, Qt::LeftButton, {}, start);
        EXPECT_EQ(widget.currentItem(), Item(from));
        const QPoint target = At(to);
        auto mime = NodeMime();
        QDragEnterEvent enter(target, Qt::MoveAction, mime.get(), Qt::LeftButton, {});
        QApplication::sendEvent(widget.viewport(), &enter);
        QDragMoveEvent move(target, Qt::MoveAction, mime.get(), Qt::LeftButton, {});
        QApplication::sendEvent(widget.viewport(), &move);
        EXPECT_TRUE(move.isAccepted());
        QDropEvent drop(target, Qt::MoveAction, mime.get(), Qt::LeftButton, {});
        QApplication::sendEvent(widget.viewport(), &drop);
        EXPECT_EQ(drop.dropAction(), Qt::MoveAction);
    }

    ScriptedMessages msgs;
    TempDir dir;
    TempTrash trash;
    QString root;
    TTestTreeHost host;
    QTreeWidget widget;
    TTreeView view;
};

TEST_F(TreeViewOpsTest, PopupOffersWhatFitsTheNode)
{
    Touch(Path("Sezona 2026/Let 1.kdf"));
    Touch(Path("Let 2.kdf"));
    Build();
    Item("Sezona 2026")->setExpanded(true);
    auto visible = [this] {
        QStringList out;
        for (QAction* a : view.PopupMenuFile->actions())
            if (a->isVisible())
                out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    };
    RightClick("Sezona 2026/Let 1.kdf");
    EXPECT_EQ(view.PopupNode, Node("Sezona 2026/Let 1.kdf"));
    EXPECT_EQ(widget.currentItem(), Item("Sezona 2026/Let 1.kdf"));
    EXPECT_EQ(visible(), (QStringList{"Open Data", "Rename", "Delete", "New Folder", "Refresh", "-", "Cancel"}));
    Shot(QStringLiteral("popup-file"));
    view.PopupMenuFile->close();

    RightClick("Sezona 2026");
    EXPECT_EQ(visible(), (QStringList{"Rename", "Delete", "New Folder", "Refresh", "-", "Cancel"}));
    Shot(QStringLiteral("popup-folder"));
    view.PopupMenuFile->close();

    host.MarkOpen(view.Tree, Node("Let 2.kdf"));
    RightClick("Let 2.kdf");
    EXPECT_EQ(visible(), (QStringList{"Close Data", "Rename", "Delete", "New Folder", "Refresh", "-", "Cancel"}));
    ClickMenu(view.mnuRefresh);
    EXPECT_FALSE(view.PopupMenuFile->isVisible());

    // The root and empty space get no menu.
    RightClick(QString());
    EXPECT_FALSE(view.PopupMenuFile->isVisible());
    QTest::mouseClick(widget.windowHandle(), Qt::RightButton, {}, QPoint(380, 420));
    QApplication::processEvents();
    EXPECT_FALSE(view.PopupMenuFile->isVisible());
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

TEST_F(TreeViewOpsTest, RenameFromThePopupAndByEditingTheText)
{
    Touch(Path("b.kdf"), "B");
    Touch(Path("c.kdf"), "C");
    Touch(Path("z/y.kdf"));
    Build();
    RightClick("c.kdf");
    ClickMenu(view.mnuRename);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_TRUE(view.Editing());
    EXPECT_EQ(Editor()->text(), QStringLiteral("c"));
    QTest::keyClick(Editor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Editor(), QStringLiteral("Let"));
    Shot(QStringLiteral("rename"));
    QTest::keyClick(Editor(), Qt::Key_Return);
    Pump(20);

    EXPECT_FALSE(view.Editing());
    EXPECT_EQ(ReadAll(Path("Let.kdf")), "C");
    EXPECT_EQ(Item("Let.kdf")->text(0), QStringLiteral("Let"));
    EXPECT_EQ(widget.currentItem(), Item("Let.kdf"));
    ExpectTrue();

    // F2 on a folder: it takes its sorted place and the watcher follows it.
    widget.setCurrentItem(Item("z"));
    QTest::keyClick(&widget, Qt::Key_F2);
    TypeName(QStringLiteral("Alfa"));
    EXPECT_TRUE(QFileInfo(Path("Alfa/y.kdf")).isFile());
    EXPECT_EQ(widget.topLevelItem(0)->child(0), Item("Alfa"));
    EXPECT_TRUE(view.WatchedFolders().contains(Path("Alfa")));
    EXPECT_FALSE(view.WatchedFolders().contains(Path("z")));
    ExpectTrue();
}

TEST_F(TreeViewOpsTest, DeleteKeyAndPopupDeleteToTheTrash)
{
    Touch(Path("a.kdf"), "A");
    Touch(Path("f/b.kdf"), "B");
    Build();
    widget.setFocus();
    widget.setCurrentItem(Item("a.kdf"));
    QTest::keyClick(&widget, Qt::Key_Delete);
    EXPECT_FALSE(QFileInfo::exists(Path("a.kdf")));
    EXPECT_EQ(ReadAll(trash.file("a.kdf")), "A");
    ExpectTrue();

    // The root is never deleted by the key.
    widget.setCurrentItem(widget.topLevelItem(0));
    QTest::keyClick(&widget, Qt::Key_Delete);
    EXPECT_TRUE(QFileInfo::exists(Path("f/b.kdf")));

    RightClick("f");
    ClickMenu(view.mnuDelete);
    EXPECT_FALSE(QFileInfo::exists(Path("f")));
    EXPECT_EQ(ReadAll(trash.file("f/b.kdf")), "B");
    EXPECT_EQ(host.Switches, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    ExpectTrue();
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

TEST_F(TreeViewOpsTest, NewFoldersThenNamedAtOnce)
{
    Touch(Path("sub/f.kdf"));
    Build();
    RightClick("sub");
    ClickMenu(view.mnuNewFolder);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->text(), QStringLiteral("Nová složka"));
    QTest::keyClick(Editor(), Qt::Key_Escape); // keeps the offered name
    Pump(20);
    widget.topLevelItem(0)->child(0)->setExpanded(true);
    RightClick("sub/f.kdf");
    ClickMenu(view.mnuNewFolder);
    EXPECT_EQ(Editor()->text(), QStringLiteral("Nová složka (1)"));
    TypeName(QStringLiteral("Lety 2026"));
    EXPECT_TRUE(QFileInfo(Path("sub/Nová složka")).isDir());
    EXPECT_TRUE(QFileInfo(Path("sub/Lety 2026")).isDir());
    EXPECT_FALSE(QFileInfo::exists(Path("sub/Nová složka (1)")));
    ExpectTrue();
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

TEST_F(TreeViewOpsTest, DropMovesTheDraggedNodeIntoTheFolderUnderThePointer)
{
    Touch(Path("a.kdf"), "A");
    Touch(Path("dest/other.kdf"));
    Touch(Path("f/inner/x.kdf"));
    Build();
    Item("dest")->setExpanded(true);
    host.MarkOpen(view.Tree, Node("f/inner/x.kdf"));
    std::vector<std::pair<QString, QString>> paths;
    QObject::connect(&view.Tree, &TDataTree::OpenFileMoved, [&](const QString& from, const QString& to) {
        paths.emplace_back(from, to);
        host.Moved(from, to);
    });

    DragAndDrop("a.kdf", "dest/other.kdf"); // onto a file: into its folder
    EXPECT_EQ(ReadAll(Path("dest/a.kdf")), "A");
    EXPECT_EQ(widget.currentItem(), Item("dest/a.kdf"));
    ExpectTrue();

    DragAndDrop("f", "dest");
    EXPECT_TRUE(QFileInfo(Path("dest/f/inner/x.kdf")).isFile());
    EXPECT_EQ(paths, (std::vector<std::pair<QString, QString>>{{Path("f/inner/x.kdf"), Path("dest/f/inner/x.kdf")}}));
    EXPECT_EQ(Node("dest/f/inner/x.kdf")->ImageIndex, imgFileOpen);
    Shot(QStringLiteral("after-drop"));
    ExpectTrue();

    // Something else dropped on the tree is not taken.
    QMimeData text;
    text.setText(QStringLiteral("x"));
    QDragMoveEvent other(At("dest"), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(widget.viewport(), &other);
    EXPECT_FALSE(other.isAccepted());
}

TEST_F(TreeViewOpsTest, DraggingNearTheEdgesScrollsOneLine)
{
    for (int i = 0; i < 60; ++i)
        Touch(Path(QStringLiteral("f%1.kdf").arg(i, 2, 10, QLatin1Char('0'))));
    Build();
    QScrollBar* bar = widget.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 3);
    auto mime = NodeMime();
    QDragEnterEvent enter(QPoint(50, 100), Qt::MoveAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(widget.viewport(), &enter);
    auto dragAt = [&](int y) {
        QDragMoveEvent move(QPoint(50, y), Qt::MoveAction, mime.get(), Qt::LeftButton, {});
        QApplication::sendEvent(widget.viewport(), &move);
        EXPECT_TRUE(move.isAccepted());
        return bar->value();
    };
    const int h = widget.viewport()->height();
    EXPECT_EQ(dragAt(h - 5), 1);
    EXPECT_EQ(dragAt(h - TTreeView::kDragScrollMargin + 1), 2);
    EXPECT_EQ(dragAt(h - TTreeView::kDragScrollMargin - 1), 2);
    EXPECT_EQ(dragAt(h / 2), 2);
    EXPECT_EQ(dragAt(TTreeView::kDragScrollMargin - 1), 1);
    EXPECT_EQ(dragAt(2), 0);
    EXPECT_EQ(dragAt(2), 0);
}

// The whole drag as the system runs it; needs a display server that
// carries drags (the offscreen one does not).
TEST_F(TreeViewOpsTest, RealDragWithTheMouse)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        GTEST_SKIP() << "no drag and drop on the offscreen platform";
    Touch(Path("a.kdf"), "A");
    Touch(Path("dest/b.kdf"));
    Build();
    QWindow* window = widget.windowHandle();
    auto inWindow = [&](const QString& rel) { return widget.viewport()->mapTo(&widget, At(rel)); };
    const QPoint from = inWindow("a.kdf");
    const QPoint to = inWindow("dest");
    QTest::mousePress(window, Qt::LeftButton, {}, from);
    // The drag runs its own loop: the rest of the gesture comes from within.
    QTimer::singleShot(50, [&] {
        QTest::mouseMove(window, to + QPoint(0, -3));
        QTest::mouseMove(window, to);
        QTest::mouseRelease(window, Qt::LeftButton, {}, to);
    });
    QTest::mouseMove(window, from + QPoint(0, 12));
    Pump(50);
    EXPECT_EQ(ReadAll(Path("dest/a.kdf")), "A");
    ExpectTrue();
}

TEST_F(TreeViewOpsTest, TextOfferedAgainDuringTheErrorBoxIsNotRenamedTwice)
{
    // The error box takes the focus; the editor then offers its text again.
    struct Reoffer : ScriptedMessages {
        std::function<void()> again;
        void Error(const QString& text) override
        {
            ScriptedMessages::Error(text);
            if (again)
                again();
        }
    } reoffer;
    Touch(Path("a.kdf"));
    Touch(Path("b.kdf"));
    Build();
    QTreeWidgetItem* a = Item("a.kdf");
    reoffer.again = [&] { view.TreeView1Edited(a, QStringLiteral("b")); };
    widget.setCurrentItem(a);
    QTest::keyClick(&widget, Qt::Key_F2);
    TypeName(QStringLiteral("b"));
    EXPECT_EQ(reoffer.Errors().size(), 1);
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

} // namespace
