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
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace qv;

TEST(Options, LongRootIsShortenedAndUnknownPortLeavesNoSelection)
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
    EXPECT_EQ(form.MarkerEdit->text(), "1.50");
    form.Fill({root, "/dev/ttyUSB0", "Flug", 0});
    EXPECT_EQ(form.LabelRoot->text(), root);
    EXPECT_EQ(form.ComboBoxCOM->currentText(), "/dev/ttyUSB0");

    // Confirming with no port chosen stores an empty port name.
    qv::test::TempDir dir;
    form.Fill({dir.path(), "nowhere", "Flug", 0});
    TOptionsValues v;
    ASSERT_TRUE(form.Confirm(v));
    EXPECT_EQ(v.Com, "");
    EXPECT_EQ(v.Root, dir.path());
    EXPECT_TRUE(messages.shown().empty());
}

TEST(Options, MissingRootIsRefusedAndBadThresholdRestored)
{
    qv::test::ScriptedMessages messages;
    TFormOptions form;
    form.Fill({"/no/such/folder", "COM1", "Blok", 2});
    TOptionsValues v{"/no/such/folder", "COM1", "Blok", 2};
    EXPECT_FALSE(form.Confirm(v));
    EXPECT_EQ(messages.errors(), QStringList{"Invalid directory!"});

    form.MarkerEdit->setText("abc");
    form.MarkerEditExit();
    EXPECT_EQ(form.MarkerEdit->text(), "2.00");
    EXPECT_EQ(messages.errors().last(), "Marker Threshold must be a number value.");
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

TEST(Options, ConfirmingHandsValuesToTheDeviceDialog)
{
    qv::test::TempDir dir;
    qv::test::ScriptedMessages messages;
    ASSERT_TRUE(QDir(dir.path()).mkdir("other"));
    qv::test::StartProgram(dir.path(), dir.file("q.ini"));
    FormMain->Settings.DeflectionOnGraph = true;

    QTimer::singleShot(0, [&] {
        FormOptions->SetRootFolder(dir.file("other"));
        FormOptions->EditDefFileName->setText("Flug");
        FormOptions->accept();
    });
    FormMain->mnuOptionsClick();
    EXPECT_EQ(FormMain->DataRoot, dir.file("other"));
    EXPECT_EQ(DoskComForm->Settings().Root, dir.file("other"));
    EXPECT_EQ(DoskComForm->Settings().DefFileName, "Flug");
    EXPECT_FALSE(FormMain->Settings.DeflectionOnGraph);
    EXPECT_TRUE(FormMain->TreeNotify);

    // Cancel changes nothing.
    QTimer::singleShot(0, [&] {
        FormOptions->EditDefFileName->setText("Other");
        FormOptions->reject();
    });
    FormMain->mnuOptionsClick();
    EXPECT_EQ(DoskComForm->Settings().DefFileName, "Flug");
    FormMain->close();
    DestroyForms();
}

} // namespace
