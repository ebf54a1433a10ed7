#pragma once
// The graph page's chart Chart1: four value axes, the two scroll bars beside
// it, and the curves of the curve model drawn from their reduced points.
// The chart holds no data of its own: what it shows comes from the model.
#include "graph/CurveModel.h"
#include "graph/GraphSetup.h"
#include "graph/PointReduce.h"

#include <QRect>
#include <QWidget>
#include <array>
#include <map>
#include <vector>

class QAction;
class QCheckBox;
class QCPAxis;
class QCPGraph;
class QCustomPlot;
class QMenu;
class QScrollBar;

namespace qv {
class TChartLabels;
}

namespace qv {

class TChartView : public QWidget {
    Q_OBJECT
public:
    // Draws `model` with the graph settings `setup` (both outlive the view).
    TChartView(TCurveModel& model, TGraphSetupRec& setup, QWidget* parent = nullptr);
    ~TChartView() override;

    QCustomPlot* Chart1 = nullptr;
    QCPAxis* VoltageAxis = nullptr;
    QCheckBox* CheckBox_RxCenter = nullptr;
    QCheckBox* CheckBox_min_sec = nullptr;
    QScrollBar* ScrollBar1 = nullptr; // time, under the chart
    QScrollBar* ScrollBar2 = nullptr; // value axes, right of the chart
    QMenu* PopupChart = nullptr;
    QAction* mnuCancelZoom = nullptr;
    bool ScrollBarsUpdating = false;

    TCurveModel& Model() const { return model_; }
    QCPAxis* Axis(AxisId axis) const;
    QCPGraph* Series(TCurveHandle h, int slot) const;
    // The annotation labels of a file (null when it has no curves here).
    TChartLabels* LabelLayer(TCurveHandle h) const;

    // --- graph settings
    // Applies the graph settings to the axes and to the curves of `files`
    // (the open files in list order); throws when one of them is missing.
    void ChangeGraphSettings(const std::vector<TCurveHandle>& files);
    // The axes alone: automatic, or the stored ranges (corrected).
    void ApplyAxisSetup();
    void ApplySeriesStyle(TCurveHandle h);
    // Automatic axes fit the shown curves.
    void RescaleAxes();
    bool IsAutomatic(AxisId axis) const { return automatic_[axis]; }
    TAxisRange Range(AxisId axis) const;
    // Sets an axis range; the axis is no longer automatic.
    void SetRange(AxisId axis, const TAxisRange& range);

    // --- zoom and scroll
    void UpdateScrollBars();
    void ScrollBar1Change(int position);
    void ScrollBar2Change(int position);
    // After a rubber-band zoom over the pixel rectangle `rect`.
    void Chart1Zoom(const QRect& rect);
    void Chart1UndoZoom();
    // After panning.
    void Chart1Scroll();
    // Zoom by percentage (above 100 in, below 100 out) and scroll bars.
    void ZoomPercent(double percent);
    // The wheel's zoom: about the time and values under the pixel `at` of
    // the chart, which stay under it.
    void ZoomPercentAt(double percent, const QPoint& at);
    // The chart's undo-zoom, when the chart is visible.
    void UndoZoom();
    // Space held: panning instead of the rubber band.
    void SetPanning(bool on);
    bool Panning() const { return panning_; }
    // Keeps the scroll bars glued to the chart; the time axis ends 45
    // pixels short of the plot's right edge.
    void Chart1Resize();
    // With "Servo Center" checked the servo axis is centred on zero.
    void ServoCenterRule();

    // --- labels, legend, receiver centring
    void CheckBox_min_secClick();
    QString Chart1GetAxisLabel(const QCPAxis* axis, const QString& text) const;
    void CheckBox_RxCenterClick();
    void SetLegendVisible(bool visible);
    bool LegendVisible() const { return legendShown_; }

    void Replot(bool immediate = false);
    // Puts the reduced points of every shown curve for the current view
    // into the chart's series (run before each replot).
    void RefreshDrawnData();

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct TFileGraphs {
        std::array<QCPGraph*, kSlotCount> Graphs{};
        TChartLabels* Labels = nullptr;
    };
    struct TDrawn {
        double Lower = 0, Upper = 0;
        int Pixels = 0;
        // Marks are thinned in pixels: the value axis counts too.
        double ValueLower = 0, ValueUpper = 0;
        int ValuePixels = 0;
        bool Dirty = true;
        bool operator==(const TDrawn& o) const
        {
            return Lower == o.Lower && Upper == o.Upper && Pixels == o.Pixels && ValueLower == o.ValueLower &&
                   ValueUpper == o.ValueUpper && ValuePixels == o.ValuePixels && Dirty == o.Dirty;
        }
    };

    void FileAdded(TCurveHandle h);
    void FileRemoved(TCurveHandle h);
    void FileRenamed(TCurveHandle h);
    void CurveChanged(TCurveHandle h, int slot);
    void VisibilityChanged(TCurveHandle h, int slot, bool visible);
    void LabelsChanged(TCurveHandle h);
    void RebuildLegend();
    void LayOut();
    void ShowError(const QString& where, const std::exception& e) const;

    TCurveModel& model_;
    TGraphSetupRec& setup_;
    QWidget* topStrip_ = nullptr;
    std::map<TCurveHandle, TFileGraphs> files_;
    std::map<const QCPGraph*, TDrawn> drawn_;
    // What the last views read of each curve's samples.
    std::map<const QCPGraph*, TReduceMemo> memos_;
    std::array<bool, kAxisCount> automatic_{{true, true, true, true}};
    bool panning_ = false;
    bool dragged_ = false;
    bool legendShown_ = false;
};

} // namespace qv
