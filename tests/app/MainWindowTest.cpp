// The data views inside the main window: tree, open-files grid, chart and
// flight information working together through the window's hooks.
#include "graph/GraphStyle.h"
#include "support/KdfText.h"
#include "app/Application.h"
#include "app/MainFrm.h"
#include "ProgramRun.h"
#include "browser/FlightInfo.h"
#include "browser/TreeView.h"
#include "graph/GraphPage.h"
#include "support/EventPump.h"
#include "support/MouseInput.h"
#include "support/ScriptedMessages.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"
#include "support/TempTrash.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>
#include <qcustomplot.h>

namespace {

using namespace qv;
using namespace qv::test;

class MainWindow : public ::testing::Test {
protected:
    void TearDown() override { StopForms(); }

    void start()
    {
        qv::test::StartProgram(dir.path(), dir.file("quorvel.ini"));
        tree = Main()->findChild<QTreeWidget*>("TreeView1");
        grid = Main()->findChild<QTableView*>("StringGrid1");
        chart = Main()->findChild<QCustomPlot*>("Chart1");
        ASSERT_TRUE(tree && grid && chart);
    }
    QTreeWidgetItem* item(const QString& text)
    {
        const auto found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }

    TempDir dir;
    ScriptedMessages msgs;
    QTreeWidget* tree = nullptr;
    QTableView* grid = nullptr;
    QCustomPlot* chart = nullptr;
};

TEST_F(MainWindow, OpenFromTreeEditNotesAndSaveOnClose)
{
    QDir().mkpath(dir.file("Data"));
    KdfContent s;
    s.Lines = ThreeChannelLines(50);
    ASSERT_TRUE(WriteAll(dir.file("Data/Blok1.kdf"), KdfText(s)));
    ASSERT_TRUE(WriteAll(dir.file("Data/Blok2.kdf"), KdfText(s)));
    start();

    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("Data"));
    EXPECT_FALSE(Main()->PanelGrid->isVisibleTo(Main()));
    EXPECT_FALSE(Main()->DataPagesEnabled());

    DoubleClick(tree->viewport(), tree->visualItemRect(item("Blok2")).center());
    EXPECT_TRUE(Main()->PanelGrid->isVisibleTo(Main()));
    EXPECT_TRUE(Main()->DataPagesEnabled());
    EXPECT_EQ(grid->model()->rowCount(), 1);
    EXPECT_EQ(Main()->OpenFlights.RowCount(), 1);
    EXPECT_EQ(Main()->OpenFlights.Actual(), 0);
    EXPECT_EQ(chart->graphCount(), 5);
    EXPECT_FALSE(Main()->InfoPage->EditDate->text().isEmpty());
    EXPECT_EQ(Main()->InfoPage->EditFile->text(), QStringLiteral("Blok2.kdf"));
    // The offset controls show the file's offsets.
    EXPECT_TRUE(Main()->GraphPage->CheckBoxShift->isChecked());
    EXPECT_EQ(Main()->GraphPage->EditShiftY->text(), QStringLiteral("0"));

    // A file that appears while the program runs shows up by itself.
    ASSERT_TRUE(WriteAll(dir.file("Data/Blok3.kdf"), KdfText(s)));
    for (int i = 0; i < 50 && !item("Blok3"); ++i)
        Pump(50);
    EXPECT_NE(item("Blok3"), nullptr);

    QTest::keyClicks(Main()->InfoPage->RichEdit1, QStringLiteral("gusty"));
    msgs.QueueAnswer(Answer::Yes);
    Main()->close();
    QApplication::processEvents();
    EXPECT_EQ(msgs.Questions(),
              QStringList{QStringLiteral("Do you want to save changes of ") + dir.file("Data/Blok2.kdf") + "?"});
    const QByteArray saved = ReadAll(dir.file("Data/Blok2.kdf"));
    EXPECT_TRUE(saved.contains("<Text>\r\n{\\rtf1\\ansi\\ansicpg1250")) << saved.toStdString();
    EXPECT_TRUE(saved.contains(" gusty\\par"));
    EXPECT_EQ(Main()->OpenFlights.RowCount(), 0);
}

