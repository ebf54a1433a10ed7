#pragma once
// Fast drawing of the chart's curves on screen. The chart paints into
// pictures of its own (TImagePaintBuffer) instead of QCustomPlot's
// pixmaps, and its dense curves (thin, unsmoothed lines) and marks are put
// straight into those pixels. Whatever cannot go that way (smoothed or
// wide lines, scaled or vector output: pictures, printing) is drawn by
// QCustomPlot as usual.
#include "graph/PixelCanvas.h"

#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <memory>
#include <qcustomplot.h>
#include <vector>

namespace qv {

class TWorkerTeam;

// A paint buffer that is a QImage, so that its pixels can be reached.
class TImagePaintBuffer : public QCPAbstractPaintBuffer {
public:
    TImagePaintBuffer(const QSize& size, double devicePixelRatio);
    // The lowest buffer of a chart with a plain opaque background starts
    // as that colour instead of clear, and is then copied to the screen
    // without blending (the same picture, at the cost of a copy), as a
    // picture without alpha where it is at the screen's own scale.
    void SetBackground(const std::optional<QColor>& colour) { background_ = colour; }
    bool Opaque() const { return background_.has_value(); }
    // None of the layers of this buffer draws anything in the coming
    // replot: a buffer that is clear already is neither cleared again nor
    // put on the screen (a layer that later repaints alone ends this).
    void SetNothingToDraw(bool nothing) { nothingToDraw_ = nothing; }
    // Fills the rows part of parts of an opaque buffer with its colour
    // ahead of the replot (beside other work); the replot's clear then
    // leaves it as it is.
    void FillAhead(int part, int parts);
    void SetFilledAhead() { filledAhead_ = Opaque(); }
    QCPPainter* startPainting() override;
    void draw(QCPPainter* painter) const override;
    void clear(const QColor& colour) override;

protected:
    void reallocateBuffer() override;

private:
    QImage image_;
    std::optional<QColor> background_;
    bool nothingToDraw_ = false;
    bool clear_ = false;       // every pixel is transparent
    bool filledAhead_ = false; // filled with the background for the coming replot
};

// The chart: QCustomPlot painting into TImagePaintBuffer pictures.
class TPlot : public QCustomPlot {
public:
    explicit TPlot(QWidget* parent = nullptr);
    ~TPlot() override;
    // Puts picture buffers where QCustomPlot made pixmaps (run before each
    // replot; QCustomPlot makes a buffer when its layers ask for one more).
    void UseImageBuffers();
    // Runs job(band, bands) once for every band of the picture's rows,
    // side by side on the processors there are (TWorkerTeam::RunEach), and
    // returns when all are done.
    void InBands(const std::function<void(int band, int bands)>& job);
    // Runs job(item, worker) for every item of `count` on the processors
    // there are (worker: which of Workers() threads runs it).
    void ForEach(int count, const std::function<void(int item, int worker)>& job);
    // The same before a replot, filling the lowest buffer with the
    // background beside the jobs.
    void ForEachBeforeReplot(int count, const std::function<void(int item, int worker)>& job);
    int Workers() const;

protected:
    // As QCustomPlot paints, but without filling the background first where
    // the lowest buffer covers it opaquely.
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<TWorkerTeam> team_; // the drawing's own threads
};

// Pixels from the coordinates of a linear axis (as coordToPixel, plus
// `offset`): an offset and a scale.
struct TAxisMap {
    double Lower, At, Scale;
    double operator()(double c) const { return At + (c - Lower) * Scale; }
};
TAxisMap MapOf(const QCPAxis* axis, double offset = 0);

// The pixels a curve painted with `painter` can be drawn into directly,
// clipped as the painter is, and the offset of the painter's coordinates in
// them (none when the painter does not paint an image at its own scale).
std::optional<TPixelCanvas> CanvasOf(QCPPainter* painter, QPointF* offset);

// The dash pattern in whole pixels (empty: solid) of a pen that can be
// drawn a pixel wide straight into the pixels: opaque, one pixel or less.
std::optional<std::vector<int>> PixelDashes(const QPen& pen);

// The grid of the chart's axes as QCustomPlot draws it, its lines and the
// line at zero (their own grids, hidden, keep the pens; the chart has no
// sub-grid), but straight into the pixels where the painter allows: the
// same lines at a fraction of QPainter's cost for dotted ones.
class TPixelGrid : public QCPLayerable {
public:
    TPixelGrid(QCustomPlot* plot, const std::vector<QCPAxis*>& axes);

protected:
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override;
    void draw(QCPPainter* painter) override;

private:
    std::vector<QPointer<QCPAxis>> axes_;
};

// The rows a drawing's ink covers, to cut the picture into bands of rows
// that get about the same ink each.
class TInk {
public:
    TInk(int top, int bottom);
    // The rows the segments between the points cross (`rows`: theirs; a
    // gap breaks the line).
    void AddLine(const int* rows, int n);
    // `extent` rows from each point down, `extent` pixels a row (marks).
    void AddMarks(const int* rows, int n, int extent);
    void Add(const TInk& other)
    {
        for (std::size_t i = 0; i < cover_.size() && i < other.cover_.size(); ++i)
            cover_[i] += other.cover_[i];
    }
    // Where `parts` bands begin, and the end of the last (parts + 1 rows).
    std::vector<int> Tops(int parts) const;

private:
    void Add(int a, int b, int weight)
    {
        a = std::max(a, top_);
        b = std::min(b, bottom_);
        if (a <= b) {
            cover_[static_cast<std::size_t>(a - top_)] += weight;
            cover_[static_cast<std::size_t>(b - top_ + 1)] -= weight;
        }
    }
    int top_, bottom_;
    std::vector<std::int64_t> cover_; // by differences
};

// A curve drawn straight into the pixels when it can, with the curves
// right above it on its layer that can be drawn so too: all of them in one
// round of the chart's threads, each thread a band of rows, every band in
// the curves' order.
class TBandGraph : public QCPGraph {
public:
    TBandGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}

protected:
    void draw(QCPPainter* painter) final;
    // Gets ready to draw with `painter` as it is set for this curve, and
    // returns the pixels to draw into (none: QCustomPlot draws the curve).
    virtual std::optional<TPixelCanvas> Prepare(QCPPainter* painter) = 0;
    // Then the points' pixels, on any thread.
    virtual void Convert() = 0;
    virtual void AddInk(TInk& ink) const = 0;
    int Points() const { return static_cast<int>(y_.size()); }
    // Draws what falls into the clip of `part`.
    virtual void DrawPart(TPixelCanvas& part) const = 0;

