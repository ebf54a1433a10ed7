// Memory and time of reading flight files that are much larger than their
// samples, or whose samples are many: the peak memory the reader adds
// against what the sample arrays need.
//   quorvel-bench-readmemory [empty-lines] [padding-MB]
#include "data/DataFile.h"
#include "base/MessageService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// A memory figure of the process from /proc/self/status, in bytes:
// "VmHWM:" the peak since ResetPeak, "VmRSS:" the current one.
long StatusBytes(const std::string& field)
{
    std::ifstream in("/proc/self/status");
    std::string key;
    long kb = 0;
    while (in >> key) {
        if (key == field) {
            in >> kb;
            return kb * 1024;
        }
        in.ignore(1 << 20, '\n');
    }
    return 0;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

const char* kHeader = "<Header>\r\n15.03.2024 10:22:01\r\n10\r\n51200\r\n1\r\n2\r\n3\r\n4\r\n5\r\n</Header>\r\n<Data>\r\n";

void Measure(const char* what, const QString& file)
{
    qv::ConsoleMessageService msgs;
    const long before = StatusBytes("VmRSS:");
    ResetPeak();
    const auto t0 = std::chrono::steady_clock::now();
    qv::TDataBlock b;
    b.NotesStream();
    const int n = qv::ReadDataFile(file, b, msgs);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    const long added = StatusBytes("VmHWM:") - before;
    double arrays = 0;
    for (int k = 0; k < qv::kSampleArrays; ++k)
        arrays += double(b.Samples(k).size()) * sizeof(double);
    std::printf("%-44s %10d samples  file %7.1f MB  arrays %7.1f MB  peak added %7.1f MB (%.2fx)  %7.0f ms\n", what, n,
                QFileInfo(file).size() / 1048576.0, arrays / 1048576.0, added / 1048576.0,
                arrays > 0 ? added / arrays : 0.0, ms);
}

} // namespace

int main(int argc, char** argv)
{
    const long emptyLines = argc > 1 ? std::atol(argv[1]) : 30000000;
    const long paddingMb = argc > 2 ? std::atol(argv[2]) : 1024;
    QTemporaryDir dir;

    const QString empty = QDir(dir.path()).filePath("empty.kdf");
    {
        std::ofstream out(empty.toStdString(), std::ios::binary);
        out << kHeader;
        const std::string chunk(1 << 20, '\n');
        for (long left = emptyLines; left > 0; left -= long(chunk.size()))
            out.write(chunk.data(), std::min<long>(left, long(chunk.size())));
        out << "</Data>\r\n";
    }
    Measure("empty data lines (3 channels)", empty);

    const QString padded = QDir(dir.path()).filePath("padded.kdf");
    {
        std::ofstream out(padded.toStdString(), std::ios::binary);
        out << kHeader;
        for (int i = 0; i < 100000; ++i)
            out << i / 10 << '.' << i % 10 << ",100.00,-3.00,12.10\r\n";
        out << "</Data>\r\n<Text>\r\nnotes\r\n</Text>\r\n";
        const std::string junk(1 << 20, 'x');
        for (long i = 0; i < paddingMb; ++i)
            out << junk << "\r\n";
    }
    Measure("100,000 samples padded with junk", padded);
    return 0;
}
