// The metafile paint device: what a QPainter draws read back from the
// EMF and WMF records.
#include "support/MetafileRecords.h"
#include "support/TempDir.h"
#include "ui/MetafileDevice.h"

#include <QFont>
#include <QPainter>
#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

// A small picture with what a chart draws: a clipped curve, a dashed curve,
// a filled frame, a point mark, a title and a turned axis title.
void PaintScene(QPaintDevice& device)
{
    QPainter p(&device);
    p.fillRect(QRect(0, 0, 200, 100), Qt::white);
    p.setClipRect(QRect(20, 5, 160, 80));
    p.setPen(QPen(QColor(255, 0, 0), 2));
    const QPointF curve[3] = {{10, 10}, {50, 20.5}, {90, 10}};
    p.drawPolyline(curve, 3);
    p.setClipping(false);
    p.setPen(QPen(QColor(0, 0, 255), 1, Qt::DashLine));
    const QPointF dashed[2] = {{0, 90}, {200, 90}};
    p.drawPolyline(dashed, 2);
    p.setPen(QPen(QColor(0, 128, 0), 3, Qt::DotLine));
    p.drawLine(QPointF(0, 95), QPointF(200, 95));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 128, 0));
    p.drawEllipse(QRectF(100, 50, 8, 8));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPointF(30, 60), QStringLiteral("Traction (N)"));
    p.save();
    p.translate(190, 80);
    p.rotate(-90);
    p.drawText(QPointF(0, 0), QStringLiteral("Tažná síla"));
    p.restore();
    p.end();
}

QVector<QPoint> EmfPolyline16(const TRecord& r)
{
    QVector<QPoint> pts;
    const quint32 n = U32(r.bytes, 24);
    for (quint32 i = 0; i < n; ++i)
        pts.push_back(QPoint(I16(r.bytes, 28 + 4 * int(i)), I16(r.bytes, 30 + 4 * int(i))));
    return pts;
}

QVector<QPoint> WmfPolyline(const TRecord& r)
{
    QVector<QPoint> pts;
    const int n = I16(r.bytes, 6);
    for (int i = 0; i < n; ++i)
        pts.push_back(QPoint(I16(r.bytes, 8 + 4 * i), I16(r.bytes, 10 + 4 * i)));
    return pts;
}

} // namespace

