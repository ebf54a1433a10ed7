// The graph page driven as a user would: scroll bars, rubber band, wheel,
// space bar, legend and the min:sec labels.
#include "graph/ChartCanvas.h"
#include "graph/GraphPage.h"
#include "graph/GraphSetupfrm.h"
#include "graph/ViewMath.h"
#include "support/ScriptedMessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QScrollBar>
#include <QTest>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>
#include <gtest/gtest.h>
#include <qcustomplot.h>

namespace {

using namespace qv;
using namespace qv::test;

class GraphPageTest : public ::testing::Test {
protected:
    GraphPageTest() : page(model, setup, changed)
    {
        page.resize(1000, 700);
        page.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&page));
    }
    // A file of n samples over 0..100 s: altitude 0..100 (with one spike
    // at `spike`), receiver -100..100, voltage 7..8.
    TCurveHandle AddFile(int n = 1001, int spike = -1)
    {
        auto t = std::make_shared<std::vector<double>>(n);
        auto alt = std::make_shared<std::vector<double>>(n);
        auto rx = std::make_shared<std::vector<double>>(n);
        auto volt = std::make_shared<std::vector<double>>(n);
        for (int i = 0; i < n; ++i) {
            const double x = 100.0 * i / (n - 1);
            (*t)[i] = x;
            (*alt)[i] = x;
            (*rx)[i] = 200.0 * i / (n - 1) - 100;
            (*volt)[i] = 7 + x / 100;
        }
        if (spike >= 0)
            (*alt)[spike] = 500;
        const TCurveHandle h = model.AddFile(QStringLiteral("f%1").arg(model.FileCount()), model.FileCount());
        model.SetPoints(h, SlotAlt, t, alt);
        model.SetPoints(h, SlotRx, t, rx);
        model.SetPoints(h, SlotPowS, t, volt);
        model.SetVisible(h, SlotAlt, true);
        page.SetOpenFiles(model.Handles());
        return h;
    }
    TAxisRange Range(AxisId a) const { return page.Chart->Range(a); }
    QCustomPlot* plot() const { return page.Chart->Chart1; }
    QPoint PlotPoint(double fx, double fy) const
    {
        const QRect r = plot()->axisRect()->rect();
        return QPoint(r.left() + int(fx * r.width()), r.top() + int(fy * r.height()));
    }
    void Replot() { plot()->replot(); }

    ScriptedMessages msgs;
    TCurveModel model;
    TGraphSetupRec setup = DefaultGraphSetup();
    bool changed = false;
    TGraphPage page;
};

TEST_F(GraphPageTest, ScrollBarsFollowTheAxes)
{
    AddFile();
    page.ChangeGraphSettings();
    page.UpdateScrollBars();
    // Every axis automatic: both bars off.
    EXPECT_FALSE(page.Chart->ScrollBar1->isEnabled());
    EXPECT_FALSE(page.Chart->ScrollBar2->isEnabled());

    // A manual 10 s window: the time bar shows where its centre lies.
    setup.TimeAuto = false;
    setup.TimeMin = 0;
    setup.TimeMax = 10;
    page.ChangeGraphSettings();
    page.UpdateScrollBars();
    QScrollBar* bar = page.Chart->ScrollBar1;
    ASSERT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->value(), 5);
    EXPECT_FALSE(page.Chart->ScrollBar2->isEnabled());
    for (int i = 0; i < 45; ++i) {
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->width() - 4, bar->height() / 2));
    }
    EXPECT_EQ(bar->value(), 50);
    EXPECT_NEAR(Range(AxisBottom).Min, 45, 1e-9);
    EXPECT_NEAR(Range(AxisBottom).Max, 55, 1e-9);

    // A single sample has no extent: the bar stays where it is.
    model.RemoveFile(model.Handles().front());
    const TCurveHandle one = model.AddFile("one", 0);
    model.SetPoints(one, SlotAlt, std::make_shared<std::vector<double>>(1, 3.0),
                    std::make_shared<std::vector<double>>(1, 4.0));
    model.SetVisible(one, SlotAlt, true);
    page.UpdateScrollBars();
    EXPECT_EQ(bar->value(), 50);
}

