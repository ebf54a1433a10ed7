// Numbers as the flight files hold them: fixed-point writing and parsing.
#include "data/DataFile.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace {

using qv::FormatFixed;
using qv::ParseReal;

TEST(FormatFixed, DecimalsAndPlainValues)
{
    EXPECT_EQ(FormatFixed(7, 1), "7.0");
    EXPECT_EQ(FormatFixed(7, 2), "7.00");
    EXPECT_EQ(FormatFixed(12.34, 1), "12.3");
    EXPECT_EQ(FormatFixed(101.25, 2), "101.25");
    EXPECT_EQ(FormatFixed(-3, 2), "-3.00");
    EXPECT_EQ(FormatFixed(0, 2), "0.00");
    EXPECT_EQ(FormatFixed(123456789.987, 2), "123456789.99");
    EXPECT_EQ(FormatFixed(-0.5, 1), "-0.5");
    EXPECT_EQ(FormatFixed(1e20, 2), "100000000000000000000.00");
}

TEST(FormatFixed, ExactHalvesGoAwayFromZero)
{
    EXPECT_EQ(FormatFixed(0.125, 2), "0.13");
    EXPECT_EQ(FormatFixed(-0.125, 2), "-0.13");
    EXPECT_EQ(FormatFixed(0.25, 1), "0.3");
    EXPECT_EQ(FormatFixed(-0.25, 1), "-0.3");
    EXPECT_EQ(FormatFixed(2.5, 0), "3");
    EXPECT_EQ(FormatFixed(-2.5, 0), "-3");
    EXPECT_EQ(FormatFixed(1.375, 2), "1.38");
    EXPECT_EQ(FormatFixed(1024.625, 2), "1024.63");
    // Beyond the integer path (value * 100 >= 2^52).
    EXPECT_EQ(FormatFixed(70368744177664.125, 2), "70368744177664.13");
    EXPECT_EQ(FormatFixed(-70368744177664.125, 2), "-70368744177664.13");
    EXPECT_EQ(FormatFixed(70368744177663.99609375, 2), "70368744177664.00");
    EXPECT_EQ(FormatFixed(4503599627370495.5, 1), "4503599627370495.5");
    EXPECT_EQ(FormatFixed(4503599627370495.5, 0), "4503599627370496");
    EXPECT_EQ(FormatFixed(4503599.6274833755, 9), "4503599.627483375"); // exact ...375370...
    EXPECT_EQ(FormatFixed(0x1p23 + 0x1p-29, 9), "8388608.000000002");   // ...0018626451...
}

TEST(FormatFixed, NearHalvesFollowTheExactBinaryValue)
{
    // 2.675 is stored as 2.67499999999999982..., 0.15 as 0.1499999999999999944...
    EXPECT_EQ(FormatFixed(2.675, 2), "2.67");
    EXPECT_EQ(FormatFixed(0.15, 1), "0.1");
    // 1.005 is stored as 1.00499999999999989..., 0.35 as 0.34999999999999997...
    EXPECT_EQ(FormatFixed(1.005, 2), "1.00");
    EXPECT_EQ(FormatFixed(0.35, 1), "0.3");
    // -0.05 is stored slightly below -0.05.
    EXPECT_EQ(FormatFixed(-0.05, 1), "-0.1");
}

TEST(FormatFixed, NoNegativeZero)
{
    EXPECT_EQ(FormatFixed(-0.0, 2), "0.00");
    EXPECT_EQ(FormatFixed(-0.001, 2), "0.00");
    EXPECT_EQ(FormatFixed(-0.004999, 2), "0.00");
    EXPECT_EQ(FormatFixed(-0.04, 1), "0.0");
    EXPECT_EQ(FormatFixed(-1e-300, 2), "0.00");
    EXPECT_EQ(FormatFixed(-0.005, 2), "-0.01"); // stored a hair above 0.005 in magnitude
}

