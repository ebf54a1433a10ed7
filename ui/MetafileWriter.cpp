#include "ui/MetafileWriter.h"

#include "base/Cp1250.h"

#include <QImage>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <uemf.h>
#include <uwmf.h>

namespace qv {

namespace {

U_COLORREF Colour(QRgb c) { return colorref3_set(qRed(c), qGreen(c), qBlue(c)); }

int16_t Clamp16(int v)
{
    return static_cast<int16_t>(std::clamp(v, int(std::numeric_limits<int16_t>::min()),
                                           int(std::numeric_limits<int16_t>::max())));
}

U_POINT16 Point16(const QPoint& p) { return point16_set(Clamp16(p.x()), Clamp16(p.y())); }

bool Fits16(const QPolygon& points)
{
    return std::all_of(points.begin(), points.end(), [](const QPoint& p) {
        return p.x() >= -32768 && p.x() <= 32767 && p.y() >= -32768 && p.y() <= 32767;
    });
}

U_RECTL RectL(const QRect& r)
{
    return rectl_set(pointl_set(r.left(), r.top()), pointl_set(r.left() + r.width(), r.top() + r.height()));
}

U_RECT16 Rect16(const QRect& r)
{
    return U_RECT16_set(point16_set(Clamp16(r.left()), Clamp16(r.top())),
                        point16_set(Clamp16(r.left() + r.width()), Clamp16(r.top() + r.height())));
}

U_RECTL Bounds(const QPolygon& points)
{
    const QRect r = points.boundingRect();
    return rectl_set(pointl_set(r.left(), r.top()), pointl_set(r.right(), r.bottom()));
}

std::vector<U_POINT16> Points16(const QPolygon& points)
{
    std::vector<U_POINT16> out(points.size());
    for (int i = 0; i < points.size(); ++i)
        out[i] = Point16(points[i]);
    return out;
}

std::vector<U_POINTL> Points32(const QPolygon& points)
{
    std::vector<U_POINTL> out(points.size());
    for (int i = 0; i < points.size(); ++i)
        out[i] = pointl_set(points[i].x(), points[i].y());
    return out;
}

// The runs of a polyline inside box, its segments cut at the box's edges
// (Liang-Barsky), so that a line running far off the picture keeps its
// direction in a format of 16-bit positions.
QVector<QPolygon> ClipPolyline(const QPolygon& points, const QRect& box)
{
    QVector<QPolygon> runs;
    QPolygon run;
    auto flush = [&] {
        if (run.size() >= 2)
            runs.push_back(run);
        run.clear();
    };
    for (int i = 0; i + 1 < points.size(); ++i) {
        const double x0 = points[i].x(), y0 = points[i].y();
        const double dx = points[i + 1].x() - x0, dy = points[i + 1].y() - y0;
        double t0 = 0, t1 = 1;
        auto edge = [&](double p, double q) {
            if (p == 0)
                return q >= 0;
            const double r = q / p;
            if (p < 0) {
                if (r > t1)
                    return false;
                t0 = std::max(t0, r);
            } else {
                if (r < t0)
                    return false;
                t1 = std::min(t1, r);
            }
            return true;
        };
        if (!(edge(-dx, x0 - box.left()) && edge(dx, box.right() - x0) && edge(-dy, y0 - box.top()) &&
              edge(dy, box.bottom() - y0))) {
            flush();
            continue;
        }
        const QPoint a(int(std::lround(x0 + t0 * dx)), int(std::lround(y0 + t0 * dy)));
        const QPoint b(int(std::lround(x0 + t1 * dx)), int(std::lround(y0 + t1 * dy)));
        if (run.isEmpty() || run.last() != a) {
            flush();
            run.push_back(a);
        }
        run.push_back(b);
    }
    flush();
    return runs;
}

// A record of points: the short form when every point fits 16 bits.
char* EmfPoints(const QPolygon& points, char* (*set16)(U_RECTL, uint32_t, const U_POINT16*),
                char* (*set32)(U_RECTL, uint32_t, const U_POINTL*))
{
    if (Fits16(points)) {
        const auto p = Points16(points);
        return set16(Bounds(points), static_cast<uint32_t>(p.size()), p.data());
    }
    const auto p = Points32(points);
    return set32(Bounds(points), static_cast<uint32_t>(p.size()), p.data());
}

// 24-bit bottom-up device-independent bitmap of an image.
struct TDib {
    U_BITMAPINFOHEADER header;
    QByteArray pixels;
};

TDib MakeDib(const QImage& source)
{
    const QImage img = source.convertToFormat(QImage::Format_RGB888);
    const int stride = (img.width() * 3 + 3) & ~3;
    TDib dib;
    dib.pixels = QByteArray(stride * img.height(), '\0');
    for (int y = 0; y < img.height(); ++y) {
        const uchar* src = img.constScanLine(y);
        char* dst = dib.pixels.data() + (img.height() - 1 - y) * stride;
        for (int x = 0; x < img.width(); ++x) {
            dst[3 * x] = static_cast<char>(src[3 * x + 2]);
            dst[3 * x + 1] = static_cast<char>(src[3 * x + 1]);
            dst[3 * x + 2] = static_cast<char>(src[3 * x]);
        }
    }
    dib.header = bitmapinfoheader_set(img.width(), img.height(), 1, 24, U_BI_RGB,
                                      static_cast<uint32_t>(dib.pixels.size()), 0, 0, 0, 0);
    return dib;
}

} // namespace

TMetafileWriter::TMetafileWriter(TMetafileKind kind, QSize pixels, int dpi, int units)
    : kind_(kind), pixels_(pixels.expandedTo(QSize(1, 1))), dpi_(std::max(1, dpi)), units_(std::max(1, units))
{
    const int w = pixels_.width(), h = pixels_.height();
    if (kind_ == TMetafileKind::Emf) {
        const U_RECTL bounds = rectl_set(pointl_set(0, 0), pointl_set(w - 1, h - 1));
        const U_RECTL frame = rectl_set(pointl_set(0, 0), pointl_set(std::lround(w * 2540.0 / dpi_),
                                                                     std::lround(h * 2540.0 / dpi_)));
        const QString description = QStringLiteral("Quorvel") + QChar(0) + QStringLiteral("Graph") + QChar(0) + QChar(0);
        std::vector<uint16_t> desc(description.utf16(), description.utf16() + description.size());
        Append(U_EMRHEADER_set(bounds, frame, nullptr, static_cast<U_CBSTR>(desc.size()), desc.data(),
                               sizel_set(w, h),
                               sizel_set(std::max(1L, std::lround(w * 25.4 / dpi_)),
                                         std::max(1L, std::lround(h * 25.4 / dpi_))),
                               0));
        Append(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        Append(U_EMRSETWINDOWORGEX_set(pointl_set(0, 0)));
        Append(U_EMRSETWINDOWEXTEX_set(sizel_set(w * units_, h * units_)));
        Append(U_EMRSETVIEWPORTORGEX_set(pointl_set(0, 0)));
        Append(U_EMRSETVIEWPORTEXTEX_set(sizel_set(w, h)));
        Append(U_EMRSETBKMODE_set(U_TRANSPARENT));
        Append(U_EMRSETTEXTALIGN_set(U_TA_BASELINE));
        Append(U_EMRSETPOLYFILLMODE_set(U_ALTERNATE));
        used_.assign(1, true); // index 0 is the metafile itself
    } else {
        U_PAIRF* size = U_PAIRF_set(float(w) / dpi_, float(h) / dpi_);
        char* header = U_WMRHEADER_set(size, static_cast<unsigned>(dpi_ * units_));
        std::free(size);
        // Placeable header and file header: not records of their own.
        out_.append(header, 40);
        std::free(header);
        Append(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        Append(U_WMRSETWINDOWORG_set(point16_set(0, 0)));
        Append(U_WMRSETWINDOWEXT_set(point16_set(Clamp16(w * units_), Clamp16(h * units_))));
        Append(U_WMRSETBKMODE_set(U_TRANSPARENT));
        Append(U_WMRSETTEXTALIGN_set(U_TA_BASELINE));
        Append(U_WMRSETPOLYFILLMODE_set(U_ALTERNATE));
    }
}

TMetafileWriter::~TMetafileWriter() = default;

void TMetafileWriter::Append(char* record)
{
    if (!record)
        return;
    const quint32 size = kind_ == TMetafileKind::Emf ? reinterpret_cast<PU_EMR>(record)->nSize
                                                     : U_wmr_size(reinterpret_cast<U_METARECORD*>(record));
    out_.append(record, static_cast<int>(size));
    std::free(record);
    ++records_;
    largest_ = std::max(largest_, size);
}

int TMetafileWriter::CreateHandle()
{
    auto it = std::find(used_.begin(), used_.end(), false);
    const int h = static_cast<int>(it - used_.begin());
    if (it == used_.end())
        used_.push_back(true);
    else
        *it = true;
    peak_ = std::max(peak_, h);
    ++objectsCreated_;
    return h;
}

void TMetafileWriter::Release(int handle)
{
    if (kind_ == TMetafileKind::Emf)
        Append(U_EMRDELETEOBJECT_set(static_cast<uint32_t>(handle)));
    else
        Append(U_WMRDELETEOBJECT_set(static_cast<uint16_t>(handle)));
    used_[handle] = false;
}

void TMetafileWriter::SelectNew(Slot slot, int handle)
{
    if (kind_ == TMetafileKind::Emf)
        Append(U_EMRSELECTOBJECT_set(static_cast<uint32_t>(handle)));
    else
        Append(U_WMRSELECTOBJECT_set(static_cast<uint16_t>(handle)));
    const int old = selected_[slot];
    selected_[slot] = handle;
    if (old < 0)
        return;
    // An object the saved state still holds selected lives on until that
    // state is restored.
    if (clipped_ && std::find(std::begin(savedSelected_), std::end(savedSelected_), old) != std::end(savedSelected_))
        deferredDeletes_.push_back(old);
    else
        Release(old);
}

void TMetafileWriter::SetPen(const TMetaPen& pen)
{
    if (havePen_ && pen == pen_)
        return;
    pen_ = pen;
    havePen_ = true;
    const int h = CreateHandle();
    const uint32_t style = static_cast<uint32_t>(pen.style);
    const bool dashed = pen.style != TMetaPen::Solid && pen.style != TMetaPen::Null;
    if (kind_ == TMetafileKind::Emf) {
        if (dashed) {
            // A geometric pen keeps its dashes at any width; readers widen
            // a thin cosmetic one to no width at all.
            PU_EXTLOGPEN elp = extlogpen_set(U_PS_GEOMETRIC | style | U_PS_ENDCAP_FLAT | U_PS_JOIN_MITER,
                                             static_cast<uint32_t>(std::max(pen.width, units_)), U_BS_SOLID,
                                             Colour(pen.colour), 0, 0, nullptr);
            Append(U_EMREXTCREATEPEN_set(static_cast<uint32_t>(h), nullptr, 0, nullptr, elp));
            std::free(elp);
        } else {
            U_POINT width = point32_set(pen.width, 0);
            Append(U_EMRCREATEPEN_set(static_cast<uint32_t>(h), logpen_set(style, width, Colour(pen.colour))));
        }
    } else {
        // The old format draws dashes only with thin pens.
        // Dashes only with pens one pixel wide whatever the scale (width 0).
        const uint16_t width = static_cast<uint16_t>(dashed ? 0 : std::clamp(pen.width, 0, 32767));
        Append(U_WMRCREATEPENINDIRECT_set(U_PEN_set(static_cast<uint16_t>(style), width, Colour(pen.colour))));
    }
    SelectNew(PenSlot, h);
}

void TMetafileWriter::SetBrush(std::optional<QRgb> colour)
{
    if (haveBrush_ && colour == brush_)
        return;
    brush_ = colour;
    haveBrush_ = true;
    const int h = CreateHandle();
    const U_COLORREF c = Colour(colour.value_or(0));
    if (kind_ == TMetafileKind::Emf)
        Append(U_EMRCREATEBRUSHINDIRECT_set(static_cast<uint32_t>(h),
                                            logbrush_set(colour ? U_BS_SOLID : U_BS_NULL, c, 0)));
    else
        Append(U_WMRCREATEBRUSHINDIRECT_set(U_WLOGBRUSH_set(colour ? U_BS_SOLID : U_BS_NULL, c, 0)));
    SelectNew(BrushSlot, h);
}

void TMetafileWriter::SetFont(const TMetaFont& font)
{
    if (haveFont_ && font == font_)
        return;
    font_ = font;
    haveFont_ = true;
    const int h = CreateHandle();
    const uint8_t italic = font.italic ? U_FW_ITALIC : U_FW_NOITALIC;
    if (kind_ == TMetafileKind::Emf) {
        std::vector<uint16_t> face(32, 0);
        const QString name = font.face.left(31);
        std::copy(name.utf16(), name.utf16() + name.size(), face.begin());
        U_LOGFONT lf = logfont_set(-font.height, 0, font.escapement, font.escapement, font.weight, italic,
                                   U_FW_NOUNDERLINE, U_FW_NOSTRIKEOUT, U_DEFAULT_CHARSET, U_OUT_DEFAULT_PRECIS,
                                   U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_FF_SWISS | U_VARIABLE_PITCH,
                                   face.data());
        Append(U_EMREXTCREATEFONTINDIRECTW_set(static_cast<uint32_t>(h), reinterpret_cast<const char*>(&lf), nullptr));
    } else {
        std::string face = ToCp1250(font.face.left(31));
        U_FONT* f = U_FONT_set(Clamp16(-font.height), 0, Clamp16(font.escapement), Clamp16(font.escapement),
                               Clamp16(font.weight), italic, U_FW_NOUNDERLINE, U_FW_NOSTRIKEOUT, U_EE_CHARSET,
                               U_OUT_DEFAULT_PRECIS, U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY,
                               U_FF_SWISS | U_VARIABLE_PITCH, face.data());
        Append(U_WMRCREATEFONTINDIRECT_set(f));
        std::free(f);
    }
    SelectNew(FontSlot, h);
}

void TMetafileWriter::SetTextColour(QRgb colour)
{
    colour &= 0xFFFFFF;
    if (colour == textColour_)
        return;
    textColour_ = colour;
    if (kind_ == TMetafileKind::Emf)
        Append(U_EMRSETTEXTCOLOR_set(Colour(colour)));
    else
        Append(U_WMRSETTEXTCOLOR_set(Colour(colour)));
}

void TMetafileWriter::SetFillWinding(bool winding)
{
    if (winding == winding_)
        return;
    winding_ = winding;
    const uint32_t mode = winding ? U_WINDING : U_ALTERNATE;
    if (kind_ == TMetafileKind::Emf)
        Append(U_EMRSETPOLYFILLMODE_set(mode));
    else
        Append(U_WMRSETPOLYFILLMODE_set(static_cast<uint16_t>(mode)));
}

void TMetafileWriter::RestoreClip()
{
    if (!clipped_)
        return;
    if (kind_ == TMetafileKind::Emf)
        Append(U_EMRRESTOREDC_set(-1));
    else
        Append(U_WMRRESTOREDC_set(-1));
    clipped_ = false;
    // The restored state selects what was selected when it was saved, and
    // has the text colour and fill mode of then.
    for (int s = 0; s < SlotCount; ++s)
        if (selected_[s] >= 0 && selected_[s] != savedSelected_[s]) {
            if (kind_ == TMetafileKind::Emf)
                Append(U_EMRSELECTOBJECT_set(static_cast<uint32_t>(selected_[s])));
            else
                Append(U_WMRSELECTOBJECT_set(static_cast<uint16_t>(selected_[s])));
        }
    for (int h : deferredDeletes_)
        Release(h);
    deferredDeletes_.clear();
    std::fill(std::begin(savedSelected_), std::end(savedSelected_), -1);
    const QRgb text = textColour_;
    textColour_ = savedTextColour_;
    SetTextColour(text);
    const bool winding = winding_;
    winding_ = savedWinding_;
    SetFillWinding(winding);
}

void TMetafileWriter::SetClip(std::optional<QRect> rect)
{
    if (rect == clip_ && clipped_ == rect.has_value())
        return;
    RestoreClip();
    clip_ = rect;
    if (!rect)
        return;
    if (kind_ == TMetafileKind::Emf) {
        Append(U_EMRSAVEDC_set());
        Append(U_EMRINTERSECTCLIPRECT_set(RectL(*rect)));
    } else {
        Append(U_WMRSAVEDC_set());
        Append(U_WMRINTERSECTCLIPRECT_set(Rect16(*rect)));
    }
    clipped_ = true;
    std::copy(std::begin(selected_), std::end(selected_), std::begin(savedSelected_));
    savedTextColour_ = textColour_;
    savedWinding_ = winding_;
}

void TMetafileWriter::Polyline(const QPolygon& points)
{
    if (points.size() < 2)
        return;
    if (kind_ == TMetafileKind::Wmf) {
        if (!Fits16(points)) {
            for (const QPolygon& run : ClipPolyline(points, QRect(QPoint(-32000, -32000), QPoint(32000, 32000))))
                Polyline(run);
            return;
        }
        // One record holds at most 32767 points; the pieces share their ends.
        for (int start = 0; start < points.size() - 1; start += 32766) {
            const QPolygon part = points.mid(start, 32767);
            const auto p = Points16(part);
            Append(U_WMRPOLYLINE_set(static_cast<uint16_t>(p.size()), p.data()));
        }
    } else {
        Append(EmfPoints(points, U_EMRPOLYLINE16_set, U_EMRPOLYLINE_set));
    }
}

void TMetafileWriter::Polygon(const QPolygon& points)
{
    if (points.size() < 2)
        return;
    if (kind_ == TMetafileKind::Wmf) {
        const auto p = Points16(points.mid(0, 32767));
        Append(U_WMRPOLYGON_set(static_cast<uint16_t>(p.size()), p.data()));
    } else {
        Append(EmfPoints(points, U_EMRPOLYGON16_set, U_EMRPOLYGON_set));
    }
}

void TMetafileWriter::PolyPolygon(const QVector<QPolygon>& polygons)
{
    if (polygons.size() == 1) {
        Polygon(polygons.first());
        return;
    }
    QPolygon all;
    std::vector<uint32_t> counts;
    std::vector<uint16_t> counts16;
    for (const QPolygon& p : polygons)
        if (p.size() >= 2) {
            all += p;
            counts.push_back(static_cast<uint32_t>(p.size()));
            counts16.push_back(static_cast<uint16_t>(std::min<qsizetype>(p.size(), 65535)));
        }
    if (counts.empty())
        return;
    if (kind_ == TMetafileKind::Wmf) {
        const auto p = Points16(all);
        Append(U_WMRPOLYPOLYGON_set(static_cast<uint16_t>(counts16.size()), counts16.data(), p.data()));
    } else if (Fits16(all)) {
        const auto p = Points16(all);
        Append(U_EMRPOLYPOLYGON16_set(Bounds(all), static_cast<uint32_t>(counts.size()), counts.data(),
                                      static_cast<uint32_t>(p.size()), p.data()));
    } else {
        const auto p = Points32(all);
        Append(U_EMRPOLYPOLYGON_set(Bounds(all), static_cast<uint32_t>(counts.size()), counts.data(),
                                    static_cast<uint32_t>(p.size()), p.data()));
    }
}

void TMetafileWriter::Rectangle(const QRect& rect)
{
    if (kind_ == TMetafileKind::Emf)
        Append(U_EMRRECTANGLE_set(RectL(rect)));
    else
        Append(U_WMRRECTANGLE_set(Rect16(rect)));
}

void TMetafileWriter::Ellipse(const QRect& rect)
{
    if (kind_ == TMetafileKind::Emf)
        Append(U_EMRELLIPSE_set(RectL(rect)));
    else
        Append(U_WMRELLIPSE_set(Rect16(rect)));
}

void TMetafileWriter::Text(const QPoint& at, const QString& text, const std::vector<int>& dx)
{
    if (text.isEmpty())
        return;
    if (kind_ == TMetafileKind::Emf) {
        std::vector<uint16_t> chars(text.utf16(), text.utf16() + text.size());
        std::vector<uint32_t> advances(chars.size(), 0);
        for (std::size_t i = 0; i < advances.size() && i < dx.size(); ++i)
            advances[i] = static_cast<uint32_t>(std::max(0, dx[i]));
        char* emrtext = emrtext_set(pointl_set(at.x(), at.y()), static_cast<U_NUM_STR>(chars.size()), 2,
                                    chars.data(), U_ETO_NONE, rectl_set(pointl_set(0, 0), pointl_set(-1, -1)),
                                    advances.data());
        Append(U_EMREXTTEXTOUTW_set(rectl_set(pointl_set(0, 0), pointl_set(-1, -1)), U_GM_COMPATIBLE, 1.0f, 1.0f,
                                    reinterpret_cast<PU_EMRTEXT>(emrtext)));
        std::free(emrtext);
    } else {
        // One byte per character; a character outside the code page takes
        // its one '?' with the advance of the UTF-16 units it stood for.
        std::string bytes;
        std::vector<int16_t> advances;
        for (int i = 0; i < text.size(); ++i) {
            const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size();
            const QString one = text.mid(i, pair ? 2 : 1);
            bytes += ToCp1250(one).substr(0, 1);
            int adv = i < int(dx.size()) ? dx[i] : 0;
            if (pair && i + 1 < int(dx.size()))
                adv += dx[i + 1];
            advances.push_back(Clamp16(adv));
            i += pair ? 1 : 0;
        }
        bytes = bytes.substr(0, 32000);
        advances.resize(bytes.size());
        Append(U_WMREXTTEXTOUT_set(Point16(at), static_cast<int16_t>(bytes.size()), 0, bytes.data(),
                                   advances.data(), U_RECT16_set(point16_set(0, 0), point16_set(0, 0))));
    }
}

void TMetafileWriter::Image(const QRect& target, const QImage& image)
{
    if (image.isNull() || target.isEmpty())
        return;
    TDib dib = MakeDib(image);
    PU_BITMAPINFO bmi = bitmapinfo_set(dib.header, nullptr);
    const int w = image.width(), h = image.height();
    if (kind_ == TMetafileKind::Emf) {
        Append(U_EMRSTRETCHDIBITS_set(RectL(target), pointl_set(target.left(), target.top()),
                                      pointl_set(target.width(), target.height()), pointl_set(0, 0),
                                      pointl_set(w, h), U_DIB_RGB_COLORS, U_SRCCOPY, bmi,
                                      static_cast<uint32_t>(dib.pixels.size()), dib.pixels.data()));
    } else {
        Append(U_WMRSTRETCHDIB_set(Point16(target.topLeft()),
                                   point16_set(Clamp16(target.width()), Clamp16(target.height())),
                                   point16_set(0, 0), point16_set(Clamp16(w), Clamp16(h)), U_DIB_RGB_COLORS,
                                   U_SRCCOPY, bmi, static_cast<uint32_t>(dib.pixels.size()), dib.pixels.constData()));
    }
    std::free(bmi);
}

QByteArray TMetafileWriter::Finish()
{
    if (finished_)
        return out_;
    RestoreClip();
    finished_ = true;
    if (kind_ == TMetafileKind::Emf) {
        EMFTRACK track{};
        Append(U_EMREOF_set(0, nullptr, &track));
        uchar* d = reinterpret_cast<uchar*>(out_.data());
        qToLittleEndian<quint32>(static_cast<quint32>(out_.size()), d + 48);
        qToLittleEndian<quint32>(static_cast<quint32>(records_), d + 52);
        qToLittleEndian<quint16>(static_cast<quint16>(peak_ + 1), d + 56);
    } else {
        Append(U_WMREOF_set());
        uchar* d = reinterpret_cast<uchar*>(out_.data());
        const quint32 words = static_cast<quint32>((out_.size() - 22) / 2);
        qToLittleEndian<quint16>(static_cast<quint16>(words & 0xFFFF), d + 28);
        qToLittleEndian<quint16>(static_cast<quint16>(words >> 16), d + 30);
        qToLittleEndian<quint16>(static_cast<quint16>(peak_ + 1), d + 32);
        qToLittleEndian<quint32>(largest_ / 2, d + 34);
    }
    return out_;
}

} // namespace qv