TEST(MetafileDevice, EnhancedMetafileHeaderAndRecords)
{
    TMetafileDevice device(TMetafileKind::Emf, QSize(200, 100));
    PaintScene(device);
    const QByteArray file = device.Data();
    const auto records = EmfRecords(file);
    ASSERT_GT(records.size(), 10u);
    const int u = device.Units();
    EXPECT_EQ(u, 16);

    // Header: type 1, " EMF", sizes, bounds in pixels, frame in 0.01 mm.
    EXPECT_EQ(records.front().type, 1u);
    EXPECT_EQ(U32(file, 40), 0x464D4520u);
    EXPECT_EQ(U32(file, 48), quint32(file.size()));
    EXPECT_EQ(U32(file, 52), quint32(records.size()));
    EXPECT_EQ(int(records.size()), device.RecordCount());
    EXPECT_EQ(I32(file, 8), 0);
    EXPECT_EQ(I32(file, 16), 199);
    EXPECT_EQ(I32(file, 20), 99);
    EXPECT_EQ(I32(file, 32), 5292); // 200 px at 96 dpi = 52.92 mm
    EXPECT_EQ(I32(file, 36), 2646);
    EXPECT_EQ(records.back().type, 14u);

    // The window maps the finer units onto the picture's pixels.
    const auto ext = OfType(records, 9); // SETWINDOWEXTEX
    ASSERT_EQ(ext.size(), 1u);
    EXPECT_EQ(I32(ext[0].bytes, 8), 200 * u);
    EXPECT_EQ(I32(ext[0].bytes, 12), 100 * u);

    // Both curves as polylines, the half pixel kept.
    const auto lines = OfType(records, 87); // POLYLINE16
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(EmfPolyline16(lines[0]),
              (QVector<QPoint>{{10 * u, 10 * u}, {50 * u, 20 * u + u / 2}, {90 * u, 10 * u}}));
    EXPECT_EQ(EmfPolyline16(lines[1]), (QVector<QPoint>{{0, 90 * u}, {200 * u, 90 * u}}));

    // The red pen two pixels wide; dashed and dotted pens geometric, so
    // that they keep their width and their dashes.
    bool red = false;
    for (const auto& r : OfType(records, 38))
        red = red || (U32(r.bytes, 24) == 0x0000FFu && I32(r.bytes, 16) == 2 * u && U32(r.bytes, 12) == 0);
    EXPECT_TRUE(red);
    const auto dashed = OfType(records, 95); // EXTCREATEPEN
    ASSERT_EQ(dashed.size(), 2u);
    EXPECT_EQ(U32(dashed[0].bytes, 28), 0x00010000u | 0x200u | 0x2000u | 1u); // geometric, flat, mitre, dash
    EXPECT_EQ(U32(dashed[0].bytes, 32), quint32(u));
    EXPECT_EQ(U32(dashed[0].bytes, 40), 0xFF0000u);
    EXPECT_EQ(U32(dashed[1].bytes, 28), 0x00010000u | 0x200u | 0x2000u | 2u); // dots
    EXPECT_EQ(U32(dashed[1].bytes, 32), quint32(3 * u));

    // The curve's clip and nothing else clipped.
    const auto clips = OfType(records, 30);
    ASSERT_EQ(clips.size(), 1u);
    EXPECT_EQ(I32(clips[0].bytes, 8), 20 * u);
    EXPECT_EQ(I32(clips[0].bytes, 12), 5 * u);
    EXPECT_EQ(I32(clips[0].bytes, 16), 180 * u);
    EXPECT_EQ(I32(clips[0].bytes, 20), 85 * u);
    EXPECT_EQ(OfType(records, 33).size(), OfType(records, 34).size());

    // The point mark, texts and their fonts: the second one turned.
    EXPECT_EQ(OfType(records, 42).size(), 1u); // ELLIPSE
    const auto texts = OfType(records, 84);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(EmfText(texts[0]), QStringLiteral("Traction (N)"));
    EXPECT_EQ(EmfText(texts[1]), QStringLiteral("Tažná síla"));
    EXPECT_EQ(I32(texts[0].bytes, 36), 30 * u);
    EXPECT_EQ(I32(texts[0].bytes, 40), 60 * u);
    const auto fonts = OfType(records, 82);
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(I32(fonts[0].bytes, 12), -12 * u);
    EXPECT_EQ(I32(fonts[0].bytes, 20), 0);
    EXPECT_EQ(I32(fonts[1].bytes, 20), 900);

    const TObjectTable objects = PlayEmfObjects(records);
    EXPECT_TRUE(objects.problems.empty()) << objects.problems.front();
    EXPECT_LT(objects.highest, U16(file, 56));
}

TEST(MetafileDevice, OldMetafileHeaderAndRecords)
{
    TMetafileDevice device(TMetafileKind::Wmf, QSize(200, 100));
    PaintScene(device);
    const QByteArray file = device.Data();
    const int u = device.Units();

    // Placeable header: key, the picture's box and units per inch, checksum.
    EXPECT_EQ(U32(file, 0), 0x9AC6CDD7u);
    EXPECT_EQ(I16(file, 10), 200 * u);
    EXPECT_EQ(I16(file, 12), 100 * u);
    EXPECT_EQ(U16(file, 14), 96 * u);
    quint16 sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= U16(file, 2 * i);
    EXPECT_EQ(U16(file, 20), sum);

    // File header: size in words, the largest record, the object table.
    const auto records = WmfRecords(file);
    ASSERT_GT(records.size(), 10u);
    EXPECT_EQ(records.back().type, 0u);
    const quint32 words = U16(file, 28) | (quint32(U16(file, 30)) << 16);
    EXPECT_EQ(words, quint32((file.size() - 22) / 2));
    quint32 largest = 0;
    for (const auto& r : records)
        largest = std::max(largest, quint32(r.bytes.size() / 2));
    EXPECT_EQ(U32(file, 34), largest);
    const TObjectTable objects = PlayWmfObjects(records);
    EXPECT_TRUE(objects.problems.empty()) << objects.problems.front();
    EXPECT_LT(objects.highest, U16(file, 32));

    // Dashed pens one pixel wide at any scale: the format's only dashes.
    int dashedPens = 0;
    for (const auto& r : OfType(records, 0x02FA))
        dashedPens += U16(r.bytes, 6) != 0 && U16(r.bytes, 6) != 5 && I16(r.bytes, 8) == 0;
    EXPECT_EQ(dashedPens, 2);

    const auto lines = OfType(records, 0x0325);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(WmfPolyline(lines[0]),
              (QVector<QPoint>{{10 * u, 10 * u}, {50 * u, 20 * u + u / 2}, {90 * u, 10 * u}}));

    // Clip rectangle: bottom, right, top, left.
    const auto clips = OfType(records, 0x0416);
    ASSERT_EQ(clips.size(), 1u);
    EXPECT_EQ(I16(clips[0].bytes, 6), 85 * u);
    EXPECT_EQ(I16(clips[0].bytes, 12), 20 * u);

    // Texts in the Central European code page, their font turned.
    const auto texts = OfType(records, 0x0A32);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(WmfText(texts[0]), QByteArray("Traction (N)"));
    EXPECT_EQ(WmfText(texts[1]), QByteArray("Ta\x9En\xE1 s\xEDla"));
    const auto fonts = OfType(records, 0x02FB);
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(I16(fonts[1].bytes, 10), 900);
    EXPECT_EQ(quint8(fonts[1].bytes[6 + 13]), 238);
}

