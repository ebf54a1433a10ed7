// Rename, move, delete and new folder on the data tree, on real folders:
// after each the tree shows exactly what is on the disk.
#include "browser/DataTree.h"
#include "TestTreeHost.h"
#include "TreeListing.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"
#include "support/TempTrash.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <gtest/gtest.h>
#include <utility>

namespace {

using namespace qv;
using namespace qv::test;

using RowPaths = std::vector<std::pair<QString, QString>>; // open files moved: from, to

class DataTreeOpsTest : public ::testing::Test {
protected:
    DataTreeOpsTest()
    {
        root = dir.file("Data");
        tree.Host = &host;
        QObject::connect(&tree, &TDataTree::OpenFileMoved, [this](const QString& from, const QString& to) {
            rowPaths.emplace_back(from, to);
            host.Moved(from, to);
        });
        QObject::connect(&tree, &TDataTree::DataRootChanged, [this](const QString& r) { roots << r; });
        QObject::connect(&tree, &TDataTree::CloseFile, [this](const QString& path) {
            closed.push_back(path);
            if (!refuseClose)
                host.MarkClosed(tree, path);
        });
    }
    void Build()
    {
        tree.DataRoot = root;
        tree.BuildTree();
        ASSERT_NE(tree.Root(), nullptr);
    }
    QString Path(const QString& rel) const { return root + QLatin1Char('/') + rel; }
    TTreeNode* Node(const QString& rel) const { return tree.FindByPath(rel.isEmpty() ? root : Path(rel)); }
    // The tree shows exactly the disk.
    void ExpectTrue() const { EXPECT_EQ(TreeListing(tree), DiskListing(tree.DataRoot)); }
    // Notifications went off and came back on for each change of the disk.
    void ExpectSwitched(int times)
    {
        std::vector<bool> want;
        for (int i = 0; i < times; ++i)
            want.insert(want.end(), {false, true});
        EXPECT_EQ(host.Switches, want);
        EXPECT_TRUE(host.Notify);
        host.Switches.clear();
    }

    ScriptedMessages msgs;
    TempDir dir;
    TempTrash trash;
    QString root;
    TTestTreeHost host;
    TDataTree tree;
    RowPaths rowPaths;
    QStringList roots;
    QStringList closed;
    bool refuseClose = false;
};

TEST_F(DataTreeOpsTest, RenameOntoAnExistingNameKeepsTheOldText)
{
    Touch(Path("a.kdf"), "A");
    Touch(Path("b.kdf"), "B");
    Touch(Path("one/x.kdf"));
    Touch(Path("two/y.kdf"));
    Build();
    TTreeNode* a = Node("a.kdf");
    EXPECT_FALSE(tree.RenameNode(a, QStringLiteral("b")));
    EXPECT_FALSE(tree.RenameNode(Node("one"), QStringLiteral("two")));
    EXPECT_EQ(msgs.Errors(), (QStringList{QStringLiteral("Soubor ") + Path("b.kdf") + QStringLiteral(" už existuje!"),
                                          QStringLiteral("Složka ") + Path("two") + QStringLiteral(" už existuje!")}));
    EXPECT_EQ(a->Text, QStringLiteral("a"));
    EXPECT_EQ(qv::test::ReadAll(Path("b.kdf")), "B");
    // An empty text or the same text changes nothing and says nothing.
    msgs.Clear();
    EXPECT_FALSE(tree.RenameNode(a, QString()));
    EXPECT_FALSE(tree.RenameNode(a, QStringLiteral("a")));
    EXPECT_TRUE(msgs.Texts().isEmpty());
    ExpectSwitched(0);
    ExpectTrue();
}

TEST_F(DataTreeOpsTest, NamesThatWouldLeaveTheFolderAreRefused)
{
    Touch(Path("sub/f.kdf"));
    Touch(Path("g.kdf"));
    Build();
    const QStringList before = DiskListing(root);
    TTreeNode* f = Node("sub/f.kdf");
    for (const char* bad : {"../f", "..", "   ", "a/b", "..\\f", "."})
        EXPECT_FALSE(tree.RenameNode(f, QString::fromLatin1(bad))) << bad;
    EXPECT_FALSE(tree.RenameNode(Node("sub"), QStringLiteral("..")));
    EXPECT_EQ(msgs.Errors().size(), 7);
    EXPECT_EQ(msgs.Errors().value(0), QStringLiteral("Název \"../f\" nesmí obsahovat znak \"/\"!"));
    EXPECT_EQ(msgs.Errors().value(2), QStringLiteral("Název nesmí být prázdný!"));
    EXPECT_EQ(DiskListing(root), before);
    EXPECT_EQ(f->Text, QStringLiteral("f"));
    ExpectSwitched(0);
    ExpectTrue();
}

TEST_F(DataTreeOpsTest, RenameKeepsOpenFilesAndTheirRows)
{
    Touch(Path("zeta/inner/deep.kdf"));
    Touch(Path("zeta/top.kdf"));
    Touch(Path("m.kdf"));
    Build();
    TTreeNode* m = Node("m.kdf");
    host.MarkOpen(tree, m);
    host.MarkOpen(tree, Node("zeta/inner/deep.kdf"));
    TTreeNode* zeta = Node("zeta");

    ASSERT_TRUE(tree.RenameNode(m, QStringLiteral("Let 7")));
    EXPECT_EQ(tree.GetFullName(m), Path("Let 7.kdf"));
    EXPECT_EQ(m->Data->Name, QStringLiteral("Let 7.kdf"));
    EXPECT_TRUE(tree.IsOpen(m));
    EXPECT_EQ(m->ImageIndex, imgFileOpen);
    ASSERT_TRUE(tree.RenameNode(zeta, QStringLiteral("alpha")));
    EXPECT_EQ(Node("alpha"), zeta); // the same node, no rebuild
    EXPECT_EQ(rowPaths, (RowPaths{{Path("m.kdf"), Path("Let 7.kdf")}, {Path("zeta/inner/deep.kdf"), Path("alpha/inner/deep.kdf")}}));
    ExpectSwitched(2);
    ExpectTrue();
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

TEST_F(DataTreeOpsTest, RenameThatTheSystemRefusesShowsItsCode)
{
    Touch(Path("f.kdf"));
    Build();
    QFile::remove(Path("f.kdf")); // gone behind the program's back
    EXPECT_FALSE(tree.RenameNode(Node("f.kdf"), QStringLiteral("g")));
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Can not rename file \r") + Path("f.kdf") +
                                         QStringLiteral("\r to \r") + Path("g.kdf") + QStringLiteral("\rErorr#=") +
                                         QString::number(ENOENT)});
    EXPECT_EQ(Node("f.kdf")->Text, QStringLiteral("f"));
    ExpectSwitched(1); // back on after the failure too
}

