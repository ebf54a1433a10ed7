// Replot times of the graph page with three flights of 1,500,000 samples
// (three channels, dense markers and annotations, every curve shown),
// offscreen, against a plain QCustomPlot of the same size that is given the
// same nine curves as raw samples (its own adaptive sampling) and the
// markers and annotations as scatter points:
//  - at the full view, zoomed to 1 % of the time axis, and during pans of
//    200 steps across the flight at 1 % and 10 % views (median and worst of
//    one replot, the plain chart's median, and how many times ours is ahead);
//  - 100 wheel steps and 200 space-bar pan steps posted as real events:
//    the time from the first event to the last repaint, and the repaints;
//  - opening one such file into the graph against reading it alone, and the
//    first measurement table after opening.
// Every timed replot draws a view the chart has not drawn just before, so
// the reduction of the curves is part of each figure. After each case a
// fixed piece of arithmetic about as long as one of our replots runs as
// many times on two threads, timed too: where it takes longer than the
// worst-case goal, the machine itself took the processors away for that
// long. Wall times count the waits for a processor on a shared machine;
// processor times do not, and add up every thread of the process (the
// chart draws long curves on several).
#include "BenchApp.h"
#include "FlightMaker.h"
#include "base/MessageService.h"
#include "data/DataFile.h"
#include "flights/OpenFlights.h"
#include "graph/CurveTable.h"
#include "graph/GraphPage.h"
#include "graph/Measurement.h"
#include "graph/WorkerTeam.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QThread>
#include <QWheelEvent>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <malloc.h>
#include <memory>
#include <pthread.h>
#include <qcustomplot.h>
#include <thread>
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

double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts); // the chart's drawing threads too
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

struct Timing {
    Stats wall, cpu;
};

// What the machine itself does to a fixed piece of work: the same
// arithmetic on the caller's thread and a helper's, timed in wall time. A
// quiet machine gives the same time every run; a shared one that takes its
// processors away now and then stretches some runs, whatever they compute.
class TControl {
public:
    explicit TControl(double ms) : team_(1), ms_(ms) { Calibrate(); }
    // Sets its length from the quickest of a few short runs, and keeps
    // the longest setting so far: one found while the machine was slow
    // would give too short a control.
    void Calibrate()
    {
        const long before = steps_;
        steps_ = 1 << 16;
        double best = 1e9;
        for (int i = 0; i < 20; ++i)
            best = std::min(best, Run());
        steps_ = std::max(before, static_cast<long>(steps_ * ms_ / best));
    }
    double Run()
    {
        QElapsedTimer t;
        t.start();
        team_.Run([this](int part, int) { sink_[part] = Work(steps_); });
        const double ms = Ms(t);
        team_.Rest(); // its helper sleeps at once, leaving the processors to the chart
        return ms;
    }

private:
    static double Work(long steps)
    {
        double a = 1;
        for (long i = 0; i < steps; ++i)
            a = a * 1.0000001 + 1e-9;
        return a;
    }
    TWorkerTeam team_;
    const double ms_;
    long steps_ = 0;
    volatile double sink_[2] = {};
};

// QV_LOAD=busy/period (ms): while the cases run, a thread of its own keeps
// the last processor busy that long in every period, as another program
// there would (Linux only).
class TLoad {
public:
    TLoad(double busyMs, double periodMs) : busy_(busyMs), period_(std::max(periodMs, busyMs))
    {
        thread_ = std::thread([this] {
#if defined(__linux__)
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(std::max(0, QThread::idealThreadCount() - 1), &one);
            pthread_setaffinity_np(pthread_self(), sizeof one, &one);
#endif
            while (!stop_) {
                QElapsedTimer t;
                t.start();
                volatile double a = 1;
                while (Ms(t) < busy_)
                    a = a * 1.0000001;
                std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>((period_ - busy_) * 1000)));
            }
        });
    }
    ~TLoad()
    {
        stop_ = true;
        thread_.join();
    }

private:
    const double busy_, period_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Replots `plot` after each setView(i) and times every replot with its
