#pragma once
// The annotation labels of one file on the chart, drawn on a layer of their
// own. Only the labels in view that can be told apart are drawn (see
// graph/LabelPlace.h); the choice is made again when the view, the labels
// or their offsets change, so a file with a million labels pans and zooms
// as smoothly as one with a few.
#include "graph/CurveModel.h"
#include "graph/LabelPlace.h"

#include <QFont>
#include <array>
#include <qcustomplot.h>
#include <vector>

namespace qv {

class TChartLabels : public QCPLayerable {
    Q_OBJECT
public:
    // Draws the labels of file h of the model on layer layerName of plot.
    TChartLabels(QCustomPlot* plot, const QString& layerName, const TCurveModel& model, TCurveHandle h);

    struct TDrawnLabel {
        QString Text;
        double Key = 0;   // drawn place on the time axis
        double Value = 0; // and on the left axis
    };
    // The labels drawn at the last replot, in time order.
    const std::vector<TDrawnLabel>& Drawn() const { return drawn_; }

    // The labels or their curve changed.
    void Changed();
    // Room below each label (pixels) for the annotation's mark.
    void SetBottomPadding(int pixels);
    int BottomPadding() const { return pad_; }

protected:
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override;
    void draw(QCPPainter* painter) override;
    QRect clipRect() const override;

private:
    struct TView {
        QCPRange Keys, Values;
        QRect Rect;
        double OffsetX = 0, OffsetY = 0;
        int Dpi = 0;
        bool operator==(const TView& o) const
        {
            return Keys == o.Keys && Values == o.Values && Rect == o.Rect && OffsetX == o.OffsetX &&
                   OffsetY == o.OffsetY && Dpi == o.Dpi;
        }
    };
    void Choose(const TView& view, const QFontMetricsF& fm);

    const TCurveModel& model_;
    TCurveHandle h_;
    QFont font_;
    int pad_ = 2;
    bool dirty_ = true;
    TView view_;
    std::vector<float> widths_; // text widths in pixels, in time order; < 0 unknown
    std::array<float, 256> advances_{}; // of each byte's character
    std::vector<std::int32_t> chosen_; // labels drawn, by their place in time order
    TLabelPlace place_;
    std::vector<TDrawnLabel> drawn_;
};

} // namespace qv
