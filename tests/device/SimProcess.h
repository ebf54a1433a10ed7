#pragma once
// The simulated logger (kavo5-sim) as a child process, unpaced; the tests
// open the terminal it names. It exits when the object goes.
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

namespace qv::test {

class SimProcess {
public:
    explicit SimProcess(QStringList args)
    {
        args << QStringLiteral("--baud") << QStringLiteral("0") << QStringLiteral("--erase-ms")
             << QStringLiteral("20") << QStringLiteral("--exit-on-stdin-eof");
        proc_.start(QStringLiteral(KAVO5_SIM_PATH), args);
        if (!proc_.waitForStarted(5000))
            return;
        QElapsedTimer t;
        t.start();
        while (!proc_.canReadLine() && t.elapsed() < 5000)
            proc_.waitForReadyRead(100);
        path = QString::fromLocal8Bit(proc_.readLine()).trimmed();
    }
    ~SimProcess()
    {
        proc_.closeWriteChannel();
        if (!proc_.waitForFinished(3000)) {
            proc_.terminate();
            proc_.waitForFinished(3000);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    QString path; // the terminal to open; empty when the start failed

private:
    QProcess proc_;
};

} // namespace qv::test
