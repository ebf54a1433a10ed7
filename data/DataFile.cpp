#include "data/DataFile.h"

#include "app/Assert.h"
#include "ui/MessageService.h"

#include <QFile>
#include <QSaveFile>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

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
constexpr std::string_view kEol = "\r\n";

// An input/output failure inside the reader (a header word missing or not a
// number, memory exhausted); reported as "Error in reading file.".
struct ReadFailure {};

// Lines of a file held in memory. A line ends at LF; the CRs before the LF
// (CR LF files, stray CRs) are not part of the line. A last line without a
// line end still counts; nothing after the last line end is no line.
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

private:
    const char* p_;
    const char* end_;
};

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
};

void parseInto(std::string_view bytes, double markerThreshold, Parsed& out)
{
    // Count the lines of the data section.
    std::size_t count = 0;
    {
        LineReader in(bytes);
        bool closed = false;
        if (in.skipTo(kTagData)) {
            std::string_view line;
            while (in.next(line)) {
                if (line == kTagDataEnd) {
                    closed = true;
                    break;
                }
                ++count;
            }
        }
        if (!closed)
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

    std::array<double*, 17> dest{};
    for (int c = 0; c <= n; ++c)
        if (target[c] >= 0) {
            out.data[target[c]].resize(count);
            dest[c] = out.data[target[c]].data();
        }

    std::size_t samples = 0;
    while (samples < count && in.next(line)) {
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
                dest[c][samples] = v;
        }
        ++samples;
    }
    if (samples < count)
        for (auto& a : out.data)
            if (!a.empty())
                a.resize(samples);

    if (flags & kArrayMask[ArrRx]) {
        const std::vector<double>& rx = out.data[ArrRx];
        out.markers.resize(rx.size());
        for (std::size_t i = 0; i < rx.size(); ++i)
            out.markers[i] = rx[i] > markerThreshold ? 1 : 0;
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
            if (line.find(kRxOffsetKey) == std::string_view::npos)
                continue;
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
}

// --- Writing -------------------------------------------------------------

constexpr std::uint64_t kPow10[] = {1ull,         10ull,         100ull,         1000ull,
                                    10000ull,     100000ull,     1000000ull,     10000000ull,
                                    100000000ull, 1000000000ull};
constexpr double kPow10d[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// Builds the file in a fixed chunk that is moved into the result string
// whenever a line might no longer fit.
class OutBuffer {
public:
    static constexpr std::size_t kChunk = 1 << 16;
    static constexpr std::size_t kLine = 8 * (kMaxFixedChars + 1) + 4;

    explicit OutBuffer(std::size_t expected) { out_.reserve(expected); }

    char* room()
    {
        if (kChunk - fill_ < kLine)
            flush();
        return buf_ + fill_;
    }
    void done(char* end) { fill_ = static_cast<std::size_t>(end - buf_); }
    void put(std::string_view s)
    {
        flush();
        out_.append(s);
    }
    std::string take()
    {
        flush();
        return std::move(out_);
    }

private:
    void flush()
    {
        out_.append(buf_, fill_);
        fill_ = 0;
    }
    char buf_[kChunk];
    std::size_t fill_ = 0;
    std::string out_;
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

char* FormatFixed(char* out, double value, int decimals)
{
    if (decimals < 0)
        decimals = 0;
    if (decimals > 9)
        decimals = 9;
    if (!std::isfinite(value))
        value = 0;
    const double scale = kPow10d[decimals];
    const double p = value * scale;
    if (!(std::fabs(p) < 0x1p52)) {
        // Far beyond any measured value: the exact value, correctly rounded.
        const auto r = std::to_chars(out, out + kMaxFixedChars, value, std::chars_format::fixed, decimals);
        return r.ptr;
    }
    // p is value * scale rounded to a double; err is the exact rest, so
    // p + err is the exact product and decides the halves p cannot.
    const double err = std::fma(value, scale, -p);
    const double f = std::floor(p);
    const double frac = p - f;
    double rounded;
    if (frac > 0.5)
        rounded = f + 1;
    else if (frac < 0.5)
        rounded = f;
    else if (err > 0)
        rounded = f + 1;
    else if (err < 0)
        rounded = f;
    else
        rounded = p > 0 ? f + 1 : f; // exactly half: away from zero
    const auto n = static_cast<std::int64_t>(rounded);
    std::uint64_t u;
    if (n < 0) {
        *out++ = '-';
        u = static_cast<std::uint64_t>(-n);
    } else {
        u = static_cast<std::uint64_t>(n);
    }
    const std::uint64_t ip = u / kPow10[decimals];
    std::uint64_t fp = u % kPow10[decimals];
    out = std::to_chars(out, out + 24, ip).ptr;
    if (decimals > 0) {
        *out++ = '.';
        for (int d = decimals - 1; d >= 0; --d) {
            out[d] = static_cast<char>('0' + fp % 10);
            fp /= 10;
        }
        out += decimals;
    }
    return out;
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
    QByteArray bytes;
    {
        QFile f(fileName);
        bool ok = f.open(QIODevice::ReadOnly);
        if (ok) {
            try {
                bytes = f.readAll();
            } catch (const std::bad_alloc&) {
                ok = false;
            }
            ok = ok && f.error() == QFileDevice::NoError;
        }
        if (!ok) {
            msgs.error(QString::fromLatin1(kErrReading));
            return 0;
        }
    }
    return ParseDataFile(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), block,
                         markerThreshold, msgs);
}

// --- Writer ----------------------------------------------------------------

std::string FormatDataFile(const TDataBlock& block)
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

    std::size_t expected = 256 + block.Date.size() + block.NotesText().size() * 2 +
                           block.Annotations.size() * 40 + count * (8 + 10 * static_cast<std::size_t>(ncols));
    OutBuffer out(expected);

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

    for (std::size_t i = 0; i < count; ++i) {
        char* p = out.room();
        p = FormatFixed(p, time[i], kTimeDecimals);
        for (int c = 0; c < ncols; ++c) {
            const std::vector<double>& a = *cols[c];
            *p++ = ',';
            p = FormatFixed(p, i < a.size() ? a[i] : 0.0, kValueDecimals);
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
    putLine(out, kTagExtraEnd);
    return out.take();
}

bool WriteDataFile(const QString& fileName, const TDataBlock& block, IMessageService& msgs)
{
    std::string bytes;
    try {
        bytes = FormatDataFile(block);
    } catch (const std::bad_alloc&) {
        msgs.error(QString::fromLatin1(kErrWriting));
        return false;
    }
    // The new text goes to a temporary file beside the target, which replaces
    // the old file only after it was written and flushed completely.
    QSaveFile f(fileName);
    f.setDirectWriteFallback(false);
    bool ok = !fileName.isEmpty() && f.open(QIODevice::WriteOnly);
    if (ok) {
        const char* p = bytes.data();
        qint64 left = static_cast<qint64>(bytes.size());
        while (ok && left > 0) {
            const qint64 w = f.write(p, left);
            ok = w > 0;
            p += ok ? w : 0;
            left -= ok ? w : 0;
        }
        ok = ok && f.commit();
    }
    if (!ok) {
        f.cancelWriting();
        msgs.error(QString::fromLatin1(kErrWriting));
        return false;
    }
    return true;
}

} // namespace qv
