#pragma once
// Base of the program's dialogs: each exists once for the run with its
// class name and caption. Dialogs whose position is remembered between runs
// announce every showing; the shell restores their placement then.
#include <QDialog>

namespace qv {

class TBareForm : public QDialog {
    Q_OBJECT
public:
    TBareForm(const QString& objectName, const QString& caption, QWidget* parent = nullptr);
    bool RemembersPosition() const { return rememberPosition_; }

signals:
    // Emitted as a remembering dialog is shown.
    void Showing(QWidget* window);

protected:
    bool rememberPosition_ = false;
    void showEvent(QShowEvent* e) override;
};

} // namespace qv
