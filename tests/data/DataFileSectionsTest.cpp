// Flight files as other programs and editors leave them: the sections after
// the data in any order, numbers beyond the range of a double, names that
// are not regular files.
#include "data/DataFile.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace qv;
using qv::test::ScriptedMessages;
using qv::test::TempDir;

const std::string kHead = "<Header>\r\nd\r\n10\r\n49152\r\n0\r\n0\r\n0\r\n0\r\n0\r\n</Header>\r\n"
                          "<Data>\r\n0.0,1.00,2.00\r\n0.1,3.00,4.00\r\n</Data>\r\n";
const std::string kAnnot = "<Anotace>\r\n1.50,20.00,tow, released\r\n2.00,0.00,landed\r\n</Anotace>\r\n";
const std::string kText = "<Text>\r\nwind 3 m/s\r\nthermal\r\n</Text>\r\n";
const std::string kExtra = "<Extra>\r\nRxOffsetY=-2.50\r\n</Extra>\r\n";

struct Loaded {
    int count = 0;
    TDataBlock block;
    QStringList errors;
};

Loaded load(const std::string& text)
{
    Loaded r;
    ScriptedMessages msgs;
    r.block.NotesStream();
    r.count = ParseDataFile(text, r.block, msgs);
    r.errors = msgs.Errors();
    return r;
}

