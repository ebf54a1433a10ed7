// Speed of the flight file reader and writer on one generated flight of
// 1,000,000 samples with three channels, against two yardsticks: a bare
// std::from_chars loop over the same numbers and a plain std::getline +
// std::stod reader.
#include "data/DataFile.h"
#include "base/MessageService.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Best of a few runs, in seconds.
double best(int runs, const std::function<void()>& f)
{
    double b = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        f();
        b = std::min(b, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return b;
}

qv::TDataBlock makeFlight(int samples)
{
    qv::TDataBlock b;
    b.Date = "15.03.2024 10:22:01";
    b.Words = {10, 0x8000 | 0x4000 | 0x0800, 1, 2, 3, 4, 5};
    std::mt19937 rng(99);
    std::normal_distribution<double> step(0, 0.8);
    std::uniform_real_distribution<double> rx(-100, 100);
    std::uniform_real_distribution<double> volt(11.2, 12.6);
    double alt = 0;
    std::vector<double> d[6];
    for (int k : {0, 1, 2, 5}) {
        d[k].reserve(samples);
        b.Present[k] = true;
    }
    for (int i = 0; i < samples; ++i) {
        alt += step(rng);
        d[0].push_back(i * 0.1);
        d[1].push_back(alt);
        d[2].push_back(rx(rng));
        d[5].push_back(volt(rng));
    }
    for (int k : {0, 1, 2, 5})
        b.SetSamples(k, std::move(d[k]));
    b.Annotations = {{12.5, 100, "start"}, {80, 20, "landing"}};
    b.NotesStream() = "Generated flight\r\nfor the benchmark";
    return b;
}

// The data section of a file.
std::string_view dataSection(const std::string& text)
{
    const std::size_t b = text.find("<Data>\r\n") + 8;
    const std::size_t e = text.find("</Data>", b);
    return std::string_view(text).substr(b, e - b);
}

double bareFromChars(std::string_view s, std::size_t& count)
{
    const char* p = s.data();
    const char* e = p + s.size();
    double sum = 0;
    count = 0;
    while (p < e) {
        double v;
        const auto r = std::from_chars(p, e, v);
        if (r.ec == std::errc()) {
            sum += v;
            ++count;
            p = r.ptr;
        }
        ++p; // ',' or '\r' ...
        if (p < e && *p == '\n')
            ++p;
    }
    return sum;
}

// Readers as one writes them without thinking about speed: the file read
// line by line with std::getline, the fields cut apart and converted with
// std::stod. "typical" cuts the fields with a std::stringstream, "lean" with
// find and substr.
std::size_t getlineReader(const std::string& fileName, bool lean, std::array<std::vector<double>, 4>& cols)
{
    std::ifstream in(fileName, std::ios::binary);
    std::string line, field;
    for (auto& c : cols)
        c.clear();
    while (std::getline(in, line) && line.rfind("<Data>", 0) != 0) {
    }
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "</Data>")
            break;
        if (lean) {
            std::size_t start = 0;
            for (int c = 0; c < 4; ++c) {
                const std::size_t comma = line.find(',', start);
                cols[c].push_back(std::stod(line.substr(start, comma - start)));
                start = comma == std::string::npos ? line.size() : comma + 1;
            }
        } else {
            std::stringstream ss(line);
            for (int c = 0; c < 4 && std::getline(ss, field, ','); ++c)
                cols[c].push_back(std::stod(field));
        }
    }
    return cols[0].size();
}

} // namespace

int main(int argc, char** argv)
{
    const int samples = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int runs = 5;
    qv::ConsoleMessageService msgs;
    const qv::TDataBlock flight = makeFlight(samples);

    std::string text;
    const double tFormat = best(runs, [&] { text = qv::FormatDataFile(flight); });
    const double mb = text.size() / 1e6;
    const std::string_view data = dataSection(text);
    const double dataMb = data.size() / 1e6;

    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath("bench.kdf");
    bool written = true;
    const double tWrite = best(runs, [&] { written = qv::WriteDataFile(file, flight, msgs) && written; });

    int n = 0;
    const double tParse = best(runs, [&] {
        qv::TDataBlock b;
        b.NotesStream();
        n = qv::ParseDataFile(text, b, msgs);
    });
    int nFile = 0;
    const double tRead = best(runs, [&] {
        qv::TDataBlock b;
        b.NotesStream();
        nFile = qv::ReadDataFile(file, b, msgs);
    });

    std::size_t numbers = 0;
    volatile double sink = 0;
    const double tBare = best(runs, [&] { sink = sink + bareFromChars(data, numbers); });

    std::array<std::vector<double>, 4> cols;
    const std::string path = file.toStdString();
    std::size_t nGetline = 0, nLean = 0;
    const double tGetline = best(2, [&] { nGetline = getlineReader(path, false, cols); });
    const double tLean = best(2, [&] { nLean = getlineReader(path, true, cols); });

    if (!written || n != samples || nFile != samples || nGetline != static_cast<std::size_t>(samples) || nLean != nGetline ||
        numbers != static_cast<std::size_t>(samples) * 4) {
        std::fprintf(stderr, "benchmark self-check failed\n");
        return 1;
    }

    std::printf("flight file: %d samples, 3 channels, %.1f MB (data section %.1f MB, %zu numbers)\n", samples, mb,
                dataMb, numbers);
    std::printf("%-36s %8.1f MB/s  %7.1f ms\n", "write, formatting in memory", mb / tFormat, tFormat * 1e3);
    std::printf("%-36s %8.1f MB/s  %7.1f ms\n", "write, WriteDataFile to disk", mb / tWrite, tWrite * 1e3);
    std::printf("%-36s %8.1f MB/s  %7.1f ms\n", "read, ParseDataFile in memory", mb / tParse, tParse * 1e3);
    std::printf("%-36s %8.1f MB/s  %7.1f ms\n", "read, ReadDataFile from disk", mb / tRead, tRead * 1e3);
    std::printf("%-36s %8.1f MB/s  %7.1f ms\n", "bare std::from_chars loop (data)", dataMb / tBare, tBare * 1e3);
    std::printf("%-36s %8.1f MB/s  %7.1f ms\n", "getline+stringstream+stod (typical)", mb / tGetline, tGetline * 1e3);
    std::printf("%-36s %8.1f MB/s  %7.1f ms\n", "getline+find/substr+stod (lean)", mb / tLean, tLean * 1e3);
    std::printf("reader / bare from_chars: %.2fx (goal >= 0.5x; in memory, same bytes per second)\n",
                tBare / tParse * (mb / dataMb));
    std::printf("reader / getline+stod:    %.2fx typical, %.2fx lean (goal >= 5x; both from disk)\n",
                tGetline / tRead, tLean / tRead);
    std::printf("writer:                   %.0f MB/s (goal >= 150 MB/s)\n", mb / tWrite);
    return 0;
}
