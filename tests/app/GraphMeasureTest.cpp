// The graph page's measurement mode, curve offsets and annotations in the
// running program, driven with the mouse and the keyboard.
#include "support/KdfText.h"
#include "ProgramRun.h"
#include "annot/Annot.h"
#include "annot/AnnotEdit.h"
#include "app/Application.h"
#include "app/GraphLink.h"
#include "app/MainFrm.h"
#include "bench/browser/FlightMaker.h"
#include "data/DataFile.h"
#include "device/FlightSplitter.h"
#include "device/SimMemory.h"
#include "graph/GraphPage.h"
#include "graph/Measure.h"
#include "graph/Measurement.h"
#include "graph/OffsetControls.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <qcustomplot.h>

namespace {

using namespace qv;
using namespace qv::test;

class GraphMeasure : public ::testing::Test {
protected:
    void TearDown() override { StopForms(); }

    void start()
    {
        QDir().mkpath(dir.file("Data"));
        for (const auto& [name, content] : files)
            ASSERT_TRUE(WriteAll(dir.file("Data/" + name + ".kdf"), content));
        StartProgram(dir.path(), dir.file("quorvel.ini"));
        Main()->resize(1200, 800);
        page = Main()->GraphPage;
        chart = page->Chart->Chart1;
        auto* tree = Main()->findChild<QTreeWidget*>("TreeView1");
        for (const auto& [name, content] : files) {
            const auto found = tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
            ASSERT_FALSE(found.isEmpty());
            emit tree->itemDoubleClicked(found.first(), 0);
        }
        Main()->PageControl1->setCurrentWidget(Main()->TabGraph);
        QApplication::processEvents();
        chart->replot();
    }
    QPoint At(double t, double yRatio = 0.5) const
    {
        const QRect r = chart->axisRect()->rect();
        return {static_cast<int>(std::lround(chart->xAxis->coordToPixel(t))),
                r.top() + static_cast<int>(r.height() * yRatio)};
    }
    QString Cell(int row, int col) const
    {
        const QTableWidgetItem* i = page->StringGridOdecet->item(row, col);
        return i ? i->text() : QString();
    }
    double Value(int row, int col) const { return Cell(row, col).toDouble(); }
    int VisibleMeasureItems() const
    {
        int n = 0;
        for (int i = 0; i < chart->itemCount(); ++i)
            if (chart->item(i)->layer() == chart->layer("measure") && chart->item(i)->visible())
                ++n;
        return n;
    }
    TCurveHandle Curves(int row) const { return Main()->OpenFlights.CurvesOf(row); }

