#include "browser/FlightInfo.h"
#include "browser/NotesDialogs.h"
#include "flights/OpenFlights.h"
#include "support/KdfText.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using namespace qv::test;

// Notes as a Windows rich-edit control wrote them: a bold centred title in
// Arial 14, a body in Times New Roman 10 with an italic run, a right-aligned
// line in Courier New.
const char* const kOldNotes =
    "{\\rtf1\\ansi\\ansicpg1250\\deff0\\deflang1029{\\fonttbl{\\f0\\fswiss\\fcharset238 Arial;}"
    "{\\f1\\froman\\fprq2\\fcharset238 Times New Roman;}{\\f2\\fmodern\\fcharset238 Courier New;}}\r\n"
    "\\viewkind4\\uc1\\pard\\qc\\b\\f0\\fs28 Let \\'e8. 5\\b0\\par\r\n"
    "\\pard\\f1\\fs20 P\\'f8ist\\'e1n\\'ed \\i na \\'9aikm\\'e9\\i0  ploch\\'e9.\\par\r\n"
    "\\pard\\qr\\f2\\fs16 Tah 412 N\\par\r\n"
    "}\r\n";

// Dialogs that answer at once: the font dialog with a prepared choice, the
// printer set-up with a PDF file.
struct ScriptedDialogs : INotesDialogs {
    bool ChooseFont(TFontChoice& c) override
    {
        preset = c;
        ++fontCalls;
        if (!answer)
            return false;
        c = *answer;
        return true;
    }
    bool SetupPrinter(QPrinter& printer) override
    {
        ++printCalls;
        if (pdf.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    }
    std::optional<TFontChoice> answer;
    TFontChoice preset;
    QString pdf;
    int fontCalls = 0;
    int printCalls = 0;
};

class FlightInfoTest : public ::testing::Test {
protected:
    FlightInfoTest()
    {
        page.SetDialogs(&dialogs);
        page.resize(900, 500);
        page.show();
        QApplication::setActiveWindow(&page);
        TFlightInfo info;
        info.FileName = dir.file("Blok7.kdf");
        info.Date = QStringLiteral("08.12.2026 10:15");
        page.ShowInfo(info);
        page.SetNotes(kOldNotes);
        edit = page.RichEdit1;
        edit->setFocus();
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(edit, Qt::Key(key), mods); }
    // Selects n characters from the start of paragraph p.
    void Select(int p, int n)
    {
        Key(Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < p; ++i)
            Key(Qt::Key_Down);
        Key(Qt::Key_Home);
        for (int i = 0; i < n; ++i)
            Key(Qt::Key_Right, Qt::ShiftModifier);
    }
    QTextCharFormat SelectedFormat() const { return edit->textCursor().charFormat(); }
    QFont SelectedFont() const { return SelectedFormat().font().resolve(edit->document()->defaultFont()); }

