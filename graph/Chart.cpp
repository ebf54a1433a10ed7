#include "graph/Chart.h"

#include "base/Cp1250.h"
#include "base/DeviceSettings.h"
#include "graph/GraphSetup.h"
#include "graph/GraphStyle.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <qcustomplot.h>

namespace qv {

namespace {

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

void SetPoints(QCPGraph* g, const TSeriesPoints& p)
{
    const bool sorted = std::is_sorted(p.Keys.begin(), p.Keys.end());
    g->setData(p.Keys, p.Values, sorted);
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

} // namespace

TSeriesPoints LinePoints(const std::vector<double>& time, const std::vector<double>& values, double scale,
                         double shift)
{
    TSeriesPoints p;
    const std::size_t n = std::min(time.size(), values.size());
    p.Keys.resize(static_cast<int>(n));
    p.Values.resize(static_cast<int>(n));
    for (std::size_t i = 0; i < n; ++i) {
        p.Keys[static_cast<int>(i)] = time[i];
        p.Values[static_cast<int>(i)] = values[i] * scale + shift;
    }
    return p;
}

TSeriesPoints MarkerPoints(const std::vector<double>& time, const std::vector<double>& altitude,
                           const std::vector<std::int32_t>& markers)
{
    TSeriesPoints p;
    const std::size_t n = std::min({time.size(), altitude.size(), markers.size()});
    for (std::size_t i = 0; i < n; ++i)
        if (markers[i] == 1) {
            p.Keys.push_back(time[i]);
            p.Values.push_back(altitude[i]);
        }
    return p;
}

TChartView::TChartView(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* top = new QHBoxLayout;
    top->setContentsMargins(4, 2, 4, 0);
    CheckBox_RxCenter = new QCheckBox(QStringLiteral("Servo Center"), this);
    CheckBox_RxCenter->setObjectName(QStringLiteral("CheckBox_RxCenter"));
    top->addWidget(CheckBox_RxCenter);
    top->addStretch(1);
    layout->addLayout(top);

    Chart1 = new QCustomPlot(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    layout->addWidget(Chart1, 1);
    Chart1->setNoAntialiasingOnDrag(true);
    // Legend (hidden until switched on): at the top, one row per file.
    Chart1->legend->setVisible(false);
    Chart1->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    Chart1->legend->setWrap(kSlotCount);
    Chart1->legend->setIconSize(16, 10);
    Chart1->legend->setMargins(QMargins(5, 5, 5, 5));
    Chart1->legend->setBorderPen(QPen(QColor(192, 192, 192)));
    Chart1->legend->setBrush(QColor(255, 255, 255, 220));
    QFont legendFont = Chart1->legend->font();
    legendFont.setPointSize(8);
    Chart1->legend->setFont(legendFont);
    Chart1->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignHCenter);

    PrepareAxis(Chart1->xAxis, QStringLiteral("Time (sec)"));
    PrepareAxis(Chart1->yAxis, QStringLiteral("Traction (N)"));
    PrepareAxis(Chart1->yAxis2, QStringLiteral("Servo (%)"));
    Chart1->yAxis2->grid()->setVisible(false);
    VoltageAxis = Chart1->axisRect()->addAxis(QCPAxis::atRight);
    PrepareAxis(VoltageAxis, QStringLiteral("Voltage (V)"));
    VoltageAxis->grid()->setVisible(false);
    VoltageAxis->setLabelColor(Qt::black);

    connect(CheckBox_RxCenter, &QCheckBox::toggled, this, [this] { CheckBox_RxCenterClick(); });
    connect(Chart1, &QCustomPlot::beforeReplot, this, [this] { ChooseDetail(); });
}

void TChartView::SetLineData(QCPGraph* graph, const TSeriesPoints& p)
{
    const int n = std::min(p.Keys.size(), p.Values.size());
    QVector<QCPGraphData> points(n);
    for (int i = 0; i < n; ++i)
        points[i] = QCPGraphData(p.Keys[i], p.Values[i]);
    SetLineDetail(graph, points, std::is_sorted(p.Keys.begin(), p.Keys.end()));
}

void TChartView::SetLineData(QCPGraph* graph, const std::vector<double>& time, const std::vector<double>& values,
                             double scale, double shift, double dx)
{
    const int n = static_cast<int>(std::min(time.size(), values.size()));
    QVector<QCPGraphData> points(n);
    bool sorted = true;
    for (int i = 0; i < n; ++i) {
        points[i] = QCPGraphData(time[i] + dx, values[i] * scale + shift);
        if (i > 0 && time[i] < time[i - 1])
            sorted = false;
    }
    SetLineDetail(graph, points, sorted);
}

void TChartView::SetLineDetail(QCPGraph* graph, QVector<QCPGraphData>& points, bool sorted)
{
    const int n = points.size();
    TDetail& d = detail_[graph];
    d.Full = QSharedPointer<QCPGraphDataContainer>::create();
    d.Full->set(points, sorted);
    d.Coarse.reset();
    d.UsingCoarse = false;
    if (n > 8 * kCoarseBlock) {
        // The first point, then per block its lowest and highest point in
        // time order, then the last point: same ranges, same look once a
        // pixel holds several blocks.
        QVector<QCPGraphData> coarse;
        coarse.reserve(2 * (n / kCoarseBlock) + 4);
        auto it = d.Full->constBegin();
        const auto end = d.Full->constEnd();
        coarse.push_back(*it);
        while (it != end) {
            auto blockEnd = end - it > kCoarseBlock ? it + kCoarseBlock : end;
            auto lo = it, hi = it;
            for (auto j = it; j != blockEnd; ++j) {
                if (j->value < lo->value)
                    lo = j;
                if (j->value > hi->value)
                    hi = j;
            }
            if (lo > hi)
                std::swap(lo, hi);
            coarse.push_back(*lo);
            if (hi != lo)
                coarse.push_back(*hi);
            it = blockEnd;
        }
        coarse.push_back(*(end - 1));
        d.Coarse = QSharedPointer<QCPGraphDataContainer>::create();
        d.Coarse->set(coarse, true);
    }
    graph->setData(d.Full);
}

void TChartView::SetPointData(QCPGraph* graph, const TSeriesPoints& p)
{
    const int n = std::min(p.Keys.size(), p.Values.size());
    QVector<QCPGraphData> points(n);
    for (int i = 0; i < n; ++i)
        points[i] = QCPGraphData(p.Keys[i], p.Values[i]);
    TDetail& d = detail_[graph];
    d.Full = QSharedPointer<QCPGraphDataContainer>::create();
    d.Full->set(points, std::is_sorted(p.Keys.begin(), p.Keys.end()));
    d.Coarse.reset();
    d.UsingCoarse = false;
    d.Points = true;
    d.ViewMadeFor = QRectF();
    graph->setData(d.Full);
}

void TChartView::MakePointView(TDetail& d, const QCPGraph* g, const QRectF& view, const QSize& pixels)
{
    // Dense marks overlap: a cell of a third of a mark holds one of them.
    const int cell = std::max(1, static_cast<int>(g->scatterStyle().size() / 3));
    const int w = std::max(1, pixels.width() / cell);
    const int h = std::max(1, pixels.height() / cell);
    // Rows -1 and h stand for everything below and above the view.
    std::vector<unsigned char> taken(static_cast<std::size_t>(w) * (h + 2), 0);
    QVector<QCPGraphData> kept;
    const double kx = w / view.width();
    const double ky = h / view.height();
    auto it = d.Full->findBegin(view.left());
    const auto end = d.Full->findEnd(view.right());
    for (; it != end; ++it) {
        const int px = std::clamp(static_cast<int>((it->key - view.left()) * kx), 0, w - 1);
        const int py = std::clamp(static_cast<int>((it->value - view.top()) * ky), -1, h) + 1;
        unsigned char& cell = taken[static_cast<std::size_t>(py) * w + px];
        if (!cell) {
            cell = 1;
            kept.push_back(*it);
        }
    }
    d.Coarse = QSharedPointer<QCPGraphDataContainer>::create();
    d.Coarse->set(kept, true);
    d.ViewMadeFor = view;
    d.PixelsMadeFor = pixels;
}

void TChartView::ChooseDetail()
{
    for (auto& [graph, d] : detail_) {
        auto* g = const_cast<QCPGraph*>(graph);
        if ((!d.Coarse && !d.Points) || !g->visible())
            continue;
        const QCPRange range = g->keyAxis()->range();
        const auto count = d.Full->findEnd(range.upper) - d.Full->findBegin(range.lower);
        QSize pixels = g->keyAxis()->axisRect()->size();
        if (pixels.width() < 10 || pixels.height() < 10) // not laid out yet
            pixels = QSize(std::max(10, Chart1->width()), std::max(10, Chart1->height()));
        if (d.Points) {
            const bool dense = count > 4 * pixels.width();
            if (!dense) {
                if (d.UsingCoarse) {
                    d.UsingCoarse = false;
                    g->setData(d.Full);
                }
                continue;
            }
            const QCPRange values = g->valueAxis()->range();
            const QRectF view(range.lower, values.lower, range.size(), values.size());
            if (!d.Coarse || view != d.ViewMadeFor || pixels != d.PixelsMadeFor) {
                MakePointView(d, g, view, pixels);
                g->setData(d.Coarse);
            } else if (!d.UsingCoarse) {
                g->setData(d.Coarse);
            }
            d.UsingCoarse = true;
            continue;
        }
        const bool coarse = count > 2 * kCoarseBlock * pixels.width();
        if (coarse != d.UsingCoarse) {
            d.UsingCoarse = coarse;
            g->setData(coarse ? d.Coarse : d.Full);
        }
    }
}

void TChartView::UseFullData()
{
    for (auto& [graph, d] : detail_)
        if (d.UsingCoarse) {
            d.UsingCoarse = false;
            const_cast<QCPGraph*>(graph)->setData(d.Full);
        }
}

QSharedPointer<QCPGraphDataContainer> TChartView::FullData(const QCPGraph* graph) const
{
    auto it = detail_.find(graph);
    return it != detail_.end() ? it->second.Full : graph->data();
}

bool TChartView::DrawsCoarse(const QCPGraph* graph) const
{
    auto it = detail_.find(graph);
    return it != detail_.end() && it->second.UsingCoarse;
}

void TChartView::ShiftSeries(TDataBlock& block, int slot, double dx, double dy)
{
    QCPGraph* g = Series(block, slot);
    if (!g)
        return;
    auto shift = [dx, dy](QCPGraphDataContainer& c) {
        for (auto it = c.begin(); it != c.end(); ++it) {
            it->key += dx;
            it->value += dy;
        }
    };
    auto d = detail_.find(g);
    if (d != detail_.end()) {
        shift(*d->second.Full);
        if (d->second.Points) {
            d->second.Coarse.reset(); // made again for the next view
            d->second.UsingCoarse = false;
            g->setData(d->second.Full);
        } else if (d->second.Coarse) {
            shift(*d->second.Coarse);
        }
    } else {
        shift(*g->data());
    }
    if (slot == SlotAnnot) {
        auto f = files_.find(&block);
        for (TAnnotPoint& a : f->second.Annots) {
            a.X += dx;
            a.Y += dy;
            if (a.Label)
                a.Label->position->setCoords(a.X, a.Y);
        }
    }
}

TChartView::~TChartView() = default;

QColor TChartView::NextColour() const
{
    std::vector<std::uint32_t> used;
    for (int i = 0; i < Chart1->graphCount(); ++i)
        used.push_back(Chart1->graph(i)->pen().color().rgb() & 0xFFFFFFu);
    return QColor::fromRgb(NextFreeSeriesColour(used));
}

std::uint32_t TChartView::CreateSeries(TDataBlock& block, const QString& shortName)
{
    RemoveSeries(block);
    TFileSeries& fs = files_[&block];
    fs.Block = &block;
    QCPAxis* valueAxes[kSlotCount] = {Chart1->yAxis, Chart1->yAxis2, VoltageAxis, Chart1->yAxis, Chart1->yAxis};
    for (int k = 0; k < kSlotCount; ++k) {
        TSeriesSlot& slot = block.Slots[k];
        QCPGraph* g = Chart1->addGraph(Chart1->xAxis, valueAxes[k]);
        const QColor colour = slot.ColorIndex < kCurveColourCount
                                  ? QColor::fromRgb(SwapRedBlue(kCurveColours[slot.ColorIndex]))
                                  : NextColour();
        g->setPen(QPen(colour));
        g->setName(shortName + QString::fromLatin1(kSlotTitles[k]));
        g->setAdaptiveSampling(true);
        g->setVisible(false);
        if (k >= SlotMark) {
            g->setLineStyle(QCPGraph::lsNone);
            g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, colour, colour, 9));
        }
        fs.Graphs[k] = g;
        slot.Series = g;
    }
    const auto& d = block.Data;
    SetLineData(fs.Graphs[SlotAlt], d[ArrTime], d[ArrAltitude]);
    FillRxSeries(block);
    SetLineData(fs.Graphs[SlotPowS], d[ArrTime], d[ArrVoltage]);
    SetPointData(fs.Graphs[SlotMark], MarkerPoints(d[ArrTime], d[ArrAltitude], block.Markers));
    for (const TAnotace& a : block.Annotations)
        fs.Annots.push_back({a.Time, a.Altitude, a.Text, nullptr});
    FillAnnotSeries(fs);
    ApplySeriesStyle(block);
    RescaleAxes();
    Replot();
    return SwapRedBlue(fs.Graphs[SlotAlt]->pen().color().rgb() & 0xFFFFFFu);
}