TEST_F(DataTreeOpsTest, RenamingTheRootRenamesTheDataRoot)
{
    Touch(Path("sub/f.kdf"));
    Build();
    host.MarkOpen(tree, Node("sub/f.kdf"));
    ASSERT_TRUE(tree.RenameNode(tree.Root(), QStringLiteral("Lety")));
    const QString renamed = dir.file("Lety");
    EXPECT_EQ(tree.DataRoot, renamed);
    EXPECT_EQ(roots, QStringList{renamed});
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_EQ(tree.GetFullName(tree.Root()->Children[0]->Children[0].get()), renamed + QStringLiteral("/sub/f.kdf"));
    EXPECT_EQ(rowPaths, (RowPaths{{Path("sub/f.kdf"), renamed + QStringLiteral("/sub/f.kdf")}}));
    tree.RefreshTree();
    ExpectTrue();
    EXPECT_EQ(tree.NodeCount(), 3);
}

TEST_F(DataTreeOpsTest, RenamedFolderThenMovedGoesUnderItsNewName)
{
    Touch(Path("old/f.kdf"));
    Touch(Path("target/t.kdf"));
    Build();
    TTreeNode* folder = Node("old");
    ASSERT_TRUE(tree.RenameNode(folder, QStringLiteral("new")));
    host.MarkOpen(tree, Node("new/f.kdf"));
    rowPaths.clear();
    ASSERT_TRUE(tree.MoveNode(folder, Node("target")));
    EXPECT_TRUE(QFileInfo(Path("target/new/f.kdf")).isFile());
    EXPECT_EQ(folder->Parent, Node("target"));
    EXPECT_EQ(rowPaths, (RowPaths{{Path("new/f.kdf"), Path("target/new/f.kdf")}}));
    EXPECT_TRUE(tree.IsOpen(Node("target/new/f.kdf")));
    ExpectSwitched(2);
    ExpectTrue();
}

TEST_F(DataTreeOpsTest, FolderCannotGoIntoItselfOrBelow)
{
    Touch(Path("f/sub/deep/x.kdf"));
    Touch(Path("f/y.kdf"));
    Build();
    const QStringList before = DiskListing(root);
    TTreeNode* f = Node("f");
    EXPECT_FALSE(tree.MoveNode(f, f));
    EXPECT_FALSE(tree.MoveNode(f, Node("f/sub/deep")));
    EXPECT_FALSE(tree.MoveNode(f, Node("f/sub/deep/x.kdf")));
    const QString refused = QStringLiteral("Složku \"f\" nelze přesunout do ní samé ani do její podsložky!");
    EXPECT_EQ(msgs.Errors(), (QStringList{refused, refused, refused}));
    EXPECT_EQ(DiskListing(root), before);
    ExpectSwitched(0);
    ExpectTrue();
}

