// Curve offsets kept in the extra section of the flight files.
#include "support/KdfText.h"
#include "flights/Data.h"
#include "data/DataFile.h"
#include "flights/OpenFlights.h"
#include "graph/Offsets.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using namespace qv;
using namespace qv::test;

KdfContent WithExtra(const QByteArray& extra)
{
    KdfContent s;
    s.Lines = ThreeChannelLines(30);
    s.Extra = extra;
    return s;
}

TEST(OffsetFile, FurtherOffsetsAreReadAndUnknownOrBadLinesPassedOver)
{
    ScriptedMessages msgs;
    TDataBlock b;
    b.NotesStream();
    const QByteArray text = KdfText(WithExtra("RxOffsetY=1.50\r\nAltOffsetX=-12.30\r\nVoltOffsetY=0.25\r\n"
                                              "Colour=7\r\nAltOffsetY=abc\r\n RxOffsetX = 4.5\r\nVoltOffsetXY=9"));
    ASSERT_EQ(ParseDataFile(std::string_view(text.constData(), text.size()), b, msgs), 30);
    EXPECT_EQ(b.RxOffsetY, 1.5);
    EXPECT_EQ(b.Offsets, (TFileOffsets{-12.3, 0, 4.5, 0, 0.25}));
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

TEST(OffsetFile, OnlyOffsetsInUseAreWrittenAndTheyReadBack)
{
    ScriptedMessages msgs;
    TDataBlock b;
    b.NotesStream();
    const QByteArray plain = KdfText(WithExtra("RxOffsetY=0.00"));
    ASSERT_EQ(ParseDataFile(std::string_view(plain.constData(), plain.size()), b, msgs), 30);
    EXPECT_EQ(QByteArray::fromStdString(FormatDataFile(b)), plain);

    b.Offsets = {2.5, 0, -7, 0, 0.125};
    b.RxOffsetY = -3;
    const std::string text = FormatDataFile(b);
    EXPECT_NE(text.find("<Extra>\r\nRxOffsetY=-3.00\r\nAltOffsetX=2.50\r\nRxOffsetX=-7.00\r\n"
                        "VoltOffsetY=0.13\r\n</Extra>\r\n"),
              std::string::npos)
        << text;
    // Readers take every line with "RxOffsetY" in it as that value: only one.
    std::size_t count = 0;
    for (std::size_t at = text.find("RxOffsetY"); at != std::string::npos; at = text.find("RxOffsetY", at + 1))
        ++count;
    EXPECT_EQ(count, 1u);

    TDataBlock back;
    back.NotesStream();
    ASSERT_EQ(ParseDataFile(text, back, msgs), 30);
    EXPECT_EQ(back.Offsets, (TFileOffsets{2.5, 0, -7, 0, 0.13}));
    EXPECT_EQ(back.RxOffsetY, -3);
    back.Release();
    EXPECT_EQ(back.Offsets, TFileOffsets{});
}

class OffsetFileOpen : public ::testing::Test {
protected:
    OffsetFileOpen() { open.SetCurveModel(&model); }
    ScriptedMessages msgs;
    TempDir dir;
    TCurveModel model;
    TOpenFlights open;
};

TEST_F(OffsetFileOpen, UneditedFileWithoutOffsetsIsSavedByteForByte)
{
    KdfContent s = WithExtra("RxOffsetY=0.00");
    s.Annotations = {"0.50,3.00,tow"};
    s.Notes = "calm";
    const QString path = dir.file("a.kdf");
    ASSERT_TRUE(WriteAll(path, KdfText(s)));
    ASSERT_EQ(open.OpenDataFile(path), 0);
    EXPECT_EQ(open.GridSaveFile(0), TOpenFlights::SaveResult::Saved);
    EXPECT_EQ(ReadAll(path), KdfText(s));
}

TEST_F(OffsetFileOpen, OffsetsSetOnTheChartAreSavedAndComeBackOnOpening)
{
    const QString path = dir.file("a.kdf");
    ASSERT_TRUE(WriteAll(path, KdfText(WithExtra("RxOffsetY=2.00\r\nVoltOffsetX=1.00"))));
    ASSERT_EQ(open.OpenDataFile(path), 0);
    TCurveOffsets offsets(model);
    TCurveHandle h = open.CurvesOf(0);
    // What the file holds is in force.
    EXPECT_EQ(offsets.OffsetY(h, ShiftServo), 2.0);
    EXPECT_EQ(offsets.OffsetX(h, ShiftVoltage), 1.0);
    EXPECT_EQ(model.Curve(h, SlotRx)->OffsetY, 2.0);

    offsets.SetOffsetX(h, ShiftAltitude, -4.5);
    offsets.SetOffsetY(h, ShiftAltitude, 10);
    offsets.SetOffsetY(h, ShiftServo, -1);
    // Switched off, they are still the file's offsets.
    offsets.SetEnabled(h, ShiftAltitude, false);
    msgs.QueueAnswer(Answer::Yes);
    open.Block(0)->Modified = true;
    ASSERT_TRUE(open.GridCloseFile(0));
    const QByteArray saved = ReadAll(path);
    // One time offset for the whole flight, the value offsets per curve.
    EXPECT_TRUE(saved.contains("<Extra>\r\nRxOffsetY=-1.00\r\nAltOffsetX=-4.50\r\nAltOffsetY=10.00\r\n"
                               "RxOffsetX=-4.50\r\nVoltOffsetX=-4.50\r\n</Extra>"))
        << saved.toStdString();

    ASSERT_EQ(open.OpenDataFile(path), 0);
    h = open.CurvesOf(0);
    EXPECT_EQ(offsets.Stored(h), (TFileOffsets{-4.5, 10, -4.5, -4.5, 0}));
    EXPECT_EQ(offsets.OffsetY(h, ShiftServo), -1.0);
    EXPECT_TRUE(offsets.Enabled(h, ShiftAltitude));
    EXPECT_FALSE(open.Block(0)->Modified);

    // Back to 0: the file is as it was before any offset.
    offsets.Reset(h);
    ASSERT_EQ(open.GridSaveFile(0), TOpenFlights::SaveResult::Saved);
    EXPECT_EQ(ReadAll(path), KdfText(WithExtra("RxOffsetY=0.00")));
}

} // namespace
