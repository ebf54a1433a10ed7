#include "graph/ChartCanvas.h"

#include "graph/PixelCanvas.h"
#include "graph/WorkerTeam.h"

#include <QPaintEngine>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>

namespace qv {

TImagePaintBuffer::TImagePaintBuffer(const QSize& size, double devicePixelRatio)
    : QCPAbstractPaintBuffer(size, devicePixelRatio)
{
    TImagePaintBuffer::reallocateBuffer();
}

QCPPainter* TImagePaintBuffer::startPainting()
{
    if (!nothingToDraw_)
        clear_ = false;
    auto* painter = new QCPPainter(&image_);
    painter->setRenderHint(QPainter::Antialiasing, false);
    return painter;
}

void TImagePaintBuffer::draw(QCPPainter* painter) const
{
    if (!painter || !painter->isActive() || clear_)
        return;
    if (background_) {
        painter->save();
        painter->setCompositionMode(QPainter::CompositionMode_Source);
        painter->drawImage(0, 0, image_);
        painter->restore();
    } else {
        painter->drawImage(0, 0, image_);
    }
}

void TImagePaintBuffer::FillAhead(int part, int parts)
{
    if (!background_ || image_.isNull())
        return;
    const int rows = image_.height(), from = rows * part / parts, to = rows * (part + 1) / parts;
    const std::uint32_t colour = background_->rgba(); // opaque: premultiplied as it is
    for (int y = from; y < to; ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(image_.scanLine(y));
        std::fill(line, line + image_.width(), colour);
    }
}

void TImagePaintBuffer::clear(const QColor& colour)
{
    if (background_) {
        if (!filledAhead_)
            image_.fill(*background_);
        filledAhead_ = false;
        clear_ = false;
        return;
    }
    const bool transparent = colour.alpha() == 0;
    if (!(transparent && clear_ && nothingToDraw_))
        image_.fill(colour);
    clear_ = transparent;
}

void TImagePaintBuffer::reallocateBuffer()
{
    setInvalidated();
    clear_ = filledAhead_ = false;
    image_ = QImage(mSize * mDevicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image_.setDevicePixelRatio(mDevicePixelRatio);
}

TPlot::TPlot(QWidget* parent)
    : QCustomPlot(parent), team_(std::make_unique<TWorkerTeam>(std::clamp(QThread::idealThreadCount(), 1, 8) - 1))
{
    // What UseImageBuffers learnt holds for one replot's drawing only.
    connect(this, &QCustomPlot::afterReplot, this, [this] {
        for (const QSharedPointer<QCPAbstractPaintBuffer>& b : mPaintBuffers)
            if (auto* image = dynamic_cast<TImagePaintBuffer*>(b.data()))
                image->SetNothingToDraw(false);
    });
}

TPlot::~TPlot() = default;

int TPlot::Workers() const { return team_->Size(); }

void TPlot::paintEvent(QPaintEvent* event)
{
    // The replot's drawing is done: the copy to the screen, which Qt splits
    // over threads of its own, gets the processors.
    team_->Rest();
    const auto* lowest = mPaintBuffers.isEmpty() ? nullptr : dynamic_cast<TImagePaintBuffer*>(mPaintBuffers.first().data());
    if (!lowest || !lowest->Opaque() || !qFuzzyCompare(mBufferDevicePixelRatio, devicePixelRatioF())) {
        QCustomPlot::paintEvent(event);
        return;
    }
    QCPPainter painter(this);
    if (!painter.isActive())
        return;
    for (const QSharedPointer<QCPAbstractPaintBuffer>& buffer : mPaintBuffers)
        buffer->draw(&painter);
}

void TPlot::ForEach(int count, const std::function<void(int, int)>& job)
{
    if (count <= 1) {
        if (count == 1)
            job(0, 0);
        return;
    }
    std::atomic<int> next{0};
    InBands([&](int worker, int) {
        for (int i = next++; i < count; i = next++)
            job(i, worker);
    });
}

void TPlot::ForEachBeforeReplot(int count, const std::function<void(int, int)>& job)
{
    auto* lowest = mPaintBuffers.isEmpty() ? nullptr : dynamic_cast<TImagePaintBuffer*>(mPaintBuffers.first().data());
    const int fills = lowest && lowest->Opaque() ? 4 * Workers() : 0; // small, to even out the end
    ForEach(count + fills, [&](int i, int worker) {
        if (i < count)
            job(i, worker);
        else
            lowest->FillAhead(i - count, fills);
    });
    if (lowest)
        lowest->SetFilledAhead();
}

void TPlot::InBands(const std::function<void(int, int)>& job)
{
    team_->Run(job);
}

void TPlot::UseImageBuffers()
{
    const double ratio = devicePixelRatioF();
    if (mPaintBuffers.isEmpty())
        mPaintBuffers.append(QSharedPointer<QCPAbstractPaintBuffer>(new TImagePaintBuffer(viewport().size(), ratio)));
    for (QSharedPointer<QCPAbstractPaintBuffer>& b : mPaintBuffers)
        if (!dynamic_cast<TImagePaintBuffer*>(b.data()))
            b.reset(new TImagePaintBuffer(viewport().size(), ratio));
    const bool plain = mBackgroundBrush.style() == Qt::SolidPattern && mBackgroundBrush.color().alpha() == 255 &&
                       mBackgroundPixmap.isNull() && viewport() == rect();
    // Which buffers the layers will draw something into, buffered as
    // QCustomPlot lays them out: a buffered layer has one of its own, and
    // the logical layers that follow it share the next.
    std::vector<bool> used(1, false);
    for (int i = 0; i < mLayers.size(); ++i) {
        const QCPLayer* l = mLayers[i];
        if (l->mode() == QCPLayer::lmBuffered)
            used.push_back(false);
        const auto& children = l->children();
        const bool draws = std::any_of(children.begin(), children.end(), [](QCPLayerable* c) {
            const auto* band = qobject_cast<QCPSelectionRect*>(c); // drawn only while dragged
            return c->realVisibility() && (!band || band->isActive());
        });
        used.back() = used.back() || draws;
        if (l->mode() == QCPLayer::lmBuffered && i + 1 < mLayers.size() && mLayers[i + 1]->mode() == QCPLayer::lmLogical)
            used.push_back(false);
    }
    for (int i = 0; i < mPaintBuffers.size(); ++i) {
        auto* b = static_cast<TImagePaintBuffer*>(mPaintBuffers[i].data());
        b->SetBackground(i == 0 && plain ? std::optional<QColor>(mBackgroundBrush.color()) : std::nullopt);
        b->SetNothingToDraw(i > 0 && i < static_cast<int>(used.size()) && !used[static_cast<std::size_t>(i)]);
    }
}

TAxisMap MapOf(const QCPAxis* axis, double offset)
{
    const QCPRange r = axis->range();
    const double p0 = axis->coordToPixel(r.lower), p1 = axis->coordToPixel(r.upper);
    return {r.lower, p0 + offset, r.size() > 0 ? (p1 - p0) / r.size() : 0.0};
}

std::optional<TPixelCanvas> CanvasOf(QCPPainter* painter, QPointF* offset)
{
    QPaintDevice* device = painter->device();
    if (!device || device->devType() != QInternal::Image || !painter->paintEngine() ||
        painter->paintEngine()->type() != QPaintEngine::Raster || painter->modes().testFlag(QCPPainter::pmVectorized) ||
        painter->transform().type() > QTransform::TxTranslate)
        return std::nullopt;
    auto* image = static_cast<QImage*>(device);
    if (image->format() != QImage::Format_ARGB32_Premultiplied || image->devicePixelRatio() != 1.0)
        return std::nullopt;
    const QPointF o(painter->transform().dx(), painter->transform().dy());
    // The painter is at work on this image: its bits are the pixels it
    // paints, shared with nothing else.
    TPixelCanvas canvas(reinterpret_cast<std::uint32_t*>(image->bits()), image->width(), image->height(),
                        static_cast<int>(image->bytesPerLine() / 4));
    if (painter->hasClipping()) {
        const QRect clip = painter->clipBoundingRect().translated(o).toAlignedRect();
        canvas.SetClip(clip.left(), clip.top(), clip.right(), clip.bottom());
    }
    *offset = o;
    return canvas;
}

namespace {

// Where to cut the rows top .. bottom into `parts` bands of the same ink:
// the rows the segments between the points cross (extent 0: a line), or
// `extent` rows from each point down (marks).
std::vector<int> BandTops(const int* rows, int n, int extent, int top, int bottom, int parts)
{
    const int span = bottom - top + 1;
    std::vector<std::int64_t> cover(static_cast<std::size_t>(std::max(0, span)) + 1, 0); // by differences
    auto add = [&](int a, int b) {
        a = std::max(a, top);
        b = std::min(b, bottom);
        if (a <= b) {
            ++cover[static_cast<std::size_t>(a - top)];
            --cover[static_cast<std::size_t>(b - top + 1)];
        }
    };
    for (int i = 0; i < n; ++i) {
        if (rows[i] == TPixelCanvas::kGap)
            continue;
        if (extent > 0)
            add(rows[i], rows[i] + extent - 1);
        else if (i > 0 && rows[i - 1] != TPixelCanvas::kGap)
            add(std::min(rows[i - 1], rows[i]), std::max(rows[i - 1], rows[i]));
    }
    std::int64_t total = 0, ink = 0;
    for (int r = 0; r < span; ++r)
        total += ink += cover[static_cast<std::size_t>(r)];
    std::vector<int> tops(static_cast<std::size_t>(parts + 1), bottom + 1);
    tops[0] = top;
    std::int64_t sum = 0;
    ink = 0;
    int part = 1;
    for (int r = 0; r < span && part < parts; ++r) {
        sum += ink += cover[static_cast<std::size_t>(r)];
        while (part < parts && sum * parts >= total * part)
            tops[static_cast<std::size_t>(part++)] = top + r + 1;
    }
    return tops;
}

// Draws a job of `n` points with draw(part) on the whole canvas, or, a
// long one, in bands of its rows side by side on the chart's threads, cut
// where each gets about the same ink (`rows`: the points' rows).
template <class Draw>
void InBandsOf(QCustomPlot* chart, TPixelCanvas& canvas, const int* rows, int n, int extent, const Draw& draw)
{
    auto* plot = dynamic_cast<TPlot*>(chart);
    if (!plot || n < 256 || plot->Workers() == 1) {
        draw(canvas);
        return;
    }
    const TPixelCanvas whole = canvas;
    const std::vector<int> tops = BandTops(rows, n, extent, whole.Top(), whole.Bottom(), plot->Workers());
    plot->InBands([&](int band, int) {
        TPixelCanvas part = whole;
        part.SetClip(whole.Left(), tops[static_cast<std::size_t>(band)], whole.Right(),
                     tops[static_cast<std::size_t>(band) + 1] - 1);
        draw(part);
    });
}

// Whether a curve on these axes can be mapped so: time across, both linear.
bool PlainAxes(const QCPAxis* key, const QCPAxis* value)
{
    return key && value && key->orientation() == Qt::Horizontal && key->scaleType() == QCPAxis::stLinear &&
           value->scaleType() == QCPAxis::stLinear;
}

} // namespace

void TLineGraph::draw(QCPPainter* painter)
{
    const QCPAxis* key = mKeyAxis.data();
    const QCPAxis* value = mValueAxis.data();
    if (!PlainAxes(key, value) || mLineStyle != lsLine || !mScatterStyle.isNone() || mBrush.style() != Qt::NoBrush ||
        selected() || mDataContainer->isEmpty() || mPen.style() == Qt::NoPen || mPen.color().alpha() != 255 ||
        mPen.widthF() > 1.0 || mPen.brush().style() != Qt::SolidPattern) {
        QCPGraph::draw(painter);
        return;
    }
    applyDefaultAntialiasingHint(painter);
    QPointF o;
    std::optional<TPixelCanvas> canvas;
    if (!painter->testRenderHint(QPainter::Antialiasing))
        canvas = CanvasOf(painter, &o);
    if (!canvas) {
        QCPGraph::draw(painter);
        return;
    }
    // The chart keeps only the points of the view (and a neighbour each
    // side): every one is drawn.
    const TAxisMap kx = MapOf(key, o.x()), vy = MapOf(value, o.y());
    const int n = mDataContainer->size();
    x_.resize(static_cast<std::size_t>(n));
    y_.resize(static_cast<std::size_t>(n));
    std::size_t i = 0;
    for (auto it = mDataContainer->constBegin(); it != mDataContainer->constEnd(); ++it, ++i) {
        x_[i] = TPixelCanvas::PixelOf(kx(it->key));
        y_[i] = TPixelCanvas::PixelOf(vy(it->value));
    }
    dashes_.clear();
    if (mPen.style() != Qt::SolidLine)
        for (qreal d : mPen.dashPattern())
            dashes_.push_back(std::max(1, static_cast<int>(std::lround(d))));
    const std::uint32_t colour = mPen.color().rgba();
    // Every band walks the whole line, and draws its own rows of it.
    InBandsOf(mParentPlot, *canvas, y_.data(), n, 0,
              [&](TPixelCanvas& part) { part.Polyline(x_.data(), y_.data(), n, colour, dashes_); });
}

void TMarkGraph::draw(QCPPainter* painter)
{
    const QCPAxis* key = mKeyAxis.data();
    const QCPAxis* value = mValueAxis.data();
    if (!PlainAxes(key, value) || mLineStyle != lsNone || mBrush.style() != Qt::NoBrush || selected() ||
        mDataContainer->isEmpty() || mScatterStyle.isNone() || mScatterStyle.shape() == QCPScatterStyle::ssPixmap) {
        QCPGraph::draw(painter);
        return;
    }
    applyScattersAntialiasingHint(painter);
    QPointF o;
    std::optional<TPixelCanvas> canvas = CanvasOf(painter, &o);
    if (!canvas) {
        QCPGraph::draw(painter);
        return;
    }
    // The shape is drawn once into a picture, which is then put at every
    // mark: the same pixels at a fraction of the cost.
    const QCPScatterStyle& style = mScatterStyle;
    const int side = static_cast<int>(std::ceil(style.size() + style.pen().widthF())) + 3;
    const bool smooth = painter->testRenderHint(QPainter::Antialiasing);
    const QString stampKey = QStringLiteral("%1 %2 %3 %4 %5 %6")
                                 .arg(int(style.shape()))
                                 .arg(style.size())
                                 .arg(style.pen().color().rgba())
                                 .arg(style.brush().color().rgba())
                                 .arg(style.pen().widthF())
                                 .arg(smooth);
    if (stampKey != stampKey_) {
        stamp_ = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        stamp_.fill(Qt::transparent);
        QCPPainter p(&stamp_);
        p.setAntialiasing(smooth);
        style.applyTo(&p, mPen);
        style.drawShape(&p, side / 2.0, side / 2.0);
        p.end();
        stampKey_ = stampKey;
    }
    // The chart keeps only the marks that can be told apart: every one is
    // put where it belongs.
    const TAxisMap kx = MapOf(key, o.x()), vy = MapOf(value, o.y());
    x_.clear();
    y_.clear();
    for (auto it = mDataContainer->constBegin(); it != mDataContainer->constEnd(); ++it) {
        const double px = kx(it->key) - side / 2.0, py = vy(it->value) - side / 2.0;
        if (!(std::abs(px) < 1e9 && std::abs(py) < 1e9))
            continue; // not a number, or nowhere near
        x_.push_back(static_cast<int>(std::lround(px)));
        y_.push_back(static_cast<int>(std::lround(py)));
    }
    const TPixelCanvas::TStamp stamp(reinterpret_cast<const std::uint32_t*>(stamp_.constBits()), side, side);
    const int n = static_cast<int>(x_.size());
    InBandsOf(mParentPlot, *canvas, y_.data(), n, side, [&](TPixelCanvas& part) {
        for (int i = 0; i < n; ++i) // each band in the marks' order
            part.Stamp(stamp, x_[static_cast<std::size_t>(i)], y_[static_cast<std::size_t>(i)]);
    });
}

} // namespace qv
