// The "Graph setup" dialog through keys and clicks.
#include "graph/GraphSetupfrm.h"
#include "support/ScriptedMessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using namespace qv::test;

class GraphSetupDialog : public ::testing::Test {
protected:
    // Runs the dialog on `rec`; `act` runs while it is shown.
    bool Run(const std::function<void()>& act)
    {
        msgs.QueueDialog([&](QDialog& shown) {
            EXPECT_EQ(&shown, &form);
            form.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
            act(); // a dialog left open is cancelled
        });
        return form.EditGraphSetup(rec, changed);
    }
    static void ClickBox(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, box->height() / 2)); }

    ScriptedMessages msgs;
    TFormGraphSetup form;
    TGraphSetupRec rec = DefaultGraphSetup();
    bool changed = false;
};

TEST_F(GraphSetupDialog, ShowsTheDefaults)
{
    bool seen = false;
    EXPECT_FALSE(Run([&] {
        seen = true;
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Graph setup"));
        for (QLineEdit* e : {form.EditAltMin, form.EditPSMin, form.EditRXMin, form.EditTMin}) {
            EXPECT_EQ(e->text(), QStringLiteral("0.0"));
            EXPECT_FALSE(e->isEnabled()); // automatic
        }
        for (QLineEdit* e : {form.EditAltMax, form.EditPSMax, form.EditRXMax, form.EditTMax})
            EXPECT_EQ(e->text(), QStringLiteral("100.0"));
        EXPECT_EQ(form.ComboBoxAltLS->currentText(), QStringLiteral("Solid"));
        EXPECT_EQ(form.ComboBoxPSLS->currentText(), QStringLiteral("Dot"));
        EXPECT_EQ(form.ComboBoxRXST->currentText(), QStringLiteral("Dash "));
        EXPECT_EQ(form.ComboBoxAltLW->currentText(), QStringLiteral("1"));
        EXPECT_EQ(form.ComboBoxAnnStyl->currentText(), QStringLiteral("Diamond"));
        EXPECT_EQ(form.ComboBoxMAStyl->currentText(), QStringLiteral("Triangle"));
        EXPECT_EQ(form.ComboBoxAnnSize->currentText(), QStringLiteral("4"));
        EXPECT_EQ(form.ComboBoxMarkSize->count(), 9);
        EXPECT_FALSE(form.ComboBoxMAStyl->isEditable());
        QTest::keyClick(&form, Qt::Key_Escape);
    }));
    EXPECT_TRUE(seen);
    EXPECT_FALSE(changed);
}

TEST_F(GraphSetupDialog, ManualRangeTypedAndConfirmedWithEnter)
{
    ASSERT_TRUE(Run([&] {
        ClickBox(form.CheckBoxAltAuto);
        EXPECT_TRUE(form.EditAltMin->isEnabled());
        form.EditAltMin->setFocus();
        form.EditAltMin->selectAll();
        QTest::keyClicks(form.EditAltMin, "5x0");     // letters are swallowed
        form.EditAltMax->setFocus();
        form.EditAltMax->selectAll();
        QTest::keyClicks(form.EditAltMax, "50");
        // Width 3 greys the style list, width 1 enables it again.
        form.ComboBoxAltLW->setFocus();
        QTest::keyClick(form.ComboBoxAltLW, Qt::Key_Down);
        QTest::keyClick(form.ComboBoxAltLW, Qt::Key_Down);
        EXPECT_EQ(form.ComboBoxAltLW->currentText(), QStringLiteral("3"));
        EXPECT_FALSE(form.ComboBoxAltLS->isEnabled());
        QTest::keyClick(form.ComboBoxAltLW, Qt::Key_Up);
        QTest::keyClick(form.ComboBoxAltLW, Qt::Key_Up);
        EXPECT_TRUE(form.ComboBoxAltLS->isEnabled());
        QTest::keyClick(form.ComboBoxAltLW, Qt::Key_Down);
        QTest::keyClick(form.ComboBoxAltLW, Qt::Key_Return);
    }));
    EXPECT_TRUE(changed);
    EXPECT_FALSE(rec.AltitudeAuto);
    EXPECT_EQ(rec.AltitudeMin, 50);
    EXPECT_EQ(rec.AltitudeMax, 50);
    EXPECT_EQ(rec.AltitudeLWidth, 2);
    EXPECT_TRUE(msgs.Errors().isEmpty());
    // Applied, the range becomes 50..51, and the dialog shows it so.
    EXPECT_EQ(AxisSetupOf(rec, AxisLeft).Range, (TAxisRange{50, 51}));
    Run([&] {
        EXPECT_EQ(form.EditAltMax->text(), QStringLiteral("51.0"));
        QTest::keyClick(form.EditAltMax, Qt::Key_Escape);
    });
}

TEST_F(GraphSetupDialog, NotANumberIsRefusedOnLeavingTheEdit)
{
    Run([&] {
        ClickBox(form.CheckBoxTAuto);
        form.EditTMin->setFocus();
        form.EditTMin->selectAll();
        QTest::keyClicks(form.EditTMin, "-");
        QTest::keyClick(form.EditTMin, Qt::Key_Tab);
        EXPECT_EQ(msgs.Errors(), QStringList{QStringLiteral("Incorrect number!")});
        QApplication::processEvents();
        EXPECT_TRUE(form.EditTMin->hasFocus());
        QTest::keyClick(form.EditTMin, Qt::Key_Escape);
    });
    EXPECT_FALSE(changed);
}

TEST_F(GraphSetupDialog, DefaultsTouchOnlyTheWorkingCopy)
{
    rec.RXAuto = false;
    rec.RXMin = -40;
    rec.MarkerMarkSize = 9;
    const TGraphSetupRec before = rec;
    EXPECT_FALSE(Run([&] {
        EXPECT_EQ(form.EditRXMin->text(), QStringLiteral("-40.0"));
        QTest::mouseClick(form.ButtonDefaults, Qt::LeftButton);
        EXPECT_EQ(form.EditRXMin->text(), QStringLiteral("0.0"));
        EXPECT_TRUE(form.CheckBoxRXAuto->isChecked());
        EXPECT_EQ(form.ComboBoxMarkSize->currentText(), QStringLiteral("4"));
        QTest::mouseClick(form.ButtonCancel, Qt::LeftButton);
    }));
    EXPECT_EQ(rec.RXMin, before.RXMin);
    EXPECT_FALSE(rec.RXAuto);
    EXPECT_EQ(rec.MarkerMarkSize, 9);
    EXPECT_FALSE(changed);
    // Defaults then Ok: the defaults are taken.
    EXPECT_TRUE(Run([&] {
        QTest::mouseClick(form.ButtonDefaults, Qt::LeftButton);
        QTest::mouseClick(form.ButtonOk, Qt::LeftButton);
    }));
    EXPECT_TRUE(rec.RXAuto);
    EXPECT_EQ(rec.MarkerMarkSize, 4);
}

TEST(GraphSetupNumbers, TypedNumbersAndTheirLook)
{
    EXPECT_EQ(ReadTypedNumber(" 12.5 ", 0), 12.5);
    EXPECT_EQ(ReadTypedNumber("abc", 100), 100);
    EXPECT_EQ(ReadTypedNumber("-", -999999), -999999);
    EXPECT_EQ(FormatRangeValue(100), QStringLiteral("100.0"));
    EXPECT_EQ(FormatRangeValue(-0.04), QStringLiteral("-0.0"));
}

} // namespace
