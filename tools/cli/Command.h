#pragma once
// Subcommands of quorvel-cli register themselves with a static
// RegisterCommand object in their own source file.
#include "base/MessageService.h"

#include <QStringList>
#include <vector>

namespace qv {
struct TDataBlock;
}

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

// Prints the boxes of the reader and the writer on stderr, each behind the
// name of the file it is about, and counts the errors.
class TFileMessages : public IMessageService {
public:
    explicit TFileMessages(const QString& fileName) : fileName_(fileName) {}
    void Error(const QString& text) override;
    void Information(const QString& text) override;
    Answer Question(const QString&, Buttons) override { return Answer::No; }
    QString OpenFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString ExistingDirectory(const QString&, const QString&) override { return {}; }
    int Errors = 0;

private:
    QString fileName_;
};

// Reads a flight file into block; false (the message already on stderr)
// when it could not be read whole.
bool LoadFlightFile(const QString& fileName, TDataBlock& block);

} // namespace qv::cli
