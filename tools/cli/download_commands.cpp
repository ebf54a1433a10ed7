// quorvel-cli download: reads the logger's memory over a serial port and
// saves its flights; quorvel-cli split: saves the flights of a raw memory
// image file. Both use the same code as the device dialog.
#include "device/DeviceProtocol.h"
#include "device/DownloadSaver.h"
#include "device/FlightSplitter.h"
#include "device/SerialPort.h"
#include "tools/cli/Command.h"
#include "tools/cli/LinkWatch.h"
#include "base/MessageService.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <unistd.h>

namespace qv::cli {

namespace {

enum class Overwrite { Ask, Yes, No, All };

struct Options {
    QString port;
    QString image;
    QString root;
    QString name = QStringLiteral("Block");
    Overwrite overwrite = Overwrite::Ask;
    TPartialSave partial = TPartialSave::Save;
    int timeout = 60;
};

// Message boxes on the terminal: errors to stderr, information to stdout,
// the overwrite question answered by the --overwrite option or asked.
class CliMessages : public IMessageService {
public:
    explicit CliMessages(Overwrite o) : overwrite_(o) { SetMessageService(this); }
    ~CliMessages() override { SetMessageService(nullptr); }

    void Error(const QString& text) override
    {
        EndProgressLine();
        PrintError(text.trimmed());
        errors_ << text.trimmed();
    }
    void Information(const QString& text) override
    {
        EndProgressLine();
        PrintOut(text);
        informations_ << text;
    }
    Answer Question(const QString& text, Buttons buttons) override
    {
        EndProgressLine();
        if (buttons == Buttons::YesNoYesToAll && overwrite_ != Overwrite::Ask) {
            static const char* const said[] = {"", "yes", "no", "yes to all"};
            PrintError(text + QLatin1Char(' ') + QLatin1String(said[static_cast<int>(overwrite_)]));
            switch (overwrite_) {
            case Overwrite::Yes: return Answer::Yes;
            case Overwrite::No: return Answer::No;
            default: return Answer::YesToAll;
            }
        }
        const bool all = buttons == Buttons::YesNoYesToAll;
        std::fprintf(stderr, "%s %s ", text.toUtf8().constData(), all ? "[y]es/[n]o/[a]ll:" : "[y]es/[n]o:");
        std::fflush(stderr);
        char line[64];
        if (!std::fgets(line, sizeof line, stdin))
            return Answer::No;
        const char c = line[0];
        if (c == 'y' || c == 'Y')
            return Answer::Yes;
        if (all && (c == 'a' || c == 'A'))
            return Answer::YesToAll;
        return Answer::No;
    }
    QString OpenFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString ExistingDirectory(const QString&, const QString&) override { return {}; }

    const QStringList& Errors() const { return errors_; }

