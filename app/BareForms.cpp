#include "app/BareForms.h"

#include "app/WinStates.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

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
        WinStates.Restore(this, objectName());
}

TFormAbout::TFormAbout(QWidget* parent) : TBareForm(QStringLiteral("FormAbout"), QStringLiteral("About"), parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("<b>Quorvel</b><br>version 1.1<br>Companion program of the Kavo5 data logger."), this);
    layout->addWidget(title);
    LabelSettings = new QLabel(this);
    LabelSettings->setWordWrap(true);
    LabelSettings->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(LabelSettings);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

void TFormAbout::SetSettingsPath(const QString& path)
{
    LabelSettings->setText(QStringLiteral("Settings file: %1").arg(path));
}

} // namespace qv
