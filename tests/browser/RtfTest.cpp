#include "browser/Notes.h"
#include "browser/Rtf.h"
#include "support/QtPrinters.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace qv;

// Notes as a Windows rich-edit control saves them: code page 1250, a font
// table with a panose entry, a colour table, a generator destination.
const char* const kRichEditNotes =
    "{\\rtf1\\ansi\\ansicpg1250\\deff0\\deflang1029{\\fonttbl{\\f0\\fswiss\\fcharset238"
    "{\\*\\panose 020b0604020202020204}Arial;}{\\f1\\froman\\fprq2\\fcharset238 Times New Roman;}"
    "{\\f2\\fmodern\\fcharset0 Courier New;}}\r\n"
    "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
    "{\\*\\generator Msftedit 5.41.21.2510;}\\viewkind4\\uc1\\pard\\qc\\b\\f0\\fs28 Let \\'e8. 5\\b0\\par\r\n"
    "\\pard\\f1\\fs20 P\\'f8ist\\'e1n\\'ed \\i na \\'9aikm\\'e9\\i0  ploch\\'e9.\\par\r\n"
    "\\pard\\qr\\ul\\f2\\fs16\\cf1 Caf\\'e8\\ulnone\\cf0\\tab x\\line y\\par\r\n"
    "}\r\n";

TRichFormat Format(const char* font, int points, bool bold = false, bool italic = false)
{
    TRichFormat f;
    f.Font = QString::fromLatin1(font);
    f.HalfPoints = points * 2;
    f.Bold = bold;
    f.Italic = italic;
    return f;
}

QString Text(const TRichDocument& d) { return d.PlainText(); }

TEST(RtfReader, ReadsWhatARichEditControlWrote)
{
    const TRichDocument d = ReadRtf(kRichEditNotes);
    ASSERT_EQ(d.Paragraphs.size(), 3u);

    const TRichParagraph& title = d.Paragraphs[0];
    EXPECT_EQ(title.Align, AlignCenter);
    ASSERT_EQ(title.Runs.size(), 1u);
    EXPECT_EQ(title.Runs[0].Text, QStringLiteral("Let č. 5"));
    EXPECT_EQ(title.Runs[0].Format, Format("Arial", 14, true));

    const TRichParagraph& body = d.Paragraphs[1];
    EXPECT_EQ(body.Align, AlignLeft);
    ASSERT_EQ(body.Runs.size(), 3u);
    EXPECT_EQ(body.Runs[0].Text, QStringLiteral("Přistání "));
    EXPECT_EQ(body.Runs[0].Format, Format("Times New Roman", 10));
    EXPECT_EQ(body.Runs[1].Text, QStringLiteral("na šikmé"));
    EXPECT_EQ(body.Runs[1].Format, Format("Times New Roman", 10, false, true));
    EXPECT_EQ(body.Runs[2].Text, QStringLiteral(" ploché."));

    // A Western font decodes its escapes in code page 1252.
    const TRichParagraph& right = d.Paragraphs[2];
    EXPECT_EQ(right.Align, AlignRight);
    ASSERT_EQ(right.Runs.size(), 2u);
    EXPECT_EQ(right.Runs[0].Text, QStringLiteral("Cafè"));
    EXPECT_TRUE(right.Runs[0].Format.Underline);
    EXPECT_EQ(right.Runs[0].Format.Colour, 0xFF0000u);
    EXPECT_EQ(right.Runs[0].Format.HalfPoints, 16);
    EXPECT_EQ(right.Runs[1].Text, QStringLiteral("\tx") + QChar(0x2028) + QStringLiteral("y"));
    EXPECT_FALSE(right.Runs[1].Format.Underline);
    EXPECT_EQ(right.Runs[1].Format.Colour, kAutoColour);
}

TEST(RtfReader, UnicodeEscapesSkipTheirStandIns)
{
    // \uc2 drops two stand-ins, escapes and control words too; the count
    // ends with the group.
    const TRichDocument d = ReadRtf("{\\rtf1\\ansi\\uc2 a\\u8364\\'80?b{\\uc1\\u382?}\\u-3913 c\\u268 {d}"
                                    "{\\uc0\\u268 e}}");
    EXPECT_EQ(Text(d), QStringLiteral("a€bž") + QChar(0xF0B7) + QStringLiteral("dČe"));
}