    TempDir dir;
    ScriptedMessages msgs;
    std::vector<std::pair<QString, QByteArray>> files;
    TGraphPage* page = nullptr;
    QCustomPlot* chart = nullptr;
};

KdfContent Lines(int n, double altScale)
{
    KdfContent s;
    s.Lines = ThreeChannelLines(n, altScale);
    return s;
}

TEST_F(GraphMeasure, CursorsPlacedMovedAndDraggedWithTheMouseFillTheTable)
{
    // Altitude rises by altScale per sample of 0.1 s: 10 * altScale per second.
    files = {{"Blok1", KdfText(Lines(101, 1.0))}, {"Blok2", KdfText(Lines(101, 3.0))}};
    start();
    EXPECT_EQ(page->StringGridOdecet->horizontalHeaderItem(1)->text(), "ALTITUDE");
    EXPECT_EQ(page->StringGridOdecet->verticalHeaderItem(3)->text(), "d X/d TIME");
    // Every row of the table shows, at 1024 x 700 too; its title names the file.
    auto everyRowShows = [this] {
        QTableWidget* t = page->StringGridOdecet;
        return t->visualItemRect(t->item(kMeasureRows - 1, 0)).bottom() < t->viewport()->height() &&
               page->PanelOdecet->height() >= t->height();
    };
    EXPECT_TRUE(everyRowShows());
    Main()->resize(1024, 700);
    QApplication::processEvents();
    EXPECT_TRUE(everyRowShows());
    Main()->resize(1200, 800);
    QApplication::processEvents();
    chart->replot();
    EXPECT_EQ(page->Measurement->LabelTableFile->text(), "Blok1");
    const QCPRange before = chart->xAxis->range();

    QTest::mouseClick(page->TBMeasure, Qt::LeftButton);
    ASSERT_TRUE(page->Measurement->Active());
    QTest::mouseMove(chart, At(5.0));
    EXPECT_TRUE(page->LabelCursor->text().startsWith("Time: 5.0")) << page->LabelCursor->text().toStdString();
    EXPECT_TRUE(page->LabelCursor->text().contains("Altitude: 50.")) << page->LabelCursor->text().toStdString();
    EXPECT_EQ(VisibleMeasureItems(), 2); // the crosshair

    QTest::mouseClick(chart, Qt::LeftButton, {}, At(2.0));
    QTest::mouseClick(chart, Qt::LeftButton, {}, At(6.0));
    ASSERT_TRUE(page->Measurement->CursorA() && page->Measurement->CursorB());
    const double a = *page->Measurement->CursorA(), b = *page->Measurement->CursorB();
    EXPECT_NEAR(a, 2.0, 0.05);
    EXPECT_NEAR(b, 6.0, 0.05);
    EXPECT_EQ(VisibleMeasureItems(), 6); // crosshair, two lines, two letters
    EXPECT_EQ(chart->xAxis->range(), before); // no zoom while measuring
    EXPECT_NEAR(Value(MeasA, 1), 10 * a, 0.01);
    EXPECT_NEAR(Value(MeasB, 1), 10 * b, 0.01);
    EXPECT_NEAR(Value(MeasDelta, 0), b - a, 0.01);
    EXPECT_NEAR(Value(MeasRate, 1), 10, 0.001);
    EXPECT_NEAR(Value(MeasMax, 1), std::floor(b * 10 + 1e-9), 0.01);
    EXPECT_EQ(Cell(MeasMean, 3), "7.20");

    // A third click moves the nearer cursor.
    QTest::mouseClick(chart, Qt::LeftButton, {}, At(5.0));
    EXPECT_EQ(*page->Measurement->CursorA(), a);
    EXPECT_NEAR(*page->Measurement->CursorB(), 5.0, 0.05);

    // Dragging A to 1 s.
    QTest::mousePress(chart, Qt::LeftButton, {}, At(a));
    QTest::mouseMove(chart, At(1.5));
    QTest::mouseMove(chart, At(1.0));
    QTest::mouseRelease(chart, Qt::LeftButton, {}, At(1.0));
    EXPECT_NEAR(*page->Measurement->CursorA(), 1.0, 0.05);
    EXPECT_NEAR(*page->Measurement->CursorB(), 5.0, 0.05);
    EXPECT_NEAR(Value(MeasA, 1), 10 * *page->Measurement->CursorA(), 0.01);

    // The table follows the current row of the open-files grid.
    auto* grid = Main()->findChild<QTableView*>("StringGrid1");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(1, 0)).center());
    ASSERT_EQ(Main()->OpenFlights.Actual(), 1);
    EXPECT_NEAR(Value(MeasA, 1), 30 * *page->Measurement->CursorA(), 0.01);
    EXPECT_EQ(page->Measurement->LabelTableFile->text(), "Blok2");

    QTest::mouseClick(page->Measurement->TBCopyTable, Qt::LeftButton);
    QStringList lines = QApplication::clipboard()->text().split('\n');
    ASSERT_GE(lines.size(), 9);
    EXPECT_EQ(lines[0], "Blok2");
    EXPECT_EQ(lines[1], "\tTIME\tALTITUDE\tSERVO\tVOLTAGE");
    EXPECT_TRUE(lines[2].startsWith("A\t" + Cell(MeasA, 0) + "\t" + Cell(MeasA, 1) + "\t"));
    EXPECT_TRUE(lines[7].startsWith("MAX\t\t"));

    // min:sec switches the times of the table and of the pointer read-out;
    // the copy keeps plain seconds beside them.
    QTest::mouseClick(page->Chart->CheckBox_min_sec, Qt::LeftButton, {},
                      QPoint(5, page->Chart->CheckBox_min_sec->height() / 2));
    ASSERT_TRUE(page->Chart->CheckBox_min_sec->isChecked());
    EXPECT_TRUE(Cell(MeasA, 0).startsWith("0:01.")) << Cell(MeasA, 0).toStdString();
    QTest::mouseClick(page->Measurement->TBCopyTable, Qt::LeftButton);
    lines = QApplication::clipboard()->text().split('\n');
    ASSERT_GE(lines.size(), 9);
    EXPECT_EQ(lines[1], "\tTIME\tTIME (s)\tALTITUDE\tSERVO\tVOLTAGE");
    EXPECT_TRUE(lines[2].startsWith("A\t" + Cell(MeasA, 0) + "\t" +
                                    QString::number(*page->Measurement->CursorA(), 'f', 2) + "\t"))
        << lines[2].toStdString();
    QTest::mouseMove(chart, At(3.0));
    EXPECT_TRUE(page->LabelCursor->text().startsWith("Time: 0:03.")) << page->LabelCursor->text().toStdString();

    // Leaving the mode takes crosshair and cursors off the chart, on the
    // screen too: a dashed line down the chart at A goes.
    QApplication::processEvents(); // the replot asked for
    const QImage withCursors = chart->grab().toImage();
    const int cx = At(*page->Measurement->CursorA()).x();
    QTest::mouseClick(page->TBMeasure, Qt::LeftButton);
    EXPECT_EQ(VisibleMeasureItems(), 0);
    QApplication::processEvents();
    const QImage without = chart->grab().toImage();
    int gone = 0;
    for (int y = chart->axisRect()->top(); y <= chart->axisRect()->bottom(); ++y)
        gone += withCursors.pixel(cx, y) != without.pixel(cx, y) || withCursors.pixel(cx - 1, y) != without.pixel(cx - 1, y);
    EXPECT_GT(gone, chart->axisRect()->height() / 4);
    EXPECT_TRUE(Cell(MeasA, 1).isEmpty());
    EXPECT_TRUE(page->LabelCursor->text().isEmpty());
    // Outside the mode a drag zooms again.
    QTest::mouseClick(page->ShowTable, Qt::LeftButton);
    EXPECT_EQ(page->PanelOdecet->height(), 0);
}

