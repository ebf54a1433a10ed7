#include "OpenFlightsFixture.h"
#include "support/KdfText.h"
#include "base/Cp1250.h"
#include "flights/Data.h"
#include "flights/OpenFlights.h"
#include "graph/Chart.h"
#include "graph/ChartLabels.h"
#include "graph/GraphStyle.h"
#include "data/DataFile.h"
#include "support/ScriptedMessages.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <algorithm>
#include <QFile>
#include <QSignalSpy>
#include <QLineEdit>
#include <QTableView>
#include <QTextEdit>
#include <gtest/gtest.h>
#include <qcustomplot.h>
#include <set>

namespace {

using namespace qv;
using namespace qv::test;

TEST_F(OpenDataTest, MarkerCurveIsExactlyTheMarkedSamplesOfTheRecord)
{
    // Receiver values around the threshold 5 (strictly above marks), the
    // first and the last sample marked.
    KdfContent s;
    for (int i = 0; i < 40; ++i) {
        const double rx = i == 0 || i == 39 ? 9.0 : (i * 7) % 13 - 3.0;
        s.Lines << QStringLiteral("%1,%2,%3,7.20").arg(i * 0.1, 0, 'f', 1).arg(100.0 + (i * 5) % 17, 0, 'f', 2).arg(rx, 0, 'f', 2);
    }
    ASSERT_EQ(open.OpenDataFile(Write("marks.kdf", s)), 0);
    const TDataBlock& b = *open.Block(0);
    const TCurve& mark = Curve(0, SlotMark);
    std::vector<std::pair<double, double>> want, got;
    for (int i = 0; i < b.SampleCount(); ++i)
        if (b.Samples(ArrRx)[i] > 5.0)
            want.emplace_back(b.Samples(ArrTime)[i], b.Samples(ArrAltitude)[i]);
    for (int i = 0; i < mark.Count(); ++i)
        got.emplace_back(mark.PointX(i), mark.PointY(i));
    ASSERT_GE(want.size(), 10u);
    EXPECT_EQ(got, want);
    // Drawn from the record's own arrays, with their range.
    EXPECT_EQ(mark.X, b.Shared(ArrTime));
    EXPECT_EQ(mark.Y, b.Shared(ArrAltitude));
    EXPECT_EQ(mark.KeyExtent().Lower, want.front().first);
    EXPECT_EQ(mark.KeyExtent().Upper, want.back().first);
    double lo = 1e300, hi = -1e300;
    for (const auto& p : want) {
        lo = std::min(lo, p.second);
        hi = std::max(hi, p.second);
    }
    EXPECT_EQ(mark.MinY, lo);
    EXPECT_EQ(mark.MaxY, hi);
}

TEST_F(OpenDataTest, OpensFileIntoGridChartAndInformation)
{
    KdfContent s;
    s.Date = "08.12.2026 10:15";
    s.Period = 5;
    s.Lines = ThreeChannelLines(30, 4.3); // altitude up to 124.70
    s.Annotations = {"1.00,40.00,start, go", "2.50,80.00,top"};
    s.Notes = "field notes";
    const QString path = Write("flight.kdf", s);

    EXPECT_EQ(open.OpenDataFile(path), 0);
    EXPECT_TRUE(msgs.Texts().isEmpty());
    ASSERT_EQ(open.RowCount(), 1);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("flight"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("1"));
    for (int c = 2; c <= 5; ++c)
        EXPECT_EQ(Cell(c, 0), QStringLiteral("0")) << c;
    EXPECT_EQ(Cell(6, 0), path);
    EXPECT_EQ(Cell(7, 0), QString::number(0xFF0000)); // first table colour
    EXPECT_FALSE(open.Block(0)->Modified);

    // First file: current, information boxes filled.
    EXPECT_EQ(open.Actual(), 0);
    EXPECT_EQ(info.shown.Date, QStringLiteral("08.12.2026 10:15"));
    EXPECT_EQ(info.shown.Sampling, QStringLiteral("50.0")); // period word 5: 50 ms
    EXPECT_EQ(info.shown.Ver, QStringLiteral("0"));
    EXPECT_EQ(info.shown.FlightTime, QStringLiteral("0:00:02"));
    EXPECT_EQ(info.shown.MaxHeight, QStringLiteral("   124.7 m"));
    EXPECT_EQ(info.notes, QStringLiteral("field notes"));
    EXPECT_FALSE(grid.isHidden());
    EXPECT_EQ(grid.model()->rowCount(), 1);
    EXPECT_EQ(GridText(0, 0), QStringLiteral("flight"));
    EXPECT_EQ(grid.model()->index(0, 1).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    // Five series, titles, axes, colours and styles.
    ASSERT_EQ(chart.Chart1->graphCount(), 5);
    const char* titles[] = {"flight (Alt)", "flight (RX)", "flight (PowS)", "flight (Mark)", "flight (Annot)"};
    QCPAxis* axes[] = {chart.Chart1->yAxis, chart.Chart1->yAxis2, chart.VoltageAxis, chart.Chart1->yAxis,
                       chart.Chart1->yAxis};
    for (int k = 0; k < kSlotCount; ++k) {
        QCPGraph* g = Series(0, k);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->name(), QString::fromLatin1(titles[k]));
        EXPECT_EQ(g->valueAxis(), axes[k]);
        EXPECT_EQ(g->pen().color(), QColor(0, 0, 255)) << k; // 0xFF0000 is blue
        EXPECT_EQ(g->visible(), k == SlotAlt);
        EXPECT_EQ(Curve(0, k).ColorIndex, 0);
        EXPECT_TRUE(Curve(0, k).OffsetEnabled);
    }
    EXPECT_EQ(Series(0, SlotAlt)->pen().style(), Qt::SolidLine);
    EXPECT_EQ(Series(0, SlotRx)->pen().style(), Qt::DashLine);
    EXPECT_EQ(Series(0, SlotPowS)->pen().style(), Qt::DotLine);
    EXPECT_EQ(Series(0, SlotMark)->scatterStyle().shape(), QCPScatterStyle::ssTriangle);
    EXPECT_EQ(Series(0, SlotAnnot)->scatterStyle().shape(), QCPScatterStyle::ssDiamond);
    EXPECT_EQ(Series(0, SlotMark)->lineStyle(), QCPGraph::lsNone);
    chart.Chart1->replot();
    EXPECT_EQ(Series(0, SlotAlt)->dataCount(), 30);
    // Markers where the receiver is above the threshold: every odd sample.
    EXPECT_EQ(Curve(0, SlotMark).Count(), 15);
    EXPECT_DOUBLE_EQ(Curve(0, SlotMark).PointX(0), 0.1);
    EXPECT_DOUBLE_EQ(Curve(0, SlotMark).PointY(0), 4.3);
    // Annotation points with their labels.
    EXPECT_EQ(Curve(0, SlotAnnot).Count(), 2);
    TChartLabels* labels = chart.LabelLayer(open.CurvesOf(0));
    ASSERT_NE(labels, nullptr);
    EXPECT_FALSE(labels->visible()); // follows the hidden annotation series
    open.GridCheck(5, 0, true);
    EXPECT_TRUE(labels->visible());
    chart.resize(800, 500);
    chart.show();
    chart.Chart1->replot();
    ASSERT_EQ(labels->Drawn().size(), 2u);
    EXPECT_EQ(labels->Drawn()[0].Text, QStringLiteral("start, go"));
    EXPECT_EQ(Cell(5, 0), QStringLiteral("1"));
}

TEST_F(OpenDataTest, FilesThatCannotBeShownAreNotOpened)
{
    // Each failure is one box naming the file.
    const QString missing = dir.file("missing.kdf");
    EXPECT_EQ(open.OpenDataFile(missing), -1);
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Error by opening datafile \"") + missing + "\"! \rThe file does not exist."});
    msgs.Clear();

    KdfContent empty;
    const QString emptyFile = Write("empty.kdf", empty);
    EXPECT_EQ(open.OpenDataFile(emptyFile), -1);
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Error by opening datafile \"") + emptyFile + "\"! \rChyba při otevírání souboru!"});
    msgs.Clear();


    const QString bad = dir.file("bad.kdf");
    WriteAll(bad, " <Header>\r\nx\r\n<Data>\r\n1\r\n</Data>\r\n");
    EXPECT_EQ(open.OpenDataFile(bad), -1);
    EXPECT_EQ(msgs.Errors(),
              QStringList{QStringLiteral("Error by opening datafile \"") + bad + "\"! \rBad header of file"});
    EXPECT_EQ(open.RowCount(), 0);
    EXPECT_EQ(open.RowCount(), 0);
    EXPECT_EQ(chart.Chart1->graphCount(), 0);
    EXPECT_TRUE(grid.isHidden());
    EXPECT_EQ(open.Actual(), -1);
}