    ScriptedMessages msgs;
    TempDir dir;
    ScriptedDialogs dialogs;
    TFlightInfoPage page;
    QTextEdit* edit = nullptr;
};

TEST_F(FlightInfoTest, OldRtfNotesShowAsFormattedText)
{
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("Let č. 5\nPřistání na šikmé ploché.\nTah 412 N"));
    EXPECT_EQ(page.EditFile->text(), QStringLiteral("Blok7.kdf"));
    EXPECT_EQ(page.EditFile->toolTip(), dir.file("Blok7.kdf"));
    EXPECT_FALSE(page.NotesChanged());
    QTextBlock b = edit->document()->begin();
    EXPECT_EQ(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    b = b.next().next();
    EXPECT_TRUE(b.blockFormat().alignment().testFlag(Qt::AlignRight));
    Select(1, 12);
    EXPECT_EQ(SelectedFont().family(), QStringLiteral("Times New Roman"));
    EXPECT_TRUE(SelectedFont().italic());
    EXPECT_EQ(SelectedFont().pointSize(), 10);
    // Nothing typed: the notes are unchanged and nothing can be undone.
    EXPECT_FALSE(page.NotesChanged());
    EXPECT_FALSE(page.TBUndo->isEnabled());
}

TEST_F(FlightInfoTest, ToolBarAndPopupMenuInTheirOrder)
{
    QStringList hints;
    for (QAction* a : page.ToolBarNotes->actions()) {
        QWidget* w = page.ToolBarNotes->widgetForAction(a);
        hints << (a->isSeparator() ? QStringLiteral("|") : w->toolTip());
    }
    EXPECT_EQ(hints, (QStringList{"Tisk", "Vyjmout", "Kopírovat", "Vložit", "Zpět", "|", "Tučné", "Kurzíva",
                                  "Podtržené", "Písmo", "|", "Písmo", "Velikost písma", "|", "Zarovnat doleva",
                                  "Zarovnat na střed", "Zarovnat doprava"}));
    EXPECT_EQ(page.TBBold->text() + page.TBItalic->text() + page.TBUnderline->text() + page.TBFont->text(),
              QStringLiteral("BIUA"));
    EXPECT_EQ(page.AlignGroup->id(page.TBLeftAlign), 0);
    EXPECT_EQ(page.AlignGroup->id(page.TBRightAlign), 1);
    EXPECT_EQ(page.AlignGroup->id(page.TBCenterAlign), 2);

    QStringList captions;
    for (QAction* a : page.PopupNotes->actions())
        captions << (a->isSeparator() ? QStringLiteral("|") : a->text());
    EXPECT_EQ(captions, (QStringList{"Tisk", "Vyjmout", "Kopírovat", "Vložit", "Zpět", "|", "Font", "Zarovnání", "|",
                                     "Storno"}));
    for (QAction* radio : {page.pmnuLeft, page.pmnuCenter, page.pmnuRight})
        EXPECT_TRUE(radio->isCheckable() && radio->actionGroup() && radio->actionGroup()->isExclusive());
    EXPECT_EQ(page.pmnuLeft->text() + "/" + page.pmnuCenter->text() + "/" + page.pmnuRight->text(),
              QStringLiteral("Doleva/Na střed/Doprava"));
    // A right click opens it, prepared for the selection.
    Select(0, 3);
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 10), edit->viewport()->mapToGlobal(QPoint(20, 10)));
    QApplication::sendEvent(edit->viewport(), &click);
    EXPECT_TRUE(page.PopupNotes->isVisible());
    EXPECT_TRUE(page.pmnuCenter->isChecked());
    EXPECT_TRUE(page.pmnuCut->isEnabled());
    page.PopupNotes->close();

    // The menu's alignment items work like the buttons.
    Select(1, 0);
    page.pmnuRight->trigger();
    EXPECT_TRUE(edit->alignment().testFlag(Qt::AlignRight));
    EXPECT_TRUE(page.TBRightAlign->isChecked());
}

TEST(FontDialog, ShowsAndReturnsTheChoice)
{
    TFontDialog dlg;
    TFontChoice c;
    c.Name = QStringLiteral("DejaVu Sans");
    c.Points = 14;
    c.Bold = true;
    c.Underline = true;
    c.Colour = QColor(0xFF, 0, 0);
    c.Charset = 0;
    dlg.SetChoice(c);
    const TFontChoice back = dlg.Choice();
    EXPECT_EQ(back.Name, c.Name);
    EXPECT_EQ(back.Points, 14);
    EXPECT_TRUE(back.Bold && !back.Italic && back.Underline && !back.Strike);
    EXPECT_EQ(back.Colour, c.Colour);
    EXPECT_EQ(back.Charset, 0);
    dlg.ComboSize->setEditText(QStringLiteral("abc"));
    EXPECT_EQ(dlg.Choice().Points, 10);
}

