// Timings of the logbook in one run (offscreen), on generated flights:
//  - the first index of FLIGHTS flights of SAMPLES samples against reading
//    the same files with the reader alone on one thread;
//  - opening the page on an up-to-date index of UPTODATE flights;
//  - one changed file back in its row, seen by the file watcher.
// quorvel-bench-logbook [FLIGHTS [SAMPLES [UPTODATE [FOLDER]]]]
#include "../browser/BenchApp.h"
#include "../browser/FlightMaker.h"
#include "base/MessageService.h"
#include "data/DataFile.h"
#include "logbook/Logbook.h"
#include "logbook/LogbookPage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <string>
#include <sys/resource.h>

using namespace qv;

namespace {

double Ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

// Processor time of the whole process so far (all threads), ms.
double CpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// FLIGHTS files in folders of 100, from eight different flights.
qint64 MakeFolder(const QString& root, int flights, int samples)
{
    std::vector<std::string> bytes;
    for (int v = 0; v < 8; ++v)
        bytes.push_back(FormatDataFile(bench::MakeFlight(samples, 10, v)));
    qint64 total = 0;
    for (int i = 0; i < flights; ++i) {
        const QString folder = root + QStringLiteral("/season %1").arg(i / 100);
        QDir().mkpath(folder);
        QFile f(folder + QStringLiteral("/Blok%1.kdf").arg(i, 4, 10, QLatin1Char('0')));
        const std::string& b = bytes[static_cast<std::size_t>(i % 8)];
        if (!f.open(QIODevice::WriteOnly) || f.write(b.data(), static_cast<qint64>(b.size())) != qint64(b.size()))
            return -1;
        total += static_cast<qint64>(b.size());
    }
    return total;
}

// Wall time of a first index; cpu gets the processor time it took (on
// a machine shared with others, wall time times threads exceeds it).
double FirstIndex(const QString& root, const QString& index, int threads, double* cpu = nullptr)
{
    QFile::remove(index);
    TLogbook lb;
    lb.IndexPath = index;
    lb.Threads = threads;
    QElapsedTimer t;
    t.start();
    const double cpu0 = CpuMs();
    lb.SetRoot(root);
    lb.WaitIdle(3600 * 1000);
    if (cpu)
        *cpu = CpuMs() - cpu0;
    return Ms(t);
}

} // namespace

