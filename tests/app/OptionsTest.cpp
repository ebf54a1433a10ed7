// The "Options" dialog: root caption, port choice, file name filter, and
// what confirming changes in the main window.
#include "app/Application.h"
#include "app/MainFrm.h"
#include "app/Options.h"
#include "device/DoskComUnit.h"
#include "ProgramRun.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using namespace qv::test;

TEST(Options, LongRootIsShortenedAndUnknownPortShown)
{
    qv::test::ScriptedMessages messages;
    TFormOptions form;
    form.ComboBoxCOM->clear();
    form.ComboBoxCOM->addItems({"/dev/ttyS0", "/dev/ttyUSB0"});
    const QString root = "/data/flights/season-2026/abcd"; // 30 characters
    form.Fill({root + "e", "/dev/ttyACM7", "Flug", 1.5});
    EXPECT_EQ(form.LabelRoot->text(), "...data/flights/season-2026/abcde");
    EXPECT_EQ(form.LabelRoot->toolTip(), root + "e");
    EXPECT_EQ(form.ComboBoxCOM->currentIndex(), -1);
    EXPECT_EQ(form.ComboBoxCOM->currentText(), "/dev/ttyACM7");
    EXPECT_EQ(form.MarkerEdit->text(), "1.50");
    form.Fill({root, "/dev/ttyUSB0", "Flug", 0});
    EXPECT_EQ(form.LabelRoot->text(), root);
    EXPECT_EQ(form.ComboBoxCOM->currentText(), "/dev/ttyUSB0");

    // A port the system does not list is kept.
    qv::test::TempDir dir;
    form.Fill({dir.path(), "nowhere", "Flug", 0});
    TOptionsValues v;
    ASSERT_TRUE(form.Confirm(v));
    EXPECT_EQ(v.Com, "nowhere");
    EXPECT_EQ(v.Root, dir.path());
    EXPECT_TRUE(messages.Shown().empty());
}

TEST(Options, PortListShowsWhatTheSystemKnowsAndKeepsWhatIsTyped)
{
    qv::test::ScriptedMessages messages;
    qv::test::TempDir dir;
    TFormOptions form;
    form.SetPorts({{"/dev/ttyS0", "/dev/ttyS0"}, {"/dev/ttyUSB0", "/dev/ttyUSB0 - FT232R USB UART (FTDI)"}});
    ASSERT_EQ(form.ComboBoxCOM->count(), 2);
    EXPECT_EQ(form.ComboBoxCOM->itemText(1), "/dev/ttyUSB0");
    EXPECT_EQ(form.ComboBoxCOM->itemData(1, TFormOptions::CaptionRole).toString(),
              "/dev/ttyUSB0 - FT232R USB UART (FTDI)");
    form.Fill({dir.path(), "/dev/ttyS0", "Flug", 0});
    EXPECT_EQ(form.ComboBoxCOM->currentIndex(), 0);
    form.show();

    // Chosen from the list: the port's name goes into the box and is kept.
    form.ComboBoxCOM->setFocus();
    QTest::keyClick(form.ComboBoxCOM, Qt::Key_Down);
    EXPECT_EQ(form.ComboBoxCOM->currentText(), "/dev/ttyUSB0");
    TOptionsValues v;
    ASSERT_TRUE(form.Confirm(v));
    EXPECT_EQ(v.Com, "/dev/ttyUSB0");

    // Typed: kept as typed, also where it begins like a listed one.
    QLineEdit* edit = form.ComboBoxCOM->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, "/dev/ttyS");
    ASSERT_TRUE(form.Confirm(v));
    EXPECT_EQ(v.Com, "/dev/ttyS");

    // No ports at all: the four names of old.
    form.SetPorts({});
    EXPECT_EQ(form.ComboBoxCOM->count(), 4);
    EXPECT_EQ(form.ComboBoxCOM->itemText(0), "COM1");
    EXPECT_TRUE(messages.Shown().empty());
}

TEST(Options, MissingRootIsRefusedAndBadThresholdRestored)
{
    qv::test::ScriptedMessages messages;
    TFormOptions form;
    form.Fill({"/no/such/folder", "COM1", "Blok", 2});
    TOptionsValues v{"/no/such/folder", "COM1", "Blok", 2};
    EXPECT_FALSE(form.Confirm(v));
    EXPECT_EQ(messages.Errors(), QStringList{"Invalid directory!"});

    form.MarkerEdit->setText("abc");
    form.MarkerEditExit();
    EXPECT_EQ(form.MarkerEdit->text(), "2.00");
    EXPECT_EQ(messages.Errors().last(), "Marker Threshold must be a number value.");
    form.MarkerEdit->setText("");
    form.MarkerEditExit();
    EXPECT_EQ(form.MarkerEdit->text(), "0");
}

