#pragma once
// Remembers position, size and state of the program's windows between runs
// in the settings file, while "SaveWindowsPos" is on.
#include <QPointer>
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
    void Restore(QWidget* window, const QString& name);
    void Restore(QWidget* window, const QString& name, QSize currentScreen);

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


} // namespace qv
