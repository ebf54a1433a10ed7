// Writes three flights into a data folder, starts the main window on it,
// opens the flights from the tree, shows the graph page and saves a picture
// of the window: qv_browser_screenshot OUT.png [FOLDER]
#include "FlightMaker.h"
#include "ShotRun.h"
#include "app/Application.h"
#include "base/Assert.h"
#include "app/MainFrm.h"
#include "data/DataFile.h"
#include "base/MessageService.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>

using namespace qv;
using qv::bench::Pump;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: qv_browser_screenshot OUT.png [FOLDER]\n");
        return 2;
    }
    ConsoleMessageService console(Answer::No);
    SetMessageService(&console);

    QTemporaryDir tmp;
    const QString base = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    const QString root = QDir(base).filePath(QStringLiteral("Data"));
    QDir().mkpath(root + QStringLiteral("/2026 Season/Winter"));
    QDir().mkpath(root + QStringLiteral("/archive"));
    const char* names[] = {"Blok1.kdf", "Blok2.kdf", "Blok3.kdf"};
    for (int v = 0; v < 3; ++v) {
        const int samples = qEnvironmentVariableIntValue("QV_SHOT_SAMPLES");
        TDataBlock b = bench::MakeFlight(samples > 0 ? samples : 900, samples > 0 ? 1 : 10, v);
        WriteDataFile(root + QStringLiteral("/2026 Season/") + QLatin1String(names[v]), b, Messages());
    }
    for (const char* extra : {"/2026 Season/Winter/Blok7.kdf", "/archive/old flight.kdf", "/Test.kdf"}) {
        TDataBlock b = bench::MakeFlight(300, 10, 0);
        WriteDataFile(root + QLatin1String(extra), b, Messages());
    }
    const QString ini = QDir(base).filePath(QStringLiteral("quorvel.ini"));
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write("[Options]\r\nRoot=" + root.toUtf8() + "\r\nShowTable=0\r\nTBShowLegend=1\r\n");
    f.close();

    TStartOptions options = ParseStartOptions({QStringLiteral("quorvel"), QStringLiteral("--ini"), ini});
    bench::StartForms(options);
    // QV_SHOT_DEFAULT_SIZE: the window keeps the size the program gives it,
    // and the whole screen is saved as well (OUT_screen.png).
    const bool defaultSize = qEnvironmentVariableIsSet("QV_SHOT_DEFAULT_SIZE");
    if (!defaultSize)
        bench::Main()->resize(1280, 800);
    bench::Main()->show();
    Pump(300);

    auto* tree = bench::Main()->findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
    if (!tree)
        return 1;
    tree->expandAll();
    for (const char* name : {"Blok1", "Blok2", "Blok3"}) {
        const auto items = tree->findItems(QLatin1String(name), Qt::MatchExactly | Qt::MatchRecursive);
        if (!items.isEmpty()) {
            tree->setCurrentItem(items.first());
            emit tree->itemDoubleClicked(items.first(), 0);
        }
    }
    // The first file's servo and voltage too.
    if (auto* grid = bench::Main()->findChild<QTableView*>(QStringLiteral("StringGrid1"))) {
        emit grid->clicked(grid->model()->index(0, 2));
        emit grid->clicked(grid->model()->index(0, 3));
        emit grid->clicked(grid->model()->index(0, 5));
        if (qEnvironmentVariableIsSet("QV_SHOT_MARKERS"))
            emit grid->clicked(grid->model()->index(1, 4));
    }
    bench::Main()->PageControl1->setCurrentIndex(1);
    Pump(500);
    const bool ok = bench::Main()->grab().save(QString::fromLocal8Bit(argv[1]));
    if (defaultSize) {
        QString screen = QString::fromLocal8Bit(argv[1]);
        screen.insert(screen.lastIndexOf(QLatin1Char('.')), QStringLiteral("_screen"));
        QGuiApplication::primaryScreen()->grabWindow(0).save(screen);
    }
    std::printf("%s %s\n", ok ? "saved" : "could not save", argv[1]);
    // The flight information page of the current file beside it.
    bench::Main()->PageControl1->setCurrentIndex(0);
    Pump(200);
    QString info = QString::fromLocal8Bit(argv[1]);
    info.insert(info.lastIndexOf(QLatin1Char('.')), QStringLiteral("_info"));
    bench::Main()->grab().save(info);

    bench::Main()->close();
    SetApplicationTerminating(true);
    bench::StopForms();
    SetMessageService(nullptr);
    return ok ? 0 : 1;
}