// A save at exit that fails keeps the program open with the edits; closing
// again asks once more.
TEST_F(MainWindow, ExitAfterAFailedSaveKeepsTheEdits)
{
    SmallDisk disk(64 * 1024);
    QV_NEED_SMALL_DISK(disk);
    const QByteArray old = disk.PutFlight("Blok1.kdf");
    ASSERT_FALSE(old.isEmpty());
    ASSERT_TRUE(WriteAll(dir.file("quorvel.ini"), "[Options]\r\nRoot=" + disk.path().toUtf8() + "\r\n"));
    start();
    DoubleClick(tree->viewport(), tree->visualItemRect(item("Blok1")).center());
    ASSERT_EQ(Main()->OpenFlights.RowCount(), 1);
    QTest::keyClicks(Main()->InfoPage->RichEdit1, QStringLiteral("gusty"));
    ASSERT_TRUE(disk.FillUpTo(old.size() / 2));

    const QString question = "Do you want to save changes of " + disk.file("Blok1.kdf") + "?";
    msgs.QueueAnswer(Answer::Yes);
    msgs.QueueFileName(QString()); // no other place either
    Main()->mnuExit->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(Main()->isVisible());
    ASSERT_EQ(Main()->OpenFlights.RowCount(), 1);
    EXPECT_TRUE(Main()->OpenFlights.Block(0)->Modified);
    ASSERT_EQ(msgs.Errors().size(), 1);
    EXPECT_TRUE(msgs.Errors()[0].startsWith("Error in writing file.\n" + disk.file("Blok1.kdf")));
    EXPECT_EQ(ReadAll(disk.file("Blok1.kdf")), old);

    msgs.QueueAnswer(Answer::No);
    Main()->mnuExit->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(Main()->isVisible());
    EXPECT_EQ(msgs.Questions(), (QStringList{question, question}));
}

// Renames and deletes in the tree reach the open-files grid and the data
// root; the files stay open with their rows and curves.
TEST_F(MainWindow, TreeFileOperationsKeepTheOpenFiles)
{
    TempTrash trash;
    KdfContent s;
    s.Lines = ThreeChannelLines(20);
    ASSERT_TRUE(WriteAll(dir.file("Data/Sezona/Blok1.kdf"), (QDir().mkpath(dir.file("Data/Sezona")), KdfText(s))));
    ASSERT_TRUE(WriteAll(dir.file("Data/Blok2.kdf"), KdfText(s)));
    start();
    item("Sezona")->setExpanded(true);
    TTreeView* view = Main()->findChild<TTreeView*>();
    ASSERT_NE(view, nullptr);
    auto rename = [this, view](const QString& from, const QString& to) {
        tree->setCurrentItem(item(from));
        QTest::keyClick(tree, Qt::Key_F2);
        auto* editor = tree->findChild<QLineEdit*>(QStringLiteral("TreeView1Editor"));
        ASSERT_NE(editor, nullptr);
        const int told = view->NotificationCount;
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, to);
        QTest::keyClick(editor, Qt::Key_Return);
        ASSERT_TRUE(WaitUntil([&] { return item(to) != nullptr; }, 5000)) << to.toStdString();
        // The watcher reports the rename as well: its refresh runs now, not
        // in the middle of the next step.
        WaitUntil([&] { return view->NotificationCount > told; }, 3000);
        view->FlushRefresh();
    };

    QTest::mouseDClick(Main()->windowHandle(), Qt::LeftButton, {},
                       tree->viewport()->mapTo(Main(), tree->visualItemRect(item("Blok1")).center()));
    ASSERT_EQ(grid->model()->rowCount(), 1);
    // With the graph shown, a space typed into the tree's editor stays a space.
    auto* tabs = Main()->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    tabs->setCurrentWidget(Main()->findChild<QWidget*>(QStringLiteral("TabGraph")));
    ASSERT_TRUE(chart->isVisible());
    const QString colour = grid->model()->index(0, 7).data().toString();
    rename(QStringLiteral("Sezona"), QStringLiteral("Jaro"));
    EXPECT_TRUE(QFileInfo(dir.file("Data/Jaro/Blok1.kdf")).isFile());
    EXPECT_EQ(grid->model()->index(0, 6).data().toString(), dir.file("Data/Jaro/Blok1.kdf"));
    rename(QStringLiteral("Blok1"), QStringLiteral("Let 1"));
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), QStringLiteral("Let 1"));
    EXPECT_EQ(grid->model()->index(0, 6).data().toString(), dir.file("Data/Jaro/Let 1.kdf"));
    EXPECT_EQ(grid->model()->index(0, 7).data().toString(), colour);
    EXPECT_EQ(chart->graphCount(), 5);
    EXPECT_EQ(chart->graph(0)->name(), QStringLiteral("Let 1 (Alt)"));

    rename(QStringLiteral("Data"), QStringLiteral("Lety"));
    EXPECT_EQ(Main()->DataRoot, dir.file("Lety"));
    EXPECT_EQ(grid->model()->index(0, 6).data().toString(), dir.file("Lety/Jaro/Let 1.kdf"));
    EXPECT_TRUE(Main()->TreeNotify);
    EXPECT_TRUE(msgs.Texts().isEmpty()) << msgs.Texts().join(QLatin1Char('|')).toStdString();

    // Deleting the folder closes its changed file first, with the question.
    Main()->InfoPage->RichEdit1->selectAll();
    Main()->InfoPage->RichEdit1->insertPlainText(QStringLiteral("windy"));
    msgs.QueueAnswer(Answer::No);
    tree->setCurrentItem(item("Jaro"));
    QTest::keyClick(tree, Qt::Key_Delete);
    EXPECT_EQ(msgs.Questions(), QStringList{QStringLiteral("Do you want to save changes of ") +
                                            dir.file("Lety/Jaro/Let 1.kdf") + "?"});
    EXPECT_EQ(Main()->OpenFlights.RowCount(), 0);
    EXPECT_EQ(chart->graphCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(dir.file("Lety/Jaro")));
    EXPECT_FALSE(ReadAll(trash.file("Jaro/Let 1.kdf")).contains("windy"));
}

