// Reading a flight file for the commands that work on one.
#include "data/DataFile.h"
#include "tools/cli/Command.h"
#include "base/MessageService.h"

namespace qv::cli {

namespace {

// Passes every box on to the program's service and remembers whether an
// error was shown (the reader reports input/output errors that way).
class ErrorWatch : public IMessageService {
public:
    void error(const QString& text) override
    {
        ++errors;
        Messages().error(text);
    }
    void information(const QString& text) override { Messages().information(text); }
    Answer question(const QString& text, Buttons b) override { return Messages().question(text, b); }
    QString openFileName(const QString& t, const QString& d, const QString& f) override
    {
        return Messages().openFileName(t, d, f);
    }
    QString saveFileName(const QString& t, const QString& n, const QString& f, const QString& e) override
    {
        return Messages().saveFileName(t, n, f, e);
    }
    QString existingDirectory(const QString& t, const QString& d) override
    {
        return Messages().existingDirectory(t, d);
    }
    int errors = 0;
};

} // namespace

bool LoadFlightFile(const QString& fileName, TDataBlock& block, double markerThreshold)
{
    block.NotesStream();
    ErrorWatch watch;
    try {
        ReadDataFile(fileName, block, markerThreshold, watch);
    } catch (const DataFileError& e) {
        PrintError(QString::fromLatin1(e.what()));
        return false;
    }
    return watch.errors == 0;
}

} // namespace qv::cli
