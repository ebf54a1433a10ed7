// Cutting a memory image into flights, the record of each flight, the file
// names and the overwrite question.
#include "data/DataFile.h"
#include "device/DownloadSaver.h"
#include "device/FlightSplitter.h"
#include "device/SimMemory.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <gtest/gtest.h>

using namespace qv;
using qv::test::ScriptedMessages;
using qv::test::TempDir;

namespace {

using Bytes = std::vector<quint8>;

void appendWord(Bytes& m, quint16 w)
{
    m.push_back(static_cast<quint8>(w >> 8));
    m.push_back(static_cast<quint8>(w & 0xFF));
}

// Marker, header (period, mask, words 3..7 = 3, 4, 5, 6, 7) and raw samples.
void appendFlight(Bytes& m, quint16 period, quint16 mask, const std::vector<quint16>& raw)
{
    m.insert(m.end(), 4, 0xFF);
    appendWord(m, period);
    appendWord(m, mask);
    for (quint16 w = 3; w <= 7; ++w)
        appendWord(m, w);
    for (quint16 v : raw)
        appendWord(m, v);
}

void appendTail(Bytes& m, int n = 8) { m.insert(m.end(), n, 0xFF); }

TSaveOptions options(const QString& root, const QString& name = QString())
{
    TSaveOptions o;
    o.Root = root;
    o.DefFileName = name;
    o.DateText = "8.12.2026 10:00:00";
    return o;
}

// Splits and saves as after a download, recording the status line and the
// label shown after each file.
TDownloadResult splitAndSave(const Bytes& m, const TSaveOptions& o, IMessageService& msgs,
                             QStringList* status = nullptr, QStringList* labels = nullptr, bool full = false)
{
    TFlightSaver saver(msgs);
    QObject::connect(&saver, &TFlightSaver::StatusText, &saver, [&](const QString& t) {
        if (status)
            *status << t;
    });
    QObject::connect(&saver, &TFlightSaver::FileWritten, &saver, [&](int n, const QString&) {
        if (labels)
            *labels << FilesWrittenText(n);
    });
    return saver.SplitAndSave(m.data(), m.size(), o, full);
}

QStringList kdfFiles(const QString& dir)
{
    return QDir(dir).entryList({QStringLiteral("*.kdf")}, QDir::Files, QDir::Name);
}

} // namespace

TEST(FlightEnd, SearchStaysBeforeTheLastByte)
{
    const Bytes m = {1, 2, 0xFF, 0xFF, 0xFF, 0xFF};
    // Candidates run up to index size - 5: the run at 2..5 touches the last byte.
    EXPECT_EQ(FindFlightEnd(m.data(), m.size(), 0), -1);
    const Bytes n = {1, 0xFF, 0xFF, 0xFF, 0xFF, 9};
    EXPECT_EQ(FindFlightEnd(n.data(), n.size(), 0), 1);
    EXPECT_EQ(FindFlightEnd(n.data(), n.size(), 2), -1);
    const Bytes three = {0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    EXPECT_EQ(FindFlightEnd(three.data(), three.size(), 0), 4);
    EXPECT_EQ(FindFlightEnd(nullptr, 0, 0), -1);
    EXPECT_EQ(FindFlightEnd(three.data(), 4, 0), -1);
}

TEST(FlightEnd, AgreesWithAPlainSearchOnRandomBytes)
{
    // Bytes that are mostly 0xFF, so runs of every length occur.
    quint32 state = 12345;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 24;
    };
    for (int round = 0; round < 200; ++round) {
        Bytes m(5 + next() % 60);
        for (auto& b : m)
            b = next() % 4 ? 0xFF : static_cast<quint8>(next());
        for (std::size_t from = 0; from < m.size() + 2; ++from) {
            long long plain = -1;
            for (std::size_t p = from; p + 4 < m.size() && plain < 0; ++p)
                if (m[p] == 0xFF && m[p + 1] == 0xFF && m[p + 2] == 0xFF && m[p + 3] == 0xFF)
                    plain = static_cast<long long>(p);
            ASSERT_EQ(FindFlightEnd(m.data(), m.size(), from), plain) << round << " " << from;
        }
    }
}

