#include "device/FlightSplitter.h"

#include "base/Cp1250.h"
#include "data/DataFile.h"
#include "base/MessageService.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <cmath>
#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace qv {

namespace {

std::uint16_t Word(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

int BitCount(std::uint16_t v)
{
    int n = 0;
    for (; v; v &= static_cast<std::uint16_t>(v - 1))
        ++n;
    return n;
}

bool IsMarker(const std::uint8_t* p)
{
    return p[0] == 0xFF && p[1] == 0xFF && p[2] == 0xFF && p[3] == 0xFF;
}

// Sizes a sample array for n values. A full memory gives arrays of tens of
// megabytes; on Linux they are asked to sit on huge pages before their
// first touch, which saves thousands of page faults per array.
void SizeArray(std::vector<double>& v, std::size_t n)
{
    v.clear();
    v.reserve(n);
#ifdef __linux__
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    if (n * sizeof(double) >= 2 * kHuge) {
        const auto b = reinterpret_cast<std::uintptr_t>(v.data());
        const std::uintptr_t from = (b + kHuge - 1) & ~(kHuge - 1);
        const std::uintptr_t to = (b + n * sizeof(double)) & ~(kHuge - 1);
        if (to > from)
            ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    }
#endif
    v.resize(n);
}

} // namespace

long long FindFlightEnd(const std::uint8_t* image, std::size_t size, std::size_t from, bool lastByteToo)
{
    // Normally the last byte (index size - 1) never takes part in a marker.
    const std::size_t span = lastByteToo ? 4 : 5;
    if (!image || size < span)
        return -1;
    const std::size_t last = size - span; // last candidate position
    if (from > last)
        return -1;
    for (std::size_t p = from; p <= last; ++p) {
        if (image[p + 3] != 0xFF) {
            p += 3; // no run of four can start at p .. p + 3
            continue;
        }
        if (IsMarker(image + p))
            return static_cast<long long>(p);
    }
    return -1;
}

TFlightBlockList SplitImage(const std::uint8_t* image, std::size_t size, bool fullMemory)
{
    TFlightBlockList blocks;
    std::size_t from = 0;
    std::size_t start = 0;
    for (;;) {
        const long long found = FindFlightEnd(image, size, from, fullMemory);
        // A full memory ends with the flight that filled it.
        const bool tail = found < 0 && fullMemory && start < size;
        if (found < 0 && !tail)
            break;
        const std::size_t e = tail ? size : static_cast<std::size_t>(found);
        if (start < e && e - start >= kFlightHeaderBytes) {
            TFlightBlock b;
            const std::uint8_t* h = image + start + 4;
            b.SamplePeriod = Word(h);
            b.ChannelMask = Word(h + 2);
            for (int k = 0; k < 5; ++k)
                b.Words[k] = Word(h + 4 + 2 * k);
            b.ChannelCount = BitCount(b.ChannelMask);
            b.DataStart = start + kFlightHeaderBytes;
            b.DataEnd = e;
            blocks.push_back(b);
        }
        if (tail)
            break;
        from = e + 3;
        start = e;
    }
    return blocks;
}

std::size_t SampleCount(const TFlightBlock& block, std::size_t imageSize)
{
    if (block.ChannelCount <= 0 || block.DataEnd <= block.DataStart || block.DataStart >= imageSize)
        return 0;
    const std::size_t sampleBytes = 2 * static_cast<std::size_t>(block.ChannelCount);
    const std::size_t end = block.DataEnd < imageSize ? block.DataEnd : imageSize;
    return (end - block.DataStart) / sampleBytes;
}

double ConvertRaw(int array, std::uint16_t raw, std::uint16_t firstRaw)
{
    switch (array) {
    case 1:
        return (static_cast<double>(raw) - static_cast<double>(firstRaw)) / 41.85 * 9.8067;
    case 2:
        return (19843.0 - raw) / 43.35;
    case 5:
        return (raw + 85.0) * 0.0217;
    default:
        return raw;
    }
}

void BuildFlightRecord(const std::uint8_t* image, std::size_t size, const TFlightBlock& block,
                       const std::string& dateText, TDataBlock& rec)
{
    rec.Release();
    rec.Date = dateText;
    rec.Words = {block.SamplePeriod, block.ChannelMask, block.Words[0], block.Words[1],
                 block.Words[2],     block.Words[3],    block.Words[4]};
    rec.RxOffsetY = 0;
    rec.Modified = false;
    rec.NotesStream();

    const std::size_t n = SampleCount(block, size);
    std::vector<double> time;
    SizeArray(time, n);
    const double step = block.SamplePeriod / 100.0;
    double t = 0;
    for (std::size_t i = 0; i < n; ++i) {
        time[i] = t;
        t += step;
    }
    rec.SetSamples(ArrTime, std::move(time));
    rec.Present[ArrTime] = true;

    const std::size_t stride = 2 * static_cast<std::size_t>(block.ChannelCount);
    int column = 0;
    for (int k = 1; k < kChannelArrays; ++k) {
        if ((block.ChannelMask & kArrayMask[k]) == 0)
            continue;
        std::vector<double> out;
        SizeArray(out, n);
        const std::uint8_t* p = image + block.DataStart + 2 * column;
        if (n > 0) {
            const std::uint16_t first = Word(p);
            switch (k) {
            case 1:
                for (std::size_t i = 0; i < n; ++i, p += stride)
                    out[i] = (static_cast<double>(Word(p)) - first) / 41.85 * 9.8067;
                break;
            case 2:
                for (std::size_t i = 0; i < n; ++i, p += stride)
                    out[i] = (19843.0 - Word(p)) / 43.35;
                break;
            case 5:
                for (std::size_t i = 0; i < n; ++i, p += stride)
                    out[i] = (Word(p) + 85.0) * 0.0217;
                break;
            default:
                for (std::size_t i = 0; i < n; ++i, p += stride)
                    out[i] = Word(p);
            }
        }
        rec.SetSamples(k, std::move(out));
        rec.Present[k] = true;
        ++column;
    }
}

std::string DownloadTimeStamp()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    const QString text = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + now.time().toString(QStringLiteral("hh:mm:ss"));
    return ToCp1250(text);
}

