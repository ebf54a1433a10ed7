#include "annot/Annot.h"

#include "annot/AnnotEdit.h"
#include "base/Assert.h"
#include "base/MessageService.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

namespace {
const QString kPointerNotFound = QStringLiteral("Pointer not found!");
}

TFormAnnot::TFormAnnot(TFormAnnotEdit& editor, QWidget* parent)
    : TBareForm(QStringLiteral("FormAnnot"), QStringLiteral("Annotations"), parent), editor_(editor)
{
    rememberPosition_ = true;
    auto* layout = new QVBoxLayout(this);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    layout->addWidget(ComboBox1);
    auto* body = new QHBoxLayout;
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setUniformItemSizes(true);
    body->addWidget(ListBox1, 1);
    auto* buttons = new QVBoxLayout;
    ButtonAdd = new QPushButton(QStringLiteral("New"), this);
    ButtonAdd->setObjectName(QStringLiteral("ButtonAdd"));
    ButtonModify = new QPushButton(QStringLiteral("Modify"), this);
    ButtonModify->setObjectName(QStringLiteral("ButtonModify"));
    ButtonDelete = new QPushButton(QStringLiteral("Delete"), this);
    ButtonDelete->setObjectName(QStringLiteral("ButtonDelete"));
    ButtonClose = new QPushButton(QStringLiteral("Close"), this);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    for (QPushButton* b : {ButtonAdd, ButtonModify, ButtonDelete}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    buttons->addWidget(ButtonClose);
    body->addLayout(buttons);
    layout->addLayout(body);
    resize(360, 260);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(ButtonAdd, &QPushButton::clicked, this, [this] { ButtonAddClick(); });
    connect(ButtonModify, &QPushButton::clicked, this, [this] { ButtonModifyClick(); });
    connect(ButtonDelete, &QPushButton::clicked, this, [this] { ButtonDeleteClick(); });
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TFormAnnot::Prepare(IAnnotStore& store, int row)
{
    store_ = &store;
    {
        const QSignalBlocker block(ComboBox1);
        ComboBox1->clear();
        for (int r = 0; r < store.RowCount(); ++r)
            ComboBox1->addItem(store.RowName(r));
        ComboBox1->setCurrentIndex(row >= 0 && row < ComboBox1->count() ? row : -1);
    }
    ComboBox1Change();
}

void TFormAnnot::Execute(IAnnotStore& store, int row)
{
    Prepare(store, row);
    Messages().ExecDialog(*this);
}

int TFormAnnot::SelectedRecordRow(const char* where, bool pointerError)
{
    const int row = ComboBox1->currentIndex();
    if (!store_ || row < 0)
        return -1;
    if (!QV_ASSERT(store_->HasRecord(row), where)) {
        if (pointerError)
            Messages().Error(kPointerNotFound);
        return -1;
    }
    return row;
}

void TFormAnnot::ComboBox1Change()
{
    ListBox1->clear();
    if (store_ && ComboBox1->currentIndex() >= 0) {
        const int row = SelectedRecordRow("P=nil in FormAnnot.ComboBox1Change", false);
        if (row >= 0) {
            // All lines in one go: a file may hold a great many.
            const std::vector<TAnnotPoint> points = store_->Annotations(row);
            QStringList lines;
            lines.reserve(static_cast<qsizetype>(points.size()));
            for (const TAnnotPoint& p : points)
                lines.append(p.Text);
            ListBox1->addItems(lines);
            if (ListBox1->count() > 0)
                ListBox1->setCurrentRow(0);
        }
    }
    UpdateButtons();
}

void TFormAnnot::UpdateButtons()
{
    const bool selected = ListBox1->count() > 0 && ListBox1->currentRow() >= 0;
    ButtonModify->setEnabled(selected);
    ButtonDelete->setEnabled(selected);
}

void TFormAnnot::ButtonAddClick()
{
    editor_.EditTime->setText(QStringLiteral("0"));
    editor_.EditAlt->setText(QStringLiteral("0"));
    editor_.EditText->clear();
    editor_.SetFlightName(ComboBox1->currentText());
    if (!editor_.Run())
        return;
    const int row = SelectedRecordRow("P=nil in FormAnnot.ButtonAddClick", true);
    if (row < 0)
        return;
    const TAnnotPoint p = editor_.Point();
    store_->AddAnnotation(row, p);
    ListBox1->addItem(p.Text);
    ListBox1->setCurrentRow(ListBox1->count() - 1);
    UpdateButtons();
}

void TFormAnnot::ButtonModifyClick()
{
    const int row = SelectedRecordRow("P=nil in FormAnnot.ButtonModifyClick", true);
    const int index = ListBox1->currentRow();
    if (row < 0 || index < 0)
        return;
    const std::vector<TAnnotPoint> points = store_->Annotations(row);
    if (!QV_ASSERT(index < static_cast<int>(points.size()), "Index in FormAnnot.ButtonModifyClick"))
        return;
    editor_.SetPoint(points[static_cast<size_t>(index)]);
    editor_.SetFlightName(ComboBox1->currentText());
    if (!editor_.Run())
        return;
    ButtonDeleteClick();
    const TAnnotPoint p = editor_.Point();
    store_->AddAnnotation(row, p);
    ListBox1->addItem(p.Text);
    ListBox1->setCurrentRow(ListBox1->count() - 1);
    UpdateButtons();
}

void TFormAnnot::ButtonDeleteClick()
{
    const int row = SelectedRecordRow("P=nil in FormAnnot.ButtonDeleteClick", true);
    const int index = ListBox1->currentRow();
    if (row < 0 || index < 0)
        return;
    store_->DeleteAnnotation(row, index);
    delete ListBox1->takeItem(index);
    if (ListBox1->count() == 0)
        ListBox1->setCurrentRow(-1);
    else
        ListBox1->setCurrentRow(qMin(index, ListBox1->count() - 1));
    UpdateButtons();
}

bool AddAnnotationFromChart(TFormAnnotEdit& editor, IAnnotStore& store, int row)
{
    const bool known = row >= 0 && row < store.RowCount();
    editor.SetFlightName(known ? store.RowName(row) : QString());
    if (!editor.Run())
        return false;
    if (!QV_ASSERT(row >= 0 && row < store.RowCount() && store.HasRecord(row), "P=nil in FormAnnot.pmnuAnnotNewClick")) {
        Messages().Error(kPointerNotFound);
        return false;
    }
    store.AddAnnotation(row, editor.Point());
    return true;
}

} // namespace qv
