// The "Logbook" page inside the main window: shown before any file is open,
// opens flights on the graph page, follows the disk.
#include "app/MainFrm.h"
#include "ProgramRun.h"
#include "logbook/Logbook.h"
#include "logbook/LogbookPage.h"
#include "support/KdfText.h"
#include "support/MouseInput.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using namespace qv::test;

TEST(LogbookTab, OpensRowsOnTheGraphPageAndFollowsTheDisk)
{
    TempDir dir;
    ScriptedMessages msgs;
    QDir().mkpath(dir.file("Data/sub"));
    KdfContent s;
    s.Lines = ThreeChannelLines(30);
    for (const char* name : {"Data/A.kdf", "Data/B.kdf", "Data/sub/C.kdf"})
        ASSERT_TRUE(WriteAll(dir.file(name), KdfText(s)));
    StartProgram(dir.path(), dir.file("quorvel.ini"));
    struct Destroy {
        ~Destroy() { StopForms(); }
    } destroy;

    QTabWidget* pages = Main()->PageControl1;
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(2), "Logbook");
    EXPECT_EQ(pages->currentWidget(), Main()->TabLogbook);
    EXPECT_FALSE(Main()->DataPagesEnabled());
    ASSERT_TRUE(Main()->Logbook->WaitIdle(20000));
    TLogbookPage* page = Main()->LogbookPage;
    QTableView* table = page->TableLogbook;
    ASSERT_EQ(page->Filter->rowCount(), 3);
    QApplication::processEvents();
    EXPECT_EQ(page->LabelTotals->text(), "Flights: 3   Total tow time: 0.0 s   Highest maximum: 29.00");
    table->sortByColumn(LogFile, Qt::AscendingOrder);

    // Double click: that flight on the graph page.
    const QRect first = table->visualRect(page->Filter->index(0, LogFile));
    DoubleClick(table->viewport(), first.center());
    ASSERT_EQ(Main()->OpenFlights.RowCount(), 1);
    EXPECT_EQ(pages->currentWidget(), Main()->TabGraph);

    // Two more rows together; the open one stays open once.
    pages->setCurrentWidget(Main()->TabLogbook);
    table->selectAll();
    QTest::mouseClick(page->ButtonOpen, Qt::LeftButton);
    EXPECT_EQ(Main()->OpenFlights.RowCount(), 3);
    EXPECT_TRUE(msgs.Errors().isEmpty()) << msgs.Errors().join('\n').toStdString();

    // A flight written by someone else appears without a refresh.
    ASSERT_TRUE(WriteAll(dir.file("Data/sub/New.kdf"), KdfText(s)));
    for (int i = 0; i < 100 && page->Filter->rowCount() < 4; ++i)
        QTest::qWait(50);
    EXPECT_EQ(page->Filter->rowCount(), 4);
    QApplication::processEvents();
    EXPECT_TRUE(page->LabelTotals->text().startsWith("Flights: 4   ")) << page->LabelTotals->text().toStdString();
}

} // namespace
