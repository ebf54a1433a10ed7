#include "graph/GraphOutput.h"

#include "base/CheckedWrite.h"

#include "base/MessageService.h"
#include "ui/HourGlass.h"
#include "ui/MetafileDevice.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QSvgGenerator>
#include <QToolBar>
#include <QToolButton>
#include <qcustomplot.h>

namespace qv {

const char* const kPictureFilter =
    "Bitmaps (*.bmp)|*.bmp|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf|"
    "PNG pictures (*.png)|*.png|SVG pictures (*.svg)|*.svg|PDF documents (*.pdf)|*.pdf";

namespace {

QSize ChartSize(const QCustomPlot& chart, QSize size)
{
    if (size.isEmpty())
        size = chart.size();
    return size.isEmpty() ? QSize(800, 600) : size;
}

bool WriteFile(const QString& fileName, const QByteArray& bytes, QString* error)
{
    const TWriteResult r = WriteFileChecked(fileName, bytes);
    if (!r.Ok && error)
        *error = r.Error;
    return r.Ok;
}

// The picture is encoded in memory and written through the checked writer.
bool WriteImage(QCustomPlot& chart, const QString& fileName, const char* format, QSize size, QString* error)
{
    const QImage image = chart.toPixmap(size.width(), size.height()).toImage();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image)) {
        if (error)
            *error = writer.errorString();
        return false;
    }
    return WriteFile(fileName, buffer.data(), error);
}

QByteArray ChartSvg(QCustomPlot& chart, QSize size)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(96);
    svg.setTitle(QStringLiteral("Graph"));
    PaintChart(chart, svg, size);
    return buffer.data();
}

QByteArray ChartPdf(QCustomPlot& chart, QSize size)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / 96.0, QPageSize::Point, QString(), QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(QStringLiteral("Graph"));
        PaintChart(chart, pdf, size);
    }
    return buffer.data();
}

} // namespace

TPictureFormat PictureFormatForName(const QString& fileName)
{
    const QString end = fileName.right(3).toLower();
    if (end == QLatin1String("emf"))
        return TPictureFormat::Emf;
    if (end == QLatin1String("wmf"))
        return TPictureFormat::Wmf;
    if (end == QLatin1String("png"))
        return TPictureFormat::Png;
    if (end == QLatin1String("svg"))
        return TPictureFormat::Svg;
    if (end == QLatin1String("pdf"))
        return TPictureFormat::Pdf;
    return TPictureFormat::Bitmap;
}

void PaintChart(QCustomPlot& chart, QPaintDevice& device, QSize size)
{
    size = ChartSize(chart, size);
    QCPPainter painter;
    if (!painter.begin(&device))
        return;
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.setWindow(QRect(QPoint(0, 0), size));
    chart.toPainter(&painter, size.width(), size.height());
    painter.end();
}

bool SaveChart(QCustomPlot& chart, const QString& fileName, QString* error, QSize size)
{
    size = ChartSize(chart, size);
    switch (PictureFormatForName(fileName)) {
    case TPictureFormat::Emf:
    case TPictureFormat::Wmf: {
        TMetafileDevice device(PictureFormatForName(fileName) == TPictureFormat::Emf ? TMetafileKind::Emf
                                                                                      : TMetafileKind::Wmf,
                               size);
        PaintChart(chart, device, size);
        return device.Save(fileName, error);
    }
    case TPictureFormat::Png: return WriteImage(chart, fileName, "png", size, error);
    case TPictureFormat::Svg: return WriteFile(fileName, ChartSvg(chart, size), error);
    case TPictureFormat::Pdf: return WriteFile(fileName, ChartPdf(chart, size), error);
    case TPictureFormat::Bitmap: break;
    }
    return WriteImage(chart, fileName, "bmp", size, error);
}

QString SaveErrorText(const QString& fileName, const QString& reason)
{
    return QStringLiteral("Error by saving Graph as Image file \"") + fileName + QStringLiteral("\"!\r") + reason;
}

