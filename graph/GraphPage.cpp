#include "graph/GraphPage.h"

#include "graph/GraphOutput.h"

#include "base/MessageService.h"
#include "graph/GraphSetupfrm.h"
#include "graph/Measurement.h"
#include "graph/OffsetControls.h"
#include "ui/ToolIcons.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QShortcut>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <exception>
#include <qcustomplot.h>

namespace qv {

namespace {

QToolButton* Button(QToolBar* bar, const char* name, const char* caption, const char* hint, bool checkable = false)
{
    auto* b = new QToolButton(bar);
    b->setObjectName(QLatin1String(name));
    b->setText(QLatin1String(caption));
    b->setToolTip(QLatin1String(hint));
    b->setCheckable(checkable);
    bar->addWidget(b);
    return b;
}

} // namespace

TGraphPage::TGraphPage(TCurveModel& model, TGraphSetupRec& setup, bool& setupChanged, QWidget* parent)
    : QWidget(parent), model_(model), setup_(setup), setupChanged_(setupChanged)
{
    setObjectName(QStringLiteral("TabGraph"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);

    ToolBarGraph = new QToolBar(this);
    ToolBarGraph->setObjectName(QStringLiteral("ToolBarGraph"));
    TBZoomIn = Button(ToolBarGraph, "TBZoomIn", "Zoom In", "Zoom in");
    TBZoomOut = Button(ToolBarGraph, "TBZoomOut", "Zoom Out", "Zoom out");
    TBUndoZoom = Button(ToolBarGraph, "TBUndoZoom", "Undo zoom", "Original size");
    ToolBarGraph->addSeparator();
    TBGraphSetup = Button(ToolBarGraph, "TBGraphSetup", "Graph Setup", "Graph setup");
    ToolBarGraph->addSeparator(); // copy, save, print come after it
    // Second row: what is shown beside the chart, measuring and annotating,
    // with the read-out under the pointer. Both rows fit a 1024 pixel
    // window with their captions.
    ToolBarMeasure = new QToolBar(this);
    ToolBarMeasure->setObjectName(QStringLiteral("ToolBarMeasure"));
    TBShowLegend = Button(ToolBarMeasure, "TBShowLegend", "Show Legend", "Show legend", true);
    ShowTable = Button(ToolBarMeasure, "ShowTable", "Measurement table", "Show measurement table", true);
    ToolBarMeasure->addSeparator();
    TBMeasure = Button(ToolBarMeasure, "TBMeasure", "Measurement Mode", "Measurement mode", true);
    TBAnnotDialog = Button(ToolBarMeasure, "TBAnnotDialog", "Annotations", "Shows an Annotation dialog");
    for (QToolButton* later : {TBMeasure, TBAnnotDialog})
        later->setEnabled(false);
    ToolBarMeasure->addSeparator();
    LabelCursor = new QLabel(this);
    LabelCursor->setObjectName(QStringLiteral("LabelCursor"));
    ToolBarMeasure->addWidget(LabelCursor);

    // The measurement table above the chart.
    PanelOdecet = new TMeasurePanel(this);
    StringGridOdecet = PanelOdecet->StringGridOdecet;
    Chart = new TChartView(model_, setup_, this);
    Chart->setObjectName(QStringLiteral("PanelChart"));
    // Copy, save and print of the chart.
    Output = new TGraphOutput(*Chart->Chart1, this);
    Output->CreateButtons(ToolBarGraph);
    TBCopyGraph = Output->TBCopyGraph;
    TBSaveGraph = Output->TBSaveGraph;
    TBPrintGraph = Output->TBPrintGraph;
    for (QToolButton* b : {TBCopyGraph, TBSaveGraph, TBPrintGraph})
        ToolBarGraph->addWidget(b);

    // Curve offsets.
    PanelShift = new TOffsetRow(this);
    CheckBoxShift = PanelShift->CheckBoxShift;
    ComboBoxShiftAxis = PanelShift->ComboBoxShiftAxis;
    TrackBarX = PanelShift->TrackBarX;
    TrackBarY = PanelShift->TrackBarY;
    EditShiftX = PanelShift->EditShiftX;
    EditShiftY = PanelShift->EditShiftY;

    // From the top: the tool bars, the table, the chart, the offsets.
    layout->addWidget(ToolBarGraph);
    layout->addWidget(ToolBarMeasure);
    layout->addWidget(PanelOdecet);
    layout->addWidget(Chart, 1);
    layout->addWidget(PanelShift);

    connect(TBZoomIn, &QToolButton::clicked, this, &TGraphPage::TBZoomInClick);
    connect(TBZoomOut, &QToolButton::clicked, this, &TGraphPage::TBZoomOutClick);
    connect(TBUndoZoom, &QToolButton::clicked, this, &TGraphPage::TBUndoZoomClick);
    connect(TBGraphSetup, &QToolButton::clicked, this, &TGraphPage::TBGraphSetupClick);
    connect(TBShowLegend, &QToolButton::clicked, this, &TGraphPage::TBShowLegendClick);
    connect(ShowTable, &QToolButton::clicked, this, &TGraphPage::ShowTableClick);
    connect(ComboBoxShiftAxis, qOverload<int>(&QComboBox::currentIndexChanged), this, &TGraphPage::ShowOffsets);
    connect(&model_, &TCurveModel::CurveChanged, this, [this](TCurveHandle h, int) {
        if (h == actual_)
            ShowOffsets();
    });
    connect(Chart->Chart1->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this] { FitTrackBarX(); });
    Chart->Chart1->installEventFilter(this);
    // Holding the space bar pans: a shortcut of this page, so it acts while
    // the focus is on the page, and not in its text fields, which take the
    // blank themselves. The chart holds the keyboard until the bar is let go.
    SpaceBar = new QShortcut(QKeySequence(Qt::Key_Space), this);
    SpaceBar->setObjectName(QStringLiteral("SpaceBar"));
    SpaceBar->setContext(Qt::WidgetWithChildrenShortcut);
    SpaceBar->setAutoRepeat(false);
    connect(SpaceBar, &QShortcut::activated, this, [this] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        if (FormKeyPress(&press))
            Chart->Chart1->grabKeyboard();
    });
    Measurement = new TMeasurement(*this);
    OffsetControls = new TOffsetControls(*this, *Measurement);

