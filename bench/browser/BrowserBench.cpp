// Timings of the data browser in one run (offscreen):
//  - opening a 1,000,000-sample three-channel file into the graph (read,
//    series, first replot) against reading alone plus a bare QCustomPlot
//    replot of the same points;
//  - replot with three such files open;
//  - building the tree of 5,000 files in 200 folders;
//  - building the tree of seventeen folders each linking twice to the next.
#include "BenchApp.h"
#include "FlightMaker.h"
#include "browser/TreeView.h"
#include "data/DataFile.h"
#include "flights/OpenFlights.h"
#include "graph/Chart.h"
#include "base/MessageService.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <qcustomplot.h>
#include <vector>

using namespace qv;

namespace {

constexpr int kSamples = 1000000;
constexpr QSize kChartSize(1200, 700);

double Ms(QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Reading alone plus a bare chart with the same three curves.
double Baseline(const QString& path, double& readMs)
{
    QElapsedTimer t;
    t.start();
    TDataBlock b;
    b.NotesStream();
    ReadDataFile(path, b, Messages());
    readMs = Ms(t);

    QCustomPlot plot;
    plot.resize(kChartSize);
    plot.show();
    QCoreApplication::processEvents();
    t.restart();
    QCPAxis* axes[] = {plot.yAxis, plot.yAxis2, plot.axisRect()->addAxis(QCPAxis::atRight)};
    const int arrays[] = {ArrAltitude, ArrRx, ArrVoltage};
    for (int k = 0; k < 3; ++k) {
        QVector<double> keys(b.Samples(ArrTime).begin(), b.Samples(ArrTime).end());
        QVector<double> values(b.Samples(arrays[k]).begin(), b.Samples(arrays[k]).end());
        QCPGraph* g = plot.addGraph(plot.xAxis, axes[k]);
        g->setData(keys, values, true);
        g->setVisible(k == 0);
    }
    plot.rescaleAxes(true);
    plot.replot();
    return Ms(t);
}

} // namespace

int main(int argc, char** argv)
{
    bench::TBenchApp app(argc, argv);

    QTemporaryDir dir;
    const std::vector<QString> files = bench::WriteFlights(dir.path(), QStringLiteral("big"), kSamples, 2);
    if (files.empty())
        return 1;
    std::printf("file of %d samples: %.1f MB\n", kSamples, QFileInfo(files[0]).size() / 1e6);

    // Warm the page cache and the code paths once.
    double readMs = 0;
    Baseline(files[0], readMs);
    const double bareMs = Baseline(files[0], readMs);

    TOpenFlights open;
    TCurveModel model;
    TGraphSetupRec setup = DefaultGraphSetup();
    TChartView chart(model, setup);
    chart.resize(kChartSize);
    chart.show();
    QCoreApplication::processEvents();
    open.SetCurveModel(&model);

    QElapsedTimer t;
    t.start();
    open.OpenDataFile(files[0]);
    chart.Chart1->replot();
    const double openMs = Ms(t);
    const double ratio = openMs / (readMs + bareMs);
    std::printf("open into graph (read, series, first replot): %8.1f ms\n", openMs);
    std::printf("read alone %.1f ms + bare replot %.1f ms = %.1f ms; ratio %.2f (goal <= 1.30) %s\n", readMs, bareMs,
                readMs + bareMs, ratio, ratio <= 1.3 ? "OK" : "MISSED");

    open.OpenDataFile(files[1]);
    open.OpenDataFile(files[2]);
    auto replots = [&] {
        std::vector<double> v;
        for (int i = 0; i < 7; ++i) {
            t.restart();
            chart.Chart1->replot();
            v.push_back(Ms(t));
        }
        return Median(v);
    };
    const double three = replots();
    std::printf("replot, three files open (altitude shown):   %6.1f ms (goal < 50) %s\n", three,
                three < 50 ? "OK" : "MISSED");
    for (int row = 0; row < 3; ++row)
        for (int col = 2; col <= 3; ++col)
            open.GridCheck(col, row, true);
    const double threeAll = replots();
    std::printf("replot, three files, all three curves shown: %6.1f ms (goal < 50) %s\n", threeAll,
                threeAll < 50 ? "OK" : "MISSED");
    for (int row = 0; row < 3; ++row)
        for (int col = 4; col <= 5; ++col)
            open.GridCheck(col, row, true);
    std::printf("replot, three files, markers and annotations too: %6.1f ms\n", replots());
    chart.Chart1->xAxis->setRange(100, 110);
    std::printf("replot, three files, zoomed to 10 s: %6.1f ms\n", replots());
    open.GridCloseAll(true);

    // The tree of 5,000 files in 200 folders.
    QTemporaryDir treeDir;
    for (int f = 0; f < 200; ++f) {
        const QString folder = treeDir.filePath(QStringLiteral("Folder %1").arg(f, 3, 10, QLatin1Char('0')));
        QDir().mkpath(folder);
        for (int i = 0; i < 25; ++i) {
            QFile file(QDir(folder).filePath(QStringLiteral("Blok%1.kdf").arg(i)));
            file.open(QIODevice::WriteOnly);
        }
    }
    QTreeWidget widget;
    widget.resize(300, 700);
    widget.show();
    TTreeView view(&widget);
    view.Tree.DataRoot = treeDir.path();
    std::vector<double> builds;
    for (int i = 0; i < 3; ++i) {
        t.restart();
        view.BuildTree();
        QCoreApplication::processEvents();
        builds.push_back(Ms(t));
    }
    const double build = Median(builds);
    std::printf("build tree of %d nodes (tree, widget, watcher): %6.1f ms (goal < 300) %s\n", view.Tree.NodeCount(),
                build, build < 300 ? "OK" : "MISSED");
    t.restart();
    view.RefreshTree();
    std::printf("refresh of the same tree: %6.1f ms\n", Ms(t));

    // Links followed would make 2^17 folders of these 17.
    QTemporaryDir linkDir;
    for (int i = 1; i <= 17; ++i) {
        const QString name = QStringLiteral("d%1").arg(i, 2, 10, QLatin1Char('0'));
        QDir().mkpath(linkDir.filePath(name));
        for (const char* link : {"a", "b"})
            if (i < 17)
                QFile::link(linkDir.filePath(QStringLiteral("d%1").arg(i + 1, 2, 10, QLatin1Char('0'))),
                            linkDir.filePath(name + QLatin1Char('/') + QLatin1String(link)));
    }
    view.Tree.DataRoot = linkDir.path();
    t.restart();
    view.BuildTree();
    QCoreApplication::processEvents();
    const double linked = Ms(t);
    std::printf("build tree of 17 folders linking twice to the next (%d nodes): %6.1f ms (goal < 100) %s\n",
                view.Tree.NodeCount(), linked, linked < 100 ? "OK" : "MISSED");

    return 0;
}
