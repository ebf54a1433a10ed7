// quorvel-cli: the flight file, device and download operations of the
// program on the command line, on the same core code.
#include "tools/cli/Command.h"
#include "base/FileName.h"
#include "base/MessageService.h"
#include "base/Version.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qv::cli {

namespace {
std::vector<Command>& Registry()
{
    static std::vector<Command> commands;
    return commands;
}

void Usage()
{
    std::fprintf(stderr, "usage: quorvel-cli COMMAND [ARGS] | --help | --version\n");
    for (const auto& c : Registry())
        std::fprintf(stderr, "  quorvel-cli %s %s\n", c.name, c.usage);
}
} // namespace

RegisterCommand::RegisterCommand(const Command& c) { Registry().push_back(c); }

const std::vector<Command>& Commands() { return Registry(); }

void PrintError(const QString& text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

void PrintOut(const QString& text) { std::fprintf(stdout, "%s\n", text.toUtf8().constData()); }

} // namespace qv::cli

int main(int argc, char** argv)
{
    // Commands that draw need a GUI application; no display is needed.
    bool gui = false;
    for (const auto& c : qv::cli::Commands())
        if (argc > 1 && std::strcmp(argv[1], c.name) == 0)
            gui = c.gui;
    if (gui && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app =
        gui ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-cli"));
    qv::ConsoleMessageService console(qv::Answer::No);
    qv::SetMessageService(&console);

#ifdef Q_OS_WIN
    QStringList args = QCoreApplication::arguments();
#else
    // File names keep every byte, also those that are not UTF-8 (the
    // application has taken its own options out of argv).
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << qv::NameFromNative(argv[i]);
#endif
    args.removeFirst();
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        qv::cli::Usage();
        return args.isEmpty() ? 2 : 0;
    }
    if (args.first() == QLatin1String("--version") || args.first() == QLatin1String("-v")) {
        qv::cli::PrintOut(QStringLiteral("quorvel-cli ") + qv::ProgramVersion());
        return 0;
    }
    const QString name = args.takeFirst();
    for (const auto& c : qv::cli::Commands())
        if (name == QLatin1String(c.name))
            return c.run(args);
    std::fprintf(stderr, "quorvel-cli: unknown command '%s'\n", name.toUtf8().constData());
    qv::cli::Usage();
    return 2;
}