    SetToolIcons(this, {{"TBZoomIn", "zoom-in"},
                        {"TBZoomOut", "zoom-out"},
                        {"TBUndoZoom", "zoom-original"},
                        {"TBGraphSetup", "document-properties"},
                        {"TBShowLegend", "view-list-details"},
                        {"ShowTable", "view-form-table"},
                        {"TBMeasure", "measure"},
                        {"TBAnnotDialog", "insert-text"},
                        {"TBCopyGraph", "edit-copy"},
                        {"TBSaveGraph", "document-save-as"},
                        {"TBPrintGraph", "document-print"},
                        {"TBCopyTable", "edit-copy"}});
}

TGraphPage::~TGraphPage()
{
    if (qApp)
        qApp->removeEventFilter(this);
    delete ownForm_;
}

void TGraphPage::SetActualFile(TCurveHandle h)
{
    actual_ = h;
    ShowOffsets();
    Measurement->UpdateTable();
}

void TGraphPage::ShowOffsets()
{
    const int slot = qBound(0, ComboBoxShiftAxis->currentIndex(), 2);
    const TCurve none;
    const TCurve* c = model_.Curve(actual_, slot);
    const TCurve& s = c ? *c : none;
    const QSignalBlocker b1(CheckBoxShift), b2(EditShiftX), b3(EditShiftY), b4(TrackBarX), b5(TrackBarY);
    CheckBoxShift->setChecked(c ? s.OffsetEnabled : false);
    EditShiftX->setText(TimeOffsetText(s.OffsetX));
    EditShiftY->setText(QString::number(s.OffsetY));
    TrackBarY->setValue(qRound(s.OffsetY));
    FitTrackBarX();
}

QString TGraphPage::TimeOffsetText(double seconds)
{
    const QString text = QString::number(seconds, 'f', 1);
    return text == QLatin1String("-0.0") ? QStringLiteral("0.0") : text;
}

double TGraphPage::TimeStep() const
{
    for (int slot : {SlotAlt, SlotRx, SlotPowS})
        if (const TCurve* c = model_.Curve(actual_, slot); c && c->Count() > 1) {
            const double step = (c->PointX(c->Count() - 1) - c->PointX(0)) / (c->Count() - 1);
            if (step > 0 && std::isfinite(step))
                return step;
        }
    return 0.1;
}

