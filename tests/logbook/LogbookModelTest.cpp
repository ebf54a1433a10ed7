// Filter, sort and totals of the logbook through its model, the page's
// export, and the command-line tool's CSV.
#include "logbook/LogbookPage.h"

#include "LogbookFiles.h"
#include "support/CliRun.h"
#include "support/ScriptedMessages.h"

#include <QHeaderView>
#include <QPushButton>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace test;

class LogbookModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = dir.file("Data");
        KdfContent a = TowFlight({0, 50, 9, 1});  // maximum 50, tow 0.1 .. 0.2
        a.Date = "10.12.2025 09:00:00";
        a.Notes = "Weak link broke";
        KdfContent b = TowFlight({0, 100, 80, 5}); // maximum 100, tow 0.1 .. 0.3
        b.Date = "02.01.2026 14:30:00";
        b.Annotations = {QStringLiteral("0.20,80.00,Rope check")};
        b.Notes = "P\xF8" "etr\x9E" "en\xED lanka"; // Windows-1250
        KdfContent c = TowFlight({0, 9, 1});      // maximum 9, tow 0.1 .. 0.2
        c.Date = "05.01.2026 08:00:00";
        ASSERT_TRUE(WriteFlight(root + "/autumn/a.kdf", a));
        ASSERT_TRUE(WriteFlight(root + "/b.kdf", b));
        ASSERT_TRUE(WriteFlight(root + "/c.kdf", c));
        logbook.UseIndex = false;
        logbook.SetRoot(root);
        ASSERT_TRUE(logbook.WaitIdle(20000));
    }

    QStringList Column(const TLogbookFilter& f, int column) const
    {
        QStringList out;
        for (int r = 0; r < f.rowCount(); ++r)
            out << f.index(r, column).data().toString();
        return out;
    }

    TempDir dir;
    QString root;
    TLogbook logbook;
};

TEST_F(LogbookModel, SortsNumbersAndDatesAndFiltersByTextAndDate)
{
    TLogbookModel model(logbook);
    TLogbookFilter filter(model);
    ASSERT_EQ(filter.rowCount(), 3);
    filter.sort(LogMaximum, Qt::AscendingOrder);
    EXPECT_EQ(Column(filter, LogMaximum), (QStringList{"9.00", "50.00", "100.00"}));
    filter.sort(LogDate, Qt::DescendingOrder);
    EXPECT_EQ(Column(filter, LogFile), (QStringList{"c.kdf", "b.kdf", "autumn/a.kdf"}));
    EXPECT_EQ(TotalsText(filter.Totals()), "Flights: 3   Total tow time: 0.4 s   Highest maximum: 100.00");

    filter.SetText(QStringLiteral("weak"));            // notes
    EXPECT_EQ(Column(filter, LogFile), QStringList{"autumn/a.kdf"});
    filter.SetText(QStringLiteral("PRETRZENI"));        // without accents and case
    EXPECT_EQ(Column(filter, LogFile), QStringList{"b.kdf"});
    filter.SetText(QStringLiteral("rope"));             // annotation
    EXPECT_EQ(Column(filter, LogFile), QStringList{"b.kdf"});
    filter.SetText(QStringLiteral("autumn link"));      // folder name and notes together
    EXPECT_EQ(Column(filter, LogFile), QStringList{"autumn/a.kdf"});
    filter.SetText(QString());
    filter.SetDateRange(QDate(2026, 1, 1), QDate(2026, 1, 2));
    EXPECT_EQ(Column(filter, LogFile), QStringList{"b.kdf"});
    EXPECT_EQ(TotalsText(filter.Totals()), "Flights: 1   Total tow time: 0.2 s   Highest maximum: 100.00");
    filter.SetDateRange(QDate(2026, 1, 1), std::nullopt);
    EXPECT_EQ(filter.rowCount(), 2);

    // A file changed on disk changes its row in place.
    KdfContent b = TowFlight({0, 300, 5});
    b.Date = "02.01.2026 14:30:00";
    ASSERT_TRUE(WriteFlight(root + "/b.kdf", b));
    logbook.Update();
    ASSERT_TRUE(logbook.WaitIdle(20000));
    filter.sort(LogMaximum, Qt::DescendingOrder);
    EXPECT_EQ(Column(filter, LogMaximum), (QStringList{"300.00", "9.00"}));
}

TEST_F(LogbookModel, PageOpensSelectedRowsTogetherAndExportsShownRows)
{
    ScriptedMessages msgs;
    TLogbookPage page(logbook);
    page.resize(1200, 500);
    page.show();
    QList<QStringList> opened;
    QObject::connect(&page, &TLogbookPage::OpenFiles, [&](const QStringList& f) { opened << f; });
    page.TableLogbook->sortByColumn(LogFile, Qt::AscendingOrder);
    page.TableLogbook->selectRow(0);
    page.TableLogbook->selectionModel()->select(page.Filter->index(2, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(page.TableLogbook, Qt::Key_Return);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], (QStringList{root + "/autumn/a.kdf", root + "/c.kdf"}));

    QTest::keyClicks(page.EditFilter, QStringLiteral("b.k"));
    EXPECT_EQ(page.Filter->rowCount(), 1);
    const QString csv = dir.file("out.csv");
    msgs.QueueFileName(csv);
    QTest::mouseClick(page.ButtonExport, Qt::LeftButton);
    const QList<QByteArray> lines = ReadAll(csv).split('\n');
    ASSERT_EQ(lines.size(), 3); // header, one row, nothing after the last line end
    EXPECT_TRUE(lines[1].startsWith("b.kdf,02.01.2026 14:30:00,100,4,0.3,100.00,0.1,0.1,0.3,0.2,90.00,7.20,1,"));
}

TEST_F(LogbookModel, CliPrintsCsvAndFailsOnARefusedFile)
{
    CliRun ok = cli({"logbook", "--root", root, "--csv", "-", "--no-index"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.constData();
    const QList<QByteArray> lines = ok.out.split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "File,Date,Sampling (ms),Samples,Flight time (s),Maximum,Time of maximum (s),Tow start (s),"
                        "Release (s),Tow time (s),Mean during tow,Min voltage (V),Annotations,Notes\r");
    EXPECT_EQ(lines[1], "autumn/a.kdf,10.12.2025 09:00:00,100,4,0.3,50.00,0.1,0.1,0.2,0.1,50.00,7.20,0,Weak link broke\r");

    ASSERT_TRUE(WriteAll(root + "/broken.kdf", "<Header>\r\n<Data>\r\n1,2\r\n"));
    const QString index = dir.file("cli.sqlite");
    const CliRun bad = cli({"logbook", "--root", root, "--csv", dir.file("out.csv"), "--index", index});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains("broken.kdf: Error: Unexpected end of file")) << bad.err.constData();
    EXPECT_TRUE(ReadAll(dir.file("out.csv")).contains("\r\nbroken.kdf,,,,,,,,,,,,,Error: Unexpected end of file\r\n"));
    // The same from the index the first run made.
    const CliRun again = cli({"logbook", "--root", root, "--csv", "-", "--index", index});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.out, ReadAll(dir.file("out.csv")));
}

} // namespace
} // namespace qv