TEST_F(FlightInfoTest, ToolsFollowTheSelection)
{
    Select(0, 3);
    EXPECT_TRUE(page.TBBold->isChecked());
    EXPECT_FALSE(page.TBItalic->isChecked());
    EXPECT_TRUE(page.TBCenterAlign->isChecked());
    EXPECT_FALSE(page.TBLeftAlign->isChecked());
    EXPECT_EQ(page.ComboBoxFontSize->currentText(), QStringLiteral("14"));
    const int arial = page.ComboBoxFontName->findText(QStringLiteral("Arial"), Qt::MatchFixedString);
    EXPECT_EQ(page.ComboBoxFontName->currentIndex(), arial);
    EXPECT_TRUE(page.TBCut->isEnabled());
    EXPECT_TRUE(page.TBCopy->isEnabled());
    page.PreparePopup();
    EXPECT_TRUE(page.pmnuCenter->isChecked());
    EXPECT_TRUE(page.pmnuCopy->isEnabled());

    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_FALSE(page.TBBold->isChecked());
    EXPECT_TRUE(page.TBRightAlign->isChecked());
    EXPECT_EQ(page.ComboBoxFontSize->currentText(), QStringLiteral("8"));
    EXPECT_FALSE(page.TBCut->isEnabled());
    page.PreparePopup();
    EXPECT_TRUE(page.pmnuRight->isChecked());
    EXPECT_FALSE(page.pmnuCut->isEnabled());

    // Typing makes undo available; undo returns to the unchanged notes.
    QTest::keyClicks(edit, QStringLiteral("!"));
    EXPECT_TRUE(page.TBUndo->isEnabled());
    EXPECT_TRUE(page.NotesChanged());
    QTest::mouseClick(page.TBUndo, Qt::LeftButton);
    EXPECT_FALSE(page.NotesChanged());

    // The alignment buttons set the paragraph's alignment.
    Select(1, 0);
    QTest::mouseClick(page.TBCenterAlign, Qt::LeftButton);
    EXPECT_EQ(edit->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_TRUE(page.TBCenterAlign->isChecked());
}

TEST_F(FlightInfoTest, StyleKeysToggleInsteadOfTyping)
{
    const QString text = edit->toPlainText();
    Select(1, 8);
    Key(Qt::Key_Tab);
    EXPECT_TRUE(SelectedFont().italic());
    EXPECT_TRUE(page.TBItalic->isChecked());
    Key(Qt::Key_I, Qt::ControlModifier);
    EXPECT_FALSE(SelectedFont().italic());
    Key(Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(SelectedFont().bold());
    EXPECT_TRUE(page.TBBold->isChecked());
    Key(Qt::Key_U, Qt::ControlModifier);
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(SelectedFont().underline());
    EXPECT_TRUE(SelectedFont().strikeOut());
    Key(Qt::Key_N, Qt::ControlModifier);
    const QFont f = SelectedFont();
    EXPECT_FALSE(f.bold() || f.italic() || f.underline() || f.strikeOut());
    EXPECT_EQ(edit->toPlainText(), text); // no key was typed into the text

    // The style buttons do the same.
    QTest::mouseClick(page.TBUnderline, Qt::LeftButton);
    EXPECT_TRUE(SelectedFont().underline());
}

TEST_F(FlightInfoTest, SizeBoxTakesDigitsOnlyAndEmptyMeansTen)
{
    Select(1, 8);
    QLineEdit* box = page.ComboBoxFontSize->lineEdit();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), QString());
    EXPECT_EQ(SelectedFont().pointSize(), 10);

    QTest::keyClicks(box, QStringLiteral("2x,4"));
    EXPECT_EQ(box->text(), QStringLiteral("24"));
    EXPECT_EQ(SelectedFont().pointSize(), 24);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(SelectedFont().pointSize(), 24);
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(page.ComboBoxFontSize->currentText(), QStringLiteral("24"));
}

TEST_F(FlightInfoTest, FontNameBoxAppliesTheChosenName)
{
    ASSERT_GT(page.ComboBoxFontName->count(), 0);
    const QString name = page.ComboBoxFontName->itemText(page.ComboBoxFontName->count() - 1);
    Select(1, 8);
    QLineEdit* box = page.ComboBoxFontName->lineEdit();
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, name);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(SelectedFont().family(), name);
    EXPECT_TRUE(edit->hasFocus());
    Select(1, 9); // the ninth character kept its font
    EXPECT_EQ(SelectedFont().family(), QStringLiteral("Times New Roman"));
}

TEST_F(FlightInfoTest, PastedPlainTextComesInCourierNew)
{
    QApplication::clipboard()->setText(QStringLiteral("vítr"));
    EXPECT_TRUE(page.TBPaste->isEnabled());
    Select(0, 3); // replaces the bold "Let"
    QTest::mouseClick(page.TBPaste, Qt::LeftButton);
    EXPECT_EQ(edit->document()->begin().text(), QStringLiteral("vítr č. 5"));
    Select(0, 4);
    EXPECT_EQ(SelectedFont().family(), QStringLiteral("Courier New"));
    EXPECT_TRUE(page.NotesChanged());

    // Nothing pastes into the notes of no file.
    page.ShowInfo({});
    EXPECT_FALSE(page.TBPaste->isEnabled());
}

