#include "graph/Chart.h"

#include "base/MessageService.h"
#include "graph/ChartCanvas.h"
#include "graph/ChartLabels.h"
#include "graph/CurveTable.h"
#include "graph/GraphStyle.h"
#include "graph/PointReduce.h"
#include "graph/ViewMath.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QScrollBar>
#include <algorithm>
#include <qcustomplot.h>
#include <stdexcept>

namespace qv {

namespace {

// The layer of the annotation labels, above the curves.
const char* const kLabelLayer = "labels";

QCPScatterStyle::ScatterShape ShapeFromCode(int code)
{
    switch (code) {
    case psRectangle: return QCPScatterStyle::ssSquare;
    case psCircle: return QCPScatterStyle::ssDisc;
    case psTriangle: return QCPScatterStyle::ssTriangle;
    case psDownTriangle: return QCPScatterStyle::ssTriangleInverted;
    case psCross: return QCPScatterStyle::ssPlus;
    case psDiagCross: return QCPScatterStyle::ssCross;
    case psStar: return QCPScatterStyle::ssStar;
    case psDiamond: return QCPScatterStyle::ssDiamond;
    default: return QCPScatterStyle::ssDisc; // small dot
    }
}

void StyleLine(QCPGraph* g, int styleCode, int width)
{
    QPen pen = g->pen();
    if (auto style = PenStyleFromCode(styleCode))
        pen.setStyle(*style);
    pen.setWidth(std::max(1, width));
    g->setPen(pen);
}

void StylePoints(QCPGraph* g, int shapeCode, int size)
{
    const QColor colour = g->pen().color();
    QCPScatterStyle st = g->scatterStyle();
    if (IsValidPointShape(shapeCode))
        st.setShape(ShapeFromCode(shapeCode));
    st.setPen(QPen(colour));
    st.setBrush(colour);
    st.setSize(shapeCode == psSmallDot ? 3.0 : PointPixelSize(size));
    g->setScatterStyle(st);
}

void PrepareAxis(QCPAxis* axis, const QString& title)
{
    axis->setVisible(true);
    axis->setLabel(title);
    axis->setBasePen(Qt::NoPen);
    axis->setTickLabels(true);
    QFont f = axis->labelFont();
    f.setPointSize(8);
    axis->setLabelFont(f);
    axis->setTickLabelFont(f);
}

// Bottom-axis labels, rewritten by the view in min:sec mode.
class TTimeTicker : public QCPAxisTicker {
public:
    explicit TTimeTicker(const TChartView* view) : view_(view) {}

protected:
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override
    {
        const QString text = QCPAxisTicker::getTickLabel(tick, locale, formatChar, precision);
        return view_->Chart1GetAxisLabel(view_->Chart1->xAxis, text);
    }

private:
    const TChartView* view_;
};

} // namespace

TChartView::TChartView(TCurveModel& model, TGraphSetupRec& setup, QWidget* parent)
    : QWidget(parent), model_(model), setup_(setup)
{
    topStrip_ = new QWidget(this);
    auto* top = new QHBoxLayout(topStrip_);
    top->setContentsMargins(4, 2, 4, 0);
    CheckBox_RxCenter = new QCheckBox(QStringLiteral("Servo Center"), topStrip_);
    CheckBox_RxCenter->setObjectName(QStringLiteral("CheckBox_RxCenter"));
    CheckBox_min_sec = new QCheckBox(QStringLiteral("min:sec"), topStrip_);
    CheckBox_min_sec->setObjectName(QStringLiteral("CheckBox_min_sec"));
    top->addWidget(CheckBox_RxCenter);
    top->addWidget(CheckBox_min_sec);
    top->addStretch(1);

    Chart1 = new TPlot(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setNoAntialiasingOnDrag(true);
    Chart1->installEventFilter(this);
    ScrollBar1 = new QScrollBar(Qt::Horizontal, this);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar2 = new QScrollBar(Qt::Vertical, this);
    ScrollBar2->setObjectName(QStringLiteral("ScrollBar2"));
    for (QScrollBar* bar : {ScrollBar1, ScrollBar2}) {
        bar->setRange(0, 100);
        bar->setPageStep(0);
        bar->setEnabled(false);
    }
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TChartView::ScrollBar1Change);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &TChartView::ScrollBar2Change);

