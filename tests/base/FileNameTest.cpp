#include "base/FileName.h"

#include <gtest/gtest.h>

namespace {

using namespace qv;

TEST(FileName, EveryByteOfANameSurvivesAndBytesThatAreNotTextShowAsReplacements)
{
    for (const char* bytes : {"plain", "\xc4\x8d\xc3\xa9", "cz\xe9\x9a.kdf", "\xc0\x80", "\xed\xa0\x80",
                              "\xf4\x90\x80\x80", "\xe2\x82", "a\xffz", "/data/f\xe9/\xf0\x9f\x9b\xa9.kdf"})
        EXPECT_EQ(NativeName(NameFromNative(bytes)), QByteArray(bytes)) << bytes;
    EXPECT_EQ(NameFromNative("\xc4\x8d\xc3\xa9"), QString::fromUtf8("čé"));
    EXPECT_TRUE(QtCanName(NameFromNative("\xc4\x8d\xc3\xa9")));
    const QString odd = NameFromNative("cz\xe9\x9a.kdf");
    EXPECT_FALSE(QtCanName(odd));
    EXPECT_EQ(ShownName(odd), QStringLiteral("cz\uFFFD\uFFFD.kdf"));
    // An escaped byte next to a character of several bytes.
    EXPECT_EQ(ShownName(NameFromNative("\xc4\x8d\xe9")), QStringLiteral("\u010D\uFFFD"));
}

} // namespace
