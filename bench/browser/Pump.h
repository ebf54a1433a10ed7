#pragma once
// Lets the event loop run for a while (the picture programs).
#include <QApplication>
#include <QElapsedTimer>

namespace qv::bench {

inline void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace qv::bench