TEST_F(FlightInfoTest, FontDialogAppliesAllItsProperties)
{
    Select(1, 8);
    TFontChoice c;
    c.Name = QStringLiteral("DejaVu Serif");
    c.Points = 18;
    c.Bold = c.Italic = c.Underline = c.Strike = true;
    c.Colour = QColor(0x80, 0, 0);
    c.Charset = 0;
    c.FixedPitch = true;
    dialogs.answer = c;
    QTest::mouseClick(page.TBFont, Qt::LeftButton);
    EXPECT_EQ(dialogs.fontCalls, 1);
    EXPECT_EQ(dialogs.preset.Name, QStringLiteral("Times New Roman"));
    EXPECT_EQ(dialogs.preset.Points, 10);
    EXPECT_FALSE(dialogs.preset.Colour.isValid());

    const QTextCharFormat f = SelectedFormat();
    EXPECT_EQ(SelectedFont().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(f.fontPointSize(), 18);
    EXPECT_TRUE(f.fontWeight() >= QFont::Bold && f.fontItalic() && f.fontUnderline() && f.fontStrikeOut());
    EXPECT_TRUE(f.fontFixedPitch());
    EXPECT_EQ(f.foreground().color(), QColor(0x80, 0, 0));
    EXPECT_TRUE(page.TBBold->isChecked() && page.TBItalic->isChecked() && page.TBUnderline->isChecked());

    // Back to the automatic colour; a cancelled dialog changes nothing.
    c.Colour = QColor();
    dialogs.answer = c;
    QTest::mouseClick(page.TBFont, Qt::LeftButton);
    EXPECT_FALSE(SelectedFormat().hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(dialogs.preset.Charset, 0);
    dialogs.answer.reset();
    QTest::mouseClick(page.TBFont, Qt::LeftButton);
    EXPECT_EQ(SelectedFont().family(), QStringLiteral("DejaVu Serif"));
}

TEST_F(FlightInfoTest, PrintsTheNotesAndReportsAFailingPrinter)
{
    QTest::mouseClick(page.TBPrint, Qt::LeftButton); // set-up cancelled
    EXPECT_EQ(dialogs.printCalls, 1);
    dialogs.pdf = dir.file("notes.pdf");
    QTest::mouseClick(page.TBPrint, Qt::LeftButton);
    EXPECT_TRUE(msgs.Errors().isEmpty());
    EXPECT_TRUE(ReadAll(dialogs.pdf).startsWith("%PDF"));

    dialogs.pdf = dir.file("missing/folder/notes.pdf");
    page.pmnuPrint->trigger();
    EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Error by Printig richedit!\nThe printer \"") +
                                         dialogs.pdf + QStringLiteral("\" cannot be opened.")});
}

// The notes of a flight file through the open data and the page: kept byte
// for byte until edited, then saved as RTF.
TEST(FlightNotes, UneditedNotesKeepTheirBytes)
{
    ScriptedMessages msgs;
    TempDir dir;
    TFlightInfoPage page;
    TOpenFlights open;
    open.Info = &page;

    KdfContent rtf, plain;
    rtf.Lines = plain.Lines = ThreeChannelLines(10);
    rtf.Notes = QByteArray(kOldNotes).chopped(2); // the file's own line end follows
    plain.Notes = "V\xedtr 3 m/s\r\nbez termiky";
    const QString a = dir.file("a.kdf"), b = dir.file("b.kdf");
    ASSERT_TRUE(WriteAll(a, KdfText(rtf)));
    ASSERT_TRUE(WriteAll(b, KdfText(plain)));

    ASSERT_EQ(open.OpenDataFile(a), 0);
    ASSERT_EQ(open.OpenDataFile(b), 1);
    open.GridChangeActualFile(1);
    EXPECT_EQ(page.RichEdit1->toPlainText(), QStringLiteral("Vítr 3 m/s\nbez termiky"));
    open.GridChangeActualFile(0);
    // Looking and selecting is no edit.
    QTest::keyClick(page.RichEdit1, Qt::Key_End, Qt::ShiftModifier);
    open.GridChangeActualFile(1);
    ASSERT_EQ(open.GridSaveFile(0), TOpenFlights::SaveResult::Saved);
    ASSERT_EQ(open.GridSaveFile(1), TOpenFlights::SaveResult::Saved);
    EXPECT_TRUE(ReadAll(a).contains("<Text>\r\n" + rtf.Notes + "\r\n</Text>"));
    EXPECT_TRUE(ReadAll(b).contains("<Text>\r\n" + plain.Notes + "\r\n</Text>"));
    EXPECT_FALSE(open.Block(0)->Modified);

    // Edited notes are saved as RTF, plain ones included.
    QTest::keyClicks(page.RichEdit1, QStringLiteral("Z"));
    ASSERT_EQ(open.GridSaveFile(1), TOpenFlights::SaveResult::Saved);
    const QByteArray saved = ReadAll(b);
    EXPECT_TRUE(saved.contains("<Text>\r\n{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fnil\\fcharset238 Arial;}}"));
    EXPECT_TRUE(saved.contains("\\f0\\fs20 ZV\\'edtr 3 m/s\\par\r\nbez termiky\\par\r\n}\r\n</Text>"));
    EXPECT_FALSE(page.NotesChanged());

    // Closing with unchanged notes asks nothing.
    EXPECT_TRUE(open.GridCloseFile(0));
    EXPECT_TRUE(open.GridCloseFile(0));
    EXPECT_TRUE(msgs.Questions().isEmpty());
    EXPECT_TRUE(page.RichEdit1->isReadOnly());
}

} // namespace
