#include "base/Cp1250.h"
#include "data/DataBlock.h"

#include <gtest/gtest.h>

namespace {

using namespace qv;

TEST(DataBlock, InvariantsHoldForConsistentRecord)
{
    TDataBlock b;
    b.Flags() = 0x8000 | 0x4000;
    b.SetSamples(ArrTime, {0.0, 0.1});
    b.SetSamples(ArrAltitude, {1, 2});
    b.SetSamples(ArrRx, {3, 4});
    b.Present[0] = b.Present[1] = b.Present[2] = true;
    EXPECT_TRUE(b.CheckInvariants().isEmpty()) << b.CheckInvariants().join("; ").toStdString();
    // Markers where the receiver is above the threshold, from the shared array.
    EXPECT_EQ(MarkerFlags(b, 3.5), (std::vector<std::int32_t>{0, 1}));
    const TSampleBuffer rx = b.Shared(ArrRx);
    EXPECT_EQ(b.Shared(ArrRx).get(), &b.Samples(ArrRx)); // shared, not copied

    b.SetSamples(ArrRx, {3});
    b.SetSamples(ArrSpare, {1, 2});
    EXPECT_EQ(b.CheckInvariants().size(), 2);
    EXPECT_EQ(rx->size(), 2u); // who shared the old array keeps it
}

TEST(DataBlock, ReleaseEmptiesEverythingAndFreesNotes)
{
    TDataBlock b;
    b.NotesStream() = "notes";
    b.SetSamples(ArrTime, {1, 2, 3});
    b.Present[0] = true;
    b.Annotations.push_back({1, 2, "x"});
    b.Release();
    EXPECT_EQ(b.SampleCount(), 0);
    EXPECT_TRUE(b.Annotations.empty());
    EXPECT_FALSE(b.Notes);
    EXPECT_EQ(b.NotesText(), "");
    EXPECT_TRUE(b.CheckInvariants().isEmpty());
}

TEST(Cp1250, CzechTextRoundTripsAndEveryByteSurvives)
{
    const QString czech = QStringLiteral("Příliš žluťoučký kůň úpěl ďábelské ódy");
    const std::string bytes = ToCp1250(czech);
    EXPECT_EQ(bytes.size(), static_cast<std::size_t>(czech.size()));
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xF8); // ř
    EXPECT_EQ(FromCp1250(bytes), czech);

    std::string all;
    for (int c = 0; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    EXPECT_EQ(ToCp1250(FromCp1250(all)), all);
    EXPECT_EQ(ToCp1250(QStringLiteral("日")), "?");
}

} // namespace
