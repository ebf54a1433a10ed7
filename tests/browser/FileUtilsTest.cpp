#include "browser/FileUtils.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace qv;
using qv::test::ReadAll;
using qv::test::TempDir;
using qv::test::WriteAll;

// Every entry below a folder, folders ending in "/", with file contents.
QStringList Listing(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        out << (it.fileInfo().isDir() ? rel + QLatin1Char('/') : rel + QLatin1Char('=') + ReadAll(path));
    }
    out.sort();
    return out;
}

void MakeSample(const QString& folder)
{
    QDir().mkpath(folder + QStringLiteral("/inner/deep"));
    ASSERT_TRUE(WriteAll(folder + QStringLiteral("/a.kdf"), "first"));
    ASSERT_TRUE(WriteAll(folder + QStringLiteral("/inner/b.kdf"), QByteArray(200000, 'x')));
    ASSERT_TRUE(WriteAll(folder + QStringLiteral("/inner/deep/.hidden"), "h"));
}

TEST(FileUtils, NamesThatCannotBeUsedAreRefusedWithTheReason)
{
    for (const char* ok : {"Let 1", "Nová složka (3)", "a.b.c", ".skryta", "x..y"})
        EXPECT_EQ(NameProblem(QString::fromUtf8(ok)), QString()) << ok;
    EXPECT_EQ(NameProblem(QStringLiteral("   ")), QStringLiteral("Název nesmí být prázdný!"));
    EXPECT_EQ(NameProblem(QStringLiteral("..")), QStringLiteral("Název \"..\" nelze použít!"));
    EXPECT_EQ(NameProblem(QStringLiteral(".")), QStringLiteral("Název \".\" nelze použít!"));
    EXPECT_EQ(NameProblem(QStringLiteral("a/b")), QStringLiteral("Název \"a/b\" nesmí obsahovat znak \"/\"!"));
    EXPECT_EQ(NameProblem(QStringLiteral("..\\up")),
              QStringLiteral("Název \"..\\up\" nesmí obsahovat znak \"\\\"!"));
    EXPECT_EQ(NameProblem(QStringLiteral("tab\there")), QStringLiteral("Název nesmí obsahovat řídicí znaky!"));
    // The limit counts what goes on the disk, the data file's extension too.
    const QString long251(251, QLatin1Char('n'));
    EXPECT_EQ(NameProblem(long251, QStringLiteral(".kdf")), QString());
    EXPECT_EQ(NameProblem(long251 + QLatin1Char('n'), QStringLiteral(".kdf")),
              QStringLiteral("Název \"") + long251 + QStringLiteral("n\" je příliš dlouhý!"));
    // Characters outside ASCII take more than one byte on the disk.
    EXPECT_FALSE(NameProblem(QString(128, QChar(0x159))).isEmpty());
}

TEST(FileUtils, RenameNeverReplacesWhatIsThere)
{
    TempDir dir;
    ASSERT_TRUE(WriteAll(dir.file("a.kdf"), "A"));
    ASSERT_TRUE(WriteAll(dir.file("b.kdf"), "B"));
    QDir().mkpath(dir.file("full/x"));
    QDir().mkpath(dir.file("empty"));
    QDir().mkpath(dir.file("src"));

    EXPECT_EQ(RenamePath(dir.file("a.kdf"), dir.file("b.kdf")).Code, AlreadyExistsCode());
    EXPECT_EQ(RenamePath(dir.file("src"), dir.file("empty")).Code, AlreadyExistsCode());
    EXPECT_TRUE(IsAlreadyExists(RenamePath(dir.file("src"), dir.file("full")).Code));
    EXPECT_EQ(ReadAll(dir.file("a.kdf")), "A");
    EXPECT_EQ(ReadAll(dir.file("b.kdf")), "B");
    EXPECT_TRUE(QDir(dir.file("src")).exists());

    EXPECT_TRUE(RenamePath(dir.file("a.kdf"), dir.file("c.kdf")).Ok());
    EXPECT_EQ(ReadAll(dir.file("c.kdf")), "A");
    EXPECT_FALSE(QFile::exists(dir.file("a.kdf")));
    EXPECT_EQ(RenamePath(dir.file("a.kdf"), dir.file("d.kdf")).Code, ENOENT);
    EXPECT_EQ(AlreadyExistsCode(), EEXIST);
    EXPECT_FALSE(IsAlreadyExists(ENOENT));
}

TEST(FileUtils, MoveTakesTheWholeFolderWithinAndAcrossFileSystems)
{
    TempDir dir;
    MakeSample(dir.file("flights"));
    QDir().mkpath(dir.file("target"));
    const QStringList before = Listing(dir.file("flights"));

    ASSERT_TRUE(MovePath(dir.file("flights"), dir.file("target/flights")).Ok());
    EXPECT_FALSE(QFileInfo::exists(dir.file("flights")));
    EXPECT_EQ(Listing(dir.file("target/flights")), before);

    // Another file system: a copy compared with the source, then the source goes.
    struct stat here {}, shm {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(QFile::encodeName(dir.path()).constData(), &here) != 0 ||
        here.st_dev == shm.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    QTemporaryDir other(QStringLiteral("/dev/shm/qv-move-XXXXXX"));
    ASSERT_TRUE(other.isValid());
    const QString across = other.path() + QStringLiteral("/flights");
    ASSERT_TRUE(MovePath(dir.file("target/flights"), across).Ok());
    EXPECT_EQ(Listing(across), before);
    EXPECT_FALSE(QFileInfo::exists(dir.file("target/flights")));
    ASSERT_TRUE(MovePath(across + QStringLiteral("/a.kdf"), dir.file("a.kdf")).Ok());
    EXPECT_EQ(ReadAll(dir.file("a.kdf")), "first");
    EXPECT_FALSE(QFileInfo::exists(across + QStringLiteral("/a.kdf")));
}

TEST(FileUtils, NewFolderNamesAndNesting)
{
    TempDir dir;
    // A file of that name is in the way of a folder too.
    ASSERT_TRUE(MakeFolder(dir.file("Nová složka")).Ok());
    ASSERT_TRUE(WriteAll(dir.file("Nová složka (1)"), "a file"));
    EXPECT_EQ(NewFolderPath(dir.path()), dir.file("Nová složka (2)"));
    EXPECT_EQ(MakeFolder(dir.file("Nová složka")).Code, EEXIST);

    EXPECT_TRUE(IsSameOrInside(dir.file("a"), dir.file("a")));
    EXPECT_TRUE(IsSameOrInside(dir.file("a"), dir.file("a/b/c")));
    EXPECT_TRUE(IsSameOrInside(dir.file("a/"), dir.file("a/./b")));
    EXPECT_FALSE(IsSameOrInside(dir.file("a"), dir.file("ab")));
    EXPECT_FALSE(IsSameOrInside(dir.file("a/b"), dir.file("a")));
}

} // namespace