TEST(FormatFixed, NonFiniteAndHugeValues)
{
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 2), "0.00");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 1), "0.0");
    const std::string big = FormatFixed(-std::numeric_limits<double>::max(), 2);
    EXPECT_EQ(big.size(), 1u + 309u + 3u);
    EXPECT_LE(static_cast<int>(big.size()), qv::kMaxFixedChars);
    double back = 0;
    ASSERT_TRUE(ParseReal(big, back));
    EXPECT_EQ(back, -std::numeric_limits<double>::max());
}

// Reference: the exact decimal expansion of the double (to_chars with enough
// digits is exact), rounded half away from zero by hand.
std::string referenceFixed(double v, int decimals)
{
    char buf[1200];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1100);
    std::string s(buf, r.ptr);
    bool neg = s[0] == '-';
    if (neg)
        s.erase(0, 1);
    const std::size_t dot = s.find('.');
    std::string digits = s.substr(0, dot) + s.substr(dot + 1, decimals);
    const char next = s[dot + 1 + decimals];
    if (next >= '5') {
        int i = static_cast<int>(digits.size()) - 1;
        while (i >= 0 && digits[i] == '9')
            digits[i--] = '0';
        if (i < 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[i];
    }
    std::string out = digits.substr(0, digits.size() - decimals);
    if (decimals)
        out += "." + digits.substr(digits.size() - decimals);
    if (out.find_first_not_of("0.") == std::string::npos)
        neg = false;
    return neg ? "-" + out : out;
}

TEST(FormatFixed, AgreesWithExactDecimalRounding)
{
    std::mt19937_64 rng(12345);
    std::uniform_int_distribution<int> exp(-12, 60);
    std::uniform_real_distribution<double> mant(-1, 1);
    std::uniform_int_distribution<long> grid(-2000000, 2000000);
    for (int i = 0; i < 20000; ++i) {
        double v;
        switch (i % 4) {
        case 0: v = std::ldexp(mant(rng), exp(rng)); break;
        case 1: v = grid(rng) / 1000.0; break;  // third decimal 5 near halves
        case 2: v = grid(rng) / 8.0 * (i % 8 == 2 ? 0x1p30 : 1); break; // exact binary halves
        default: v = grid(rng) / 100.0; break;  // values on the grid
        }
        for (int d : {1, 2, 5, 9}) {
            ASSERT_EQ(FormatFixed(v, d), referenceFixed(v, d)) << "value " << v << " decimals " << d;
        }
    }
}

TEST(ParseReal, AcceptsPlainDecimalNumbers)
{
    const std::pair<const char*, double> good[] = {
        {"1", 1},       {"+1", 1},    {"-1.5", -1.5}, {".5", 0.5},   {"5.", 5},     {"1e3", 1000},
        {"-2.5E-1", -0.25}, {" 2 ", 2}, {"", 0},     {"   ", 0},    {"0001.10", 1.1}, {"1e-320", 1e-320}};
    for (const auto& [text, value] : good) {
        double v = 123;
        EXPECT_TRUE(ParseReal(text, v)) << text;
        EXPECT_EQ(v, value) << text;
    }
}

TEST(ParseReal, RefusesWhatIsNoFiniteNumber)
{
    for (const char* text : {"1e400", "-1e400", "nan", "NaN", "inf", "-inf", "infinity", "--1", "+-1", "-+1",
                             "++1", "1e", "0x10", "1,5", "abc", "1 2", ".", "-", "+", "e5", "1.2.3", "1e5x"}) {
        double v = 123;
        EXPECT_FALSE(ParseReal(text, v)) << text;
        EXPECT_EQ(v, 123) << text;
    }
    const std::string withNul("1\0", 2);
    double v = 0;
    EXPECT_FALSE(ParseReal(std::string_view("1\0" "2", 3), v));
    EXPECT_TRUE(ParseReal(withNul, v)); // a NUL counts as a blank around the number
}

} // namespace
