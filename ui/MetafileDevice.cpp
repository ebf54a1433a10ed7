#include "ui/MetafileDevice.h"

#include "base/CheckedWrite.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTextItem>
#include <QtMath>
#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

namespace qv {

// Turns the painter's primitives into metafile records: every point goes
// through the painter's transform into pixels, then into the file's finer
// logical units.
class TMetafileEngine : public QPaintEngine {
public:
    explicit TMetafileEngine(TMetafileDevice& device) : QPaintEngine(QPaintEngine::AllFeatures), device_(device) {}

    bool begin(QPaintDevice*) override
    {
        writer_ = std::make_unique<TMetafileWriter>(device_.kind_, device_.size_, device_.dpi_, device_.Units());
        units_ = device_.Units();
        clip_.reset();
        return true;
    }

    bool end() override
    {
        if (!writer_)
            return false;
        device_.data_ = writer_->Finish();
        device_.records_ = writer_->RecordCount();
        writer_.reset();
        return true;
    }

    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& s) override
    {
        const DirtyFlags f = s.state();
        if (f & DirtyPen)
            pen_ = s.pen();
        if (f & DirtyBrush)
            brush_ = s.brush();
        if (f & DirtyFont)
            font_ = s.font();
        if (f & DirtyTransform)
            transform_ = s.transform();
        if (f & (DirtyClipPath | DirtyClipRegion)) {
            std::optional<QRectF> rect;
            if (s.clipOperation() != Qt::NoClip) {
                const QRectF local = (f & DirtyClipPath) ? s.clipPath().boundingRect()
                                                         : QRectF(s.clipRegion().boundingRect());
                rect = s.transform().mapRect(local);
                if (s.clipOperation() == Qt::IntersectClip && clip_)
                    rect = rect->intersected(*clip_);
            }
            clip_ = rect;
        }
        if ((f & DirtyClipEnabled) && !s.isClipEnabled())
            clip_.reset();
    }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        Prepare();
        const QPolygon poly = Map(points, count);
        if (mode == PolylineMode) {
            if (Strokes()) {
                writer_->SetPen(MetaPen());
                writer_->Polyline(poly);
            }
            return;
        }
        writer_->SetFillWinding(mode != OddEvenMode);
        writer_->SetBrush(MetaBrush());
        writer_->SetPen(MetaPen());
        writer_->Polygon(poly);
    }

    void drawPolygon(const QPoint* points, int count, PolygonDrawMode mode) override
    {
        QVector<QPointF> f(count);
        std::copy(points, points + count, f.begin());
        drawPolygon(f.constData(), count, mode);
    }

    void drawPath(const QPainterPath& path) override
    {
        Prepare();
        if (auto brush = MetaBrush()) {
            QVector<QPolygon> fills;
            const QList<QPolygonF> polys = path.toFillPolygons(transform_);
            for (const QPolygonF& p : polys)
                fills.push_back(Scale(p));
            writer_->SetFillWinding(path.fillRule() == Qt::WindingFill);
            writer_->SetPen(TMetaPen{TMetaPen::Null, 0, 0});
            writer_->SetBrush(brush);
            writer_->PolyPolygon(fills);
        }
        if (Strokes()) {
            writer_->SetPen(MetaPen());
            const QList<QPolygonF> subpaths = path.toSubpathPolygons(transform_);
            for (const QPolygonF& p : subpaths)
                writer_->Polyline(Scale(p));
        }
    }

    void drawRects(const QRectF* rects, int count) override
    {
        for (int i = 0; i < count; ++i) {
            if (!AxisAligned()) {
                QPainterPath path;
                path.addRect(rects[i]);
                drawPath(path);
                continue;
            }
            Prepare();
            writer_->SetPen(MetaPen());
            writer_->SetBrush(MetaBrush());
            writer_->Rectangle(MapRect(rects[i]));
        }
    }

    void drawRects(const QRect* rects, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QRectF r(rects[i]);
            drawRects(&r, 1);
        }
    }

    void drawLines(const QLineF* lines, int count) override
    {
        Prepare();
        if (!Strokes())
            return;
        writer_->SetPen(MetaPen());
        for (int i = 0; i < count; ++i) {
            const QPointF ends[2] = {lines[i].p1(), lines[i].p2()};
            writer_->Polyline(Map(ends, 2));
        }
    }

    void drawLines(const QLine* lines, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QLineF l(lines[i]);
            drawLines(&l, 1);
        }
    }

    void drawEllipse(const QRectF& r) override
    {
        if (!AxisAligned()) {
            QPainterPath path;
            path.addEllipse(r);
            drawPath(path);
            return;
        }
        Prepare();
        writer_->SetPen(MetaPen());
        writer_->SetBrush(MetaBrush());
        writer_->Ellipse(MapRect(r));
    }

    void drawEllipse(const QRect& r) override { drawEllipse(QRectF(r)); }

    void drawPoints(const QPointF* points, int count) override
    {
        Prepare();
        if (!Strokes())
            return;
        // A point is a dot of the pen's width.
        const int half = std::max(1, MetaPen().width / 2);
        writer_->SetPen(TMetaPen{TMetaPen::Null, 0, 0});
        writer_->SetBrush(Blend(pen_.color()));
        for (int i = 0; i < count; ++i) {
            const QPoint c = Scale(transform_.map(points[i]));
            writer_->Rectangle(QRect(c.x() - half, c.y() - half, 2 * half, 2 * half));
        }
    }

    void drawPoints(const QPoint* points, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QPointF p(points[i]);
            drawPoints(&p, 1);
        }
    }

    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        Prepare();
        const QString text = item.text();
        if (text.isEmpty() || pen_.style() == Qt::NoPen)
            return;
        const QFont font = item.font();
        const double em = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * device_.dpi_ / 72.0;
        const double sx = std::hypot(transform_.m11(), transform_.m12());
        const double sy = std::hypot(transform_.m21(), transform_.m22());
        const double angle = qRadiansToDegrees(std::atan2(transform_.m12(), transform_.m11()));
        TMetaFont mf;
        mf.face = QFontInfo(font).family();
        mf.height = std::max(1, int(std::lround(em * sy * units_)));
        mf.weight = std::clamp(int(font.weight()), 100, 900);
        mf.italic = font.italic();
        mf.escapement = int(std::lround(-angle * 10.0));
        // Each character's advance as this font lays it out here, so the
        // text takes the same room whatever font the reader substitutes.
        const QFontMetricsF metrics(font, &device_);
        std::vector<int> dx(text.size(), 0);
        long done = 0;
        for (int i = 0; i < text.size(); ++i) {
            const long upTo = std::lround(metrics.horizontalAdvance(text.left(i + 1)) * sx * units_);
            dx[i] = int(upTo - done);
            done = upTo;
        }
        writer_->SetTextColour(Blend(pen_.color()).value_or(qRgb(255, 255, 255)));
        writer_->SetFont(mf);
        writer_->Text(Scale(transform_.map(p)), text, dx);
    }

    void drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF& sr) override
    {
        drawImage(r, pm.toImage(), sr, Qt::AutoColor);
    }

    void drawImage(const QRectF& r, const QImage& image, const QRectF& sr, Qt::ImageConversionFlags) override
    {
        Prepare();
        QImage part = image.copy(sr.toAlignedRect());
        if (part.hasAlphaChannel()) {
            QImage flat(part.size(), QImage::Format_RGB888);
            flat.fill(Qt::white);
            QPainter painter(&flat);
            painter.drawImage(0, 0, part);
            painter.end();
            part = flat;
        }
        writer_->Image(Scale(transform_.mapRect(r)), part);
    }

