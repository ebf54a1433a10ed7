#pragma once
// Starts the program's windows as the program does, with a temporary folder
// as the executable's folder and a settings file of the test's choice.
#include "app/Application.h"
#include "app/MainFrm.h"

#include <QApplication>
#include <memory>

namespace qv::test {

// The windows of the program a test runs (one program at a time).
inline std::unique_ptr<TShell>& Program()
{
    static std::unique_ptr<TShell> shell;
    return shell;
}
inline TFormMain* Main() { return Program() ? Program()->FormMain : nullptr; }
// Creates the windows as the program does; their names in creation order.
inline QStringList StartForms(const TStartOptions& options)
{
    Program() = std::make_unique<TShell>(options);
    return Program()->Order;
}
inline void StopForms() { Program().reset(); }

// files: the flight files of the command line.
inline void StartProgram(const QString& exeDir, const QString& iniPath, QStringList* order = nullptr,
                         const QStringList& files = {})
{
    TStartOptions o;
    o.Files = files;
    o.ExePath = exeDir + QStringLiteral("/quorvel");
    o.IniPath = iniPath;
    const QStringList made = StartForms(o);
    if (order)
        *order = made;
    Main()->show();
    QApplication::processEvents();
}

} // namespace qv::test
