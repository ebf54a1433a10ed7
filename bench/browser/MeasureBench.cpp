// Speed of the measurement table and of the release alignment on long
// flights: a plain timer program that prints every figure of one run
// (qv_bench_measure [samples]).
#include "graph/Measure.h"
#include "graph/Offsets.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace qv;

namespace {

TCurveHandle LongFlight(TCurveModel& m, int n, int variant)
{
    const TCurveHandle h = m.AddFile(QStringLiteral("F%1").arg(variant), static_cast<std::uint8_t>(variant));
    auto t = std::make_shared<std::vector<double>>(n);
    auto alt = std::make_shared<std::vector<double>>(n);
    auto rx = std::make_shared<std::vector<double>>(n);
    auto volt = std::make_shared<std::vector<double>>(n);
    const double release = 0.4 + 0.1 * variant;
    for (int i = 0; i < n; ++i) {
        const double f = static_cast<double>(i) / n;
        (*t)[i] = i * 0.01;
        (*alt)[i] = f < release ? 150 * f / release + 10 * std::sin(i * 0.001) : 3;
        (*rx)[i] = 50 * std::sin(i * 0.0007);
        (*volt)[i] = 8 - f;
    }
    m.SetPoints(h, SlotAlt, t, alt);
    m.SetPoints(h, SlotRx, t, rx);
    m.SetPoints(h, SlotPowS, t, volt);
    return h;
}

double Microseconds(QElapsedTimer& timer) { return timer.nsecsElapsed() / 1000.0; }

} // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 1 << 20;
    TCurveModel m;
    const TCurveHandle h = LongFlight(m, n, 0);
    const double end = (n - 1) * 0.01;
    std::printf("samples per curve: %d\n", n);

    TPrefixCache cache;
    QElapsedTimer timer;
    timer.start();
    TMeasureTable table = MeasureFile(m, h, 0.1 * end, 0.9 * end, cache);
    std::printf("first table (prefix sums made): %.0f us\n", Microseconds(timer));

    // A cursor dragged across the whole flight: one table per step.
    const int steps = 2000;
    double sum = 0;
    timer.restart();
    for (int i = 0; i < steps; ++i) {
        table = MeasureFile(m, h, 0.05 * end, end * i / steps, cache);
        sum += table.Cells[MeasMean][1].value_or(0);
    }
    std::printf("table while dragging: %.2f us each (check %.1f)\n", Microseconds(timer) / steps, sum);

    TCurveModel three;
    std::vector<TCurveHandle> files;
    for (int v = 0; v < 3; ++v)
        files.push_back(LongFlight(three, n, v));
    TCurveOffsets offsets(three);
    timer.restart();
    const auto missing = offsets.AlignAtRelease(files);
    std::printf("align three flights at release: %.0f us (%zu without release)\n", Microseconds(timer),
                missing.size());
    return missing.empty() ? 0 : 1;
}