TEST_F(OpenDataTest, FileWithoutReceiverChannel)
{
    KdfContent s;
    s.Flags = 0x8800; // altitude and voltage
    s.Lines = {"0.0,1.00,7.00", "0.1,2.00,7.10"};
    EXPECT_EQ(open.OpenDataFile(Write("norx.kdf", s)), 0);
    EXPECT_EQ(Cell(1, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(2, 0), QStringLiteral("2"));
    EXPECT_EQ(Cell(3, 0), QStringLiteral("0"));
    EXPECT_EQ(Cell(4, 0), QStringLiteral("2")); // no markers without the receiver
    EXPECT_EQ(Cell(5, 0), QStringLiteral("0"));
    ASSERT_NE(Series(0, SlotRx), nullptr);
    EXPECT_EQ(Series(0, SlotRx)->name(), QStringLiteral("norx (RX)"));
    EXPECT_EQ(Curve(0, SlotRx).Count(), 0);
    // A "2" cell cannot be switched on.
    open.GridCheck(2, 0, true);
    EXPECT_EQ(Cell(2, 0), QStringLiteral("2"));
    EXPECT_FALSE(Series(0, SlotRx)->visible());
}

TEST_F(OpenDataTest, ReceiverShiftedByItsOffsetOrCentred)
{
    KdfContent s;
    s.Lines = {"0.0,1.00,-100.00,7.00", "0.1,2.00,100.00,7.00"};
    s.Extra = "RxOffsetY=2.50";
    open.OpenDataFile(Write("rx.kdf", s));
    QCPGraph* rx = Series(0, SlotRx);
    open.GridCheck(2, 0, true);
    auto drawn = [&](int i) {
        chart.Chart1->replot();
        return rx->data()->at(i)->value;
    };
    EXPECT_DOUBLE_EQ(drawn(0), -97.5);
    EXPECT_DOUBLE_EQ(Curve(0, SlotRx).OffsetY, 2.5);

    // Centred into the deflection range -20..60: k = 0.4, c = 20.
    chart.CheckBox_RxCenter->setChecked(true);
    EXPECT_DOUBLE_EQ(drawn(0), -20.0);
    EXPECT_DOUBLE_EQ(drawn(1), 60.0);
    EXPECT_DOUBLE_EQ(Curve(0, SlotRx).OffsetY, 0.0);
    chart.CheckBox_RxCenter->setChecked(false);
    EXPECT_DOUBLE_EQ(drawn(1), 102.5);
}

TEST_F(OpenDataTest, FifteenthFileTakesTheChartsNextColours)
{
    for (int i = 0; i < 15; ++i)
        ASSERT_EQ(open.OpenDataFile(WriteDefault(QStringLiteral("f%1.kdf").arg(i), 3)), i);
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(Curve(i, SlotAlt).ColorIndex, i);
        EXPECT_EQ(Series(i, SlotAlt)->pen().color().rgb() & 0xFFFFFFu, SwapRedBlue(kCurveColours[i]));
        EXPECT_EQ(Cell(7, i), QString::number(kCurveColours[i]));
    }
    EXPECT_EQ(Curve(14, SlotAlt).ColorIndex, kNoColour);
    std::vector<QColor> others;
    for (int i = 0; i < 14; ++i)
        others.push_back(Series(i, SlotAlt)->pen().color());
    const QColor own = Series(14, SlotAlt)->pen().color();
    EXPECT_EQ(std::count(others.begin(), others.end(), own), 0);
    EXPECT_EQ(Cell(7, 14), QString::number(SwapRedBlue(own.rgb() & 0xFFFFFFu)));

    // Closing a file frees its colour for the next one.
    open.GridCloseFile(3);
    EXPECT_EQ(chart.Chart1->graphCount(), 14 * 5);
    EXPECT_EQ(open.OpenDataFile(WriteDefault("again.kdf", 3)), 14);
    EXPECT_EQ(Curve(14, SlotAlt).ColorIndex, 3);
}

