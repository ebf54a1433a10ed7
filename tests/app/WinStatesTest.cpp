// Window positions kept in the settings file between runs.
#include "app/Settings.h"
#include "app/WinStates.h"
#include "support/TempDir.h"

#include <QSettings>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using qv::test::WriteAll;

class WinStatesTest : public ::testing::Test {
protected:
    void SetUp() override { states.Configure(dir.file("q.ini"), true); }
    QString ini() const { return dir.file("q.ini"); }

    qv::test::TempDir dir;
    TWinStates states;
};

TEST_F(WinStatesTest, SmallerScreenRestoresOnlyTheState)
{
    WriteAll(ini(), "[Screen]\nScreenH=1080\nScreenW=1920\n[FormX]\nNRLeft=1500\nNRRight=1900\nNRTop=700\n"
                    "NRBottom=1000\nRLeft=1500\nRRight=1900\nRTop=700\nRBottom=1000\nState=0\n"
                    "[FormY]\nRLeft=10\nRRight=310\nRTop=20\nRBottom=220\nState=0\n");
    QWidget x;
    x.setGeometry(50, 60, 200, 100);
    states.Restore(&x, "FormX", QSize(1280, 1024));
    EXPECT_EQ(x.geometry(), QRect(50, 60, 200, 100));

    QWidget y;
    y.setGeometry(50, 60, 200, 100);
    states.Restore(&y, "FormY", QSize(1920, 1200));
    EXPECT_EQ(y.geometry(), QRect(10, 20, 300, 200));
}

TEST_F(WinStatesTest, SecondShowingDoesNotReadAgainAndSaveWritesEveryKey)
{
    WriteAll(ini(), "[FormX]\nRLeft=10\nRRight=310\nRTop=20\nRBottom=220\n");
    QWidget x;
    states.Restore(&x, "FormX", QSize(1920, 1080));
    EXPECT_EQ(x.geometry(), QRect(10, 20, 300, 200));
    x.setGeometry(30, 40, 100, 50);
    states.Restore(&x, "FormX", QSize(1920, 1080));
    EXPECT_EQ(x.geometry(), QRect(30, 40, 100, 50));
    EXPECT_EQ(states.Count(), 1);

    states.SaveAll();
    EXPECT_EQ(states.Count(), 0);
    QSettings s(ini(), QSettings::IniFormat);
    EXPECT_EQ(s.value("Screen/ScreenW").toInt(), 1920);
    EXPECT_EQ(s.value("FormX/RLeft").toInt(), 30);
    EXPECT_EQ(s.value("FormX/RRight").toInt(), 130);
    EXPECT_EQ(s.value("FormX/RBottom").toInt(), 90);
    EXPECT_EQ(s.value("FormX/State").toInt(), 0);
    EXPECT_TRUE(s.contains("FormX/NRTop"));
}

TEST_F(WinStatesTest, SwitchedOffNeitherReadsNorWrites)
{
    WriteAll(ini(), "[FormX]\nRLeft=10\nRRight=310\nRTop=20\nRBottom=220\n");
    states.Configure(ini(), false);
    QWidget x;
    x.setGeometry(50, 60, 200, 100);
    states.Restore(&x, "FormX", QSize(1920, 1080));
    EXPECT_EQ(x.geometry(), QRect(50, 60, 200, 100));
    states.SaveAll();
    QSettings s(ini(), QSettings::IniFormat);
    EXPECT_FALSE(s.contains("Screen/ScreenH"));
    EXPECT_EQ(s.value("FormX/RLeft").toInt(), 10);
}

} // namespace

namespace {

TEST_F(WinStatesTest, RestoredWindowsFitTheAvailableArea)
{
    // Saved on this screen size, but larger than its area below a taskbar.
    WriteAll(ini(), "[Screen]\nScreenH=700\nScreenW=1024\n"
                    "[FormX]\nNRLeft=0\nNRRight=1100\nNRTop=0\nNRBottom=720\nRLeft=0\nRRight=1100\nRTop=0\n"
                    "RBottom=720\nState=0\n"
                    "[FormY]\nRLeft=900\nRRight=1200\nRTop=600\nRBottom=800\nState=0\n"
                    "[FormZ]\nRLeft=-300\nRRight=100\nRTop=-50\nRBottom=150\nState=0\n");
    const QRect area(0, 0, 1024, 668);
    QWidget x, y, z;
    states.Restore(&x, "FormX", QSize(1024, 700), area);
    EXPECT_EQ(x.geometry(), QRect(0, 0, 1024, 668));
    states.Restore(&y, "FormY", QSize(1024, 700), area);
    EXPECT_EQ(y.geometry(), QRect(724, 468, 300, 200)); // moved in whole
    states.Restore(&z, "FormZ", QSize(1024, 700), area);
    EXPECT_EQ(z.geometry(), QRect(0, 0, 400, 200));

    EXPECT_EQ(FitRect(QRect(0, 0, 1100, 720), area, QMargins(4, 30, 4, 4)), QRect(4, 30, 1016, 634));
}

} // namespace
