#include "browser/RtfCodePage.h"

#include "base/Cp1250.h"

#include <vector>

namespace qv::rtf {

namespace {
// Windows-1252 differs from Latin-1 only in 0x80..0x9F; its five
// undefined bytes keep the C1 control of the same number.
constexpr char16_t k1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Highest character of Windows-1250 (U+2122, the trade mark sign).
constexpr int kReverseSize = 0x2123;

struct Reverse1250 {
    Reverse1250() : bytes(kReverseSize, -1)
    {
        const TCodePage& cp = CodePage1250();
        for (int b = 0; b < 256; ++b)
            bytes[cp[b]] = static_cast<short>(b);
    }
    std::vector<short> bytes;
};
} // namespace

const TCodePage& CodePage1250()
{
    static const TCodePage table = [] {
        TCodePage t{};
        std::string all(256, '\0');
        for (int b = 0; b < 256; ++b)
            all[b] = static_cast<char>(b);
        const QString s = FromCp1250(all);
        for (int b = 0; b < 256; ++b)
            t[b] = s.at(b).unicode();
        return t;
    }();
    return table;
}

const TCodePage& CodePage1252()
{
    static const TCodePage table = [] {
        TCodePage t{};
        for (int b = 0; b < 256; ++b)
            t[b] = static_cast<char16_t>(b);
        for (int b = 0; b < 32; ++b)
            t[0x80 + b] = k1252High[b];
        return t;
    }();
    return table;
}

const TCodePage& CodePageOf(int codePage) { return codePage == 1252 ? CodePage1252() : CodePage1250(); }

int CodePageOfCharset(int charset)
{
    switch (charset) {
    case 0:   // ANSI
    case 2:   // symbol fonts draw their own glyphs for the Western bytes
        return 1252;
    case 238: // Eastern European
        return 1250;
    default:
        return 0;
    }
}

int Cp1250Byte(char16_t c)
{
    if (c < 0x80)
        return c;
    static const Reverse1250 rev;
    return c < kReverseSize ? rev.bytes[c] : -1;
}

} // namespace qv::rtf
