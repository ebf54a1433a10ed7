// The data views inside the main window: tree, open-files grid, chart and
// flight information working together through the window's hooks.
#include "support/KdfText.h"
#include "app/Application.h"
#include "app/MainFrm.h"
#include "browser/FlightInfo.h"
#include "support/ProgramRun.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>
#include <qcustomplot.h>

namespace {

using namespace qv;
using namespace qv::test;

void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

class MainWindow : public ::testing::Test {
protected:
    void TearDown() override { DestroyForms(); }

    void start()
    {
        qv::test::StartProgram(dir.path(), dir.file("quorvel.ini"));
        tree = FormMain->findChild<QTreeWidget*>("TreeView1");
        grid = FormMain->findChild<QTableWidget*>("StringGrid1");
        chart = FormMain->findChild<QCustomPlot*>("Chart1");
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
    QTableWidget* grid = nullptr;
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
    EXPECT_FALSE(FormMain->PanelGrid->isVisibleTo(FormMain));
    EXPECT_FALSE(FormMain->PageControl1->isEnabled());

    emit tree->itemDoubleClicked(item("Blok2"), 0);
    EXPECT_TRUE(FormMain->PanelGrid->isVisibleTo(FormMain));
    EXPECT_TRUE(FormMain->PageControl1->isEnabled());
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(FormMain->DataList.size(), 1u);
    EXPECT_EQ(FormMain->ActualRow, 0);
    EXPECT_EQ(chart->graphCount(), 5);
    EXPECT_FALSE(FormMain->InfoPage->EditDate->text().isEmpty());
    EXPECT_EQ(FormMain->InfoPage->EditFile->text(), QStringLiteral("Blok2.kdf"));
    // The offset controls show the file's offsets.
    EXPECT_TRUE(FormMain->CheckBoxShift->isChecked());
    EXPECT_EQ(FormMain->EditShiftY->text(), QStringLiteral("0"));

    // A file that appears while the program runs shows up by itself.
    ASSERT_TRUE(WriteAll(dir.file("Data/Blok3.kdf"), KdfText(s)));
    for (int i = 0; i < 50 && !item("Blok3"); ++i)
        Pump(50);
    EXPECT_NE(item("Blok3"), nullptr);

    QTest::keyClicks(FormMain->InfoPage->RichEdit1, QStringLiteral("gusty"));
    msgs.queueAnswer(Answer::Yes);
    FormMain->close();
    QApplication::processEvents();
    EXPECT_EQ(msgs.questions(),
              QStringList{QStringLiteral("Do you want to save changes of ") + dir.file("Data/Blok2.kdf") + "?"});
    const QByteArray saved = ReadAll(dir.file("Data/Blok2.kdf"));
    EXPECT_TRUE(saved.contains("<Text>\r\n{\\rtf1\\ansi\\ansicpg1250")) << saved.toStdString();
    EXPECT_TRUE(saved.contains(" gusty\\par"));
    EXPECT_TRUE(FormMain->DataList.empty());
}

} // namespace
