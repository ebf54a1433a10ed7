#pragma once
// A point curve that draws fast on screen: its mark is drawn once and then
// stamped at every point. Vector output (pictures, printing) draws every
// mark as QCPGraph does.
#include <QPixmap>
#include <QString>
#include <qcustomplot.h>

namespace qv {

class TMarkGraph : public QCPGraph {
public:
    TMarkGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}

protected:
    void drawScatterPlot(QCPPainter* painter, const QVector<QPointF>& points,
                         const QCPScatterStyle& style) const override;

private:
    mutable QPixmap stamp_;
    mutable QString stampKey_;
};

} // namespace qv