    TAxisMap kx_{}, vy_{}; // set by Prepare
    std::vector<int> x_, y_; // set by Convert: the points' pixels

private:
    void DrawInBands(const std::vector<std::pair<TBandGraph*, TPixelCanvas>>& run);
    bool drawn_ = false; // with a curve below it, in this round of the layer
};

// A thin plain line (no fill, no marks, not selected, not smoothed).
class TLineGraph : public TBandGraph {
public:
    using TBandGraph::TBandGraph;

protected:
    std::optional<TPixelCanvas> Prepare(QCPPainter* painter) override;
    void Convert() override;
    void AddInk(TInk& ink) const override { ink.AddLine(y_.data(), Points()); }
    void DrawPart(TPixelCanvas& part) const override;

private:
    std::vector<int> dashes_;
    std::uint32_t colour_ = 0;
};

// Marks alone (no line, no fill, not selected): the mark is drawn once
// and then stamped at every point (x_, y_: its top left corner).
class TMarkGraph : public TBandGraph {
public:
    using TBandGraph::TBandGraph;

protected:
    std::optional<TPixelCanvas> Prepare(QCPPainter* painter) override;
    void Convert() override;
    void AddInk(TInk& ink) const override { ink.AddMarks(y_.data(), Points(), side_); }
    void DrawPart(TPixelCanvas& part) const override;

private:
    QImage image_;
    QString imageKey_;
    std::optional<TPixelCanvas::TStamp> stamp_;
    int side_ = 0;
};

} // namespace qv
