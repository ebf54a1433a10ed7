// Splits and saves a full Kavo5 memory: one flight of one channel filling
// 9,000,000 bytes (about 4.5 million samples), as a download delivers it
// (followed by 0xFF). Prints the time of each step and the rate of text
// written; the goal is at least 100 MB/s.
#include "data/DataFile.h"
#include "device/DeviceConfig.h"
#include "device/DownloadSaver.h"
#include "device/FlightSplitter.h"
#include "device/RawImageStore.h"
#include "device/SimMemory.h"
#include "base/MessageService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

using Clock = std::chrono::steady_clock;

static double seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int size = argc > 1 ? std::atoi(argv[1]) : qv::kMemorySizeKavo5;
    qv::sim::FlightShape shape;
    shape.mask = qv::sim::kMaskTraction;
    shape.period = 10;
    std::vector<quint8> memory = qv::sim::BuildFullMemory(size, 1, shape, 1);
    memory.insert(memory.end(), 8, 0xFF);

    QTemporaryDir dir;
    qv::ConsoleMessageService msgs(qv::Answer::YesToAll);
    qv::TSaveOptions options;
    options.Root = dir.path();
    options.DateText = "8.12.2026 12:00:00";
    options.AskBeforeOverwrite = false;

    double best = 1e9, bestSplit = 0, bestBuild = 0, bestCpu = 0;
    qint64 bytes = 0;
    std::size_t samples = 0;
    for (int run = 0; run < 3; ++run) {
        const std::clock_t c0 = std::clock();
        const auto t0 = Clock::now();
        const qv::TFlightBlockList blocks = qv::SplitImage(memory.data(), memory.size());
        const auto t1 = Clock::now();
        qv::TDataBlock rec;
        if (blocks.size() != 1) {
            std::fprintf(stderr, "expected one flight, found %zu\n", blocks.size());
            return 1;
        }
        qv::BuildFlightRecord(memory.data(), memory.size(), blocks[0], options.DateText, rec);
        const auto t2 = Clock::now();
        qv::TFlightSaver saver(msgs);
        const qv::TSaveResult r = saver.SaveFlights(memory.data(), memory.size(), blocks, options);
        const auto t3 = Clock::now();
        const std::clock_t c3 = std::clock();
        if (r.Written != 1)
            return 1;
        samples = rec.Samples(qv::ArrTime).size();
        bytes = QFileInfo(r.Files[0]).size();
        const double total = seconds(t0, t1) + seconds(t2, t3); // split + save (save builds the record itself)
        if (total < best) {
            best = total;
            bestSplit = seconds(t0, t1);
            bestBuild = seconds(t1, t2);
            // CPU time of the process for the whole run, the record built
            // for the timing above taken out again.
            bestCpu = double(c3 - c0) / CLOCKS_PER_SEC - bestBuild;
        }
    }
    std::printf("memory            %d bytes, 1 flight, 1 channel, %zu samples\n", size, samples);
    std::printf("split             %.3f s\n", bestSplit);
    std::printf("build record      %.3f s (included in the save)\n", bestBuild);
    std::printf("split and save    %.3f s (best of 3)\n", best);
    std::printf("text written      %.1f MB\n", bytes / 1e6);
    std::printf("rate              %.1f MB/s of text (goal >= 100)\n", bytes / 1e6 / best);
    std::printf("cpu time          %.3f s, %.1f MB/s of text per CPU second\n", bestCpu, bytes / 1e6 / bestCpu);

    // Keeping the raw image, which every download does before the split.
    double bestKeep = 1e9;
    for (int run = 0; run < 3; ++run) {
        qv::TRawImageStore store(dir.filePath(QStringLiteral("images")), {2, 1024});
        QString error;
        const auto t0 = Clock::now();
        if (store.Keep(memory.data(), static_cast<int>(memory.size()), "KAVO5", error).isEmpty()) {
            std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
            return 1;
        }
        bestKeep = std::min(bestKeep, seconds(t0, Clock::now()));
    }
    std::printf("keep raw image    %.3f s (best of 3, %.0f MB/s)\n", bestKeep, memory.size() / 1e6 / bestKeep);
    return 0;
}