TEST(SplitImage, TwoFlightsAndTailGiveTwoBlocksAndTwoNumberedFiles)
{
    Bytes m;
    appendFlight(m, 10, 0x8000, {100, 101, 102});
    appendFlight(m, 20, 0x8000 | 0x4000, {100, 19843, 110, 15508});
    appendTail(m);
    const TFlightBlockList blocks = SplitImage(m.data(), m.size());
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].SamplePeriod, 10);
    EXPECT_EQ(blocks[0].ChannelMask, 0x8000);
    EXPECT_EQ(blocks[0].Words[0], 3);
    EXPECT_EQ(blocks[0].Words[4], 7);
    EXPECT_EQ(blocks[0].ChannelCount, 1);
    EXPECT_EQ(blocks[0].DataStart, 18u);
    EXPECT_EQ(blocks[0].DataEnd, 24u);
    EXPECT_EQ(blocks[1].ChannelCount, 2);
    EXPECT_EQ(blocks[1].DataStart, 24u + 18u);

    TempDir tmp;
    ScriptedMessages msgs;
    QStringList status;
    QStringList labels;
    const TDownloadResult r = splitAndSave(m, options(tmp.path()), msgs, &status, &labels);
    EXPECT_EQ(r.Blocks, 2);
    EXPECT_EQ(status, QStringList{QStringLiteral("Data reading finished (2 blocks read.)")});
    EXPECT_EQ(r.Save.Written, 2);
    EXPECT_EQ(kdfFiles(tmp.path()), (QStringList{QStringLiteral("Block001.kdf"), QStringLiteral("Block002.kdf")}));
    EXPECT_EQ(labels, (QStringList{QStringLiteral("1 file succesfully written."),
                                   QStringLiteral("2 files succesfully written.")}));
    EXPECT_EQ(msgs.Informations(), QStringList{QStringLiteral("2 files succesfully written.")});
    EXPECT_TRUE(msgs.Errors().isEmpty());

    // The second file read back: two channels, times by the period.
    TDataBlock rec;
    rec.NotesStream();
    ASSERT_EQ(ReadDataFile(tmp.file(QStringLiteral("Block002.kdf")), rec, msgs), 2);
    EXPECT_EQ(rec.Date, "8.12.2026 10:00:00");
    EXPECT_EQ(rec.Words[0], 20);
    EXPECT_EQ(rec.Words[1], 0xC000);
    EXPECT_EQ(rec.Words[6], 7);
    EXPECT_DOUBLE_EQ(rec.Samples(ArrTime)[1], 0.2);
    EXPECT_DOUBLE_EQ(rec.Samples(ArrAltitude)[0], 0.0);
    EXPECT_DOUBLE_EQ(rec.Samples(ArrAltitude)[1], 2.34); // 10 / 41.85 * 9.8067 = 2.3433...
    EXPECT_DOUBLE_EQ(rec.Samples(ArrRx)[0], 0.0);
    EXPECT_DOUBLE_EQ(rec.Samples(ArrRx)[1], 100.0);
}

TEST(SplitImage, ShortRangesAndTheTailAreNoFlights)
{
    Bytes m;
    appendFlight(m, 10, 0x8000, {1, 2});
    // 17 bytes between two markers: no header fits.
    m.insert(m.end(), 4, 0xFF);
    m.insert(m.end(), 13, 0x01);
    appendFlight(m, 10, 0x8000, {5});
    // Bytes after the last marker are no flight.
    m.insert(m.end(), 4, 0xFF);
    m.insert(m.end(), 40, 0x02);
    const TFlightBlockList blocks = SplitImage(m.data(), m.size());
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].DataEnd - blocks[0].DataStart, 4u);
    EXPECT_EQ(blocks[1].DataEnd - blocks[1].DataStart, 2u);

    // Exactly 18 bytes make a block without samples: it still gets its
    // number and its file, and the final box says it is empty.
    Bytes h;
    appendFlight(h, 10, 0x8000, {});
    appendFlight(h, 10, 0x8000, {7});
    appendTail(h);
    ASSERT_EQ(SplitImage(h.data(), h.size()).size(), 2u);
    TempDir tmp;
    ScriptedMessages msgs;
    const TDownloadResult r = splitAndSave(h, options(tmp.path()), msgs);
    EXPECT_EQ(r.Save.Written, 2);
    EXPECT_EQ(r.Save.Empty, 1);
    EXPECT_EQ(kdfFiles(tmp.path()), (QStringList{QStringLiteral("Block001.kdf"), QStringLiteral("Block002.kdf")}));
    EXPECT_EQ(msgs.Informations(),
              QStringList{QStringLiteral("2 files succesfully written.\n1 of them holds no samples.")});
    TDataBlock empty;
    ASSERT_EQ(ReadDataFile(tmp.file(QStringLiteral("Block001.kdf")), empty, msgs), 0);
    TDataBlock second;
    ASSERT_EQ(ReadDataFile(tmp.file(QStringLiteral("Block002.kdf")), second, msgs), 1);

    // No flight at all: status only, no folder, no box.
    ScriptedMessages none;
    QStringList status;
    const Bytes ff(64, 0xFF);
    const QString root = tmp.file(QStringLiteral("NotMade"));
    const TDownloadResult e = splitAndSave(ff, options(root), none, &status);
    EXPECT_EQ(e.Blocks, 0);
    EXPECT_EQ(status, QStringList{QStringLiteral("Data reading finished (0 blocks read.)")});
    EXPECT_TRUE(none.Texts().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(root));
}

