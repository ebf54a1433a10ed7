// Pictures of the graph page at a given window size, for looking at: flights
// moved in time as one (aligned at their releases, then every altitude to
// (0,0)), the vertical scroll bar keeping traction, servo and voltage on
// screen, and the measurement table with min:sec.
//   qv_walk_screenshots OUT_PREFIX WIDTH HEIGHT
//   (writes OUT_PREFIX-offsets.png, -vscroll.png, -table.png)
#include "FlightMaker.h"
#include "ShotRun.h"
#include "data/DataFile.h"
#include "graph/GraphPage.h"
#include "graph/Measurement.h"
#include "graph/OffsetControls.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdio>
#include <qcustomplot.h>

using namespace qv;
using bench::Pump;

namespace {

// A flight with traction 0..400 N, servo -100..100 % and voltage 7..8.5 V.
TDataBlock WideFlight(int variant)
{
    TDataBlock b = bench::MakeFlight(1500, 10, variant);
    std::vector<double> alt = b.Samples(ArrAltitude), rx = b.Samples(ArrRx), volt = b.Samples(ArrVoltage);
    for (double& v : alt)
        v = std::max(0.0, v * 400.0 / 190.0);
    for (double& v : rx)
        v = std::clamp(v * 1.25, -100.0, 100.0);
    for (double& v : volt)
        v = 7.0 + (v - 7.0) * 1.5;
    b.SetSamples(ArrAltitude, std::move(alt));
    b.SetSamples(ArrRx, std::move(rx));
    b.SetSamples(ArrVoltage, std::move(volt));
    return b;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: qv_walk_screenshots OUT_PREFIX WIDTH HEIGHT\n");
        return 2;
    }
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    const int width = std::atoi(argv[2]), height = std::atoi(argv[3]);

    QTemporaryDir tmp;
    const QString root = QDir(tmp.path()).filePath(QStringLiteral("Data"));
    QDir().mkpath(root);
    ConsoleMessageService console{Answer::No};
    for (int v = 0; v < 3; ++v)
        WriteDataFile(root + QStringLiteral("/Blok%1.kdf").arg(v + 1), WideFlight(v), console);
    const QString ini = QDir(tmp.path()).filePath(QStringLiteral("quorvel.ini"));
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write("[Options]\r\nRoot=" + root.toUtf8() + "\r\nShowTable=1\r\nTBShowLegend=1\r\n");
    f.close();

    bool ok = true;
    {
        bench::TShotRun run(ini);
        TFormMain* main = bench::Main();
        main->resize(width, height);
        main->show();
        Pump(300);
        auto* tree = main->findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
        for (const char* name : {"Blok1", "Blok2", "Blok3"}) {
            const auto items = tree->findItems(QLatin1String(name), Qt::MatchExactly | Qt::MatchRecursive);
            if (!items.isEmpty())
                emit tree->itemDoubleClicked(items.first(), 0);
        }
        // Servo and voltage shown for every file.
        if (auto* grid = main->findChild<QTableView*>(QStringLiteral("StringGrid1")))
            for (int row = 0; row < 3; ++row)
                for (int column : {2, 3})
                    emit grid->clicked(grid->model()->index(row, column));
        main->PageControl1->setCurrentWidget(main->TabGraph);
        TGraphPage* page = main->GraphPage;
        Pump(300);

        // Aligned at the releases, then every altitude to (0,0) at cursor A:
        // servo and voltage stay with their traction.
        page->OffsetControls->mnuAlignRelease->trigger();
        page->TBMeasure->click();
        page->Measurement->SetCursor(0, -5.0);
        page->OffsetControls->mnuAllAltToZero->trigger();
        page->TBMeasure->click();
        Pump(300);
        ok &= bench::SaveShot(main, prefix + QStringLiteral("-offsets.png"));
        page->OffsetControls->mnuResetShift->trigger();
        for (int row = 0; row < 3; ++row) {
            main->OpenFlights.GridChangeActualFile(row);
            page->OffsetControls->mnuResetShift->trigger();
        }

        // Manual value axes narrower than the data, scrolled a third down.
        TGraphSetupRec& gs = main->GraphSetup;
        gs.AltitudeAuto = gs.RXAuto = gs.PowerSupAuto = false;
        gs.AltitudeMin = 0;
        gs.AltitudeMax = 150;
        gs.RXMin = -40;
        gs.RXMax = 40;
        gs.PowerSupMin = 7.2;
        gs.PowerSupMax = 7.8;
        page->ChangeGraphSettings();
        page->UpdateScrollBars();
        page->Chart->ScrollBar2->setValue(35);
        Pump(300);
        ok &= bench::SaveShot(main, prefix + QStringLiteral("-vscroll.png"));
        main->GraphSetup = DefaultGraphSetup();
        page->ChangeGraphSettings();

        // The table of the second flight with min:sec.
        main->OpenFlights.GridChangeActualFile(1);
        page->TBMeasure->click();
        page->Measurement->SetCursor(0, 20.0);
        page->Measurement->SetCursor(1, 95.0);
        page->Chart->CheckBox_min_sec->setChecked(true);
        Pump(300);
        ok &= bench::SaveShot(main, prefix + QStringLiteral("-table.png"));
        for (int row = 0; row < 3; ++row)
            main->OpenFlights.Block(row)->Modified = false;
    }
    return ok ? 0 : 1;
}
