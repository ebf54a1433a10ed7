// Time and size of saving one chart of three 1,500,000-sample flights (a
// traction, a servo and a voltage curve each, plus markers and the legend)
// as PNG, SVG, PDF, EMF, WMF and BMP, 1200 x 700 pixels. Median of three
// saves (offscreen).
#include "bench/browser/FlightMaker.h"
#include "graph/GraphOutput.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <qcustomplot.h>
#include <vector>

using namespace qv;

namespace {

constexpr int kSamples = 1500000;
constexpr QSize kChartSize(1200, 700);

void AddCurve(QCustomPlot& plot, QCPAxis* axis, const std::vector<double>& t, const std::vector<double>& v,
              const QPen& pen, const QString& name)
{
    QVector<QCPGraphData> points(static_cast<int>(t.size()));
    for (std::size_t i = 0; i < t.size(); ++i)
        points[static_cast<int>(i)] = QCPGraphData(t[i], v[i]);
    QCPGraph* g = plot.addGraph(plot.xAxis, axis);
    g->data()->set(points, true);
    g->setPen(pen);
    g->setName(name);
}

void BuildChart(QCustomPlot& plot)
{
    plot.resize(kChartSize);
    plot.xAxis->setLabel(QStringLiteral("Time (sec)"));
    plot.yAxis->setLabel(QStringLiteral("Traction (N)"));
    plot.yAxis2->setVisible(true);
    plot.yAxis2->setLabel(QStringLiteral("Servo (%)"));
    QCPAxis* voltage = plot.axisRect()->addAxis(QCPAxis::atRight);
    voltage->setLabel(QStringLiteral("Voltage (V)"));
    const QColor colours[3] = {Qt::blue, Qt::red, QColor(0, 128, 0)};
    for (int f = 0; f < 3; ++f) {
        const TDataBlock b = bench::MakeFlight(kSamples, 1, f);
        auto d = [&b](int k) -> const std::vector<double>& { return b.Samples(k); };
        const QString name = QStringLiteral("flight%1").arg(f + 1);
        AddCurve(plot, plot.yAxis, d(ArrTime), d(ArrAltitude), QPen(colours[f], 1), name + QStringLiteral(" (Alt)"));
        AddCurve(plot, plot.yAxis2, d(ArrTime), d(ArrRx), QPen(colours[f], 1, Qt::DashLine), name + QStringLiteral(" (RX)"));
        AddCurve(plot, voltage, d(ArrTime), d(ArrVoltage), QPen(colours[f], 1, Qt::DotLine), name + QStringLiteral(" (PowS)"));
        QCPGraph* marks = plot.addGraph();
        marks->setName(name + QStringLiteral(" (Mark)"));
        marks->setLineStyle(QCPGraph::lsNone);
        marks->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssTriangle, colours[f], colours[f], 9));
        for (int i = 0; i < kSamples; i += kSamples / 40)
            marks->addData(d(ArrTime)[i], d(ArrAltitude)[i]);
        for (const TAnotace& a : b.Annotations) {
            auto* label = new QCPItemText(&plot);
            label->position->setCoords(a.Time, a.Altitude);
            label->setText(QString::fromStdString(a.Text));
        }
    }
    plot.legend->setVisible(true);
    plot.rescaleAxes();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCustomPlot plot;
    QElapsedTimer build;
    build.start();
    BuildChart(plot);
    std::printf("chart of 3 x %d samples built in %.0f ms\n", kSamples, build.nsecsElapsed() / 1e6);
    QTemporaryDir dir;
    bool allOk = true;
    for (const char* ending : {"png", "svg", "pdf", "emf", "wmf", "bmp"}) {
        const QString name = dir.filePath(QStringLiteral("graph.") + QLatin1String(ending));
        std::vector<double> ms;
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer t;
            t.start();
            QString error;
            if (!SaveChart(plot, name, &error, kChartSize)) {
                std::printf("%s: %s\n", ending, qPrintable(error));
                allOk = false;
            }
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        const double mb = QFileInfo(name).size() / 1e6;
        std::printf("%-4s %7.0f ms  %7.2f MB\n", ending, ms[1], mb);
    }
    return allOk ? 0 : 1;
}
