#pragma once
// A line curve that draws its dense stretches fast: where its points stand
// in neighbouring pixel columns (a reduced long curve) every column is
// filled from its lowest to its highest point, which is what the line
// through them covers, at the cost of one rectangle instead of a stroke of
// every pixel. Patterned pens keep their share of ink as the band's
// opacity. Sparse stretches, smoothed curves and vector output are drawn
// as QCPGraph draws them.
#include <qcustomplot.h>

namespace qv {

class TBandGraph : public QCPGraph {
public:
    TBandGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}

protected:
    void draw(QCPPainter* painter) override;

private:
    QVector<QPointF> pixels_;
};

} // namespace qv
