// Quorvel: start-up.
#include "app/Application.h"
#include "app/InstanceLink.h"
#include "base/Assert.h"
#include "base/Version.h"
#include "app/MainFrm.h"
#include "ui/QtMessageService.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {
// Debugger output: every Qt message goes to stderr.
void DebugOutput(QtMsgType, const QMessageLogContext&, const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// --help and --version print a text and need no display.
bool AsksForText(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        for (const char* o : {"-h", "--help", "-v", "--version"})
            if (std::strcmp(argv[i], o) == 0)
                return true;
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(DebugOutput);
    if (AsksForText(argc, argv)) {
        QCoreApplication app(argc, argv);
        const qv::TStartOptions o = qv::ParseStartOptions(QCoreApplication::arguments());
        const QString text = o.Help ? o.HelpText : qv::VersionText() + QLatin1Char('\n');
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvel"));
    QApplication::setApplicationVersion(qv::ProgramVersion());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quorvel.Quorvel"));

    const qv::TStartOptions options = qv::ParseStartOptions(QCoreApplication::arguments());
    // A window runs already: it takes the files (or only comes to the front).
    qv::TInstanceLink link;
    if (!options.NewInstance && link.HandOver(options.Files))
        return 0;

    qv::QtMessageService messages;
    qv::SetMessageService(&messages);

    int rc = 0;
    {
        qv::TShell shell(options);
        if (!options.NewInstance && link.Listen())
            QObject::connect(&link, &qv::TInstanceLink::FilesReceived, shell.FormMain, &qv::TFormMain::FilesFromDesktop);
        shell.FormMain->show();
        rc = app.exec();
        qv::SetApplicationTerminating(true);
    }
    qv::SetMessageService(nullptr);
    return rc;
}
