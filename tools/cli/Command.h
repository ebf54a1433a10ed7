#pragma once
// Subcommands of quorvel-cli register themselves with a static
// RegisterCommand object in their own source file.
#include <QStringList>
#include <vector>

namespace qv::cli {

struct Command {
    const char* name;
    const char* usage; // one line: arguments after the name
    int (*run)(const QStringList& args); // args after the name; returns the exit status
    bool gui = false; // draws: runs under a QApplication (offscreen unless a platform is set)
};

struct RegisterCommand {
    explicit RegisterCommand(const Command& c);
};

const std::vector<Command>& Commands();

// Prints a line to stderr / stdout (UTF-8).
void PrintError(const QString& text);
void PrintOut(const QString& text);

} // namespace qv::cli