TEST(FlightRecord, ConversionsOfEveryChannel)
{
    // All seven record channels plus one low bit (column without a channel).
    const quint16 mask = 0x8000 | 0x4000 | 0x2000 | 0x1000 | 0x0800 | 0x0400 | 0x0200 | 0x0001;
    Bytes m;
    appendFlight(m, 25, mask,
                 {1000, 19843, 7, 8, 415, 9, 10, 11,  //
                  1837, 15508, 65534, 0, 0, 65000, 1, 12});
    appendTail(m);
    const TFlightBlockList blocks = SplitImage(m.data(), m.size());
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].ChannelCount, 8);

    TDataBlock rec;
    BuildFlightRecord(m.data(), m.size(), blocks[0], "stamp", rec);
    ASSERT_EQ(rec.SampleCount(), 2);
    EXPECT_EQ(rec.Flags(), mask);
    EXPECT_EQ(rec.SamplePeriod(), 25);
    EXPECT_DOUBLE_EQ(rec.Samples(ArrTime)[0], 0.0);
    EXPECT_DOUBLE_EQ(rec.Samples(ArrTime)[1], 0.25);
    // (raw - first) / 41.85 * 9.8067
    EXPECT_DOUBLE_EQ(rec.Samples(1)[0], 0.0);
    EXPECT_NEAR(rec.Samples(1)[1], 196.134, 1e-9); // 837 / 41.85 = 20
    // (19843 - raw) / 43.35
    EXPECT_DOUBLE_EQ(rec.Samples(2)[0], 0.0);
    EXPECT_NEAR(rec.Samples(2)[1], 100.0, 1e-9);
    EXPECT_EQ(rec.Samples(3), (std::vector<double>{7, 65534}));
    EXPECT_EQ(rec.Samples(4), (std::vector<double>{8, 0}));
    // (raw + 85) * 0.0217
    EXPECT_NEAR(rec.Samples(5)[0], 10.85, 1e-9);
    EXPECT_NEAR(rec.Samples(5)[1], 85 * 0.0217, 1e-12);
    EXPECT_EQ(rec.Samples(6), (std::vector<double>{9, 65000}));
    EXPECT_EQ(rec.Samples(7), (std::vector<double>{10, 1}));
    EXPECT_TRUE(rec.Samples(8).empty());
    for (int k = 0; k < kChannelArrays; ++k)
        EXPECT_TRUE(rec.Present[k]) << k;
    EXPECT_TRUE(rec.Annotations.empty());
    EXPECT_EQ(rec.RxOffsetY, 0.0);
    EXPECT_FALSE(rec.Modified);
    ASSERT_NE(rec.Notes, nullptr);
    EXPECT_TRUE(rec.Notes->empty());

    // Only the voltage: other arrays stay empty and absent.
    Bytes v;
    appendFlight(v, 10, 0x0800, {0, 100});
    appendTail(v);
    BuildFlightRecord(v.data(), v.size(), SplitImage(v.data(), v.size()).at(0), "x", rec);
    EXPECT_TRUE(rec.Present[ArrTime]);
    EXPECT_TRUE(rec.Present[ArrVoltage]);
    EXPECT_FALSE(rec.Present[ArrAltitude]);
    EXPECT_TRUE(rec.Samples(ArrAltitude).empty());
    EXPECT_NEAR(rec.Samples(ArrVoltage)[1], 185 * 0.0217, 1e-12);
    EXPECT_TRUE(rec.CheckInvariants().isEmpty());
}

