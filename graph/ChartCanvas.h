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
    // without blending (the same picture, at the cost of a copy).
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
    // Runs job(band, bands) for bands of the picture's rows side by side
    // on the processors there are, and returns when all are done.
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

// A line curve drawn straight into the pixels when it can.
class TLineGraph : public QCPGraph {
public:
    TLineGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}

protected:
    // A thin plain line (no fill, no marks, not selected, not smoothed)
    // goes from the data straight to pixels; anything else as QCustomPlot
    // draws it.
    void draw(QCPPainter* painter) override;

private:
    std::vector<int> x_, y_; // the points' pixels
    std::vector<int> dashes_;
};

// A point curve whose mark is drawn once and then stamped at every point.
class TMarkGraph : public QCPGraph {
public:
    TMarkGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}

protected:
    // Marks alone (no line, no fill, not selected) go from the data
    // straight to their places; anything else as QCustomPlot draws it.
    void draw(QCPPainter* painter) override;

private:
    QImage stamp_;
    QString stampKey_;
    std::vector<int> x_, y_; // where the stamps go
};

} // namespace qv