void TChartView::FillRxSeries(TDataBlock& block)
{
    auto it = files_.find(&block);
    if (it == files_.end())
        return;
    TSeriesSlot& slot = block.Slots[SlotRx];
    const bool centre = CheckBox_RxCenter->isChecked();
    const TDeviceSettings settings = DeviceSettings ? DeviceSettings() : TDeviceSettings{};
    TRxMapping m = RxMapping(centre, settings.DeflectionMin, settings.DeflectionMax, block.RxOffsetY);
    slot.OffsetY = centre ? 0.0 : block.RxOffsetY;
    SetLineData(it->second.Graphs[SlotRx], block.Data[ArrTime], block.Data[ArrRx], m.Scale, m.Shift,
                slot.OffsetEnabled ? slot.OffsetX : 0.0);
}

void TChartView::FillAnnotSeries(TFileSeries& fs)
{
    QCPGraph* g = fs.Graphs[SlotAnnot];
    TSeriesPoints p;
    for (TAnnotPoint& a : fs.Annots) {
        p.Keys.push_back(a.X);
        p.Values.push_back(a.Y);
        if (!a.Label) {
            a.Label = new QCPItemText(Chart1);
            a.Label->position->setType(QCPItemPosition::ptPlotCoords);
            a.Label->position->setAxes(Chart1->xAxis, Chart1->yAxis);
            a.Label->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            a.Label->setClipToAxisRect(true);
            a.Label->setClipAxisRect(Chart1->axisRect());
            a.Label->setPen(Qt::NoPen);
            a.Label->setBrush(Qt::NoBrush);
            QFont f = a.Label->font();
            f.setPointSize(8);
            a.Label->setFont(f);
        }
        a.Label->position->setCoords(a.X, a.Y);
        a.Label->setText(FromCp1250(a.Text));
        a.Label->setPadding(QMargins(1, 1, 1, 2 + static_cast<int>(g->scatterStyle().size() / 2)));
        a.Label->setVisible(g->visible());
    }
    SetPoints(g, p);
}

