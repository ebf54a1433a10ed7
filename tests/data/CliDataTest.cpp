// quorvel-cli file commands, run as the built program.
#include "data/DataFile.h"
#include "support/CliRun.h"
#include "support/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

using qv::test::cli;
using qv::test::CliRun;
using qv::test::ReadAll;
using qv::test::TempDir;
using qv::test::WriteAll;

const QByteArray kFile = "<Header>\r\n15.3.2024 \x9a\xe8\r\n10\r\n51200\r\n3\r\n4\r\n5\r\n6\r\n-7\r\n</Header>\r\n"
                         "<Data>\r\n0.0,100.00,-3.00,12.10\r\n0.1,102.50,5.50,12.00\r\n0.2,101.00,7.00,11.90\r\n"
                         "</Data>\r\n<Anotace>\r\n63.50,120.00,\x9eluv, druhy\r\n</Anotace>\r\n<Text>\r\n"
                         "line 1\r\nline 2\r\n</Text>\r\n<Extra>\r\nRxOffsetY=-1.25\r\n</Extra>\r\n";

TEST(CliData, InfoJson)
{
    TempDir dir;
    const QString f = dir.file("a.kdf");
    ASSERT_TRUE(WriteAll(f, kFile));
    const CliRun r = cli({"info", "--json", "--marker-threshold", "5", f});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &pe);
    ASSERT_EQ(pe.error, QJsonParseError::NoError) << r.out.toStdString();
    const QJsonObject o = doc.object();
    QStringList keys = o.keys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"annotations", "date", "flags", "markers", "notes", "period", "present", "rx_offset_y",
                                 "samples", "words"}));
    EXPECT_EQ(o["date"].toString(), QString::fromUtf8("15.3.2024 šč"));
    EXPECT_EQ(o["period"].toInt(), 10);
    EXPECT_EQ(o["flags"].toInt(), 51200);
    EXPECT_EQ(o["words"].toArray(), (QJsonArray{3, 4, 5, 6, -7}));
    EXPECT_EQ(o["samples"].toInt(), 3);
    EXPECT_EQ(o["present"].toArray(), (QJsonArray{true, true, true, false, false, true, false, false}));
    const QJsonArray ann = o["annotations"].toArray();
    ASSERT_EQ(ann.size(), 1);
    EXPECT_EQ(ann[0].toObject()["time"].toDouble(), 63.5);
    EXPECT_EQ(ann[0].toObject()["altitude"].toDouble(), 120.0);
    EXPECT_EQ(ann[0].toObject()["text"].toString(), QString::fromUtf8("žluv, druhy"));
    EXPECT_EQ(o["notes"].toString(), QStringLiteral("line 1\r\nline 2"));
    EXPECT_EQ(o["rx_offset_y"].toDouble(), -1.25);
    EXPECT_EQ(o["markers"].toInt(), 2);
}

TEST(CliData, ReaderErrorsExitOne)
{
    TempDir dir;
    const QString bad = dir.file("bad.kdf");
    ASSERT_TRUE(WriteAll(bad, " " + kFile));
    CliRun r = cli({"info", bad});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed(), bad.toUtf8() + ": " + qv::kErrBadHeader);
    const QString missing = dir.file("missing.kdf");
    r = cli({"info", "--json", missing});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed(), missing.toUtf8() + ": " + qv::kErrReading);
    EXPECT_TRUE(r.out.isEmpty());
    r = cli({"export-csv", missing});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed(), missing.toUtf8() + ": " + qv::kErrReading);
}

TEST(CliData, OnlyRegularFilesAreRead)
{
    TempDir dir;
    const QString zero = dir.file("zero.kdf");
    ASSERT_TRUE(QFile::link("/dev/zero", zero));
    for (const QStringList& args : {QStringList{"info", zero}, QStringList{"export-csv", zero},
                                    QStringList{"resave", zero, dir.file("out.kdf")}, QStringList{"info", dir.path()}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun r = cli(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err.trimmed(), args[1].toUtf8() + ": not a regular file");
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(dir.file("out.kdf")));
}

TEST(CliData, ArgumentsOutOfShapeGiveTheUsage)
{
    TempDir dir;
    const QString f = dir.file("a.kdf");
    ASSERT_TRUE(WriteAll(f, kFile));
    struct Case {
        QStringList args;
        QByteArray err;
    };
    const QByteArray info = "usage: quorvel-cli info [--json] [--marker-threshold X] FILE";
    const QByteArray csv = "usage: quorvel-cli export-csv FILE [-o OUT]";
    const Case cases[] = {
        {{"info"}, info},
        {{"info", f, f}, info},
        {{"info", "--verbose", f}, info},
        {{"info", f, "--marker-threshold"}, info},
        {{"info", "--marker-threshold", "high", f}, "info: --marker-threshold needs a number"},
        {{"resave", f}, "usage: quorvel-cli resave IN OUT"},
        {{"resave", f, f, f}, "usage: quorvel-cli resave IN OUT"},
        {{"export-csv"}, csv},
        {{"export-csv", f, "-o"}, csv},
        {{"export-csv", f, "-x", "y"}, csv},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.trimmed(), c.err);
    }
    // Options stand anywhere, values also after "=".
    CliRun r = cli({"info", f, "--marker-threshold=5", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(r.out).object()["markers"].toInt(), 2);
    r = cli({"export-csv", "-o", dir.file("a.csv"), f});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.file("a.csv")));
}

TEST(CliData, ResaveAndCsv)
{
    TempDir dir;
    const QString in = dir.file("in.kdf");
    const QString out = dir.file("out.kdf");
    ASSERT_TRUE(WriteAll(in, kFile));
    CliRun r = cli({"resave", in, out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(ReadAll(out), kFile);
    r = cli({"resave", in, dir.file("none/out.kdf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(dir.file("none/out.kdf").toUtf8() + ": " + qv::kErrWriting + "\n" +
                                 dir.file("none/out.kdf").toUtf8() + "\n"))
        << r.err.toStdString();

    r = cli({"export-csv", in});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "time,altitude,rx,voltage\n0,100,-3,12.1\n0.1,102.5,5.5,12\n0.2,101,7,11.9\n");
    const QString csv = dir.file("a.csv");
    r = cli({"export-csv", in, "-o", csv});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(ReadAll(csv).left(25), "time,altitude,rx,voltage\n");
}

} // namespace
