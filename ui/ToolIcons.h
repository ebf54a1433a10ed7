#pragma once
// Icons of the tool bars: the desktop's icon theme where it has the icon,
// else the program's own picture of that name (":/qv/icons/NAME.svg"), so
// that they show on any desktop and stay sharp at any scale. One rule for
// every tool button of the program: its caption stays beside the icon,
// its hint is the tool tip.
#include <QIcon>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <utility>

class QToolButton;
class QWidget;

namespace qv {

// The theme's icon of that name, or the program's own.
QIcon ToolIcon(const QString& themeName);

// Gives a tool button its icon and puts its caption beside it.
void SetToolIcon(QToolButton* button, const QString& themeName);

// The same for tool buttons below parent, by object name; returns the names
// that no button below parent has.
QStringList SetToolIcons(QWidget* parent, std::initializer_list<std::pair<const char*, const char*>> icons);

} // namespace qv
