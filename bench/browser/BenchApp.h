#pragma once
// The start of the timer programs: an application, offscreen unless a
// platform is given, with a console message service for the run.
#include "base/MessageService.h"

#include <QApplication>

namespace qv::bench {

class TBenchApp {
public:
    TBenchApp(int& argc, char** argv) : app_(Offscreen(argc), argv) { SetMessageService(&console_); }
    ~TBenchApp() { SetMessageService(nullptr); }
    TBenchApp(const TBenchApp&) = delete;
    TBenchApp& operator=(const TBenchApp&) = delete;

private:
    static int& Offscreen(int& argc)
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return argc;
    }

    QApplication app_;
    ConsoleMessageService console_{Answer::No};
};

} // namespace qv::bench
