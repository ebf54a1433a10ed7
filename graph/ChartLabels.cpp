#include "graph/ChartLabels.h"

#include "base/Cp1250.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <cmath>

namespace qv {

namespace {

// Labels whose anchor lies this far outside the view may still reach into it.
constexpr double kReachPixels = 400;

// Every byte of the code page, in order.
constexpr std::array<char, 256> kAllBytes = [] {
    std::array<char, 256> a{};
    for (int b = 0; b < 256; ++b)
        a[static_cast<std::size_t>(b)] = static_cast<char>(b);
    return a;
}();

} // namespace

TChartLabels::TChartLabels(QCustomPlot* plot, const QString& layerName, const TCurveModel& model, TCurveHandle h)
    : QCPLayerable(plot, layerName), model_(model), h_(h)
{
    font_ = plot->font();
    font_.setPointSize(8);
}

void TChartLabels::Changed()
{
    dirty_ = true;
    widths_.clear();
}

void TChartLabels::SetBottomPadding(int pixels)
{
    if (pixels != pad_) {
        pad_ = pixels;
        dirty_ = true;
    }
}

void TChartLabels::applyDefaultAntialiasingHint(QCPPainter* painter) const
{
    applyAntialiasingHint(painter, mAntialiased, QCP::aeItems);
}

QRect TChartLabels::clipRect() const
{
    return mParentPlot && mParentPlot->axisRect() ? mParentPlot->axisRect()->rect() : QCPLayerable::clipRect();
}

void TChartLabels::Choose(const TView& view, const QFontMetricsF& fm)
{
    chosen_.clear();
    const TCurveFile* file = model_.File(h_);
    if (!file)
        return;
    const std::vector<TCurveLabel>& labels = file->Labels;
    const std::vector<std::int32_t>& order = file->LabelOrder;
    if (widths_.size() != labels.size()) {
        widths_.assign(labels.size(), -1.0f);
        // A text's width as the sum of its characters' advances: shaping
        // each of a million texts would take seconds.
        const QString all = FromCp1250(std::string_view(kAllBytes.data(), kAllBytes.size()));
        for (int b = 0; b < 256; ++b)
            advances_[static_cast<std::size_t>(b)] = static_cast<float>(fm.horizontalAdvance(all[b]));
    }
    QCPAxis* x = mParentPlot->xAxis;
    QCPAxis* y = mParentPlot->yAxis;
    const double boxHeight = fm.height() + 1 + pad_;
    TLabelPlace& place = place_;
    place.Reset(QRectF(view.Rect), boxHeight);
    // The labels whose anchors lie in view or within reach of it, walked in
    // time order over the annotation curve's points (the labels' times and
    // altitudes side by side, so the walk reads memory in sequence).
    const TCurve* annot = model_.Curve(h_, SlotAnnot);
    if (!annot || !annot->X || !annot->Y || annot->X->size() != order.size() || annot->Y->size() != order.size())
        return;
    const std::vector<double>& times = *annot->X;
    const std::vector<double>& altitudes = *annot->Y;
    const double reach = std::abs(x->pixelToCoord(view.Rect.left() + kReachPixels) - x->pixelToCoord(view.Rect.left()));
    const double lower = std::min(view.Keys.lower, view.Keys.upper) - view.OffsetX - reach;
    const double upper = std::max(view.Keys.lower, view.Keys.upper) - view.OffsetX + reach;
    // Linear axes map by a factor and a shift, worked out once.
    const bool linear = x->scaleType() == QCPAxis::stLinear && y->scaleType() == QCPAxis::stLinear;
    const double x0 = x->coordToPixel(view.OffsetX), kx = x->coordToPixel(view.OffsetX + 1) - x0;
    const double y0 = y->coordToPixel(view.OffsetY), ky = y->coordToPixel(view.OffsetY + 1) - y0;
    const std::size_t n = times.size();
    for (std::size_t k = std::lower_bound(times.begin(), times.end(), lower) - times.begin();
         k < n && times[k] <= upper; ++k) {
        const double px = linear ? x0 + kx * times[k] : x->coordToPixel(times[k] + view.OffsetX);
        const double py = linear ? y0 + ky * altitudes[k] : y->coordToPixel(altitudes[k] + view.OffsetY);
        if (!std::isfinite(px) || !std::isfinite(py))
            continue;
        // Widths are kept in time order too.
        auto width = [&] {
            float& w = widths_[k];
            if (w < 0) {
                double sum = 0;
                for (const char c : labels[static_cast<std::size_t>(order[k])].Text)
                    sum += advances_[static_cast<unsigned char>(c)];
                w = static_cast<float>(sum);
            }
            return w + 2.0;
        };
        if (place.Offer(px, py, width))
            chosen_.push_back(static_cast<std::int32_t>(k));
    }
}

void TChartLabels::draw(QCPPainter* painter)
{
    drawn_.clear();
    const TCurve* annot = model_.Curve(h_, SlotAnnot);
    if (!annot || !mParentPlot->axisRect())
        return;
    QCPAxis* x = mParentPlot->xAxis;
    QCPAxis* y = mParentPlot->yAxis;
    TView view;
    view.Keys = x->range();
    view.Values = y->range();
    view.Rect = mParentPlot->axisRect()->rect();
    view.OffsetX = annot->OffsetEnabled ? annot->OffsetX : 0.0;
    view.OffsetY = annot->OffsetEnabled ? annot->OffsetY : 0.0;
    view.Dpi = painter->device() ? painter->device()->logicalDpiY() : 0;
    painter->setFont(font_);
    const QFontMetricsF fm(font_, painter->device());
    if (dirty_ || !(view == view_)) {
        if (view.Dpi != view_.Dpi)
            widths_.clear();
        Choose(view, fm);
        view_ = view;
        dirty_ = false;
    }
    const TCurveFile* file = model_.File(h_);
    painter->setPen(QPen(Qt::black));
    painter->setBrush(Qt::NoBrush);
    const double textHeight = fm.height();
    for (const std::int32_t k : chosen_) {
        const TCurveLabel& l = file->Labels[static_cast<std::size_t>(file->LabelOrder[static_cast<std::size_t>(k)])];
        const double key = l.Time + view.OffsetX, value = l.Altitude + view.OffsetY;
        const QString text = FromCp1250(l.Text);
        const double px = x->coordToPixel(key), py = y->coordToPixel(value);
        const double w = widths_[static_cast<std::size_t>(k)];
        // The box: one pixel of room left, right and above the text, the
        // padding below it; anchored at its bottom centre.
        const QRectF textRect(px - w / 2, py - pad_ - textHeight, w, textHeight);
        painter->drawText(textRect, Qt::AlignCenter | Qt::TextDontClip, text);
        drawn_.push_back({text, key, value});
    }
}

} // namespace qv
