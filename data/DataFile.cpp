#include "data/DataFile.h"

#include "base/Assert.h"
#include "base/MessageService.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qv {

namespace {

constexpr std::string_view kTagHeader = "<Header>";
constexpr std::string_view kTagHeaderEnd = "</Header>";
constexpr std::string_view kTagData = "<Data>";
constexpr std::string_view kTagDataEnd = "</Data>";
constexpr std::string_view kTagAnnot = "<Anotace>";
constexpr std::string_view kTagAnnotEnd = "</Anotace>";
constexpr std::string_view kTagText = "<Text>";
constexpr std::string_view kTagTextEnd = "</Text>";
constexpr std::string_view kTagExtra = "<Extra>";
constexpr std::string_view kTagExtraEnd = "</Extra>";
constexpr std::string_view kRxOffsetKey = "RxOffsetY";
// Further offsets of the extra section; no key may contain "RxOffsetY".
constexpr std::pair<std::string_view, double TFileOffsets::*> kOffsetKeys[] = {
    {"AltOffsetX", &TFileOffsets::AltX}, {"AltOffsetY", &TFileOffsets::AltY}, {"RxOffsetX", &TFileOffsets::RxX},
    {"VoltOffsetX", &TFileOffsets::VoltX}, {"VoltOffsetY", &TFileOffsets::VoltY}};
constexpr std::string_view kEol = "\r\n";

// An input/output failure inside the reader (a header word missing or not a
// number, memory exhausted); reported as "Error in reading file.".
struct ReadFailure {};

// Lines of a file held in memory. A line ends at LF; the CRs before the LF
// (CR LF files, stray CRs) are not part of the line. Text after the last
// line end is one more line; a file ending in a line end has no empty line
// after it.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : p_(bytes.data()), end_(bytes.data() + bytes.size()) {}

