#include "annot/Annot.h"
#include "annot/AnnotEdit.h"
#include "base/Assert.h"
#include "support/ScriptedMessages.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace qv {
namespace {

using test::ScriptedMessages;

// Open files as the dialogs see them; a row without a record stands for a
// grid row whose file is gone.
class FakeStore : public IAnnotStore {
public:
    struct File {
        QString Name;
        bool Record = true;
        std::vector<TAnnotPoint> Points;
        bool Modified = false;
    };
    std::vector<File> Files;

    int RowCount() const override { return static_cast<int>(Files.size()); }
    QString RowName(int row) const override { return Files[row].Name; }
    bool HasRecord(int row) const override { return Files[row].Record; }
    std::vector<TAnnotPoint> Annotations(int row) const override { return Files[row].Points; }
    void AddAnnotation(int row, const TAnnotPoint& p) override
    {
        Files[row].Points.push_back(p);
        Files[row].Modified = true;
    }
    void DeleteAnnotation(int row, int index) override
    {
        Files[row].Points.erase(Files[row].Points.begin() + index);
        Files[row].Modified = true;
    }
};

QStringList Lines(const QListWidget* list)
{
    QStringList l;
    for (int i = 0; i < list->count(); ++i)
        l << list->item(i)->text();
    return l;
}

// Types into the edit dialog's fields with the keyboard and presses "Ok".
ScriptedMessages::DialogScript TypeAndOk(const QString& time, const QString& alt, const QString& text)
{
    return [=](QDialog& d) {
        auto& e = static_cast<TFormAnnotEdit&>(d);
        for (QLineEdit* f : {e.EditTime, e.EditAlt, e.EditText})
            f->clear();
        QTest::keyClicks(e.EditTime, time);
        QTest::keyClicks(e.EditAlt, alt);
        QTest::keyClicks(e.EditText, text);
        QTest::mouseClick(e.ButtonOk, Qt::LeftButton);
    };
}

class AnnotDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetAssertSink([this](const QString& r) { asserts << r; });
        store.Files = {{"A", true, {}}, {"B", true, {{1, 10, "one"}, {2, 20, "two"}, {3, 30, "three"}}}};
    }
    void TearDown() override { SetAssertSink(nullptr); }
    ScriptedMessages msgs;
    FakeStore store;
    TFormAnnotEdit edit;
    TFormAnnot list{edit};
    QStringList asserts;
};