// repaint.
Timing Time(QCustomPlot* plot, int count, const std::function<void(int)>& setView)
{
    std::vector<double> v, c;
    for (int i = 0; i < count; ++i) {
        setView(i);
        QElapsedTimer t;
        t.start();
        const double c0 = CpuMs();
        plot->replot(QCustomPlot::rpImmediateRefresh);
        c.push_back(CpuMs() - c0);
        v.push_back(Ms(t));
    }
    if (qEnvironmentVariableIsSet("QV_DUMP")) { // every replot: index, wall and processor ms
        for (std::size_t i = 0; i < v.size(); ++i)
            std::fprintf(stderr, "%zu:%.1f/%.1f ", i, v[i], c[i]);
        std::fprintf(stderr, "\n");
    }
    return {Of(v), Of(c)};
}

// Counts the events of interest delivered to the chart and the end of
// its last repaint.
class TEventClock : public QObject {
public:
    explicit TEventClock(QWidget* chart) : chart_(chart) { timer_.start(); }
    int Delivered = 0;
    int Paints = 0;
    double LastPaintEnd = 0, LastPaintStart = 0;
    QEvent::Type Counted = QEvent::None;
    double Now() const { return Ms(timer_); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (watched != chart_)
            return false;
        if (e->type() == Counted)
            ++Delivered;
        if (e->type() == QEvent::Paint && !inPaint_) {
            LastPaintStart = Now();
            inPaint_ = true;
            QCoreApplication::sendEvent(chart_, e); // paint now, to clock its end
            inPaint_ = false;
            ++Paints;
            LastPaintEnd = Now();
            return true;
        }
        return false;
    }

private:
    QWidget* chart_;
    QElapsedTimer timer_;
    bool inPaint_ = false;
};

// Posts the events, runs the loop until every one was delivered and no
// repaint came for 300 ms (bounded), and prints first event to last repaint.
void Replay(const char* what, TEventClock& clock, QEvent::Type counted, const std::vector<std::pair<QObject*, QEvent*>>& events,
            int expected, QCustomPlot* plot)
{
    int replots = 0;
    const auto c = QObject::connect(plot, &QCustomPlot::afterReplot, [&] { ++replots; });
    clock.Counted = counted;
    clock.Delivered = 0;
    clock.Paints = 0;
    const double start = clock.Now();
    const double cpu0 = CpuMs();
    for (const auto& [target, e] : events)
        QCoreApplication::postEvent(target, e);
    double quietSince = clock.Now();
    int paints = 0;
    while (clock.Now() - start < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (clock.Paints != paints) {
            paints = clock.Paints;
            quietSince = clock.Now();
        }
        if (clock.Delivered >= expected && clock.Now() - quietSince > 300)
            break;
    }
    const double cpu = CpuMs() - cpu0;
    QObject::disconnect(c);
    std::printf("%-44s first event to last repaint %7.1f ms (processor %7.1f ms incl. 300 ms idle wait); %d of %d events, "
                "%d replots, %d repaints\n",
                what, clock.LastPaintEnd - start, cpu, clock.Delivered, expected, replots, clock.Paints);
}

// Posts the events one at a time, `gap` ms apart as a hand gives them (the
// program idle in between), and prints the time from each to the end of
// the repaint it brings.
void Paced(const char* what, TEventClock& clock, QEvent::Type counted,
           const std::vector<std::pair<QObject*, QEvent*>>& events, double gap)
{
    clock.Counted = counted;
    std::vector<double> latency;
    int missing = 0;
    const double start = clock.Now();
    for (std::size_t i = 0; i < events.size(); ++i) {
        const double due = start + gap * static_cast<double>(i) - clock.Now();
        if (due > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(due * 1000)));
        const int paints = clock.Paints;
        const double posted = clock.Now();
        QCoreApplication::postEvent(events[i].first, events[i].second);
        while (clock.Paints == paints && clock.Now() - posted < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (clock.Paints == paints)
            ++missing;
        else
            latency.push_back(clock.LastPaintEnd - posted);
    }
    const Stats s = latency.empty() ? Stats{} : Of(latency);
    const auto over = std::count_if(latency.begin(), latency.end(), [](double ms) { return ms > 8; });
    std::printf("%-44s event to its repaint median %6.2f worst %6.2f ms, %d of %zu over 8 ms%s\n", what, s.median,
                s.worst, static_cast<int>(over), events.size(),
                missing ? QByteArray(", " + QByteArray::number(missing) + " without a repaint").constData() : "");
}