TEST(MetafileDevice, ObjectsChangedInsideClipsStayValid)
{
    // Pens and brushes change while clipped: what the saved state holds
    // must outlive it, and the picture keeps its objects few.
    for (auto kind : {TMetafileKind::Emf, TMetafileKind::Wmf}) {
        TMetafileDevice device(kind, QSize(300, 200));
        QPainter p(&device);
        for (int i = 0; i < 40; ++i) {
            p.setPen(QPen(QColor::fromHsv(i * 9, 255, 200), 1 + i % 3));
            p.setBrush(i % 2 ? QBrush(Qt::yellow) : QBrush(Qt::NoBrush));
            if (i % 3 == 0)
                p.setClipRect(QRect(i, i, 100, 100));
            else if (i % 5 == 0)
                p.setClipping(false);
            p.drawRect(QRectF(i, i, 20, 10));
            p.drawLine(QPointF(0, i), QPointF(300, i));
        }
        p.end();
        const auto records = kind == TMetafileKind::Emf ? EmfRecords(device.Data()) : WmfRecords(device.Data());
        const TObjectTable t = kind == TMetafileKind::Emf ? PlayEmfObjects(records) : PlayWmfObjects(records);
        EXPECT_TRUE(t.problems.empty()) << t.problems.front();
        EXPECT_TRUE(t.saved.empty());
        EXPECT_LE(t.live.size(), 6u);
    }
}

TEST(MetafileDevice, LinesFarOffThePictureKeepTheirDirection)
{
    // A zoomed-in chart draws lines whose ends lie far outside: 16-bit
    // positions must cut them, not squash them.
    for (auto kind : {TMetafileKind::Emf, TMetafileKind::Wmf}) {
        TMetafileDevice device(kind, QSize(200, 100));
        const int u = device.Units();
        QPainter p(&device);
        const QPointF line[3] = {{0, 0}, {4000, 100}, {4000, 200}};
        p.drawPolyline(line, 3);
        p.end();
        QVector<QPoint> drawn;
        if (kind == TMetafileKind::Emf) {
            const auto lines = OfType(EmfRecords(device.Data()), 4); // POLYLINE, 32-bit
            ASSERT_EQ(lines.size(), 1u);
            for (quint32 i = 0; i < U32(lines[0].bytes, 24); ++i)
                drawn << QPoint(I32(lines[0].bytes, 28 + 8 * int(i)), I32(lines[0].bytes, 32 + 8 * int(i)));
            EXPECT_EQ(drawn, (QVector<QPoint>{{0, 0}, {4000 * u, 100 * u}, {4000 * u, 200 * u}}));
        } else {
            const auto lines = OfType(WmfRecords(device.Data()), 0x0325);
            ASSERT_EQ(lines.size(), 1u);
            for (int i = 0; i < I16(lines[0].bytes, 6); ++i)
                drawn << QPoint(I16(lines[0].bytes, 8 + 4 * i), I16(lines[0].bytes, 10 + 4 * i));
            // Cut where it leaves x = 32000, half way up: the slope stays.
            EXPECT_EQ(drawn, (QVector<QPoint>{{0, 0}, {32000, 32000 * 100 / 4000}}));
        }
    }
}

TEST(MetafileDevice, SavesAndReportsAFileThatCannotBeWritten)
{
    TMetafileDevice device(TMetafileKind::Emf, QSize(50, 50));
    PaintScene(device);
    TempDir dir;
    QString error;
    ASSERT_TRUE(device.Save(dir.file(QStringLiteral("a.emf")), &error));
    EXPECT_EQ(ReadAll(dir.file(QStringLiteral("a.emf"))), device.Data());
    EXPECT_FALSE(device.Save(dir.file(QStringLiteral("missing/a.emf")), &error));
    EXPECT_FALSE(error.isEmpty());
}