TEST_F(GraphPageTest, RubberBandZoomAndCancelZoom)
{
    AddFile();
    page.ChangeGraphSettings();
    Replot();
    const TAxisRange volt = Range(AxisVoltage);
    const QPoint a = PlotPoint(0.2, 0.25), b = PlotPoint(0.6, 0.75);
    const double x0 = plot()->xAxis->pixelToCoord(a.x()), x1 = plot()->xAxis->pixelToCoord(b.x());
    const double v0 = page.Chart->VoltageAxis->pixelToCoord(b.y()), v1 = page.Chart->VoltageAxis->pixelToCoord(a.y());
    const QImage still = plot()->grab().toImage();
    QTest::mousePress(plot(), Qt::LeftButton, Qt::NoModifier, a);
    QTest::mouseMove(plot(), (a + b) / 2);
    // The band is on the screen while it is dragged: its left edge is drawn.
    const QImage during = plot()->grab().toImage();
    int changed = 0;
    for (int y = a.y() + 1; y < (a.y() + b.y()) / 2; ++y)
        changed += during.pixel(a.x(), y) != still.pixel(a.x(), y);
    EXPECT_GT(changed, ((b.y() - a.y()) / 2 - 1) / 3);
    QTest::mouseMove(plot(), b);
    QTest::mouseRelease(plot(), Qt::LeftButton, Qt::NoModifier, b);
    EXPECT_NEAR(Range(AxisBottom).Min, x0, 1e-9);
    EXPECT_NEAR(Range(AxisBottom).Max, x1, 1e-9);
    // The voltage axis follows the rectangle too.
    EXPECT_NEAR(Range(AxisVoltage).Min, v0, 1e-9);
    EXPECT_NEAR(Range(AxisVoltage).Max, v1, 1e-9);
    EXPECT_LT(Range(AxisVoltage).Max - Range(AxisVoltage).Min, volt.Max - volt.Min);
    EXPECT_TRUE(page.Chart->ScrollBar1->isEnabled());
    EXPECT_TRUE(page.Chart->ScrollBar2->isEnabled());

    // A click without a drag is no zoom: the ranges stay.
    Replot();
    const TAxisRange before = Range(AxisBottom), left = Range(AxisLeft);
    QTest::mouseClick(plot(), Qt::LeftButton, Qt::NoModifier, PlotPoint(0.5, 0.5));
    QTest::mousePress(plot(), Qt::LeftButton, Qt::NoModifier, PlotPoint(0.3, 0.3));
    QTest::mouseMove(plot(), PlotPoint(0.3, 0.6));
    QTest::mouseRelease(plot(), Qt::LeftButton, Qt::NoModifier, PlotPoint(0.3, 0.6)); // no width
    EXPECT_EQ(Range(AxisBottom), before);
    EXPECT_LT(Range(AxisBottom).Min, Range(AxisBottom).Max);
    EXPECT_NE(Range(AxisLeft), left); // the height was zoomed

    // "Cancel Zoom" goes back to the graph settings.
    page.Chart->mnuCancelZoom->trigger();
    EXPECT_TRUE(page.Chart->IsAutomatic(AxisBottom));
    EXPECT_NEAR(Range(AxisBottom).Min, 0, 1e-9);
    EXPECT_NEAR(Range(AxisBottom).Max, 100, 1e-9);
    EXPECT_FALSE(page.Chart->ScrollBar1->isEnabled());
    EXPECT_FALSE(page.Chart->ScrollBar2->isEnabled());
    EXPECT_TRUE(msgs.Errors().isEmpty());
}

