#pragma once
// What the picture programs share: letting events run, and the program's
// windows for one run with a console message service.
#include "app/Application.h"
#include "app/MainFrm.h"
#include "base/Assert.h"
#include "base/MessageService.h"

#include <QApplication>
#include <QElapsedTimer>

namespace qv::bench {

// Lets events run for a while.
inline void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Creates the windows with the settings file ini; closes and destroys them
// at the end of the run.
class TShotRun {
public:
    explicit TShotRun(const QString& ini)
    {
        SetMessageService(&console_);
        CreateForms(ParseStartOptions({QStringLiteral("quorvel"), QStringLiteral("--ini"), ini}));
    }
    ~TShotRun()
    {
        FormMain->close();
        SetApplicationTerminating(true);
        DestroyForms();
        SetMessageService(nullptr);
    }
    TShotRun(const TShotRun&) = delete;
    TShotRun& operator=(const TShotRun&) = delete;

private:
    ConsoleMessageService console_{Answer::No};
};

} // namespace qv::bench