    bool next(std::string_view& line)
    {
        if (p_ >= end_)
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
    bool skipTo(std::string_view tag)
    {
        std::string_view line;
        while (next(line))
            if (line == tag)
                return true;
        return false;
    }

    const char* pos() const { return p_; }
    const char* end() const { return end_; }
    void seek(const char* p) { p_ = p; }

private:
    const char* p_;
    const char* end_;
};

// Large blocks about to be filled are backed by memory up front: huge pages
// where the system offers them and the page tables filled in one call. On
// some virtual machines a page fault costs more than parsing the page;
// both are hints that change nothing else.
void prepareLarge(const void* p, std::size_t bytes)
{
#if defined(__linux__)
    constexpr std::size_t kMin = std::size_t(1) << 20;
    if (bytes < kMin)
        return;
    const auto at = reinterpret_cast<std::uintptr_t>(p);
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    const std::uintptr_t hb = (at + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t he = (at + bytes) & ~(kHuge - 1);
    if (he > hb)
        ::madvise(reinterpret_cast<void*>(hb), he - hb, MADV_HUGEPAGE);
#endif
#if defined(MADV_POPULATE_WRITE)
    constexpr std::uintptr_t kPage = 4096;
    const std::uintptr_t pb = (at + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t pe = (at + bytes) & ~(kPage - 1);
    if (pe > pb)
        ::madvise(reinterpret_cast<void*>(pb), pe - pb, MADV_POPULATE_WRITE);
#endif
#else
    (void)p;
    (void)bytes;
#endif
}

template <class T>
void reserveLarge(std::vector<T>& v, std::size_t n)
{
    v.reserve(n);
    prepareLarge(v.data(), n * sizeof(T));
}

inline bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view trim(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// Header word: a decimal integer at the start of the line (blanks before it
// allowed); anything behind it is ignored.
std::int32_t parseHeaderWord(std::string_view line)
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
inline bool parseField(const char* b, const char* e, double& v)
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
inline std::string_view cutField(const char*& p, const char* e)
{
    const char* comma = p < e ? static_cast<const char*>(std::memchr(p, ',', static_cast<std::size_t>(e - p))) : nullptr;
    const char* fe = comma ? comma : e;
    std::string_view f(p, static_cast<std::size_t>(fe - p));
    p = comma ? comma + 1 : e;
    return f;
}

double fieldValue(std::string_view f)
{
    double v = 0;
    if (!parseField(f.data(), f.data() + f.size(), v))
        throw DataFileError(kErrBadData);
    return v;
}

// A "Key=value" line of the extra section naming one of the further
// offsets; other lines, and values that are no number, are passed over.
void readOffset(std::string_view line, TFileOffsets& offsets)
{
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return;
    const std::string_view key = trim(line.substr(0, eq));
    for (const auto& [name, field] : kOffsetKeys) {
        double v = 0;
        if (key == name && ParseReal(line.substr(eq + 1), v))
            offsets.*field = v;
    }
}

// Number of LF bytes in [b, e), eight bytes at a time.
std::size_t countLf(const char* b, const char* e)
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

// Lines from b (the start of a line) up to the first line "</Data>";
// false when there is no such line.
bool countDataLines(const char* b, const char* e, std::size_t& count)
{
    const std::string_view rest(b, static_cast<std::size_t>(e - b));
    for (std::size_t at = rest.find(kTagDataEnd); at != std::string_view::npos;
         at = rest.find(kTagDataEnd, at + 1)) {
        if (at > 0 && rest[at - 1] != '\n')
            continue;
        std::size_t after = at + kTagDataEnd.size();
        while (after < rest.size() && rest[after] == '\r')
            ++after;
        if (after < rest.size() && rest[after] != '\n')
            continue;
        count = countLf(b, b + at);
        return true;
    }
    return false;
}

// Everything the reader collects before it touches the record.
struct Parsed {
    std::string date;
    std::array<std::int32_t, kHeaderWords> words{};
    std::array<std::vector<double>, kChannelArrays> data;
    std::array<bool, kChannelArrays> present{};
    std::vector<std::int32_t> markers;
    std::vector<TAnotace> annotations;
    std::string notes;
    double rxOffsetY = 0;
    TFileOffsets offsets;
};

void parseInto(std::string_view bytes, double markerThreshold, Parsed& out)
{
    // Count the lines of the data section.
    std::size_t count = 0;
    {
        LineReader in(bytes);
        if (!in.skipTo(kTagData) || !countDataLines(in.pos(), in.end(), count))
            throw DataFileError(kErrUnexpectedEnd);
    }

    LineReader in(bytes);
    std::string_view line;
    if (!in.next(line) || line != kTagHeader)
        throw DataFileError(kErrBadHeader);

    if (!in.next(line))
        throw ReadFailure{};
    out.date.assign(line);
    for (auto& w : out.words) {
        if (!in.next(line))
            throw ReadFailure{};
        w = parseHeaderWord(line);
    }

    in.skipTo(kTagData);

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

    std::array<std::vector<double>*, 17> dest{};
    for (int c = 0; c <= n; ++c)
        if (target[c] >= 0) {
            dest[c] = &out.data[target[c]];
            reserveLarge(*dest[c], count);
        }

    std::size_t samples = 0;
    std::array<double, 17> vals;
    const char* const end = in.end();
    while (samples < count && in.pos() < end) {
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

        if (!in.next(line))
            break;
        // The closing tag ends the section even where the header lines
        // took the opening tag the counting pass used.
        if (line == kTagDataEnd)
            break;
        const std::string_view t = trim(line);
        const char* p = t.data();
        const char* e = p + t.size();
        for (int c = 0; c <= n; ++c) {
            double v = 0;
            if (p < e) {
                const auto r = std::from_chars(p, e, v);
                if (r.ec == std::errc() && (r.ptr == e || *r.ptr == ',') && std::isfinite(v)) {
                    p = r.ptr == e ? e : r.ptr + 1;
                } else {
                    v = fieldValue(cutField(p, e));
                }
            }
            if (dest[c])
                dest[c]->push_back(v);
        }
        ++samples;
    }

    if (flags & kArrayMask[ArrRx]) {
        const std::vector<double>& rx = out.data[ArrRx];
        reserveLarge(out.markers, rx.size());
        for (const double v : rx)
            out.markers.push_back(v > markerThreshold ? 1 : 0);
    }

    // Annotations, then the notes text, then the extra values. A section
    // that is missing does not hide the ones after it.
    enum class At { None, Text, Extra } at = At::None;
    const auto sectionStart = [&](std::string_view l) {
        at = l == kTagText ? At::Text : l == kTagExtra ? At::Extra : At::None;
        return at != At::None;
    };
    while (in.next(line)) {
        if (sectionStart(line))
            break;
        if (line == kTagAnnot) {
            while (in.next(line) && line != kTagAnnotEnd) {
                const std::string_view t = trim(line);
                const char* p = t.data();
                const char* e = p + t.size();
                TAnotace a;
                a.Time = fieldValue(cutField(p, e));
                a.Altitude = fieldValue(cutField(p, e));
                a.Text.assign(p, static_cast<std::size_t>(e - p));
                out.annotations.push_back(std::move(a));
            }
            break;
        }
    }
    if (at == At::None)
        while (in.next(line) && !sectionStart(line)) {
        }
    if (at == At::Text) {
        bool first = true;
        while (in.next(line) && line != kTagTextEnd) {
            if (!first)
                out.notes.append(kEol);
            out.notes.append(line);
            first = false;
        }
        at = in.skipTo(kTagExtra) ? At::Extra : At::None;
    }

    out.rxOffsetY = 0;
    if (at == At::Extra) {
        while (in.next(line) && line != kTagExtraEnd) {
            if (line.find(kRxOffsetKey) == std::string_view::npos) {
                readOffset(line, out.offsets);
                continue;
            }
            const std::size_t eq = line.find('=');
            if (eq != std::string_view::npos)
                line.remove_prefix(eq + 1);
            out.rxOffsetY = fieldValue(line);
        }
    }
}

void commit(Parsed& p, TDataBlock& block)
{
    block.Date = std::move(p.date);
    block.Words = p.words;
    for (int k = 0; k < kChannelArrays; ++k) {
        block.Data[k] = std::move(p.data[k]);
        block.Present[k] = p.present[k];
    }
    block.Markers = std::move(p.markers);
    block.Annotations = std::move(p.annotations);
    std::string& notes = block.NotesStream();
    if (notes.empty())
        notes = std::move(p.notes);
    else
        notes.append(p.notes);
    block.RxOffsetY = p.rxOffsetY;
    block.Offsets = p.offsets;
}

// --- Writing -------------------------------------------------------------

constexpr std::uint64_t kPow10[] = {1ull,         10ull,         100ull,         1000ull,
                                    10000ull,     100000ull,     1000000ull,     10000000ull,
                                    100000000ull, 1000000000ull};
constexpr double kPow10d[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// Collects the file in a fixed chunk that goes to the sink whenever a line
// might no longer fit, so that even a long flight needs no big buffer.
class OutBuffer {
public:
    using Sink = std::function<bool(const char*, std::size_t)>;
    static constexpr std::size_t kChunk = 1 << 16;
    static constexpr std::size_t kLine = 8 * (kMaxFixedChars + 1) + 4;

    explicit OutBuffer(Sink sink) : sink_(std::move(sink)), buf_(new char[kChunk]) {}

    // Room for one line of numbers.
    char* room()
    {
        if (kChunk - fill_ < kLine)
            flush();
        return buf_.get() + fill_;
    }
    void done(char* end) { fill_ = static_cast<std::size_t>(end - buf_.get()); }
    void put(std::string_view s)
    {
        while (!s.empty()) {
            if (fill_ == kChunk)
                flush();
            const std::size_t n = std::min(s.size(), kChunk - fill_);
            std::memcpy(buf_.get() + fill_, s.data(), n);
            fill_ += n;
            s.remove_prefix(n);
        }
    }
    bool ok() const { return ok_; }
    bool finish()
    {
        flush();
        return ok_;
    }

private:
    void flush()
    {
        if (ok_ && fill_ > 0)
            ok_ = sink_(buf_.get(), fill_);
        fill_ = 0;
    }
    Sink sink_;
    std::unique_ptr<char[]> buf_;
    std::size_t fill_ = 0;
    bool ok_ = true;
};

inline char* putEol(char* p)
{
    p[0] = '\r';
    p[1] = '\n';
    return p + 2;
}

// A one-line text (date, annotation text): a line break inside it would
// break the file's structure, so it becomes a blank.
std::string oneLine(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        if (c == '\r' || c == '\n')
            c = ' ';
    return r;
}

void putLine(OutBuffer& out, std::string_view s)
{
    out.put(s);
    out.put(kEol);
}

} // namespace

// --- Numbers ---------------------------------------------------------------

namespace {

// Values too large for the integer path (|value| * 10^decimals >= 2^52):
// with at most 9 decimals they have at most 30 binary fraction digits, so 40
// decimals give the exact value, which is then rounded by hand.
char* fixedLarge(char* out, double value, int decimals)
{
    char buf[kMaxFixedChars + 64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 40);
    std::string_view exact(buf, static_cast<std::size_t>(r.ptr - buf));
    const bool neg = !exact.empty() && exact[0] == '-';
    if (neg)
        exact.remove_prefix(1);
    const std::size_t dot = exact.find('.');
    std::string digits(exact.substr(0, dot));
    digits.append(exact.substr(dot + 1, static_cast<std::size_t>(decimals)));
    if (exact[dot + 1 + static_cast<std::size_t>(decimals)] >= '5') {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i == 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[i - 1];
    }
    if (neg)
        *out++ = '-';
    const std::size_t whole = digits.size() - static_cast<std::size_t>(decimals);
    std::memcpy(out, digits.data(), whole);
    out += whole;
    if (decimals > 0) {
        *out++ = '.';
        std::memcpy(out, digits.data() + whole, static_cast<std::size_t>(decimals));
        out += decimals;
    }
    return out;
}

// The writer's path: the magnitude times 10^D rounded to an integer. p is
// that product rounded to a double; only when p ends in exactly .5 does
// the exact product (p plus the rest fma gives) decide which way to go.
template <int D>
inline char* fixed(char* out, double value)
{
    constexpr double scale = kPow10d[D];
    constexpr std::uint64_t div = kPow10[D];
    if (!std::isfinite(value))
        value = 0;
    const bool neg = value < 0;
    const double a = neg ? -value : value;
    const double p = a * scale;
    if (!(p < 0x1p52))
        return fixedLarge(out, value, D);
    auto t = static_cast<std::uint64_t>(p);
    const double frac = p - static_cast<double>(t);
    if (frac > 0.5 || (frac == 0.5 && std::fma(a, scale, -p) >= 0))
        ++t; // exactly half goes away from zero
    if (neg && t != 0)
        *out++ = '-'; // never "-0.00"
    const std::uint64_t ip = t / div;
    auto fp = static_cast<unsigned>(t - ip * div);
    out = std::to_chars(out, out + 24, ip).ptr;
    if constexpr (D > 0) {
        *out++ = '.';
        for (int d = D - 1; d >= 0; --d) {
            out[d] = static_cast<char>('0' + fp % 10);
            fp /= 10;
        }
        out += D;
    }
    return out;
}

} // namespace

char* FormatFixed(char* out, double value, int decimals)
{
    switch (decimals < 0 ? 0 : decimals > 9 ? 9 : decimals) {
    case 0: return fixed<0>(out, value);
    case 1: return fixed<1>(out, value);
    case 2: return fixed<2>(out, value);
    case 3: return fixed<3>(out, value);
    case 4: return fixed<4>(out, value);
    case 5: return fixed<5>(out, value);
    case 6: return fixed<6>(out, value);
    case 7: return fixed<7>(out, value);
    case 8: return fixed<8>(out, value);
    default: return fixed<9>(out, value);
    }
}

std::string FormatFixed(double value, int decimals)
{
    char buf[kMaxFixedChars];
    return std::string(buf, FormatFixed(buf, value, decimals));
}

bool ParseReal(std::string_view text, double& value)
{
    text = trim(text);
    if (text.empty()) {
        value = 0;
        return true;
    }
    const char* b = text.data();
    const char* e = b + text.size();
    if (*b == '+') {
        ++b;
        if (b == e || *b == '-' || *b == '+')
            return false;
    }
    // Only digits may start the number: no "inf", "nan" or hex forms.
    const char* d = b < e && *b == '-' ? b + 1 : b;
    if (d == e || !((*d >= '0' && *d <= '9') || *d == '.'))
        return false;
    double v = 0;
    const auto r = std::from_chars(b, e, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != e || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

// --- Reader ----------------------------------------------------------------

int ParseDataFile(std::string_view bytes, TDataBlock& block, double markerThreshold, IMessageService& msgs)
{
    try {
        Parsed parsed;
        parseInto(bytes, markerThreshold, parsed);
        commit(parsed, block);
        return block.SampleCount();
    } catch (const ReadFailure&) {
    } catch (const std::bad_alloc&) {
    }
    msgs.error(QString::fromLatin1(kErrReading));
    return 0;
}

int ReadDataFile(const QString& fileName, TDataBlock& block, double markerThreshold, IMessageService& msgs)
{
    if (fileName.isEmpty())
        return 0;
    // The whole file in one go, then parsed in memory.
    std::unique_ptr<char[]> buf;
    QByteArray seq;
    std::string_view bytes;
    {
        QFile f(fileName);
        bool ok = f.open(QIODevice::ReadOnly);
        try {
            if (ok && f.isSequential()) {
                seq = f.readAll();
                bytes = std::string_view(seq.constData(), static_cast<std::size_t>(seq.size()));
            } else if (ok) {
                const qint64 size = f.size();
                buf.reset(new char[static_cast<std::size_t>(std::max<qint64>(size, 1))]);
                prepareLarge(buf.get(), static_cast<std::size_t>(size));
                qint64 got = 0;
                while (got < size) {
                    const qint64 r = f.read(buf.get() + got, size - got);
                    if (r <= 0)
                        break;
                    got += r;
                }
                bytes = std::string_view(buf.get(), static_cast<std::size_t>(got));
            }
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        ok = ok && f.error() == QFileDevice::NoError;
        if (!ok) {
            msgs.error(QString::fromLatin1(kErrReading));
            return 0;
        }
    }
    return ParseDataFile(bytes, block, markerThreshold, msgs);
}

// --- Writer ----------------------------------------------------------------

namespace {

// Writes the whole file into out; false when the sink failed.
bool writeRecord(const TDataBlock& block, OutBuffer& out)
{
    const std::vector<double>& time = block.Data[ArrTime];
    const std::size_t count = time.size();

    // Columns: every non-empty channel array, in order.
    std::array<const std::vector<double>*, kChannelArrays> cols{};
    int ncols = 0;
    bool lengthsAgree = true;
    for (int k = 1; k < kChannelArrays; ++k)
        if (!block.Data[k].empty()) {
            cols[ncols++] = &block.Data[k];
            lengthsAgree = lengthsAgree && block.Data[k].size() == count;
        }
    QV_ASSERT(lengthsAgree, "Channel arrays differ in length from the time array in FormatDataFile");

    out.put(kTagHeader);
    out.put(kEol);
    putLine(out, oneLine(block.Date));
    for (const std::int32_t w : block.Words) {
        char* p = out.room();
        p = std::to_chars(p, p + 16, w).ptr;
        out.done(putEol(p));
    }
    putLine(out, kTagHeaderEnd);
    putLine(out, kTagData);

    for (std::size_t i = 0; i < count && out.ok(); ++i) {
        char* p = out.room();
        p = fixed<kTimeDecimals>(p, time[i]);
        for (int c = 0; c < ncols; ++c) {
            const std::vector<double>& a = *cols[c];
            *p++ = ',';
            p = fixed<kValueDecimals>(p, i < a.size() ? a[i] : 0.0);
        }
        out.done(putEol(p));
    }
    putLine(out, kTagDataEnd);

    if (!block.Annotations.empty()) {
        putLine(out, kTagAnnot);
        for (const TAnotace& a : block.Annotations) {
            char* p = out.room();
            p = FormatFixed(p, a.Time, kValueDecimals);
            *p++ = ',';
            p = FormatFixed(p, a.Altitude, kValueDecimals);
            *p++ = ',';
            out.done(p);
            putLine(out, oneLine(a.Text));
        }
        putLine(out, kTagAnnotEnd);
    }

    // The notes, every line ended by CR LF like the rest of the file.
    putLine(out, kTagText);
    {
        std::string_view notes = block.NotesText();
        for (;;) {
            const std::size_t lf = notes.find('\n');
            std::string_view l = notes.substr(0, lf);
            while (!l.empty() && l.back() == '\r')
                l.remove_suffix(1);
            putLine(out, l);
            if (lf == std::string_view::npos)
                break;
            notes.remove_prefix(lf + 1);
        }
    }
    putLine(out, kTagTextEnd);

    putLine(out, kTagExtra);
    {
        char* p = out.room();
        std::memcpy(p, "RxOffsetY=", 10);
        p = FormatFixed(p + 10, block.RxOffsetY, kValueDecimals);
        out.done(putEol(p));
    }
    // The other curve offsets, only those in use.
    for (const auto& [key, field] : kOffsetKeys) {
        const double v = block.Offsets.*field;
        if (v == 0)
            continue;
        char* p = out.room();
        std::memcpy(p, key.data(), key.size());
        p[key.size()] = '=';
        out.done(putEol(FormatFixed(p + key.size() + 1, v, kValueDecimals)));
    }
    putLine(out, kTagExtraEnd);
    return out.finish();
}

} // namespace

std::string FormatDataFile(const TDataBlock& block)
{
    std::string s;
    s.reserve(256 + block.Date.size() + block.NotesText().size() * 2 + block.Annotations.size() * 40 +
              block.Data[ArrTime].size() * 40);
    prepareLarge(s.data(), s.capacity());
    OutBuffer out([&s](const char* p, std::size_t n) {
        s.append(p, n);
        return true;
    });
    writeRecord(block, out);
    return s;
}

bool WriteDataFile(const QString& fileName, const TDataBlock& block, IMessageService& msgs)
{
    // The new text goes to a temporary file beside the target, which replaces
    // the old file only after it was written and flushed completely.
    QSaveFile f(fileName);
    f.setDirectWriteFallback(false);
    bool ok = !fileName.isEmpty() && f.open(QIODevice::WriteOnly);
    if (ok) {
        try {
            OutBuffer out([&f](const char* p, std::size_t n) {
                while (n > 0) {
                    const qint64 w = f.write(p, static_cast<qint64>(n));
                    if (w <= 0)
                        return false;
                    p += w;
                    n -= static_cast<std::size_t>(w);
                }
                return true;
            });
            ok = writeRecord(block, out) && f.commit();
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (!ok) {
        f.cancelWriting();
        msgs.error(QString::fromLatin1(kErrWriting));
        return false;
    }
    return true;
}

} // namespace qv
