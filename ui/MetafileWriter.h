#pragma once
// Builds Windows metafile records (enhanced EMF or the older WMF) from
// primitives already in the file's integer logical units. Graphic objects
// are created only when the wanted pen, brush or font changes; the clip is
// one rectangle at a time.
#include <QByteArray>
#include <QColor>
#include <QPolygon>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>
#include <optional>
#include <vector>

class QImage;

namespace qv {

enum class TMetafileKind { Emf, Wmf };

struct TMetaPen {
    enum Style { Solid = 0, Dash, Dot, DashDot, DashDotDot, Null };
    Style style = Solid;
    int width = 0; // logical units; 0 is one device pixel
    QRgb colour = 0;
    bool operator==(const TMetaPen& o) const
    {
        return style == o.style && width == o.width && colour == o.colour;
    }
};

struct TMetaFont {
    QString face;
    int height = 0;     // em height in logical units
    int weight = 400;   // 100..900
    bool italic = false;
    int escapement = 0; // tenths of a degree, counter-clockwise
    bool operator==(const TMetaFont& o) const
    {
        return face == o.face && height == o.height && weight == o.weight && italic == o.italic &&
               escapement == o.escapement;
    }
};

class TMetafileWriter {
public:
    // pixels: the picture's size in device pixels at dpi; units: logical
    // units per device pixel.
    TMetafileWriter(TMetafileKind kind, QSize pixels, int dpi, int units);
    ~TMetafileWriter();
    TMetafileWriter(const TMetafileWriter&) = delete;
    TMetafileWriter& operator=(const TMetafileWriter&) = delete;

    TMetafileKind Kind() const { return kind_; }
    int Units() const { return units_; }

    void SetPen(const TMetaPen& pen);
    void SetBrush(std::optional<QRgb> colour); // nothing: hollow
    void SetFont(const TMetaFont& font);
    void SetTextColour(QRgb colour);
    void SetFillWinding(bool winding);
    // Clip to a rectangle in logical units, or no clip.
    void SetClip(std::optional<QRect> rect);

    void Polyline(const QPolygon& points);
    void Polygon(const QPolygon& points);
    void PolyPolygon(const QVector<QPolygon>& polygons);
    void Rectangle(const QRect& rect); // left, top, right, bottom as given
    void Ellipse(const QRect& rect);
    // Text at its baseline's left end; dx: advance of each UTF-16 unit.
    void Text(const QPoint& at, const QString& text, const std::vector<int>& dx);
    void Image(const QRect& target, const QImage& image);

    // Ends the file and returns its bytes; the writer is done.
    QByteArray Finish();
    int RecordCount() const { return records_; }

private:
    enum Slot { PenSlot, BrushSlot, FontSlot, SlotCount };
    void Append(char* record); // takes ownership
    int CreateHandle();
    void SelectNew(Slot slot, int handle);
    void Release(int handle);
    void RestoreClip();

    TMetafileKind kind_;
    QSize pixels_;
    int dpi_;
    int units_;
    QByteArray out_;
    int records_ = 0;
    quint32 largest_ = 0; // largest record in bytes
    std::vector<bool> used_;
    int peak_ = 0;
    int objectsCreated_ = 0;
    int selected_[SlotCount] = {-1, -1, -1};
    int savedSelected_[SlotCount] = {-1, -1, -1};
    std::vector<int> deferredDeletes_;
    TMetaPen pen_;
    std::optional<QRgb> brush_;
    TMetaFont font_;
    bool havePen_ = false, haveBrush_ = false, haveFont_ = false;
    QRgb textColour_ = 0, savedTextColour_ = 0;
    bool winding_ = false, savedWinding_ = false;
    bool clipped_ = false;
    std::optional<QRect> clip_;
    bool finished_ = false;
};

} // namespace qv