TEST_F(MainWindow, OpenFilesGridShowsNamesWithSwatchesWithinThePanel)
{
    // The grid has a font of its own; the automatic width follows it.
    QFont gridFont = QApplication::font();
    gridFont.setPointSize(gridFont.pointSize() + 3);
    QApplication::setFont(gridFont, "QTableView");
    struct RestoreFont {
        ~RestoreFont() { QApplication::setFont(QApplication::font(), "QTableView"); }
    } restoreFont;

    QDir().mkpath(dir.file("Data"));
    KdfContent s;
    s.Lines = ThreeChannelLines(20);
    const QStringList names = {"Blok001", "Blok002", "Flug0007"};
    for (const QString& n : names)
        ASSERT_TRUE(WriteAll(dir.file("Data/" + n + ".kdf"), KdfText(s)));
    start();
    EXPECT_EQ(Main()->Settings.AutoGridSize, QFontMetrics(grid->font()).horizontalAdvance("ABCDEFGH"));
    EXPECT_NE(QFontMetrics(grid->font()).horizontalAdvance("ABCDEFGH"),
              Main()->fontMetrics().horizontalAdvance("ABCDEFGH"));

    for (const QString& n : names) {
        QTreeWidgetItem* it = item(n);
        ASSERT_NE(it, nullptr);
        const QRect r = tree->visualItemRect(it);
        DoubleClick(tree->viewport(), r.center());
    }
    ASSERT_EQ(grid->model()->rowCount(), 3);
    QApplication::processEvents();
    EXPECT_EQ(Main()->MainSplitter->sizes().first(), 233);

    // Path and colour stay in the model, out of sight.
    EXPECT_TRUE(grid->isColumnHidden(6));
    EXPECT_TRUE(grid->isColumnHidden(7));
    int visibleWidth = 0;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        visibleWidth += grid->isColumnHidden(c) ? 0 : grid->columnWidth(c);
    EXPECT_LE(visibleWidth, grid->viewport()->width());
    EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0);

    const QFontMetrics fm(grid->font());
    for (int row = 0; row < 3; ++row) {
        const QModelIndex name = grid->model()->index(row, 0);
        ASSERT_TRUE(name.isValid());
        EXPECT_EQ(name.data().toString(), names[row]);
        EXPECT_EQ(name.data(Qt::ToolTipRole).toString(), dir.file("Data/" + names[row] + ".kdf"));
        // Room for the swatch, the name and the cell's margins.
        EXPECT_GE(grid->columnWidth(0), grid->iconSize().width() + fm.horizontalAdvance(names[row]) + 12);
        // The swatch is the curve's colour.
        const QImage swatch = name.data(Qt::DecorationRole).value<QIcon>().pixmap(grid->iconSize()).toImage();
        ASSERT_FALSE(swatch.isNull());
        const QColor curve = QColor::fromRgb(SwapRedBlue(kCurveColours[row]));
        EXPECT_EQ(swatch.pixelColor(swatch.width() / 2, swatch.height() / 2), curve) << row;
    }
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal, Qt::ToolTipRole).toString(), "Altitude");
    msgs.QueueAnswer(Answer::No);
    Main()->close();
}

} // namespace