void TChartView::ApplySeriesStyle(TDataBlock& block)
{
    auto it = files_.find(&block);
    if (it == files_.end())
        return;
    const TGraphSetupRec& gs = GraphSetup;
    auto& g = it->second.Graphs;
    StyleLine(g[SlotAlt], gs.AltitudeLStyle, gs.AltitudeLWidth);
    StyleLine(g[SlotRx], gs.RXLStyle, gs.RXLWidth);
    StyleLine(g[SlotPowS], gs.PowerSupLStyle, gs.PowerSupLWidth);
    StylePoints(g[SlotMark], gs.MarkerMarkStyle, gs.MarkerMarkSize);
    StylePoints(g[SlotAnnot], gs.AnnotMarkStyle, gs.AnnotMarkSize);
    for (TAnnotPoint& a : it->second.Annots)
        if (a.Label)
            a.Label->setPadding(QMargins(1, 1, 1, 2 + static_cast<int>(g[SlotAnnot]->scatterStyle().size() / 2)));
}

void TChartView::SetSeriesVisible(TDataBlock& block, int slot, bool visible)
{
    auto it = files_.find(&block);
    if (it == files_.end() || slot < 0 || slot >= kSlotCount)
        return;
    it->second.Graphs[slot]->setVisible(visible);
    if (slot == SlotAnnot)
        for (TAnnotPoint& a : it->second.Annots)
            if (a.Label)
                a.Label->setVisible(visible);
    RescaleAxes();
    Replot();
}

