#include "data/DataFile.h"

#include "base/Assert.h"
#include "base/FileName.h"
#include "base/MessageService.h"
#include "data/DataFileDetail.h"

#include <QFile>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <filesystem>
#include <limits>
#include <new>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace qv {

namespace {

using namespace detail;

// An input/output failure inside the reader (a header word missing or not a
// number, memory exhausted); reported as "Error in reading file.".
struct ReadFailure {};

// Lines of a file. A line ends at LF; the CRs before the LF (CR LF files,
// stray CRs) are not part of the line. Text after the last line end is one
// more line; a file ending in a line end has no empty line after it.
//
// The bytes are either all in memory or read from a file a piece at a time,
// so that a large file never sits in memory whole. A piece [pos(), end())
// always ends just after a line end (or at the end of the file): a line
// that starts in it ends in it. Views of lines stay valid until the next
// piece is loaded.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : p_(bytes.data()), end_(bytes.data() + bytes.size()) {}
    explicit LineReader(QFile& file) : file_(&file) {}

    bool Next(std::string_view& line)
    {
        if (p_ >= end_ && !Refill())
            return false;
        const char* lf = static_cast<const char*>(std::memchr(p_, '\n', static_cast<std::size_t>(end_ - p_)));
        const char* le = lf ? lf : end_;
        const char* b = p_;
        p_ = lf ? lf + 1 : end_;
        while (le > b && le[-1] == '\r')
            --le;
        line = std::string_view(b, static_cast<std::size_t>(le - b));
        return true;
    }

    // Skips lines until one equal to tag; false at the end of the file.
    bool SkipTo(std::string_view tag)
    {
        std::string_view line;
        while (Next(line))
            if (line == tag)
                return true;
        return false;
    }

    const char* pos() const { return p_; }
    const char* end() const { return end_; }
    void seek(const char* p) { p_ = p; }

    // Loads the next piece once the current one is used up; false at the
    // end of the file. A read error throws ReadFailure.
    bool Refill()
    {
        if (!file_ || eof_)
            return false;
        // The unfinished line behind the last piece moves to the front.
        const std::size_t carry = static_cast<std::size_t>(filled_ - (end_ - buf_.data()));
        std::memmove(buf_.data(), buf_.data() + (filled_ - carry), carry);
        filled_ = carry;
        for (;;) {
            if (buf_.size() - filled_ < kPiece / 2)
                buf_.resize(std::max(buf_.size() * 2, kPiece));
            const qint64 got = file_->read(buf_.data() + filled_, static_cast<qint64>(buf_.size() - filled_));
            if (got < 0)
                throw ReadFailure{};
            const std::size_t from = filled_;
            filled_ += static_cast<std::size_t>(got);
            eof_ = got == 0;
            p_ = buf_.data();
            if (eof_) {
                end_ = buf_.data() + filled_;
                return end_ > p_;
            }
            // The piece ends after its last line end; a line longer than
            // the buffer makes the buffer grow.
            const char* b = buf_.data();
            for (std::size_t i = filled_; i > from; --i)
                if (b[i - 1] == '\n') {
                    end_ = b + i;
                    return true;
                }
        }
    }

private:
    static constexpr std::size_t kPiece = std::size_t(8) << 20;

    const char* p_ = nullptr;
    const char* end_ = nullptr;
    QFile* file_ = nullptr;
    std::vector<char> buf_;
    std::size_t filled_ = 0;
    bool eof_ = false;
};




// Header word: a decimal integer at the start of the line (blanks before it
// allowed); anything behind it is ignored.
std::int32_t ParseHeaderWord(std::string_view line)
{
    const char* b = line.data();
    const char* e = b + line.size();
    while (b < e && (*b == ' ' || *b == '\t'))
        ++b;
    if (b < e && *b == '+')
        ++b;
    std::int32_t v = 0;
    const auto r = std::from_chars(b, e, v);
    if (r.ec != std::errc())
        throw ReadFailure{};
    return v;
}

// One field of a data or annotation line, the fast way first: a plain
// number directly followed by the separator or the end of the line.
inline bool ParseField(const char* b, const char* e, double& v)
{
    if (b < e) {
        const auto r = std::from_chars(b, e, v);
        if (r.ec == std::errc() && r.ptr == e && std::isfinite(v))
            return true;
    }
    return ParseReal(std::string_view(b, static_cast<std::size_t>(e - b)), v);
}