TEST_F(GraphMeasure, OffsetControlsStayInStepAndMarkTheFileForSaving)
{
    files = {{"Blok1", KdfText(Lines(101, 1.0))}};
    start();
    const TCurveHandle h = Curves(0);
    const TCurve& alt = *Main()->Curves.Curve(h, SlotAlt);

    page->EditShiftX->setFocus();
    page->EditShiftX->selectAll();
    QTest::keyClicks(page->EditShiftX, "-2.5");
    QTest::keyClick(page->EditShiftX, Qt::Key_Return);
    EXPECT_EQ(alt.OffsetX, -2.5);
    // The whole flight moves in time.
    for (int slot = 0; slot < kSlotCount; ++slot)
        EXPECT_EQ(Main()->Curves.Curve(h, slot)->OffsetX, -2.5) << slot;
    // The time bar steps by sample periods (0.1 s) over the flight's 10 s.
    EXPECT_EQ(page->TrackBarX->value(), -25);
    EXPECT_EQ(page->TrackBarX->maximum(), 125); // the flight's 10 s beyond the offset
    page->TrackBarX->setFocus();
    QTest::keyClick(page->TrackBarX, Qt::Key_Left);
    EXPECT_NEAR(alt.OffsetX, -2.6, 1e-9);
    EXPECT_EQ(page->EditShiftX->text(), "-2.6");
    // Zoomed in to 2 s: the bar reaches 2 s beyond the offset, a page is a
    // tenth of the view.
    page->Chart->SetRange(AxisBottom, {0, 2});
    EXPECT_EQ(page->TrackBarX->maximum(), 46);
    QTest::keyClick(page->TrackBarX, Qt::Key_PageDown);
    EXPECT_NEAR(alt.OffsetX, -2.8, 1e-9);
    QTest::keyClick(page->TrackBarX, Qt::Key_PageUp);
    QTest::keyClick(page->TrackBarX, Qt::Key_Right);
    EXPECT_NEAR(alt.OffsetX, -2.5, 1e-9);
    page->TBUndoZoom->click();
    EXPECT_TRUE(Main()->OpenFlights.Block(0)->Modified);

    page->TrackBarY->setFocus();
    QTest::keyClick(page->TrackBarY, Qt::Key_PageUp);
    EXPECT_EQ(alt.OffsetY, page->TrackBarY->value());
    EXPECT_NE(alt.OffsetY, 0);
    EXPECT_EQ(page->EditShiftY->text(), QString::number(alt.OffsetY));

    // A text that is no number leaves the offset and shows it again.
    page->EditShiftY->setFocus();
    page->EditShiftY->selectAll();
    QTest::keyClicks(page->EditShiftY, "abc");
    QTest::keyClick(page->EditShiftY, Qt::Key_Return);
    EXPECT_EQ(page->EditShiftY->text(), QString::number(alt.OffsetY));

    // The servo has its own offsets: the file's receiver offset.
    page->ComboBoxShiftAxis->setCurrentIndex(ShiftServo);
    EXPECT_EQ(page->EditShiftY->text(), "0");
    EXPECT_EQ(page->EditShiftX->text(), "-2.5");
    page->EditShiftY->setFocus();
    page->EditShiftY->selectAll();
    QTest::keyClicks(page->EditShiftY, "12");
    QTest::keyClick(page->EditShiftY, Qt::Key_Return);
    EXPECT_EQ(Main()->Curves.File(h)->RxOffsetY, 12);
    EXPECT_EQ(alt.OffsetX, -2.5);
    // Centred, the servo draws no vertical offset: nothing to set there.
    QTest::mouseClick(page->Chart->CheckBox_RxCenter, Qt::LeftButton);
    EXPECT_FALSE(page->EditShiftY->isEnabled());
    EXPECT_FALSE(page->OffsetControls->mnuServoToZero->isEnabled());
    QTest::mouseClick(page->Chart->CheckBox_RxCenter, Qt::LeftButton);
    EXPECT_TRUE(page->EditShiftY->isEnabled());

    // "Offset" off takes the altitude's offsets away, on adds them again.
    page->ComboBoxShiftAxis->setCurrentIndex(ShiftAltitude);
    ASSERT_TRUE(page->CheckBoxShift->isChecked());
    QTest::mouseClick(page->CheckBoxShift, Qt::LeftButton);
    EXPECT_FALSE(alt.OffsetEnabled);
    EXPECT_EQ(alt.DrawnX(1.0), 1.0);
    QTest::mouseClick(page->CheckBoxShift, Qt::LeftButton);
    EXPECT_EQ(alt.DrawnX(1.0), -1.5);

    // Cursor A at 3 s, then "Set Alt. to (0,0)": the point there lands on 0.
    QTest::mouseClick(page->TBMeasure, Qt::LeftButton);
    QTest::mouseClick(chart, Qt::LeftButton, {}, At(3.0));
    const double a = *page->Measurement->CursorA();
    page->OffsetControls->mnuAltToZero->trigger();
    EXPECT_NEAR(*DrawnValueAt(alt, 0.0), 0.0, 1e-9);
    EXPECT_NEAR(alt.OffsetX, -(a + 2.5), 1e-9);
    EXPECT_EQ(page->EditShiftX->text(), TGraphPage::TimeOffsetText(alt.OffsetX));
    page->OffsetControls->mnuServoToZero->trigger();
    EXPECT_NEAR(*DrawnValueAt(*Main()->Curves.Curve(h, SlotRx), a), 0.0, 1e-9);
    page->OffsetControls->mnuResetShift->trigger();
    EXPECT_EQ(page->OffsetControls->Offsets().Stored(h), TFileOffsets{});
    EXPECT_EQ(page->EditShiftX->text(), "0.0");

    msgs.QueueAnswer(Answer::No);
    Main()->close();
    QApplication::processEvents();
    EXPECT_EQ(msgs.Questions().size(), 1);
}

