#include "data/DataFile.h"

#include "base/Assert.h"
#include "base/MessageService.h"
#include "data/DataFileDetail.h"

#include "base/CheckedWrite.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

namespace qv {

namespace {

using namespace detail;

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
    char* Room()
    {
        if (kChunk - fill_ < kLine)
            Flush();
        return buf_.get() + fill_;
    }
    void done(char* end) { fill_ = static_cast<std::size_t>(end - buf_.get()); }
    void Put(std::string_view s)
    {
        while (!s.empty()) {
            if (fill_ == kChunk)
                Flush();
            const std::size_t n = std::min(s.size(), kChunk - fill_);
            std::memcpy(buf_.get() + fill_, s.data(), n);
            fill_ += n;
            s.remove_prefix(n);
        }
    }
    bool Ok() const { return ok_; }
    bool Finish()
    {
        Flush();
        return ok_;
    }

private:
    void Flush()
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

inline char* PutEol(char* p)
{
    p[0] = '\r';
    p[1] = '\n';
    return p + 2;
}

// A one-line text (date, annotation text): a line break inside it would
// break the file's structure, so it becomes a blank.
std::string OneLine(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        if (c == '\r' || c == '\n')
            c = ' ';
    return r;
}

void PutLine(OutBuffer& out, std::string_view s)
{
    out.Put(s);
    out.Put(kEol);
}

} // namespace

// --- Numbers ---------------------------------------------------------------

namespace {

// Values too large for the integer path (|value| * 10^decimals >= 2^52):
// with at most 9 decimals they have at most 30 binary fraction digits, so 40
// decimals give the exact value, which is then rounded by hand.
char* FixedLarge(char* out, double value, int decimals)
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
inline char* Fixed(char* out, double value)
{
    constexpr double scale = kPow10d[D];
    constexpr std::uint64_t div = kPow10[D];
    if (!std::isfinite(value))
        value = 0;
    const bool neg = value < 0;
    const double a = neg ? -value : value;
    const double p = a * scale;
    if (!(p < 0x1p52))
        return FixedLarge(out, value, D);
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
    case 0: return Fixed<0>(out, value);
    case 1: return Fixed<1>(out, value);
    case 2: return Fixed<2>(out, value);
    case 3: return Fixed<3>(out, value);
    case 4: return Fixed<4>(out, value);
    case 5: return Fixed<5>(out, value);
    case 6: return Fixed<6>(out, value);
    case 7: return Fixed<7>(out, value);
    case 8: return Fixed<8>(out, value);
    default: return Fixed<9>(out, value);
    }
}

std::string FormatFixed(double value, int decimals)
{
    char buf[kMaxFixedChars];
    return std::string(buf, FormatFixed(buf, value, decimals));
}

// --- Writer ----------------------------------------------------------------

namespace {

// Writes the whole file into out; false when the sink failed.
bool WriteRecord(const TDataBlock& block, OutBuffer& out)
{
    const std::vector<double>& time = block.Samples(ArrTime);
    const std::size_t count = time.size();

    // Columns: every non-empty channel array, in order.
    std::array<const std::vector<double>*, kChannelArrays> cols{};
    int ncols = 0;
    bool lengthsAgree = true;
    for (int k = 1; k < kChannelArrays; ++k)
        if (block.HasArray(k)) {
            cols[ncols++] = &block.Samples(k);
            lengthsAgree = lengthsAgree && block.Samples(k).size() == count;
        }
    QV_ASSERT(lengthsAgree, "Channel arrays differ in length from the time array in FormatDataFile");

    out.Put(kTagHeader);
    out.Put(kEol);
    PutLine(out, OneLine(block.Date));
    for (const std::int32_t w : block.Words) {
        char* p = out.Room();
        p = std::to_chars(p, p + 16, w).ptr;
        out.done(PutEol(p));
    }
    PutLine(out, kTagHeaderEnd);
    PutLine(out, kTagData);

    for (std::size_t i = 0; i < count && out.Ok(); ++i) {
        char* p = out.Room();
        p = Fixed<kTimeDecimals>(p, time[i]);
        for (int c = 0; c < ncols; ++c) {
            const std::vector<double>& a = *cols[c];
            *p++ = ',';
            p = Fixed<kValueDecimals>(p, i < a.size() ? a[i] : 0.0);
        }
        out.done(PutEol(p));
    }
    PutLine(out, kTagDataEnd);

    if (!block.Annotations.empty()) {
        PutLine(out, kTagAnnot);
        for (const TAnotace& a : block.Annotations) {
            char* p = out.Room();
            p = FormatFixed(p, a.Time, kValueDecimals);
            *p++ = ',';
            p = FormatFixed(p, a.Altitude, kValueDecimals);
            *p++ = ',';
            out.done(p);
            PutLine(out, OneLine(a.Text));
        }
        PutLine(out, kTagAnnotEnd);
    }

    // The notes, every line ended by CR LF like the rest of the file.
    PutLine(out, kTagText);
    {
        std::string_view notes = block.NotesText();
        for (;;) {
            const std::size_t lf = notes.find('\n');
            std::string_view l = notes.substr(0, lf);
            while (!l.empty() && l.back() == '\r')
                l.remove_suffix(1);
            PutLine(out, l);
            if (lf == std::string_view::npos)
                break;
            notes.remove_prefix(lf + 1);
        }
    }
    PutLine(out, kTagTextEnd);

    PutLine(out, kTagExtra);
    {
        char* p = out.Room();
        std::memcpy(p, "RxOffsetY=", 10);
        p = FormatFixed(p + 10, block.RxOffsetY, kValueDecimals);
        out.done(PutEol(p));
    }
    // The other curve offsets, only those in use.
    for (const auto& [key, field] : kOffsetKeys) {
        const double v = block.Offsets.*field;
        if (v == 0)
            continue;
        char* p = out.Room();
        std::memcpy(p, key.data(), key.size());
        p[key.size()] = '=';
        out.done(PutEol(FormatFixed(p + key.size() + 1, v, kValueDecimals)));
    }
    PutLine(out, kTagExtraEnd);
    return out.Finish();
}

} // namespace

std::string FormatDataFile(const TDataBlock& block)
{
    std::string s;
    s.reserve(256 + block.Date.size() + block.NotesText().size() * 2 + block.Annotations.size() * 40 +
              block.Samples(ArrTime).size() * 40);
    PrepareLarge(s.data(), s.capacity());
    OutBuffer out([&s](const char* p, std::size_t n) {
        s.append(p, n);
        return true;
    });
    WriteRecord(block, out);
    return s;
}

bool WriteDataFile(const QString& fileName, const TDataBlock& block, IMessageService& msgs)
{
    TCheckedWriter writer;
    return WriteDataFile(fileName, block, msgs, writer);
}

bool WriteDataFile(const QString& fileName, const TDataBlock& block, IMessageService& msgs, TCheckedWriter& writer)
{
    TWriteResult r;
    try {
        r = writer.Write(fileName, [&block](const TByteSink& sink) {
            OutBuffer out(sink);
            return WriteRecord(block, out);
        });
    } catch (const std::bad_alloc&) {
        r = TWriteResult{};
        r.Error = QStringLiteral("Out of memory");
    }
    if (!r.Ok) {
        msgs.Error(WriteErrorText(fileName, r));
        return false;
    }
    if (const QString notice = WriteNoticeText(fileName, r); !notice.isEmpty())
        msgs.Information(notice);
    return true;
}

} // namespace qv