TEST_F(GraphPageTest, WheelZoomsOnlyOverTheChartWithAFileOpen)
{
    auto wheel = [&](QPoint at, int delta) {
        QWheelEvent e(at, plot()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        e.setAccepted(false);
        const bool used = QApplication::sendEvent(plot(), &e);
        return used && e.isAccepted();
    };
    const QPoint centre = PlotPoint(0.5, 0.5);
    EXPECT_FALSE(page.FormMouseWheel(plot()->mapToGlobal(centre), 120)); // no file open
    AddFile();
    Replot();
    const double mid = plot()->xAxis->pixelToCoord(centre.x());
    EXPECT_TRUE(wheel(centre, 120)); // away from the user: in, by a fifth about the pointer
    EXPECT_NEAR(Range(AxisBottom).Min, 0.2 * mid, 1e-9);
    EXPECT_NEAR(Range(AxisBottom).Max, mid + 0.8 * (100 - mid), 1e-9);
    EXPECT_TRUE(wheel(centre, -120)); // towards the user: out
    EXPECT_NEAR(Range(AxisBottom).Max - Range(AxisBottom).Min, 96, 1e-9);
    // Off the centre the time and the value under the pointer stay there.
    const QPoint off = PlotPoint(0.8, 0.25);
    const double t = plot()->xAxis->pixelToCoord(off.x()), v = plot()->yAxis->pixelToCoord(off.y());
    const double width = Range(AxisBottom).Max - Range(AxisBottom).Min;
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(wheel(off, 120));
    EXPECT_NEAR(plot()->xAxis->pixelToCoord(off.x()), t, 1e-6 * width);
    EXPECT_NEAR(plot()->yAxis->pixelToCoord(off.y()), v, 1e-6 * width);
    EXPECT_LT(Range(AxisBottom).Max - Range(AxisBottom).Min, 0.4 * width);
    EXPECT_FALSE(page.FormMouseWheel(plot()->mapToGlobal(QPoint(0, 0)), 120));
    EXPECT_FALSE(page.FormMouseWheel(plot()->mapToGlobal(QPoint(plot()->width() + 5, 10)), 120));
    // The zoom buttons do what they say: "Zoom In" narrows the view (110),
    // "Zoom Out" widens it (90).
    page.TBUndoZoom->click();
    QTest::mouseClick(page.TBZoomIn, Qt::LeftButton);
    EXPECT_NEAR(Range(AxisBottom).Min, 10, 1e-9);
    EXPECT_NEAR(Range(AxisBottom).Max, 90, 1e-9);
    QTest::mouseClick(page.TBZoomOut, Qt::LeftButton);
    EXPECT_NEAR(Range(AxisBottom).Min, 2, 1e-9);
    EXPECT_NEAR(Range(AxisBottom).Max, 98, 1e-9);
    EXPECT_EQ(page.TBZoomIn->text(), QStringLiteral("Zoom In"));
    EXPECT_EQ(page.TBZoomIn->toolTip(), QStringLiteral("Zoom in"));
    EXPECT_EQ(page.TBZoomOut->text(), QStringLiteral("Zoom Out"));
    EXPECT_EQ(page.TBZoomOut->toolTip(), QStringLiteral("Zoom out"));
    EXPECT_EQ(page.TBUndoZoom->toolTip(), QStringLiteral("Original size"));
}

TEST_F(GraphPageTest, SpaceBarPansAndReleasingItRestoresTheRubberBand)
{
    AddFile();
    Replot();
    // A space typed into a text field of the page stays there.
    page.EditShiftX->setFocus();
    QTest::keyClick(page.EditShiftX, Qt::Key_End);
    QTest::keyClick(page.EditShiftX, Qt::Key_Space);
    EXPECT_FALSE(page.Chart->Panning());
    EXPECT_EQ(page.EditShiftX->text(), QStringLiteral("0.0 "));
    plot()->setFocus();
    QTest::keyPress(plot(), Qt::Key_Space);
    EXPECT_TRUE(page.Chart->Panning());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::OpenHandCursor);
    EXPECT_EQ(plot()->selectionRectMode(), QCP::srmNone);
    // Drag: the view moves and the bars follow.
    const TAxisRange before = Range(AxisBottom);
    QTest::mousePress(plot(), Qt::LeftButton, Qt::NoModifier, PlotPoint(0.5, 0.5));
    QTest::mouseMove(plot(), PlotPoint(0.4, 0.5));
    QTest::mouseMove(plot(), PlotPoint(0.3, 0.5));
    QTest::mouseRelease(plot(), Qt::LeftButton, Qt::NoModifier, PlotPoint(0.3, 0.5));
    EXPECT_GT(Range(AxisBottom).Min, before.Min);
    EXPECT_TRUE(page.Chart->ScrollBar1->isEnabled());
    QTest::keyRelease(plot(), Qt::Key_Space);
    EXPECT_FALSE(page.Chart->Panning());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(plot()->selectionRectMode(), QCP::srmCustom);
}

