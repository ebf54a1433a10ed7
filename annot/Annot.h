#pragma once
// The annotation list of the open files.
#include "ui/BareForm.h"

namespace qv {

class TFormAnnot : public TBareForm {
    Q_OBJECT
public:
    explicit TFormAnnot(QWidget* parent = nullptr)
        : TBareForm(QStringLiteral("FormAnnot"), QStringLiteral("Annotations"), parent) { rememberPosition_ = true; }
};

} // namespace qv
