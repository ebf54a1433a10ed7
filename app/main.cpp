// Quorvel: start-up.
#include "app/Application.h"
#include "base/Assert.h"
#include "app/MainFrm.h"
#include "ui/QtMessageService.h"

#include <QApplication>
#include <cstdio>

namespace {
// Debugger output: every Qt message goes to stderr.
void DebugOutput(QtMsgType, const QMessageLogContext&, const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(DebugOutput);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvel"));

    qv::QtMessageService messages;
    qv::SetMessageService(&messages);

    const qv::TStartOptions options = qv::ParseStartOptions(QCoreApplication::arguments());
    int rc = 0;
    {
        qv::TShell shell(options);
        shell.FormMain->show();
        rc = app.exec();
        qv::SetApplicationTerminating(true);
    }
    qv::SetMessageService(nullptr);
    return rc;
}
