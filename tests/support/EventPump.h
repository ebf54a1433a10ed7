#pragma once
// Lets events run for a while (file-system notifications, timers).
#include <QApplication>
#include <QElapsedTimer>

namespace qv::test {

inline void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Lets events run until done() holds or ms have passed; whether it holds.
template <class F>
bool PumpUntil(F done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() >= ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace qv::test