TEST(RtfReader, StylesSwitchOffAndGroupsRestoreThem)
{
    const TRichDocument d =
        ReadRtf("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 a{\\b b\\i c}d\\strike e\\strike0\\ul f\\ul0 g\\plain h}");
    const auto& runs = d.Paragraphs.at(0).Runs;
    ASSERT_EQ(runs.size(), 8u);
    EXPECT_EQ(runs[1].Text, QStringLiteral("b"));
    EXPECT_TRUE(runs[1].Format.Bold);
    EXPECT_TRUE(runs[2].Format.Bold && runs[2].Format.Italic);
    EXPECT_EQ(runs[3].Text, QStringLiteral("d"));
    EXPECT_EQ(runs[3].Format, runs[0].Format);
    EXPECT_TRUE(runs[4].Format.Strike);
    EXPECT_TRUE(runs[5].Format.Underline);
    EXPECT_EQ(runs[6].Format, runs[0].Format);
    EXPECT_EQ(runs[7].Text, QStringLiteral("h")); // \plain: back to the defaults
    EXPECT_EQ(runs[7].Format, Format("Arial", 12));
}

TEST(RtfReader, SkipsDestinationsAndUnknownWords)
{
    const TRichDocument d = ReadRtf("{\\rtf1{\\info{\\title T}}{\\*\\fancy {x}y}\\foo123 a\\~b\\-c\\{\\}\\\\"
                                    "{\\pict\\bin4 {}\\x}d\\emdash}");
    EXPECT_EQ(Text(d), QStringLiteral("a\u00A0bc{}\\d\u2014"));
}

TEST(RtfReader, PlainTextIsNotRtf)
{
    const TRichDocument d = ReadRtf("Vzlet \xe8\x61s 10:42\r\n\r\n{\\b no}");
    ASSERT_EQ(d.Paragraphs.size(), 3u);
    EXPECT_EQ(Text(d), QStringLiteral("Vzlet čas 10:42\n\n{\\b no}"));
    EXPECT_EQ(NotesKindOf("  plain"), TNotesKind::Plain);
    EXPECT_EQ(NotesKindOf(" \r\n{\\rtf1 x}"), TNotesKind::Rtf);
    EXPECT_EQ(NotesKindOf("\r\n"), TNotesKind::Empty);
}

TEST(RtfReader, DamagedInputGivesWhatCouldBeRead)
{
    // Unbalanced braces either way.
    EXPECT_EQ(Text(ReadRtf("{\\rtf1 abc{\\b def")), QStringLiteral("abcdef"));
    EXPECT_EQ(Text(ReadRtf("{\\rtf1 a}}}b")), QStringLiteral("a"));
    // Numbers far beyond any range.
    const TRichDocument big = ReadRtf("{\\rtf1\\fs99999999999999999999 x\\f-99999999999999999999 "
                                      "\\uc99999999999999999999 y\\u99999999999999999999 z}");
    EXPECT_EQ(big.Paragraphs[0].Runs[0].Format.HalfPoints, 3276);
    EXPECT_EQ(Text(big), QStringLiteral("xy") + QChar(0xFFFF));
    // \bin counts past the end of the input.
    EXPECT_EQ(Text(ReadRtf("{\\rtf1 a\\bin999999999999 bc}")), QStringLiteral("a"));
    EXPECT_EQ(Text(ReadRtf("{\\rtf1 a\\bin-5 bc}")), QStringLiteral("abc"));
    // Escapes cut off by the end of the input.
    for (const char* tail : {"\\", "\\'", "\\'4", "\\'4g", "\\u", "\\u-", "\\uc", "{\\*", "\\bin"})
        EXPECT_EQ(Text(ReadRtf(std::string("{\\rtf1 a") + tail)).left(1), QStringLiteral("a")) << tail;
}

TEST(RtfReader, DeepNestingNeitherCrashesNorLosesText)
{
    const int depth = 100000;
    const std::string open(depth, '{'), close(depth, '}');
    EXPECT_EQ(Text(ReadRtf("{\\rtf1 " + open + "\\b x" + close + " y}")), QStringLiteral("x y"));
    EXPECT_EQ(Text(ReadRtf("{\\rtf1 " + open + "x")), QStringLiteral("x"));
    EXPECT_EQ(Text(ReadRtf("{\\rtf1 {\\*" + open + "x" + close + "}z}")), QStringLiteral("z"));
}

TEST(RtfReader, EveryTruncationOfRealNotesReads)
{
    const std::string notes = kRichEditNotes;
    const QString full = Text(ReadRtf(notes));
    for (std::size_t n = 0; n <= notes.size(); ++n) {
        const QString part = Text(ReadRtf(notes.substr(0, n)));
        if (n > 0 && IsRtf(notes.substr(0, n)))
            EXPECT_TRUE(full.startsWith(part.left(part.size() - 1))) << n;
    }
}