// The plain chart: every curve as raw samples, QCustomPlot's own sampling.
void FillPlain(QCustomPlot& plain, const TCurveModel& model, const TChartView& chart)
{
    plain.xAxis2->setVisible(false);
    QCPAxis* volt = plain.axisRect()->addAxis(QCPAxis::atRight);
    plain.yAxis2->setVisible(true);
    std::array<QCPAxis*, kAxisCount> axes = {plain.xAxis, plain.yAxis, plain.yAxis2, volt};
    for (TCurveHandle h : model.Handles())
        for (int k = 0; k < kSlotCount; ++k) {
            const TCurve* c = model.Curve(h, k);
            const QCPGraph* ours = chart.Series(h, k);
            QCPGraph* g = plain.addGraph(plain.xAxis, axes[CurveSlot(k).Axis]);
            g->setAdaptiveSampling(true);
            g->setPen(ours->pen());
            if (CurveSlot(k).Points) {
                g->setLineStyle(QCPGraph::lsNone);
                g->setScatterStyle(ours->scatterStyle());
            }
            QVector<QCPGraphData> points(c->Count());
            for (int i = 0; i < c->Count(); ++i)
                points[i] = QCPGraphData(c->DrawnX(c->PointX(i)), c->DrawnY(c->PointY(i)));
            g->data()->set(points, true);
            if (k == SlotAnnot)
                for (const TCurveLabel& l : model.Labels(h)) {
                    auto* item = new QCPItemText(&plain);
                    item->position->setCoords(c->DrawnX(l.Time), c->DrawnY(l.Altitude));
                    item->setText(QString::fromLatin1(l.Text.c_str()));
                    item->setClipToAxisRect(true);
                }
        }
    for (AxisId a : {AxisBottom, AxisLeft, AxisRight, AxisVoltage})
        axes[a]->setRange(chart.Axis(a)->range());
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

    // Reading alone (warm cache); timed in turn with the opens below, so
    // that a machine whose speed drifts slows both alike.
    std::vector<double> reads, readsCpu;
    auto readOnce = [&] {
        QElapsedTimer t;
        t.start();
        const double c0 = CpuMs();
        TDataBlock b;
        b.NotesStream();
        ReadDataFile(files[0], b, Messages());
        readsCpu.push_back(CpuMs() - c0);
        reads.push_back(Ms(t));
    };

    TCurveModel model;
    TGraphSetupRec setup = DefaultGraphSetup();
    bool setupChanged = false;
    TGraphPage page(model, setup, setupChanged);
    TChartView& chart = *page.Chart;
    QCustomPlot* ours = chart.Chart1;
    page.show();
    for (int i = 0; i < 3; ++i) { // the layout settles the chart's share
        page.resize(page.size() + size - ours->size());
        QCoreApplication::processEvents();
    }
    std::printf("3 files of %d samples, %.1f MB each; chart %dx%d\n", kSamples, QFileInfo(files[0]).size() / 1e6,
                ours->width(), ours->height());
    TOpenFlights open;
    open.SetCurveModel(&model);

    // Opening into the graph: read, curves and what they need for drawing
    // and measuring, first replot; then the first measurement table. Each
    // open is paired with a read beside it, every other one before it: the
    // speed of a machine that drifts is the same for both.
    std::vector<double> opens, opensCpu, tables;
    auto openOnce = [&] {
        QElapsedTimer t;
        t.start();
        const double c0 = CpuMs();
        open.OpenDataFile(files[0]);
        ours->replot(QCustomPlot::rpImmediateRefresh);
        opensCpu.push_back(CpuMs() - c0);
        opens.push_back(Ms(t));
    };
    for (int i = 0; i < 15; ++i) {
        if (i % 2 == 0)
            readOnce();
        openOnce();
        if (i % 2 == 1)
            readOnce();
        page.SetOpenFiles(open.CurveHandles());
        page.SetActualFile(open.CurvesOf(0));
        const QCPRange r = ours->xAxis->range();
        QElapsedTimer t;
        t.start();
        page.Measurement->SetCursor(0, r.lower + r.size() * 0.1);
        page.Measurement->SetCursor(1, r.lower + r.size() * 0.9);
        tables.push_back(Ms(t));
        page.Measurement->SetCursor(0, std::nullopt);
        page.Measurement->SetCursor(1, std::nullopt);
        open.GridCloseAll(true);
    }
    std::vector<double> pairs, pairsCpu;
    for (std::size_t i = 0; i < opens.size(); ++i) {
        pairs.push_back(opens[i] / reads[i]);
        pairsCpu.push_back(opensCpu[i] / readsCpu[i]);
    }
    const double ratio = Of(pairs).median;
    std::printf("open into graph against read alone, median of %zu pairs: ratio %.2f (goal <= 1.10) %s\n",
                pairs.size(), ratio, ratio <= 1.1 ? "OK" : "MISSED");
    std::printf("  processor time, median of the pairs: ratio %.2f\n", Of(pairsCpu).median);
    std::printf("  medians: open %.1f ms, read %.1f ms (processor %.1f, %.1f ms)\n", Of(opens).median,
                Of(reads).median, Of(opensCpu).median, Of(readsCpu).median);
    // What an open file holds: its record, curves, pyramids, running sums
    // and the drawn points, against the bytes of its sample arrays.
    {
        malloc_trim(0);
        const double before = HeapBytes();
        open.OpenDataFile(files[0]);
        ours->replot(QCustomPlot::rpImmediateRefresh);
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
    std::printf("first measurement table after opening %.2f ms (goal <= 16.7) %s\n", Of(tables).median,
                Of(tables).median <= 16.7 ? "OK" : "MISSED");

    for (const QString& f : files)
        open.OpenDataFile(f);
    for (int row = 0; row < 3; ++row)
        for (int col = 2; col <= 5; ++col)
            open.GridCheck(col, row, true);
    page.SetOpenFiles(open.CurveHandles());
    page.SetActualFile(open.CurvesOf(0));
    if (qEnvironmentVariableIsSet("QV_SOLID")) { // what the patterned pens cost
        setup.RXLStyle = setup.PowerSupLStyle = 0;
        page.ChangeGraphSettings();
    }
    QCoreApplication::processEvents();
    int points = 0;
    for (int row = 0; row < 3; ++row)
        points += model.Curve(open.CurvesOf(row), SlotMark)->Count();
    std::printf("markers in the three files: %d\n", points);

    if (qEnvironmentVariableIsSet("QV_HIDE")) { // what the rest costs: QV_HIDE=lines, marks or both
        const QByteArray what = qgetenv("QV_HIDE");
        for (int row = 0; row < 3; ++row)
            for (int k = 0; k < kSlotCount; ++k)
                if ((what.contains("lines") && !CurveSlot(k).Points) || (what.contains("marks") && CurveSlot(k).Points))
                    open.GridCheck(CurveSlot(k).GridColumn, row, false);
    }
    if (qEnvironmentVariableIsSet("QV_PROFILE")) { // for a profiler: replots of ours alone (QV_PROFILE=count)
        const int count = std::max(6, qEnvironmentVariableIntValue("QV_PROFILE"));
        QElapsedTimer pt;
        double refresh = 0, total = 0, t0 = 0, cpu = 0, layout = 0, painted = 0;
        QObject::connect(ours, &QCustomPlot::beforeReplot, [&] { refresh += Ms(pt) - t0; });
        QObject::connect(ours, &QCustomPlot::afterLayout, [&] { layout += Ms(pt); });
        TEventClock paints(ours); // when the repaint begins
        ours->installEventFilter(&paints);
        // QV_VIEW=fraction: a view of that part of the time axis, panned
        // across the flight in 200 steps (QV_AT=step: held at that step);
        // otherwise the full view.
        const QCPRange whole = ours->xAxis->range();
        const double fraction = qEnvironmentVariableIsSet("QV_VIEW") ? qEnvironmentVariable("QV_VIEW").toDouble() : 0;
        // QV_COLD=ms: that long asleep before each replot.
        const int cold = qEnvironmentVariableIntValue("QV_COLD");
        for (int i = 0; i < count; ++i) {
            if (fraction > 0) {
                const int at = qEnvironmentVariableIsSet("QV_AT") ? qEnvironmentVariableIntValue("QV_AT") : i % 200;
                const double w = whole.size() * fraction, lo = whole.lower + (whole.size() - w) * at / 199.0 + (i % 2) * 1e-6;
                ours->xAxis->setRange(lo, lo + w);
            } else {
                ours->xAxis->setRange(ours->xAxis->range().lower - 1e-6, ours->xAxis->range().upper);
            }
            if (cold > 0) // the program idle before each replot, as between a hand's steps
                std::this_thread::sleep_for(std::chrono::milliseconds(cold));
            pt.start();
            t0 = 0;
            const double c0 = CpuMs();
            ours->replot(QCustomPlot::rpImmediateRefresh);
            cpu += CpuMs() - c0;
            total += Ms(pt);
            if (cold > 0) // every replot: wall and processor ms
                std::fprintf(stderr, "%.1f/%.1f ", Ms(pt), CpuMs() - c0);
            painted += paints.LastPaintStart - (paints.Now() - Ms(pt));
        }
        std::printf("replot %.2f ms (processor %.2f ms), of it reduction %.2f ms; layout done at %.2f ms, "
                    "drawing done at %.2f ms\n",
                    total / count, cpu / count, refresh / count, layout / count, painted / count);
        if (qEnvironmentVariableIsSet("QV_SHOT"))
            ours->grab().save(qEnvironmentVariable("QV_SHOT"));
        return 0;
    }
    QCustomPlot plain;
    plain.resize(ours->size());
    plain.show();
    FillPlain(plain, model, chart);
    QCoreApplication::processEvents();

    QCPAxis* x = ours->xAxis;
    const QCPRange full = x->range();
    const double w1 = full.size() * 0.01, w10 = full.size() * 0.1, mid = full.center();
    struct Case {
        const char* name;
        int count;
        double medianGoal, worstGoal, ratioGoal;
        std::function<QCPRange(int)> view;
    };
    auto pan = [&](double w) {
        return [&full, w](int i) {
            const double lo = full.lower + (full.size() - w) * i / 199.0;
            return QCPRange(lo, lo + w);
        };
    };
    const std::vector<Case> cases = {
        {"full view", 41, 5, 8, 8,
         [&](int i) { return QCPRange(full.lower - (i % 2) * 1e-6, full.upper); }},
        {"zoomed to 1 % of the time axis", 41, 4, 8, 0,
         [&](int i) { return QCPRange(mid + (i % 2) * 1e-6, mid + w1 + (i % 2) * 1e-6); }},
        {"pan of 200 steps across the flight (1 % view)", 200, 4, 8, 0, pan(w1)},
        {"pan of 200 steps across the flight (10 % view)", 200, 4, 8, 0, pan(w10)},
    };
    ours->replot(QCustomPlot::rpImmediateRefresh); // warm
    plain.replot(QCustomPlot::rpImmediateRefresh);
    // The control takes about as long as one of our replots.
    constexpr double kControlMs = 3.5;
    TControl control(kControlMs);
    std::unique_ptr<TLoad> load;
    if (qEnvironmentVariableIsSet("QV_LOAD")) {
        const QList<QByteArray> ms = qgetenv("QV_LOAD").split('/');
        load = std::make_unique<TLoad>(ms.value(0).toDouble(), ms.value(1).toDouble());
        std::printf("load: a thread busy %s ms in every %s ms on the last processor\n", ms.value(0).constData(),
                    ms.value(1).constData());
    }
    for (const Case& c : cases) {
        const Timing t = Time(ours, c.count, [&](int i) { x->setRange(c.view(i)); });
        const Timing p = Time(&plain, c.count, [&](int i) { plain.xAxis->setRange(c.view(i)); });
        const double ratio = p.wall.median / t.wall.median;
        const double cpuRatio = p.cpu.median / t.cpu.median;
        const bool ok = t.wall.median <= c.medianGoal && t.wall.worst <= c.worstGoal && ratio >= c.ratioGoal;
        std::printf("%-48s ours median %6.2f worst %6.2f ms, plain median %6.2f ms, ratio %5.1f (goal %g / %g ms%s) %s\n"
                    "%-48s processor: ours median %6.2f worst %6.2f ms, plain median %6.2f ms, ratio %5.1f\n",
                    c.name, t.wall.median, t.wall.worst, p.wall.median, ratio, c.medianGoal, c.worstGoal,
                    c.ratioGoal > 0 ? QByteArray(", ratio >= " + QByteArray::number(c.ratioGoal)).constData() : "",
                    ok ? "OK" : "MISSED", "", t.cpu.median, t.cpu.worst, p.cpu.median, cpuRatio);
        // The control as many times, right after (run between the replots,
        // it slowed them down).
        control.Calibrate();
        std::vector<double> k;
        for (int i = 0; i < c.count; ++i)
            k.push_back(control.Run());
        const Stats ks = Of(k);
        const auto over = std::count_if(k.begin(), k.end(), [&](double ms) { return ms > c.worstGoal; });
        std::printf("%-48s machine control (fixed %.1f ms of arithmetic on two threads, as many runs right after): "
                    "median %6.2f worst %6.2f ms, %d of %d over %g ms\n",
                    "", kControlMs, ks.median, ks.worst, static_cast<int>(over), c.count, c.worstGoal);
    }

    // Real events: a fast wheel spin (50 steps in, 50 out) over the plot's
    // centre, then 200 mouse moves of a space-bar pan.
    TEventClock clock(ours);
    qApp->installEventFilter(&clock);
    x->setRange(mid - w10, mid + w10);
    ours->replot(QCustomPlot::rpImmediateRefresh);
    const QPoint centre = ours->axisRect()->rect().center();
    const QPointF global = ours->mapToGlobal(QPointF(centre));
    auto wheelSteps = [&] { // 50 steps in, 50 out
        std::vector<std::pair<QObject*, QEvent*>> wheel;
        for (int i = 0; i < 100; ++i)
            wheel.push_back({ours, new QWheelEvent(QPointF(centre), global, QPoint(), QPoint(0, i < 50 ? 120 : -120),
                                                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false)});
        return wheel;
    };
    Replay("100 wheel steps", clock, QEvent::Wheel, wheelSteps(), 100, ours);
    // The same steps at a hand's pace, from the full view in and out again:
    // between them the threads fall asleep and the processors idle.
    x->setRange(full);
    ours->replot(QCustomPlot::rpImmediateRefresh);
    Paced("100 wheel steps 20 ms apart", clock, QEvent::Wheel, wheelSteps(), 20);

    std::vector<std::pair<QObject*, QEvent*>> drag;
    drag.push_back({ours, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "))});
    drag.push_back({ours, new QMouseEvent(QEvent::MouseButtonPress, QPointF(centre), global, Qt::LeftButton,
                                          Qt::LeftButton, Qt::NoModifier)});
    for (int i = 1; i <= 200; ++i) {
        const QPointF p(centre.x() + (i <= 100 ? i : 200 - i) * 3, centre.y());
        drag.push_back({ours, new QMouseEvent(QEvent::MouseMove, p, ours->mapToGlobal(p), Qt::NoButton,
                                              Qt::LeftButton, Qt::NoModifier)});
    }
    drag.push_back({ours, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(centre), global, Qt::LeftButton,
                                          Qt::NoButton, Qt::NoModifier)});
    drag.push_back({ours, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "))});
    Replay("200 space-bar pan steps", clock, QEvent::MouseMove, drag, 200, ours);

    // Measuring: cursor B dragged 200 moves to the right; the table is made
    // again at every move.
    page.TBMeasure->click();
    const QCPRange v = x->range();
    page.Measurement->SetCursor(0, v.lower + v.size() * 0.2);
    page.Measurement->SetCursor(1, v.lower + v.size() * 0.4);
    ours->replot(QCustomPlot::rpImmediateRefresh);
    const QPointF b(std::round(x->coordToPixel(*page.Measurement->CursorB())), centre.y());
    std::vector<std::pair<QObject*, QEvent*>> cursor;
    cursor.push_back({ours, new QMouseEvent(QEvent::MouseButtonPress, b, ours->mapToGlobal(b), Qt::LeftButton,
                                            Qt::LeftButton, Qt::NoModifier)});
    QPointF last = b;
    for (int i = 1; i <= 200; ++i) {
        last = QPointF(b.x() + i * 2, b.y());
        cursor.push_back({ours, new QMouseEvent(QEvent::MouseMove, last, ours->mapToGlobal(last), Qt::NoButton,
                                                Qt::LeftButton, Qt::NoModifier)});
    }
    cursor.push_back({ours, new QMouseEvent(QEvent::MouseButtonRelease, last, ours->mapToGlobal(last), Qt::LeftButton,
                                            Qt::NoButton, Qt::NoModifier)});
    Replay("200 cursor drag steps (measuring)", clock, QEvent::MouseMove, cursor, 200, ours);
    const double at = x->pixelToCoord(last.x());
    const std::optional<double> tableB = page.Measurement->Table().Cells[1][0]; // B, its time
    const bool followed = tableB && std::abs(*tableB - at) <= v.size() * 1e-9;
    std::printf("%-44s table at B %.3f s, the last move's time %.3f s: %s\n", "", tableB.value_or(-1), at,
                followed ? "OK" : "MISSED");
    qApp->removeEventFilter(&clock);

    return 0;
}
