#pragma once
// The edit dialog of one annotation.
#include "ui/BareForm.h"

namespace qv {

class TFormAnnotEdit : public TBareForm {
    Q_OBJECT
public:
    explicit TFormAnnotEdit(QWidget* parent = nullptr)
        : TBareForm(QStringLiteral("FormAnnotEdit"), QStringLiteral("Annotation"), parent) { rememberPosition_ = true; }
};

} // namespace qv
