#include "OpenFlightsFixture.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using namespace qv::test;

TEST_F(OpenDataTest, SeveralFilesOpenInOneGoWithOneMessageForTheFailures)
{
    const QString a = WriteDefault("a.kdf");
    const QString b = WriteDefault("b.kdf");
    const QString bad = dir.file("bad.kdf");
    WriteAll(bad, " <Header>\r\nx\r\n<Data>\r\n1\r\n</Data>\r\n");
    const QString missing = dir.file("missing.kdf");
    ASSERT_EQ(open.OpenDataFile(a), 0);
    QSignalSpy busy(&open, &TOpenFlights::BusyChanged);

    // a is open already: left as it is.
    EXPECT_EQ(open.OpenFiles({a, bad, b, missing}), 1);
    EXPECT_EQ(open.RowCount(), 2);
    EXPECT_EQ(open.RowOf(b), 1);
    EXPECT_TRUE(open.IsOpen(a));
    EXPECT_FALSE(open.IsOpen(bad));
    ASSERT_EQ(busy.size(), 2); // one hourglass for them all
    EXPECT_TRUE(busy.at(0).at(0).toBool());
    EXPECT_FALSE(busy.at(1).at(0).toBool());
    EXPECT_EQ(msgs.Errors(), QStringList{OpenErrorText(bad, "Bad header of file") + "\n\n" +
                                         OpenErrorText(missing, "The file does not exist.")});
    EXPECT_EQ(open.Actual(), 0);
    EXPECT_EQ(grid.model()->rowCount(), 2);
}

TEST_F(OpenDataTest, RowsMoveWithTheirCurvesAndTheCurrentFile)
{
    const QString a = WriteDefault("a.kdf");
    const QString b = WriteDefault("b.kdf");
    const QString c = WriteDefault("c.kdf");
    ASSERT_EQ(open.OpenFiles({a, b, c}), 3);
    const TCurveHandle hb = open.CurvesOf(1);
    open.GridChangeActualFile(1);
    QSignalSpy moved(&open, &TOpenFlights::RowMoved);

    EXPECT_TRUE(open.GridMoveRow(1, 2));
    EXPECT_EQ(moved.size(), 1);
    EXPECT_EQ(open.Path(2), b);
    EXPECT_EQ(open.RowOf(c), 1);
    EXPECT_EQ(open.RowOfCurves(hb), 2);
    EXPECT_EQ(open.Actual(), 2);
    EXPECT_EQ(GridText(2, 0), QStringLiteral("b"));
    EXPECT_EQ(grid.currentIndex().row(), 2);
    EXPECT_TRUE(open.GridMoveRow(2, 0));
    EXPECT_EQ(open.Actual(), 0);
    EXPECT_EQ(open.RowOf(a), 1);
    EXPECT_FALSE(open.GridMoveRow(0, 3));

    // Closing follows the move: the row of c, wherever it is now.
    EXPECT_TRUE(open.GridCloseFile(open.RowOf(c)));
    EXPECT_FALSE(open.IsOpen(c));
    EXPECT_EQ(open.RowOfCurves(hb), 0);
    EXPECT_EQ(open.RowOf(a), 1);
}

} // namespace
