#pragma once
// Starts the program's windows as the program does, with a temporary folder
// as the executable's folder and a settings file of the test's choice.
#include "app/Application.h"
#include "app/MainFrm.h"

#include <QApplication>

namespace qv::test {

// files: the flight files of the command line.
inline void StartProgram(const QString& exeDir, const QString& iniPath, QStringList* order = nullptr,
                         const QStringList& files = {})
{
    TStartOptions o;
    o.Files = files;
    o.ExePath = exeDir + QStringLiteral("/quorvel");
    o.IniPath = iniPath;
    const QStringList made = CreateForms(o);
    if (order)
        *order = made;
    FormMain->show();
    QApplication::processEvents();
}

} // namespace qv::test