TEST_F(GraphMeasure, FlightsAlignedAtTheirReleasesAndAFlatOneNamed)
{
    for (int v = 0; v < 3; ++v) {
        TDataBlock b = bench::MakeFlight(1200 + 300 * v, 10, v);
        files.push_back({QStringLiteral("Flight%1").arg(v + 1), QByteArray::fromStdString(FormatDataFile(b))});
    }
    KdfContent flat = Lines(30, 0.0);
    files.push_back({"Flat", KdfText(flat)});
    start();
    page->OffsetControls->mnuAlignRelease->trigger();
    ASSERT_EQ(msgs.Informations().size(), 1);
    EXPECT_EQ(msgs.Informations()[0], "No tow release found in: Flat\rThese files keep their offsets.");
    for (int row = 0; row < 3; ++row) {
        const TCurve& alt = *Main()->Curves.Curve(Curves(row), SlotAlt);
        // Towing just before 0, released right after.
        EXPECT_GT(*DrawnValueAt(alt, -1.0), 60) << row;
        EXPECT_LT(*DrawnValueAt(alt, 0.0), 0.2 * alt.MaxY) << row;
        EXPECT_EQ(Main()->Curves.Curve(Curves(row), SlotRx)->OffsetX, alt.OffsetX);
        EXPECT_TRUE(Main()->OpenFlights.Block(row)->Modified);
    }
    EXPECT_EQ(Main()->Curves.Curve(Curves(3), SlotAlt)->OffsetX, 0);
    EXPECT_FALSE(Main()->OpenFlights.Block(3)->Modified);
    // Then every altitude to (0,0): each flight still moves as one.
    page->OffsetControls->mnuAllAltToZero->trigger();
    for (int row = 0; row < 4; ++row)
        for (int slot : {SlotRx, SlotPowS, SlotMark, SlotAnnot})
            EXPECT_EQ(Main()->Curves.Curve(Curves(row), slot)->OffsetX,
                      Main()->Curves.Curve(Curves(row), SlotAlt)->OffsetX) << row << slot;
    for (int row = 0; row < 4; ++row)
        Main()->OpenFlights.Block(row)->Modified = false;
}