std::unique_ptr<QMimeData> ChartMimeData(QCustomPlot& chart)
{
    const QSize size = ChartSize(chart, {});
    auto data = std::make_unique<QMimeData>();
    data->setImageData(chart.toPixmap(size.width(), size.height()).toImage());
    data->setData(QStringLiteral("image/svg+xml"), ChartSvg(chart, size));
    return data;
}

void CopyChartToClipboard(QCustomPlot& chart)
{
    QGuiApplication::clipboard()->setMimeData(ChartMimeData(chart).release());
}

bool PrintChart(QCustomPlot& chart, QPrinter& printer, QString* error)
{
    const QSize size = ChartSize(chart, {});
    QCPPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = QStringLiteral("The printer could not start printing.");
        return false;
    }
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    const QRect page = painter.viewport();
    const QSize fit = size.scaled(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(QRect(page.topLeft() + QPoint((page.width() - fit.width()) / 2, 0), fit));
    painter.setWindow(QRect(QPoint(0, 0), size));
    chart.toPainter(&painter, size.width(), size.height());
    if (!painter.end()) {
        if (error)
            *error = QStringLiteral("The printer could not finish printing.");
        return false;
    }
    return true;
}

bool TQtPrinterSetup::Execute(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

TGraphOutput::TGraphOutput(QCustomPlot& chart, QObject* parent) : QObject(parent), chart_(chart)
{
    printer_.setPageOrientation(QPageLayout::Landscape);
}

TGraphOutput::~TGraphOutput() = default;

void TGraphOutput::CreateButtons(QWidget* parent)
{
    if (TBCopyGraph)
        return;
    auto make = [parent](const char* name, const char* caption, const char* hint) {
        auto* b = new QToolButton(parent);
        b->setObjectName(QLatin1String(name));
        b->setText(QLatin1String(caption));
        b->setToolTip(QLatin1String(hint));
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        return b;
    };
    TBCopyGraph = make("TBCopyGraph", "Copy", "Copy graph to clipboard");
    TBSaveGraph = make("TBSaveGraph", "Save as", "Save as BMP");
    TBPrintGraph = make("TBPrintGraph", "Print", "Print");
    connect(TBCopyGraph, &QToolButton::clicked, this, &TGraphOutput::TBCopyGraphClick);
    connect(TBSaveGraph, &QToolButton::clicked, this, &TGraphOutput::TBSaveGraphClick);
    connect(TBPrintGraph, &QToolButton::clicked, this, &TGraphOutput::TBPrintGraphClick);
}

void TGraphOutput::SetPrinterSetup(IPrinterSetup* setup) { setup_ = setup ? setup : &qtSetup_; }

void TGraphOutput::TBCopyGraphClick()
{
    THourGlass wait;
    CopyChartToClipboard(chart_);
}

QString TGraphOutput::SavePictureDialog1()
{
    // The name is taken as chosen: no extension is added.
    return Messages().SaveFileName(QStringLiteral("Save as"), QString(), QLatin1String(kPictureFilter), QString());
}

void TGraphOutput::TBSaveGraphClick()
{
    const QString name = SavePictureDialog1();
    if (name.isEmpty())
        return;
    QString reason;
    bool saved = false;
    {
        THourGlass wait;
        saved = SaveChart(chart_, name, &reason);
    }
    if (!saved) {
        Messages().Error(SaveErrorText(name, reason));
        return;
    }
    emit GraphSaved(name);
}

void TGraphOutput::TBPrintGraphClick()
{
    if (!chart_.isVisible())
        return;
    if (!PrinterSetupDialog1().Execute(printer_, chart_.window()))
        return;
    QString reason;
    bool printed = false;
    {
        THourGlass wait;
        printed = PrintChart(chart_, printer_, &reason);
    }
    if (!printed) {
        Messages().Error(QStringLiteral("Error by printing Graph!\r") + reason);
        return;
    }
    emit GraphPrinted();
}

} // namespace qv
