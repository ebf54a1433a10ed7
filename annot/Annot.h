#pragma once
// The annotation list and the annotation edit dialog.
#include "app/BareForms.h"

namespace qv {

class TFormAnnotEdit : public TBareForm {
    Q_OBJECT
public:
    explicit TFormAnnotEdit(QWidget* parent = nullptr)
        : TBareForm(QStringLiteral("FormAnnotEdit"), QStringLiteral("Annotation"), parent) {}
};

class TFormAnnot : public TBareForm {
    Q_OBJECT
public:
    explicit TFormAnnot(QWidget* parent = nullptr)
        : TBareForm(QStringLiteral("FormAnnot"), QStringLiteral("Annotations"), parent) {}
};

} // namespace qv
