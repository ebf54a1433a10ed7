#include "support/ScriptedMessages.h"

#include <QApplication>
#include <QDialog>

#include <gtest/gtest.h>

namespace qv::test {

ScriptedMessages::ScriptedMessages() { SetMessageService(this); }

ScriptedMessages::~ScriptedMessages()
{
    if (&Messages() == this)
        SetMessageService(nullptr);
    for (std::size_t i = 0; i < shown_.size(); ++i)
        if ((i >= looked_.size() || !looked_[i]) && (shown_[i].kind == Shown::Error || shown_[i].kind == Shown::Information))
            ADD_FAILURE() << (shown_[i].kind == Shown::Error ? "unexpected error box: " : "unexpected information box: ")
                          << shown_[i].text.toStdString();
}

QStringList ScriptedMessages::Texts() const
{
    looked_.assign(shown_.size(), true);
    QStringList out;
    for (const auto& s : shown_)
        out << s.text;
    return out;
}

QStringList ScriptedMessages::Texts(Shown::Kind kind) const
{
    looked_.resize(shown_.size(), false);
    QStringList out;
    for (std::size_t i = 0; i < shown_.size(); ++i)
        if (shown_[i].kind == kind) {
            out << shown_[i].text;
            looked_[i] = true;
        }
    return out;
}

void ScriptedMessages::Error(const QString& text) { shown_.push_back({Shown::Error, text}); }

void ScriptedMessages::Information(const QString& text) { shown_.push_back({Shown::Information, text}); }

Answer ScriptedMessages::Question(const QString& text, Buttons)
{
    shown_.push_back({Shown::Question, text});
    if (answers_.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return Answer::Cancel;
    }
    const Answer a = answers_.front();
    answers_.pop_front();
    return a;
}

QString ScriptedMessages::nextFile(Shown::Kind kind, const QString& title)
{
    shown_.push_back({kind, title});
    if (files_.empty()) {
        ADD_FAILURE() << "unexpected file dialog: " << title.toStdString();
        return {};
    }
    QString f = files_.front();
    files_.pop_front();
    return f;
}

QString ScriptedMessages::OpenFileName(const QString& title, const QString&, const QString&)
{
    return nextFile(Shown::OpenFile, title);
}

QString ScriptedMessages::SaveFileName(const QString& title, const QString&, const QString&, const QString&)
{
    return nextFile(Shown::SaveFile, title);
}

QString ScriptedMessages::ExistingDirectory(const QString& title, const QString&)
{
    return nextFile(Shown::Directory, title);
}

int ScriptedMessages::ExecDialog(QDialog& dialog)
{
    shown_.push_back({Shown::Dialog, dialog.windowTitle()});
    if (dialogs_.empty()) {
        ADD_FAILURE() << "unexpected dialog: " << dialog.windowTitle().toStdString();
        return QDialog::Rejected;
    }
    DialogScript script = std::move(dialogs_.front());
    dialogs_.pop_front();
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    QApplication::processEvents();
    script(dialog);
    if (dialog.isVisible()) // the script left it open: cancelled
        dialog.reject();
    return dialog.result();
}

} // namespace qv::test