TEST(Release, FoundInTheSimulatedLoggersFlightsAsDownloaded)
{
    sim::FlightShape shape;
    shape.samples = 800;
    const std::vector<quint8> memory = sim::BuildMemory(4, shape, 11);
    const TFlightBlockList flights = SplitImage(memory.data(), memory.size());
    ASSERT_EQ(flights.size(), 4u);
    for (const TFlightBlock& f : flights) {
        TDataBlock rec;
        BuildFlightRecord(memory.data(), memory.size(), f, "08.12.2026", rec);
        const auto& t = rec.Samples(ArrTime);
        const auto& pull = rec.Samples(ArrAltitude);
        const auto release = FindRelease(t, pull);
        ASSERT_TRUE(release);
        // The rope goes slack between half and nine tenths of the flight,
        // right after the strongest pull of the tow.
        EXPECT_GT(*release, 0.5 * t.back());
        EXPECT_LT(*release, 0.9 * t.back());
        const double max = *std::max_element(pull.begin(), pull.end());
        EXPECT_GT(*ValueAt(t, pull, *release - 0.5), 0.5 * max);
        EXPECT_LT(*ValueAt(t, pull, *release + 1.0), 0.2 * max);
    }
}

ScriptedMessages::DialogScript TypeAndOk(const QString& time, const QString& alt, const QString& text)
{
    return [=](QDialog& d) {
        auto& e = static_cast<TFormAnnotEdit&>(d);
        for (QLineEdit* f : {e.EditTime, e.EditAlt, e.EditText}) {
            f->selectAll();
            QTest::keyClick(f, Qt::Key_Backspace);
        }
        QTest::keyClicks(e.EditTime, time);
        QTest::keyClicks(e.EditAlt, alt);
        QTest::keyClicks(e.EditText, text);
        QTest::mouseClick(e.ButtonOk, Qt::LeftButton);
    };
}

QStringList ListLines(const QListWidget* list)
{
    QStringList l;
    for (int i = 0; i < list->count(); ++i)
        l << list->item(i)->text();
    return l;
}

