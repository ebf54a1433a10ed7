#pragma once
// The edit dialog of one annotation: time, altitude and text.
#include "annot/AnnotStore.h"
#include "ui/BareForm.h"

class QLineEdit;
class QPushButton;

namespace qv {

class TFormAnnotEdit : public TBareForm {
    Q_OBJECT
public:
    explicit TFormAnnotEdit(QWidget* parent = nullptr);

    QLineEdit* EditTime = nullptr;
    QLineEdit* EditAlt = nullptr;
    QLineEdit* EditText = nullptr;
    QPushButton* ButtonOk = nullptr;
    QPushButton* ButtonCancel = nullptr;

    // Fills the fields from a point (time and altitude as "%8.1f", trimmed).
    void SetPoint(const TAnnotPoint& point);
    // The fields as a point; a time or altitude that is not a number is 0.
    TAnnotPoint Point() const;
    // The flight the annotation belongs to, named in the caption
    // ("Edit Annotation - Blok1"; an empty name: "Edit Annotation").
    void SetFlightName(const QString& name);
    // Runs the dialog modally (through the message service); true on "Ok".
    bool Run();

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// "%8.1f" of a value, without the leading blanks.
QString FormatAnnotNumber(double value);

} // namespace qv