TEST_F(OpenDataTest, ClosingRemovesSeriesRowAndShiftsLaterRows)
{
    const QString a = WriteDefault("a.kdf");
    const QString b = WriteDefault("b.kdf");
    const QString c = WriteDefault("c.kdf");
    open.OpenDataFile(a);
    open.OpenDataFile(b);
    open.OpenDataFile(c);
    open.GridChangeActualFile(2);
    QSignalSpy closedRows(&open, &TOpenFlights::RowClosed);
    ASSERT_EQ(chart.Chart1->graphCount(), 15);

    EXPECT_TRUE(open.GridCloseFile(1));
    ASSERT_EQ(closedRows.size(), 1);
    EXPECT_EQ(closedRows.at(0).at(0).toInt(), 1);
    EXPECT_EQ(chart.Chart1->graphCount(), 10);
    EXPECT_EQ(open.RowCount(), 2);
    EXPECT_EQ(open.RowCount(), 2u);
    EXPECT_EQ(Cell(6, 1), c);
    EXPECT_EQ(open.Actual(), 1); // still file c
    EXPECT_EQ(grid.model()->rowCount(), 2);

    open.GridCloseFile(1);
    EXPECT_EQ(open.Actual(), -1);
    EXPECT_EQ(info.shown.Date, QString());
    // Choosing the remaining row in the grid makes it current.
    EXPECT_EQ(grid.currentIndex().row(), -1);
    grid.setCurrentIndex(grid.model()->index(0, 0));
    EXPECT_EQ(open.Actual(), 0);
    EXPECT_FALSE(info.shown.Date.isEmpty());
    open.GridCloseFile(0);
    EXPECT_EQ(chart.Chart1->graphCount(), 0);
    EXPECT_TRUE(grid.isHidden());
    EXPECT_TRUE(msgs.Questions().isEmpty()); // none was changed
}