    // A progress line is open on the terminal: end it before other output.
    bool ProgressOpen = false;
    void EndProgressLine()
    {
        if (ProgressOpen) {
            std::fputc('\n', stderr);
            ProgressOpen = false;
        }
    }

private:
    Overwrite overwrite_;
    QStringList errors_;
    QStringList informations_;
};

bool ParseOptions(const QStringList& args, bool wantPort, Options& o)
{
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption root(QStringLiteral("root"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption name(QStringLiteral("name"), QString(), QStringLiteral("BASE"));
    const QCommandLineOption overwrite(QStringLiteral("overwrite"), QString(), QStringLiteral("MODE"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(), QStringLiteral("S"));
    const QCommandLineOption partial(QStringLiteral("partial"), QString(), QStringLiteral("MODE"));
    parser.addOptions({root, name, overwrite});
    if (wantPort)
        parser.addOptions({port, timeout, partial});

    // The parser wants the program name first.
    if (!parser.parse(QStringList{QStringLiteral("quorvel-cli")} + args)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            PrintError(QStringLiteral("unknown argument --") + unknown.first());
        } else {
            // "Missing value after '--x'."
            QString option = parser.errorText().section(QLatin1Char('\''), 1, 1);
            PrintError(QStringLiteral("missing value after ") + option);
        }
        return false;
    }
    const QStringList positional = parser.positionalArguments();
    for (int i = 0; i < positional.size(); ++i) {
        if (!wantPort && i == 0) {
            o.image = positional[0];
            continue;
        }
        PrintError(QStringLiteral("unknown argument ") + positional[i]);
        return false;
    }
    if (wantPort)
        o.port = parser.value(port);
    if (parser.isSet(root))
        o.root = parser.value(root);
    if (parser.isSet(name))
        o.name = parser.value(name);
    if (!FileNameProblem(o.name).isEmpty()) {
        PrintError(QStringLiteral("--name: ") + FileNameProblem(o.name));
        return false;
    }
    if (parser.isSet(overwrite)) {
        const QString v = parser.value(overwrite);
        if (v == QLatin1String("ask"))
            o.overwrite = Overwrite::Ask;
        else if (v == QLatin1String("yes"))
            o.overwrite = Overwrite::Yes;
        else if (v == QLatin1String("no"))
            o.overwrite = Overwrite::No;
        else if (v == QLatin1String("all"))
            o.overwrite = Overwrite::All;
        else {
            PrintError(QStringLiteral("--overwrite takes ask, yes, no or all"));
            return false;
        }
    }
    if (wantPort && parser.isSet(partial)) {
        const QString v = parser.value(partial);
        if (v == QLatin1String("save"))
            o.partial = TPartialSave::Save;
        else if (v == QLatin1String("discard"))
            o.partial = TPartialSave::Discard;
        else {
            PrintError(QStringLiteral("--partial takes save or discard"));
            return false;
        }
    }
    if (wantPort && parser.isSet(timeout)) {
        bool ok = false;
        o.timeout = parser.value(timeout).toInt(&ok);
        if (!ok || o.timeout <= 0) {
            PrintError(QStringLiteral("--timeout takes a number of seconds"));
            return false;
        }
    }
    if (wantPort && o.port.isEmpty()) {
        PrintError(QStringLiteral("--port PATH is needed"));
        return false;
    }
    if (!wantPort && o.image.isEmpty()) {
        PrintError(QStringLiteral("the memory image file is needed"));
        return false;
    }
    // Nobody could answer the overwrite question: refuse before anything
    // is read rather than answer it for the user.
    if (o.overwrite == Overwrite::Ask && !isatty(STDIN_FILENO)) {
        PrintError(QStringLiteral("--overwrite ask needs a terminal to answer on; choose --overwrite yes|no|all"));
        return false;
    }
    return true;
}

TSaveOptions SaveOptions(const Options& o)
{
    TSaveOptions s;
    s.Root = o.root;
    s.DefFileName = o.name;
    s.Partial = o.partial;
    return s;
}

// Non-zero whenever something asked for did not happen: the transfer
// failed, saving stopped or failed, or flights were found and none written.
int Finish(const TDownloadResult& r, bool failed)
{
    if (!r.Save.Error.isEmpty()) {
        PrintError(r.Save.Error);
        return 1;
    }
    // Without flights there was no box; say it anyway.
    if (r.Blocks == 0 && r.Message.isEmpty())
        PrintOut(FilesWrittenText(0));
    if (failed || (r.Saved && r.Save.Status != TSaveResult::Done))
        return 1;
    return r.Blocks > 0 && r.Save.Written == 0 ? 1 : 0;
}

// --- download ------------------------------------------------------------------

class CliObserver : public IDeviceObserver {
public:
    CliObserver(CliMessages& msgs, const Options& o) : msgs_(msgs), options_(o) {}

    void SetStatusText(const QString& t) override
    {
        if (t == lastStatus_)
            return;
        lastStatus_ = t;
        msgs_.EndProgressLine();
        PrintError(t);
    }
    void SetTopLabel(const QString& t) override { topLabel = t; }
    void SetFirmwareLabel(const QString& t) override
    {
        msgs_.EndProgressLine();
        PrintError(QStringLiteral("Firmware: ") + t.trimmed());
    }
    void SetProgressMax(int v) override { memorySize_ = v; }
    void SetProgress(int v) override
    {
        if (!downloading_ && v > 0) {
            downloading_ = true;
            rate_.start();
        }
        ShowProgress(v);
    }
    void ShowConfig(const TDeviceConfig&) override { configShown = true; }
    QString DownloadFinished(const TDownloadEnd& end) override
    {
        msgs_.EndProgressLine();
        TFlightSaver saver(msgs_);
        QObject::connect(&saver, &TFlightSaver::StatusText, &saver, [](const QString& t) { PrintError(t); });
        result = saver.FinishDownload(end, SaveOptions(options_));
        if (!result.RawImage.isEmpty())
            PrintError(QStringLiteral("Memory image kept in ") + result.RawImage);
        failed = end.Status == TDownloadEnd::Failed;
        finished = true;
        return {}; // folder and name failures are told by Finish()
    }

    bool configShown = false;
    bool finished = false;
    bool failed = false;
    QString topLabel;
    TDownloadResult result;

private:
    void ShowProgress(int bytes)
    {
        if (!isatty(2) || bytes <= 0)
            return;
        const double secs = rate_.elapsed() / 1000.0;
        const double rate = secs > 0 ? bytes / secs : 0;
        const double left = rate > 0 ? (memorySize_ - bytes) / rate : 0;
        std::fprintf(stderr, "\rRead %d of %d bytes, %.1f kB/s, %.0f s left   ", bytes, memorySize_, rate / 1000.0,
                     left > 0 ? left : 0.0);
        std::fflush(stderr);
        msgs_.ProgressOpen = true;
    }

    CliMessages& msgs_;
    const Options& options_;
    QElapsedTimer rate_;
    bool downloading_ = false;
    int memorySize_ = kMemorySizeOther;
    QString lastStatus_;
};

int RunDownload(const QStringList& args)
{
    Options o;
    if (!ParseOptions(args, true, o))
        return 2;
    CliMessages msgs(o.overwrite);
    CliObserver obs(msgs, o);
    PosixSerialPort port;
    DeviceProtocol protocol(port, &obs);
    TLinkWatch watch(protocol, o.timeout);
    bool dataRequested = false;
    bool timedOut = false;
    int errorsBeforeData = 0;
    protocol.SetPump([&] {
        if (obs.finished || (dataRequested && msgs.Errors().size() > errorsBeforeData)) {
            protocol.SetAbort();
            return;
        }
        if (watch.Expired()) {
            timedOut = true;
            protocol.SetAbort();
            return;
        }
        // Identification, firmware and configuration run by themselves;
        // then the data. The download does not need the configuration: a
        // garbled one has been reported and is no reason to leave the
        // flights on the logger.
        if (!dataRequested && obs.configShown && protocol.Identified() && !protocol.CommandInProgress()) {
            dataRequested = true;
            errorsBeforeData = msgs.Errors().size();
            protocol.ReadData();
        }
    });
    if (!protocol.Connect(o.port)) {
        PrintError(obs.topLabel.trimmed());
        return 1;
    }
    msgs.EndProgressLine();
    if (!obs.finished) {
        if (timedOut)
            PrintError(watch.FailureText());
        else if (msgs.Errors().isEmpty())
            PrintError(QStringLiteral("Communication error"));
        return 1;
    }
    return Finish(obs.result, obs.failed || msgs.Errors().size() > errorsBeforeData);
}

// --- split ---------------------------------------------------------------------

int RunSplit(const QStringList& args)
{
    Options o;
    if (!ParseOptions(args, false, o))
        return 2;
    CliMessages msgs(o.overwrite);
    TFlightSaver saver(msgs);
    QObject::connect(&saver, &TFlightSaver::StatusText, &saver, [](const QString& t) { PrintError(t); });
    const TDownloadResult r = saver.SplitImageFile(o.image, SaveOptions(o));
    return Finish(r, !msgs.Errors().isEmpty());
}

const RegisterCommand downloadCommand({"download",
                                       "--port PATH [--root DIR] [--name BASE] [--overwrite ask|yes|no|all] "
                                       "[--timeout S] [--partial save|discard]  read the logger's memory and "
                                       "save its flights",
                                       RunDownload});
const RegisterCommand splitCommand({"split",
                                    "IMAGE [--root DIR] [--name BASE] [--overwrite ask|yes|no|all]  save the "
                                    "flights of a memory image file",
                                    RunSplit});

} // namespace

} // namespace qv::cli
