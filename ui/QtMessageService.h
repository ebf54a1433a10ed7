#pragma once
// The program's message service: real Qt message boxes and file dialogs.
#include "base/MessageService.h"

namespace qv {

class QtMessageService : public IMessageService {
public:
    void error(const QString& text) override;
    void information(const QString& text) override;
    Answer question(const QString& text, Buttons buttons) override;
    QString openFileName(const QString& title, const QString& dir, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& fileName, const QString& filter,
                         const QString& defaultExt) override;
    QString existingDirectory(const QString& title, const QString& dir) override;
    int execDialog(QDialog& dialog) override;
};

} // namespace qv
