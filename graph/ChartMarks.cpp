#include "graph/Chart.h"
#include "graph/PointReduce.h"

#include <qcustomplot.h>

namespace qv {

void TChartView::DrawnMarks(const TCurve& c, QCPGraph* g, double lower, double upper, int pixels,
                            QVector<QCPGraphData>& points)
{
    ReduceCurveForView(c, lower, upper, pixels, indices_);
    // One mark per cell of the shape's width: more would only be drawn
    // over each other.
    markX_.resize(indices_.size());
    markY_.resize(indices_.size());
    QCPAxis* valueAxis = g->valueAxis();
    // The points lie anywhere in the samples: fetched a few ahead, so that
    // the waits for memory overlap.
    for (std::size_t m = 0; m < indices_.size(); ++m) {
        if (m + 16 < indices_.size()) {
            const std::size_t ahead = c.Sample(indices_[m + 16]);
            __builtin_prefetch(&(*c.X)[ahead]);
            __builtin_prefetch(&(*c.Y)[ahead]);
        }
        const std::int64_t j = indices_[m];
        markX_[m] = Chart1->xAxis->coordToPixel(c.DrawnX(c.PointX(j)));
        markY_[m] = valueAxis->coordToPixel(c.DrawnY(c.PointY(j)));
    }
    ThinMarks(markX_, markY_, g->scatterStyle().size(), kept_);
    points.reserve(static_cast<int>(kept_.size()));
    for (const std::int32_t m : kept_) {
        const std::int64_t j = indices_[static_cast<std::size_t>(m)];
        points.push_back(QCPGraphData(c.DrawnX(c.PointX(j)), c.DrawnY(c.PointY(j))));
    }
}

} // namespace qv
