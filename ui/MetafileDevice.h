#pragma once
// A paint device that records what a QPainter draws as a Windows metafile:
// an enhanced metafile (EMF) or the older placeable metafile (WMF). Lines,
// shapes and text stay vectors; only pictures drawn as pictures become
// bitmaps in the file.
#include "ui/MetafileWriter.h"

#include <QByteArray>
#include <QPaintDevice>
#include <QSize>
#include <QString>
#include <memory>

namespace qv {

class TMetafileEngine;

class TMetafileDevice : public QPaintDevice {
public:
    // size in pixels at dpi dots per inch (the picture's size on paper).
    TMetafileDevice(TMetafileKind kind, QSize size, int dpi = 96);
    ~TMetafileDevice() override;

    QPaintEngine* paintEngine() const override;

    TMetafileKind Kind() const { return kind_; }
    QSize Size() const { return size_; }
    int Dpi() const { return dpi_; }
    // Logical units of the file per pixel: the file keeps positions finer
    // than one pixel.
    int Units() const;

    // The file's bytes; complete once the painter has ended.
    QByteArray Data() const { return data_; }
    int RecordCount() const { return records_; }
    // Writes the bytes to fileName; on failure false and the reason.
    bool Save(const QString& fileName, QString* error = nullptr) const;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    friend class TMetafileEngine;
    TMetafileKind kind_;
    QSize size_;
    int dpi_;
    QByteArray data_;
    int records_ = 0;
    std::unique_ptr<TMetafileEngine> engine_;
};

} // namespace qv
