#pragma once
// The graph page's chart Chart1: four value axes and the five series of
// every open data file, with the receiver centring switch "Servo Center".
#include "data/OpenData.h"
#include "base/DeviceSettings.h"

#include <QRectF>
#include <QSharedPointer>
#include <QSize>
#include <QVector>
#include <functional>
#include <QWidget>
#include <unordered_map>

class QCheckBox;
class QCustomPlot;
class QCPAxis;
class QCPGraph;
class QCPGraphData;
template <class T> class QCPDataContainer;
using QCPGraphDataContainer = QCPDataContainer<QCPGraphData>;
class QCPItemText;

namespace qv {

// Points of a line series: (time, f(value)) while both arrays reach.
struct TSeriesPoints {
    QVector<double> Keys;
    QVector<double> Values;
};
TSeriesPoints LinePoints(const std::vector<double>& time, const std::vector<double>& values, double scale = 1.0,
                         double shift = 0.0);
// (time, altitude) at every sample whose marker flag is 1.
TSeriesPoints MarkerPoints(const std::vector<double>& time, const std::vector<double>& altitude,
                           const std::vector<std::int32_t>& markers);

class TChartView : public QWidget, public IGraphView {
    Q_OBJECT
public:
    explicit TChartView(QWidget* parent = nullptr);
    ~TChartView() override;

    QCustomPlot* Chart1 = nullptr;
    QCPAxis* VoltageAxis = nullptr;
    QCheckBox* CheckBox_RxCenter = nullptr;
    // The device settings in force (deflection limits for the receiver
    // centring); defaults when not set.
    std::function<TDeviceSettings()> DeviceSettings;

    // IGraphView
    std::uint32_t CreateSeries(TDataBlock& block, const QString& shortName) override;
    void SetSeriesVisible(TDataBlock& block, int slot, bool visible) override;
    void RemoveSeries(TDataBlock& block) override;
    std::vector<TAnotace> AnnotationPoints(const TDataBlock& block) const override;

    // Replaces the annotation points (as drawn, offsets included) of a file.
    void SetAnnotationPoints(TDataBlock& block, const std::vector<TAnotace>& points);
    // Line styles, widths and point styles of a file's series from GraphSetup.
    void ApplySeriesStyle(TDataBlock& block);
    // Axis ranges: automatic ones fit the shown series, the others follow
    // GraphSetup.
    void RescaleAxes();
    // Redraws now (queued unless immediate).
    void Replot(bool immediate = false);
    // The chart legend on or off.
    void SetLegendVisible(bool visible);

    QCPGraph* Series(const TDataBlock& block, int slot) const;
    // Sets the points of a line series. Long series keep a second, coarse
    // copy (the lowest and highest point of every kCoarseBlock samples) that
    // is drawn while many samples fall on one pixel; both stay in step.
    void SetLineData(QCPGraph* graph, const TSeriesPoints& points);
    // The same from sample arrays: (time + dx, value * scale + shift)
    // while both arrays reach.
    void SetLineData(QCPGraph* graph, const std::vector<double>& time, const std::vector<double>& values,
                     double scale = 1.0, double shift = 0.0, double dx = 0.0);
    // Sets the points of a point series. Dense ones are drawn from one
    // point per pixel of the current view.
    void SetPointData(QCPGraph* graph, const TSeriesPoints& points);
    // Moves every point of a file's series slot (both copies of a line).
    void ShiftSeries(TDataBlock& block, int slot, double dx, double dy);
    // All points of a series: what a series holds may be a drawing copy
    // (see SetLineData, SetPointData).
    QSharedPointer<QCPGraphDataContainer> FullData(const QCPGraph* graph) const;
    // Whether a series is drawn from its drawing copy just now.
    bool DrawsCoarse(const QCPGraph* graph) const;
    static constexpr int kCoarseBlock = 32;
    int FileCount() const { return static_cast<int>(files_.size()); }
    // Receiver series of every file again, after the centring switch.
    void CheckBox_RxCenterClick();

private:
    struct TAnnotPoint {
        double X = 0;
        double Y = 0;
        std::string Text; // file bytes
        QCPItemText* Label = nullptr;
    };
    struct TFileSeries {
        std::array<QCPGraph*, kSlotCount> Graphs{};
        std::vector<TAnnotPoint> Annots;
        TDataBlock* Block = nullptr;
    };

    void SetLineDetail(QCPGraph* graph, QVector<QCPGraphData>& points, bool sorted);
    struct TDetail {
        QSharedPointer<QCPGraphDataContainer> Full;
        QSharedPointer<QCPGraphDataContainer> Coarse; // null for short series
        bool UsingCoarse = false;
        // Point series: Coarse holds one point per pixel of the view it
        // was made for.
        bool Points = false;
        QRectF ViewMadeFor;
        QSize PixelsMadeFor;
    };
    void MakePointView(TDetail& d, const QCPGraph* g, const QRectF& view, const QSize& pixels);
    void UseFullData();
    void ChooseDetail();
    void FillRxSeries(TDataBlock& block);
    void FillAnnotSeries(TFileSeries& fs);
    QColor NextColour() const;

    std::unordered_map<const TDataBlock*, TFileSeries> files_;
    std::unordered_map<const QCPGraph*, TDetail> detail_;
};

} // namespace qv
