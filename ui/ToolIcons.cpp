#include "ui/ToolIcons.h"

#include <QToolButton>
#include <QWidget>

namespace qv {

QIcon ToolIcon(const QString& themeName)
{
    return QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/qv/icons/%1.svg").arg(themeName)));
}

void SetToolIcon(QToolButton* button, const QString& themeName)
{
    button->setIcon(ToolIcon(themeName));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

QStringList SetToolIcons(QWidget* parent, std::initializer_list<std::pair<const char*, const char*>> icons)
{
    QStringList missing;
    for (const auto& [name, icon] : icons) {
        if (auto* button = parent->findChild<QToolButton*>(QLatin1String(name)))
            SetToolIcon(button, QLatin1String(icon));
        else
            missing << QLatin1String(name);
    }
    return missing;
}

} // namespace qv
