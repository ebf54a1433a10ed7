#pragma once
// Shared by the reader and the writer of the flight data files.
#include "data/FileOffsets.h"

#include <cstddef>
#include <utility>
#include <cstdint>
#include <string_view>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qv::detail {

inline constexpr std::string_view kTagHeader = "<Header>";
inline constexpr std::string_view kTagHeaderEnd = "</Header>";
inline constexpr std::string_view kTagData = "<Data>";
inline constexpr std::string_view kTagDataEnd = "</Data>";
inline constexpr std::string_view kTagAnnot = "<Anotace>";
inline constexpr std::string_view kTagAnnotEnd = "</Anotace>";
inline constexpr std::string_view kTagText = "<Text>";
inline constexpr std::string_view kTagTextEnd = "</Text>";
inline constexpr std::string_view kTagExtra = "<Extra>";
inline constexpr std::string_view kTagExtraEnd = "</Extra>";
inline constexpr std::string_view kRxOffsetKey = "RxOffsetY";
// Further offsets of the extra section; no key may contain "RxOffsetY".
inline constexpr std::pair<std::string_view, double TFileOffsets::*> kOffsetKeys[] = {
    {"AltOffsetX", &TFileOffsets::AltX}, {"AltOffsetY", &TFileOffsets::AltY}, {"RxOffsetX", &TFileOffsets::RxX},
    {"VoltOffsetX", &TFileOffsets::VoltX}, {"VoltOffsetY", &TFileOffsets::VoltY}};
inline constexpr std::string_view kEol = "\r\n";

// Large blocks about to be filled are backed by memory up front: huge pages
// where the system offers them and the page tables filled in one call. On
// some virtual machines a page fault costs more than parsing the page;
// both are hints that change nothing else.
inline void PrepareLarge(const void* p, std::size_t bytes)
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
inline void ReserveLarge(std::vector<T>& v, std::size_t n)
{
    v.reserve(n);
    PrepareLarge(v.data(), n * sizeof(T));
}

// Blanks around the fields of a line: every control character and space.
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

inline std::string_view TrimStart(std::string_view s)
{
    std::size_t b = 0;
    while (b < s.size() && IsBlank(s[b]))
        ++b;
    return s.substr(b);
}

inline std::string_view Trim(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

} // namespace qv::detail