    // Legend, hidden until switched on; it gets a strip of its own above
    // the plot when shown.
    QCPLegend* legend = Chart1->legend;
    legend->setVisible(false);
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setWrap(kSlotCount);
    legend->setIconSize(16, 10);
    legend->setMargins(QMargins(5, 5, 5, 5));
    legend->setRowSpacing(0);
    legend->setBorderPen(QPen(QColor(192, 192, 192)));
    legend->setBrush(Qt::white);
    QFont legendFont = legend->font();
    legendFont.setPointSize(8);
    legend->setFont(legendFont);
    Chart1->axisRect()->insetLayout()->take(legend);
    Chart1->plotLayout()->simplify();

    PrepareAxis(Chart1->xAxis, QStringLiteral("Time (sec)"));
    Chart1->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TTimeTicker(this)));
    PrepareAxis(Chart1->yAxis, QStringLiteral("Traction (N)"));
    PrepareAxis(Chart1->yAxis2, QStringLiteral("Servo (%)"));
    Chart1->yAxis2->grid()->setVisible(false);
    VoltageAxis = Chart1->axisRect()->addAxis(QCPAxis::atRight);
    PrepareAxis(VoltageAxis, QStringLiteral("Voltage (V)"));
    VoltageAxis->grid()->setVisible(false);
    // The grid of the time and traction axes, drawn straight into the
    // pixels on screen.
    new TPixelGrid(Chart1, {Chart1->xAxis, Chart1->yAxis});
    Chart1->xAxis->grid()->setVisible(false);
    Chart1->yAxis->grid()->setVisible(false);
    VoltageAxis->setLabelColor(Qt::black);

    // Rubber-band zoom; panning while the space bar is held.
    Chart1->setSelectionRectMode(QCP::srmCustom);
    Chart1->axisRect()->setRangeDragAxes({Chart1->xAxis}, {Chart1->yAxis, Chart1->yAxis2});
    Chart1->axisRect()->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    connect(Chart1->selectionRect(), &QCPSelectionRect::accepted, this,
            [this](const QRect& rect, QMouseEvent*) { Chart1Zoom(rect); });
    connect(Chart1, &QCustomPlot::mouseMove, this, [this](QMouseEvent* e) {
        if (panning_ && (e->buttons() & Qt::LeftButton))
            dragged_ = true;
    });
    connect(Chart1, &QCustomPlot::mouseRelease, this, [this](QMouseEvent*) {
        if (panning_ && dragged_) {
            dragged_ = false;
            Chart1Scroll();
        }
    });

    PopupChart = new QMenu(this);
    PopupChart->setObjectName(QStringLiteral("PopupChart"));
    mnuCancelZoom = PopupChart->addAction(QStringLiteral("Cancel Zoom"), this, &TChartView::UndoZoom);
    Chart1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Chart1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupChart->popup(Chart1->mapToGlobal(pos)); });

    connect(CheckBox_RxCenter, &QCheckBox::toggled, this, [this] { CheckBox_RxCenterClick(); });
    connect(CheckBox_min_sec, &QCheckBox::toggled, this, [this] { CheckBox_min_secClick(); });
    connect(Chart1, &QCustomPlot::beforeReplot, this, &TChartView::RefreshDrawnData);
    Chart1->addLayer(QString::fromLatin1(kLabelLayer), Chart1->layer(QStringLiteral("main")), QCustomPlot::limAbove);

    connect(&model_, &TCurveModel::FileAdded, this, &TChartView::FileAdded);
    connect(&model_, &TCurveModel::FileRemoved, this, &TChartView::FileRemoved);
    connect(&model_, &TCurveModel::FileRenamed, this, &TChartView::FileRenamed);
    connect(&model_, &TCurveModel::CurveChanged, this, &TChartView::CurveChanged);
    connect(&model_, &TCurveModel::VisibilityChanged, this, &TChartView::VisibilityChanged);
    connect(&model_, &TCurveModel::LabelsChanged, this, &TChartView::LabelsChanged);
    for (TCurveHandle h : model_.Handles())
        FileAdded(h);
    LayOut();
}

TChartView::~TChartView() = default;

QCPAxis* TChartView::Axis(AxisId axis) const
{
    switch (axis) {
    case AxisLeft: return Chart1->yAxis;
    case AxisRight: return Chart1->yAxis2;
    case AxisVoltage: return VoltageAxis;
    case AxisBottom: break;
    }
    return Chart1->xAxis;
}