void TChartView::RemoveSeries(TDataBlock& block)
{
    auto it = files_.find(&block);
    if (it == files_.end())
        return;
    for (TAnnotPoint& a : it->second.Annots)
        if (a.Label)
            Chart1->removeItem(a.Label);
    for (QCPGraph* g : it->second.Graphs)
        if (g) {
            detail_.erase(g);
            Chart1->removeGraph(g);
        }
    for (auto& slot : block.Slots)
        slot.Series = nullptr;
    files_.erase(it);
    RescaleAxes();
    Replot();
}

std::vector<TAnotace> TChartView::AnnotationPoints(const TDataBlock& block) const
{
    std::vector<TAnotace> out;
    auto it = files_.find(&block);
    if (it == files_.end())
        return out;
    for (const TAnnotPoint& a : it->second.Annots)
        out.push_back({a.X, a.Y, a.Text});
    return out;
}

void TChartView::SetAnnotationPoints(TDataBlock& block, const std::vector<TAnotace>& points)
{
    auto it = files_.find(&block);
    if (it == files_.end())
        return;
    TFileSeries& fs = it->second;
    for (TAnnotPoint& a : fs.Annots)
        if (a.Label)
            Chart1->removeItem(a.Label);
    fs.Annots.clear();
    for (const TAnotace& a : points)
        fs.Annots.push_back({a.Time, a.Altitude, a.Text, nullptr});
    FillAnnotSeries(fs);
    Replot();
}

