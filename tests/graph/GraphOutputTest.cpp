// The chart's output: picture files by the name's ending, the save and
// print buttons, the clipboard, and the metafiles read back.
#include "graph/GraphOutput.h"
#include "support/MetafileRecords.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
#include <set>
#include <gtest/gtest.h>
#include <qcustomplot.h>

using namespace qv;
using namespace qv::test;

namespace {

// A chart as the graph page draws one flight: a traction curve, a dashed
// servo curve, marker points, an annotation text and the legend.
struct TFlightChart {
    QWidget page;
    QCustomPlot* chart = new QCustomPlot(&page);

    explicit TFlightChart(int samples = 2000)
    {
        auto* layout = new QVBoxLayout(&page);
        layout->addWidget(chart);
        page.resize(640, 400);
        chart->xAxis->setLabel(QStringLiteral("Time (sec)"));
        chart->yAxis->setLabel(QStringLiteral("Traction (N)"));
        chart->yAxis2->setVisible(true);
        chart->yAxis2->setLabel(QStringLiteral("Servo (%)"));
        QVector<double> t(samples), f(samples), rx(samples);
        for (int i = 0; i < samples; ++i) {
            t[i] = i * 0.1;
            f[i] = 50 + 40 * std::sin(i / 50.0) + (i == samples / 2 ? 300 : 0); // one spike
            rx[i] = 50 + 30 * std::cos(i / 80.0);
        }
        QCPGraph* alt = chart->addGraph();
        alt->setName(QStringLiteral("Flight 1 (Alt)"));
        alt->setPen(QPen(QColor(255, 0, 0), 2));
        alt->setData(t, f, true);
        QCPGraph* servo = chart->addGraph(chart->xAxis, chart->yAxis2);
        servo->setName(QStringLiteral("Flight 1 (RX)"));
        servo->setPen(QPen(QColor(0, 0, 255), 1, Qt::DashLine));
        servo->setData(t, rx, true);
        QCPGraph* marks = chart->addGraph();
        marks->setName(QStringLiteral("Flight 1 (Mark)"));
        marks->setLineStyle(QCPGraph::lsNone);
        marks->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssTriangle, Qt::darkGreen, Qt::darkGreen, 9));
        marks->setData(QVector<double>{10, 100}, QVector<double>{60, 70});
        auto* label = new QCPItemText(chart);
        label->position->setCoords(50, 80);
        label->setText(QStringLiteral("Vypnutí"));
        chart->legend->setVisible(true);
        chart->rescaleAxes();
    }
};

std::vector<QString> EmfTexts(const QByteArray& file)
{
    std::vector<QString> out;
    for (const auto& r : OfType(EmfRecords(file), 84))
        out.push_back(EmfText(r));
    return out;
}

bool Contains(const std::vector<QString>& texts, const QString& t)
{
    return std::find(texts.begin(), texts.end(), t) != texts.end();
}

// The chart on its page with the output buttons.
struct TOutputPage {
    TFlightChart c;
    TGraphOutput out{*c.chart};
    explicit TOutputPage(bool shown)
    {
        out.CreateButtons(&c.page);
        if (shown)
            c.page.show();
    }
};

// Printer set-up that sends the output to a PDF file, or is cancelled.
class TPdfPrinterSetup : public IPrinterSetup {
public:
    explicit TPdfPrinterSetup(QString file, bool confirm = true) : file_(std::move(file)), confirm_(confirm) {}
    bool Execute(QPrinter& printer, QWidget*) override
    {
        ++runs;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file_);
        return confirm_;
    }
    int runs = 0;

private:
    QString file_;
    bool confirm_;
};

} // namespace

TEST(GraphOutput, FormatIsTakenFromTheLastThreeCharactersOfTheName)
{
    EXPECT_EQ(PictureFormatForName(QStringLiteral("flight.EMF")), TPictureFormat::Emf);
    EXPECT_EQ(PictureFormatForName(QStringLiteral("flight.Wmf")), TPictureFormat::Wmf);
    EXPECT_EQ(PictureFormatForName(QStringLiteral("flightemf")), TPictureFormat::Emf);
    EXPECT_EQ(PictureFormatForName(QStringLiteral("flight.bmp")), TPictureFormat::Bitmap);
    EXPECT_EQ(PictureFormatForName(QStringLiteral("flight.jpeg")), TPictureFormat::Bitmap);
    EXPECT_EQ(PictureFormatForName(QStringLiteral("flight")), TPictureFormat::Bitmap);
    EXPECT_EQ(PictureFormatForName(QStringLiteral("flight.PNG")), TPictureFormat::Png);
    EXPECT_EQ(PictureFormatForName(QStringLiteral("flight.svg")), TPictureFormat::Svg);
    EXPECT_EQ(PictureFormatForName(QStringLiteral("flight.pdf")), TPictureFormat::Pdf);
}