TRichDocument Sample()
{
    TRichDocument d;
    TRichFormat bold = Format("Arial", 14, true);
    TRichFormat courier = Format("Courier New", 10);
    courier.Underline = courier.Strike = true;
    courier.Colour = 0x0000C0;
    TRichFormat times = Format("Times New Roman", 11, false, true);
    d.Paragraphs.push_back({AlignCenter, {{bold, QStringLiteral("Přistání {č. 5}")}}});
    d.Paragraphs.push_back({AlignLeft, {}});
    d.Paragraphs.push_back({AlignRight,
                            {{courier, QStringLiteral("è\\€\t1") + QChar(0x2028)},
                             {times, QStringLiteral("Ωmega 12 ")},
                             {Format("Arial", 14), QStringLiteral("ž")}}});
    d.Paragraphs.push_back({AlignJustify, {{times, QStringLiteral(" ")}}});
    return d;
}

TEST(RtfWriter, WritesTheSubsetInCodePage1250)
{
    TRichDocument d;
    d.Paragraphs.push_back({AlignCenter, {{Format("Arial", 10, true), QStringLiteral("Čas {è}")}}});
    d.Paragraphs.push_back({AlignLeft, {{Format("Arial", 10), QStringLiteral("ok")}}});
    EXPECT_EQ(WriteRtf(d), "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fnil\\fcharset238 Arial;}}\r\n"
                           "\\viewkind4\\uc1\\pard\\qc\\f0\\fs20\\b\\'c8as \\{\\u232?\\}\\par\r\n"
                           "\\pard\\b0 ok\\par\r\n}");
}

TEST(RtfWriter, ReadingWhatItWroteGivesTheDocumentBack)
{
    const TRichDocument d = Sample();
    const std::string rtf = WriteRtf(d);
    EXPECT_EQ(ReadRtf(rtf), d);
    EXPECT_EQ(WriteRtf(ReadRtf(rtf)), rtf);
    // A line equal to the end tag of the notes section can never appear.
    EXPECT_EQ(rtf.find("\r\n</Text>\r\n"), std::string::npos);
    // The rich-edit sample survives reading and writing twice.
    const std::string once = WriteRtf(ReadRtf(kRichEditNotes));
    EXPECT_EQ(ReadRtf(once), ReadRtf(kRichEditNotes));
    EXPECT_EQ(WriteRtf(ReadRtf(once)), once);
}

TEST(Notes, TextDocumentKeepsFontsSizesStylesAndAlignment)
{
    QTextDocument doc;
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 10));
    const TRichDocument d = Sample();
    RichToDocument(d, doc);
    EXPECT_EQ(doc.blockCount(), 4);
    EXPECT_EQ(doc.begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(RichFromDocument(doc), d);
    EXPECT_EQ(SaveNotes(doc), WriteRtf(d));
}

TEST(Notes, TypedTextTakesTheDefaultFont)
{
    QTextDocument doc;
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 10));
    QTextCursor(&doc).insertText(QStringLiteral("Vítr"));
    const TRichDocument d = ReadRtf(SaveNotes(doc));
    ASSERT_EQ(d.Paragraphs.at(0).Runs.size(), 1u);
    EXPECT_EQ(d.Paragraphs[0].Runs[0].Format, Format("Arial", 10));
}

TEST(Notes, PlainNotesAndBrokenHtmlNotes)
{
    QTextDocument doc;
    LoadNotes("line 1\r\nline \x9a", doc);
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("line 1\nline š"));
    EXPECT_EQ(NotesPlainText("a\r\nb"), QStringLiteral("a\nb"));

    // RTF that an earlier build wrapped into HTML paragraphs is read as RTF.
    QTextDocument wrapped;
    wrapped.setPlainText(QString::fromLatin1(kRichEditNotes));
    const std::string html = wrapped.toHtml().toStdString();
    EXPECT_EQ(NotesKindOf(html), TNotesKind::Html);
    EXPECT_EQ(NotesPlainText(html), QStringLiteral("Let č. 5\nPřistání na šikmé ploché.\nCafè\tx\ny"));
    LoadNotes(html, doc);
    EXPECT_EQ(doc.blockCount(), 3);
    EXPECT_EQ(RichFromDocument(doc), ReadRtf(kRichEditNotes));

    // Plain text saved from the command line becomes one paragraph.
    EXPECT_EQ(Text(ReadRtf(PlainNotes(QStringLiteral("Vítr 3 m/s")))), QStringLiteral("Vítr 3 m/s"));
}

} // namespace
