#include "browser/TreeView.h"
#include "TestTreeHost.h"
#include "TreeListing.h"
#include "support/EventPump.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using qv::test::ScriptedMessages;
using qv::test::TempDir;
using qv::test::TTestTreeHost;
using qv::test::ExpectMirrors;
using qv::test::Pump;
using qv::test::WaitUntil;

void Touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

class TreeViewTest : public ::testing::Test {
protected:
    TreeViewTest() : view(&widget)
    {
        view.CoalesceMs = 100;
        view.Tree.Host = &host;
    }
    void Build()
    {
        view.Tree.DataRoot = dir.path();
        view.BuildTree();
    }
    TTreeNode* Node(const QString& text)
    {
        TTreeNode* found = nullptr;
        view.Tree.ForEach([&](TTreeNode* n) {
            if (!found && n->Text == text)
                found = n;
        });
        return found;
    }

    ScriptedMessages msgs;
    TempDir dir;
    QTreeWidget widget;
    TTestTreeHost host;
    TTreeView view;
};

TEST_F(TreeViewTest, WidgetFollowsBuildAndRefresh)
{
    Touch(dir.file("b.kdf"));
    Touch(dir.file("a/x.kdf"));
    Build();
    ASSERT_EQ(widget.topLevelItemCount(), 1);
    ExpectMirrors(view, view.Tree.Root(), widget.topLevelItem(0));
    EXPECT_TRUE(widget.topLevelItem(0)->isExpanded());

    Touch(dir.file("a/w.kdf"));
    Touch(dir.file("c/d/e.kdf"));
    Touch(dir.file("0.kdf"));
    QFile::remove(dir.file("b.kdf"));
    view.RefreshTree();
    ExpectMirrors(view, view.Tree.Root(), widget.topLevelItem(0));
    EXPECT_EQ(view.ItemOf(Node("e"))->text(0), QStringLiteral("e"));

    // Expanding a folder shows the open-folder image.
    QTreeWidgetItem* a = view.ItemOf(Node("a"));
    a->setExpanded(true);
    EXPECT_EQ(Node("a")->ImageIndex, imgFolderOpen);
    a->setExpanded(false);
    EXPECT_EQ(Node("a")->ImageIndex, imgFolder);
}

TEST_F(TreeViewTest, WatcherCoversEveryFolderOfTheTree)
{
    Touch(dir.file("a/b/x.kdf"));
    Build();
    QStringList watched = view.WatchedFolders();
    watched.sort();
    const QString parent = QFileInfo(dir.path()).absolutePath();
    EXPECT_EQ(watched, (QStringList{parent, dir.path(), dir.file("a"), dir.file("a/b")}));

    QDir(dir.file("a/b")).removeRecursively();
    QDir().mkpath(dir.file("n"));
    view.RefreshTree();
    watched = view.WatchedFolders();
    watched.sort();
    EXPECT_EQ(watched, (QStringList{parent, dir.path(), dir.file("a"), dir.file("n")}));
}

TEST_F(TreeViewTest, RootRenamedOrRemovedOutsideIsNoticed)
{
    Touch(dir.file("Data/x.kdf"));
    view.Tree.DataRoot = dir.file("Data");
    view.BuildTree();
    ASSERT_EQ(widget.topLevelItemCount(), 1);
    int closed = 0;
    QObject::connect(&view.Tree, &TDataTree::CloseAllFiles, [&closed] { ++closed; });

    ASSERT_TRUE(QDir(dir.path()).rename("Data", "Data.old"));
    EXPECT_TRUE(WaitUntil([&] { return widget.topLevelItemCount() == 0; }));
    EXPECT_EQ(closed, 1);

    // Back under its name: the tree comes back by itself too.
    ASSERT_TRUE(QDir(dir.path()).rename("Data.old", "Data"));
    ASSERT_TRUE(WaitUntil([&] { return widget.topLevelItemCount() == 1; }));
    ExpectMirrors(view, view.Tree.Root(), widget.topLevelItem(0));

    // Other changes beside the root refresh nothing: once the watcher has
    // told of them, no refresh is waiting.
    view.FlushRefresh();
    const int refreshes = view.RefreshCount;
    const int told = view.NotificationCount;
    Touch(dir.file("elsewhere.txt"));
    QDir().mkpath(dir.file("other"));
    ASSERT_TRUE(WaitUntil([&] { return view.NotificationCount > told; }));
    EXPECT_FALSE(view.RefreshPending());
    view.FlushRefresh();
    EXPECT_EQ(view.RefreshCount, refreshes);

    QDir(dir.file("Data")).removeRecursively();
    EXPECT_TRUE(WaitUntil([&] { return widget.topLevelItemCount() == 0; }));
}

