// The logbook's index on a real folder: what an update reads again, and a
// database that is no database.
#include "logbook/Logbook.h"

#include "LogbookFiles.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace test;

class LogbookIndex : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = dir.file("Data");
        index = dir.file("index/logbook.sqlite");
        ASSERT_TRUE(WriteFlight(root + "/A.kdf", TowFlight({0, 50, 100, 10})));
        ASSERT_TRUE(WriteFlight(root + "/sub/B.kdf", TowFlight({0, 20, 40, 5})));
        ASSERT_TRUE(WriteFlight(root + "/sub/deep/C.KDF", TowFlight({1, 2, 3})));
        ASSERT_TRUE(WriteAll(root + "/notes.txt", "not a flight"));
    }

    // A logbook on the test's index that counts the files it reads.
    std::unique_ptr<TLogbook> Open()
    {
        auto lb = std::make_unique<TLogbook>();
        lb->IndexPath = index;
        QObject::connect(lb.get(), &TLogbook::Progress, [this](int, int total) { lastTotal = total; });
        lastTotal = 0;
        lb->SetRoot(root);
        return lb;
    }
    int Reads(TLogbook& lb)
    {
        lastTotal = 0;
        EXPECT_TRUE(lb.WaitIdle(20000));
        return lastTotal;
    }
    QStringList Files(const TLogbook& lb) const
    {
        QStringList files;
        for (const TLogEntry* e : lb.Entries())
            files << e->Figures.File;
        files.sort();
        return files;
    }

    TempDir dir;
    QString root, index;
    int lastTotal = 0;
};

TEST_F(LogbookIndex, ReadsOnlyNewChangedAndDropsRemovedFiles)
{
    auto lb = Open();
    EXPECT_EQ(lb->Status(), QString::fromLatin1(kIndexNew));
    EXPECT_EQ(Reads(*lb), 3);
    EXPECT_EQ(Files(*lb), (QStringList{"A.kdf", "sub/B.kdf", "sub/deep/C.KDF"}));

    // Another run finds every row in the index and reads nothing.
    lb = Open();
    EXPECT_EQ(lb->Status(), QString());
    EXPECT_EQ(lb->Count(), 3);
    EXPECT_EQ(Reads(*lb), 0);
    EXPECT_EQ(FigureText(lb->Entry("A.kdf")->Figures, LogMaximum), "100.00");

    // New, changed (other size), removed and renamed files.
    ASSERT_TRUE(WriteFlight(root + "/sub/New.kdf", TowFlight({0, 7})));
    ASSERT_TRUE(WriteFlight(root + "/A.kdf", TowFlight({0, 50, 120, 130, 10})));
    ASSERT_TRUE(QFile::remove(root + "/sub/B.kdf"));
    ASSERT_TRUE(QFile::rename(root + "/sub/deep/C.KDF", root + "/sub/deep/D.kdf"));
    lb->Update();
    EXPECT_EQ(Reads(*lb), 3);
    EXPECT_EQ(Files(*lb), (QStringList{"A.kdf", "sub/New.kdf", "sub/deep/D.kdf"}));
    EXPECT_EQ(FigureText(lb->Entry("A.kdf")->Figures, LogMaximum), "130.00");

    // Same size, other time: read again.
    const QString a = root + "/A.kdf";
    QFile f(a);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    f.close();
    lb->Update(root + "/sub"); // only that folder: A.kdf is not looked at
    EXPECT_EQ(Reads(*lb), 0);
    lb->Update();
    EXPECT_EQ(Reads(*lb), 1);

    // The next run sees the same rows.
    lb = Open();
    EXPECT_EQ(Files(*lb), (QStringList{"A.kdf", "sub/New.kdf", "sub/deep/D.kdf"}));
    EXPECT_EQ(Reads(*lb), 0);
}

TEST_F(LogbookIndex, GarbageDatabaseIsRebuiltFromTheFiles)
{
    QDir().mkpath(dir.file("index"));
    ASSERT_TRUE(WriteAll(index, QByteArray(4096, 'x')));
    auto lb = Open();
    EXPECT_EQ(lb->Status(), QString::fromLatin1(kIndexGarbage));
    EXPECT_EQ(Reads(*lb), 3);
    EXPECT_EQ(lb->Count(), 3);
    // The new database holds them.
    lb = Open();
    EXPECT_EQ(lb->Status(), QString());
    EXPECT_EQ(lb->Count(), 3);
    EXPECT_EQ(Reads(*lb), 0);
    lb.reset();

    // One of another version is started afresh too.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(index);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("UPDATE meta SET value = '0' WHERE key = 'schema'")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    lb = Open();
    EXPECT_EQ(lb->Status(), QString::fromLatin1(kIndexVersion));
    EXPECT_EQ(lb->Count(), 0);
    EXPECT_EQ(Reads(*lb), 3);
}

TEST_F(LogbookIndex, CancelledFirstIndexGoesOnNextTimeAndALockedDatabaseIsLeftForMemory)
{
    auto lb = Open();
    QSignalSpy finished(lb.get(), &TLogbook::Finished);
    lb->Cancel();
    ASSERT_TRUE(lb->WaitIdle(20000));
    ASSERT_EQ(finished.size(), 1);
    EXPECT_TRUE(finished[0][0].toBool());
    EXPECT_EQ(lb->Count(), 0);
    lb->Update();
    EXPECT_EQ(Reads(*lb), 3);
    lb.reset();

    // Another program holds the database's write lock.
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(index);
        ASSERT_TRUE(other.open());
        QSqlQuery q(other);
        ASSERT_TRUE(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        lb = Open();
        ASSERT_TRUE(WriteFlight(root + "/sub/New.kdf", TowFlight({0, 7})));
        lb->Update();
        EXPECT_EQ(Reads(*lb), 1);
        EXPECT_EQ(lb->Status(), QString::fromLatin1(kIndexLocked));
        EXPECT_EQ(Files(*lb), (QStringList{"A.kdf", "sub/B.kdf", "sub/New.kdf", "sub/deep/C.KDF"}));
        q.exec(QStringLiteral("ROLLBACK"));
        lb.reset();
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
}

TEST_F(LogbookIndex, WatcherAndRootSwitch)
{
    auto lb = Open();
    lb->SetWatching(true);
    Reads(*lb);
    QSignalSpy added(lb.get(), &TLogbook::EntriesAdded);
    ASSERT_TRUE(WriteFlight(root + "/sub/deep/Watched.kdf", TowFlight({0, 9})));
    for (int i = 0; i < 100 && !lb->Entry("sub/deep/Watched.kdf"); ++i)
        added.wait(100);
    ASSERT_NE(lb->Entry("sub/deep/Watched.kdf"), nullptr);
    ASSERT_TRUE(QFile::remove(root + "/A.kdf"));
    for (int i = 0; i < 100 && lb->Entry("A.kdf"); ++i)
        QTest::qWait(50);
    EXPECT_EQ(lb->Entry("A.kdf"), nullptr);

    // Another root shows its own flights.
    const QString other = dir.file("Other");
    ASSERT_TRUE(WriteFlight(other + "/X.kdf", TowFlight({0, 1})));
    lb->IndexPath = dir.file("index/other.sqlite");
    lb->SetRoot(other);
    Reads(*lb);
    EXPECT_EQ(Files(*lb), QStringList{"X.kdf"});
}

} // namespace
} // namespace qv
