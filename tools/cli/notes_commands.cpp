// quorvel-cli notes: the flight notes of a file as text or as the RTF the
// program saves, and replacing them.
#include "base/FileName.h"
#include "browser/Notes.h"
#include "data/DataFile.h"
#include "tools/cli/Command.h"
#include "base/MessageService.h"

#include <QCommandLineParser>
#include <cstdio>

namespace qv::cli {

namespace {

bool WriteOut(const std::string& bytes)
{
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return std::fflush(stdout) == 0;
}

int RunNotes(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Prints or replaces the notes of a flight file."));
    const QCommandLineOption rtf(QStringLiteral("rtf"), QStringLiteral("Print the RTF the program saves for the notes."));
    const QCommandLineOption setText(QStringLiteral("set-text"),
                                     QStringLiteral("Replace the notes by one paragraph of TEXT and save the file."),
                                     QStringLiteral("TEXT"));
    parser.addOption(rtf);
    parser.addOption(setText);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The flight file (.kdf)."));
    QStringList argv = args;
    argv.prepend(QStringLiteral("notes"));
    if (!parser.parse(argv)) {
        PrintError(QStringLiteral("notes: ") + parser.errorText());
        return 1;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1 || (parser.isSet(rtf) && parser.isSet(setText))) {
        PrintError(QStringLiteral("usage: quorvel-cli notes FILE [--rtf | --set-text TEXT]"));
        return 1;
    }
    const QString file = files.first();
    if (!IsRegularFile(file)) {
        PrintError(QStringLiteral("notes: no such file: %1").arg(ShownName(file)));
        return 1;
    }
    TDataBlock block;
    if (!LoadFlightFile(file, block))
        return 1;

    if (parser.isSet(setText)) {
        block.NotesStream() = PlainNotes(parser.value(setText));
        // The whole file is written anew and replaces the old one only when complete.
        return WriteDataFile(file, block, Messages()) ? 0 : 1;
    }
    const std::string& notes = block.NotesText();
    if (parser.isSet(rtf))
        return WriteOut(NotesAsRtf(notes) + "\n") ? 0 : 1;
    const QString text = NotesPlainText(notes);
    return text.isEmpty() || WriteOut((text + QLatin1Char('\n')).toStdString()) ? 0 : 1;
}

const RegisterCommand notes({"notes", "FILE [--rtf | --set-text TEXT]", RunNotes});

} // namespace

} // namespace qv::cli