int main(int argc, char** argv)
{
    bench::TBenchApp app(argc, argv);
    const int flights = argc > 1 ? std::atoi(argv[1]) : 200;
    const int samples = argc > 2 ? std::atoi(argv[2]) : 60000;
    const int upToDate = argc > 3 ? std::atoi(argv[3]) : 5000;
    QTemporaryDir tmp;
    const QString base = argc > 4 ? QString::fromLocal8Bit(argv[4]) : tmp.path();
    const int cores = QThread::idealThreadCount();

    // 1. First index against the reader alone.
    const QString root = base + QStringLiteral("/Big");
    QElapsedTimer t;
    t.start();
    const qint64 bytes = MakeFolder(root, flights, samples);
    if (bytes < 0)
        return 1;
    std::printf("%d flights of %d samples, %.0f MB, written in %.0f ms; %d cores\n", flights, samples, bytes / 1e6,
                Ms(t), cores);
    std::vector<QString> files;
    for (const TFlightFile& f : WalkFlights(root, root).Files)
        files.push_back(root + QLatin1Char('/') + f.File);
    double readerMs = 0, readerCpu = 0;
    for (int pass = 0; pass < 2; ++pass) { // the first pass warms the page cache
        t.restart();
        readerCpu = CpuMs();
        for (const QString& f : files) {
            TDataBlock b;
            b.NotesStream();
            ReadDataFile(f, b, Messages());
        }
        readerMs = Ms(t);
        readerCpu = CpuMs() - readerCpu;
    }
    // The figures the same way, on this thread: what they add to reading.
    t.restart();
    double figuresCpu = CpuMs();
    for (const QString& f : files)
        ReadFlightFigures(f, f);
    const double figuresMs = Ms(t);
    figuresCpu = CpuMs() - figuresCpu;
    const QString index = base + QStringLiteral("/index.sqlite");
    double oneCpu = 0, allCpu = 0;
    const double one = FirstIndex(root, index, 1, &oneCpu);
    const double all = FirstIndex(root, index, cores, &allCpu);
    std::printf("reader alone, 1 thread: %.0f ms, processor %.0f ms (%.1f MB/s)\n", readerMs, readerCpu,
                bytes / 1e3 / readerMs);
    std::printf("figures alone, 1 thread: %.0f ms, processor %.0f ms (%.2f of the reader's speed)\n", figuresMs,
                figuresCpu, readerMs / figuresMs);
    std::printf("first index, 1 thread:  %.0f ms, processor %.0f ms (%.2f of the reader's speed)\n", one, oneCpu,
                readerMs / one);
    std::printf("first index, %d threads: %.0f ms, processor %.0f ms (%.2f of the reader's speed, %.2f of it times "
                "%d cores; %.2f cores busy on average)\n",
                cores, all, allCpu, readerMs / all, readerMs / all / cores, cores, allCpu / all);
    // What a machine with idle cores would give: the reader's processor
    // time over the index's, per thread.
    std::printf("  processor work of the index against the reader's: %.2f (1 thread), %.2f (%d threads)\n",
                readerCpu / oneCpu, readerCpu / allCpu, cores);
    std::printf("  extrapolated to 2000 x 60000 samples: reader %.1f s, first index %.1f s\n",
                readerMs * 2000.0 / flights * 60000.0 / samples / 1000, all * 2000.0 / flights * 60000.0 / samples / 1000);

    // 2. The page on an up-to-date index.
    const QString many = base + QStringLiteral("/Many");
    MakeFolder(many, upToDate, 600);
    const QString manyIndex = base + QStringLiteral("/many.sqlite");
    FirstIndex(many, manyIndex, cores);
    {
        // The program has shown its window before: fonts and style are
        // loaded when the page opens.
        TLogbook empty;
        TLogbookPage warm(empty);
        warm.show();
        QApplication::processEvents();
    }
    {
        TLogbook lb;
        lb.IndexPath = manyIndex;
        QElapsedTimer open;
        open.start();
        const double cpu0 = CpuMs();
        lb.SetRoot(many);
        const double loaded = Ms(open);
        TLogbookPage page(lb);
        const double made = Ms(open);
        page.resize(1280, 800);
        page.show();
        QApplication::processEvents();
        page.TableLogbook->viewport()->repaint();
        const double shown = Ms(open);
        const double shownCpu = CpuMs() - cpu0;
        lb.WaitIdle(600000);
        const double checked = Ms(open);
        std::printf("up-to-date index of %d flights: rows loaded %.0f ms, page made %.0f ms, shown %.0f ms "
                    "(processor %.0f ms), checked against the disk %.0f ms (in the background); %d rows\n",
                    upToDate, loaded, made, shown, shownCpu, checked, page.Filter->rowCount());
    }

    // 3. One changed file back in its row (the watcher, then one read).
    {
        TLogbook lb;
        lb.IndexPath = index;
        lb.SetRoot(root);
        lb.SetWatching(true);
        lb.WaitIdle(600000);
        const QString file = QStringLiteral("season 0/Blok0003.kdf");
        QSignalSpy changed(&lb, &TLogbook::EntriesChanged);
        TDataBlock b = bench::MakeFlight(samples, 10, 5);
        b.NotesStream() = "changed";
        QElapsedTimer back;
        back.start();
        WriteDataFile(root + QLatin1Char('/') + file, b, Messages());
        while (back.elapsed() < 10000 && lb.Entry(file)->Figures.Notes != QLatin1String("changed"))
            changed.wait(20);
        std::printf("one changed file of %d samples back in its row: %.0f ms (watcher gathers %d ms)\n", samples,
                    Ms(back), lb.CoalesceMs);
    }
    return 0;
}