TEST_F(GraphPageTest, SpaceBarIsThePagesShortcutAndNotForItsTextFields)
{
    AddFile();
    Replot();
    EXPECT_EQ(page.SpaceBar->parent(), &page);
    EXPECT_EQ(page.SpaceBar->context(), Qt::WidgetWithChildrenShortcut);
    // A blank typed into an offset edit stays there.
    page.EditShiftX->setFocus();
    QTest::keyPress(page.EditShiftX, Qt::Key_Space);
    EXPECT_FALSE(page.Chart->Panning());
    QTest::keyRelease(page.EditShiftX, Qt::Key_Space);
    // Anywhere else on the page it pans.
    page.TBZoomIn->setFocus();
    QTest::keyPress(page.TBZoomIn, Qt::Key_Space);
    EXPECT_TRUE(page.Chart->Panning());
    QTest::keyRelease(plot(), Qt::Key_Space);
    EXPECT_FALSE(page.Chart->Panning());
}

TEST_F(GraphPageTest, ServoCenterKeepsTheServoAxisSymmetric)
{
    AddFile();
    setup.AltitudeAuto = setup.RXAuto = setup.PowerSupAuto = false;
    setup.AltitudeMin = 0;
    setup.AltitudeMax = 20;
    setup.RXMin = 10;
    setup.RXMax = 50;
    page.ChangeGraphSettings();
    page.UpdateScrollBars();
    ASSERT_TRUE(page.Chart->ScrollBar2->isEnabled());
    QTest::mouseClick(page.Chart->CheckBox_RxCenter, Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, page.Chart->CheckBox_RxCenter->height() / 2));
    ASSERT_TRUE(page.Chart->CheckBox_RxCenter->isChecked());
    QScrollBar* bar = page.Chart->ScrollBar2;
    const int start = bar->value();
    const QPoint arrow = start > 50 ? QPoint(bar->width() / 2, 4) : QPoint(bar->width() / 2, bar->height() - 4);
    for (int i = 0; i < 10; ++i)
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, arrow);
    EXPECT_EQ(bar->value(), start > 50 ? start - 10 : start + 10);
    EXPECT_EQ(Range(AxisRight), (TAxisRange{-20, 20}));
    const TAxisRange left = Range(AxisLeft);
    EXPECT_NEAR(left.Max - left.Min, 20, 1e-9);
    const double p = 100 - bar->value();
    EXPECT_NEAR(left.Max, p + 10, 1e-9); // data 0..100
}

