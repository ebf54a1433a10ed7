#pragma once
// Message service double for tests: records every text shown and answers
// questions and file dialogs from queues. A question or dialog that the
// test did not queue an answer for fails the test instead of blocking.
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

    void queueAnswer(Answer a) { answers_.push_back(a); }
    void queueFileName(const QString& name) { files_.push_back(name); }
    // A program dialog that will be run: the script gets it shown (not
    // modal), works it with real input and leaves it accepted or rejected.
    using DialogScript = std::function<void(QDialog& dialog)>;
    void queueDialog(DialogScript script) { dialogs_.push_back(std::move(script)); }
    int pendingDialogs() const { return static_cast<int>(dialogs_.size()); }

    const std::vector<Shown>& shown() const { return shown_; }
    QStringList texts() const;            // every text, in order
    QStringList texts(Shown::Kind) const; // texts of one kind
    QStringList errors() const { return texts(Shown::Error); }
    QStringList informations() const { return texts(Shown::Information); }
    QStringList questions() const { return texts(Shown::Question); }
    int pendingAnswers() const { return static_cast<int>(answers_.size()); }
    void clear() { shown_.clear(); }

    void error(const QString& text) override;
    void information(const QString& text) override;
    Answer question(const QString& text, Buttons buttons) override;
    QString openFileName(const QString& title, const QString& dir, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& fileName, const QString& filter,
                         const QString& defaultExt) override;
    QString existingDirectory(const QString& title, const QString& dir) override;
    int execDialog(QDialog& dialog) override;

private:
    QString nextFile(Shown::Kind kind, const QString& title);

    std::vector<Shown> shown_;
    std::deque<Answer> answers_;
    std::deque<QString> files_;
    std::deque<DialogScript> dialogs_;
};

} // namespace qv::test
