#pragma once
// The "Options" dialog: data root folder, serial port, default file name.
#include "device/PortAdvice.h"
#include "ui/BareForm.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace qv {

struct TOptionsValues {
    QString Root;
    QString Com;
    QString DefFileName;
    double MarkerThreshold = 0;
};

class TFormOptions : public TBareForm {
    Q_OBJECT
public:
    explicit TFormOptions(QWidget* parent = nullptr);

    // Runs the dialog until it is cancelled or confirmed with an existing
    // root folder; on confirmation the values are updated.
    bool Execute(TOptionsValues& values);

    // The steps of Execute, for the window and the tests.
    void Fill(const TOptionsValues& values);
    // "OK": false (after "Invalid directory!") when the root folder is gone.
    bool Confirm(TOptionsValues& values);
    void ChooseRoot();
    void SetRootFolder(const QString& folder);
    void MarkerEditExit();
    // Fills the port list: each port by name, shown with its caption; the
    // four "COM" names when there are none.
    void SetPorts(const QList<TPortEntry>& ports);
    static constexpr int CaptionRole = Qt::UserRole + 1;

    QString RootFolder;
    QLabel* LabelRoot = nullptr;
    QToolButton* ButtonRoot = nullptr;
    QComboBox* ComboBoxCOM = nullptr;
    QLineEdit* EditDefFileName = nullptr;
    QLineEdit* MarkerEdit = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    double threshold_ = 0;
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

// The serial ports the system lists; "COM1".."COM4" when it lists none.
QStringList SystemPortNames();

} // namespace qv
