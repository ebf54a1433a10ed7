#pragma once
// The annotation list and the annotation edit dialog.
#include "app/BareForms.h"

namespace qv {

class TFormAnnotEdit : public TBareForm {
    Q_OBJECT
public:
    explicit TFormAnnotEdit(QWidget* parent = nullptr)
        : TBareForm(QStringLiteral("FormAnnotEdit"), QStringLiteral("Annotation"), parent) { rememberPosition_ = true; }
};

class TFormAnnot : public TBareForm {
    Q_OBJECT
public:
    explicit TFormAnnot(QWidget* parent = nullptr)
        : TBareForm(QStringLiteral("FormAnnot"), QStringLiteral("Annotations"), parent) { rememberPosition_ = true; }
};

} // namespace qv