TEST(FlightRecord, OnlyWholeSamplesInsideTheImage)
{
    TFlightBlock b;
    b.ChannelCount = 2;
    b.DataStart = 18;
    b.DataEnd = 18 + 12; // 3 samples
    EXPECT_EQ(SampleCount(b, 1000), 3u);
    b.DataEnd = 18 + 10; // 2.5 samples: the half sample is dropped
    EXPECT_EQ(SampleCount(b, 1000), 2u);
    b.DataEnd = 18 + 9;
    EXPECT_EQ(SampleCount(b, 1000), 2u);
    b.DataEnd = 18 + 12;
    EXPECT_EQ(SampleCount(b, 18 + 11), 2u); // never past the image
    EXPECT_EQ(SampleCount(b, 18), 0u);
    // No channel: no samples (and no division by zero).
    b.ChannelCount = 0;
    EXPECT_EQ(SampleCount(b, 1000), 0u);
}

TEST(FlightRecord, OddLengthFlightGetsNoSampleFromTheEndMarker)
{
    // Two whole samples and one stray byte. Rounding would have made a third
    // sample of the stray byte and the marker's first 0xFF byte (0x50FF),
    // a spike of thousands of newtons.
    Bytes m;
    appendFlight(m, 10, 0x8000, {5000, 5010});
    m.push_back(0x50);
    appendFlight(m, 10, 0x8000, {5000, 5001});
    appendTail(m);
    const TFlightBlockList blocks = SplitImage(m.data(), m.size());
    ASSERT_EQ(blocks.size(), 2u);
    TDataBlock rec;
    BuildFlightRecord(m.data(), m.size(), blocks[0], "x", rec);
    ASSERT_EQ(rec.SampleCount(), 2);
    for (double v : rec.Samples(ArrAltitude))
        EXPECT_LT(std::abs(v), 10.0);
}

TEST(SaveFlights, EveryFlightKeepsItsNumberAlsoWithoutChannels)
{
    Bytes m;
    appendFlight(m, 10, 0x8000, {1, 2});
    appendFlight(m, 10, 0x0000, {1, 2, 3, 4});
    appendFlight(m, 10, 0x8000, {3, 4});
    appendTail(m);
    TempDir tmp;
    ScriptedMessages msgs;
    const TDownloadResult r = splitAndSave(m, options(tmp.path()), msgs);
    EXPECT_EQ(r.Blocks, 3);
    EXPECT_EQ(r.Save.Written, 3);
    EXPECT_EQ(kdfFiles(tmp.path()), (QStringList{QStringLiteral("Block001.kdf"), QStringLiteral("Block002.kdf"),
                                                 QStringLiteral("Block003.kdf")}));
    EXPECT_EQ(msgs.Informations(),
              QStringList{QStringLiteral("3 files succesfully written.\n1 of them holds no samples.")});
    TDataBlock third;
    ASSERT_EQ(ReadDataFile(tmp.file(QStringLiteral("Block003.kdf")), third, msgs), 2);
    EXPECT_NEAR(third.Samples(ArrAltitude)[1], 1 / 41.85 * 9.8067, 0.005);
}

TEST(SplitImage, FullMemoryEndsWithTheFlightThatFilledIt)
{
    Bytes m;
    appendFlight(m, 10, 0x8000, {1, 2});
    appendFlight(m, 10, 0xC000, {10, 20, 11, 21, 12}); // cut inside a sample
    // Without the full-memory flag the tail is no flight.
    EXPECT_EQ(SplitImage(m.data(), m.size()).size(), 1u);
    const TFlightBlockList blocks = SplitImage(m.data(), m.size(), true);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[1].DataEnd, m.size());
    EXPECT_EQ(SampleCount(blocks[1], m.size()), 2u);
    // A single flight filling the whole memory.
    Bytes one;
    appendFlight(one, 10, 0x8000, {1, 2, 3});
    const TFlightBlockList single = SplitImage(one.data(), one.size(), true);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(SampleCount(single[0], one.size()), 3u);
    // A marker that ends exactly at the last byte leaves no tail.
    one.insert(one.end(), 4, 0xFF);
    EXPECT_EQ(SplitImage(one.data(), one.size(), true).size(), 1u);
}