QCPGraph* TChartView::Series(TCurveHandle h, int slot) const
{
    auto it = files_.find(h);
    return it == files_.end() || slot < 0 || slot >= kSlotCount ? nullptr : it->second.Graphs[slot];
}

TChartLabels* TChartView::LabelLayer(TCurveHandle h) const
{
    auto it = files_.find(h);
    return it == files_.end() ? nullptr : it->second.Labels;
}

void TChartView::FileAdded(TCurveHandle h)
{
    const TCurveFile* file = model_.File(h);
    if (!file || files_.count(h))
        return;
    TFileGraphs& fg = files_[h];
    for (int k = 0; k < kSlotCount; ++k) {
        const TCurve& c = file->Curves[k];
        const TCurveSlotInfo& slot = CurveSlot(k);
        QCPGraph* g = slot.Points ? static_cast<QCPGraph*>(new TMarkGraph(Chart1->xAxis, Axis(slot.Axis)))
                                  : new TLineGraph(Chart1->xAxis, Axis(slot.Axis));
        const QColor colour = QColor::fromRgb(c.Rgb);
        g->setPen(QPen(colour));
        g->setName(file->ShortName + QString::fromLatin1(slot.TitleSuffix));
        g->setAdaptiveSampling(false); // the points come reduced already
        g->setVisible(c.Visible);
        g->removeFromLegend();
        if (slot.Points) {
            g->setLineStyle(QCPGraph::lsNone);
            g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, colour, colour, 9));
        }
        fg.Graphs[k] = g;
        drawn_[g] = TDrawn{};
    }
    fg.Labels = new TChartLabels(Chart1, QString::fromLatin1(kLabelLayer), model_, h);
    ApplySeriesStyle(h);
    LabelsChanged(h);
    RebuildLegend();
    RescaleAxes();
    Replot();
}

void TChartView::FileRenamed(TCurveHandle h)
{
    const TCurveFile* file = model_.File(h);
    auto it = files_.find(h);
    if (!file || it == files_.end())
        return;
    for (int k = 0; k < kSlotCount; ++k)
        it->second.Graphs[k]->setName(file->ShortName + QString::fromLatin1(CurveSlot(k).TitleSuffix));
    RebuildLegend();
    Replot();
}

void TChartView::FileRemoved(TCurveHandle h)
{
    auto it = files_.find(h);
    if (it == files_.end())
        return;
    delete it->second.Labels;
    for (QCPGraph* g : it->second.Graphs) {
        drawn_.erase(g);
        memos_.erase(g);
        Chart1->removeGraph(g);
    }
    files_.erase(it);
    RebuildLegend();
    RescaleAxes();
    Replot();
}

void TChartView::CurveChanged(TCurveHandle h, int slot)
{
    if (QCPGraph* g = Series(h, slot))
        drawn_[g].Dirty = true;
    if (slot == SlotAnnot)
        LabelsChanged(h);
    RescaleAxes();
    Replot();
}

void TChartView::VisibilityChanged(TCurveHandle h, int slot, bool visible)
{
    QCPGraph* g = Series(h, slot);
    if (!g)
        return;
    g->setVisible(visible);
    drawn_[g].Dirty = true;
    if (slot == SlotAnnot)
        files_[h].Labels->setVisible(visible);
    RebuildLegend();
    RescaleAxes();
    Replot();
}

void TChartView::LabelsChanged(TCurveHandle h)
{
    auto it = files_.find(h);
    const TCurve* annot = model_.Curve(h, SlotAnnot);
    if (it == files_.end() || !annot)
        return;
    it->second.Labels->Changed();
    it->second.Labels->setVisible(annot->Visible);
    Replot();
}

void TChartView::RebuildLegend()
{
    Chart1->legend->clearItems();
    for (const auto& [h, fg] : files_)
        for (QCPGraph* g : fg.Graphs)
            if (g->visible())
                g->addToLegend();
}

