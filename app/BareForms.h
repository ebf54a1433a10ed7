#pragma once
// Windows whose content comes later: each exists once for the run with its
// class name and caption.
#include <QDialog>
#include <QLabel>

namespace qv {

class TBareForm : public QDialog {
    Q_OBJECT
public:
    TBareForm(const QString& objectName, const QString& caption, QWidget* parent = nullptr);

protected:
    // Windows whose position is remembered between runs register when shown.
    bool rememberPosition_ = false;
    void showEvent(QShowEvent* e) override;
};

class TFormGraphSetup : public TBareForm {
    Q_OBJECT
public:
    explicit TFormGraphSetup(QWidget* parent = nullptr)
        : TBareForm(QStringLiteral("FormGraphSetup"), QStringLiteral("Graph setup"), parent) { rememberPosition_ = true; }
};

class TFormSettings : public TBareForm {
    Q_OBJECT
public:
    explicit TFormSettings(QWidget* parent = nullptr)
        : TBareForm(QStringLiteral("FormSettings"), QStringLiteral("Settings"), parent) {}
};

// The About box; it also says where the settings file is kept.
class TFormAbout : public TBareForm {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);
    void SetSettingsPath(const QString& path);
    QLabel* LabelSettings = nullptr;
};

} // namespace qv