TEST_F(GraphPageTest, VerticalScrollKeepsTractionServoAndVoltageOnScreen)
{
    // Traction 0..400 N, servo -100..100 %, voltage 7..8.5 V.
    const int n = 101;
    auto t = std::make_shared<std::vector<double>>(n), alt = std::make_shared<std::vector<double>>(n),
         rx = std::make_shared<std::vector<double>>(n), volt = std::make_shared<std::vector<double>>(n);
    for (int i = 0; i < n; ++i) {
        (*t)[i] = i;
        (*alt)[i] = 4.0 * i;
        (*rx)[i] = 2.0 * i - 100;
        (*volt)[i] = 7 + 0.015 * i;
    }
    const TCurveHandle h = model.AddFile(QStringLiteral("tow"), 0);
    for (auto [slot, y] : {std::pair{SlotAlt, alt}, {SlotRx, rx}, {SlotPowS, volt}}) {
        model.SetPoints(h, slot, t, y);
        model.SetVisible(h, slot, true);
    }
    page.SetOpenFiles(model.Handles());
    setup.AltitudeAuto = setup.RXAuto = setup.PowerSupAuto = false;
    setup.AltitudeMin = 0;
    setup.AltitudeMax = 100;
    setup.RXMin = -20;
    setup.RXMax = 20;
    setup.PowerSupMin = 7;
    setup.PowerSupMax = 7.3;
    page.ChangeGraphSettings();
    page.UpdateScrollBars();
    QScrollBar* bar = page.Chart->ScrollBar2;
    ASSERT_TRUE(bar->isEnabled());
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Home);
    auto clickArrow = [bar](bool down, int times) {
        const QPoint arrow(bar->width() / 2, down ? bar->height() - 4 : 4);
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, arrow);
    };
    auto centreAt = [&](AxisId axis) {
        const TAxisRange r = Range(axis);
        return (r.Min + r.Max) / 2;
    };
    for (int step = 0; step <= 10; ++step) {
        const double f = 1.0 - bar->value() / 100.0; // 0 is the top of the data
        EXPECT_NEAR(centreAt(AxisLeft), 400 * f, 1e-9) << bar->value();
        EXPECT_NEAR(centreAt(AxisRight), -100 + 200 * f, 1e-9) << bar->value();
        EXPECT_NEAR(centreAt(AxisVoltage), 7 + 1.5 * f, 1e-9) << bar->value();
        EXPECT_NEAR(Range(AxisVoltage).Max - Range(AxisVoltage).Min, 0.3, 1e-9);
        if (step < 10)
            clickArrow(true, 10);
    }
    EXPECT_EQ(bar->value(), 100);
    // "Servo Center" keeps the servo axis on zero while the others move.
    QTest::mouseClick(page.Chart->CheckBox_RxCenter, Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, page.Chart->CheckBox_RxCenter->height() / 2));
    clickArrow(false, 10);
    EXPECT_EQ(bar->value(), 90);
    EXPECT_EQ(Range(AxisRight), (TAxisRange{-20, 20}));
    EXPECT_NEAR(centreAt(AxisVoltage), 7 + 1.5 * 0.1, 1e-9);
}

TEST_F(GraphPageTest, LegendListsShownCurvesAboveThePlot)
{
    for (int i = 0; i < 5; ++i)
        AddFile();
    model.SetVisible(model.Handles()[1], SlotRx, true);
    QTest::mouseClick(page.TBShowLegend, Qt::LeftButton);
    ASSERT_TRUE(page.TBShowLegend->isChecked());
    Replot();
    QCPLegend* legend = plot()->legend;
    // The legend's grid may hold empty cells: count the items.
    auto items = [legend] {
        std::vector<QCPPlottableLegendItem*> out;
        for (int i = 0; i < legend->itemCount(); ++i)
            if (auto* item = qobject_cast<QCPPlottableLegendItem*>(legend->item(i)))
                out.push_back(item);
        return out;
    };
    EXPECT_TRUE(legend->visible());
    EXPECT_EQ(items().size(), 6u);
    // Its own strip: above the plot, not over the curves.
    EXPECT_LE(legend->outerRect().bottom(), plot()->axisRect()->outerRect().top() + 1);
    model.SetVisible(model.Handles()[0], SlotAlt, false);
    ASSERT_EQ(items().size(), 5u);
    for (QCPPlottableLegendItem* item : items())
        EXPECT_TRUE(item->plottable()->visible());
    QTest::mouseClick(page.TBShowLegend, Qt::LeftButton);
    Replot();
    EXPECT_FALSE(legend->visible());
    EXPECT_EQ(plot()->plotLayout()->elementCount(), 1);
}