TEST_F(OpenDataTest, RenamedRowShowsItsNewPathAndName)
{
    open.OpenDataFile(WriteDefault("a.kdf"));
    const QString moved = dir.file("Jaro/Let 1.kdf");
    EXPECT_TRUE(open.GridRenameRow(0, moved));
    EXPECT_EQ(GridText(0, 0), QStringLiteral("Let 1"));
    EXPECT_EQ(GridText(0, 6), moved);
    // The series and the legend follow the new name.
    EXPECT_EQ(Series(0, SlotAlt)->name(), QStringLiteral("Let 1 (Alt)"));
    EXPECT_EQ(Series(0, SlotAnnot)->name(), QStringLiteral("Let 1 (Annot)"));
    QStringList legend;
    for (int i = 0; i < chart.Chart1->legend->itemCount(); ++i)
        if (auto* item = qobject_cast<QCPPlottableLegendItem*>(chart.Chart1->legend->item(i)))
            legend << item->plottable()->name();
    EXPECT_TRUE(legend.contains(QStringLiteral("Let 1 (Alt)"))) << legend.join(',').toStdString();
    EXPECT_FALSE(legend.join(',').contains(QStringLiteral("a (")));
    EXPECT_FALSE(open.GridRenameRow(1, moved));
    EXPECT_EQ(msgs.Errors(),
              QStringList{QStringLiteral("Chyba při přejmenování seznamu otevřených souborů! Řádek neexistuje!")});
}

