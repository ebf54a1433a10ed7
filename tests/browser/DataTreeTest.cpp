#include "base/Assert.h"
#include "browser/DataTree.h"
#include "support/TempDir.h"
#include "TestTreeHost.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using qv::test::TempDir;

void Touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

QStringList Texts(const TTreeNode* node)
{
    QStringList t;
    for (const auto& k : node->Children)
        t << k->Text;
    return t;
}

TTreeNode* Child(TTreeNode* parent, const QString& text, bool folder)
{
    for (auto& k : parent->Children)
        if (k->Text == text && k->IsFolder() == folder)
            return k.get();
    return nullptr;
}

struct AssertLog {
    AssertLog() { SetAssertSink([this](const QString& r) { reports << r; }); }
    ~AssertLog() { SetAssertSink(nullptr); }
    QStringList reports;
};

class DataTreeTest : public ::testing::Test {
protected:
    void Build()
    {
        tree.DataRoot = dir.path() + QStringLiteral("/");
        tree.BuildTree();
        ASSERT_NE(tree.Root(), nullptr);
    }
    TempDir dir;
    TDataTree tree;
};

TEST_F(DataTreeTest, ShowsOnlyDataFilesWhateverTheExtensionCase)
{
    Touch(dir.file("a.KDF"));
    Touch(dir.file("b.kdf"));
    Touch(dir.file("notes.txt"));
    Touch(dir.file("kdf"));
    Build();
    EXPECT_EQ(Texts(tree.Root()), (QStringList{"a", "b"}));
    EXPECT_EQ(tree.Root()->Text, QFileInfo(dir.path()).fileName());
    EXPECT_EQ(tree.GetFullName(tree.Root()), dir.path());

    // The upper-case file keeps its own name, so its node finds its file.
    TTreeNode* a = Child(tree.Root(), "a", false);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(tree.GetFullName(a), dir.file("a.KDF"));
    EXPECT_EQ(a->ImageIndex, imgFile);
    EXPECT_FALSE(tree.IsOpen(a));
    tree.RefreshTree();
    EXPECT_EQ(Texts(tree.Root()), (QStringList{"a", "b"}));
}

TEST_F(DataTreeTest, FoldersBeforeFilesThenCaseInsensitiveAtEveryLevel)
{
    Touch(dir.file("Charlie.kdf"));
    Touch(dir.file("apple.kdf"));
    Touch(dir.file("beta/x.kdf"));
    Touch(dir.file("Alpha/Beta.kdf"));
    Touch(dir.file("Alpha/alpha.kdf"));
    QDir().mkpath(dir.file("Alpha/zed"));
    Build();
    EXPECT_EQ(Texts(tree.Root()), (QStringList{"Alpha", "beta", "apple", "Charlie"}));
    TTreeNode* alpha = Child(tree.Root(), "Alpha", true);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(Texts(alpha), (QStringList{"zed", "alpha", "Beta"}));
    EXPECT_EQ(tree.GetFullName(Child(alpha, "Beta", false)), dir.file("Alpha/Beta.kdf"));
    EXPECT_TRUE(tree.Root()->Expanded);
    EXPECT_FALSE(alpha->Expanded);

    // New entries found by a refresh take their sorted places.
    Touch(dir.file("Bravo.kdf"));
    Touch(dir.file("Alpha/AAA.kdf"));
    QDir().mkpath(dir.file("aaa"));
    tree.RefreshTree();
    EXPECT_EQ(Texts(tree.Root()), (QStringList{"aaa", "Alpha", "beta", "apple", "Bravo", "Charlie"}));
    EXPECT_EQ(Texts(alpha), (QStringList{"zed", "AAA", "alpha", "Beta"}));
}

TEST_F(DataTreeTest, FileAndFolderOfTheSameNameGiveTwoNodes)
{
    Touch(dir.file("flight.kdf"));
    Touch(dir.file("flight/inner.kdf"));
    Build();
    ASSERT_EQ(Texts(tree.Root()), (QStringList{"flight", "flight"}));
    TTreeNode* folder = Child(tree.Root(), "flight", true);
    TTreeNode* file = Child(tree.Root(), "flight", false);
    ASSERT_TRUE(folder && file);
    EXPECT_EQ(tree.GetFullName(folder), dir.file("flight"));
    EXPECT_EQ(tree.GetFullName(file), dir.file("flight.kdf"));
    EXPECT_EQ(tree.IsInTN(true, "flight", tree.Root()), folder);
    EXPECT_EQ(tree.IsInTN(false, "flight.kdf", tree.Root()), file);
    EXPECT_EQ(tree.IsInTN(false, "Flight.kdf", tree.Root()), nullptr);

    // A refresh adds neither twice.
    tree.RefreshTree();
    EXPECT_EQ(tree.NodeCount(), 4);
}