TEST_F(GraphPageTest, MinSecLabelsAndTitle)
{
    AddFile();
    setup.TimeAuto = false;
    setup.TimeMin = 0;
    setup.TimeMax = 200;
    page.ChangeGraphSettings();
    QCheckBox* box = page.Chart->CheckBox_min_sec;
    EXPECT_EQ(box->text(), QStringLiteral("min:sec"));
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, box->height() / 2));
    Replot();
    EXPECT_EQ(plot()->xAxis->label(), QStringLiteral("Time (min:sec)"));
    const QVector<QString> labels = plot()->xAxis->tickVectorLabels();
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_TRUE(labels.contains(QStringLiteral("1:40"))) << labels.join(' ').toStdString();
    // The other axes keep their numbers.
    EXPECT_EQ(page.Chart->Chart1GetAxisLabel(plot()->yAxis, "65"), QStringLiteral("65"));
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, box->height() / 2));
    Replot();
    EXPECT_EQ(plot()->xAxis->label(), QStringLiteral("Time (sec)"));
    EXPECT_TRUE(plot()->xAxis->tickVectorLabels().contains(QStringLiteral("100")));
}

TEST_F(GraphPageTest, LongCurvesAreDrawnFromFewPointsWithTheirSpike)
{
    const int n = 1500000;
    const TCurveHandle h = AddFile(n, 765432);
    Replot();
    QCPGraph* g = page.Chart->Series(h, SlotAlt);
    const int width = plot()->axisRect()->width();
    EXPECT_LE(g->dataCount(), 4 * width + 8);
    bool found = false;
    EXPECT_EQ(g->getValueRange(found).upper, 500);
    // Zoomed in to a few samples: every one of them.
    page.Chart->SetRange(AxisBottom, {50, 50.001});
    Replot();
    EXPECT_LE(g->dataCount(), 20);
    EXPECT_GE(g->dataCount(), 15);
}