TEST_F(DataTreeOpsTest, MoveOntoAnExistingNameOrFromAVanishedSource)
{
    Touch(Path("a.kdf"), "mine");
    Touch(Path("dest/a.kdf"), "theirs");
    Touch(Path("b.kdf"));
    Touch(Path("gone/z.kdf"));
    Build();
    EXPECT_FALSE(tree.MoveNode(Node("a.kdf"), Node("dest")));
    QFile::remove(Path("b.kdf"));
    EXPECT_FALSE(tree.MoveNode(Node("b.kdf"), Node("dest")));
    QDir(Path("gone")).removeRecursively();
    EXPECT_FALSE(tree.MoveNode(Node("gone"), Node("dest")));
    EXPECT_EQ(msgs.Errors(), (QStringList{QStringLiteral("\"a\" již existuje v cílové složce!"),
                                          QStringLiteral("Zdrojový soubor nenalezen! ") + Path("b.kdf"),
                                          QStringLiteral("Zdrojová složka nenalezena! ") + Path("gone")}));
    EXPECT_EQ(qv::test::ReadAll(Path("a.kdf")), "mine");
    EXPECT_EQ(qv::test::ReadAll(Path("dest/a.kdf")), "theirs");
    ExpectSwitched(1);
    QDir(Path("dest")).removeRecursively();
    msgs.Clear();
    EXPECT_FALSE(tree.MoveNode(Node("a.kdf"), Node("dest")));
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Cílová složka nenalezena! ") + Path("dest")});
}

TEST_F(DataTreeOpsTest, DeleteClosesOpenFilesFirstAndKeepsAllWhenOneStaysOpen)
{
    Touch(Path("f/a.kdf"));
    Touch(Path("f/sub/b.kdf"));
    Touch(Path("c.kdf"));
    Build();
    host.MarkOpen(tree, Node("c.kdf"));
    host.MarkOpen(tree, Node("f/a.kdf"));
    host.MarkOpen(tree, Node("f/sub/b.kdf"));

    // The user keeps a file open: nothing is deleted.
    refuseClose = true;
    EXPECT_FALSE(tree.DeleteNode(Node("f")));
    EXPECT_EQ(closed.size(), 1u);
    EXPECT_TRUE(QFileInfo(Path("f/sub/b.kdf")).isFile());
    ExpectSwitched(0);

    refuseClose = false;
    closed.clear();
    ASSERT_TRUE(tree.DeleteNode(Node("f")));
    closed.sort();
    EXPECT_EQ(closed, (QStringList{Path("f/a.kdf"), Path("f/sub/b.kdf")}));
    EXPECT_FALSE(QFileInfo::exists(Path("f")));
    EXPECT_TRUE(QFileInfo(trash.file("f/sub/b.kdf")).isFile());
    EXPECT_TRUE(tree.IsOpen(Node("c.kdf")));
    ASSERT_TRUE(tree.DeleteNode(Node("c.kdf")));
    EXPECT_EQ(closed.back(), Path("c.kdf"));
    EXPECT_FALSE(tree.DeleteNode(tree.Root()));
    ExpectSwitched(2);
    ExpectTrue();
    EXPECT_TRUE(msgs.Texts().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(root));
}

TEST_F(DataTreeOpsTest, DeleteThatFailsReportsAndRefreshes)
{
    Touch(Path("x.kdf"));
    Touch(Path("y.kdf"));
    Build();
    QFile::remove(Path("x.kdf"));
    EXPECT_FALSE(tree.DeleteNode(Node("x.kdf")));
    EXPECT_EQ(msgs.Errors(),
              QStringList{QStringLiteral("Chyba při odstraňování x\rError=") + QString::number(ENOENT)});
    EXPECT_EQ(Node("x.kdf"), nullptr); // the refresh took the node away
    ExpectSwitched(1);
    ExpectTrue();
}

TEST_F(DataTreeOpsTest, NewFoldersAreNumbered)
{
    Touch(Path("sub/f.kdf"));
    Build();
    TTreeNode* first = tree.NewFolder(Node("sub"));
    TTreeNode* second = tree.NewFolder(Node("sub/f.kdf")); // a file: its folder
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->Text, QStringLiteral("Nová složka"));
    EXPECT_EQ(second->Text, QStringLiteral("Nová složka (1)"));
    EXPECT_EQ(second->Parent, Node("sub"));
    EXPECT_EQ(second->ImageIndex, imgFolder);
    ASSERT_TRUE(second->Data);
    EXPECT_TRUE(second->Data->Folder);
    EXPECT_TRUE(QFileInfo(Path("sub/Nová složka (1)")).isDir());
    TTreeNode* top = tree.NewFolder(tree.Root());
    ASSERT_TRUE(top);
    EXPECT_EQ(tree.GetFullName(top), Path("Nová složka"));
    ExpectSwitched(3);
    ExpectTrue();

    QDir(Path("sub")).removeRecursively();
    EXPECT_EQ(tree.NewFolder(Node("sub")), nullptr);
    EXPECT_EQ(msgs.Errors(),
              QStringList{QStringLiteral("Složku \"") + Path("sub/Nová složka") + QStringLiteral("\" nelze vytvořit!")});
    ExpectSwitched(1);
}

} // namespace
