// Pictures of the graph page for looking at: five flights with the legend,
// a zoomed chart with both scroll bars, min:sec labels, and the graph setup
// dialog, at two window sizes: qv_graph_shots OUTDIR
#include "FlightMaker.h"
#include "ShotRun.h"
#include "app/Application.h"
#include "app/MainFrm.h"
#include "base/Assert.h"
#include "base/MessageService.h"
#include "data/DataFile.h"
#include "graph/GraphPage.h"
#include "graph/GraphSetupfrm.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdio>
#include <qcustomplot.h>

using namespace qv;
using qv::bench::Pump;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: qv_graph_shots OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    ConsoleMessageService console(Answer::No);
    SetMessageService(&console);
    QTemporaryDir tmp;
    const QString root = QDir(tmp.path()).filePath(QStringLiteral("Data"));
    QDir().mkpath(root);
    for (int v = 0; v < 5; ++v) {
        TDataBlock b = bench::MakeFlight(1200, 10, v);
        WriteDataFile(root + QStringLiteral("/Blok%1.kdf").arg(v + 1), b, Messages());
    }
    const QString ini = QDir(tmp.path()).filePath(QStringLiteral("quorvel.ini"));
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write("[Options]\r\nRoot=" + root.toUtf8() + "\r\nShowTable=0\r\n");
    f.close();
    bench::StartForms(ParseStartOptions({QStringLiteral("quorvel"), QStringLiteral("--ini"), ini}));
    bench::Main()->show();
    Pump(300);
    auto* tree = bench::Main()->findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
    tree->expandAll();
    for (int v = 1; v <= 5; ++v) {
        const auto items = tree->findItems(QStringLiteral("Blok%1").arg(v), Qt::MatchExactly | Qt::MatchRecursive);
        if (!items.isEmpty())
            emit tree->itemDoubleClicked(items.first(), 0);
    }
    if (auto* grid = bench::Main()->findChild<QTableView*>(QStringLiteral("StringGrid1"))) {
        emit grid->clicked(grid->model()->index(0, 2));
        emit grid->clicked(grid->model()->index(0, 3));
        emit grid->clicked(grid->model()->index(1, 5));
    }
    bench::Main()->PageControl1->setCurrentIndex(1);
    TGraphPage* page = bench::Main()->GraphPage;
    page->TBShowLegend->click();
    bool ok = true;
    for (QSize size : {QSize(1600, 1000), QSize(1024, 700)}) {
        const QString tag = QString::number(size.width());
        bench::Main()->resize(size);
        page->TBUndoZoomClick();
        page->Chart->CheckBox_min_sec->setChecked(false);
        Pump(300);
        ok &= bench::SaveShot(bench::Main(), out + QStringLiteral("/graph-legend-five-%1.png").arg(tag));
        page->TBZoomOutClick();
        page->TBZoomOutClick();
        page->Chart->ScrollBar1->setValue(30);
        Pump(300);
        ok &= bench::SaveShot(bench::Main(), out + QStringLiteral("/graph-zoomed-%1.png").arg(tag));
        page->Chart->CheckBox_min_sec->setChecked(true);
        Pump(300);
        ok &= bench::SaveShot(bench::Main(), out + QStringLiteral("/graph-minsec-%1.png").arg(tag));
    }
    bench::Main()->FormGraphSetup->show();
    Pump(300);
    ok &= bench::SaveShot(bench::Main()->FormGraphSetup, out + QStringLiteral("/graph-setup-dialog.png"));
    bench::Main()->FormGraphSetup->hide();

    bench::Main()->close();
    SetApplicationTerminating(true);
    bench::StopForms();
    SetMessageService(nullptr);
    return ok ? 0 : 1;
}
