#pragma once
// The "Graph setup" dialog: axis ranges and automatic switches, line styles
// and widths, mark styles and sizes, on a working copy of the settings.
#include "graph/GraphSetup.h"
#include "ui/BareForm.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace qv {

class TFormGraphSetup : public TBareForm {
    Q_OBJECT
public:
    explicit TFormGraphSetup(QWidget* parent = nullptr);

    // The whole run: shows `setup`, and on OK writes the controls back into
    // it and sets `changed`. Returns whether OK closed the dialog.
    bool EditGraphSetup(TGraphSetupRec& setup, bool& changed);
    void GraphSetupToControls();
    void ControlsToGraphSetup();
    const TGraphSetupRec& Working() const { return work_; }
    void SetWorking(const TGraphSetupRec& rec) { work_ = rec; }

    // One group's controls; the time group has no lists.
    struct TAxisControls {
        QLineEdit* Min = nullptr;
        QLineEdit* Max = nullptr;
        QCheckBox* Auto = nullptr;
        QComboBox* Style = nullptr;
        QComboBox* Width = nullptr;
    };
    TAxisControls Alt, PS, RX, T;
    QLineEdit* EditAltMin = nullptr;
    QLineEdit* EditAltMax = nullptr;
    QCheckBox* CheckBoxAltAuto = nullptr;
    QComboBox* ComboBoxAltLS = nullptr;
    QComboBox* ComboBoxAltLW = nullptr;
    QLineEdit* EditPSMin = nullptr;
    QLineEdit* EditPSMax = nullptr;
    QCheckBox* CheckBoxPSAuto = nullptr;
    QComboBox* ComboBoxPSLS = nullptr;
    QComboBox* ComboBoxPSLW = nullptr;
    QLineEdit* EditRXMin = nullptr;
    QLineEdit* EditRXMax = nullptr;
    QCheckBox* CheckBoxRXAuto = nullptr;
    QComboBox* ComboBoxRXST = nullptr;
    QComboBox* ComboBoxRXLW = nullptr;
    QLineEdit* EditTMin = nullptr;
    QLineEdit* EditTMax = nullptr;
    QCheckBox* CheckBoxTAuto = nullptr;
    QComboBox* ComboBoxAnnStyl = nullptr;
    QComboBox* ComboBoxAnnSize = nullptr;
    QComboBox* ComboBoxMAStyl = nullptr;
    QComboBox* ComboBoxMarkSize = nullptr;
    QPushButton* ButtonDefaults = nullptr;
    QPushButton* ButtonOk = nullptr;
    QPushButton* ButtonCancel = nullptr;

    void ButtonDefaultsClick();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    TAxisControls MakeGroup(QWidget* box, const char* prefix, const char* styleName, bool lists);
    static void AutoRule(const TAxisControls& c);
    static void WidthRule(const TAxisControls& c);

    TGraphSetupRec work_{};
    QList<QLineEdit*> numberEdits_;
    bool checking_ = false;
};

// A number typed into the dialog ("." or the locale's separator); `fallback`
// when the text is not a number.
double ReadTypedNumber(const QString& text, double fallback);
// A range value as the dialog shows it: "%8.1f", trimmed, locale separator.
QString FormatRangeValue(double v);

} // namespace qv
