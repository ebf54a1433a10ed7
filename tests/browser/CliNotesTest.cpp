// quorvel-cli notes, run as the built program.
#include "support/CliRun.h"
#include "support/KdfText.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace qv::test;

const QByteArray kRtfNotes =
    "{\\rtf1\\ansi\\ansicpg1250\\deff0\\deflang1029{\\fonttbl{\\f0\\fswiss\\fcharset238 Arial;}}\r\n"
    "{\\*\\generator Msftedit 5.41.21.2510;}\\viewkind4\\uc1\\pard\\qc\\b\\f0\\fs20 Vzlet \\'e8. 3\\b0\\par\r\n"
    "\\pard\\i P\\'f8ist\\'e1n\\'ed\\i0\\par\r\n}";

QString WriteFlight(const TempDir& dir, const QString& name, const QByteArray& notes)
{
    KdfContent s;
    s.Lines = ThreeChannelLines(5);
    s.Notes = notes;
    const QString path = dir.file(name);
    EXPECT_TRUE(WriteAll(path, KdfText(s)));
    return path;
}

TEST(CliNotes, PrintsTextAndTheRtfTheProgramSaves)
{
    TempDir dir;
    const QString f = WriteFlight(dir, "a.kdf", kRtfNotes);
    CliRun r = cli({"notes", f});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out), QStringLiteral("Vzlet č. 3\nPřistání\n"));

    r = cli({"notes", f, "--rtf"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fnil\\fcharset238 Arial;}}\r\n"
                     "\\viewkind4\\uc1\\pard\\qc\\f0\\fs20\\b Vzlet \\'e8. 3\\par\r\n"
                     "\\pard\\b0\\i P\\'f8ist\\'e1n\\'ed\\par\r\n}\n");

    const QString plain = WriteFlight(dir, "b.kdf", "just text\r\nline 2");
    r = cli({"notes", plain});
    EXPECT_EQ(r.out, "just text\nline 2\n");
}

TEST(CliNotes, HtmlNotesNamingAPipeAreReadWithoutIt)
{
    // A style sheet that is a named pipe: whoever opened it would wait for
    // a writer that never comes.
    TempDir dir;
    const QString pipe = dir.file("sheet.css");
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    const QByteArray html = "<html><head><link rel=\"stylesheet\" href=\"" + pipe.toLocal8Bit() +
                            "\"></head><body><p>Vzlet <img src=\"" + pipe.toLocal8Bit() + "\"></p></body></html>";
    const CliRun r = cli({"notes", WriteFlight(dir, "a.kdf", html)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Vzlet \n");
}

TEST(CliNotes, SetTextSavesOnePlainParagraph)
{
    TempDir dir;
    const QString f = WriteFlight(dir, "a.kdf", kRtfNotes);
    const QByteArray before = ReadAll(f);
    CliRun r = cli({"notes", f, "--set-text", QStringLiteral("Vítr 3 m/s, {klid}")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray after = ReadAll(f);
    EXPECT_TRUE(after.startsWith(before.left(before.indexOf("<Text>"))));
    EXPECT_TRUE(after.contains("<Text>\r\n{\\rtf1\\ansi\\ansicpg1250"));
    EXPECT_TRUE(after.contains("\\f0\\fs20 V\\'edtr 3 m/s, \\{klid\\}\\par\r\n}\r\n</Text>"));
    r = cli({"notes", f});
    EXPECT_EQ(QString::fromUtf8(r.out), QStringLiteral("Vítr 3 m/s, {klid}\n"));
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.kdf")});
}

TEST(CliNotes, ErrorsExitOneWithAMessage)
{
    TempDir dir;
    CliRun r = cli({"notes", dir.file("missing.kdf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("missing.kdf"));
    EXPECT_TRUE(r.out.isEmpty());

    ASSERT_TRUE(WriteAll(dir.file("bad.kdf"), " <Header>\r\n<Data>\r\n1\r\n</Data>\r\n"));
    r = cli({"notes", dir.file("bad.kdf"), "--set-text", "x"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Bad header of file"));
    EXPECT_EQ(ReadAll(dir.file("bad.kdf")), " <Header>\r\n<Data>\r\n1\r\n</Data>\r\n");

    const QString f = WriteFlight(dir, "a.kdf", kRtfNotes);
    r = cli({"notes", f, "--rtf", "--set-text", "x"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("usage"));
    r = cli({"notes", f, "--bogus"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("bogus"));
}

TEST(CliNotes, FileNameThatIsNotUtf8)
{
    TempDir dir;
    KdfContent s;
    s.Lines = ThreeChannelLines(5);
    const QByteArray raw = QFile::encodeName(dir.path()) + "/cz\xe9\x9a.kdf";
    const QByteArray text = KdfText(s);
    FILE* f = std::fopen(raw.constData(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), f);
    std::fclose(f);
    // The shell hands the bytes over as they are.
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QStringLiteral("exec \"$0\" notes \"$(printf 'cz\\351\\232.kdf')\" --set-text Vzlet"),
             QStringLiteral(QV_CLI_PATH)});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    f = std::fopen(raw.constData(), "rb");
    ASSERT_NE(f, nullptr);
    QByteArray changed(100000, '\0');
    changed.truncate(static_cast<qsizetype>(std::fread(changed.data(), 1, changed.size(), f)));
    std::fclose(f);
    EXPECT_TRUE(changed.contains("Vzlet"));
    // No file under another name beside it (Qt lists only names that are text).
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
    std::remove(raw.constData()); // Qt's removal of the folder cannot see it
}

} // namespace

TEST(CliNotes, SetTextOnAFullDiskFailsAndKeepsTheFile)
{
    SmallDisk disk(64 * 1024);
    QV_NEED_SMALL_DISK(disk);
    const QByteArray old = disk.PutFlight("a.kdf");
    ASSERT_FALSE(old.isEmpty());
    const QString f = disk.file("a.kdf");
    ASSERT_TRUE(disk.FillUpTo(old.size() / 2));
    const CliRun r = cli({"notes", f, "--set-text", "x"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("Error in writing file.")) << r.err.toStdString();
    EXPECT_EQ(ReadAll(f), old);
}
