#pragma once
// Flights with plausible curves for the benchmark and the screenshot: a tow
// launch on the traction channel, stick movements on the servo channel and
// a slowly sinking supply voltage.
#include "base/MessageService.h"
#include "data/DataBlock.h"
#include "data/DataFile.h"

#include <QDir>
#include <QString>
#include <vector>

#include <cmath>
#include <string>

namespace qv::bench {

inline TDataBlock MakeFlight(int samples, int periodTenMs, int variant)
{
    TDataBlock b;
    b.Date = "08.12.2026 1" + std::to_string(variant % 10) + ":15:00";
    b.Words = {periodTenMs, 0x8000 | 0x4000 | 0x0800, 0, 0, 0, 0, 0};
    b.NotesStream() = "Flight " + std::to_string(variant + 1);
    const double dt = periodTenMs / 100.0;
    const double total = samples * dt;
    const double peak = 140.0 + 25.0 * variant;
    const double release = total * (0.35 + 0.08 * variant);
    std::vector<double> t, alt, rx, volt;
    t.resize(samples);
    alt.resize(samples);
    rx.resize(samples);
    volt.resize(samples);
    unsigned noise = 12345u + 977u * static_cast<unsigned>(variant);
    auto jitter = [&noise] {
        noise = noise * 1103515245u + 12345u;
        return ((noise >> 16) & 0x7FFF) / 32767.0 - 0.5;
    };
    for (int i = 0; i < samples; ++i) {
        const double x = i * dt;
        t[i] = x;
        double f;
        if (x < release) {
            const double rise = 1.0 - std::exp(-x / (0.08 * total));
            f = peak * rise * (0.85 + 0.15 * std::sin(x * 0.9 + variant));
        } else {
            f = 6.0 * std::exp(-(x - release) / 3.0);
        }
        alt[i] = std::round((f + 4.0 * jitter()) * 100.0) / 100.0;
        const double stick = 55.0 * std::sin(x * 0.35 + variant) + 25.0 * std::sin(x * 1.7);
        rx[i] = std::round((x < release ? stick * 0.4 : stick) * 100.0) / 100.0;
        volt[i] = std::round((7.9 - 0.6 * x / total - 0.25 * (x < release) + 0.03 * jitter()) * 100.0) / 100.0;
    }
    b.SetSamples(ArrTime, std::move(t));
    b.SetSamples(ArrAltitude, std::move(alt));
    b.SetSamples(ArrRx, std::move(rx));
    b.SetSamples(ArrVoltage, std::move(volt));
    b.Present[ArrTime] = b.Present[ArrAltitude] = b.Present[ArrRx] = b.Present[ArrVoltage] = true;
    b.Annotations.push_back({release * 0.5, peak * 0.9, "tow"});
    b.Annotations.push_back({release, peak * 0.6, "release " + std::to_string(variant + 1)});
    return b;
}

// Writes three flights of the given length into folder as STEM0.kdf ..
// STEM2.kdf; nothing when one could not be written.
inline std::vector<QString> WriteFlights(const QString& folder, const QString& stem, int samples, int periodTenMs)
{
    std::vector<QString> files;
    for (int v = 0; v < 3; ++v) {
        const QString path = QDir(folder).filePath(stem + QString::number(v) + QStringLiteral(".kdf"));
        if (!WriteDataFile(path, MakeFlight(samples, periodTenMs, v), Messages()))
            return {};
        files.push_back(path);
    }
    return files;
}

} // namespace qv::bench
