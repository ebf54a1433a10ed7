// Zoom, scroll and resize of the chart.
#include "graph/Chart.h"
#include "graph/ViewMath.h"

#include <QApplication>
#include <QScrollBar>
#include <QCheckBox>
#include <qcustomplot.h>
#include <exception>

namespace qv {

void TChartView::UpdateScrollBars()
{
    ScrollBarsUpdating = true;
    if (automatic_[AxisBottom]) {
        ScrollBar1->setEnabled(false);
    } else {
        ScrollBar1->setEnabled(true);
        const TRange data = model_.Extent(AxisBottom);
        if (data.Valid)
            if (auto pos = HorizontalScrollPosition(Range(AxisBottom), data.Lower, data.Upper))
                ScrollBar1->setValue(*pos);
    }
    if (automatic_[AxisLeft] || automatic_[AxisRight] || automatic_[AxisVoltage]) {
        ScrollBar2->setEnabled(false);
    } else {
        ScrollBar2->setEnabled(true);
        // The position of the first value axis that has data to show.
        for (AxisId axis : {AxisLeft, AxisRight, AxisVoltage}) {
            if (axis == AxisRight && CheckBox_RxCenter->isChecked())
                continue;
            const TRange data = model_.Extent(axis);
            if (!data.Valid)
                continue;
            if (auto pos = VerticalScrollPosition(Range(axis), data.Lower, data.Upper))
                ScrollBar2->setValue(*pos);
            break;
        }
    }
    ScrollBarsUpdating = false;
}

void TChartView::ScrollBar1Change(int position)
{
    if (ScrollBarsUpdating)
        return;
    const TRange data = model_.Extent(AxisBottom);
    if (!data.Valid)
        return;
    SetRange(AxisBottom, ScrolledRange(position, Range(AxisBottom), data.Lower, data.Upper));
    Replot();
}

void TChartView::ScrollBar2Change(int position)
{
    if (ScrollBarsUpdating)
        return;
    // Each value axis goes to the same place in its own data, so that
    // traction, servo and voltage all stay on screen.
    const int p = 100 - position;
    for (AxisId axis : {AxisLeft, AxisRight, AxisVoltage}) {
        if (axis == AxisRight && CheckBox_RxCenter->isChecked()) {
            SetRange(AxisRight, CentredOnZero(Range(AxisRight)));
            continue;
        }
        const TRange data = model_.Extent(axis);
        if (data.Valid)
            SetRange(axis, ScrolledRange(p, Range(axis), data.Lower, data.Upper));
    }
    Replot();
}

void TChartView::ServoCenterRule()
{
    if (CheckBox_RxCenter->isChecked())
        SetRange(AxisRight, CentredOnZero(Range(AxisRight)));
}

void TChartView::Chart1Zoom(const QRect& rect)
{
    try {
        // The rectangle gives the new window of every axis; an axis whose
        // side of the rectangle is empty keeps its range.
        const QRect r = rect.normalized();
        if (auto x = ZoomedRange(Chart1->xAxis->pixelToCoord(r.left()), Chart1->xAxis->pixelToCoord(r.right())))
            SetRange(AxisBottom, *x);
        for (AxisId axis : {AxisLeft, AxisRight, AxisVoltage})
            if (auto v = ZoomedRange(Axis(axis)->pixelToCoord(r.top()), Axis(axis)->pixelToCoord(r.bottom())))
                SetRange(axis, *v);
        UpdateScrollBars();
        ServoCenterRule();
    } catch (const std::exception& e) {
        ShowError(QStringLiteral("In ChartZoom."), e);
    }
    UpdateScrollBars();
    Replot();
}

void TChartView::Chart1UndoZoom()
{
    try {
        ApplyAxisSetup();
        ServoCenterRule();
    } catch (const std::exception& e) {
        ShowError(QStringLiteral("In ChartUndoZoom."), e);
    }
    UpdateScrollBars();
    Replot();
}

void TChartView::UndoZoom()
{
    if (isVisible())
        Chart1UndoZoom();
}

void TChartView::Chart1Scroll()
{
    try {
        // Panning moved the bottom, left and right axes.
        for (AxisId axis : {AxisBottom, AxisLeft, AxisRight})
            automatic_[axis] = false;
        const TRange v = model_.Extent(AxisVoltage);
        if (v.Valid) {
            const TAxisRange drawn = AutomaticRange(v.Lower, v.Upper);
            VoltageAxis->setRange(drawn.Min, drawn.Max);
        }
    } catch (const std::exception& e) {
        ShowError(QStringLiteral("In ChartScroll."), e);
    }
    UpdateScrollBars();
    Replot();
}

void TChartView::ZoomPercent(double percent)
{
    for (AxisId axis : {AxisBottom, AxisLeft, AxisRight, AxisVoltage})
        SetRange(axis, qv::ZoomPercent(Range(axis), percent));
    UpdateScrollBars();
    Replot();
}

void TChartView::ZoomPercentAt(double percent, const QPoint& at)
{
    SetRange(AxisBottom, ZoomPercentAbout(Range(AxisBottom), percent, Chart1->xAxis->pixelToCoord(at.x())));
    for (AxisId axis : {AxisLeft, AxisRight, AxisVoltage})
        SetRange(axis, ZoomPercentAbout(Range(axis), percent, Axis(axis)->pixelToCoord(at.y())));
    ServoCenterRule();
    UpdateScrollBars();
    Replot();
}

void TChartView::SetPanning(bool on)
{
    panning_ = on;
    dragged_ = false;
    Chart1->setSelectionRectMode(on ? QCP::srmNone : QCP::srmCustom);
    Chart1->setInteraction(QCP::iRangeDrag, on);
    if (on)
        QApplication::setOverrideCursor(Qt::OpenHandCursor);
    else
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
}

void TChartView::Chart1Resize()
{
    const QRect c = Chart1->geometry();
    ScrollBar1->setGeometry(c.left() + 1, c.top() + c.height() + 1, c.width() - 1, ScrollBar1->sizeHint().height());
    ScrollBar2->setGeometry(c.left() + c.width() + 1, c.top(), ScrollBar2->sizeHint().width(), c.height());
    // The time axis stops 45 pixels short of the plot's right edge: the
    // axes on the right stand off by the rest.
    Chart1->plotLayout()->updateLayout();
    const int gap = Chart1->yAxis2->offset();
    const int pw = Chart1->axisRect()->width() + gap;
    const int end = BottomAxisEndPercent(pw, !Chart1->xAxis->visible());
    const int want = pw - static_cast<int>(std::lround(pw * end / 100.0));
    if (want != gap) {
        Chart1->yAxis2->setOffset(want);
        Replot();
    }
}

} // namespace qv
