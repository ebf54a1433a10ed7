#include "graph/Measurement.h"

#include "graph/CurveTable.h"
#include "graph/GraphPage.h"
#include "graph/MeasurePanel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>
#include <qcustomplot.h>

namespace qv {

namespace {

// The crosshair's colour 0x00FFFF (0xBBGGRR): yellow.
const QColor kCrosshairColour(0xFF, 0xFF, 0x00);
const QColor kCursorColour(0x80, 0x00, 0x80);
constexpr int kGrabPixels = 4; // a press this close to a cursor drags it
constexpr double kReachPixels = 8; // a line this close to a right click is under the pointer

QCPItemStraightLine* VerticalLine(QCustomPlot* plot, const QPen& pen)
{
    auto* line = new QCPItemStraightLine(plot);
    line->setLayer(QStringLiteral("measure"));
    line->setPen(pen);
    line->setSelectable(false);
    line->setVisible(false);
    return line;
}

} // namespace

TMeasurement::TMeasurement(TGraphPage& page) : QObject(&page), page_(page)
{
    QCustomPlot* plot = page_.Chart->Chart1;
    plot->addLayer(QStringLiteral("measure"), plot->layer(QStringLiteral("main")), QCustomPlot::limAbove);
    layer_ = plot->layer(QStringLiteral("measure"));
    // A buffer of its own only while measuring (the crosshair then redraws
    // alone); otherwise the layer shares the chart's buffer, which saves
    // clearing and composing two more buffers at every replot.
    layer_->setMode(QCPLayer::lmLogical);
    crossV_ = VerticalLine(plot, QPen(kCrosshairColour, 1));
    crossH_ = VerticalLine(plot, QPen(kCrosshairColour, 1));
    for (QCPItemStraightLine* l : {crossV_, crossH_})
        for (QCPItemPosition* p : {l->point1, l->point2})
            p->setType(QCPItemPosition::ptAbsolute);
    for (int i = 0; i < 2; ++i) {
        lines_[i] = VerticalLine(plot, QPen(kCursorColour, 1, Qt::DashLine));
        for (QCPItemPosition* p : {lines_[i]->point1, lines_[i]->point2}) {
            p->setAxes(plot->xAxis, plot->yAxis);
            p->setAxisRect(plot->axisRect());
            p->setTypeX(QCPItemPosition::ptPlotCoords);
            p->setTypeY(QCPItemPosition::ptAxisRectRatio);
        }
        auto* letter = new QCPItemText(plot);
        letter->setLayer(QStringLiteral("measure"));
        letter->setSelectable(false);
        letter->position->setAxes(plot->xAxis, plot->yAxis);
        letter->position->setAxisRect(plot->axisRect());
        letter->position->setTypeX(QCPItemPosition::ptPlotCoords);
        letter->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        letter->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        letter->setText(i == 0 ? QStringLiteral("A") : QStringLiteral("B"));
        letter->setColor(kCursorColour);
        QFont f = letter->font();
        f.setBold(true);
        letter->setFont(f);
        letter->setPadding(QMargins(3, 2, 3, 2));
        letter->setVisible(false);
        letters_[i] = letter;
    }
    plot->setMouseTracking(true);
    plot->installEventFilter(this);

    page_.TBMeasure->setEnabled(true);
    connect(page_.TBMeasure, &QToolButton::clicked, this, &TMeasurement::TBMeasureClick);
    // The table's own copy button and the file's name.
    TBCopyTable = page_.PanelOdecet->TBCopyTable;
    LabelTableFile = page_.PanelOdecet->LabelTableFile;
    connect(page_.PanelOdecet, &TMeasurePanel::CopyRequested, this, &TMeasurement::CopyTableClick);

    // The chart's pop-up: annotations at the point clicked.
    QMenu* popup = page_.Chart->PopupChart;
    popup->addSeparator();
    pmnuAnnotModifi = popup->addAction(QStringLiteral("Modify Annotations"));
    pmnuAnnotModifi->setObjectName(QStringLiteral("pmnuAnnotModifi"));
    pmnuAnnotNew = popup->addAction(QStringLiteral("New Annotation"));
    pmnuAnnotNew->setObjectName(QStringLiteral("pmnuAnnotNew"));
    // Where several flights lie under the pointer, "New Annotation" asks
    // which one.
    PopupAnnotNewFor = new QMenu(QStringLiteral("New Annotation"), popup);
    PopupAnnotNewFor->setObjectName(QStringLiteral("PopupAnnotNewFor"));
    popup->addMenu(PopupAnnotNewFor);
    PopupAnnotNewFor->menuAction()->setVisible(false);
    connect(plot, &QWidget::customContextMenuRequested, this, &TMeasurement::ChartPopup);
    connect(pmnuAnnotModifi, &QAction::triggered, this, [this] { emit AnnotModifyRequested(popupFile_); });
    connect(pmnuAnnotNew, &QAction::triggered, this,
            [this] { emit AnnotNewRequested(popupFile_, popupTime_, popupAltitude_); });

    TCurveModel& model = page_.Chart->Model();
    connect(&model, &TCurveModel::CurveChanged, this, [this](TCurveHandle h, int) {
        if (h == page_.ActualFile())
            UpdateTable();
    });
    connect(&model, &TCurveModel::FileRemoved, this, [this](TCurveHandle) { UpdateTable(); });
    connect(&model, &TCurveModel::FileRenamed, this, [this](TCurveHandle) { UpdateTable(); });
    connect(page_.Chart->CheckBox_min_sec, &QCheckBox::toggled, this, &TMeasurement::UpdateTable);
    UpdateTable();
}

bool TMeasurement::InPlot(const QPoint& pos) const
{
    return page_.Chart->Chart1->axisRect()->rect().contains(pos);
}

double TMeasurement::TimeAt(int x) const { return page_.Chart->Chart1->xAxis->pixelToCoord(x); }

int TMeasurement::PixelOf(double t) const
{
    return static_cast<int>(std::lround(page_.Chart->Chart1->xAxis->coordToPixel(t)));
}

void TMeasurement::TBMeasureClick()
{
    active_ = page_.TBMeasure->isChecked();
    dragging_ = -1;
    layer_->setMode(active_ ? QCPLayer::lmBuffered : QCPLayer::lmLogical);
    page_.Chart->Replot();
    if (!active_) {
        cursor_ = {};
        HideCrosshair();
        page_.LabelCursor->clear();
        UpdateTable();
    }
    ShowCursors();
}

void TMeasurement::SetCursor(int which, std::optional<double> t)
{
    if (which < 0 || which > 1)
        return;
    cursor_[which] = t;
    ShowCursors();
    UpdateTable();
}

void TMeasurement::ShowCursors()
{
    for (int i = 0; i < 2; ++i) {
        const bool shown = active_ && cursor_[i].has_value();
        lines_[i]->setVisible(shown);
        letters_[i]->setVisible(shown);
        if (!shown)
            continue;
        lines_[i]->point1->setCoords(*cursor_[i], 0);
        lines_[i]->point2->setCoords(*cursor_[i], 1);
        letters_[i]->position->setCoords(*cursor_[i], 0);
    }
    Redraw();
}

void TMeasurement::Redraw()
{
    if (layer_->mode() != QCPLayer::lmBuffered) {
        page_.Chart->Replot();
        return;
    }
    layer_->replot();
    page_.Chart->Chart1->update();
}

void TMeasurement::HideCrosshair()
{
    if (!crossV_->visible())
        return;
    crossV_->setVisible(false);
    crossH_->setVisible(false);
    Redraw();
}

void TMeasurement::MouseMove(const QPoint& pos, bool leftDown)
{
    if (dragging_ >= 0 && leftDown) {
        const QRect r = page_.Chart->Chart1->axisRect()->rect();
        cursor_[dragging_] = TimeAt(qBound(r.left(), pos.x(), r.right()));
        ShowCursors();
        UpdateTable();
    }
    if (!InPlot(pos)) {
        HideCrosshair();
        page_.LabelCursor->clear();
        return;
    }
    crossV_->point1->setCoords(pos.x(), 0);
    crossV_->point2->setCoords(pos.x(), 1);
    crossH_->point1->setCoords(0, pos.y());
    crossH_->point2->setCoords(1, pos.y());
    crossV_->setVisible(true);
    crossH_->setVisible(true);
    Redraw();
    page_.LabelCursor->setText(CursorReadout(page_.Chart->Model(), page_.ActualFile(), TimeAt(pos.x()),
                                             page_.Chart->CheckBox_min_sec->isChecked()));
}

void TMeasurement::MousePress(const QPoint& pos)
{
    // A press on a cursor drags it; else A is set, then B, then the nearer
    // of the two moves here (and can be dragged on).
    int nearest = -1;
    int best = std::numeric_limits<int>::max();
    for (int i = 0; i < 2; ++i)
        if (cursor_[i]) {
            const int d = std::abs(PixelOf(*cursor_[i]) - pos.x());
            if (d < best) {
                best = d;
                nearest = i;
            }
        }
    if (nearest >= 0 && best <= kGrabPixels) {
        dragging_ = nearest;
        return;
    }
    const int which = !cursor_[0] ? 0 : !cursor_[1] ? 1 : nearest;
    dragging_ = which;
    SetCursor(which, TimeAt(pos.x()));
}

void TMeasurement::UpdateTable()
{
    table_ = MeasureFile(page_.Chart->Model(), page_.ActualFile(), cursor_[0], cursor_[1], prefixes_);
    page_.PanelOdecet->Show(table_, page_.Chart->CheckBox_min_sec->isChecked(), TableFileName());
}

void TMeasurement::CopyTableClick()
{
    QApplication::clipboard()->setText(
        MeasureTableText(table_, page_.Chart->CheckBox_min_sec->isChecked(), TableFileName()));
}

QString TMeasurement::TableFileName() const
{
    const TCurveFile* f = page_.Chart->Model().File(page_.ActualFile());
    return f ? f->ShortName : QString();
}

void TMeasurement::ChartPopup(const QPoint& pos)
{
    QCustomPlot* plot = page_.Chart->Chart1;
    const TCurveModel& model = page_.Chart->Model();
    popupTime_ = plot->xAxis->pixelToCoord(pos.x());
    popupAltitude_ = plot->yAxis->pixelToCoord(pos.y());
    // The file of the shown line nearest to the point, in pixels, and the
    // files whose lines are within reach, nearest first.
    popupFile_ = kNoCurves;
    double best = std::numeric_limits<double>::infinity();
    std::vector<std::pair<double, TCurveHandle>> near;
    for (TCurveHandle h : model.Handles()) {
        double nearest = std::numeric_limits<double>::infinity();
        for (int slot : {SlotAlt, SlotRx, SlotPowS}) {
            const TCurve* c = model.Curve(h, slot);
            const auto v = c && c->Visible ? DrawnValueAt(*c, popupTime_) : std::nullopt;
            if (v)
                nearest = std::min(nearest,
                                   std::fabs(page_.Chart->Axis(CurveSlot(slot).Axis)->coordToPixel(*v) - pos.y()));
        }
        if (nearest < best) {
            best = nearest;
            popupFile_ = h;
        }
        if (nearest <= kReachPixels)
            near.emplace_back(nearest, h);
    }
    if (popupFile_ == kNoCurves && model.Has(page_.ActualFile()))
        popupFile_ = page_.ActualFile();
    pmnuAnnotModifi->setEnabled(popupFile_ != kNoCurves);
    pmnuAnnotNew->setEnabled(popupFile_ != kNoCurves);

    std::stable_sort(near.begin(), near.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    PopupAnnotNewFor->clear();
    for (const auto& [distance, h] : near) {
        QAction* a = PopupAnnotNewFor->addAction(model.File(h)->ShortName);
        connect(a, &QAction::triggered, this,
                [this, h = h] { emit AnnotNewRequested(h, popupTime_, popupAltitude_); });
    }
    const bool choose = near.size() > 1;
    pmnuAnnotNew->setVisible(!choose);
    PopupAnnotNewFor->menuAction()->setVisible(choose);
}

bool TMeasurement::eventFilter(QObject* watched, QEvent* e)
{
    if (watched != page_.Chart->Chart1)
        return QObject::eventFilter(watched, e);
    switch (e->type()) {
    case QEvent::Leave:
        HideCrosshair();
        if (active_)
            page_.LabelCursor->clear();
        break;
    case QEvent::MouseMove:
        if (active_) {
            auto* m = static_cast<QMouseEvent*>(e);
            MouseMove(m->position().toPoint(), m->buttons() & Qt::LeftButton);
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* m = static_cast<QMouseEvent*>(e);
        if (active_ && m->button() == Qt::LeftButton && !page_.Chart->Panning()) {
            if (InPlot(m->position().toPoint()))
                MousePress(m->position().toPoint());
            return true; // no rubber band while measuring
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (dragging_ >= 0 && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
            dragging_ = -1;
            return true;
        }
        break;
    default: break;
    }
    return QObject::eventFilter(watched, e);
}

} // namespace qv