TEST_F(OpenDataTest, EditedNotesAskBeforeClosing)
{
    const QString a = WriteDefault("a.kdf");
    const QString b = WriteDefault("b.kdf");
    open.OpenDataFile(a);
    open.OpenDataFile(b);
    const QByteArray before = ReadAll(a);

    // Row 0 is current; typing into the editor then moving to row 1 keeps
    // the text in row 0's record.
    Type(QStringLiteral("windy, 3 bft"));
    open.GridChangeActualFile(1);
    EXPECT_TRUE(open.Block(0)->Modified);
    EXPECT_FALSE(open.Block(1)->Modified);
    EXPECT_NE(open.Block(0)->NotesText().find("windy, 3 bft"), std::string::npos);
    EXPECT_EQ(info.notes, QString());

    // Closing the unchanged row asks nothing; the changed one asks.
    open.GridCloseFile(1);
    EXPECT_TRUE(msgs.Questions().isEmpty());
    msgs.QueueAnswer(Answer::No);
    open.GridCloseFile(0);
    EXPECT_EQ(msgs.Questions(), QStringList{QStringLiteral("Do you want to save changes of ") + a + "?"});
    EXPECT_EQ(ReadAll(a), before);
    EXPECT_EQ(open.RowCount(), 0);
}

TEST_F(OpenDataTest, EditsOfTheCurrentRowAreSavedOnClose)
{
    const QString a = WriteDefault("a.kdf");
    open.OpenDataFile(a);
    const QString typed = QStringLiteral("Přistání: landed softly\nsecond line, <b>not bold</b>");
    Type(typed);
    msgs.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(open.GridCloseFile(0));
    EXPECT_EQ(msgs.Questions().size(), 1);
    EXPECT_TRUE(ReadAll(a).contains("landed softly"));
    EXPECT_TRUE(ReadAll(a).contains("P\xf8ist\xe1n\xed")); // Windows-1250 bytes
    EXPECT_EQ(info.notes, QString());

    // Read back: the notes show again, lines and all.
    open.OpenDataFile(a);
    EXPECT_EQ(info.notes, typed);
    EXPECT_FALSE(open.Block(0)->Modified);
}

TEST_F(OpenDataTest, SavingWritesAnnotationsLessTheirOffsets)
{
    KdfContent s;
    s.Lines = ThreeChannelLines(10);
    s.Annotations = {"0.50,3.00,first, with comma"};
    const QString a = Write("a.kdf", s);
    open.OpenDataFile(a);
    const TCurveHandle h = open.CurvesOf(0);
    model.SetOffset(h, SlotAnnot, 2.0, 10.0);
    // Labels placed on the chart where they are drawn.
    const TCurve& annot = *model.Curve(h, SlotAnnot);
    model.SetLabels(h, {{annot.FileX(2.5), annot.FileY(13.0), "first, with comma"},
                        {annot.FileX(3.25), annot.FileY(15.5), "second"}});

    EXPECT_EQ(open.GridSaveFile(0), TOpenFlights::SaveResult::Saved);
    EXPECT_TRUE(msgs.Questions().isEmpty());
    const QByteArray text = ReadAll(a);
    EXPECT_TRUE(text.contains("<Anotace>\r\n0.50,3.00,first, with comma\r\n1.25,5.50,second\r\n</Anotace>"))
        << text.toStdString();

    // A label moved and one deleted in the model: saved so.
    model.DeleteLabel(h, 1);
    model.AddLabel(h, {7.0, 8.25, "second"});
    model.DeleteLabel(h, 0);
    model.SetVisible(h, SlotAnnot, true);
    chart.resize(800, 500);
    chart.show();
    chart.Chart1->xAxis->setRange(0, 20);
    chart.Chart1->yAxis->setRange(0, 50);
    chart.Chart1->replot();
    ASSERT_EQ(chart.LabelLayer(h)->Drawn().size(), 1u);
    EXPECT_DOUBLE_EQ(chart.LabelLayer(h)->Drawn()[0].Key, 9.0); // drawn with its offset
    open.GridSaveFile(0);
    EXPECT_TRUE(ReadAll(a).contains("<Anotace>\r\n7.00,8.25,second\r\n</Anotace>"));
}

