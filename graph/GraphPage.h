#pragma once
// The "Graph" page: its two tool bars over the measurement table
// (TMeasurePanel), the chart with its scroll bars and the curve offset row
// (TOffsetRow).
#include "graph/Chart.h"
#include "graph/MeasurePanel.h"
#include "graph/OffsetRow.h"

#include <QWidget>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QShortcut;
class QSlider;
class QTableWidget;
class QToolBar;
class QToolButton;

namespace qv {

class TFormGraphSetup;
class TGraphOutput;
class TMeasurement;
class TOffsetControls;

class TGraphPage : public QWidget {
    Q_OBJECT
public:
    // Shows `model` with the graph settings `setup` and its changed flag
    // `setupChanged` (owned by the main window, which outlives the page).
    TGraphPage(TCurveModel& model, TGraphSetupRec& setup, bool& setupChanged, QWidget* parent = nullptr);
    ~TGraphPage() override;

    TChartView* Chart = nullptr;
    QToolBar* ToolBarGraph = nullptr;
    QToolBar* ToolBarMeasure = nullptr;
    QToolButton* TBZoomIn = nullptr;
    QToolButton* TBZoomOut = nullptr;
    QToolButton* TBUndoZoom = nullptr;
    QToolButton* TBGraphSetup = nullptr;
    QToolButton* TBShowLegend = nullptr;
    QToolButton* ShowTable = nullptr;
    QToolButton* TBMeasure = nullptr;   // measurement mode (graph/Measurement.h)
    QToolButton* TBAnnotDialog = nullptr; // the annotation list, which the main window runs
    QToolButton* TBCopyGraph = nullptr;
    QToolButton* TBSaveGraph = nullptr;
    QToolButton* TBPrintGraph = nullptr;
    TGraphOutput* Output = nullptr; // copy, save and print of the chart
    QLabel* LabelCursor = nullptr;
    TMeasurePanel* PanelOdecet = nullptr; // the measurement table (graph/MeasurePanel.h)
    QTableWidget* StringGridOdecet = nullptr;
    TOffsetRow* PanelShift = nullptr; // the offset controls' row (graph/OffsetRow.h)
    QCheckBox* CheckBoxShift = nullptr;
    QSlider* TrackBarX = nullptr;
    QSlider* TrackBarY = nullptr;
    QLineEdit* EditShiftX = nullptr;
    QLineEdit* EditShiftY = nullptr;
    QComboBox* ComboBoxShiftAxis = nullptr;
    QShortcut* SpaceBar = nullptr; // held down: panning
    // Measurement mode, cursors and table; the offset controls' work.
    TMeasurement* Measurement = nullptr;
    TOffsetControls* OffsetControls = nullptr;

    // The dialog that edits the graph settings (made on first use if none).
    void SetGraphSetupForm(TFormGraphSetup* form) { setupForm_ = form; }
    // The open files' curves in list order (kNoCurves for a missing one).
    void SetOpenFiles(const std::vector<TCurveHandle>& files) { files_ = files; }
    // The current file, whose offsets the offset controls show.
    void SetActualFile(TCurveHandle h);
    TCurveHandle ActualFile() const { return actual_; }
    // The time between samples of the current file (one step of TrackBarX).
    double TimeStep() const;
    // A time offset as EditShiftX shows it: one decimal, never "-0.0".
    static QString TimeOffsetText(double seconds);

    // Applies the graph settings to the chart; throws when an open file
    // has no curves.
    void ChangeGraphSettings();
    void UpdateScrollBars() { Chart->UpdateScrollBars(); }

    // Handlers
    void TBZoomInClick();
    void TBZoomOutClick();
    void TBUndoZoomClick();
    void TBGraphSetupClick();
    void TBShowLegendClick();
    void ShowTableClick();
    // Wheel at a global position: zooms when over the chart of the shown
    // page with a file open; returns whether the wheel was used.
    bool FormMouseWheel(const QPoint& globalPos, int delta);
    // Space held down / released; returns whether the key was used.
    bool FormKeyPress(QKeyEvent* e);
    bool FormKeyUp(QKeyEvent* e);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void ShowOffsets();
    void FitTrackBarX();
    bool Active() const;

    TCurveModel& model_;
    TGraphSetupRec& setup_;
    bool& setupChanged_;
    TFormGraphSetup* setupForm_ = nullptr;
    TFormGraphSetup* ownForm_ = nullptr;
    std::vector<TCurveHandle> files_;
    TCurveHandle actual_ = kNoCurves;
};

} // namespace qv
