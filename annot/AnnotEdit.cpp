#include "annot/AnnotEdit.h"

#include "base/MessageService.h"
#include "base/Numbers.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

namespace qv {

TFormAnnotEdit::TFormAnnotEdit(QWidget* parent)
    : TBareForm(QStringLiteral("FormAnnotEdit"), QStringLiteral("Edit Annotation"), parent)
{
    rememberPosition_ = true;
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Coordinates:"), this), 0, 0, 1, 3);
    EditTime = new QLineEdit(this);
    EditTime->setObjectName(QStringLiteral("EditTime"));
    EditAlt = new QLineEdit(this);
    EditAlt->setObjectName(QStringLiteral("EditAlt"));
    EditText = new QLineEdit(this);
    EditText->setObjectName(QStringLiteral("EditText"));
    grid->addWidget(new QLabel(QStringLiteral("Time:"), this), 1, 0);
    grid->addWidget(EditTime, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("sec"), this), 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Altitude:"), this), 2, 0);
    grid->addWidget(EditAlt, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("m"), this), 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Text:"), this), 3, 0, 1, 3);
    grid->addWidget(EditText, 4, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    ButtonOk = new QPushButton(QStringLiteral("Ok"), this);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    buttons->addStretch();
    buttons->addWidget(ButtonOk);
    buttons->addWidget(ButtonCancel);
    grid->addLayout(buttons, 5, 0, 1, 3);
    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    for (QLineEdit* e : {EditTime, EditAlt, EditText})
        e->installEventFilter(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QString FormatAnnotNumber(double value)
{
    return QString::asprintf("%8.1f", value).trimmed();
}

void TFormAnnotEdit::SetPoint(const TAnnotPoint& point)
{
    EditTime->setText(FormatAnnotNumber(point.Time));
    EditAlt->setText(FormatAnnotNumber(point.Altitude));
    EditText->setText(point.Text);
}

TAnnotPoint TFormAnnotEdit::Point() const
{
    TAnnotPoint p;
    p.Time = ParseUserNumber(EditTime->text(), 0.0);
    p.Altitude = ParseUserNumber(EditAlt->text(), 0.0);
    p.Text = EditText->text();
    return p;
}

void TFormAnnotEdit::SetFlightName(const QString& name)
{
    setWindowTitle(name.isEmpty() ? QStringLiteral("Edit Annotation") : QStringLiteral("Edit Annotation - ") + name);
}

bool TFormAnnotEdit::Run()
{
    EditTime->setFocus();
    return Messages().ExecDialog(*this) == QDialog::Accepted;
}

void TFormAnnotEdit::done(int result)
{
    if (EditText->text().isEmpty())
        EditText->setText(QStringLiteral(" "));
    TBareForm::done(result);
}

bool TFormAnnotEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return TBareForm::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (watched == EditTime)
            EditAlt->setFocus();
        else if (watched == EditAlt)
            EditText->setFocus();
        else
            ButtonOk->setFocus();
        return true;
    }
    if (watched == EditText)
        return false;
    // The number fields take digits, "-", the decimal separator and the
    // editing keys only.
    switch (key->key()) {
    case Qt::Key_Backspace: case Qt::Key_Escape: case Qt::Key_Left: case Qt::Key_Right:
    case Qt::Key_Home: case Qt::Key_End: case Qt::Key_Delete: case Qt::Key_Tab: case Qt::Key_Backtab:
        return false;
    default:
        break;
    }
    const QString t = key->text();
    if (t.size() == 1 && (t[0].isDigit() || t == QLatin1String("-") || t == QLocale::system().decimalPoint()))
        return false;
    if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut)
        || key->matches(QKeySequence::SelectAll) || key->matches(QKeySequence::Undo))
        return false;
    return true; // swallowed
}

} // namespace qv