TEST_F(OpenDataTest, VanishedFileAsksForANewName)
{
    const QString a = WriteDefault("a.kdf");
    const QString b = WriteDefault("b.kdf");
    open.OpenDataFile(a);
    open.OpenDataFile(b);
    open.Block(0)->Modified = true;
    open.Block(1)->Modified = true;
    QFile::remove(a);
    QFile::remove(b);

    // Cancelling the dialog closes without saving.
    msgs.QueueAnswer(Answer::Yes);
    msgs.QueueFileName(QString());
    EXPECT_TRUE(open.GridCloseFile(1));
    EXPECT_EQ(msgs.Texts(Shown::SaveFile), QStringList{QStringLiteral("DataFile ") + b + " not found!"});
    EXPECT_FALSE(QFile::exists(b));

    // A name given: written there.
    const QString elsewhere = dir.file("renamed.kdf");
    msgs.QueueAnswer(Answer::Yes);
    msgs.QueueFileName(elsewhere);
    EXPECT_TRUE(open.GridCloseFile(0));
    EXPECT_TRUE(ReadAll(elsewhere).startsWith("<Header>"));
}

TEST_F(OpenDataTest, SaveOnAFullDiskKeepsTheEditsAndOffersAnotherPlace)
{
    SmallDisk disk(64 * 1024);
    QV_NEED_SMALL_DISK(disk);
    const QByteArray old = disk.PutFlight("a.kdf");
    ASSERT_FALSE(old.isEmpty());
    const QString a = disk.file("a.kdf");
    ASSERT_EQ(open.OpenDataFile(a), 0);
    Type("a note that makes the file longer");
    ASSERT_TRUE(disk.FillUpTo(old.size() / 2));

    // "Save": no success, the record stays modified, the file as it was.
    EXPECT_EQ(open.GridSaveFile(0), TOpenFlights::SaveResult::Failed);
    ASSERT_EQ(msgs.Errors().size(), 1);
    EXPECT_TRUE(msgs.Errors()[0].startsWith("Error in writing file.\n" + a + "\n"));
    EXPECT_TRUE(open.Block(0)->Modified);
    EXPECT_EQ(ReadAll(a), old);

    // Closing offers another place; the file goes there.
    msgs.Clear();
    msgs.QueueAnswer(Answer::Yes);
    const QString elsewhere = dir.file("a.kdf");
    msgs.QueueFileName(elsewhere);
    EXPECT_TRUE(open.GridCloseFile(0));
    EXPECT_EQ(msgs.Errors().size(), 1);
    EXPECT_EQ(ReadAll(a), old);
    TDataBlock back;
    EXPECT_EQ(ReadDataFile(elsewhere, back, msgs), 150);
    EXPECT_NE(back.NotesText().find("a note that makes the file longer"), std::string::npos);
}

TEST_F(OpenDataTest, FailedSaveKeepsTheRowOpen)
{
    const QString a = WriteDefault("a.kdf");
    open.OpenDataFile(a);
    open.Block(0)->Modified = true;
    QFile::remove(a);
    msgs.QueueAnswer(Answer::Yes);
    msgs.QueueFileName(dir.file("no/such/folder/a.kdf"));
    msgs.QueueFileName(QString()); // the offer of another place, declined
    EXPECT_FALSE(open.GridCloseFile(0));
    EXPECT_EQ(open.RowCount(), 1);
    EXPECT_TRUE(open.Block(0)->Modified);
    ASSERT_EQ(msgs.Errors().size(), 1);
    EXPECT_TRUE(msgs.Errors()[0].startsWith("Error in writing file.\n" + dir.file("no/such/folder/a.kdf") + "\n"));

    // Shutdown closes it all the same.
    msgs.QueueAnswer(Answer::No);
    EXPECT_EQ(open.GridCloseAll(true), 0);
}

// Answers No, but first tries to close the row again, as a refresh
// running under the question's event loop would.
struct ReenteringMessages : ScriptedMessages {
    std::function<void()> during;
    Answer Question(const QString& text, Buttons b) override
    {
        QueueAnswer(Answer::No);
        const Answer a = ScriptedMessages::Question(text, b);
        if (during)
            during();
        return a;
    }
};