private:
    // Whites out transparency: the formats know no alpha.
    static std::optional<QRgb> Blend(const QColor& c)
    {
        const int a = c.alpha();
        if (a == 0)
            return std::nullopt;
        auto mix = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
        return qRgb(mix(c.red()), mix(c.green()), mix(c.blue()));
    }

    static QColor BrushColour(const QBrush& b)
    {
        if (b.gradient() && !b.gradient()->stops().isEmpty())
            return b.gradient()->stops().first().second;
        return b.color();
    }

    bool Strokes() const { return pen_.style() != Qt::NoPen && Blend(BrushColour(pen_.brush())).has_value(); }

    TMetaPen MetaPen() const
    {
        TMetaPen p;
        const auto colour = Blend(BrushColour(pen_.brush()));
        if (pen_.style() == Qt::NoPen || !colour) {
            p.style = TMetaPen::Null;
            return p;
        }
        p.colour = *colour;
        switch (pen_.style()) {
        case Qt::DashLine: case Qt::CustomDashLine: p.style = TMetaPen::Dash; break;
        case Qt::DotLine: p.style = TMetaPen::Dot; break;
        case Qt::DashDotLine: p.style = TMetaPen::DashDot; break;
        case Qt::DashDotDotLine: p.style = TMetaPen::DashDotDot; break;
        default: p.style = TMetaPen::Solid; break;
        }
        const double w = pen_.widthF() <= 0 ? 1.0 : pen_.widthF();
        const double factor = pen_.isCosmetic() ? 1.0 : std::sqrt(std::abs(transform_.determinant()));
        p.width = std::max(1, int(std::lround(w * factor * units_)));
        return p;
    }

    std::optional<QRgb> MetaBrush() const
    {
        if (brush_.style() == Qt::NoBrush)
            return std::nullopt;
        return Blend(BrushColour(brush_));
    }

    bool AxisAligned() const { return transform_.type() <= QTransform::TxScale; }

    QPoint Scale(const QPointF& px) const
    {
        return QPoint(int(std::lround(px.x() * units_)), int(std::lround(px.y() * units_)));
    }

    QRect Scale(const QRectF& px) const
    {
        const QPoint a = Scale(px.topLeft()), b = Scale(px.bottomRight());
        return QRect(a, QSize(b.x() - a.x(), b.y() - a.y()));
    }

    QPolygon Scale(const QPolygonF& px) const
    {
        QPolygon out;
        out.reserve(px.size());
        for (const QPointF& p : px) {
            const QPoint q = Scale(p);
            if (out.isEmpty() || out.last() != q)
                out.push_back(q);
        }
        if (out.size() == 1 && px.size() > 1)
            out.push_back(out.first()); // a line shorter than a unit stays a line
        return out;
    }

    QPolygon Map(const QPointF* points, int count) const
    {
        QPolygonF px(count);
        for (int i = 0; i < count; ++i)
            px[i] = transform_.map(points[i]);
        return Scale(px);
    }

    QRect MapRect(const QRectF& r) const { return Scale(transform_.mapRect(r.normalized())); }

    // The clip is written only when something is drawn under it.
    void Prepare()
    {
        if (clip_)
            writer_->SetClip(Scale(*clip_));
        else
            writer_->SetClip(std::nullopt);
    }

    TMetafileDevice& device_;
    std::unique_ptr<TMetafileWriter> writer_;
    int units_ = 1;
    QPen pen_;
    QBrush brush_;
    QFont font_;
    QTransform transform_;
    std::optional<QRectF> clip_;
};