TEST_F(DataTreeTest, RefreshRemovesVanishedNodesAndClosesOpenFiles)
{
    Touch(dir.file("one.kdf"));
    Touch(dir.file("two.kdf"));
    Touch(dir.file("sub/three.kdf"));
    Build();
    test::TTestTreeHost host;
    tree.Host = &host;
    QStringList closed;
    QObject::connect(&tree, &TDataTree::CloseFile, [&](const QString& path) {
        closed << path;
        host.MarkClosed(tree, path);
    });
    TTreeNode* one = Child(tree.Root(), "one", false);
    TTreeNode* three = Child(Child(tree.Root(), "sub", true), "three", false);
    host.MarkOpen(tree, one);
    host.MarkOpen(tree, three);
    EXPECT_EQ(one->ImageIndex, imgFileOpen);

    QFile::remove(dir.file("one.kdf"));
    QDir(dir.file("sub")).removeRecursively();
    tree.RefreshTree();
    EXPECT_EQ(closed, (QStringList{dir.file("sub/three.kdf"), dir.file("one.kdf")}));
    tree.Host = nullptr;
    EXPECT_EQ(Texts(tree.Root()), QStringList{"two"});
    EXPECT_EQ(tree.FolderPaths(), QStringList{dir.path()});
}

TEST_F(DataTreeTest, VanishedRootClosesEveryFileAndEmptiesTheTree)
{
    TempDir other;
    tree.DataRoot = other.file("data");
    Touch(other.file("data/f.kdf"));
    tree.BuildTree();
    ASSERT_EQ(tree.NodeCount(), 2);
    int closeAll = 0;
    QObject::connect(&tree, &TDataTree::CloseAllFiles, [&] { ++closeAll; });
    QDir(other.file("data")).removeRecursively();
    tree.RefreshTree();
    EXPECT_EQ(closeAll, 1);
    EXPECT_TRUE(tree.Empty());
    EXPECT_EQ(tree.GetFullName(nullptr), QString());

    // Once the folder is back, a refresh builds the tree again.
    Touch(other.file("data/g.kdf"));
    tree.RefreshTree();
    ASSERT_FALSE(tree.Empty());
    EXPECT_EQ(Texts(tree.Root()), QStringList{"g"});
}

TEST_F(DataTreeTest, FileNodesShowWhichFilesTheHostHasOpen)
{
    for (const char* n : {"a.kdf", "b.kdf", "c.kdf", "d.kdf"})
        Touch(dir.file(n));
    Build();
    test::TTestTreeHost host;
    tree.Host = &host;
    auto node = [&](const char* t) { return Child(tree.Root(), t, false); };
    host.MarkOpen(tree, node("a"));
    host.MarkOpen(tree, node("b"));
    host.MarkOpen(tree, node("c"));
    host.MarkClosed(tree, dir.file("b.kdf"));
    EXPECT_TRUE(tree.IsOpen(node("a")));
    EXPECT_FALSE(tree.IsOpen(node("b")));
    EXPECT_EQ(node("b")->ImageIndex, imgFile);
    EXPECT_TRUE(tree.IsOpen(node("c")));
    EXPECT_EQ(node("c")->ImageIndex, imgFileOpen);
    EXPECT_FALSE(tree.IsOpen(node("d")));
    EXPECT_FALSE(tree.IsOpen(tree.Root()));
    tree.Host = nullptr;
}

TEST_F(DataTreeTest, NodesWithoutRecordAreReported)
{
    Touch(dir.file("a.kdf"));
    Build();
    TTreeNode* a = Child(tree.Root(), "a", false);
    a->Data.reset();
    AssertLog log;
    EXPECT_EQ(tree.GetFullName(a), QString());
    EXPECT_EQ(tree.IsInTN(false, "x.kdf", tree.Root()), nullptr);
    tree.OpenFilesChanged();
    ASSERT_EQ(log.reports.size(), 3);
    EXPECT_TRUE(log.reports[0].startsWith("P<>nil in GetFullName"));
    EXPECT_TRUE(log.reports[1].startsWith("P<>nil in IsInTN"));
    EXPECT_TRUE(log.reports[2].startsWith("P=nil FormMain.CancelGridRowFlag"));
    try {
        tree.CheckTreeExists(tree.Root());
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Invalid Pointer in CheckTreeExists");
    }
    log.reports.clear();
    tree.ClearTreeView();
    ASSERT_EQ(log.reports.size(), 1);
    EXPECT_TRUE(log.reports[0].startsWith("P<>nil in ClearTreeView, Text=a"));
    EXPECT_TRUE(tree.Empty());
}

TEST_F(DataTreeTest, LinkBackToAnAncestorDoesNotRecurseForever)
{
    Touch(dir.file("sub/a.kdf"));
    ASSERT_TRUE(QFile::link(dir.path(), dir.file("sub/loop")));
    Build();
    TTreeNode* sub = Child(tree.Root(), "sub", true);
    ASSERT_NE(sub, nullptr);
    // The link shows as a link, among the files, and is never followed.
    EXPECT_EQ(Texts(sub), (QStringList{"a", "loop"}));
    ASSERT_NE(Child(sub, "loop", false), nullptr);
    EXPECT_TRUE(Child(sub, "loop", false)->IsLink());
    EXPECT_TRUE(Child(sub, "loop", false)->Children.empty());
}

} // namespace
