#include "ui/QtMessageService.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace qv {

namespace {
QWidget* Owner() { return QApplication::activeWindow(); }
QString Title() { return QApplication::applicationName(); }
} // namespace

void QtMessageService::Error(const QString& text)
{
    QMessageBox::critical(Owner(), Title(), text, QMessageBox::Ok);
}

void QtMessageService::Information(const QString& text)
{
    QMessageBox::information(Owner(), Title(), text, QMessageBox::Ok);
}

Answer QtMessageService::Question(const QString& text, Buttons buttons)
{
    QMessageBox box(QMessageBox::Question, Title(), text, QMessageBox::NoButton, Owner());
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* all = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* ok = nullptr;
    switch (buttons) {
    case Buttons::YesNo:
        yes = box.addButton(QMessageBox::Yes);
        no = box.addButton(QMessageBox::No);
        break;
    case Buttons::YesNoYesToAll:
        yes = box.addButton(QMessageBox::Yes);
        no = box.addButton(QMessageBox::No);
        all = box.addButton(QMessageBox::YesToAll);
        all->setText(QStringLiteral("Yes to All"));
        break;
    case Buttons::YesNoCancel:
        yes = box.addButton(QMessageBox::Yes);
        no = box.addButton(QMessageBox::No);
        cancel = box.addButton(QMessageBox::Cancel);
        break;
    case Buttons::OkCancel:
        ok = box.addButton(QMessageBox::Ok);
        cancel = box.addButton(QMessageBox::Cancel);
        break;
    }
    if (yes) yes->setText(QStringLiteral("Yes"));
    if (no) no->setText(QStringLiteral("No"));
    box.exec();
    QAbstractButton* pressed = box.clickedButton();
    if (pressed && pressed == yes) return Answer::Yes;
    if (pressed && pressed == all) return Answer::YesToAll;
    if (pressed && pressed == ok) return Answer::Ok;
    if (pressed && pressed == no) return Answer::No;
    return cancel ? Answer::Cancel : Answer::No;
}

QString QtMessageService::OpenFileName(const QString& caption, const QString& dir, const QString& filter)
{
    return QFileDialog::getOpenFileName(Owner(), caption, dir, QtFilterFromPipes(filter));
}

QString QtMessageService::SaveFileName(const QString& caption, const QString& fileName,
                                       const QString& filter, const QString& defaultExt)
{
    QFileDialog dlg(Owner(), caption, fileName, QtFilterFromPipes(filter));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(defaultExt);
    dlg.selectFile(QFileInfo(fileName).fileName());
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

QString QtMessageService::ExistingDirectory(const QString& caption, const QString& dir)
{
    return QFileDialog::getExistingDirectory(Owner(), caption, dir);
}

int QtMessageService::ExecDialog(QDialog& dialog)
{
    return dialog.exec();
}

} // namespace qv
