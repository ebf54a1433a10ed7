#include "base/Assert.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

TEST(Assert, ReportFormatAndUnitName)
{
    EXPECT_EQ(qv::FormatAssertReport("P<>nil in GetFullName", "MainFrm", 42, 0x1a2b),
              QStringLiteral("P<>nil in GetFullName (MainFrm, line 42, address $1a2b)"));
    EXPECT_EQ(qv::UnitNameFromPath("/src/app/MainFrm.cpp"), QStringLiteral("MainFrm"));
    EXPECT_EQ(qv::UnitNameFromPath("Data.h"), QStringLiteral("Data"));
}

TEST(Assert, FailedCheckReportsAndContinues)
{
    QStringList reports;
    qv::SetAssertSink([&](const QString& r) { reports << r; });
    bool reached = false;
    if (!QV_ASSERT(1 + 1 == 3, "first"))
        reached = true;
    EXPECT_TRUE(QV_ASSERT(true, "never"));
    QV_ASSERT(false, "second");
    EXPECT_TRUE(reached);
    ASSERT_EQ(reports.size(), 2);
    EXPECT_TRUE(reports[0].startsWith("first (AssertTest, line "));
    EXPECT_TRUE(reports[1].startsWith("second (AssertTest, line "));
    EXPECT_FALSE(reports[1].endsWith("address $0)")); // the code address is known here

    // While terminating, only the debugger output gets the report.
    qv::SetApplicationTerminating(true);
    QV_ASSERT(false, "late");
    qv::SetApplicationTerminating(false);
    EXPECT_EQ(reports.size(), 2);
    qv::SetAssertSink(nullptr);
}

} // namespace