TEST_F(GraphMeasure, AnnotationsOfTheOpenFilesFromTheToolButtonAndTheChartsPopup)
{
    KdfContent s = Lines(101, 1.0);
    s.Annotations = {"1.00,10.00,one", "2.00,20.00,two", "3.00,30.00,three"};
    KdfContent t = Lines(101, 1.0);
    t.Annotations = {"4.00,5.00,only"};
    files = {{"Blok1", KdfText(s)}, {"Blok2", KdfText(t)}};
    start();
    EXPECT_EQ(Main()->TBAnnotDialog->toolTip(), "Shows an Annotation dialog");
    // The annotation curve is offset: the dialog sees and edits drawn points.
    page->OffsetControls->Offsets().SetOffsetX(Curves(0), ShiftAltitude, 100);
    Main()->OpenFlights.Block(0)->Modified = false;

    msgs.QueueDialog([this](QDialog& d) {
        auto& f = static_cast<TFormAnnot&>(d);
        EXPECT_EQ(f.ComboBox1->currentText(), "Blok1");
        EXPECT_EQ(ListLines(f.ListBox1), (QStringList{"one", "two", "three"}));
        f.ListBox1->setCurrentRow(1);
        msgs.QueueDialog([](QDialog& e) {
            EXPECT_EQ(static_cast<TFormAnnotEdit&>(e).EditTime->text(), "102.0");
            TypeAndOk("105", "7", "")(e); // an empty text becomes one blank
        });
        QTest::mouseClick(f.ButtonModify, Qt::LeftButton);
        EXPECT_EQ(ListLines(f.ListBox1), (QStringList{"one", "three", " "}));
        // The only annotation of the other file deleted: buttons off.
        f.ComboBox1->setCurrentIndex(1);
        QTest::mouseClick(f.ButtonDelete, Qt::LeftButton);
        EXPECT_EQ(f.ListBox1->count(), 0);
        EXPECT_FALSE(f.ButtonModify->isEnabled());
        EXPECT_FALSE(f.ButtonDelete->isEnabled());
        QTest::mouseClick(f.ButtonClose, Qt::LeftButton);
    });
    QTest::mouseClick(Main()->TBAnnotDialog, Qt::LeftButton);
    EXPECT_EQ(msgs.PendingDialogs(), 0);
    const auto& labels = Main()->Curves.Labels(Curves(0));
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[2].Text, " ");
    EXPECT_DOUBLE_EQ(labels[2].Time, 5.0); // kept less the offset
    EXPECT_TRUE(Main()->OpenFlights.Block(0)->Modified);
    EXPECT_TRUE(Main()->OpenFlights.Block(1)->Modified);
    EXPECT_TRUE(Main()->Curves.Labels(Curves(1)).empty());

    // Right click near the second file's curve, which lies under the first's
    // until the first is moved up.
    page->OffsetControls->Offsets().SetOffsetY(Curves(0), ShiftAltitude, 500);
    page->Chart->Replot(true);
    const QPoint at(static_cast<int>(chart->xAxis->coordToPixel(6.0)),
                    static_cast<int>(chart->yAxis->coordToPixel(60.0)));
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, chart->mapToGlobal(at));
    QApplication::sendEvent(chart, &menu);
    ASSERT_TRUE(page->Chart->PopupChart->isVisible());
    EXPECT_EQ(page->Measurement->PopupFile(), Curves(1));
    double time = 0, alt = 0;
    EXPECT_FALSE(page->Measurement->PopupAnnotNewFor->menuAction()->isVisible()); // one flight there
    msgs.QueueDialog([&](QDialog& d) {
        auto& e = static_cast<TFormAnnotEdit&>(d);
        EXPECT_EQ(e.windowTitle(), "Edit Annotation - Blok2");
        time = e.EditTime->text().toDouble();
        alt = e.EditAlt->text().toDouble();
        QTest::keyClicks(e.EditText, "gust");
        QTest::mouseClick(e.ButtonOk, Qt::LeftButton);
    });
    page->Measurement->pmnuAnnotNew->trigger();
    page->Chart->PopupChart->hide();
    EXPECT_EQ(msgs.PendingDialogs(), 0);
    EXPECT_NEAR(time, 6.0, 0.1);
    EXPECT_NEAR(alt, 60.0, 1.0);
    ASSERT_EQ(Main()->Curves.Labels(Curves(1)).size(), 1u);
    EXPECT_EQ(Main()->Curves.Labels(Curves(1))[0].Text, "gust");

    // "Modify Annotations" opens the list on that file.
    msgs.QueueDialog([](QDialog& d) {
        auto& f = static_cast<TFormAnnot&>(d);
        EXPECT_EQ(f.ComboBox1->currentText(), "Blok2");
        EXPECT_EQ(ListLines(f.ListBox1), QStringList{"gust"});
        f.accept();
    });
    page->Measurement->pmnuAnnotModifi->trigger();
    EXPECT_EQ(msgs.PendingDialogs(), 0);

    // Closing asks about both files; saved annotations are less the offsets.
    msgs.QueueAnswer(Answer::Yes);
    msgs.QueueAnswer(Answer::Yes);
    Main()->close();
    QApplication::processEvents();
    EXPECT_EQ(msgs.Questions().size(), 2);
    EXPECT_TRUE(ReadAll(dir.file("Data/Blok1.kdf"))
                    .contains("<Anotace>\r\n1.00,10.00,one\r\n3.00,30.00,three\r\n5.00,7.00, \r\n</Anotace>"));
    EXPECT_TRUE(ReadAll(dir.file("Data/Blok1.kdf")).contains("AltOffsetX=100.00\r\nAltOffsetY=500.00\r\n"));
}

