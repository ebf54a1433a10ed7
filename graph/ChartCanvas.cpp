#include "graph/ChartCanvas.h"

#include "graph/PixelCanvas.h"
#include "graph/WorkerTeam.h"

#include <QPaintEngine>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <utility>

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
    if (background_ && image_.devicePixelRatio() == 1.0) {
        // Every pixel is opaque: the same pixels seen as a picture without
        // alpha, which Qt copies to the screen as they are.
        const QImage opaque(image_.constBits(), image_.width(), image_.height(), image_.bytesPerLine(),
                            QImage::Format_RGB32);
        painter->drawImage(0, 0, opaque);
    } else if (background_) {
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
    // The drawing's threads wait awake between the jobs of a replot; its
    // repaint, or its end, sends them to sleep.
    connect(this, &QCustomPlot::beforeReplot, this, [this] { team_->Hold(); });
    connect(this, &QCustomPlot::afterReplot, this, [this] { team_->Rest(); });
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
    team_->Run([&](int worker, int) {
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
    team_->RunEach(job);
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

TInk::TInk(int top, int bottom)
    : top_(top), bottom_(bottom), cover_(static_cast<std::size_t>(std::max(0, bottom - top + 1)) + 1, 0)
{
}

void TInk::AddLine(const int* rows, int n)
{
    for (int i = 1; i < n; ++i)
        if (rows[i] != TPixelCanvas::kGap && rows[i - 1] != TPixelCanvas::kGap)
            Add(std::min(rows[i - 1], rows[i]), std::max(rows[i - 1], rows[i]), 1);
}

void TInk::AddMarks(const int* rows, int n, int extent)
{
    for (int i = 0; i < n; ++i)
        if (rows[i] != TPixelCanvas::kGap)
            Add(rows[i], rows[i] + extent - 1, extent);
}

std::vector<int> TInk::Tops(int parts) const
{
    const int span = bottom_ - top_ + 1;
    std::int64_t total = 0, ink = 0;
    for (int r = 0; r < span; ++r)
        total += ink += cover_[static_cast<std::size_t>(r)];
    std::vector<int> tops(static_cast<std::size_t>(parts + 1), bottom_ + 1);
    tops[0] = top_;
    std::int64_t sum = 0;
    ink = 0;
    int part = 1;
    for (int r = 0; r < span && part < parts; ++r) {
        sum += ink += cover_[static_cast<std::size_t>(r)];
        while (part < parts && sum * parts >= total * part)
            tops[static_cast<std::size_t>(part++)] = top_ + r + 1;
    }
    return tops;
}

namespace {

// Whether a curve on these axes can be mapped so: time across, both linear.
bool PlainAxes(const QCPAxis* key, const QCPAxis* value)
{
    return key && value && key->orientation() == Qt::Horizontal && key->scaleType() == QCPAxis::stLinear &&
           value->scaleType() == QCPAxis::stLinear;
}

} // namespace

void TBandGraph::draw(QCPPainter* painter)
{
    if (std::exchange(drawn_, false))
        return; // drawn with a curve below it
    std::vector<std::pair<TBandGraph*, TPixelCanvas>> run;
    if (std::optional<TPixelCanvas> canvas = Prepare(painter))
        run.emplace_back(this, *canvas);
    else {
        QCPGraph::draw(painter);
        return;
    }
    // The curves right above it that are shown, up to one that cannot be
    // drawn so, each set up as its layer sets it up.
    const QList<QCPLayerable*> children = layer() ? layer()->children() : QList<QCPLayerable*>();
    for (qsizetype i = children.indexOf(this) + 1; i > 0 && i < children.size(); ++i) {
        if (!children[i]->realVisibility())
            continue;
        auto* next = dynamic_cast<TBandGraph*>(children[i]);
        if (!next)
            break;
        painter->save();
        painter->setClipRect(next->clipRect().translated(0, -1));
        next->applyDefaultAntialiasingHint(painter);
        std::optional<TPixelCanvas> canvas = next->Prepare(painter);
        painter->restore();
        if (!canvas)
            break;
        run.emplace_back(next, *canvas);
    }
    DrawInBands(run);
    for (std::size_t i = 1; i < run.size(); ++i)
        run[i].first->drawn_ = true;
}

void TBandGraph::DrawInBands(const std::vector<std::pair<TBandGraph*, TPixelCanvas>>& run)
{
    auto* plot = dynamic_cast<TPlot*>(mParentPlot);
    int top = INT_MAX, bottom = INT_MIN;
    for (const auto& [graph, canvas] : run) {
        top = std::min(top, canvas.Top());
        bottom = std::max(bottom, canvas.Bottom());
    }
    auto drawWhole = [&] {
        for (const auto& [graph, canvas] : run) {
            TPixelCanvas whole = canvas;
            graph->DrawPart(whole);
        }
    };
    if (!plot || plot->Workers() == 1 || top > bottom) {
        for (const auto& item : run)
            item.first->Convert();
        return drawWhole();
    }
    // The pixels of the points and the rows of their ink, curve by curve
    // side by side.
    std::vector<TInk> inks(run.size(), TInk(top, bottom));
    plot->ForEach(static_cast<int>(run.size()), [&](int i, int) {
        TBandGraph* graph = run[static_cast<std::size_t>(i)].first;
        graph->Convert();
        graph->AddInk(inks[static_cast<std::size_t>(i)]);
    });
    int points = 0;
    for (std::size_t i = 0; i < run.size(); ++i) {
        points += run[i].first->Points();
        if (i > 0)
            inks[0].Add(inks[i]);
    }
    if (points < 256)
        return drawWhole();
    const std::vector<int> tops = inks[0].Tops(plot->Workers());
    plot->InBands([&](int band, int) {
        const int from = tops[static_cast<std::size_t>(band)], to = tops[static_cast<std::size_t>(band) + 1] - 1;
        for (const auto& [graph, canvas] : run) {
            if (std::max(from, canvas.Top()) > std::min(to, canvas.Bottom()))
                continue;
            TPixelCanvas part = canvas;
            part.SetClip(canvas.Left(), std::max(from, canvas.Top()), canvas.Right(), std::min(to, canvas.Bottom()));
            graph->DrawPart(part);
        }
    });
}

std::optional<std::vector<int>> PixelDashes(const QPen& pen)
{
    if (pen.style() == Qt::NoPen || pen.color().alpha() != 255 || pen.widthF() > 1.0 ||
        pen.brush().style() != Qt::SolidPattern || pen.dashOffset() != 0)
        return std::nullopt;
    std::vector<int> dashes;
    if (pen.style() != Qt::SolidLine)
        for (qreal d : pen.dashPattern())
            dashes.push_back(std::max(1, static_cast<int>(std::lround(d))));
    return dashes;
}

TPixelGrid::TPixelGrid(QCustomPlot* plot, const std::vector<QCPAxis*>& axes)
    : QCPLayerable(plot, QStringLiteral("grid"))
{
    for (QCPAxis* a : axes)
        axes_.emplace_back(a);
}

void TPixelGrid::applyDefaultAntialiasingHint(QCPPainter* painter) const
{
    painter->setAntialiasing(false);
}

void TPixelGrid::draw(QCPPainter* painter)
{
    QPointF o;
    std::optional<TPixelCanvas> canvas = CanvasOf(painter, &o);
    // With the pen's pattern in pixels where it goes straight into them.
    auto line = [&](const QPen& pen, bool smooth, const std::optional<std::vector<int>>& dashes, const QLineF& l) {
        if (canvas && dashes && !smooth) {
            // At whole pixels, as QCPPainter puts a line that is not smoothed.
            const QLine w = l.toLine();
            const double x[2] = {w.x1() + o.x(), w.x2() + o.x()}, y[2] = {w.y1() + o.y(), w.y2() + o.y()};
            canvas->Polyline(x, y, 2, pen.color().rgba(), *dashes);
            return;
        }
        painter->setAntialiasing(smooth);
        painter->setPen(pen);
        painter->drawLine(l);
    };
    for (const QCPAxis* a : axes_) {
        if (!a)
            continue;
        const QCPGrid* g = a->grid();
        const QRect r = a->axisRect()->rect();
        const bool across = a->orientation() == Qt::Horizontal;
        auto at = [&](double t) { return across ? QLineF(t, r.bottom(), t, r.top()) : QLineF(r.left(), t, r.right(), t); };
        // The line at zero in its own pen, where zero is inside the range
        // and has a tick.
        const QVector<double> ticks = a->tickVector();
        int zero = -1;
        const QCPRange range = a->range();
        if (g->zeroLinePen().style() != Qt::NoPen && range.lower < 0 && range.upper > 0)
            for (int i = 0; i < ticks.size() && zero < 0; ++i)
                if (std::abs(ticks[i]) < range.size() * 1e-6) {
                    zero = i;
                    line(g->zeroLinePen(), g->antialiasedZeroLine(), PixelDashes(g->zeroLinePen()),
                         at(a->coordToPixel(ticks[i])));
                }
        const std::optional<std::vector<int>> dashes = canvas ? PixelDashes(g->pen()) : std::nullopt;
        for (int i = 0; i < ticks.size(); ++i)
            if (i != zero)
                line(g->pen(), g->antialiased(), dashes, at(a->coordToPixel(ticks[i])));
    }
}

std::optional<TPixelCanvas> TLineGraph::Prepare(QCPPainter* painter)
{
    const QCPAxis* key = mKeyAxis.data();
    const QCPAxis* value = mValueAxis.data();
    if (!PlainAxes(key, value) || mLineStyle != lsLine || !mScatterStyle.isNone() || mBrush.style() != Qt::NoBrush ||
        selected() || mDataContainer->isEmpty() || !PixelDashes(mPen))
        return std::nullopt;
    applyDefaultAntialiasingHint(painter);
    if (painter->testRenderHint(QPainter::Antialiasing))
        return std::nullopt;
    QPointF o;
    std::optional<TPixelCanvas> canvas = CanvasOf(painter, &o);
    if (!canvas)
        return std::nullopt;
    kx_ = MapOf(key, o.x());
    vy_ = MapOf(value, o.y());
    dashes_ = *PixelDashes(mPen);
    colour_ = mPen.color().rgba();
    return canvas;
}

void TLineGraph::Convert()
{
    // The chart keeps only the points of the view (and a neighbour each
    // side): every one is drawn.
    const int n = mDataContainer->size();
    x_.resize(static_cast<std::size_t>(n));
    y_.resize(static_cast<std::size_t>(n));
    std::size_t i = 0;
    for (auto it = mDataContainer->constBegin(); it != mDataContainer->constEnd(); ++it, ++i) {
        x_[i] = TPixelCanvas::PixelOf(kx_(it->key));
        y_[i] = TPixelCanvas::PixelOf(vy_(it->value));
    }
}

void TLineGraph::DrawPart(TPixelCanvas& part) const
{
    // Every band walks the whole line, and draws its own rows of it.
    part.Polyline(x_.data(), y_.data(), Points(), colour_, dashes_);
}

std::optional<TPixelCanvas> TMarkGraph::Prepare(QCPPainter* painter)
{
    const QCPAxis* key = mKeyAxis.data();
    const QCPAxis* value = mValueAxis.data();
    if (!PlainAxes(key, value) || mLineStyle != lsNone || mBrush.style() != Qt::NoBrush || selected() ||
        mDataContainer->isEmpty() || mScatterStyle.isNone() || mScatterStyle.shape() == QCPScatterStyle::ssPixmap)
        return std::nullopt;
    applyScattersAntialiasingHint(painter);
    QPointF o;
    std::optional<TPixelCanvas> canvas = CanvasOf(painter, &o);
    if (!canvas)
        return std::nullopt;
    // The shape is drawn once into a picture, which is then put at every
    // mark: the same pixels at a fraction of the cost.
    const QCPScatterStyle& style = mScatterStyle;
    side_ = static_cast<int>(std::ceil(style.size() + style.pen().widthF())) + 3;
    const bool smooth = painter->testRenderHint(QPainter::Antialiasing);
    const QString imageKey = QStringLiteral("%1 %2 %3 %4 %5 %6")
                                 .arg(int(style.shape()))
                                 .arg(style.size())
                                 .arg(style.pen().color().rgba())
                                 .arg(style.brush().color().rgba())
                                 .arg(style.pen().widthF())
                                 .arg(smooth);
    if (imageKey != imageKey_) {
        image_ = QImage(side_, side_, QImage::Format_ARGB32_Premultiplied);
        image_.fill(Qt::transparent);
        QCPPainter p(&image_);
        p.setAntialiasing(smooth);
        style.applyTo(&p, mPen);
        style.drawShape(&p, side_ / 2.0, side_ / 2.0);
        p.end();
        imageKey_ = imageKey;
        stamp_.emplace(reinterpret_cast<const std::uint32_t*>(image_.constBits()), side_, side_);
    }
    kx_ = MapOf(key, o.x());
    vy_ = MapOf(value, o.y());
    return canvas;
}

void TMarkGraph::Convert()
{
    // The chart keeps only the marks that can be told apart: every one is
    // put where it belongs.
    x_.clear();
    y_.clear();
    for (auto it = mDataContainer->constBegin(); it != mDataContainer->constEnd(); ++it) {
        const double px = kx_(it->key) - side_ / 2.0, py = vy_(it->value) - side_ / 2.0;
        if (!(std::abs(px) < 1e9 && std::abs(py) < 1e9))
            continue; // not a number, or nowhere near
        x_.push_back(static_cast<int>(std::lround(px)));
        y_.push_back(static_cast<int>(std::lround(py)));
    }
}

void TMarkGraph::DrawPart(TPixelCanvas& part) const
{
    const int n = Points();
    for (int i = 0; i < n; ++i) // each band in the marks' order
        part.Stamp(*stamp_, x_[static_cast<std::size_t>(i)], y_[static_cast<std::size_t>(i)]);
}

} // namespace qv
