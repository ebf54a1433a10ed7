// Pictures of the tool bars' icons for looking at: the program started with
// two flights on its command line (they open on the graph page), then the
// graph page and the flight information page with the notes editor, and
// the Options dialog's port list. Run
// under a display, once as it is and once with QT_SCALE_FACTOR=2:
//   qv_icon_shots OUTDIR TAG   writes OUTDIR/icons-graph-TAG.png and
//                              OUTDIR/icons-notes-TAG.png, the tool bars
//                              alone and OUTDIR/options-ports-TAG.png
#include "FlightMaker.h"
#include "ShotRun.h"
#include "base/CheckedWrite.h"
#include "app/Options.h"
#include "browser/FlightInfo.h"
#include "data/DataFile.h"
#include "graph/GraphPage.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <cstdio>

using namespace qv;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: qv_icon_shots OUTDIR TAG\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString tag = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir tmp;
    QStringList files;
    for (int v = 0; v < 2; ++v) {
        files << QDir(tmp.path()).filePath(QStringLiteral("Blok%1.kdf").arg(v + 1));
        WriteDataFile(files.last(), bench::MakeFlight(1200, 10, v), Messages());
    }
    // The data folder is another one, empty: the flights open from outside it.
    const QString root = QDir(tmp.path()).filePath(QStringLiteral("Data"));
    QDir().mkpath(root);
    const QString ini = QDir(tmp.path()).filePath(QStringLiteral("quorvel.ini"));
    if (!WriteFileChecked(ini, "[Options]\r\nRoot=" + root.toUtf8() + "\r\n"))
        return 1;
    bool ok = true;
    {
        bench::TShotRun run(ini, files);
        // The first size of the window on a screen that has room for it.
        bench::Main()->resize(1280, 760);
        bench::Main()->show();
        for (int i = 0; i < 100 && bench::Main()->OpenRowCount() < files.size(); ++i)
            bench::Pump(50);
        bench::Pump(300);
        ok &= bench::Main()->OpenRowCount() == files.size();
        ok &= bench::SaveShot(bench::Main(), out + QStringLiteral("/icons-graph-%1.png").arg(tag));
        // The tool bars alone, at the screen's pixels, and whether they fit.
        for (QToolBar* bar : {bench::Main()->GraphPage->ToolBarGraph, bench::Main()->GraphPage->ToolBarMeasure,
                              bench::Main()->InfoPage->ToolBarNotes}) {
            std::printf("%s: needs %d, has %d pixels\n", qPrintable(bar->objectName()), bar->sizeHint().width(),
                        bar->width());
            ok &= bench::SaveShot(bar, out + QStringLiteral("/icons-%1-%2.png").arg(bar->objectName(), tag));
        }
        bench::Main()->PageControl1->setCurrentWidget(bench::Main()->TabInfo);
        bench::Pump(300);
        ok &= bench::SaveShot(bench::Main(), out + QStringLiteral("/icons-notes-%1.png").arg(tag));

        // The Options dialog's port list as a USB adapter shows in it.
        bench::Main()->FormOptions->SetPorts({{QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS0")},
                               {QStringLiteral("/dev/ttyUSB0"),
                                PortCaption(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART"),
                                            QStringLiteral("FTDI"))}});
        bench::Main()->FormOptions->Fill({tmp.path(), QStringLiteral("/dev/ttyUSB0"), QStringLiteral("Blok"), 0});
        bench::Main()->FormOptions->show();
        bench::Pump(200);
        bench::Main()->FormOptions->ComboBoxCOM->showPopup();
        bench::Pump(300);
        ok &= bench::SaveShot(bench::Main()->FormOptions->ComboBoxCOM->view()->window(),
                              out + QStringLiteral("/options-ports-%1.png").arg(tag));
        bench::Main()->FormOptions->ComboBoxCOM->hidePopup();
        bench::Main()->FormOptions->hide();
    }
    return ok ? 0 : 1;
}
