// Replot times of the whole chart with three flights of 1,500,000 samples
// (three channels, markers and annotations, every curve shown), offscreen:
//  - at the full view, zoomed to 1 % of the time axis, and during a pan of
//    200 steps across the flight (median and worst of one replot);
//  - opening one such file into the graph against reading it alone, and
//    the heap the open file holds against its sample arrays.
// Every timed replot draws a view the chart has not drawn just before, so
// the reduction of the curves is part of each figure.
#include "BenchApp.h"
#include "FlightMaker.h"
#include "base/MessageService.h"
#include "data/DataFile.h"
#include "flights/OpenFlights.h"
#include "graph/Chart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <ctime>
#include <malloc.h>
#include <cstdio>
#include <qcustomplot.h>
#include <vector>

using namespace qv;

namespace {

constexpr int kSamples = 1500000;

double Ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

// Bytes of the heap in use (small blocks and mapped large ones).
double HeapBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks) + static_cast<double>(m.hblkhd);
}

// Processor time of this thread: the machine may be shared, and wall time
// then also counts the waits for a processor.
double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Stats {
    double median = 0, worst = 0;
};

Stats Of(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.back()};
}

void Report(const char* what, const std::pair<Stats, Stats>& wallCpu)
{
    const Stats& s = wallCpu.first;
    const Stats& c = wallCpu.second;
    const bool ok = s.median <= 10.0 && s.worst <= 20.0;
    std::printf("%-48s wall median %6.2f worst %6.2f ms (goal 10 / 20) %s; processor median %6.2f worst %6.2f ms\n",
                what, s.median, s.worst, ok ? "OK" : "MISSED", c.median, c.worst);
}

} // namespace

int main(int argc, char** argv)
{
    bench::TBenchApp app(argc, argv);
    const QSize size = argc > 2 ? QSize(atoi(argv[1]), atoi(argv[2])) : QSize(1400, 800);

    QTemporaryDir dir;
    const std::vector<QString> files = bench::WriteFlights(dir.path(), QStringLiteral("long"), kSamples, 1);
    if (files.empty())
        return 1;
    std::printf("3 files of %d samples, %.1f MB each; chart %dx%d\n", kSamples, QFileInfo(files[0]).size() / 1e6,
                size.width(), size.height());

    // Reading alone (warm cache), median of three; wall and processor time.
    std::vector<double> reads, readsCpu;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        const double c0 = CpuMs();
        TDataBlock b;
        b.NotesStream();
        ReadDataFile(files[0], b, Messages());
        readsCpu.push_back(CpuMs() - c0);
        reads.push_back(Ms(t));
    }
    const double readMs = Of(reads).median;
    const double readCpu = Of(readsCpu).median;

    TCurveModel model;
    TGraphSetupRec setup = DefaultGraphSetup();
    TChartView chart(model, setup);
    chart.resize(size);
    chart.show();
    QCoreApplication::processEvents();
    TOpenFlights open;
    open.SetCurveModel(&model);

    // Opening into the graph: read, curves and their pyramids, first replot.
    std::vector<double> opens, opensCpu;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        const double c0 = CpuMs();
        open.OpenDataFile(files[0]);
        chart.Chart1->replot(QCustomPlot::rpImmediateRefresh);
        opensCpu.push_back(CpuMs() - c0);
        opens.push_back(Ms(t));
        open.GridCloseAll(true);
    }
    const double openMs = Of(opens).median;
    const double openCpu = Of(opensCpu).median;
    std::printf("open into graph %.1f ms, read alone %.1f ms: ratio %.2f (goal <= 1.10) %s\n", openMs, readMs,
                openMs / readMs, openMs / readMs <= 1.1 ? "OK" : "MISSED");
    std::printf("  processor time: open %.1f ms, read %.1f ms: ratio %.2f\n", openCpu, readCpu, openCpu / readCpu);

    // What an open file holds: its record, curves, pyramids and the drawn
    // points, against the bytes of its sample arrays.
    {
        malloc_trim(0);
        const double before = HeapBytes();
        open.OpenDataFile(files[0]);
        chart.Chart1->replot(QCustomPlot::rpImmediateRefresh);
        const double added = HeapBytes() - before;
        const TDataBlock& b = *open.Block(0);
        double arrays = 0;
        for (int k = 0; k < kSampleArrays; ++k)
            arrays += static_cast<double>(b.Samples(k).size() * sizeof(double));
        std::printf("memory added by opening %.1f MB, sample arrays %.1f MB: %.2f times (goal <= 1.15) %s\n",
                    added / 1e6, arrays / 1e6, added / arrays, added / arrays <= 1.15 ? "OK" : "MISSED");
        open.GridCloseAll(true);
    }
    if (qEnvironmentVariableIsSet("QV_OPEN_ONLY"))
        return 0;

    for (const QString& f : files)
        open.OpenDataFile(f);
    for (int row = 0; row < 3; ++row)
        for (int col = 2; col <= 5; ++col)
            if (!(qEnvironmentVariableIsSet("QV_NOMARK") && col == 4))
                open.GridCheck(col, row, true);
    if (qEnvironmentVariableIsSet("QV_SOLID")) {
        setup.RXLStyle = setup.PowerSupLStyle = 0;
        chart.ChangeGraphSettings(open.CurveHandles());
    }
    if (qEnvironmentVariableIsSet("QV_NOAA"))
        chart.Chart1->setNotAntialiasedElements(QCP::aeAll);
    QCoreApplication::processEvents();
    int points = 0;
    for (int row = 0; row < 3; ++row)
        points += model.Curve(open.CurvesOf(row), SlotMark)->Count();
    std::printf("markers in the three files: %d\n", points);

    QCPAxis* x = chart.Chart1->xAxis;
    const QCPRange full = x->range();
    auto timed = [&](int count, auto&& setView) {
        std::vector<double> v, c;
        for (int i = 0; i < count; ++i) {
            setView(i);
            QElapsedTimer t;
            t.start();
            const double c0 = CpuMs();
            chart.Chart1->replot(QCustomPlot::rpImmediateRefresh);
            c.push_back(CpuMs() - c0);
            v.push_back(Ms(t));
        }
        return std::make_pair(Of(v), Of(c));
    };
    chart.Chart1->replot(QCustomPlot::rpImmediateRefresh); // warm
    if (qEnvironmentVariableIsSet("QV_ONLY_FULL")) {
        Report("full view", timed(300, [&](int i) { x->setRange(full.lower - (i % 2) * 1e-6, full.upper); }));
        return 0;
    }
    Report("full view", timed(41, [&](int i) { x->setRange(full.lower - (i % 2) * 1e-6, full.upper); }));
    const double w = full.size() * 0.01;
    const double mid = full.center();
    Report("zoomed to 1 % of the time axis",
           timed(41, [&](int i) { x->setRange(mid + (i % 2) * 1e-6, mid + w + (i % 2) * 1e-6); }));
    Report("pan of 200 steps across the flight (1 % view)", timed(200, [&](int i) {
               const double lo = full.lower + (full.size() - w) * i / 199.0;
               x->setRange(lo, lo + w);
           }));
    const double w10 = full.size() * 0.1;
    Report("pan of 200 steps across the flight (10 % view)", timed(200, [&](int i) {
               const double lo = full.lower + (full.size() - w10) * i / 199.0;
               x->setRange(lo, lo + w10);
           }));

    return 0;
}