TEST_F(TreeViewTest, BurstOfChangesGivesOneRefresh)
{
    QDir().mkpath(dir.file("sub"));
    Build();
    // Five changes as the watcher reports them, one refresh.
    for (int i = 0; i < 5; ++i) {
        Touch(dir.file(QStringLiteral("sub/f%1.kdf").arg(i)));
        view.FileSystemChanged();
    }
    EXPECT_TRUE(view.RefreshPending());
    view.FlushRefresh();
    EXPECT_EQ(view.RefreshCount, 1);
    EXPECT_EQ(Node("sub")->Children.size(), 5u);
    // The watcher's own reports of them, when they come, find nothing new.
    Touch(dir.file("sub/g.kdf"));
    EXPECT_TRUE(WaitUntil([&] { return Node("sub")->Children.size() == 6u; }));
}

TEST_F(TreeViewTest, SwitchedOffNotificationsDoNotRefresh)
{
    Build();
    host.Notify = false;
    const int told = view.NotificationCount;
    Touch(dir.file("mine.kdf"));
    ASSERT_TRUE(WaitUntil([&] { return view.NotificationCount > told; }));
    EXPECT_FALSE(view.RefreshPending());
    view.FlushRefresh();
    EXPECT_EQ(view.RefreshCount, 0);
    EXPECT_EQ(Node("mine"), nullptr);
    host.Notify = true;
    view.RefreshTree(); // "Refresh"
    EXPECT_NE(Node("mine"), nullptr);
}

TEST_F(TreeViewTest, RefreshWaitsForAnOperationThatShowsADialog)
{
    Touch(dir.file("f.kdf"));
    Touch(dir.file("other.kdf"));
    Build();
    bool stillThere = false;
    host.Open = [&](const QString&) {
        const int told = view.NotificationCount;
        QFile::remove(dir.file("other.kdf"));
        // Events run as under a modal dialog: the watcher tells, the
        // gathered refresh comes due, and waits.
        EXPECT_TRUE(WaitUntil([&] { return view.NotificationCount > told; }));
        view.FlushRefresh();
        stillThere = Node("other") != nullptr;
        return 0;
    };
    view.OpenOrClose(Node("f"));
    EXPECT_TRUE(stillThere);
    EXPECT_TRUE(view.Tree.IsOpen(Node("f")));
    EXPECT_TRUE(WaitUntil([&] { return Node("other") == nullptr; }));
}

TEST_F(TreeViewTest, DoubleClickAndEnterOpenAndClose)
{
    Touch(dir.file("f.kdf"));
    Touch(dir.file("bad.kdf"));
    Build();
    std::vector<QString> opened;
    QStringList closed;
    host.Open = [&](const QString& name) {
        opened.push_back(name);
        return name.endsWith(QLatin1String("bad.kdf")) ? -1 : 4;
    };
    QObject::connect(&view, &TTreeView::CloseFile, [&](const QString& path) {
        closed << path;
        host.MarkClosed(view.Tree, path);
    });

    TTreeNode* f = Node("f");
    widget.setCurrentItem(view.ItemOf(f));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&widget, &enter);
    ASSERT_EQ(opened, std::vector<QString>{dir.file("f.kdf")});
    EXPECT_TRUE(view.Tree.IsOpen(f));
    EXPECT_EQ(f->ImageIndex, imgFileOpen);

    emit widget.itemDoubleClicked(view.ItemOf(f), 0);
    EXPECT_EQ(closed, QStringList{dir.file("f.kdf")});
    EXPECT_FALSE(view.Tree.IsOpen(f));
    EXPECT_EQ(f->ImageIndex, imgFile);

    emit widget.itemDoubleClicked(view.ItemOf(Node("bad")), 0);
    EXPECT_TRUE(msgs.Errors().isEmpty()); // the host tells why, the tree adds no second box
    EXPECT_FALSE(view.Tree.IsOpen(Node("bad")));
    EXPECT_EQ(Node("bad")->ImageIndex, imgFile);

    // The pop-up offers what fits the node.
    EXPECT_FALSE(view.PreparePopup(view.Tree.Root()));
    EXPECT_FALSE(view.PreparePopup(nullptr));
    ASSERT_TRUE(view.PreparePopup(f));
    EXPECT_TRUE(view.mnuOpenFile->isVisible());
    EXPECT_FALSE(view.mnuCloseFile->isVisible());
    view.mnuOpenFile->trigger();
    EXPECT_TRUE(view.Tree.IsOpen(f));
    ASSERT_TRUE(view.PreparePopup(f));
    EXPECT_FALSE(view.mnuOpenFile->isVisible());
    EXPECT_TRUE(view.mnuCloseFile->isVisible());
    view.mnuCloseFile->trigger();
    EXPECT_EQ(closed, (QStringList{dir.file("f.kdf"), dir.file("f.kdf")}));
    EXPECT_FALSE(view.Tree.IsOpen(f));
    Touch(dir.file("sub/y.kdf"));
    view.RefreshTree();
    ASSERT_TRUE(view.PreparePopup(Node("sub")));
    EXPECT_FALSE(view.mnuOpenFile->isVisible());
    EXPECT_FALSE(view.mnuCloseFile->isVisible());
    EXPECT_TRUE(view.mnuRefresh->isVisible());
    EXPECT_EQ(view.mnuRefresh->text(), QStringLiteral("Refresh"));

    // Folders and the root only expand and collapse.
    view.OpenOrClose(view.Tree.Root());
    EXPECT_EQ(opened.size(), 3u);
    widget.setCurrentItem(view.ItemOf(view.Tree.Root()));
    QApplication::sendEvent(&widget, &enter);
    EXPECT_FALSE(view.Tree.Root()->Expanded);
    EXPECT_EQ(view.Tree.Root()->ImageIndex, imgFolder);
    EXPECT_EQ(opened.size(), 3u);

    // A link to a flight elsewhere is never opened through.
    TempDir elsewhere;
    Touch(elsewhere.file("x.kdf"));
    ASSERT_TRUE(QFile::link(elsewhere.file("x.kdf"), dir.file("ext.kdf")));
    view.RefreshTree();
    TTreeNode* link = Node("ext.kdf");
    ASSERT_TRUE(link && link->IsLink());
    emit widget.itemDoubleClicked(view.ItemOf(link), 0);
    widget.setCurrentItem(view.ItemOf(link));
    QApplication::sendEvent(&widget, &enter);
    EXPECT_EQ(opened.size(), 3u);
    ASSERT_TRUE(view.PreparePopup(link));
    EXPECT_FALSE(view.mnuOpenFile->isVisible());
    EXPECT_FALSE(view.mnuCloseFile->isVisible());
}

} // namespace

