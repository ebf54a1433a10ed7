// Downloads a 540,672-byte logger memory from kavo5-sim over a
// pseudo-terminal with the real port and protocol code.
//
//   unpaced: host throughput in bytes/s (goal >= 1 MB/s)
//   paced at 115200 baud: efficiency = payload bytes / (elapsed x 11,391 B/s)
//     (11,391 B/s = 11,520 B/s on the wire x 264/267: per frame 265 bytes,
//     the host's "O" and its echo; goal >= 0.97) and the host's CPU time as
//     a share of the elapsed time (goal <= 5 %). The paced run takes ~48 s.
//
// Options: --unpaced-only, --size BYTES, --sim PATH (kavo5-sim).
#include "device/DeviceProtocol.h"
#include "device/SerialPort.h"
#include "device/SimMemory.h"
#include "base/MessageService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Result {
    bool ok = false;
    int bytes = 0;
    double elapsed = 0;
    double cpu = 0;
    bool sameData = false;
};

class Observer : public qv::IDeviceObserver {
public:
    QString DownloadFinished(const qv::TDownloadEnd& e) override
    {
        end = Clock::now();
        cpuEnd = cpuSeconds();
        data.assign(e.Image, e.Image + e.ByteCount);
        done = true;
        return {};
    }
    bool done = false;
    Clock::time_point end;
    double cpuEnd = 0;
    std::vector<quint8> data;
};

class CollectErrors : public qv::ConsoleMessageService {
public:
    void Error(const QString& t) override { Errors << t; }
    QStringList Errors;
};

Result download(const QString& sim, const QString& image, long baud,
                const std::vector<quint8>& memory)
{
    Result r;
    QProcess proc;
    proc.start(sim, {QStringLiteral("--image"), image, QStringLiteral("--baud"),
                     QString::number(baud), QStringLiteral("--exit-on-stdin-eof")});
    if (!proc.waitForStarted(5000)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(sim));
        return r;
    }
    while (!proc.canReadLine() && proc.waitForReadyRead(5000)) {
    }
    const QString path = QString::fromLocal8Bit(proc.readLine()).trimmed();

    CollectErrors messages;
    qv::SetMessageService(&messages);
    qv::PosixSerialPort port;
    Observer obs;
    qv::DeviceProtocol proto(port, &obs);
    bool requested = false;
    Clock::time_point start;
    double cpuStart = 0;
    QElapsedTimer guard;
    guard.start();
    proto.SetPump([&] {
        if (!messages.Errors.isEmpty() || obs.done || guard.elapsed() > 180000) {
            proto.SetAbort();
        } else if (!requested && proto.ConfigLoaded() && proto.CurrentCommand() == 0) {
            requested = true;
            start = Clock::now();
            cpuStart = cpuSeconds();
            proto.ReadData();
        }
    });
    proto.Connect(path);
    qv::SetMessageService(nullptr);
    proc.closeWriteChannel();
    if (!proc.waitForFinished(3000)) {
        proc.terminate();
        proc.waitForFinished(3000);
    }
    for (const QString& e : messages.Errors)
        std::fprintf(stderr, "error: %s\n", qPrintable(e));
    if (!obs.done)
        return r;
    r.ok = messages.Errors.isEmpty();
    r.bytes = static_cast<int>(obs.data.size());
    r.elapsed = std::chrono::duration<double>(obs.end - start).count();
    r.cpu = obs.cpuEnd - cpuStart;
    // The whole memory and the first five bytes 0xFF after it.
    std::vector<quint8> expected = memory;
    expected.insert(expected.end(), 5, 0xFF);
    r.sameData = obs.data == expected;
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool pacedToo = true;
    int size = 540672;
#ifdef KAVO5_SIM
    QString sim = QStringLiteral(KAVO5_SIM);
#else
    QString sim = QStringLiteral("kavo5-sim");
#endif
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--unpaced-only"))
            pacedToo = false;
        else if (args[i] == QLatin1String("--size") && i + 1 < args.size())
            size = args[++i].toInt();
        else if (args[i] == QLatin1String("--sim") && i + 1 < args.size())
            sim = args[++i];
        else {
            std::fprintf(stderr, "usage: quorvel-bench-device [--unpaced-only] [--size BYTES] [--sim PATH]\n");
            return 2;
        }
    }

    // Three flights filling the memory (traction, servo, supply).
    qv::sim::FlightShape shape;
    const std::vector<quint8> memory = qv::sim::BuildFullMemory(size, 3, shape, 1);
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("memory.bin"));
    {
        std::ofstream out(image.toStdString(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(memory.data()), static_cast<std::streamsize>(memory.size()));
    }
    int status = 0;

    double best = 0;
    for (int run = 0; run < 3; ++run) {
        const Result r = download(sim, image, 0, memory);
        if (!r.ok || !r.sameData) {
            std::fprintf(stderr, "unpaced download failed (ok=%d, same data=%d)\n", r.ok, r.sameData);
            return 1;
        }
        const double rate = r.bytes / r.elapsed;
        std::printf("unpaced run %d: %d bytes in %.3f s = %.0f B/s (host CPU %.3f s)\n", run + 1,
                    r.bytes, r.elapsed, rate, r.cpu);
        best = std::max(best, rate);
    }
    std::printf("unpaced: best %.2f MB/s (goal >= 1 MB/s): %s\n", best / 1e6,
                best >= 1e6 ? "met" : "MISSED");
    if (best < 1e6)
        status = 1;

    if (pacedToo) {
        const Result r = download(sim, image, 115200, memory);
        if (!r.ok || !r.sameData) {
            std::fprintf(stderr, "paced download failed (ok=%d, same data=%d)\n", r.ok, r.sameData);
            return 1;
        }
        const double efficiency = r.bytes / (r.elapsed * 11391.0);
        const double cpuShare = r.cpu / r.elapsed;
        std::printf("paced 115200: %d bytes in %.2f s, efficiency %.4f (goal >= 0.97): %s\n", r.bytes,
                    r.elapsed, efficiency, efficiency >= 0.97 ? "met" : "MISSED");
        std::printf("paced 115200: host CPU %.3f s = %.2f %% of elapsed (goal <= 5 %%): %s\n", r.cpu,
                    100 * cpuShare, cpuShare <= 0.05 ? "met" : "MISSED");
        if (efficiency < 0.97 || cpuShare > 0.05)
            status = 1;
    }
    return status;
}