// Cuts the next field off [p, e) at the first ','; p moves behind the comma
// (or to e when there is none, so later fields are empty).
inline std::string_view CutField(const char*& p, const char* e)
{
    const char* comma = p < e ? static_cast<const char*>(std::memchr(p, ',', static_cast<std::size_t>(e - p))) : nullptr;
    const char* fe = comma ? comma : e;
    std::string_view f(p, static_cast<std::size_t>(fe - p));
    p = comma ? comma + 1 : e;
    return f;
}

double FieldValue(std::string_view f)
{
    double v = 0;
    if (!ParseField(f.data(), f.data() + f.size(), v))
        throw DataFileError(kErrBadData);
    return v;
}

// A "Key=value" line of the extra section naming one of the further
// offsets; other lines, and values that are no number, are passed over.
void ReadOffset(std::string_view line, TFileOffsets& offsets)
{
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return;
    const std::string_view key = Trim(line.substr(0, eq));
    for (const auto& [name, field] : kOffsetKeys) {
        double v = 0;
        if (key == name && ParseReal(line.substr(eq + 1), v))
            offsets.*field = v;
    }
}

// Number of LF bytes in [b, e), eight bytes at a time.
std::size_t CountLf(const char* b, const char* e)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kLow7 = kOnes * 0x7F;
    std::size_t n = 0;
    for (; e - b >= 8; b += 8) {
        std::uint64_t w;
        std::memcpy(&w, b, 8);
        const std::uint64_t x = w ^ (kOnes * '\n');                // zero bytes where LF
        const std::uint64_t nonZero = ((x & kLow7) + kLow7) | x;  // high bit set where not LF
        const std::uint64_t lf = (~nonZero >> 7) & kOnes;          // 1 in each LF byte
        n += static_cast<std::size_t>((lf * kOnes) >> 56);
    }
    for (; b < e; ++b)
        n += *b == '\n';
    return n;
}

// Lines from the reader's position (the start of a line) up to the first
// line "</Data>"; false when there is no such line.
bool CountDataLines(LineReader& in, std::size_t& count)
{
    count = 0;
    for (;;) {
        if (in.pos() >= in.end() && !in.Refill())
            return false;
        const char* b = in.pos();
        const std::string_view rest(b, static_cast<std::size_t>(in.end() - b));
        for (std::size_t at = rest.find(kTagDataEnd); at != std::string_view::npos;
             at = rest.find(kTagDataEnd, at + 1)) {
            if (at > 0 && rest[at - 1] != '\n')
                continue;
            std::size_t after = at + kTagDataEnd.size();
            while (after < rest.size() && rest[after] == '\r')
                ++after;
            if (after < rest.size() && rest[after] != '\n')
                continue;
            count += CountLf(b, b + at);
            return true;
        }
        count += CountLf(b, in.end());
        in.seek(in.end());
    }
}

// Everything the reader collects before it touches the record.
struct Parsed {
    std::string date;
    std::array<std::int32_t, kHeaderWords> words{};
    std::array<std::vector<double>, kChannelArrays> data;
    std::array<bool, kChannelArrays> present{};
    std::vector<TAnotace> annotations;
    std::string notes;
    double rxOffsetY = 0;
    TFileOffsets offsets;
};

// The source of the bytes, read twice: once to count, once to parse.
using ReaderMaker = std::function<LineReader()>;