void TGraphPage::FitTrackBarX()
{
    // One step of the bar is one sample period; from the offset in force it
    // reaches as far as the flight is long or the view is wide, whichever is
    // less; Page Up/Down move a tenth of the view.
    if (TrackBarX->isSliderDown())
        return;
    const double step = TimeStep();
    double length = 100 * step;
    for (int slot : {SlotAlt, SlotRx, SlotPowS})
        if (const TCurve* c = model_.Curve(actual_, slot); c && c->Count() > 1) {
            length = std::max(length, c->PointX(c->Count() - 1) - c->PointX(0));
            break;
        }
    const TAxisRange view = Chart->Range(AxisBottom);
    const double width = view.Max > view.Min && std::isfinite(view.Max - view.Min) ? view.Max - view.Min : length;
    const TCurve* c = model_.Curve(actual_, qBound(0, ComboBoxShiftAxis->currentIndex(), 2));
    const double offset = c ? c->OffsetX : 0.0;
    const double half = std::min(length, width) + std::abs(offset);
    constexpr double kMostSteps = 1e9;
    const int ticks = static_cast<int>(std::clamp(std::ceil(half / step), 1.0, kMostSteps));
    const QSignalBlocker quiet(TrackBarX);
    TrackBarX->setRange(-ticks, ticks);
    TrackBarX->setSingleStep(1);
    TrackBarX->setPageStep(static_cast<int>(std::clamp(std::round(width / 10 / step), 1.0, kMostSteps)));
    TrackBarX->setValue(static_cast<int>(std::clamp(std::round(offset / step), -kMostSteps, kMostSteps)));
}

void TGraphPage::ChangeGraphSettings() { Chart->ChangeGraphSettings(files_); }

// Each button does what its caption says: "Zoom In" narrows the view (110),
// "Zoom Out" widens it (90), as the wheel does away from and towards the user.
void TGraphPage::TBZoomInClick() { Chart->ZoomPercent(110); }

void TGraphPage::TBZoomOutClick() { Chart->ZoomPercent(90); }

void TGraphPage::TBUndoZoomClick() { Chart->UndoZoom(); }

void TGraphPage::TBGraphSetupClick()
{
    TFormGraphSetup* form = setupForm_;
    if (!form) {
        if (!ownForm_)
            ownForm_ = new TFormGraphSetup(window());
        form = ownForm_;
    }
    try {
        if (form->EditGraphSetup(setup_, setupChanged_)) {
            ChangeGraphSettings();
            UpdateScrollBars();
        }
    } catch (const std::exception& e) {
        Messages().Error(QStringLiteral("Error in Graph Setup!\r") + QString::fromLocal8Bit(e.what()));
    }
}

void TGraphPage::TBShowLegendClick() { Chart->SetLegendVisible(TBShowLegend->isChecked()); }

void TGraphPage::ShowTableClick()
{
    PanelOdecet->setVisible(ShowTable->isChecked());
    PanelOdecet->FitHeight();
}

bool TGraphPage::Active() const { return Chart->Chart1->isVisible() && model_.FileCount() > 0; }

bool TGraphPage::FormMouseWheel(const QPoint& globalPos, int delta)
{
    if (!Active())
        return false;
    const QPoint p = Chart->Chart1->mapFromGlobal(globalPos);
    if (p.x() < 1 || p.x() >= Chart->Chart1->width() || p.y() < 1 || p.y() >= Chart->Chart1->height())
        return false;
    Chart->ZoomPercentAt(delta < 1 ? 90 : 110, p);
    return true;
}

bool TGraphPage::FormKeyPress(QKeyEvent* e)
{
    if (e->key() != Qt::Key_Space || !Active())
        return false;
    if (!Chart->Panning())
        Chart->SetPanning(true);
    return true;
}

bool TGraphPage::FormKeyUp(QKeyEvent* e)
{
    if (e->key() != Qt::Key_Space || e->isAutoRepeat() || !isVisible() || !Chart->Panning())
        return false;
    Chart->SetPanning(false);
    Chart->ServoCenterRule();
    Chart->Replot();
    return true;
}

bool TGraphPage::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == Chart->Chart1 && e->type() == QEvent::Wheel) {
        auto* w = static_cast<QWheelEvent*>(e);
        if (FormMouseWheel(w->globalPosition().toPoint(), w->angleDelta().y())) {
            w->accept();
            return true;
        }
        return false;
    }
    if (watched == Chart->Chart1 && (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Space && Chart->Panning()) {
            if (e->type() == QEvent::KeyRelease && FormKeyUp(k))
                Chart->Chart1->releaseKeyboard();
            return true; // the held bar repeats: nothing more to do
        }
    }
    return QWidget::eventFilter(watched, e);
}

} // namespace qv