TEST(DataFileSections, AnyOrderAfterTheDataLosesNothing)
{
    struct Case {
        const char* name;
        std::string tail;
        bool annotations, notes;
    };
    const std::vector<Case> cases = {
        {"writer's order", kAnnot + kText + kExtra, true, true},
        {"Extra Anotace Text", kExtra + kAnnot + kText, true, true},
        {"Anotace Extra Text", kAnnot + kExtra + kText, true, true},
        {"Extra Text", kExtra + kText, false, true},
        {"Text Anotace Extra", kText + kAnnot + kExtra, true, true},
        {"Extra Anotace", kExtra + kAnnot, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded r = load(kHead + c.tail);
        ASSERT_EQ(r.count, 2);
        EXPECT_TRUE(r.errors.isEmpty());
        EXPECT_EQ(r.block.RxOffsetY, -2.5);
        if (c.annotations) {
            ASSERT_EQ(r.block.Annotations.size(), 2u);
            EXPECT_EQ(r.block.Annotations[0].Time, 1.5);
            EXPECT_EQ(r.block.Annotations[0].Text, "tow, released");
            EXPECT_EQ(r.block.Annotations[1].Text, "landed");
        } else {
            EXPECT_TRUE(r.block.Annotations.empty());
        }
        EXPECT_EQ(r.block.NotesText(), c.notes ? "wind 3 m/s\r\nthermal" : "");
    }
}

TEST(DataFileSections, ForeignOrderIsWrittenBackWhole)
{
    const Loaded r = load(kHead + kExtra + kText + kAnnot);
    ASSERT_EQ(r.count, 2);
    // Saved in the writer's order with every section's content.
    EXPECT_EQ(FormatDataFile(r.block), kHead + kAnnot + kText + kExtra);
}

TEST(DataFileSections, AnnotationTextsKeepTheirBlanks)
{
    // The edit dialog stores an empty text as one blank; blanks before the
    // time are no part of anything.
    const std::string annot = "<Anotace>\r\n1.50,20.00, \r\n  2.00,0.00,landed  \r\n3.00,1.00,\r\n</Anotace>\r\n";
    const Loaded r = load(kHead + annot + kText + kExtra);
    ASSERT_EQ(r.block.Annotations.size(), 3u);
    EXPECT_EQ(r.block.Annotations[0].Text, " ");
    EXPECT_EQ(r.block.Annotations[1].Text, "landed  ");
    EXPECT_EQ(r.block.Annotations[2].Text, "");
    EXPECT_EQ(FormatDataFile(r.block),
              kHead + "<Anotace>\r\n1.50,20.00, \r\n2.00,0.00,landed  \r\n3.00,1.00,\r\n</Anotace>\r\n" + kText + kExtra);
}

TEST(DataFileSections, TagsInsideTheNotesStayNotes)
{
    const Loaded r = load(kHead + "<Text>\r\n<Anotace>\r\n<Extra>\r\n</Text>\r\n" + kExtra);
    ASSERT_EQ(r.count, 2);
    EXPECT_TRUE(r.block.Annotations.empty());
    EXPECT_EQ(r.block.NotesText(), "<Anotace>\r\n<Extra>");
    EXPECT_EQ(r.block.RxOffsetY, -2.5);
}

TEST(DataFileNumbers, UnderflowReadsAsZeroOverflowFails)
{
    for (const char* tiny : {"1e-400", "-1e-400", "0.000001e-320", "2e-324", "0.0e-99999999999"}) {
        SCOPED_TRACE(tiny);
        double v = 7;
        EXPECT_TRUE(ParseReal(tiny, v));
        EXPECT_EQ(v, 0.0);
    }
    double v = 7;
    EXPECT_TRUE(ParseReal("1e-310", v)); // subnormal, kept as it is
    EXPECT_GT(v, 0.0);
    for (const char* huge : {"1e400", "-1e400", "123456e305", "0.001e312", "1e99999999999"}) {
        SCOPED_TRACE(huge);
        EXPECT_FALSE(ParseReal(huge, v));
    }

    // In every place a file holds a number.
    const std::string text = "<Header>\r\nd\r\n10\r\n49152\r\n0\r\n0\r\n0\r\n0\r\n0\r\n</Header>\r\n"
                             "<Data>\r\n0.0,1e-400,2.00\r\n1e-400,3.00, -5E-999 \r\n</Data>\r\n"
                             "<Anotace>\r\n1e-400,1E-500,x\r\n</Anotace>\r\n<Extra>\r\nRxOffsetY=1e-400\r\n</Extra>\r\n";
    const Loaded r = load(text);
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(r.block.Samples(ArrAltitude), (std::vector<double>{0, 3}));
    EXPECT_EQ(r.block.Samples(ArrTime), (std::vector<double>{0, 0}));
    EXPECT_EQ(r.block.Samples(ArrRx), (std::vector<double>{2, 0}));
    ASSERT_EQ(r.block.Annotations.size(), 1u);
    EXPECT_EQ(r.block.Annotations[0].Altitude, 0);
    EXPECT_EQ(r.block.RxOffsetY, 0);

    std::string tooLarge = text;
    tooLarge.replace(tooLarge.find("1e-400,3.00"), 6, "1e+400");
    ScriptedMessages msgs;
    TDataBlock b;
    b.NotesStream();
    try {
        ParseDataFile(tooLarge, b, msgs);
        ADD_FAILURE() << "a value beyond the largest double was read";
    } catch (const DataFileError& e) {
        EXPECT_STREQ(e.what(), kErrBadData);
    }
}

TEST(DataFileRead, OnlyRegularFilesAreRead)
{
    TempDir dir;
    ScriptedMessages msgs;
    TDataBlock b;
    b.NotesStream();
    // A folder, a device and a link to a device.
    ASSERT_TRUE(QFile::link("/dev/zero", dir.file("zero.kdf")));
    for (const QString& name : {dir.path(), QStringLiteral("/dev/zero"), dir.file("zero.kdf")}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(IsRegularFile(name));
        EXPECT_EQ(ReadDataFile(name, b, msgs), 0);
    }
    EXPECT_EQ(msgs.Errors(), QStringList(3, QString::fromLatin1(kErrReading)));
    EXPECT_EQ(b.SampleCount(), 0);

    // A link to a regular file is read.
    ASSERT_TRUE(qv::test::WriteAll(dir.file("real.kdf"), QByteArray::fromStdString(kHead)));
    ASSERT_TRUE(QFile::link(dir.file("real.kdf"), dir.file("link.kdf")));
    EXPECT_EQ(ReadDataFile(dir.file("link.kdf"), b, msgs), 2);
}

} // namespace