void ParseInto(const ReaderMaker& reader, std::size_t memoryLimit, Parsed& out)
{
    // Count the lines of the data section.
    std::size_t count = 0;
    {
        LineReader in = reader();
        if (!in.SkipTo(kTagData) || !CountDataLines(in, count))
            throw DataFileError(kErrUnexpectedEnd);
    }

    LineReader in = reader();
    std::string_view line;
    if (!in.Next(line) || line != kTagHeader)
        throw DataFileError(kErrBadHeader);

    if (!in.Next(line))
        throw ReadFailure{};
    out.date.assign(line);
    for (auto& w : out.words) {
        if (!in.Next(line))
            throw ReadFailure{};
        w = ParseHeaderWord(line);
    }

    in.SkipTo(kTagData);

    // Columns: time, then one per set bit among bits 0..15 of the flags.
    const auto flags = static_cast<std::uint32_t>(out.words[1]);
    int n = 0;
    for (int bit = 0; bit < 16; ++bit)
        n += (flags >> bit) & 1u;
    // Column c goes to array target[c]; -1 drops it (low flag bits).
    std::array<int, 17> target;
    target.fill(-1);
    target[0] = ArrTime;
    out.present[ArrTime] = true;
    int col = 1;
    for (int k = 1; k < kChannelArrays; ++k)
        if (flags & kArrayMask[k]) {
            target[col++] = k;
            out.present[k] = true;
        }

    // A file whose samples would not fit is refused before they are read.
    std::size_t perSample = (flags & kArrayMask[ArrRx]) ? sizeof(std::int32_t) : 0;
    for (int c = 0; c <= n; ++c)
        if (target[c] >= 0)
            perSample += sizeof(double);
    if (count > memoryLimit / perSample)
        throw DataFileError(TooLargeText(count, count * static_cast<double>(perSample), memoryLimit));

    std::array<std::vector<double>*, 17> dest{};
    for (int c = 0; c <= n; ++c)
        if (target[c] >= 0) {
            dest[c] = &out.data[target[c]];
            ReserveLarge(*dest[c], count);
        }

    std::size_t samples = 0;
    std::array<double, 17> vals;
    while (samples < count && (in.pos() < in.end() || in.Refill())) {
        const char* const end = in.end();
        // The common line first: plain numbers, single commas, no blanks.
        // Anything else goes the general way below, which gives the same
        // result for these lines.
        const char* q = in.pos();
        int c = 0;
        bool plain = false;
        for (;;) {
            double v;
            const auto r = std::from_chars(q, end, v);
            if (r.ec != std::errc() || !std::isfinite(v))
                break;
            vals[c++] = v;
            q = r.ptr;
            if (q < end && *q == ',') {
                if (c <= n) {
                    ++q;
                    continue;
                }
                // Fields beyond the flag count are ignored.
                const char* lf = static_cast<const char*>(std::memchr(q, '\n', static_cast<std::size_t>(end - q)));
                q = lf ? lf : end;
            }
            while (q < end && *q == '\r')
                ++q;
            plain = q == end || *q == '\n';
            break;
        }
        if (plain) {
            for (; c <= n; ++c)
                vals[c] = 0;
            for (int k = 0; k <= n; ++k)
                if (dest[k])
                    dest[k]->push_back(vals[k]);
            in.seek(q < end ? q + 1 : end);
            ++samples;
            continue;
        }

        if (!in.Next(line))
            break;
        // The closing tag ends the section even where the header lines
        // took the opening tag the counting pass used.
        if (line == kTagDataEnd)
            break;
        const std::string_view t = Trim(line);
        const char* p = t.data();
        const char* e = p + t.size();
        for (int c = 0; c <= n; ++c) {
            double v = 0;
            if (p < e) {
                const auto r = std::from_chars(p, e, v);
                if (r.ec == std::errc() && (r.ptr == e || *r.ptr == ',') && std::isfinite(v)) {
                    p = r.ptr == e ? e : r.ptr + 1;
                } else {
                    v = FieldValue(CutField(p, e));
                }
            }
            if (dest[c])
                dest[c]->push_back(v);
        }
        ++samples;
    }

    // The annotation, text and extra sections, in whatever order they come;
    // lines outside them are ignored. A section that appears twice adds to
    // what the first one gave.
    out.rxOffsetY = 0;
    bool haveNotes = false;
    while (in.Next(line)) {
        if (line == kTagAnnot) {
            while (in.Next(line) && line != kTagAnnotEnd) {
                // Blanks at the end belong to the text (a text may be a
                // single blank); only those before the time go.
                const std::string_view t = TrimStart(line);
                const char* p = t.data();
                const char* e = p + t.size();
                TAnotace a;
                a.Time = FieldValue(CutField(p, e));
                a.Altitude = FieldValue(CutField(p, e));
                a.Text.assign(p, static_cast<std::size_t>(e - p));
                out.annotations.push_back(std::move(a));
            }
        } else if (line == kTagText) {
            while (in.Next(line) && line != kTagTextEnd) {
                if (haveNotes)
                    out.notes.append(kEol);
                out.notes.append(line);
                haveNotes = true;
            }
        } else if (line == kTagExtra) {
            while (in.Next(line) && line != kTagExtraEnd) {
                if (line.find(kRxOffsetKey) == std::string_view::npos) {
                    ReadOffset(line, out.offsets);
                    continue;
                }
                const std::size_t eq = line.find('=');
                if (eq != std::string_view::npos)
                    line.remove_prefix(eq + 1);
                out.rxOffsetY = FieldValue(line);
            }
        }
    }
}