// On screen the dense curves are put into the pixels by the chart itself;
// a picture of the chart is drawn by QCustomPlot. Both show the same.
TEST_F(GraphPageTest, DenseCurvesOnScreenLookAsInAPicture)
{
    const int n = 200000, spike = 123456;
    const TCurveHandle h = AddFile(n, spike);
    model.SetVisible(h, SlotRx, true); // dashed
    Replot();
    const QImage screen = plot()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = plot()->toPixmap().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(screen.size(), picture.size());
    auto count = [](const QImage& img, QRgb colour) {
        int k = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                k += (img.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
        return k;
    };
    for (int slot : {SlotAlt, SlotRx}) {
        const QRgb colour = model.Curve(h, slot)->Rgb;
        const int a = count(screen, colour), b = count(picture, colour);
        EXPECT_GT(b, 300) << slot;
        EXPECT_NEAR(a, b, b * 0.05) << slot;
    }
    // The spike reaches the top of the traction axis on screen.
    const int x = int(std::lround(plot()->xAxis->coordToPixel(100.0 * spike / (n - 1))));
    const int top = int(std::lround(plot()->yAxis->coordToPixel(500)));
    bool seen = false;
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            seen |= (screen.pixel(x + dx, top + dy) & 0xffffff) == (model.Curve(h, SlotAlt)->Rgb & 0xffffff);
    EXPECT_TRUE(seen);

    // Marks stamped on screen as QCustomPlot draws them, and after the
    // chart changed its size (new buffers) as well.
    auto index = std::make_shared<std::vector<std::int32_t>>();
    for (int i = 0; i < n; i += 7)
        index->push_back(i);
    const TCurve& alt = *model.Curve(h, SlotAlt);
    model.SetIndexedPoints(h, SlotMark, alt.X, alt.Y, index);
    model.SetVisible(h, SlotAlt, false);
    model.SetVisible(h, SlotMark, true);
    for (const QSize grow : {QSize(0, 0), QSize(-37, -23)}) {
        page.resize(page.size() + grow);
        QApplication::processEvents(); // the replot that resizing asks for
        if (grow.isNull())
            Replot();
        const QImage marksOnScreen = plot()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage marksInPicture = plot()->toPixmap().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb ink = model.Curve(h, SlotMark)->Rgb & 0xffffff;
        // Pixels of the marks' colour in one with none within a pixel in
        // the other (a mark may fall half a pixel apart).
        auto alone = [&](const QImage& in, const QImage& other) {
            int k = 0;
            for (int y = 1; y + 1 < in.height(); ++y)
                for (int x = 1; x + 1 < in.width(); ++x) {
                    if ((in.pixel(x, y) & 0xffffff) != ink)
                        continue;
                    bool near = false;
                    for (int d = 0; d < 9 && !near; ++d)
                        near = (other.pixel(x + d % 3 - 1, y + d / 3 - 1) & 0xffffff) == ink;
                    k += !near;
                }
            return k;
        };
        const int b = count(marksInPicture, ink);
        EXPECT_GT(b, 300) << grow.width();
        EXPECT_LT(alone(marksInPicture, marksOnScreen) + alone(marksOnScreen, marksInPicture), b * 0.02) << grow.width();
        const QRgb corner = marksInPicture.pixel(1, 1);
        EXPECT_EQ(marksOnScreen.pixel(1, 1), corner) << grow.width(); // the background, filled anew
    }
}

// Curves drawn together in one round keep their order: the second of two
// files with the same samples hides the first, on screen as in a picture,
// and so it does when a curve between them is drawn by QCustomPlot.
TEST_F(GraphPageTest, CurvesDrawnTogetherKeepTheirOrder)
{
    const TCurveHandle first = AddFile(200000), second = AddFile(200000);
    for (TCurveHandle h : {first, second})
        model.SetVisible(h, SlotRx, true); // dashed
    const QRgb under = model.Curve(first, SlotRx)->Rgb & 0xffffff, over = model.Curve(second, SlotRx)->Rgb & 0xffffff;
    ASSERT_NE(under, over);
    auto count = [](const QImage& img, QRgb colour) {
        int k = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                k += (img.pixel(x, y) & 0xffffff) == colour;
        return k;
    };
    for (const bool wide : {false, true}) {
        if (wide) // drawn as QCustomPlot draws it, below the others
            page.Chart->Series(first, SlotRx)->setPen(QPen(QColor::fromRgb(model.Curve(first, SlotRx)->Rgb), 1.5));
        Replot();
        const QImage screen = plot()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage picture = plot()->toPixmap().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_GT(count(picture, over), 300) << wide;
        EXPECT_NEAR(count(screen, over), count(picture, over), count(picture, over) * 0.05) << wide;
        EXPECT_NEAR(count(screen, under), count(picture, under), 20 + count(picture, under) * 0.05) << wide;
    }
}

TEST_F(GraphPageTest, GridInThePixelsIsQCustomPlotsGrid)
{
    // The grid's dots, and the line at zero where the range crosses it, on
    // screen as in a picture and as QCustomPlot's own grid draws them.
    const TCurveHandle h = AddFile();
    model.SetVisible(h, SlotAlt, false);
    TPixelGrid* ours = nullptr;
    for (QCPLayerable* l : plot()->layer(QStringLiteral("grid"))->children())
        ours = ours ? ours : dynamic_cast<TPixelGrid*>(l);
    ASSERT_NE(ours, nullptr);
    auto grid = [](const QImage& img) {
        QImage mask(img.size(), QImage::Format_Mono);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                mask.setPixel(x, y, (img.pixel(x, y) & 0xffffff) == 0xc8c8c8);
        return mask;
    };
    for (const QCPRange& keys : {QCPRange(0, 100), QCPRange(-13.3, 71.7), QCPRange(-0.2, 0.37)}) {
        plot()->xAxis->setRange(keys);
        plot()->yAxis->setRange(-keys.upper, keys.upper * 1.7);
        Replot();
        const QImage screen = grid(plot()->grab().toImage());
        const QRect r = plot()->axisRect()->rect();
        const int zero = qRound(plot()->xAxis->coordToPixel(0)); // solid where in the range
        int atZero = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            atZero += screen.pixelIndex(zero, y);
        EXPECT_EQ(atZero > r.height() * 9 / 10, keys.lower < 0) << keys.lower;
        ours->setVisible(false);
        plot()->xAxis->grid()->setVisible(true);
        plot()->yAxis->grid()->setVisible(true);
        const QImage theirs = grid(plot()->toPixmap().toImage());
        ours->setVisible(true);
        plot()->xAxis->grid()->setVisible(false);
        plot()->yAxis->grid()->setVisible(false);
        EXPECT_EQ(screen.copy(r), theirs.copy(r)) << keys.lower; // (grey text around it may differ)
    }
}

TEST_F(GraphPageTest, ScrollBarsGlueToTheChartAndTheTimeAxisEndsShort)
{
    AddFile();
    page.resize(900, 600);
    QApplication::processEvents();
    Replot();
    const QRect c = plot()->geometry();
    EXPECT_EQ(page.Chart->ScrollBar1->geometry().left(), c.left() + 1);
    EXPECT_EQ(page.Chart->ScrollBar1->geometry().width(), c.width() - 1);
    EXPECT_EQ(page.Chart->ScrollBar1->geometry().top(), c.top() + c.height() + 1);
    EXPECT_EQ(page.Chart->ScrollBar2->geometry().left(), c.left() + c.width() + 1);
    EXPECT_EQ(page.Chart->ScrollBar2->geometry().height(), c.height());
    const int gap = plot()->yAxis2->offset();
    EXPECT_NEAR(gap, 45, 4); // whole percent of the plot width
}

TEST_F(GraphPageTest, GraphSetupErrorsAndInvalidStyles)
{
    const TCurveHandle h = AddFile();
    setup.AltitudeLStyle = 9; // not a style: the line keeps its style
    setup.AltitudeLWidth = 3;
    setup.MarkerMarkStyle = -1;
    page.ChangeGraphSettings();
    EXPECT_EQ(page.Chart->Series(h, SlotAlt)->pen().style(), Qt::SolidLine);
    EXPECT_EQ(page.Chart->Series(h, SlotAlt)->pen().width(), 3);
    EXPECT_EQ(page.Chart->Series(h, SlotMark)->scatterStyle().shape(), QCPScatterStyle::ssTriangle);

    // A file without curves: the dialog's OK reports it.
    page.SetOpenFiles({h, 4242});
    TFormGraphSetup form;
    page.SetGraphSetupForm(&form);
    msgs.QueueDialog([&](QDialog&) { QTest::keyClick(form.ComboBoxAnnSize, Qt::Key_Return); });
    QTest::mouseClick(page.TBGraphSetup, Qt::LeftButton);
    EXPECT_TRUE(changed);
    EXPECT_EQ(msgs.Errors(),
              QStringList{QStringLiteral("Error in Graph Setup!\rPointer to data not found in ChangeGraphSettings!")});
}

} // namespace

