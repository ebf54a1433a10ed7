// Pictures of the "Logbook" page with 200 generated flights in a few
// folders, at 1600x1000 and at 1024x700:
// qv_logbook_screenshot OUT_PREFIX [FOLDER] writes OUT_PREFIX_1600.png,
// OUT_PREFIX_1024.png and OUT_PREFIX_1024_right.png (scrolled to the right).
#include "../browser/FlightMaker.h"
#include "../browser/ShotRun.h"
#include "data/DataFile.h"
#include "logbook/Logbook.h"
#include "logbook/LogbookPage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

using namespace qv;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: qv_logbook_screenshot OUT_PREFIX [FOLDER]\n");
        return 2;
    }
    QTemporaryDir tmp;
    const QString base = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    qputenv("QUORVEL_LOGBOOK_DIR", (base + QStringLiteral("/index")).toLocal8Bit());
    const QString root = base + QStringLiteral("/Data");
    const char* folders[] = {"2026 Season", "2026 Season/Winter camp", "archive", ""};
    const char* notes[] = {"Calm morning, good tow", "Weak link broke at the top", "Gusty, short tow",
                           "New line, 150 m", ""};
    for (int i = 0; i < 200; ++i) {
        TDataBlock b = bench::MakeFlight(1500 + 37 * (i % 40), 10, i % 7);
        b.Date = QStringLiteral("%1.%2.2026 %3:%4:00")
                     .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                     .arg(1 + (i / 28) % 12, 2, 10, QLatin1Char('0'))
                     .arg(8 + i % 10, 2, 10, QLatin1Char('0'))
                     .arg((i * 7) % 60, 2, 10, QLatin1Char('0'))
                     .toStdString();
        b.NotesStream() = notes[i % 5];
        const QString folder = root + QLatin1Char('/') + QLatin1String(folders[i % 4]);
        QDir().mkpath(folder);
        WriteDataFile(folder + QStringLiteral("/Blok%1.kdf").arg(i + 1, 3, 10, QLatin1Char('0')), b, Messages());
    }
    QFile broken(root + QStringLiteral("/archive/damaged.kdf"));
    broken.open(QIODevice::WriteOnly);
    broken.write("<Header>\r\n01.01.2026\r\n10\r\n");
    broken.close();
    const QString ini = base + QStringLiteral("/quorvel.ini");
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write("[Options]\r\nRoot=" + root.toUtf8() + "\r\n");
    f.close();

    bool ok = true;
    {
        bench::TShotRun run(ini);
        bench::Main()->show();
        bench::Pump(300);
        bench::Main()->Logbook->WaitIdle(120000);
        bench::Main()->PageControl1->setCurrentWidget(bench::Main()->TabLogbook);
        bench::Main()->LogbookPage->FitColumns();
        const QString prefix = QString::fromLocal8Bit(argv[1]);
        for (const QSize size : {QSize(1600, 1000), QSize(1024, 700)}) {
            bench::Main()->resize(size);
            bench::Pump(400);
            ok = bench::SaveShot(bench::Main(), prefix + QStringLiteral("_%1.png").arg(size.width())) && ok;
        }
        // The columns the narrow window shows after scrolling to the right.
        QScrollBar* bar = bench::Main()->LogbookPage->TableLogbook->horizontalScrollBar();
        bar->setValue(bar->maximum());
        bench::Pump(200);
        ok = bench::SaveShot(bench::Main(), prefix + QStringLiteral("_1024_right.png")) && ok;
    }
    return ok ? 0 : 1;
}
