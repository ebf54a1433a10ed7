#pragma once
// The "Graph setup" dialog.
#include "ui/BareForm.h"

namespace qv {

class TFormGraphSetup : public TBareForm {
    Q_OBJECT
public:
    explicit TFormGraphSetup(QWidget* parent = nullptr)
        : TBareForm(QStringLiteral("FormGraphSetup"), QStringLiteral("Graph setup"), parent) { rememberPosition_ = true; }
};

} // namespace qv