QCPGraph* TChartView::Series(const TDataBlock& block, int slot) const
{
    auto it = files_.find(&block);
    return it == files_.end() || slot < 0 || slot >= kSlotCount ? nullptr : it->second.Graphs[slot];
}

void TChartView::RescaleAxes()
{
    // Ranges come from all the points, not from what one view shows.
    UseFullData();
    const TGraphSetupRec& gs = GraphSetup;
    auto apply = [](QCPAxis* axis, bool automatic, double mn, double mx) {
        if (automatic) {
            axis->rescale(true);
        } else {
            if (!(mn < mx))
                mx = mn + 1;
            axis->setRange(mn, mx);
        }
    };
    apply(Chart1->yAxis, gs.AltitudeAuto, gs.AltitudeMin, gs.AltitudeMax);
    apply(Chart1->yAxis2, gs.RXAuto, gs.RXMin, gs.RXMax);
    apply(VoltageAxis, gs.PowerSupAuto, gs.PowerSupMin, gs.PowerSupMax);
    apply(Chart1->xAxis, gs.TimeAuto, gs.TimeMin, gs.TimeMax);
}

void TChartView::Replot(bool immediate)
{
    Chart1->replot(immediate ? QCustomPlot::rpImmediateRefresh : QCustomPlot::rpQueuedReplot);
}

void TChartView::CheckBox_RxCenterClick()
{
    for (auto& [key, fs] : files_)
        if (fs.Block)
            FillRxSeries(*fs.Block);
    RescaleAxes();
    Replot();
}

void TChartView::SetLegendVisible(bool visible)
{
    Chart1->legend->setVisible(visible);
    Replot();
}

} // namespace qv
