#pragma once
// The chart handed on as shown: to the clipboard, to a picture file (BMP,
// EMF, WMF, PNG, SVG, PDF) or to a printer. Everything works on a plain
// QCustomPlot, whichever page holds it.
#include <QObject>
#include <QPrinter>
#include <QSize>
#include <QString>
#include <memory>

class QCustomPlot;
class QMimeData;
class QPaintDevice;
class QToolBar;
class QToolButton;
class QWidget;

namespace qv {

// Filter of the picture save dialog.
extern const char* const kPictureFilter;

enum class TPictureFormat { Bitmap, Emf, Wmf, Png, Svg, Pdf };

// The format a file name asks for: the last three characters in lower case;
// an ending no format owns gives a bitmap. The name is never changed.
TPictureFormat PictureFormatForName(const QString& fileName);

// The chart drawn at size (its own size when empty) onto a vector device
// (metafile, SVG, PDF): curves, axes, texts and legend as on screen.
void PaintChart(QCustomPlot& chart, QPaintDevice& device, QSize size = {});

// Saves the chart in the format of the name's ending; on failure false and
// the reason in error.
bool SaveChart(QCustomPlot& chart, const QString& fileName, QString* error = nullptr, QSize size = {});
// The message shown when a save fails.
QString SaveErrorText(const QString& fileName, const QString& reason);

// The chart as clipboard data: a bitmap and an SVG picture.
std::unique_ptr<QMimeData> ChartMimeData(QCustomPlot& chart);
void CopyChartToClipboard(QCustomPlot& chart);

// Prints the chart on one page, as large as fits with its proportions.
bool PrintChart(QCustomPlot& chart, QPrinter& printer, QString* error = nullptr);

// The printer set-up dialog; replaced in tests.
class IPrinterSetup {
public:
    virtual ~IPrinterSetup() = default;
    // Lets the user choose and set up the printer; false when cancelled.
    virtual bool Execute(QPrinter& printer, QWidget* parent) = 0;
};

// Qt's print dialog.
class TQtPrinterSetup : public IPrinterSetup {
public:
    bool Execute(QPrinter& printer, QWidget* parent) override;
};

// The graph page's three output buttons and their handlers.
class TGraphOutput : public QObject {
    Q_OBJECT
public:
    explicit TGraphOutput(QCustomPlot& chart, QObject* parent = nullptr);
    ~TGraphOutput() override;

    // Creates the three tool buttons (once) under parent.
    void CreateButtons(QWidget* parent);

    QToolButton* TBCopyGraph = nullptr;
    QToolButton* TBSaveGraph = nullptr;
    QToolButton* TBPrintGraph = nullptr;

    // The picture save dialog: the chosen name, empty when cancelled.
    QString SavePictureDialog1();
    // The printer set-up dialog in use; SetPrinterSetup replaces it (not
    // owned; nullptr restores Qt's dialog).
    IPrinterSetup& PrinterSetupDialog1() { return *setup_; }
    void SetPrinterSetup(IPrinterSetup* setup);
    QPrinter& Printer() { return printer_; }

    void TBCopyGraphClick();
    void TBSaveGraphClick();
    void TBPrintGraphClick();

signals:
    void GraphSaved(const QString& fileName);
    void GraphPrinted();

private:
    QCustomPlot& chart_;
    QPrinter printer_;
    TQtPrinterSetup qtSetup_;
    IPrinterSetup* setup_ = &qtSetup_;
};

} // namespace qv