QString DataFolder(const QString& root)
{
    QString folder = root.isEmpty() ? QStringLiteral("./Data") : root;
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QDir::separator()))
        folder += QLatin1Char('/');
    return folder;
}

TBaseName BaseNameFromSetting(const QString& defFileName)
{
    TBaseName r;
    QString name = defFileName.isEmpty() ? QStringLiteral("Block") : QFileInfo(defFileName).fileName();
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (dot >= 4) {
        // name has at least four characters: a trailing four-digit number
        // gives the first number of the files.
        const QString tail = name.right(4);
        bool digits = true;
        for (QChar c : tail)
            digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (digits) {
            r.FirstNumber = tail.toInt();
            name.chop(4);
        }
    }
    r.Base = name;
    return r;
}

QString FlightFileName(const QString& folder, const QString& base, int number)
{
    return folder + base + QString::asprintf("%.3d", number) + QLatin1String(kDataFileExtension);
}

QString FilesWrittenText(int count)
{
    return QString::number(count)
        + (count == 1 ? QStringLiteral(" file succesfully written.") : QStringLiteral(" files succesfully written."));
}

QString ReadingFinishedText(int blocks)
{
    return QStringLiteral("Data reading finished (") + QString::number(blocks) + QStringLiteral(" blocks read.)");
}

QString RewriteQuestionText(const QString& path)
{
    return QStringLiteral("Filename ") + path + QStringLiteral(" already exists. Rewrite?");
}

QString FileNameProblem(const QString& defFileName)
{
    for (QChar c : defFileName)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("The file name may not hold control characters (tabs, line ends).");
    return {};
}

} // namespace qv
