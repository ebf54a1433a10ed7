#include "ui/BareForm.h"

namespace qv {

TBareForm::TBareForm(const QString& objectName, const QString& caption, QWidget* parent) : QDialog(parent)
{
    setObjectName(objectName);
    setWindowTitle(caption);
}

void TBareForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (rememberPosition_)
        emit Showing(this);
}

} // namespace qv
