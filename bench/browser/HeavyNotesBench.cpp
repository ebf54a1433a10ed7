// Time and memory of notes and annotations that are large or deep
// (qv_bench_heavy_notes CASE [show]): "html N" nested blocks, "rtf N"
// paragraphs, "annot N" annotations. Each case reads the notes or the file as the
// program does and shows it in the window's own widgets (notes editor,
// chart), then pans the chart. Prints seconds (processor time of the
// process) per step and its peak memory; run one case per process so that
// the peak belongs to it.
#include "base/MessageService.h"
#include "browser/FlightInfo.h"
#include "browser/HtmlFlatten.h"
#include "browser/Notes.h"
#include "browser/NotesDocument.h"
#include "data/DataFile.h"
#include "flights/OpenFlights.h"
#include "graph/Chart.h"
#include "graph/ChartLabels.h"
#include "graph/GraphSetup.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTextEdit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <qcustomplot.h>
#include <string>

namespace {

using namespace qv;

double PeakMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// Processor time of this process: on a shared machine the wall clock
// measures the other programs too.
class TCpuTimer {
public:
    void start() { t0_ = Now(); }
    void restart() { t0_ = Now(); }
    double Seconds() const { return Now() - t0_; }

private:
    static double Now()
    {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return ts.tv_sec + ts.tv_nsec * 1e-9;
    }
    double t0_ = 0;
};

void Report(const char* step, TCpuTimer& t)
{
    std::printf("  %-34s %8.3f s   peak %7.1f MB\n", step, t.Seconds(), PeakMb());
    std::fflush(stdout);
    t.restart();
}

void Pump()
{
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
}

std::string NestedHtml(int depth)
{
    std::string s = "<html><body>";
    for (int i = 0; i < depth; ++i)
        s += "<div>x";
    for (int i = 0; i < depth; ++i)
        s += "</div>";
    return s + "</body></html>";
}

std::string ManyParagraphs(int paragraphs)
{
    std::string s = "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset238 Arial;}}\r\n\\pard\\f0\\fs20 ";
    for (int i = 0; i < paragraphs; ++i)
        s += "Odstavec pozn\\'e1mek\\par\r\n";
    return s + "}";
}

void Notes(const std::string& bytes)
{
    std::printf("notes: %.1f MB\n", bytes.size() / 1048576.0);
    TCpuTimer t;
    t.start();
    if (NotesKindOf(bytes) == TNotesKind::Html) {
        const QString flat = FlattenHtml(QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())));
        Report("HTML flattened", t);
        TNotesDocument doc;
        doc.setHtml(flat);
        Report("HTML parsed", t);
        RichFromDocument(doc);
        Report("formats taken", t);
    }
    const TRichDocument rich = ReadNotes(bytes);
    std::printf("  %zu paragraphs\n", rich.Paragraphs.size());
    Report("read (formatted text)", t);
    {
        TNotesDocument doc;
        doc.setUndoRedoEnabled(false);
        RichToDocument(rich, doc);
        Report("into a text document alone", t);
    }
    TFlightInfoPage page;
    page.resize(900, 600);
    page.show();
    Pump();
    t.restart();
    page.SetNotes(bytes);
    Report("into the editor", t);
    Pump();
    page.RichEdit1->document()->documentLayout()->documentSize();
    Report("shown and laid out", t);
    const std::string saved = page.NotesBytes();
    Report("saved again (RTF)", t);
}

TDataBlock AnnotatedFlight(int annotations)
{
    TDataBlock b;
    b.Date = "01.01.2026 12:00:00";
    b.Words = {10, 0x8000, 0, 0, 0, 0, 0};
    const int samples = 6000;
    std::vector<double> time, alt;
    for (int i = 0; i < samples; ++i) {
        time.push_back(i / 10.0);
        alt.push_back((i % 500) / 2.0);
    }
    b.SetSamples(ArrTime, std::move(time));
    b.SetSamples(ArrAltitude, std::move(alt));
    b.Present[ArrAltitude] = true;
    b.Annotations.reserve(static_cast<std::size_t>(annotations));
    for (int i = 0; i < annotations; ++i)
        b.Annotations.push_back({(i % 6000) / 10.0, double((i / 6000 * 37 + i) % 250), "label " + std::to_string(i)});
    b.NotesStream();
    return b;
}

