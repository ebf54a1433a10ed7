#pragma once
// Message service double for tests: records every text shown and answers
// questions and file dialogs from queues. A question or dialog that the
// test did not queue an answer for fails the test instead of blocking, and
// so does an error or information box the test never looked at (through
// Texts, Errors, Informations or Shown) by the time the service goes.
#include "support/QtPrinters.h"
#include "base/MessageService.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace qv::test {

struct Shown {
    enum Kind { Error, Information, Question, OpenFile, SaveFile, Directory, Dialog } kind;
    QString text; // message text, or the dialog's title
};

class ScriptedMessages : public IMessageService {
public:
    // Installs itself as the program's message service for its lifetime.
    ScriptedMessages();
    ~ScriptedMessages() override;

    void QueueAnswer(Answer a) { answers_.push_back(a); }
    void QueueFileName(const QString& name) { files_.push_back(name); }
    // A program dialog that will be run: the script gets it shown (not
    // modal), works it with real input and leaves it accepted or rejected.
    using DialogScript = std::function<void(QDialog& dialog)>;
    void QueueDialog(DialogScript script) { dialogs_.push_back(std::move(script)); }
    int PendingDialogs() const { return static_cast<int>(dialogs_.size()); }

    const std::vector<test::Shown>& Shown() const
    {
        looked_.assign(shown_.size(), true);
        return shown_;
    }
    QStringList Texts() const;            // every text, in order
    QStringList Texts(test::Shown::Kind) const; // texts of one kind
    QStringList Errors() const { return Texts(Shown::Error); }
    QStringList Informations() const { return Texts(Shown::Information); }
    QStringList Questions() const { return Texts(Shown::Question); }
    int PendingAnswers() const { return static_cast<int>(answers_.size()); }
    void Clear()
    {
        shown_.clear(); // what is cleared was looked at
        looked_.clear();
    }

    void Error(const QString& text) override;
    void Information(const QString& text) override;
    Answer Question(const QString& text, Buttons buttons) override;
    QString OpenFileName(const QString& title, const QString& dir, const QString& filter) override;
    QString SaveFileName(const QString& title, const QString& fileName, const QString& filter,
                         const QString& defaultExt) override;
    QString ExistingDirectory(const QString& title, const QString& dir) override;
    int ExecDialog(QDialog& dialog) override;

private:
    QString nextFile(test::Shown::Kind kind, const QString& title);

    std::vector<test::Shown> shown_;
    mutable std::vector<bool> looked_; // per entry of shown_: the test looked at it
    std::deque<Answer> answers_;
    std::deque<QString> files_;
    std::deque<DialogScript> dialogs_;
};

} // namespace qv::test
