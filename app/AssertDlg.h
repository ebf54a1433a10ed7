#pragma once
// The non-modal "Assert" window: the latest report in a label, the history
// of the run in a memo.
#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace qv {

class TFormAssert : public QWidget {
    Q_OBJECT
public:
    explicit TFormAssert(QWidget* parent = nullptr);
    ~TFormAssert() override;

    // Shows a report: label, memo, window.
    void Report(const QString& report);

    QLabel* Label1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QWidget* Panel1 = nullptr;

protected:
    void paintEvent(QPaintEvent* e) override;
    void showEvent(QShowEvent* e) override;
};

} // namespace qv