TEST(GraphOutput, UpperCaseEmfEndingGivesAnEnhancedMetafileOfTheChart)
{
    TFlightChart c;
    c.chart->resize(640, 400);
    TempDir dir;
    const QString name = dir.file(QStringLiteral("launch.EMF"));
    QString error;
    ASSERT_TRUE(SaveChart(*c.chart, name, &error, QSize(640, 400))) << error.toStdString();
    const QByteArray file = ReadAll(name);
    ASSERT_GT(file.size(), 100);
    EXPECT_EQ(U32(file, 0), 1u);
    EXPECT_EQ(U32(file, 40), 0x464D4520u);
    EXPECT_EQ(U32(file, 48), quint32(file.size()));
    EXPECT_EQ(I32(file, 16), 639);
    EXPECT_EQ(I32(file, 20), 399);
    const auto records = EmfRecords(file);
    EXPECT_EQ(U32(file, 52), quint32(records.size()));

    // Axis titles, legend entries and the annotation as texts.
    const auto texts = EmfTexts(file);
    for (const char* t : {"Time (sec)", "Traction (N)", "Servo (%)", "Flight 1 (Alt)", "Flight 1 (RX)"})
        EXPECT_TRUE(Contains(texts, QString::fromLatin1(t))) << t;
    EXPECT_TRUE(Contains(texts, QStringLiteral("Vypnutí")));

    // The curves are polylines (not pictures); the traction curve reaches
    // the spike's height, the top of its axis.
    EXPECT_TRUE(OfType(records, 81).empty()); // no STRETCHDIBITS
    // Long lines drawn with the red pen: the traction curve (its legend
    // icon is a short one).
    std::set<quint32> redPens, pens;
    bool red = false;
    int points = 0, topmost = INT_MAX;
    for (const auto& r : records) {
        if (r.type == 38 || r.type == 95) {
            pens.insert(U32(r.bytes, 8));
            if (r.type == 38 && U32(r.bytes, 24) == 0x0000FFu)
                redPens.insert(U32(r.bytes, 8));
            else
                redPens.erase(U32(r.bytes, 8));
        } else if (r.type == 39 || r.type == 82) {
            pens.erase(U32(r.bytes, 8));
        } else if (r.type == 37 && pens.count(U32(r.bytes, 8)))
            red = redPens.count(U32(r.bytes, 8)) > 0;
        else if (r.type == 87 && red && U32(r.bytes, 24) > 10)
            for (int i = 0, n = int(U32(r.bytes, 24)); i < n; ++i, ++points)
                topmost = std::min<int>(topmost, I16(r.bytes, 30 + 4 * i));
    }
    EXPECT_GT(points, 200);
    EXPECT_LT(points, 4 * 640); // reduced to the pixels
    const int u = 16; // logical units per pixel
    EXPECT_NEAR(topmost / double(u), c.chart->yAxis->coordToPixel(c.chart->yAxis->range().upper), 1.0);
    const TObjectTable objects = PlayEmfObjects(records);
    EXPECT_TRUE(objects.problems.empty()) << objects.problems.front();
}

TEST(GraphOutput, WmfEndingGivesAnOldMetafileOfTheChart)
{
    TFlightChart c;
    TempDir dir;
    const QString name = dir.file(QStringLiteral("launch.wmf"));
    ASSERT_TRUE(SaveChart(*c.chart, name, nullptr, QSize(640, 400)));
    const QByteArray file = ReadAll(name);
    EXPECT_EQ(U32(file, 0), 0x9AC6CDD7u);
    const auto records = WmfRecords(file);
    EXPECT_EQ(records.back().type, 0u);
    QList<QByteArray> texts;
    for (const auto& r : OfType(records, 0x0A32))
        texts << WmfText(r);
    EXPECT_TRUE(texts.contains("Time (sec)"));
    EXPECT_TRUE(texts.contains("Traction (N)"));
    EXPECT_TRUE(texts.contains("Vypnut\xED"));
    EXPECT_GE(OfType(records, 0x0325).size(), 3u);
    const TObjectTable objects = PlayWmfObjects(records);
    EXPECT_TRUE(objects.problems.empty()) << objects.problems.front();
}