namespace {

// Scratch of one thread of the reduction.
struct TReduceScratch {
    std::vector<std::int32_t> Indices, Kept;
    TReducedPlaces Places;
    std::vector<double> MarkX, MarkY;
};

// The points to draw of curve `c` over the file's times [lower, upper] on
// `pixels` columns; the marks of a point curve (cell > 0: the shape's
// width) thinned to one per cell.
QVector<QCPGraphData> DrawnPoints(const TCurve& c, double lower, double upper, int pixels, const QCPAxis* keyAxis,
                                  const QCPAxis* valueAxis, double cell, TReduceMemo& memo, TReduceScratch& s)
{
    if (c.Count() == 0)
        return {};
    ReduceCurveForView(c, lower, upper, pixels, s.Indices, &s.Places, &memo);
    const std::vector<double>& x = s.Places.X;
    const std::vector<double>& y = s.Places.Y;
    if (cell > 0) {
        // Both axes are linear: a pixel is an offset and a scale away.
        const TAxisMap kx = MapOf(keyAxis), vy = MapOf(valueAxis);
        s.MarkX.resize(x.size());
        s.MarkY.resize(x.size());
        for (std::size_t m = 0; m < x.size(); ++m) {
            s.MarkX[m] = kx(c.DrawnX(x[m]));
            s.MarkY[m] = vy(c.DrawnY(y[m]));
        }
        ThinMarks(s.MarkX, s.MarkY, cell, s.Kept);
        QVector<QCPGraphData> points(static_cast<int>(s.Kept.size()));
        for (std::size_t k = 0; k < s.Kept.size(); ++k) {
            const std::size_t m = static_cast<std::size_t>(s.Kept[k]);
            points[static_cast<int>(k)] = QCPGraphData(c.DrawnX(x[m]), c.DrawnY(y[m]));
        }
        return points;
    }
    QVector<QCPGraphData> points(static_cast<int>(x.size()));
    QCPGraphData* out = points.data();
    for (std::size_t m = 0; m < x.size(); ++m)
        out[m] = QCPGraphData(c.DrawnX(x[m]), c.DrawnY(y[m]));
    return points;
}

} // namespace

void TChartView::RefreshDrawnData()
{
    auto* plot = static_cast<TPlot*>(Chart1);
    plot->UseImageBuffers();
    const int pixels = std::max(1, Chart1->axisRect()->width());
    const QCPRange keys = Chart1->xAxis->range();
    // The curves whose view changed, reduced side by side.
    struct TJob {
        QCPGraph* Graph;
        const TCurve* Curve;
        TDrawn Want;
        double Cell;
        TReduceMemo* Memo;
        QVector<QCPGraphData> Points;
    };
    std::vector<TJob> jobs;
    for (auto& [h, fg] : files_) {
        for (int k = 0; k < kSlotCount; ++k) {
            QCPGraph* g = fg.Graphs[k];
            const TCurve* c = model_.Curve(h, k);
            if (!g->visible() || !c)
                continue;
            TDrawn want{c->FileX(keys.lower), c->FileX(keys.upper), pixels};
            want.Dirty = false;
            if (CurveSlot(k).Points) {
                want.ValueLower = g->valueAxis()->range().lower;
                want.ValueUpper = g->valueAxis()->range().upper;
                want.ValuePixels = Chart1->axisRect()->height();
            }
            if (drawn_[g] == want)
                continue;
            jobs.push_back({g, c, want, CurveSlot(k).Points ? g->scatterStyle().size() : 0.0, &memos_[g], {}});
        }
    }
    // The longest first, so that the threads end together.
    std::stable_sort(jobs.begin(), jobs.end(), [](const TJob& a, const TJob& b) {
        return a.Curve->Count() * (a.Curve->Index ? 2 : 1) > b.Curve->Count() * (b.Curve->Index ? 2 : 1);
    });
    std::vector<TReduceScratch> scratch(static_cast<std::size_t>(plot->Workers()));
    plot->ForEachBeforeReplot(static_cast<int>(jobs.size()), [&](int i, int worker) {
        TJob& j = jobs[static_cast<std::size_t>(i)];
        j.Points = DrawnPoints(*j.Curve, j.Want.Lower, j.Want.Upper, pixels, Chart1->xAxis, j.Graph->valueAxis(), j.Cell,
                               *j.Memo, scratch[static_cast<std::size_t>(worker)]);
    });
    for (TJob& j : jobs) {
        drawn_[j.Graph] = j.Want;
        // A curve with a point in every column is a band: drawn without
        // smoothing, it looks the same at a fraction of the cost.
        const bool sparse = j.Points.size() < pixels;
        j.Graph->setAntialiased(sparse);
        j.Graph->setAntialiasedScatters(sparse);
        j.Graph->data()->set(j.Points, true);
    }
}

