#include "graph/BandGraph.h"

#include <QPaintEngine>
#include <algorithm>
#include <cmath>

namespace qv {

namespace {

// Share of a pen's pattern that is ink.
double InkShare(Qt::PenStyle style)
{
    switch (style) {
    case Qt::DashLine: return 4.0 / 6.0;
    case Qt::DotLine: return 1.0 / 3.0;
    case Qt::DashDotLine: return 5.0 / 9.0;
    case Qt::DashDotDotLine: return 6.0 / 12.0;
    default: return 1.0;
    }
}

} // namespace

void TBandGraph::draw(QCPPainter* painter)
{
    QCPAxis* keyAxis = mKeyAxis.data();
    QCPAxis* valueAxis = mValueAxis.data();
    const bool raster = painter->paintEngine() && painter->paintEngine()->type() == QPaintEngine::Raster &&
                        !painter->modes().testFlag(QCPPainter::pmVectorized);
    if (!raster || antialiased() || mLineStyle != lsLine || !keyAxis || !valueAxis ||
        keyAxis->orientation() != Qt::Horizontal || mDataContainer->isEmpty() || mPen.style() == Qt::NoPen ||
        mScatterStyle.shape() != QCPScatterStyle::ssNone) {
        QCPGraph::draw(painter);
        return;
    }
    pixels_.resize(mDataContainer->size());
    int n = 0;
    for (auto it = mDataContainer->constBegin(); it != mDataContainer->constEnd(); ++it) {
        if (std::isnan(it->value))
            continue;
        pixels_[n++] = QPointF(keyAxis->coordToPixel(it->key), valueAxis->coordToPixel(it->value));
    }
    if (n == 0)
        return;
    QColor ink = mPen.color();
    ink.setAlphaF(ink.alphaF() * InkShare(mPen.style()));
    const int w = std::max(1, qRound(mPen.widthF()));
    const int half = (w - 1) / 2;
    painter->setAntialiasing(false);
    // Runs of points within one column, each column joined to the last
    // point of the one before.
    int i = 0;
    double prevY = 0;
    long prevColumn = std::lround(pixels_[0].x()) - 1;
    const QRect clip = clipRect();
    while (i < n) {
        const long column = std::lround(pixels_[i].x());
        double lo = pixels_[i].y(), hi = lo;
        int j = i + 1;
        for (; j < n && std::lround(pixels_[j].x()) == column; ++j) {
            lo = std::min(lo, pixels_[j].y());
            hi = std::max(hi, pixels_[j].y());
        }
        if (column == prevColumn + 1 || i == 0) {
            if (i > 0) {
                lo = std::min(lo, prevY);
                hi = std::max(hi, prevY);
            }
        } else {
            // A gap between columns: a line over it.
            painter->setPen(mPen);
            painter->drawLine(pixels_[i - 1], pixels_[i]);
        }
        if (column + w >= clip.left() && column - w <= clip.right()) {
            const long top = std::lround(std::max(lo, clip.top() - 1.0 * w));
            const long bottom = std::lround(std::min(hi, clip.bottom() + 1.0 * w));
            if (bottom >= top)
                painter->fillRect(QRect(static_cast<int>(column - half), static_cast<int>(top - half), w,
                                        static_cast<int>(bottom - top + w)),
                                  ink);
        }
        prevY = pixels_[j - 1].y();
        prevColumn = column;
        i = j;
    }
}

} // namespace qv
