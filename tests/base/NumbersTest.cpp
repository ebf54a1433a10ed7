#include "base/Numbers.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(ParseUserNumber, PointOrCommaIsTheDecimalSeparatorNeverAThousandsSeparator)
{
    EXPECT_DOUBLE_EQ(*ParseUserNumber(QStringLiteral(" 0.125 ")), 0.125);
    EXPECT_DOUBLE_EQ(*ParseUserNumber(QStringLiteral("0,125")), 0.125);
    EXPECT_DOUBLE_EQ(*ParseUserNumber(QStringLiteral("-2,500")), -2.5);
    EXPECT_FALSE(ParseUserNumber(QStringLiteral("1,234.5")));
    EXPECT_FALSE(ParseUserNumber(QStringLiteral("1 234")));
}

TEST(ParseUserNumber, EmptyGarbageAndNonFiniteTextGiveTheFallback)
{
    for (const char* t : {"", "  ", "abc", "1.5x", "inf", "nan", "1e400"})
        EXPECT_DOUBLE_EQ(ParseUserNumber(QString::fromLatin1(t), 7.0), 7.0) << t;
    EXPECT_DOUBLE_EQ(ParseUserNumber(QStringLiteral("1e3"), 7.0), 1000.0);
}

TEST(ParseUserNumber, SystemCommaLocaleReadsTheSame)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    EXPECT_DOUBLE_EQ(ParseUserNumber(QStringLiteral("9,8"), 0), 9.8);
    EXPECT_DOUBLE_EQ(ParseUserNumber(QStringLiteral("9.8"), 0), 9.8);
    QLocale::setDefault(saved);
}

} // namespace
} // namespace qv