#include "support/KdfText.h"
#include "flights/OpenFlights.h"
#include "graph/Chart.h"

#include <qcustomplot.h>

namespace {

using namespace qv;
using namespace qv::test;

// The tree, the open files and the chart wired as the main window does.
TEST(TreeWithOpenFiles, FileDeletedOutsideClosesItsRowAtTheNextRefresh)
{
    ScriptedMessages msgs;
    TempDir dir;
    KdfContent content;
    content.Lines = ThreeChannelLines(10);
    for (const char* name : {"a.kdf", "b.kdf", "c.kdf"})
        ASSERT_TRUE(WriteAll(dir.file(name), KdfText(content)));

    TOpenFlights open;
    TCurveModel model;
    TGraphSetupRec setup = DefaultGraphSetup();
    TChartView chart(model, setup);
    open.SetCurveModel(&model);
    QTreeWidget widget;
    TTreeView view(&widget);
    TTestTreeHost host;
    host.Open = [&](const QString& f) { return open.OpenDataFile(f); };
    host.OpenQuery = [&](const QString& f) { return open.IsOpen(f); };
    view.Tree.Host = &host;
    QObject::connect(&view, &TTreeView::CloseFile, [&](const QString& f) { open.GridCloseFile(open.RowOf(f)); });
    QObject::connect(&view.Tree, &TDataTree::CloseFile, [&](const QString& f) { open.GridCloseFile(open.RowOf(f)); });
    QObject::connect(&open, &TOpenFlights::RowClosed, [&] { view.Tree.OpenFilesChanged(); });
    view.Tree.DataRoot = dir.path();
    view.BuildTree();

    auto node = [&](const char* text) {
        TTreeNode* found = nullptr;
        view.Tree.ForEach([&](TTreeNode* n) {
            if (n->Text == QLatin1String(text))
                found = n;
        });
        return found;
    };
    for (const char* n : {"a", "b", "c"})
        view.OpenOrClose(node(n));
    ASSERT_EQ(open.RowCount(), 3);
    EXPECT_EQ(open.RowOf(dir.file("c.kdf")), 2);
    EXPECT_EQ(chart.Chart1->graphCount(), 15);

    QFile::remove(dir.file("b.kdf"));
    view.RefreshTree();
    EXPECT_EQ(node("b"), nullptr);
    ASSERT_EQ(open.RowCount(), 2);
    EXPECT_EQ(open.Path(1), dir.file("c.kdf"));
    EXPECT_TRUE(view.Tree.IsOpen(node("c")));
    EXPECT_EQ(chart.Chart1->graphCount(), 10);
    EXPECT_TRUE(msgs.Texts().isEmpty());

    // Closing from the tree and reopening.
    view.OpenOrClose(node("a"));
    EXPECT_EQ(open.RowCount(), 1);
    EXPECT_EQ(node("a")->ImageIndex, imgFile);
    EXPECT_EQ(open.RowOf(dir.file("c.kdf")), 0);
    view.OpenOrClose(node("a"));
    EXPECT_EQ(open.RowOf(dir.file("a.kdf")), 1);
    EXPECT_EQ(node("a")->ImageIndex, imgFileOpen);

    // The data root vanishes: every file closes and the tree empties.
    QObject::connect(&view.Tree, &TDataTree::CloseAllFiles, [&] { open.GridCloseAll(false); });
    QDir(dir.path()).removeRecursively();
    view.RefreshTree();
    EXPECT_EQ(open.RowCount(), 0);
    EXPECT_TRUE(view.Tree.Empty());
    EXPECT_EQ(widget.topLevelItemCount(), 0);
}

} // namespace
