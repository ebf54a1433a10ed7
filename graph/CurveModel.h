#pragma once
// The curves of the open files, widget-free: per file its five curves in
// the fixed slot order with their points, colour, visibility and offsets,
// the annotation labels and the short name for the legend. The chart only
// draws what this model holds; every change is announced by a signal.
#include "graph/CurveReduce.h"
#include "graph/CurveSlots.h"

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qv {

// One annotation: time (s), altitude at which the label is drawn, text
// (the file's bytes).
struct TCurveLabel {
    double Time = 0;
    double Altitude = 0;
    std::string Text;
    bool operator==(const TCurveLabel& o) const
    {
        return Time == o.Time && Altitude == o.Altitude && Text == o.Text;
    }
};

struct TRange {
    double Lower = 0;
    double Upper = 0;
    bool Valid = false;
    void Include(double lo, double hi);
};

struct TCurve {
    // Samples in the file's own coordinates, x ascending.
    std::shared_ptr<const std::vector<double>> X;
    std::shared_ptr<const std::vector<double>> Y;
    // When set, the curve's points are only these samples (ascending
    // indices into X and Y): point i is (X[Index[i]], Y[Index[i]]). A
    // marker curve so shares the record's arrays instead of copying them;
    // line curves never have one.
    std::shared_ptr<const std::vector<std::int32_t>> Index;
    // Over the points' values; its indices are point indices.
    TMinMaxPyramid Pyramid;
    // Running sums of Y by blocks for the measurement's means (line slots;
    // BlockSums in graph/Measure.h), made with the pyramid when the points
    // are set.
    std::shared_ptr<const std::vector<double>> Prefix;
    double MinY = 0, MaxY = 0; // of the points' values
    bool Visible = false;
    std::uint8_t ColorIndex = kNoColour;
    std::uint32_t Rgb = 0; // colour drawn, 0xRRGGBB
    double OffsetX = 0;
    double OffsetY = 0;
    bool OffsetEnabled = true;
    // Drawn value of a point: Y * Scale + Shift (+ OffsetY when enabled).
    double Scale = 1.0;
    double Shift = 0.0;

    // Points of the curve, and the sample, time and value of point i.
    int Count() const
    {
        return Index ? static_cast<int>(Index->size()) : X ? static_cast<int>(X->size()) : 0;
    }
    std::size_t Sample(std::int64_t i) const
    {
        return Index ? static_cast<std::size_t>((*Index)[static_cast<std::size_t>(i)]) : static_cast<std::size_t>(i);
    }
    double PointX(std::int64_t i) const { return (*X)[Sample(i)]; }
    double PointY(std::int64_t i) const { return (*Y)[Sample(i)]; }
    // Drawn place of a point kept in the file's coordinates, and back: the
    // one mapping between the chart and the file.
    double DrawnX(double x) const { return x + (OffsetEnabled ? OffsetX : 0.0); }
    double DrawnY(double y) const { return y * Scale + Shift + (OffsetEnabled ? OffsetY : 0.0); }
    double FileX(double drawnX) const { return drawnX - (OffsetEnabled ? OffsetX : 0.0); }
    double FileY(double drawnY) const
    {
        return (drawnY - Shift - (OffsetEnabled ? OffsetY : 0.0)) / (Scale != 0.0 ? Scale : 1.0);
    }
    // Extent of the drawn points (invalid when empty).
    TRange KeyExtent() const;
    TRange ValueExtent() const;
};

struct TCurveFile {
    QString ShortName;
    std::array<TCurve, kSlotCount> Curves;
    std::vector<TCurveLabel> Labels; // the annotation curve's points, file coordinates
    std::vector<std::int32_t> LabelOrder; // indices of Labels in time order
    double RxOffsetY = 0;
};

class TCurveModel : public QObject {
    Q_OBJECT
public:
    explicit TCurveModel(QObject* parent = nullptr);
    ~TCurveModel() override;

    // A new file with empty, hidden curves of the given colour table index
    // (kNoColour: the chart's next free colour).
    TCurveHandle AddFile(const QString& shortName, std::uint8_t colourIndex);
    void RemoveFile(TCurveHandle h);
    // The legend's name of a file, after its file was renamed or moved.
    void SetShortName(TCurveHandle h, const QString& shortName);
    bool Has(TCurveHandle h) const { return files_.count(h) != 0; }
    const TCurveFile* File(TCurveHandle h) const;
    const TCurve* Curve(TCurveHandle h, int slot) const;
    // Files in the order they were added.
    std::vector<TCurveHandle> Handles() const;
    int FileCount() const { return static_cast<int>(files_.size()); }
    // Colour table indices in use.
    std::vector<std::uint8_t> UsedColourIndices() const;

    // Points of a line or marker slot (x and y of equal length are kept;
    // unsorted x is sorted). The pyramid for drawing is built here.
    void SetPoints(TCurveHandle h, int slot, std::shared_ptr<const std::vector<double>> x,
                   std::shared_ptr<const std::vector<double>> y);
    // The same for several slots of a file at once; their pyramids and
    // sums are made side by side. With Index, the points are some of the
    // samples (x, y), as SetIndexedPoints takes them: the indices are
    // found by it on the thread that prepares that curve.
    struct TSlotPoints {
        int Slot;
        std::shared_ptr<const std::vector<double>> X, Y;
        std::function<std::shared_ptr<const std::vector<std::int32_t>>()> Index;
    };
    void SetPointsOfSlots(TCurveHandle h, std::vector<TSlotPoints> curves);
    // Points of a marker slot that are some of the samples (x, y): those
    // at the ascending indices `index` (out-of-range ones are left out; a
    // line slot gets them copied out).
    void SetIndexedPoints(TCurveHandle h, int slot, std::shared_ptr<const std::vector<double>> x,
                          std::shared_ptr<const std::vector<double>> y,
                          std::shared_ptr<const std::vector<std::int32_t>> index);
    void SetVisible(TCurveHandle h, int slot, bool visible);
    void SetOffset(TCurveHandle h, int slot, double dx, double dy);
    void SetOffsetEnabled(TCurveHandle h, int slot, bool enabled);

    // Receiver centring: with it on, receiver values v are drawn at
    // v * (max - min) / 200 + (max + min) / 2; off, the receiver's offset Y
    // is the file's receiver offset.
    void SetRxOffsetY(TCurveHandle h, double rxOffsetY);
    void SetRxCentre(bool centre);
    void SetDeflection(double deflectionMin, double deflectionMax);
    bool RxCentre() const { return rxCentre_; }

    // Annotations, in file coordinates.
    const std::vector<TCurveLabel>& Labels(TCurveHandle h) const;
    void SetLabels(TCurveHandle h, std::vector<TCurveLabel> labels);
    int AddLabel(TCurveHandle h, const TCurveLabel& label);
    void DeleteLabel(TCurveHandle h, int index);

    // Extent of the visible curves on an axis (bottom: their times).
    TRange Extent(AxisId axis) const;

signals:
    void FileAdded(TCurveHandle h);
    void FileRemoved(TCurveHandle h);
    void FileRenamed(TCurveHandle h);
    // Points, mapping or offsets of a curve changed.
    void CurveChanged(TCurveHandle h, int slot);
    void VisibilityChanged(TCurveHandle h, int slot, bool visible);
    void LabelsChanged(TCurveHandle h);

private:
    TCurve* MutableCurve(TCurveHandle h, int slot);
    void ApplyRxMapping(TCurveHandle h, TCurveFile& f);
    void SyncLabelPoints(TCurveHandle h, TCurveFile& f);
    // The pyramid, value range and running sums of a curve's points.
    void Prepare(int slot, TCurve& c);

    std::map<TCurveHandle, TCurveFile> files_;
    TCurveHandle next_ = 1;
    bool rxCentre_ = false;
    double deflectionMin_ = -5.0;
    double deflectionMax_ = 5.0;
};

} // namespace qv