TMetafileDevice::TMetafileDevice(TMetafileKind kind, QSize size, int dpi)
    : kind_(kind), size_(size.expandedTo(QSize(1, 1))), dpi_(std::max(1, dpi))
{
}

TMetafileDevice::~TMetafileDevice() = default;

int TMetafileDevice::Units() const
{
    // Positions must fit the old format's 16-bit numbers, with room for
    // lines that run past the edge.
    return std::clamp(16000 / std::max(size_.width(), size_.height()), 1, 16);
}

QPaintEngine* TMetafileDevice::paintEngine() const
{
    if (!engine_)
        const_cast<TMetafileDevice*>(this)->engine_ =
            std::make_unique<TMetafileEngine>(*const_cast<TMetafileDevice*>(this));
    return engine_.get();
}

bool TMetafileDevice::Save(const QString& fileName, QString* error) const
{
    const TWriteResult r = WriteFileChecked(fileName, data_);
    if (!r.Ok && error)
        *error = r.Error;
    return r.Ok;
}

int TMetafileDevice::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth: return size_.width();
    case PdmHeight: return size_.height();
    case PdmWidthMM: return int(std::lround(size_.width() * 25.4 / dpi_));
    case PdmHeightMM: return int(std::lround(size_.height() * 25.4 / dpi_));
    case PdmNumColors: return INT_MAX;
    case PdmDepth: return 24;
    case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return dpi_;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
    default: return QPaintDevice::metric(metric);
    }
}

} // namespace qv