TEST(Options, FileNameBoxDiscardsForbiddenCharacters)
{
    TFormOptions form;
    form.EditDefFileName->clear();
    for (QChar c : QStringLiteral("A*b:/c?\"<>|\\d")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(form.EditDefFileName, &press);
    }
    EXPECT_EQ(form.EditDefFileName->text(), "Abcd");
}

// The dialog run from the menu, OK clicked with the mouse.
void ClickOkWhenShown(qv::test::ScriptedMessages& messages, const std::function<void()>& before = {})
{
    messages.QueueDialog([before](QDialog&) {
        if (before)
            before();
        for (QPushButton* b : Main()->FormOptions->findChildren<QPushButton*>())
            if (b->text() == "OK")
                QTest::mouseClick(b, Qt::LeftButton);
    });
}

TEST(Options, PortNotListedByTheSystemSurvivesOk)
{
    qv::test::TempDir dir;
    qv::test::ScriptedMessages messages;
    ASSERT_TRUE(qv::test::WriteAll(dir.file("q.ini"), "[Options]\r\nCOM=/dev/ttyUSB9\r\n"));
    TStartOptions o;
    o.ExePath = dir.file("quorvel");
    o.IniPath = dir.file("q.ini");
    o.PortOverride = "/dev/ttyACM3";
    StartForms(o);
    Main()->show();
    QApplication::processEvents();
    Main()->FormOptions->ComboBoxCOM->clear();
    Main()->FormOptions->ComboBoxCOM->addItems({"/dev/ttyS0", "/dev/ttyS1"});

    QString shown;
    ClickOkWhenShown(messages, [&] { shown = Main()->FormOptions->ComboBoxCOM->currentText(); });
    Main()->mnuOptionsClick();
    EXPECT_EQ(shown, "/dev/ttyUSB9");
    EXPECT_EQ(Main()->DoskComForm->Settings().Com, "/dev/ttyUSB9");
    EXPECT_EQ(Main()->DoskComForm->PortName(), "/dev/ttyACM3"); // the run's port stays

    // A port typed by the user replaces both.
    ClickOkWhenShown(messages, [] {
        QLineEdit* edit = Main()->FormOptions->ComboBoxCOM->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, "/dev/ttyUSB0");
    });
    Main()->mnuOptionsClick();
    EXPECT_EQ(Main()->DoskComForm->Settings().Com, "/dev/ttyUSB0");
    EXPECT_EQ(Main()->DoskComForm->PortName(), "/dev/ttyUSB0");
    EXPECT_EQ(messages.Texts(), (QStringList{"Options", "Options"})); // the two dialog runs, nothing else
    Main()->close();
    QApplication::processEvents();
    StopForms();
    EXPECT_TRUE(qv::test::ReadAll(dir.file("q.ini")).contains("COM=/dev/ttyUSB0"));
}

TEST(Options, ConfirmingHandsValuesToTheDeviceDialog)
{
    qv::test::TempDir dir;
    qv::test::ScriptedMessages messages;
    ASSERT_TRUE(QDir(dir.path()).mkdir("other"));
    qv::test::StartProgram(dir.path(), dir.file("q.ini"));
    Main()->Settings.DeflectionOnGraph = true;

    messages.QueueDialog([&](QDialog&) {
        Main()->FormOptions->SetRootFolder(dir.file("other"));
        Main()->FormOptions->EditDefFileName->setText("Flug");
        Main()->FormOptions->accept();
    });
    Main()->mnuOptionsClick();
    EXPECT_EQ(Main()->DataRoot, dir.file("other"));
    EXPECT_EQ(Main()->DoskComForm->Settings().Root, dir.file("other"));
    EXPECT_EQ(Main()->DoskComForm->Settings().DefFileName, "Flug");
    EXPECT_FALSE(Main()->Settings.DeflectionOnGraph);
    EXPECT_TRUE(Main()->TreeNotify);

    // Cancel changes nothing.
    messages.QueueDialog([&](QDialog&) {
        Main()->FormOptions->EditDefFileName->setText("Other");
        Main()->FormOptions->reject();
    });
    Main()->mnuOptionsClick();
    EXPECT_EQ(Main()->DoskComForm->Settings().DefFileName, "Flug");
    Main()->close();
    StopForms();
}

} // namespace
