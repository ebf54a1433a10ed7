#pragma once
// Remembers position, size and state of the program's windows between runs
// in the settings file, while "SaveWindowsPos" is on.
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <vector>

namespace qv {

class TWinStates {
public:
    // The settings file and the "SaveWindowsPos" switch; set by the main window.
    void Configure(const QString& iniPath, bool enabled);
    bool Enabled() const { return enabled_; }

    // Called when a window is shown: reads its placement once per run. The
    // rectangles are used only when the current screen is at least as large
    // as the one they were saved under.
    // The window is then fitted into the available area of its screen (or
    // of a screen of that size).
    void Restore(QWidget* window, const QString& name);
    void Restore(QWidget* window, const QString& name, QSize currentScreen);
    void Restore(QWidget* window, const QString& name, QSize currentScreen, const QRect& available);

    // Writes every registered window and empties the list.
    void SaveAll();

    int Count() const { return static_cast<int>(entries_.size()); }
    bool IsRegistered(const QWidget* window) const;

private:
    struct Entry {
        QPointer<QWidget> window;
        QString name;
    };
    std::vector<Entry> entries_;
    QString iniPath_;
    bool enabled_ = true;
    QSize savedScreen_; // screen size the positions were saved under
};


// r (a window's client rectangle) shrunk and moved so that with the margins
// of its frame it lies inside area.
QRect FitRect(QRect r, const QRect& area, const QMargins& frame = {});

// The available area of the screen that shows most of r (the primary
// screen when none does).
QRect AvailableArea(const QRect& r);

} // namespace qv