TEST_F(GraphMeasure, NewAnnotationAsksWhichOfTheFlightsUnderThePointer)
{
    files = {{"Blok1", KdfText(Lines(101, 1.0))}, {"Blok2", KdfText(Lines(101, 1.0))}};
    start();
    page->Chart->Replot(true);
    // Both altitude curves pass through (5 s, 50).
    const QPoint at(static_cast<int>(chart->xAxis->coordToPixel(5.0)),
                    static_cast<int>(chart->yAxis->coordToPixel(50.0)));
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, chart->mapToGlobal(at));
    QApplication::sendEvent(chart, &menu);
    QMenu* popup = page->Chart->PopupChart;
    QMenu* which = page->Measurement->PopupAnnotNewFor;
    ASSERT_TRUE(popup->isVisible());
    ASSERT_TRUE(which->menuAction()->isVisible());
    EXPECT_FALSE(page->Measurement->pmnuAnnotNew->isVisible());
    ASSERT_EQ(which->actions().size(), 2);
    QStringList names{which->actions()[0]->text(), which->actions()[1]->text()};
    names.sort();
    EXPECT_EQ(names, (QStringList{"Blok1", "Blok2"}));
    QAction* second = which->actions()[0]->text() == "Blok2" ? which->actions()[0] : which->actions()[1];
    msgs.QueueDialog([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Edit Annotation - Blok2");
        TypeAndOk("5", "50", "thermal")(d);
    });
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(which->menuAction()).center());
    for (int i = 0; i < 100 && !which->isVisible(); ++i)
        QTest::qWait(10);
    ASSERT_TRUE(which->isVisible());
    QTest::mouseClick(which, Qt::LeftButton, {}, which->actionGeometry(second).center());
    EXPECT_EQ(msgs.PendingDialogs(), 0);
    EXPECT_TRUE(Main()->Curves.Labels(Curves(0)).empty());
    ASSERT_EQ(Main()->Curves.Labels(Curves(1)).size(), 1u);
    EXPECT_EQ(Main()->Curves.Labels(Curves(1))[0].Text, "thermal");
    popup->hide();
    for (int row = 0; row < 2; ++row)
        Main()->OpenFlights.Block(row)->Modified = false;
}

} // namespace

namespace {

TEST_F(GraphMeasure, AnAnnotationTextTheFileCannotHoldIsNamedOnce)
{
    files = {{"Blok1", KdfText(Lines(101, 1.0))}};
    start();
    const QString text = QStringLiteral("Vítr ☺ € ");
    msgs.QueueDialog([&](QDialog& d) {
        auto& f = static_cast<TFormAnnot&>(d);
        msgs.QueueDialog([&](QDialog& d) {
            auto& e = static_cast<TFormAnnotEdit&>(d);
            // Typed key by key; the test library has no keys for these.
            for (const QChar c : text) {
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
                QApplication::sendEvent(e.EditText, &press);
            }
            QTest::mouseClick(e.ButtonOk, Qt::LeftButton);
        });
        QTest::mouseClick(f.ButtonAdd, Qt::LeftButton);
        f.accept();
    });
    QTest::mouseClick(Main()->TBAnnotDialog, Qt::LeftButton);
    EXPECT_EQ(msgs.PendingDialogs(), 0);
    EXPECT_EQ(msgs.Informations(),
              QStringList{QStringLiteral("The annotation \"Vítr ☺ € \" holds characters that cannot be stored in the "
                                         "data file; they are saved as \"?\".")});
    ASSERT_EQ(Main()->Curves.Labels(Curves(0)).size(), 1u);
    EXPECT_EQ(Main()->Curves.Labels(Curves(0))[0].Text, "V\xedtr ? \x80 ");
}

} // namespace