TEST(FileNames, BaseNameAndFirstNumberFromTheSetting)
{
    auto check = [](const QString& setting, const QString& base, int first) {
        const TBaseName b = BaseNameFromSetting(setting);
        EXPECT_EQ(b.Base, base) << setting.toStdString();
        EXPECT_EQ(b.FirstNumber, first) << setting.toStdString();
    };
    check(QStringLiteral("Flug0012.kdf"), QStringLiteral("Flug"), 12);
    check(QStringLiteral("Block.kdf"), QStringLiteral("Block"), 1);
    check(QString(), QStringLiteral("Block"), 1);
    check(QStringLiteral("Blok"), QStringLiteral("Blok"), 1);            // no "."
    check(QStringLiteral("Flug0012"), QStringLiteral("Flug0012"), 1);    // no "." either
    check(QStringLiteral("Abc.kdf"), QStringLiteral("Abc"), 1);          // "." after 3 characters
    check(QStringLiteral("Fl12.kdf"), QStringLiteral("Fl12"), 1);        // tail "Fl12" no number
    check(QStringLiteral("1234.kdf"), QString(), 1234);
    check(QStringLiteral("Run0007.old.kdf"), QStringLiteral("Run"), 7);  // cut at the first "."
    check(QStringLiteral("/some/dir/Flug0100.kdf"), QStringLiteral("Flug"), 100);

    EXPECT_EQ(FlightFileName(QStringLiteral("D/"), QStringLiteral("Flug"), 12), QStringLiteral("D/Flug012.kdf"));
    EXPECT_EQ(FlightFileName(QStringLiteral("D/"), QStringLiteral("B"), 1234), QStringLiteral("D/B1234.kdf"));
    EXPECT_EQ(DataFolder(QString()), QStringLiteral("./Data/"));
    EXPECT_EQ(DataFolder(QStringLiteral("/x/y")), QStringLiteral("/x/y/"));
    EXPECT_EQ(DataFolder(QStringLiteral("/x/y/")), QStringLiteral("/x/y/"));
}

TEST(SaveFlights, NumberingFromTheSettingAndAMissingFolderIsCreated)
{
    Bytes m;
    for (int k = 0; k < 3; ++k)
        appendFlight(m, 10, 0x8000, {1, 2, 3});
    appendTail(m);
    TempDir tmp;
    const QString root = tmp.file(QStringLiteral("a/b"));
    ScriptedMessages msgs;
    const TDownloadResult r = splitAndSave(m, options(root, QStringLiteral("Flug0012.kdf")), msgs);
    EXPECT_EQ(r.Save.Written, 3);
    EXPECT_EQ(kdfFiles(root), (QStringList{QStringLiteral("Flug012.kdf"), QStringLiteral("Flug013.kdf"),
                                           QStringLiteral("Flug014.kdf")}));
    EXPECT_EQ(msgs.Informations(), QStringList{QStringLiteral("3 files succesfully written.")});
}

TEST(SaveFlights, OverwriteQuestionYesNoAndYesToAll)
{
    Bytes m;
    for (int k = 0; k < 3; ++k)
        appendFlight(m, 10, 0x8000, {1, 2, 3});
    appendTail(m);
    TempDir tmp;
    const QString folder = DataFolder(tmp.path());
    const QByteArray old("old");
    ASSERT_TRUE(qv::test::WriteAll(folder + QStringLiteral("Block002.kdf"), old));
    ASSERT_TRUE(qv::test::WriteAll(folder + QStringLiteral("Block003.kdf"), old));

    {   // No stops here: 001 written, 002 and 003 kept.
        ScriptedMessages msgs;
        msgs.QueueAnswer(Answer::No);
        const TDownloadResult r = splitAndSave(m, options(tmp.path()), msgs);
        EXPECT_EQ(r.Save.Status, TSaveResult::Stopped);
        EXPECT_EQ(r.Save.Written, 1);
        EXPECT_EQ(msgs.Questions(), QStringList{QStringLiteral("Filename ") + folder
                                                + QStringLiteral("Block002.kdf already exists. Rewrite?")});
        EXPECT_EQ(msgs.Informations(), QStringList{QStringLiteral("1 file succesfully written.")});
        EXPECT_EQ(qv::test::ReadAll(folder + QStringLiteral("Block002.kdf")), old);
        EXPECT_EQ(qv::test::ReadAll(folder + QStringLiteral("Block003.kdf")), old);
    }
    {   // Yes overwrites one file and asks again for the next.
        ScriptedMessages msgs;
        msgs.QueueAnswer(Answer::Yes);
        msgs.QueueAnswer(Answer::Yes);
        msgs.QueueAnswer(Answer::No);
        const TDownloadResult r = splitAndSave(m, options(tmp.path()), msgs);
        EXPECT_EQ(msgs.Questions().size(), 3);
        EXPECT_EQ(r.Save.Written, 2);
        EXPECT_EQ(msgs.Informations(), QStringList{QStringLiteral("2 files succesfully written.")});
        EXPECT_EQ(qv::test::ReadAll(folder + QStringLiteral("Block003.kdf")), old);
    }
    {   // Yes to All: one question, every file written.
        ScriptedMessages msgs;
        msgs.QueueAnswer(Answer::YesToAll);
        const TDownloadResult r = splitAndSave(m, options(tmp.path()), msgs);
        EXPECT_EQ(msgs.Questions().size(), 1);
        EXPECT_EQ(r.Save.Written, 3);
        EXPECT_EQ(r.Save.Status, TSaveResult::Done);
        EXPECT_NE(qv::test::ReadAll(folder + QStringLiteral("Block003.kdf")), old);
        EXPECT_EQ(msgs.Informations(), QStringList{QStringLiteral("3 files succesfully written.")});
    }
}

