#pragma once
// Every message box, question and file dialog of the program goes through
// one service. The program installs the Qt one (QtMessageService), the
// command-line tool a console one, and tests a scripted double.
#include <QString>

class QDialog;

namespace qv {

enum class Answer { None, Ok, Yes, No, YesToAll, Cancel };

// Button sets a question can offer.
enum class Buttons { YesNo, YesNoYesToAll, YesNoCancel, OkCancel };

class IMessageService {
public:
    virtual ~IMessageService() = default;

    // Error box with one "OK" button.
    virtual void Error(const QString& text) = 0;
    // Information box with one "OK" button.
    virtual void Information(const QString& text) = 0;
    // A question; returns the button pressed (Cancel/No when dismissed).
    virtual Answer Question(const QString& text, Buttons buttons) = 0;

    // File and folder dialogs; an empty result means cancelled.
    // filter uses the "Description|*.ext" form of the data files.
    virtual QString OpenFileName(const QString& title, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString SaveFileName(const QString& title, const QString& fileName,
                                 const QString& filter, const QString& defaultExt) = 0;
    virtual QString ExistingDirectory(const QString& title, const QString& dir) = 0;

    // Runs one of the program's own dialogs modally; returns its result
    // (QDialog::Accepted or QDialog::Rejected). Without a screen: rejected.
    virtual int ExecDialog(QDialog& dialog);
};

// The service in use. Never null: before one is installed a console
// service writes to stderr and answers No/Cancel.
IMessageService& Messages();
// Installs a service (not owned); nullptr restores the console service.
void SetMessageService(IMessageService* service);

// Writes boxes to stderr and answers every question with a fixed answer.
class ConsoleMessageService : public IMessageService {
public:
    explicit ConsoleMessageService(Answer answer = Answer::No) : answer_(answer) {}
    void SetAnswer(Answer a) { answer_ = a; }
    void Error(const QString& text) override;
    void Information(const QString& text) override;
    Answer Question(const QString& text, Buttons buttons) override;
    QString OpenFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString ExistingDirectory(const QString&, const QString&) override { return {}; }

private:
    Answer answer_;
};

// Converts "Description|*.ext|Other|*.x" to Qt's "Description (*.ext);;Other (*.x)".
QString QtFilterFromPipes(const QString& filter);

} // namespace qv
