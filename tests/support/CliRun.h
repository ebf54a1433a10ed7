#pragma once
// Runs the built quorvel-cli and collects what it printed.
#include <QProcess>
#include <QStringList>

namespace qv::test {

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline CliRun cli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QV_CLI_PATH), args);
    CliRun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace qv::test