TEST(SaveFlights, FolderAndWriteFailures)
{
    Bytes m;
    for (int k = 0; k < 3; ++k)
        appendFlight(m, 10, 0x8000, {1, 2, 3});
    appendTail(m);
    TempDir tmp;

    // The root is a file: the folder cannot be made; no box, the caller shows it.
    const QString file = tmp.file(QStringLiteral("plain"));
    ASSERT_TRUE(qv::test::WriteAll(file, "x"));
    ScriptedMessages msgs;
    const TDownloadResult f = splitAndSave(m, options(file + QStringLiteral("/sub")), msgs);
    EXPECT_EQ(f.Save.Status, TSaveResult::FolderFailed);
    EXPECT_EQ(f.Save.Error, QStringLiteral("Cannot create ") + file + QStringLiteral("/sub/"));
    EXPECT_TRUE(msgs.Texts().isEmpty());

    // Block002.kdf is a folder: the writer fails once and saving stops.
    ASSERT_TRUE(QDir(tmp.path()).mkdir(QStringLiteral("Block002.kdf")));
    ScriptedMessages w;
    w.QueueAnswer(Answer::YesToAll);
    const TDownloadResult r = splitAndSave(m, options(tmp.path()), w);
    EXPECT_EQ(r.Save.Status, TSaveResult::WriteFailed);
    EXPECT_EQ(r.Save.Written, 1);
    ASSERT_EQ(w.Errors().size(), 1);
    EXPECT_TRUE(w.Errors()[0].startsWith("Error in writing file.\n" + tmp.file(QStringLiteral("Block002.kdf"))));
    EXPECT_EQ(w.Informations(), QStringList{QStringLiteral("1 file succesfully written.")});
    EXPECT_FALSE(QFileInfo::exists(tmp.file(QStringLiteral("Block003.kdf"))));

    // A name with a tab or a line end names no file.
    ScriptedMessages n;
    const QString named = tmp.file(QStringLiteral("named"));
    const TDownloadResult bad = splitAndSave(m, options(named, QStringLiteral("Fl\tug\n0001.kdf")), n);
    EXPECT_EQ(bad.Save.Status, TSaveResult::NameFailed);
    EXPECT_EQ(bad.Save.Error, QStringLiteral("The file name may not hold control characters (tabs, line ends)."));
    EXPECT_FALSE(QFileInfo::exists(named));
}

TEST(SaveFlights, SimulatedMemoryRoundTrip)
{
    sim::FlightShape shape;
    shape.samples = 50;
    const std::vector<quint8> mem = sim::BuildMemory(2, shape, 7);
    TempDir tmp;
    ScriptedMessages msgs;
    const TDownloadResult r = splitAndSave(mem, options(tmp.path()), msgs);
    ASSERT_EQ(r.Save.Written, 2);
    EXPECT_EQ(msgs.Informations(), QStringList{QStringLiteral("2 files succesfully written.")});
    const std::vector<quint16> raw = sim::FlightSamples(shape, 8); // second flight
    TDataBlock rec;
    rec.NotesStream();
    ASSERT_EQ(ReadDataFile(r.Save.Files[1], rec, msgs), 50);
    for (int i = 0; i < 50; ++i) {
        EXPECT_NEAR(rec.Samples(ArrAltitude)[i], (raw[3 * i] - double(raw[0])) / 41.85 * 9.8067, 0.005);
        EXPECT_NEAR(rec.Samples(ArrRx)[i], (19843.0 - raw[3 * i + 1]) / 43.35, 0.005);
        EXPECT_NEAR(rec.Samples(ArrVoltage)[i], (raw[3 * i + 2] + 85.0) * 0.0217, 0.005);
    }
}
