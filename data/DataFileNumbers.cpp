// Real numbers as the flight files hold them: the reader's parser.
#include "data/DataFile.h"
#include "data/DataFileDetail.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace qv {

using detail::Trim;

namespace {

// Whether the well-formed number in [b, e) is below 1 in magnitude, told
// from its digits and exponent alone (the parser refuses values out of the
// range of a double without saying on which side they fall).
bool BelowOne(const char* b, const char* e)
{
    if (b < e && (*b == '-' || *b == '+'))
        ++b;
    long long order = 0; // decimal position of the first non-zero digit
    bool found = false, point = false;
    for (; b < e && *b != 'e' && *b != 'E'; ++b) {
        if (*b == '.') {
            point = true;
        } else if (!found && *b != '0') {
            found = true;
            order += point ? -1 : 0;
        } else if (!found && point) {
            --order;
        } else if (found && !point) {
            ++order;
        }
    }
    if (!found)
        return true;
    long long exponent = 0;
    if (b < e) {
        ++b;
        const bool negative = b < e && *b == '-';
        if (b < e && (*b == '-' || *b == '+'))
            ++b;
        for (; b < e && exponent < 1000000000; ++b)
            exponent = exponent * 10 + (*b - '0');
        if (negative)
            exponent = -exponent;
    }
    return order + exponent < 0;
}

} // namespace

bool ParseReal(std::string_view text, double& value)
{
    text = Trim(text);
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
    if (r.ptr != e)
        return false;
    if (r.ec == std::errc::result_out_of_range && BelowOne(b, e)) {
        value = 0; // too small for a double: zero, as any decimal parser gives
        return true;
    }
    if (r.ec != std::errc() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

} // namespace qv
