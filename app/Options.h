#pragma once
// The "Options" dialog: data root folder, serial port, default file name.
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

class TFormOptions : public QDialog {
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

// The serial ports the system lists; "COM1".."COM4" when it lists none.
QStringList SystemPortNames();

} // namespace qv