TEST_F(AnnotDialogs, OpensOnTheRowAndListsItsAnnotationsWithTheFirstSelected)
{
    list.Prepare(store, 1);
    EXPECT_EQ(list.ComboBox1->count(), 2);
    EXPECT_EQ(list.ComboBox1->currentText(), "B");
    EXPECT_EQ(Lines(list.ListBox1), (QStringList{"one", "two", "three"}));
    EXPECT_EQ(list.ListBox1->currentRow(), 0);
    EXPECT_TRUE(list.ButtonModify->isEnabled());

    list.Prepare(store, 5); // beyond the list: no file chosen
    EXPECT_EQ(list.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(list.ListBox1->count(), 0);
    EXPECT_FALSE(list.ButtonModify->isEnabled());
    EXPECT_FALSE(list.ButtonDelete->isEnabled());
}

TEST_F(AnnotDialogs, ModifyingTheSecondOfThreeMovesItLastWithTheNewValues)
{
    list.Prepare(store, 1);
    list.show();
    list.ListBox1->setCurrentRow(1);
    msgs.QueueDialog([](QDialog& d) {
        auto& e = static_cast<TFormAnnotEdit&>(d);
        EXPECT_EQ(e.EditTime->text(), "2.0");
        EXPECT_EQ(e.EditAlt->text(), "20.0");
        EXPECT_EQ(e.EditText->text(), "two");
        TypeAndOk("2.5", "-4", "moved")(d);
    });
    QTest::mouseClick(list.ButtonModify, Qt::LeftButton);
    EXPECT_EQ(msgs.PendingDialogs(), 0);
    EXPECT_EQ(Lines(list.ListBox1), (QStringList{"one", "three", "moved"}));
    EXPECT_EQ(list.ListBox1->currentRow(), 2);
    ASSERT_EQ(store.Files[1].Points.size(), 3u);
    EXPECT_DOUBLE_EQ(store.Files[1].Points[2].Time, 2.5);
    EXPECT_DOUBLE_EQ(store.Files[1].Points[2].Altitude, -4);
    EXPECT_TRUE(store.Files[1].Modified);
}

TEST_F(AnnotDialogs, DeletingKeepsASelectionInsideTheListAndTheLastOneDisablesTheButtons)
{
    list.Prepare(store, 1);
    list.show();
    list.ListBox1->setCurrentRow(2);
    QTest::mouseClick(list.ButtonDelete, Qt::LeftButton);
    EXPECT_EQ(Lines(list.ListBox1), (QStringList{"one", "two"}));
    EXPECT_EQ(list.ListBox1->currentRow(), 1);

    store.Files[0].Points = {{5, 5, "only"}};
    list.ComboBox1->setCurrentIndex(0);
    EXPECT_EQ(Lines(list.ListBox1), QStringList{"only"});
    QTest::mouseClick(list.ButtonDelete, Qt::LeftButton);
    EXPECT_EQ(list.ListBox1->count(), 0);
    EXPECT_FALSE(list.ButtonModify->isEnabled());
    EXPECT_FALSE(list.ButtonDelete->isEnabled());
    EXPECT_TRUE(store.Files[0].Points.empty());
    EXPECT_TRUE(store.Files[0].Modified);
}

TEST_F(AnnotDialogs, NewStartsAtZeroAndAnEmptyTextIsStoredAsOneBlank)
{
    list.Prepare(store, 0);
    list.show();
    msgs.QueueDialog([](QDialog& d) {
        auto& e = static_cast<TFormAnnotEdit&>(d);
        EXPECT_EQ(e.EditTime->text(), "0");
        EXPECT_EQ(e.EditAlt->text(), "0");
        EXPECT_EQ(e.EditText->text(), "");
        QTest::mouseClick(e.ButtonOk, Qt::LeftButton);
    });
    QTest::mouseClick(list.ButtonAdd, Qt::LeftButton);
    ASSERT_EQ(store.Files[0].Points.size(), 1u);
    EXPECT_EQ(store.Files[0].Points[0].Text, " ");
    EXPECT_EQ(Lines(list.ListBox1), QStringList{" "});
    EXPECT_TRUE(list.ButtonDelete->isEnabled());

    msgs.QueueDialog([](QDialog& d) { QTest::mouseClick(static_cast<TFormAnnotEdit&>(d).ButtonCancel, Qt::LeftButton); });
    QTest::mouseClick(list.ButtonAdd, Qt::LeftButton);
    EXPECT_EQ(store.Files[0].Points.size(), 1u); // cancelled: nothing added
}

TEST_F(AnnotDialogs, NumberFieldsSwallowLettersAndEnterWalksToOk)
{
    edit.show();
    edit.EditTime->setFocus();
    QTest::keyClicks(edit.EditTime, "1x2.5e");
    EXPECT_EQ(edit.EditTime->text(), "12.5");
    QTest::keyClick(edit.EditTime, Qt::Key_Return);
    EXPECT_EQ(edit.focusWidget(), edit.EditAlt);
    QTest::keyClick(edit.EditAlt, Qt::Key_Return);
    EXPECT_EQ(edit.focusWidget(), edit.EditText);
    QTest::keyClicks(edit.EditText, "a b!");
    EXPECT_EQ(edit.EditText->text(), "a b!");
    QTest::keyClick(edit.EditText, Qt::Key_Return);
    EXPECT_EQ(edit.focusWidget(), edit.ButtonOk);
    edit.EditAlt->setText("--");
    EXPECT_DOUBLE_EQ(edit.Point().Altitude, 0); // not a number: 0
}

TEST_F(AnnotDialogs, MissingRecordIsAssertedAndNothingIsAdded)
{
    store.Files[1].Record = false;
    list.Prepare(store, 1);
    EXPECT_EQ(asserts.size(), 1);
    EXPECT_TRUE(asserts[0].startsWith("P=nil in FormAnnot.ComboBox1Change")) << asserts[0].toStdString();
    EXPECT_EQ(list.ListBox1->count(), 0);

    msgs.QueueDialog(TypeAndOk("1", "2", "x"));
    EXPECT_FALSE(AddAnnotationFromChart(edit, store, 1));
    EXPECT_EQ(msgs.Errors(), QStringList{"Pointer not found!"});
    EXPECT_TRUE(asserts.last().startsWith("P=nil in FormAnnot.pmnuAnnotNewClick"));
    EXPECT_EQ(store.Files[1].Points.size(), 3u);

    msgs.QueueDialog(TypeAndOk("7", "8", "chart"));
    EXPECT_TRUE(AddAnnotationFromChart(edit, store, 0));
    ASSERT_EQ(store.Files[0].Points.size(), 1u);
    EXPECT_DOUBLE_EQ(store.Files[0].Points[0].Time, 7);
    EXPECT_EQ(store.Files[0].Points[0].Text, "chart");
}

} // namespace
} // namespace qv
