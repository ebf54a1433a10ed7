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

// Lets events run until done() holds, at most ms; whether it held.
template <class Done>
bool WaitUntil(Done done, int ms = 15000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace qv::test