TEST(GraphOutput, NameWithoutKnownEndingIsSavedAsBitmapUnderThatName)
{
    TFlightChart c;
    TempDir dir;
    for (const QString& leaf : {QStringLiteral("launch.jpg"), QStringLiteral("launch"), QStringLiteral("launch.bmp")}) {
        ASSERT_TRUE(SaveChart(*c.chart, dir.file(leaf), nullptr, QSize(320, 200)));
        const QByteArray file = ReadAll(dir.file(leaf));
        EXPECT_TRUE(file.startsWith("BM")) << leaf.toStdString();
        EXPECT_EQ(QImage::fromData(file, "BMP").size(), QSize(320, 200));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

TEST(GraphOutput, PngSvgAndPdfAreSavedInTheirOwnFormats)
{
    TFlightChart c;
    TempDir dir;
    ASSERT_TRUE(SaveChart(*c.chart, dir.file(QStringLiteral("a.png")), nullptr, QSize(320, 200)));
    ASSERT_TRUE(SaveChart(*c.chart, dir.file(QStringLiteral("a.svg")), nullptr, QSize(320, 200)));
    ASSERT_TRUE(SaveChart(*c.chart, dir.file(QStringLiteral("a.pdf")), nullptr, QSize(320, 200)));
    EXPECT_TRUE(ReadAll(dir.file(QStringLiteral("a.png"))).startsWith("\x89PNG"));
    const QByteArray svg = ReadAll(dir.file(QStringLiteral("a.svg")));
    EXPECT_TRUE(svg.contains("<svg"));
    EXPECT_TRUE(svg.contains("Traction (N)"));
    EXPECT_FALSE(svg.contains("<image")); // vectors, no embedded bitmap
    EXPECT_TRUE(ReadAll(dir.file(QStringLiteral("a.pdf"))).startsWith("%PDF"));
}

TEST(GraphOutput, SaveButtonAsksForANameAndReportsAFailure)
{
    TOutputPage page(true);
    TGraphOutput& out = page.out;
    EXPECT_EQ(out.TBSaveGraph->text(), QStringLiteral("Save as"));
    EXPECT_EQ(out.TBSaveGraph->toolTip(), QStringLiteral("Save as BMP"));
    ScriptedMessages msgs;
    TempDir dir;

    msgs.QueueFileName(QString()); // cancelled
    QTest::mouseClick(out.TBSaveGraph, Qt::LeftButton);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());

    const QString name = dir.file(QStringLiteral("graph.emf"));
    msgs.QueueFileName(name);
    QTest::mouseClick(out.TBSaveGraph, Qt::LeftButton);
    EXPECT_EQ(U32(ReadAll(name), 40), 0x464D4520u);
    EXPECT_TRUE(msgs.Errors().isEmpty());

    const QString bad = dir.file(QStringLiteral("no such folder/graph.bmp"));
    msgs.QueueFileName(bad);
    QTest::mouseClick(out.TBSaveGraph, Qt::LeftButton);
    ASSERT_EQ(msgs.Errors().size(), 1);
    EXPECT_TRUE(msgs.Errors()[0].startsWith(QStringLiteral("Error by saving Graph as Image file \"") + bad +
                                            QStringLiteral("\"!\r")));
    EXPECT_GT(msgs.Errors()[0].size(), bad.size() + 40); // the reason follows
}

TEST(GraphOutput, PrintButtonPrintsOnlyAVisibleChart)
{
    TOutputPage page(false);
    TGraphOutput& out = page.out;
    TempDir dir;
    const QString pdf = dir.file(QStringLiteral("print.pdf"));
    TPdfPrinterSetup setup(pdf);
    out.SetPrinterSetup(&setup);
    ScriptedMessages msgs;
    EXPECT_EQ(out.TBPrintGraph->toolTip(), QStringLiteral("Print"));

    // Hidden chart: the handler does nothing at all.
    out.TBPrintGraphClick();
    EXPECT_EQ(setup.runs, 0);
    EXPECT_FALSE(QFile::exists(pdf));

    page.c.page.show();
    QTest::mouseClick(out.TBPrintGraph, Qt::LeftButton);
    EXPECT_EQ(setup.runs, 1);
    const QByteArray printed = ReadAll(pdf);
    EXPECT_TRUE(printed.startsWith("%PDF"));
    EXPECT_EQ(printed.count("/Type /Page\n") + printed.count("/Type /Page\r"), 1);
    EXPECT_TRUE(msgs.Errors().isEmpty());

    // Cancelled set-up: nothing printed.
    QFile::remove(pdf);
    TPdfPrinterSetup cancel(pdf, false);
    out.SetPrinterSetup(&cancel);
    QTest::mouseClick(out.TBPrintGraph, Qt::LeftButton);
    EXPECT_EQ(cancel.runs, 1);
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST(GraphOutput, CopyPutsABitmapAndAnSvgPictureOnTheClipboard)
{
    TOutputPage page(true);
    TGraphOutput& out = page.out;
    EXPECT_EQ(out.TBCopyGraph->toolTip(), QStringLiteral("Copy graph to clipboard"));
    QTest::mouseClick(out.TBCopyGraph, Qt::LeftButton);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasImage());
    EXPECT_EQ(qvariant_cast<QImage>(data->imageData()).size(), page.c.chart->size());
    EXPECT_TRUE(data->data(QStringLiteral("image/svg+xml")).contains("Traction (N)"));
}

TEST(GraphOutput, OutsideConvertersReadTheMetafiles)
{
    // Debian's emf2svg-conv and wmf2svg, when installed, read the files as
    // a reader that is not ours does.
    const QString emf2svg = QStandardPaths::findExecutable(QStringLiteral("emf2svg-conv"));
    const QString wmf2svg = QStandardPaths::findExecutable(QStringLiteral("wmf2svg"));
    if (emf2svg.isEmpty() && wmf2svg.isEmpty())
        GTEST_SKIP() << "neither emf2svg-conv nor wmf2svg installed";
    TFlightChart c;
    TempDir dir;
    if (!emf2svg.isEmpty()) {
        ASSERT_TRUE(SaveChart(*c.chart, dir.file(QStringLiteral("a.emf")), nullptr, QSize(640, 400)));
        QProcess p;
        p.start(emf2svg, {QStringLiteral("-i"), dir.file(QStringLiteral("a.emf")), QStringLiteral("-o"),
                          dir.file(QStringLiteral("a.svg"))});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const QByteArray svg = ReadAll(dir.file(QStringLiteral("a.svg")));
        EXPECT_TRUE(svg.contains("Traction (N)"));
        EXPECT_TRUE(svg.contains("Time (sec)"));
        EXPECT_TRUE(svg.contains("<path") || svg.contains("<polyline"));
    }
    if (!wmf2svg.isEmpty()) {
        ASSERT_TRUE(SaveChart(*c.chart, dir.file(QStringLiteral("a.wmf")), nullptr, QSize(640, 400)));
        QProcess p;
        p.start(wmf2svg, {QStringLiteral("-o"), dir.file(QStringLiteral("b.svg")), dir.file(QStringLiteral("a.wmf"))});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const QByteArray svg = ReadAll(dir.file(QStringLiteral("b.svg")));
        // It places every character on its own, at the advance the file gives.
        QByteArray letters;
        static const QRegularExpression text(QStringLiteral(">([^<]*)</text>"));
        for (auto it = text.globalMatch(QString::fromLatin1(svg)); it.hasNext();)
            letters += it.next().captured(1).toLatin1();
        EXPECT_TRUE(letters.contains("Traction (N)"));
        EXPECT_TRUE(letters.contains("Time (sec)"));
        EXPECT_TRUE(svg.contains("<polyline"));
    }
}

TEST(GraphOutput, LibreOfficeReadsTheMetafiles)
{
    // Debian's LibreOffice, when installed, reads both files and writes
    // them again as SVG: the texts come through as texts, the lines as paths.
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "soffice not installed";
    TFlightChart c;
    TempDir dir;
    ASSERT_TRUE(SaveChart(*c.chart, dir.file(QStringLiteral("e.emf")), nullptr, QSize(640, 400)));
    ASSERT_TRUE(SaveChart(*c.chart, dir.file(QStringLiteral("w.wmf")), nullptr, QSize(640, 400)));
    QProcess p;
    p.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + dir.file(QStringLiteral("profile")),
                      QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("svg"),
                      QStringLiteral("--outdir"), dir.path(), dir.file(QStringLiteral("e.emf")),
                      dir.file(QStringLiteral("w.wmf"))});
    ASSERT_TRUE(p.waitForFinished(240000));
    for (const char* svg : {"e.svg", "w.svg"}) {
        const QByteArray bytes = ReadAll(dir.file(QLatin1String(svg)));
        EXPECT_TRUE(bytes.contains("Traction (N)")) << svg;
        EXPECT_TRUE(bytes.contains("Time (sec)")) << svg;
        EXPECT_GT(bytes.count("<path"), 50) << svg;
    }
}
