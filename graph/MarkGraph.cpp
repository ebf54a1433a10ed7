#include "graph/MarkGraph.h"

#include <QPaintEngine>
#include <cmath>

namespace qv {

namespace {

bool RasterPainter(const QCPPainter* painter)
{
    return painter->paintEngine() && painter->paintEngine()->type() == QPaintEngine::Raster &&
           !painter->modes().testFlag(QCPPainter::pmVectorized);
}

} // namespace

void TMarkGraph::drawScatterPlot(QCPPainter* painter, const QVector<QPointF>& points,
                                 const QCPScatterStyle& style) const
{
    if (!RasterPainter(painter) || style.shape() == QCPScatterStyle::ssPixmap || style.isNone()) {
        QCPGraph::drawScatterPlot(painter, points, style);
        return;
    }
    // The shape is drawn once into a picture, which is then put at every
    // point: the same pixels at a fraction of the cost.
    const double size = style.size();
    const int side = static_cast<int>(std::ceil(size + style.pen().widthF())) + 3;
    const bool smooth = painter->testRenderHint(QPainter::Antialiasing);
    const QString key = QStringLiteral("%1 %2 %3 %4 %5 %6")
                            .arg(int(style.shape()))
                            .arg(size)
                            .arg(style.pen().color().rgba())
                            .arg(style.brush().color().rgba())
                            .arg(style.pen().widthF())
                            .arg(smooth);
    if (key != stampKey_) {
        stamp_ = QPixmap(side, side);
        stamp_.fill(Qt::transparent);
        QCPPainter p(&stamp_);
        p.setAntialiasing(smooth);
        style.applyTo(&p, mPen);
        style.drawShape(&p, side / 2.0, side / 2.0);
        p.end();
        stampKey_ = key;
    }
    for (const QPointF& pt : points)
        painter->drawPixmap(QPointF(std::round(pt.x() - side / 2.0), std::round(pt.y() - side / 2.0)), stamp_);
}

} // namespace qv