void Commit(Parsed& p, TDataBlock& block)
{
    block.Date = std::move(p.date);
    block.Words = p.words;
    for (int k = 0; k < kChannelArrays; ++k) {
        block.SetSamples(k, std::move(p.data[k]));
        block.Present[k] = p.present[k];
    }
    block.Annotations = std::move(p.annotations);
    std::string& notes = block.NotesStream();
    if (notes.empty())
        notes = std::move(p.notes);
    else
        notes.append(p.notes);
    block.RxOffsetY = p.rxOffsetY;
    block.Offsets = p.offsets;
}

} // namespace

// --- Reader ----------------------------------------------------------------

namespace {

int Parse(const ReaderMaker& reader, TDataBlock& block, std::size_t memoryLimit, IMessageService& msgs)
{
    try {
        Parsed parsed;
        ParseInto(reader, memoryLimit, parsed);
        Commit(parsed, block);
        return block.SampleCount();
    } catch (const ReadFailure&) {
    } catch (const std::bad_alloc&) {
    }
    msgs.Error(QString::fromLatin1(kErrReading));
    return 0;
}

} // namespace

std::size_t MemoryForSamples()
{
    std::size_t available = 0;
#if defined(__linux__)
    // What the system can give without swapping, as it counts it.
    if (FILE* f = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        unsigned long long kb = 0;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1) {
                available = static_cast<std::size_t>(kb) * 1024;
                break;
            }
        std::fclose(f);
    }
#endif
#if defined(_SC_AVPHYS_PAGES)
    if (available == 0) {
        const long pages = ::sysconf(_SC_AVPHYS_PAGES);
        const long size = ::sysconf(_SC_PAGESIZE);
        if (pages > 0 && size > 0)
            available = static_cast<std::size_t>(pages) * static_cast<std::size_t>(size);
    }
#endif
    if (available == 0)
        return std::numeric_limits<std::size_t>::max();
    // The chart and the measuring need room beside the samples.
    return available / 2;
}

std::string TooLargeText(std::size_t samples, double bytesNeeded, std::size_t bytesAvailable)
{
    char buf[200];
    std::snprintf(buf, sizeof buf, "The file is too large: its %zu samples need %.0f MB, only %.0f MB can be spared.",
                  samples, bytesNeeded / 1048576.0, static_cast<double>(bytesAvailable) / 1048576.0);
    return buf;
}

int ParseDataFile(std::string_view bytes, TDataBlock& block, IMessageService& msgs,
                  std::size_t memoryLimit)
{
    return Parse([bytes] { return LineReader(bytes); }, block, memoryLimit, msgs);
}

int ParseDataFile(std::string_view bytes, TDataBlock& block, IMessageService& msgs)
{
    return ParseDataFile(bytes, block, msgs, MemoryForSamples());
}

bool IsRegularFile(const QString& path)
{
#ifdef Q_OS_WIN
    std::error_code ec;
    return !path.isEmpty() && std::filesystem::is_regular_file(std::filesystem::path(path.toStdU16String()), ec);
#else
    struct stat st;
    return !path.isEmpty() && ::stat(NativeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
#endif
}

int ReadDataFile(const QString& fileName, TDataBlock& block, IMessageService& msgs)
{
    if (fileName.isEmpty())
        return 0;
    QFile f;
    if (!IsRegularFile(fileName) || !OpenForReading(f, fileName, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        msgs.Error(QString::fromLatin1(kErrReading));
        return 0;
    }
    // An ordinary flight is read once and counted and parsed in memory; a
    // large file is read in pieces, twice (counting, then parsing), so that
    // the memory needed is that of the samples, not of the file.
    constexpr qint64 kWholeFile = qint64(64) << 20;
    if (f.size() <= kWholeFile) {
        QByteArray bytes;
        try {
            bytes = f.readAll();
        } catch (const std::bad_alloc&) {
            f.close();
        }
        if (f.error() != QFileDevice::NoError || !f.isOpen()) {
            msgs.Error(QString::fromLatin1(kErrReading));
            return 0;
        }
        const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return Parse([view] { return LineReader(view); }, block, MemoryForSamples(), msgs);
    }
    return Parse(
        [&f] {
            if (!f.seek(0))
                throw ReadFailure{};
            return LineReader(f);
        },
        block, MemoryForSamples(), msgs);
}

} // namespace qv
