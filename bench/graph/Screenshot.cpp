// Pictures of the chart's output buttons and the picture save dialog (for
// looking at): run under a display, e.g. xvfb-run; writes
// PREFIX-toolbar.png and PREFIX-save-dialog.png.
#include "bench/browser/FlightMaker.h"
#include "base/MessageService.h"
#include "graph/GraphOutput.h"
#include "ui/QtMessageService.h"

#include <QApplication>
#include <QMainWindow>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <qcustomplot.h>

using namespace qv;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString prefix = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("graph-output");
    QtMessageService messages;
    SetMessageService(&messages);

    QMainWindow window;
    auto* chart = new QCustomPlot(&window);
    window.setCentralWidget(chart);
    auto* bar = window.addToolBar(QStringLiteral("Graph"));
    TGraphOutput output(*chart);
    output.CreateButtons(bar);
    for (QToolButton* b : {output.TBCopyGraph, output.TBSaveGraph, output.TBPrintGraph})
        bar->addWidget(b);
    chart->xAxis->setLabel(QStringLiteral("Time (sec)"));
    chart->yAxis->setLabel(QStringLiteral("Traction (N)"));
    const TDataBlock b = bench::MakeFlight(3000, 10, 0);
    QCPGraph* g = chart->addGraph();
    g->setData(QVector<double>(b.Samples(ArrTime).begin(), b.Samples(ArrTime).end()),
               QVector<double>(b.Samples(ArrAltitude).begin(), b.Samples(ArrAltitude).end()), true);
    g->setPen(QPen(Qt::blue));
    g->setName(QStringLiteral("flight1 (Alt)"));
    chart->legend->setVisible(true);
    chart->rescaleAxes();
    window.resize(900, 560);
    window.show();

    auto grabScreen = [](const QString& file) {
        QApplication::primaryScreen()->grabWindow(0).save(file);
    };
    QTimer::singleShot(700, [&] {
        grabScreen(prefix + QStringLiteral("-toolbar.png"));
        // While the dialog runs, take its picture and cancel it.
        QTimer::singleShot(900, [&] {
            grabScreen(prefix + QStringLiteral("-save-dialog.png"));
            if (QWidget* dialog = QApplication::activeModalWidget())
                dialog->close();
        });
        output.TBSaveGraph->click();
        QTimer::singleShot(200, &app, &QApplication::quit);
    });
    return app.exec();
}
