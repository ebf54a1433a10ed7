#pragma once
// What the picture programs share: letting events run, and the program's
// windows for one run with a console message service.
#include "Pump.h"
#include "app/Application.h"
#include "app/MainFrm.h"
#include "base/Assert.h"
#include "base/MessageService.h"
#include "tests/app/ProgramRun.h"

#include <QApplication>
#include <QElapsedTimer>
#include <memory>

namespace qv::bench {

// The windows of the one program a picture program runs, as the tests hold
// them.
using test::Main;
using test::StartForms;
using test::StopForms;

// Creates the windows with the settings file ini (and flight files on the
// command line); closes and destroys them at the end of the run.
class TShotRun {
public:
    explicit TShotRun(const QString& ini, const QStringList& files = {})
    {
        SetMessageService(&console_);
        bench::StartForms(ParseStartOptions(QStringList{QStringLiteral("quorvel"), QStringLiteral("--ini"), ini} + files));
    }
    ~TShotRun()
    {
        bench::Main()->close();
        SetApplicationTerminating(true);
        bench::StopForms();
        SetMessageService(nullptr);
    }
    TShotRun(const TShotRun&) = delete;
    TShotRun& operator=(const TShotRun&) = delete;

private:
    ConsoleMessageService console_{Answer::No};
};

} // namespace qv::bench
