#include "app/WinStates.h"

#include "app/Settings.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

namespace qv {


namespace {
QSize CurrentScreenSize()
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->size() : QSize();
}

QRect ReadRect(const TIniFile& ini, const QByteArray& section, const char* prefix, const QRect& def)
{
    auto key = [prefix](const char* side) { return QByteArray(prefix) + side; };
    const int left = ini.ReadInteger(section, key("Left"), def.left());
    const int right = ini.ReadInteger(section, key("Right"), def.left() + def.width());
    const int top = ini.ReadInteger(section, key("Top"), def.top());
    const int bottom = ini.ReadInteger(section, key("Bottom"), def.top() + def.height());
    return QRect(left, top, qMax(0, right - left), qMax(0, bottom - top));
}

void WriteRect(TIniFile& ini, const QByteArray& section, const char* prefix, const QRect& r)
{
    auto key = [prefix](const char* side) { return QByteArray(prefix) + side; };
    ini.WriteInteger(section, key("Left"), r.left());
    ini.WriteInteger(section, key("Right"), r.left() + r.width());
    ini.WriteInteger(section, key("Top"), r.top());
    ini.WriteInteger(section, key("Bottom"), r.top() + r.height());
}
} // namespace

void TWinStates::Configure(const QString& iniPath, bool enabled)
{
    iniPath_ = iniPath;
    enabled_ = enabled;
}

bool TWinStates::IsRegistered(const QWidget* window) const
{
    for (const auto& e : entries_)
        if (e.window == window)
            return true;
    return false;
}

QRect FitRect(QRect r, const QRect& area, const QMargins& frame)
{
    const QRect room = area.marginsRemoved(frame);
    if (room.isEmpty())
        return r;
    r.setWidth(qMin(r.width(), room.width()));
    r.setHeight(qMin(r.height(), room.height()));
    if (r.right() > room.right())
        r.moveRight(room.right());
    if (r.bottom() > room.bottom())
        r.moveBottom(room.bottom());
    if (r.left() < room.left())
        r.moveLeft(room.left());
    if (r.top() < room.top())
        r.moveTop(room.top());
    return r;
}

QRect AvailableArea(const QRect& r)
{
    const QScreen* best = QGuiApplication::primaryScreen();
    qint64 bestArea = 0;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect common = s->geometry().intersected(r);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = s;
        }
    }
    return best ? best->availableGeometry() : QRect();
}

void TWinStates::Restore(QWidget* window, const QString& name)
{
    Restore(window, name, CurrentScreenSize(), QRect()); // the area of the screen it comes back on
}

void TWinStates::Restore(QWidget* window, const QString& name, QSize screen)
{
    Restore(window, name, screen, QRect(QPoint(0, 0), screen));
}

void TWinStates::Restore(QWidget* window, const QString& name, QSize screen, const QRect& availableIn)
{
    if (!enabled_ || !window || IsRegistered(window))
        return;
    QRect actual = window->geometry();
    QRect normal = window->normalGeometry().isValid() ? window->normalGeometry() : actual;
    int state = window->isMaximized() ? 1 : window->isMinimized() ? 2 : 0;

    TIniFile ini;
    ini.Load(iniPath_);
    savedScreen_ = QSize(ini.ReadInteger("Screen", "ScreenW", screen.width()),
                         ini.ReadInteger("Screen", "ScreenH", screen.height()));
    const QByteArray section = name.toLocal8Bit();
    if (screen.height() >= savedScreen_.height() && screen.width() >= savedScreen_.width()) {
        normal = ReadRect(ini, section, "NR", normal);
        actual = ReadRect(ini, section, "R", actual);
    }
    state = ini.ReadInteger(section, "State", state);

    // Whatever was saved (on a larger screen, with a taskbar elsewhere) the
    // window fits the screen it comes back on.
    const QRect available = availableIn.isValid() ? availableIn : AvailableArea(actual);
    // (the frame's margins are known once the window has been shown)
    const QMargins frame(window->geometry().left() - window->frameGeometry().left(),
                         window->geometry().top() - window->frameGeometry().top(),
                         window->frameGeometry().right() - window->geometry().right(),
                         window->frameGeometry().bottom() - window->geometry().bottom());
    actual = FitRect(actual, available, frame);
    normal = FitRect(normal, available, frame);

    if (actual.width() > 0 && actual.height() > 0)
        window->setGeometry(actual);
    switch (state) {
    case 0:
        window->setWindowState(window->windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
        break;
    case 1:
        // The normal rectangle is what the window returns to from maximised.
        if (normal.width() > 0 && normal.height() > 0)
            window->setGeometry(normal);
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        break;
    case 2:
        window->setWindowState(window->windowState() | Qt::WindowMinimized);
        break;
    default:
        break;
    }
    entries_.push_back({window, name});
}

void TWinStates::SaveAll()
{
    if (!enabled_ || entries_.empty()) {
        entries_.clear();
        return;
    }
    TIniFile ini;
    ini.Load(iniPath_);
    const QSize screen = savedScreen_.isValid() ? savedScreen_ : CurrentScreenSize();
    for (const auto& e : entries_) {
        QWidget* w = e.window;
        if (!w)
            continue; // the window is gone
        const QByteArray section = e.name.toLocal8Bit();
        const QRect normal = w->normalGeometry().isValid() ? w->normalGeometry() : w->geometry();
        const int state = w->isMaximized() ? 1 : w->isMinimized() ? 2 : 0;
        ini.WriteInteger("Screen", "ScreenH", screen.height());
        ini.WriteInteger("Screen", "ScreenW", screen.width());
        WriteRect(ini, section, "NR", normal);
        WriteRect(ini, section, "R", w->geometry());
        ini.WriteInteger(section, "State", state);
    }
    ini.Save(iniPath_);
    entries_.clear();
}

} // namespace qv
