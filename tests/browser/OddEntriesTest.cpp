// Symbolic links and names that are not text in the data folder, on real
// folders: each folder is walked once, a link is never followed, and every
// file operation reaches the entry itself, whatever the bytes of its name.
#include "base/FileName.h"
#include "browser/DataTree.h"
#include "browser/FolderWalk.h"
#include "data/DataBlock.h"
#include "data/DataFile.h"
#include "flights/OpenFlights.h"
#include "graph/CurveModel.h"
#include "TestTreeHost.h"
#include "support/KdfText.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"
#include "support/TempTrash.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace qv;
using namespace qv::test;
namespace fs = std::filesystem;
using Bytes = std::vector<std::string>;

fs::path P(const QString& s)
{
    return fs::path(s.toStdString());
}

void MakeFile(const fs::path& p, const std::string& bytes = {})
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string ReadBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Everything below root by the bytes of its names, links as links: folders
// end in "/", links show " -> " and where they lead.
Bytes RawListing(const fs::path& root)
{
    Bytes out;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = e.path().lexically_relative(root).native();
        if (e.is_symlink())
            out.push_back(rel + " -> " + fs::read_symlink(e.path()).native());
        else
            out.push_back(e.is_directory() ? rel + "/" : rel);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The nodes below the root as shown: folders end in "/", links in "@".
QStringList Shown(const TDataTree& tree)
{
    QStringList out;
    tree.ForEach([&](TTreeNode* n) {
        if (!n->Parent)
            return;
        QString rel = n->Text + (n->IsFolder() ? QStringLiteral("/") : n->IsLink() ? QStringLiteral("@") : QString());
        for (const TTreeNode* p = n->Parent; p->Parent; p = p->Parent)
            rel = p->Text + QLatin1Char('/') + rel;
        out << rel;
    });
    out.sort();
    return out;
}

class OddEntriesTest : public ::testing::Test {
protected:
    OddEntriesTest()
    {
        root = dir.file("Data");
        fs::create_directories(P(root));
        tree.Host = &host;
        tree.DataRoot = root;
    }
    // Qt's own removal of the temporary folders cannot see names that are
    // not text.
    ~OddEntriesTest() override
    {
        std::error_code ec;
        fs::remove_all(Root(), ec);
        fs::remove_all(P(trash.file("x")).parent_path().parent_path(), ec);
    }
    fs::path Root() const { return P(root); }
    TTreeNode* Node(const char* rel) const { return tree.FindByPath(root + QLatin1Char('/') + NameFromNative(rel)); }

    ScriptedMessages msgs;
    TempDir dir;
    TempDir outside;
    TempTrash trash;
    QString root;
    TTestTreeHost host;
    TDataTree tree;
};

TEST_F(OddEntriesTest, EveryFolderIsWalkedOnceAndNoLinkIsFollowed)
{
    // Seventeen folders each linking twice to the next: followed, the links
    // would make 2^17 folders of the 17.
    QStringList want;
    for (int i = 1; i <= 17; ++i) {
        const QString name = QStringLiteral("d%1").arg(i, 2, 10, QLatin1Char('0'));
        fs::create_directories(Root() / P(name));
        want << name + QLatin1Char('/');
        if (i == 17)
            continue;
        for (const char* link : {"a", "b"}) {
            fs::create_directory_symlink(P(QStringLiteral("../d%1").arg(i + 1, 2, 10, QLatin1Char('0'))),
                                         Root() / P(name) / link);
            want << name + QLatin1Char('/') + QLatin1String(link) + QLatin1Char('@');
        }
    }
    MakeFile(Root() / "real.kdf");
    fs::create_symlink("real.kdf", Root() / "alias.kdf"); // a flight inside: a flight
    MakeFile(P(outside.file("x.kdf")), "X");
    fs::create_directory_symlink(P(outside.path()), Root() / "out");
    fs::create_symlink(P(outside.file("x.kdf")), Root() / "ext.kdf");
    fs::create_directory_symlink("/usr", Root() / "usr");
    fs::create_symlink("gone.kdf", Root() / "dangling.kdf");
    fs::create_symlink("/etc/hostname", Root() / "other.txt"); // neither flight nor folder
    want << "alias" << "real" << "out@" << "ext.kdf@" << "usr@" << "dangling.kdf@";
    want.sort();

    tree.BuildTree();
    EXPECT_EQ(Shown(tree), want);
    QStringList flights;
    ForEachFlightFile(root, [&](const QString& path) { flights << path; });
    EXPECT_EQ(flights, (QStringList{root + "/alias.kdf", root + "/real.kdf"}));
    // A refresh adds nothing behind the links either.
    tree.RefreshTree();
    EXPECT_EQ(Shown(tree), want);
}

TEST_F(OddEntriesTest, FileOperationsOnALinkReachTheLinkAndNeverWhatItLeadsTo)
{
    MakeFile(P(outside.file("x.kdf")), "X");
    fs::create_directories(P(outside.file("sub")));
    const Bytes behind = RawListing(P(outside.path()));
    fs::create_directory_symlink(P(outside.path()), Root() / "out");
    fs::create_symlink(P(outside.file("x.kdf")), Root() / "ext.kdf");
    tree.BuildTree();

    TTreeNode* out = Node("out");
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(out->IsLink());
    EXPECT_TRUE(out->Children.empty());
    ASSERT_TRUE(tree.RenameNode(out, QStringLiteral("ven")));
    TTreeNode* made = tree.NewFolder(out); // beside the link, not behind it
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Parent, tree.Root());
    ASSERT_TRUE(tree.MoveNode(out, made));
    EXPECT_EQ(RawListing(Root()), (Bytes{"Nová složka/", "Nová složka/ven -> " + outside.path().toStdString(),
                                         "ext.kdf -> " + outside.file("x.kdf").toStdString()}));
    ASSERT_TRUE(tree.DeleteNode(Node("ext.kdf")));
    ASSERT_TRUE(tree.DeleteNode(made));
    EXPECT_TRUE(RawListing(Root()).empty());
    EXPECT_TRUE(fs::is_symlink(P(trash.file("ext.kdf"))));
    EXPECT_TRUE(fs::is_symlink(P(trash.file("Nová složka/ven"))));
    EXPECT_EQ(RawListing(P(outside.path())), behind);
    EXPECT_EQ(ReadBytes(P(outside.file("x.kdf"))), "X");
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

TEST_F(OddEntriesTest, NamesThatAreNotTextAreShownOpenedSavedRenamedMovedAndDeleted)
{
    // "czéš.kdf" and a folder "fé" as Windows-1250 bytes.
    KdfContent flight;
    flight.Lines = ThreeChannelLines(5);
    const std::string written = KdfText(flight).toStdString();
    MakeFile(Root() / "cz\xe9\x9a.kdf", written);
    MakeFile(Root() / "f\xe9" / "a.kdf");
    tree.BuildTree();
    EXPECT_EQ(Shown(tree), (QStringList{"cz\uFFFD\uFFFD", "f\uFFFD/", "f\uFFFD/a"}));

    TTreeNode* file = Node("cz\xe9\x9a.kdf");
    ASSERT_NE(file, nullptr);
    // Opened into the grid and saved under the same bytes, no file beside it.
    TCurveModel model;
    TOpenFlights open;
    open.SetCurveModel(&model);
    ASSERT_EQ(open.OpenDataFile(tree.GetFullName(file)), 0);
    EXPECT_EQ(open.Name(0), QStringLiteral("cz\uFFFD\uFFFD"));
    open.Block(0)->NotesStream() = "x";
    open.Block(0)->Modified = true;
    EXPECT_EQ(open.GridSaveFile(0), TOpenFlights::SaveResult::Saved);
    TDataBlock again;
    EXPECT_EQ(ReadDataFile(tree.GetFullName(file), again, msgs), 5);
    EXPECT_EQ(again.NotesText(), "x");
    const std::string text = ReadBytes(Root() / "cz\xe9\x9a.kdf");
    EXPECT_EQ(RawListing(Root()), (Bytes{"cz\xe9\x9a.kdf", "f\xe9/", "f\xe9/a.kdf"}));

    ASSERT_TRUE(tree.RenameNode(file, QStringLiteral("czech")));
    ASSERT_TRUE(tree.MoveNode(file, Node("f\xe9")));
    EXPECT_EQ(RawListing(Root()), (Bytes{"f\xe9/", "f\xe9/a.kdf", "f\xe9/czech.kdf"}));
    EXPECT_EQ(ReadBytes(Root() / "f\xe9" / "czech.kdf"), text);
    tree.RefreshTree();
    EXPECT_EQ(Shown(tree), (QStringList{"f\uFFFD/", "f\uFFFD/a", "f\uFFFD/czech"}));

    ASSERT_TRUE(tree.DeleteNode(Node("f\xe9")));
    EXPECT_TRUE(RawListing(Root()).empty());
    EXPECT_EQ(ReadBytes(P(trash.file("")) / "f\xe9" / "czech.kdf"), text);
    EXPECT_NE(ReadBytes(P(trash.file("../info")) / "f\xe9.trashinfo").find("/Data/f%E9\n"), std::string::npos);
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

} // namespace
