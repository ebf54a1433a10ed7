// Reading and writing ".kdf" flight data files.
#include "data/DataFile.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>

namespace {

using namespace qv;
using qv::test::ReadAll;
using qv::test::ScriptedMessages;
using qv::test::TempDir;
using qv::test::WriteAll;

// A file with every section; lines joined with eol.
std::string sampleFile(const std::string& eol = "\r\n")
{
    const char* lines[] = {"<Header>", "15.03.2024 10:22:01", "10", "51200", "3", "-4", "5", "6", "7", "</Header>",
                           "<Data>", "0.0,100.00,-3.00,12.10", "0.1,102.50,5.50,12.00", "0.2,101.00,0.00,11.90",
                           "</Data>", "<Anotace>", "63.50,120.00,start, with comma", "1.00,2.00,", "</Anotace>",
                           "<Text>", "first line", "", "third line", "</Text>", "<Extra>", "Other=1",
                           "RxOffsetY=-1.25", "</Extra>"};
    std::string s;
    for (const char* l : lines)
        s += std::string(l) + eol;
    return s;
}

int parse(const std::string& text, TDataBlock& b, ScriptedMessages& msgs)
{
    b.NotesStream();
    return ParseDataFile(text, b, msgs);
}

// The reader's error text for a file, or "" when it loads.
std::string parseError(const std::string& text)
{
    ScriptedMessages msgs;
    TDataBlock b;
    try {
        parse(text, b, msgs);
    } catch (const DataFileError& e) {
        return e.what();
    }
    return "";
}

std::string minimalFile(const std::string& flags, const std::string& dataLines, const std::string& tail = "")
{
    return "<Header>\r\nd\r\n10\r\n" + flags + "\r\n0\r\n0\r\n0\r\n0\r\n0\r\n</Header>\r\n<Data>\r\n" + dataLines +
           "</Data>\r\n" + tail;
}

TEST(DataFileRead, FullFileFillsEveryPart)
{
    ScriptedMessages msgs;
    TDataBlock b;
    ASSERT_EQ(parse(sampleFile(), b, msgs), 3);
    EXPECT_TRUE(msgs.Texts().isEmpty());
    EXPECT_EQ(b.Date, "15.03.2024 10:22:01");
    EXPECT_EQ(b.Words, (std::array<std::int32_t, 7>{10, 51200, 3, -4, 5, 6, 7}));
    EXPECT_EQ(b.Samples(ArrTime), (std::vector<double>{0.0, 0.1, 0.2}));
    EXPECT_EQ(b.Samples(ArrAltitude), (std::vector<double>{100, 102.5, 101}));
    EXPECT_EQ(b.Samples(ArrRx), (std::vector<double>{-3, 5.5, 0}));
    EXPECT_EQ(b.Samples(ArrVoltage), (std::vector<double>{12.1, 12.0, 11.9}));
    EXPECT_EQ(b.Present, (std::array<bool, 8>{true, true, true, false, false, true, false, false}));
    EXPECT_EQ(MarkerFlags(b, 5.0), (std::vector<std::int32_t>{0, 1, 0})); // strictly above 5
    ASSERT_EQ(b.Annotations.size(), 2u);
    EXPECT_EQ(b.Annotations[0].Time, 63.5);
    EXPECT_EQ(b.Annotations[0].Altitude, 120);
    EXPECT_EQ(b.Annotations[0].Text, "start, with comma");
    EXPECT_EQ(b.Annotations[1].Text, "");
    EXPECT_EQ(b.NotesText(), "first line\r\n\r\nthird line");
    EXPECT_EQ(b.RxOffsetY, -1.25);
    EXPECT_TRUE(b.CheckInvariants().isEmpty());
}

TEST(DataFileRead, LfAndStrayCrFilesReadLikeCrLf)
{
    ScriptedMessages msgs;
    TDataBlock crlf, lf, stray;
    parse(sampleFile(), crlf, msgs);
    parse(sampleFile("\n"), lf, msgs);
    parse(sampleFile("\r\r\n"), stray, msgs);
    EXPECT_EQ(FormatDataFile(lf), FormatDataFile(crlf));
    EXPECT_EQ(FormatDataFile(stray), FormatDataFile(crlf));
    EXPECT_EQ(lf.NotesText(), "first line\r\n\r\nthird line");
    // No line end after the last line at all.
    std::string noEnd = sampleFile();
    noEnd.resize(noEnd.size() - 2);
    TDataBlock last;
    EXPECT_EQ(parse(noEnd, last, msgs), 3);
    EXPECT_EQ(last.RxOffsetY, -1.25);
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

TEST(DataFileRead, FileEndingAfterDataHasNoExtras)
{
    ScriptedMessages msgs;
    TDataBlock b;
    b.RxOffsetY = 9;
    EXPECT_EQ(parse(minimalFile("49152", "0.0,1,2\r\n"), b, msgs), 1);
    EXPECT_TRUE(b.Annotations.empty());
    EXPECT_EQ(b.NotesText(), "");
    EXPECT_EQ(b.RxOffsetY, 0);
    EXPECT_TRUE(msgs.Texts().isEmpty());

    // Without a text section the extra values are still read.
    TDataBlock noText;
    EXPECT_EQ(parse(minimalFile("0", "0\r\n", "<Anotace>\r\n1,2,x\r\n</Anotace>\r\n<Extra>\r\nRxOffsetY=4\r\n</Extra>\r\n"),
                    noText, msgs), 1);
    EXPECT_EQ(noText.Annotations.size(), 1u);
    EXPECT_EQ(noText.RxOffsetY, 4);
    TDataBlock onlyExtra;
    EXPECT_EQ(parse(minimalFile("0", "0\r\n", "<Extra>\r\nRxOffsetY=-4\r\n</Extra>\r\n"), onlyExtra, msgs), 1);
    EXPECT_EQ(onlyExtra.RxOffsetY, -4);
}

TEST(DataFileRead, FormatErrors)
{
    EXPECT_EQ(parseError(""), kErrUnexpectedEnd);
    EXPECT_EQ(parseError("<Header>\r\n"), kErrUnexpectedEnd);
    EXPECT_EQ(parseError("</Data>\r\n"), kErrUnexpectedEnd);
    EXPECT_EQ(parseError("<Header>\r\nd\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n<Data>\r\n0.0\r\n0.1\r\n"), kErrUnexpectedEnd);
    const std::string head = "<Header>\r\nd\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n<Data>\r\n0\r\n";
    for (const char* notClosing : {"</Data> \r\n", " </Data>\r\n", "0</Data>\r\n", "</Data>x\n", "</data>\r\n"})
        EXPECT_EQ(parseError(head + notClosing), kErrUnexpectedEnd) << notClosing;
    EXPECT_EQ(parseError(head + "</Data>"), "");
    EXPECT_EQ(parseError(head + " </Data>\r\n</Data>\r\n"), kErrBadData);
    // A missing closing tag outranks every other fault of the file.
    EXPECT_EQ(parseError(" <Header>\r\n<Data>\r\nx\r\n"), kErrUnexpectedEnd);
    EXPECT_EQ(parseError(" " + sampleFile()), kErrBadHeader);
    EXPECT_EQ(parseError("<header>" + sampleFile().substr(8)), kErrBadHeader);
    EXPECT_EQ(parseError("<Header> " + sampleFile().substr(8)), kErrBadHeader);
    for (const char* bad : {"x", "1e400", "nan", "inf", "--1", "1;2", "0x1", "1.2.3"}) {
        EXPECT_EQ(parseError(minimalFile("49152", std::string("0.0,") + bad + ",1\r\n")), kErrBadData) << bad;
    }
    EXPECT_EQ(parseError(minimalFile("0", "abc\r\n")), kErrBadData);
    EXPECT_EQ(parseError(minimalFile("0", "0\r\n", "<Anotace>\r\nx,1,t\r\n</Anotace>\r\n")), kErrBadData);
    EXPECT_EQ(parseError(minimalFile("0", "0\r\n", "<Anotace>\r\n1,y,t\r\n</Anotace>\r\n")), kErrBadData);
    EXPECT_EQ(parseError(minimalFile("0", "0\r\n", "<Extra>\r\nRxOffsetY=abc\r\n</Extra>\r\n")), kErrBadData);
    EXPECT_EQ(parseError(minimalFile("0", "0\r\n", "<Extra>\r\nRxOffsetY 5\r\n</Extra>\r\n")), kErrBadData);
}

TEST(DataFileRead, FieldRules)
{
    ScriptedMessages msgs;
    TDataBlock b;
    // Short lines give 0, blanks around the line and fields are dropped,
    // empty fields give 0, fields beyond the flag count are ignored unparsed.
    ASSERT_EQ(parse(minimalFile("51200", "0.0,1\r\n  0.1 , ,+2 ,3  \r\n0.2,4,5,6,junk,more\r\n\r\n"), b, msgs), 4);
    EXPECT_EQ(b.Samples(ArrAltitude), (std::vector<double>{1, 0, 4, 0}));
    EXPECT_EQ(b.Samples(ArrRx), (std::vector<double>{0, 2, 5, 0}));
    EXPECT_EQ(b.Samples(ArrVoltage), (std::vector<double>{0, 3, 6, 0}));
    EXPECT_EQ(b.Samples(ArrTime), (std::vector<double>{0, 0.1, 0.2, 0}));
    EXPECT_TRUE(msgs.Texts().isEmpty());

    // Plain lines and their near misses.
    TDataBlock c;
    ASSERT_EQ(parse(minimalFile("49152", "1,2,3,4,5\r\n1,\r\n-1,2\r\r\n1e2,2E-1,+3\n7,8,9\n"), c, msgs), 5);
    EXPECT_EQ(c.Samples(ArrTime), (std::vector<double>{1, 1, -1, 100, 7}));
    EXPECT_EQ(c.Samples(ArrAltitude), (std::vector<double>{2, 0, 2, 0.2, 8}));
    EXPECT_EQ(c.Samples(ArrRx), (std::vector<double>{3, 0, 0, 3, 9}));
    EXPECT_EQ(parseError(minimalFile("0", "1\r x\r\n")), kErrBadData);
    EXPECT_EQ(parseError(minimalFile("32768", "1,2 x\r\n")), kErrBadData);
    EXPECT_EQ(parseError(minimalFile("32768", "1,2,x\r\n")), "");
}

TEST(DataFileRead, FlagBitsChooseArrays)
{
    ScriptedMessages msgs;
    TDataBlock alt;
    ASSERT_EQ(parse(minimalFile("32768", "0.0,1\r\n0.1,2\r\n"), alt, msgs), 2);
    EXPECT_EQ(alt.Present, (std::array<bool, 8>{true, true, false, false, false, false, false, false}));
    for (int k = 2; k < kSampleArrays; ++k)
        EXPECT_TRUE(alt.Samples(k).empty()) << k;
    EXPECT_TRUE(MarkerFlags(alt, 0).empty());

    // Low bits add columns that are parsed and dropped; bit 9 takes the
    // column after them in flag order (15..9 first, then the low bits).
    TDataBlock low;
    ASSERT_EQ(parse(minimalFile(std::to_string(0x8000 | 0x0200 | 0x0001 | 0x0100), "0.0,1,2,3,4\r\n"), low, msgs), 1);
    EXPECT_EQ(low.Samples(ArrAltitude), std::vector<double>{1});
    EXPECT_EQ(low.Samples(7), std::vector<double>{2});
    EXPECT_EQ(low.Present[7], true);
    EXPECT_EQ(parseError(minimalFile(std::to_string(0x8001), "0.0,1,x\r\n")), kErrBadData);

    // A negative flag word sets all 16 bits: 17 columns, all seven arrays.
    TDataBlock all;
    ASSERT_EQ(parse(minimalFile("-1", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16\r\n"), all, msgs), 1);
    for (int k = 1; k < kChannelArrays; ++k)
        EXPECT_EQ(all.Samples(k), std::vector<double>{double(k)}) << k;
    EXPECT_EQ(MarkerFlags(all, 0), std::vector<std::int32_t>{1});
}

TEST(DataFileRead, HeaderWordsAndNotes)
{
    ScriptedMessages msgs;
    TDataBlock b;
    const std::string file = "<Header>\r\nd\r\n 10 rest\r\n+32768\r\n1x\r\n2\r\n3\r\n4\r\n5\r\nextra line\r\n</Header>\r\n"
                             "<Data>\r\n0.0,1\r\n</Data>\r\nRxOffsetY=7\r\n<Text>\r\n<Extra>\r\nRxOffsetY=3\r\n"
                             "</Text>\r\n<Extra>\r\nRxOffsetY=\r\n</Extra>\r\n";
    ASSERT_EQ(parse(file, b, msgs), 1);
    EXPECT_EQ(b.Words, (std::array<std::int32_t, 7>{10, 32768, 1, 2, 3, 4, 5}));
    EXPECT_EQ(b.NotesText(), "<Extra>\r\nRxOffsetY=3");
    EXPECT_EQ(b.RxOffsetY, 0);
}

TEST(DataFileRead, BadHeaderWordIsAReadError)
{
    ScriptedMessages msgs;
    TDataBlock b;
    b.Date = "kept";
    const std::string file = "<Header>\r\nd\r\n10\r\nflags\r\n0\r\n0\r\n0\r\n0\r\n0\r\n</Header>\r\n<Data>\r\n0,1\r\n</Data>\r\n";
    EXPECT_EQ(parse(file, b, msgs), 0);
    EXPECT_EQ(msgs.Errors(), QStringList{kErrReading});
    EXPECT_EQ(b.Date, "kept"); // nothing half read
    EXPECT_EQ(b.SampleCount(), 0);

    ScriptedMessages msgs2;
    EXPECT_EQ(parse("<Header>\r\n<Data>\r\n1\r\n</Data>\r\n", b, msgs2), 0);
    EXPECT_EQ(msgs2.Errors(), QStringList{kErrReading});
    EXPECT_EQ(parse(minimalFile("99999999999", "0\r\n"), b, msgs2), 0);
    EXPECT_EQ(msgs2.Errors().size(), 2);
}

TEST(DataFileRead, DateLineLookingLikeTheDataTag)
{
    // The counting pass starts at the date line; the data lines still end
    // at the closing tag.
    ScriptedMessages msgs;
    TDataBlock b;
    b.Date = "<Data>";
    b.Words[1] = 0x8000;
    b.SetSamples(0, {0, 0.1});
    b.SetSamples(1, {1, 2});
    const std::string text = FormatDataFile(b);
    TDataBlock r;
    ASSERT_EQ(parse(text, r, msgs), 2);
    EXPECT_EQ(FormatDataFile(r), text);
}

TEST(DataFileRead, FilesOnDisk)
{
    ScriptedMessages msgs;
    TempDir dir;
    TDataBlock b;
    b.NotesStream();
    EXPECT_EQ(ReadDataFile(QString(), b, msgs), 0);
    EXPECT_TRUE(msgs.Texts().isEmpty());
    EXPECT_EQ(ReadDataFile(dir.file("missing.kdf"), b, msgs), 0);
    EXPECT_EQ(msgs.Errors(), QStringList{kErrReading});
    msgs.Clear();
    EXPECT_EQ(ReadDataFile(dir.path(), b, msgs), 0); // a folder
    EXPECT_EQ(msgs.Errors(), QStringList{kErrReading});
    msgs.Clear();

    const QString f = dir.file("a.kdf");
    ASSERT_TRUE(WriteAll(f, QByteArray::fromStdString(sampleFile())));
    EXPECT_EQ(ReadDataFile(f, b, msgs), 3);
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

TEST(DataFileRead, JunkNeverCrashes)
{
    // Random damage to a valid file: every outcome is a count or a format error.
    const std::string base = sampleFile();
    std::mt19937 rng(7);
    const char alphabet[] = "<>/,.-+e0123456789\r\n \0\xff DataTextExtraAnotace=RxOffsetY";
    for (int i = 0; i < 3000; ++i) {
        std::string s = base;
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits && !s.empty(); ++e) {
            const std::size_t at = rng() % s.size();
            switch (rng() % 3) {
            case 0: s[at] = alphabet[rng() % (sizeof alphabet - 1)]; break;
            case 1: s.erase(at, 1 + rng() % 20); break;
            default: s.insert(at, base.substr(rng() % base.size(), rng() % 30)); break;
            }
        }
        ScriptedMessages msgs;
        TDataBlock b;
        b.NotesStream();
        try {
            const int n = ParseDataFile(s, b, msgs);
            ASSERT_GE(n, 0);
            ASSERT_TRUE(b.CheckInvariants().isEmpty()) << s;
        } catch (const DataFileError&) {
        }
        // Junk may be unreadable, and is said to be so.
        for (const QString& e : msgs.Errors())
            EXPECT_EQ(e, QString::fromLatin1(kErrReading));
    }
}

TEST(DataFileRead, HugeInputs)
{
    ScriptedMessages msgs;
    // A megabyte line of digits is out of range; of blanks, an empty line.
    EXPECT_EQ(parseError(minimalFile("0", std::string(1 << 20, '9') + "\r\n")), kErrBadData);
    TDataBlock blank;
    EXPECT_EQ(parse(minimalFile("0", std::string(1 << 20, ' ') + "\r\n"), blank, msgs), 1);
    EXPECT_EQ(parseError(minimalFile("0", std::string(1 << 20, '\0') + "x\r\n")), kErrBadData);

    // Two million data lines.
    std::string lines;
    lines.reserve(2000000 * 6);
    for (int i = 0; i < 2000000; ++i)
        lines += "1.5,2\n";
    TDataBlock b;
    ASSERT_EQ(parse(minimalFile("32768", lines), b, msgs), 2000000);
    EXPECT_EQ(b.Samples(ArrAltitude).back(), 2);
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

// A file larger than what is read whole (64 MB) reads in pieces as it does
// in memory: lines across the pieces' edges, a notes line longer than a
// piece, a file without a last line end. Samples that would not fit are refused before reading.
TEST(DataFileRead, LargeFilesInPiecesAndTheMemoryBound)
{
    std::string lines;
    for (int i = 0; i < 700000; ++i)
        lines += std::to_string(i) + ".5,-" + std::to_string(i % 977) + ".25\r\n";
    const std::string text = minimalFile("32768", lines, "<Anotace>\r\n1,2,x\r\n</Anotace>\r\n<Text>\r\n" +
                                                            std::string(66 << 20, 'n') + "\r\n</Text>");
    TempDir dir;
    const QString f = dir.file("big.kdf");
    ASSERT_TRUE(WriteAll(f, QByteArray::fromStdString(text)));
    ScriptedMessages msgs;
    TDataBlock fromDisk, inMemory;
    fromDisk.NotesStream();
    ASSERT_EQ(ReadDataFile(f, fromDisk, msgs), 700000);
    ASSERT_EQ(parse(text, inMemory, msgs), 700000);
    EXPECT_EQ(fromDisk.Samples(ArrAltitude), inMemory.Samples(ArrAltitude));
    EXPECT_EQ(fromDisk.Samples(ArrTime)[699999], 699999.5);
    EXPECT_EQ(fromDisk.NotesText().size(), std::size_t(66 << 20));
    EXPECT_EQ(fromDisk.Annotations.size(), 1u);
    EXPECT_TRUE(msgs.Texts().isEmpty());

    // Thirty million empty lines are thirty million samples: more than a
    // small limit allows.
    TDataBlock b;
    b.NotesStream();
    try {
        ParseDataFile(minimalFile("51200", std::string(1000, '\n')), b, msgs, 1000 * 36 - 1);
        ADD_FAILURE() << "not refused";
    } catch (const DataFileError& e) {
        EXPECT_EQ(std::string(e.what()), TooLargeText(1000, 1000 * 36, 1000 * 36 - 1));
    }
    EXPECT_EQ(ParseDataFile(minimalFile("51200", std::string(1000, '\n')), b, msgs, 1000 * 36), 1000);
}

// --- Writer --------------------------------------------------------------

TDataBlock smallRecord()
{
    TDataBlock b;
    b.Date = "15.03.2024 10:22:01";
    b.Words = {10, 0x8000 | 0x4000, 3, 4, 5, 6, -7};
    b.SetSamples(ArrTime, {0.0, 0.1, 7});
    b.SetSamples(ArrAltitude, {7, 102.5, -0.001});
    b.SetSamples(ArrRx, {0.125, -3, 2.675});
    b.Present[0] = b.Present[1] = b.Present[2] = true;
    b.NotesStream();
    return b;
}

TEST(DataFileWrite, ExactBytes)
{
    TDataBlock b = smallRecord();
    EXPECT_EQ(FormatDataFile(b), "<Header>\r\n15.03.2024 10:22:01\r\n10\r\n49152\r\n3\r\n4\r\n5\r\n6\r\n-7\r\n</Header>\r\n"
                                 "<Data>\r\n0.0,7.00,0.13\r\n0.1,102.50,-3.00\r\n7.0,0.00,2.67\r\n</Data>\r\n"
                                 "<Text>\r\n\r\n</Text>\r\n<Extra>\r\nRxOffsetY=0.00\r\n</Extra>\r\n");
    b.Annotations = {{63.5, 120, "a, b"}, {-0.5, 0, "x\r\ny"}};
    b.NotesStream() = "line 1\nline 2\r\n";
    b.RxOffsetY = -2.5;
    const std::string s = FormatDataFile(b);
    EXPECT_NE(s.find("</Data>\r\n<Anotace>\r\n63.50,120.00,a, b\r\n-0.50,0.00,x  y\r\n</Anotace>\r\n<Text>\r\n"
                     "line 1\r\nline 2\r\n\r\n</Text>\r\n<Extra>\r\nRxOffsetY=-2.50\r\n"),
              std::string::npos)
        << s;
}

TEST(DataFileWrite, MultiLineNotesSurviveLoadAndSave)
{
    ScriptedMessages msgs;
    for (const std::string notes : {"", "one", "a\r\nb", "a\r\n\r\nb\r\n", "\r\n", "{\\rtf1 x\\par\r\n y}\r\n\r\n"}) {
        TDataBlock b = smallRecord();
        b.NotesStream() = notes;
        TDataBlock r;
        ASSERT_EQ(parse(FormatDataFile(b), r, msgs), 3);
        EXPECT_EQ(r.NotesText(), notes);
    }
}

TEST(DataFileWrite, FilesAndFailedSaves)
{
    ScriptedMessages msgs;
    TempDir dir;
    TDataBlock b = smallRecord();
    const QString f = dir.file("a.kdf");
    ASSERT_TRUE(WriteDataFile(f, b, msgs));
    EXPECT_EQ(ReadAll(f).toStdString(), FormatDataFile(b));
    EXPECT_TRUE(msgs.Texts().isEmpty());

    // A shorter record replaces a longer file whole.
    TDataBlock shorter = smallRecord();
    for (int k = 0; k < kSampleArrays; ++k)
        if (shorter.HasArray(k))
            shorter.SetSamples(k, {shorter.Samples(k).front()});
    ASSERT_TRUE(WriteDataFile(f, shorter, msgs));
    EXPECT_EQ(ReadAll(f).toStdString(), FormatDataFile(shorter));

    // No folder for the file.
    EXPECT_FALSE(WriteDataFile(dir.file("no/such/folder/a.kdf"), b, msgs));
    EXPECT_EQ(msgs.Errors(), QStringList{kErrWriting + QString("\n") + dir.file("no/such/folder/a.kdf") + "\n" +
                                         QString::fromLocal8Bit(std::strerror(ENOENT))});
    msgs.Clear();
    EXPECT_FALSE(WriteDataFile(QString(), b, msgs));
    ASSERT_EQ(msgs.Errors().size(), 1);
    EXPECT_TRUE(msgs.Errors()[0].startsWith(kErrWriting));
    msgs.Clear();

    // A folder in the way stays as it was.
    ASSERT_TRUE(QDir(dir.path()).mkpath("busy.kdf/inner"));
    EXPECT_FALSE(WriteDataFile(dir.file("busy.kdf"), b, msgs));
    ASSERT_EQ(msgs.Errors().size(), 1);
    EXPECT_TRUE(msgs.Errors()[0].startsWith(kErrWriting + QString("\n") + dir.file("busy.kdf")));
    EXPECT_TRUE(QFileInfo(dir.file("busy.kdf/inner")).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.kdf"}); // no temporary left
    msgs.Clear();

    // A folder that takes no new file: the file is written over in place,
    // read back, and the user is told.
    if (::geteuid() != 0) {
        const QString ro = dir.file("ro");
        ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
        const QString old = ro + "/old.kdf";
        ASSERT_TRUE(WriteAll(old, "old bytes\r\n"));
        QFile(ro).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_TRUE(WriteDataFile(old, b, msgs));
        EXPECT_EQ(ReadAll(old).toStdString(), FormatDataFile(b));
        EXPECT_EQ(msgs.Informations().size(), 1);
        QFile(ro).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

// A record as the download or an edit could leave it, with random content.
TDataBlock randomRecord(std::mt19937& rng)
{
    TDataBlock b;
    std::uniform_real_distribution<double> val(-2000, 2000);
    const auto text = [&](int maxLen, bool oneLine) {
        std::string s;
        const int len = static_cast<int>(rng() % (maxLen + 1));
        for (int i = 0; i < len; ++i) {
            char c = static_cast<char>(32 + rng() % 224);
            if (!oneLine && rng() % 10 == 0)
                s += "\r\n";
            else
                s += c;
        }
        while (oneLine && !s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
            s.pop_back(); // the reader drops blanks at the end of a line
        return s;
    };
    b.Date = text(20, true);
    for (auto& w : b.Words)
        w = static_cast<std::int32_t>(rng());
    b.Words[1] = 0;
    const int n = static_cast<int>(rng() % 200);
    std::vector<double> time;
    for (int i = 0; i < n; ++i)
        time.push_back(i * 0.1);
    b.SetSamples(ArrTime, std::move(time));
    b.Present[0] = true;
    for (int k = 1; k < kChannelArrays; ++k)
        if (rng() % 2) {
            b.Words[1] |= static_cast<std::int32_t>(kArrayMask[k]);
            b.Present[k] = true;
            std::vector<double> values;
            for (int i = 0; i < n; ++i)
                values.push_back(rng() % 3 == 0 ? std::round(val(rng)) / 8 : val(rng));
            b.SetSamples(k, std::move(values));
        }
    const int na = static_cast<int>(rng() % 4);
    for (int i = 0; i < na; ++i)
        b.Annotations.push_back({val(rng), val(rng), text(30, true)});
    b.NotesStream() = text(200, false);
    b.RxOffsetY = val(rng);
    return b;
}

TEST(DataFileWrite, RoundTripIsStable)
{
    ScriptedMessages msgs;
    std::mt19937 rng(2024);
    for (int i = 0; i < 300; ++i) {
        const TDataBlock x = randomRecord(rng);
        const std::string first = FormatDataFile(x);
        TDataBlock y;
        ASSERT_EQ(parse(first, y, msgs), x.SampleCount());
        ASSERT_EQ(FormatDataFile(y), first);
        if (x.SampleCount() > 0)
            ASSERT_TRUE(y.CheckInvariants().isEmpty());
        for (int k = 1; k < kChannelArrays; ++k)
            for (std::size_t s = 0; s < x.Samples(k).size(); ++s)
                ASSERT_NEAR(y.Samples(k)[s], x.Samples(k)[s], 0.005 + 1e-9);
        ASSERT_EQ(y.NotesText(), x.NotesText());
        ASSERT_EQ(y.Annotations.size(), x.Annotations.size());
    }
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

} // namespace
