#pragma once
// The measurement mode of the graph page: while "Measurement Mode" is down
// a crosshair follows the pointer over the chart and LabelCursor reads the
// current file's values under it; left clicks set the cursors A and B
// (then move the nearer one), and a cursor can be dragged. The table
// StringGridOdecet shows the values at A and B, their difference, its rate
// and the lowest, highest and mean values between them. The chart's pop-up
// also learns here which point and file were right-clicked.
#include "graph/Measure.h"

#include <QObject>
#include <QPoint>
#include <array>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QCPItemStraightLine;
class QCPItemText;
class QCPLayer;
class QToolButton;

namespace qv {

class TGraphPage;

class TMeasurement : public QObject {
    Q_OBJECT
public:
    explicit TMeasurement(TGraphPage& page);

    QToolButton* TBCopyTable = nullptr; // "Copy to clipboard" (in the page's PanelOdecet)
    QLabel* LabelTableFile = nullptr;   // the short name of the file measured
    QAction* pmnuAnnotModifi = nullptr; // "Modify Annotations"
    QAction* pmnuAnnotNew = nullptr;    // "New Annotation"
    QMenu* PopupAnnotNewFor = nullptr;  // "New Annotation" for each flight under the pointer

    bool Active() const { return active_; }
    std::optional<double> CursorA() const { return cursor_[0]; }
    std::optional<double> CursorB() const { return cursor_[1]; }
    // Sets or removes a cursor (0 = A, 1 = B) at a chart time.
    void SetCursor(int which, std::optional<double> t);
    const TMeasureTable& Table() const { return table_; }

    // The chart's pop-up: the file of the shown curve nearest to the point
    // right-clicked (kNoCurves when none) and the point in chart values.
    TCurveHandle PopupFile() const { return popupFile_; }
    double PopupTime() const { return popupTime_; }
    double PopupAltitude() const { return popupAltitude_; }

    // Handlers
    void TBMeasureClick();
    void CopyTableClick();
    void ChartPopup(const QPoint& pos);
    // Fills the table from the current file and the cursors.
    void UpdateTable();

signals:
    void AnnotModifyRequested(TCurveHandle h);
    void AnnotNewRequested(TCurveHandle h, double time, double altitude);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void MouseMove(const QPoint& pos, bool leftDown);
    void MousePress(const QPoint& pos);
    void HideCrosshair();
    void ShowCursors();
    void Redraw();
    bool InPlot(const QPoint& pos) const;
    double TimeAt(int x) const;
    int PixelOf(double t) const;
    QString TableFileName() const;

    TGraphPage& page_;
    bool active_ = false;
    std::array<std::optional<double>, 2> cursor_;
    int dragging_ = -1;
    TMeasureTable table_;
    TPrefixCache prefixes_;
    QCPLayer* layer_ = nullptr;
    QCPItemStraightLine* crossV_ = nullptr;
    QCPItemStraightLine* crossH_ = nullptr;
    std::array<QCPItemStraightLine*, 2> lines_{};
    std::array<QCPItemText*, 2> letters_{};
    TCurveHandle popupFile_ = kNoCurves;
    double popupTime_ = 0;
    double popupAltitude_ = 0;
};

} // namespace qv