void Annotations(int count)
{
    const QString file = QStringLiteral("/tmp/qv_bench_annot_%1.kdf").arg(QCoreApplication::applicationPid());
    std::string bytes;
    {
        const TDataBlock flight = AnnotatedFlight(count);
        if (!WriteDataFile(file, flight, Messages()))
            return;
        bytes = FormatDataFile(flight);
    }
    std::printf("annotations: %d, file %.1f MB\n", count, bytes.size() / 1048576.0);
    TCpuTimer t;
    t.start();
    {
        TDataBlock b;
        ParseDataFile(bytes, b, Messages());
        std::printf("  %zu read\n", b.Annotations.size());
        Report("read (the file's bytes)", t);
    }
    TCurveModel model;
    TGraphSetupRec setup = DefaultGraphSetup();
    TChartView chart(model, setup);
    chart.resize(1200, 700);
    chart.show();
    Pump();
    TOpenFlights open;
    open.SetCurveModel(&model);
    t.restart();
    open.OpenDataFile(file);
    Report("opened into the curve model", t);
    model.SetVisible(open.CurvesOf(0), SlotAnnot, true);
    chart.Chart1->replot();
    Report("first replot with labels", t);
    std::printf("  %zu labels drawn, time %g..%g s, altitude %g..%g, %d x %d pixels\n",
                chart.LabelLayer(open.CurvesOf(0))->Drawn().size(), chart.Chart1->xAxis->range().lower,
                chart.Chart1->xAxis->range().upper, chart.Chart1->yAxis->range().lower,
                chart.Chart1->yAxis->range().upper, chart.Chart1->axisRect()->width(),
                chart.Chart1->axisRect()->height());
    t.restart();
    constexpr int kPans = 20;
    for (int i = 0; i < kPans; ++i) {
        chart.Chart1->xAxis->moveRange(1.0);
        chart.Chart1->replot();
    }
    std::printf("  pan: %.1f ms a replot\n", t.Seconds() * 1e3 / kPans);
    chart.LabelLayer(open.CurvesOf(0))->setVisible(false);
    t.restart();
    for (int i = 0; i < kPans; ++i) {
        chart.Chart1->xAxis->moveRange(-1.0);
        chart.Chart1->replot();
    }
    std::printf("  pan without the labels (marks only): %.1f ms a replot\n", t.Seconds() * 1e3 / kPans);
    chart.LabelLayer(open.CurvesOf(0))->setVisible(true);
    t.restart();
    chart.Chart1->xAxis->setRange(100, 110);
    chart.Chart1->replot();
    Report("zoom to 10 s", t);
    std::printf("  %zu labels drawn\n", chart.LabelLayer(open.CurvesOf(0))->Drawn().size());
    QFile::remove(file);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: qv_bench_heavy_notes html|rtf|annot COUNT [show]\n");
        return 2;
    }
    const int n = std::atoi(argv[2]);
    // Large notes are shown after a question: "show" as the third argument
    // answers it with yes.
    ConsoleMessageService answers(argc > 3 && !std::strcmp(argv[3], "show") ? Answer::Yes : Answer::No);
    SetMessageService(&answers);
    if (!std::strcmp(argv[1], "html"))
        Notes(NestedHtml(n));
    else if (!std::strcmp(argv[1], "rtf"))
        Notes(ManyParagraphs(n));
    else if (!std::strcmp(argv[1], "annot"))
        Annotations(n);
    else
        return 2;
    return 0;
}