void TChartView::ApplySeriesStyle(TCurveHandle h)
{
    auto it = files_.find(h);
    if (it == files_.end())
        return;
    const TGraphSetupRec& gs = setup_;
    auto& g = it->second.Graphs;
    for (int k = 0; k < kSlotCount; ++k) {
        const TCurveSlotInfo& slot = CurveSlot(k);
        if (slot.Points)
            StylePoints(g[k], gs.*slot.Style, gs.*slot.Size);
        else
            StyleLine(g[k], gs.*slot.Style, gs.*slot.Size);
    }
    it->second.Labels->SetBottomPadding(2 + static_cast<int>(g[SlotAnnot]->scatterStyle().size() / 2));
}

void TChartView::ApplyAxisSetup()
{
    for (AxisId axis : {AxisLeft, AxisRight, AxisVoltage, AxisBottom}) {
        const TAxisSetup s = AxisSetupOf(setup_, axis);
        automatic_[axis] = s.Automatic;
        if (!s.Automatic)
            Axis(axis)->setRange(s.Range.Min, s.Range.Max);
    }
    RescaleAxes();
}

void TChartView::ChangeGraphSettings(const std::vector<TCurveHandle>& files)
{
    ApplyAxisSetup();
    for (TCurveHandle h : files) {
        if (!model_.Has(h))
            throw std::runtime_error("Pointer to data not found in ChangeGraphSettings!");
        ApplySeriesStyle(h);
    }
    Replot();
}

void TChartView::RescaleAxes()
{
    for (int a = 0; a < kAxisCount; ++a) {
        if (!automatic_[a])
            continue;
        const TRange r = model_.Extent(static_cast<AxisId>(a));
        if (!r.Valid)
            continue;
        const TAxisRange drawn = AutomaticRange(r.Lower, r.Upper);
        Axis(static_cast<AxisId>(a))->setRange(drawn.Min, drawn.Max);
    }
}

TAxisRange TChartView::Range(AxisId axis) const
{
    const QCPRange r = Axis(axis)->range();
    return {r.lower, r.upper};
}

void TChartView::SetRange(AxisId axis, const TAxisRange& range)
{
    automatic_[axis] = false;
    Axis(axis)->setRange(range.Min, range.Max);
}

void TChartView::Replot(bool immediate)
{
    Chart1->replot(immediate ? QCustomPlot::rpImmediateRefresh : QCustomPlot::rpQueuedReplot);
}

void TChartView::CheckBox_RxCenterClick() { model_.SetRxCentre(CheckBox_RxCenter->isChecked()); }

void TChartView::SetLegendVisible(bool visible)
{
    if (visible == legendShown_)
        return;
    legendShown_ = visible;
    QCPLayoutGrid* layout = Chart1->plotLayout();
    if (visible) {
        layout->insertRow(0);
        layout->addElement(0, 0, Chart1->legend);
        layout->setRowStretchFactor(0, 0.001);
    } else {
        layout->take(Chart1->legend);
        layout->simplify();
    }
    Chart1->legend->setVisible(visible);
    Replot();
}

void TChartView::CheckBox_min_secClick()
{
    QCPAxis* x = Chart1->xAxis;
    x->setTickLabels(false);
    x->setTickLabels(true);
    x->setLabel(CheckBox_min_sec->isChecked() ? QStringLiteral("Time (min:sec)") : QStringLiteral("Time (sec)"));
    Replot();
}

QString TChartView::Chart1GetAxisLabel(const QCPAxis* axis, const QString& text) const
{
    if (axis != Chart1->xAxis || !CheckBox_min_sec->isChecked())
        return text;
    return MinSecLabel(text);
}

void TChartView::ShowError(const QString& where, const std::exception& e) const
{
    Messages().Error(where + QStringLiteral("\r") + QString::fromLocal8Bit(e.what()));
}

void TChartView::LayOut()
{
    const int top = topStrip_->sizeHint().height();
    topStrip_->setGeometry(0, 0, width(), top);
    const int bar = ScrollBar2->sizeHint().width();
    const int barH = ScrollBar1->sizeHint().height();
    Chart1->setGeometry(0, top, std::max(10, width() - bar - 1), std::max(10, height() - top - barH - 1));
    Chart1Resize();
}

void TChartView::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    LayOut();
}

bool TChartView::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == Chart1 && e->type() == QEvent::Resize)
        Chart1Resize();
    return QWidget::eventFilter(watched, e);
}

} // namespace qv
