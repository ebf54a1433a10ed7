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

} // namespace qv::test
