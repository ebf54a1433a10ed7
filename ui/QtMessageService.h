#pragma once
// The program's message service: real Qt message boxes and file dialogs.
#include "base/MessageService.h"

namespace qv {

class QtMessageService : public IMessageService {
public:
    void Error(const QString& text) override;
    void Information(const QString& text) override;
    Answer Question(const QString& text, Buttons buttons) override;
    QString OpenFileName(const QString& title, const QString& dir, const QString& filter) override;
    QString SaveFileName(const QString& title, const QString& fileName, const QString& filter,
                         const QString& defaultExt) override;
    QString ExistingDirectory(const QString& title, const QString& dir) override;
    int ExecDialog(QDialog& dialog) override;
};

} // namespace qv