// One absurd value (or offset) widens its automatic axis as far as the
// chart draws; the axis never falls back to 0..5 and the other curves stay.
TEST_F(GraphPageTest, AnAbsurdValueKeepsTheOtherCurvesOnTheChart)
{
    const TCurveHandle h = AddFile();
    const TCurveHandle huge = model.AddFile("huge", 1);
    model.SetPoints(huge, SlotAlt, std::make_shared<std::vector<double>>(std::vector<double>{0, 1}),
                    std::make_shared<std::vector<double>>(std::vector<double>{0, 1e300}));
    model.SetVisible(huge, SlotAlt, true);
    page.SetOpenFiles(model.Handles());
    page.ChangeGraphSettings();
    EXPECT_EQ(Range(AxisLeft).Min, 0);
    EXPECT_EQ(Range(AxisLeft).Max, kChartRangeLimit);
    EXPECT_EQ(Range(AxisBottom).Max, 100);

    model.SetVisible(h, SlotPowS, true);
    model.SetOffset(h, SlotPowS, 0, 1e300);
    EXPECT_EQ(model.Curve(h, SlotPowS)->OffsetY, kOffsetLimit);
    page.ChangeGraphSettings();
    EXPECT_EQ(Range(AxisVoltage).Max, 8 + kOffsetLimit);
}
