// Pictures of the graph page's measurement work, for looking at: two cursors
// with the filled table, three flights aligned at their releases, the
// annotation list and an annotation added from the chart's pop-up.
//   qv_measure_screenshots OUT_PREFIX    (writes OUT_PREFIX-cursors.png, ...)
#include "FlightMaker.h"
#include "ShotRun.h"
#include "annot/Annot.h"
#include "annot/AnnotEdit.h"
#include "app/Application.h"
#include "app/MainFrm.h"
#include "base/Assert.h"
#include "base/MessageService.h"
#include "data/DataFile.h"
#include "graph/GraphPage.h"
#include "graph/Measurement.h"
#include "graph/OffsetControls.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdio>
#include <functional>
#include <qcustomplot.h>

using namespace qv;
using bench::Pump;

namespace {

// Shows each program dialog without blocking, lets a step work it, then
// closes it with OK.
class ShotMessages : public ConsoleMessageService {
public:
    std::function<void(QDialog&)> Step;
    int ExecDialog(QDialog& d) override
    {
        d.show();
        Pump(200);
        auto step = Step;
        Step = nullptr;
        if (step)
            step(d);
        if (d.isVisible())
            d.accept();
        return d.result();
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: qv_measure_screenshots OUT_PREFIX\n");
        return 2;
    }
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    ShotMessages messages;
    SetMessageService(&messages);

    QTemporaryDir tmp;
    const QString root = QDir(tmp.path()).filePath(QStringLiteral("Data"));
    QDir().mkpath(root);
    for (int v = 0; v < 3; ++v) {
        TDataBlock b = bench::MakeFlight(900 + 250 * v, 10, v);
        WriteDataFile(root + QStringLiteral("/Blok%1.kdf").arg(v + 1), b, Messages());
    }
    const QString ini = QDir(tmp.path()).filePath(QStringLiteral("quorvel.ini"));
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write("[Options]\r\nRoot=" + root.toUtf8() + "\r\nShowTable=1\r\nTBShowLegend=1\r\n");
    f.close();

    bench::StartForms(ParseStartOptions({QStringLiteral("quorvel"), QStringLiteral("--ini"), ini}));
    bench::Main()->resize(1280, 860);
    bench::Main()->show();
    Pump(300);
    auto* tree = bench::Main()->findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
    for (const char* name : {"Blok1", "Blok2", "Blok3"}) {
        const auto items = tree->findItems(QLatin1String(name), Qt::MatchExactly | Qt::MatchRecursive);
        if (!items.isEmpty())
            emit tree->itemDoubleClicked(items.first(), 0);
    }
    // Annotations shown for every file.
    if (auto* grid = bench::Main()->findChild<QTableView*>(QStringLiteral("StringGrid1")))
        for (int row = 0; row < 3; ++row)
            emit grid->clicked(grid->model()->index(row, 5));
    bench::Main()->PageControl1->setCurrentIndex(1);
    TGraphPage* page = bench::Main()->GraphPage;
    QCustomPlot* chart = page->Chart->Chart1;
    Pump(300);
    bool ok = true;

    // Two cursors on the first flight, pointer between them.
    page->TBMeasure->click();
    page->Measurement->SetCursor(0, 20.0);
    page->Measurement->SetCursor(1, 45.0);
    const QPointF over(chart->xAxis->coordToPixel(33.0), chart->axisRect()->rect().center().y());
    QMouseEvent move(QEvent::MouseMove, over, chart->mapToGlobal(over), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(chart, &move);
    Pump(300);
    ok &= bench::SaveShot(bench::Main(), prefix + QStringLiteral("-cursors.png"));
    page->TBMeasure->click();

    // The three flights lined up at their releases.
    page->OffsetControls->mnuAlignRelease->trigger();
    Pump(300);
    ok &= bench::SaveShot(bench::Main(), prefix + QStringLiteral("-aligned.png"));

    // The annotation list of the current file.
    messages.Step = [&](QDialog& d) {
        static_cast<TFormAnnot&>(d).ListBox1->setCurrentRow(1);
        Pump(100);
        ok &= bench::SaveShot(&d, prefix + QStringLiteral("-annot-list.png"));
    };
    bench::Main()->TBAnnotDialog->click();

    // "New Annotation" at a point right-clicked on the chart.
    const QPoint at(static_cast<int>(chart->xAxis->coordToPixel(-15.0)),
                    static_cast<int>(chart->yAxis->coordToPixel(112.0)));
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, chart->mapToGlobal(at));
    QApplication::sendEvent(chart, &menu);
    Pump(200);
    page->Chart->PopupChart->hide();
    messages.Step = [&](QDialog& d) {
        static_cast<TFormAnnotEdit&>(d).EditText->setText(QStringLiteral("thermal here"));
        Pump(100);
        ok &= bench::SaveShot(&d, prefix + QStringLiteral("-annot-edit.png"));
    };
    page->Measurement->pmnuAnnotNew->trigger();
    Pump(300);
    ok &= bench::SaveShot(bench::Main(), prefix + QStringLiteral("-annot-new.png"));

    messages.SetAnswer(Answer::No);
    bench::Main()->close();
    SetApplicationTerminating(true);
    bench::StopForms();
    SetMessageService(nullptr);
    return ok ? 0 : 1;
}