TEST_F(OpenDataTest, RowIsNotClosedTwiceFromWithinItsQuestion)
{
    open.OpenDataFile(WriteDefault("a.kdf"));
    open.OpenDataFile(WriteDefault("b.kdf"));
    open.Block(1)->Modified = true;
    ReenteringMessages inner;
    bool busyDuring = false;
    bool nestedResult = true;
    inner.during = [&] {
        busyDuring = open.Busy();
        nestedResult = open.GridCloseFile(1);
    };
    EXPECT_TRUE(open.GridCloseFile(1));
    EXPECT_TRUE(busyDuring);
    EXPECT_FALSE(nestedResult);
    EXPECT_EQ(open.RowCount(), 1);
    EXPECT_EQ(chart.Chart1->graphCount(), 5);
    EXPECT_FALSE(open.Busy());
}

TEST_F(OpenDataTest, GridPopupCommands)
{
    open.OpenDataFile(WriteDefault("a.kdf"));
    view->PreparePopup(0);
    EXPECT_TRUE(view->mnuGridCheck[SlotAlt]->isChecked());
    EXPECT_FALSE(view->mnuGridCheck[SlotRx]->isChecked());
    view->mnuGridCheck[SlotRx]->trigger();
    EXPECT_EQ(Cell(2, 0), QStringLiteral("1"));
    EXPECT_TRUE(Series(0, SlotRx)->visible());
    EXPECT_EQ(grid.model()->index(0, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    // Out-of-range rows do nothing.
    view->PopupRow = 5;
    view->mnuGridCloseClick();
    view->mnuGridSaveClick();
    EXPECT_EQ(open.RowCount(), 1);

    view->PopupRow = 0;
    view->mnuGridCloseClick();
    EXPECT_EQ(open.RowCount(), 0);
}

TEST(OpenDataTexts, ShortNameAndFlightTime)
{
    EXPECT_EQ(ShortFileName("/d/x/Blok12.kdf"), QStringLiteral("Blok12"));
    EXPECT_EQ(ShortFileName("/d/a.kdf.bak.kdf"), QStringLiteral("a"));
    EXPECT_EQ(ShortFileName("/d/UPPER.KDF"), QStringLiteral("UPPER.KDF"));
    EXPECT_EQ(FormatFlightTime(3725.9), QStringLiteral("1:02:05"));
    EXPECT_EQ(FormatFlightTime(0), QStringLiteral("0:00:00"));
}

} // namespace

namespace {

using namespace qv;
using namespace qv::test;

TEST(OpenDataSignals, GridAndCurrentRowAnnounceTheirChanges)
{
    ScriptedMessages msgs;
    TempDir dir;
    KdfContent content;
    content.Lines = ThreeChannelLines(5);
    const QString path = dir.file("a.kdf");
    ASSERT_TRUE(WriteAll(path, KdfText(content)));
    TOpenFlights open;
    TCurveModel model;
    open.SetCurveModel(&model);
    QSignalSpy grid(&open, &TOpenFlights::GridChanged);
    QSignalSpy current(&open, &TOpenFlights::ActualChanged);
    QSignalSpy closed(&open, &TOpenFlights::RowClosed);
    QSignalSpy added(&model, &TCurveModel::FileAdded);
    QSignalSpy shown(&model, &TCurveModel::VisibilityChanged);
    ASSERT_EQ(open.OpenDataFile(path), 0);
    EXPECT_GE(grid.size(), 1);
    ASSERT_EQ(current.size(), 1);
    EXPECT_EQ(current.at(0).at(0).toInt(), 0);
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(open.CurveHandles(), std::vector<TCurveHandle>{added.at(0).at(0).toInt()});
    // The altitude curve is switched on as the file opens.
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.at(0).at(1).toInt(), int(SlotAlt));
    // The model carries the file's colour, title and annotations.
    const TCurveFile* f = model.File(open.CurvesOf(0));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->ShortName, QStringLiteral("a"));
    EXPECT_EQ(open.Row(0)->Colour, kCurveColours[0]);

    grid.clear();
    EXPECT_TRUE(open.GridCloseFile(0));
    EXPECT_EQ(closed.size(), 1);
    EXPECT_GE(grid.size(), 1);
    EXPECT_EQ(model.FileCount(), 0);
    // Without a curve model files still open (no curves).
    open.SetCurveModel(nullptr);
    EXPECT_EQ(open.OpenDataFile(path), 0);
    EXPECT_EQ(open.CurvesOf(0), kNoCurves);
}

} // namespace
