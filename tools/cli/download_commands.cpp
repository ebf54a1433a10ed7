// quorvel-cli download: reads the logger's memory over a serial port and
// saves its flights; quorvel-cli split: saves the flights of a raw memory
// image file. Both use the same code as the device dialog.
#include "device/DeviceProtocol.h"
#include "device/FlightSplitter.h"
#include "device/SerialPort.h"
#include "tools/cli/Command.h"
#include "base/MessageService.h"

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
    int timeout = 60;
};

// Message boxes on the terminal: errors to stderr, information to stdout,
// the overwrite question answered by the --overwrite option or asked.
class CliMessages : public IMessageService {
public:
    explicit CliMessages(Overwrite o) : overwrite_(o) { SetMessageService(this); }
    ~CliMessages() override { SetMessageService(nullptr); }

    void error(const QString& text) override
    {
        endProgressLine();
        PrintError(text.trimmed());
        errors_ << text.trimmed();
    }
    void information(const QString& text) override
    {
        endProgressLine();
        PrintOut(text);
        informations_ << text;
    }
    Answer question(const QString& text, Buttons buttons) override
    {
        endProgressLine();
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
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString existingDirectory(const QString&, const QString&) override { return {}; }

    const QStringList& errors() const { return errors_; }

    // A progress line is open on the terminal: end it before other output.
    bool progressOpen = false;
    void endProgressLine()
    {
        if (progressOpen) {
            std::fputc('\n', stderr);
            progressOpen = false;
        }
    }

private:
    Overwrite overwrite_;
    QStringList errors_;
    QStringList informations_;
};

bool parseOptions(const QStringList& args, bool wantPort, Options& o)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& out) {
            if (i + 1 >= args.size()) {
                PrintError(QStringLiteral("missing value after ") + a);
                return false;
            }
            out = args[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--port") && wantPort) {
            if (!value(o.port))
                return false;
        } else if (a == QLatin1String("--root")) {
            if (!value(o.root))
                return false;
        } else if (a == QLatin1String("--name")) {
            if (!value(o.name))
                return false;
        } else if (a == QLatin1String("--overwrite")) {
            if (!value(v))
                return false;
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
        } else if (a == QLatin1String("--timeout") && wantPort) {
            bool ok = false;
            if (!value(v))
                return false;
            o.timeout = v.toInt(&ok);
            if (!ok || o.timeout <= 0) {
                PrintError(QStringLiteral("--timeout takes a number of seconds"));
                return false;
            }
        } else if (!wantPort && o.image.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            o.image = a;
        } else {
            PrintError(QStringLiteral("unknown argument ") + a);
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
    return true;
}

TSaveOptions saveOptions(const Options& o)
{
    TSaveOptions s;
    s.Root = o.root;
    s.DefFileName = o.name;
    return s;
}

int finish(const TDownloadResult& r, const CliMessages& msgs)
{
    // Without flights there was no box; say it anyway.
    if (r.Blocks == 0)
        PrintOut(FilesWrittenText(0));
    const bool failed = r.Save.Status == TSaveResult::FolderFailed || r.Save.Status == TSaveResult::WriteFailed
        || !msgs.errors().isEmpty();
    return failed ? 1 : 0;
}

// --- download ------------------------------------------------------------------

class CliObserver : public IDeviceObserver {
public:
    CliObserver(CliMessages& msgs, const Options& o) : msgs_(msgs), options_(o) { idle_.start(); }

    void setStatusText(const QString& t) override
    {
        touch();
        if (t == lastStatus_)
            return;
        lastStatus_ = t;
        msgs_.endProgressLine();
        PrintError(t);
    }
    void setTopLabel(const QString& t) override
    {
        touch();
        topLabel = t;
    }
    void setInitLabel(const QString&) override { touch(); }
    void setFirmwareLabel(const QString& t) override
    {
        touch();
        msgs_.endProgressLine();
        PrintError(QStringLiteral("Firmware: ") + t.trimmed());
    }
    void setProgressMax(int v) override { memorySize_ = v; }
    void setProgress(int v) override
    {
        touch();
        if (!downloading_ && v > 0) {
            downloading_ = true;
            rate_.start();
        }
        showProgress(v);
    }
    void showConfig(const TDeviceConfig&) override
    {
        touch();
        configShown = true;
    }
    QString downloadFinished(const quint8* image, int byteCount, int) override
    {
        msgs_.endProgressLine();
        result = SplitAndSave(image, byteCount > 0 ? static_cast<std::size_t>(byteCount) : 0, saveOptions(options_),
                              msgs_, [](const QString& t) { PrintError(t); });
        finished = true;
        return result.Save.Status == TSaveResult::FolderFailed ? result.Save.Error : QString();
    }

    // Seconds without any sign of life from the logger.
    double idleSeconds() const { return idle_.elapsed() / 1000.0; }

    bool configShown = false;
    bool finished = false;
    QString topLabel;
    TDownloadResult result;

private:
    void touch() { idle_.restart(); }
    void showProgress(int bytes)
    {
        if (!isatty(2) || bytes <= 0)
            return;
        const double secs = rate_.elapsed() / 1000.0;
        const double rate = secs > 0 ? bytes / secs : 0;
        const double left = rate > 0 ? (memorySize_ - bytes) / rate : 0;
        std::fprintf(stderr, "\rRead %d of %d bytes, %.1f kB/s, %.0f s left   ", bytes, memorySize_, rate / 1000.0,
                     left > 0 ? left : 0.0);
        std::fflush(stderr);
        msgs_.progressOpen = true;
    }

    CliMessages& msgs_;
    const Options& options_;
    QElapsedTimer idle_;
    QElapsedTimer rate_;
    bool downloading_ = false;
    int memorySize_ = kMemorySizeOther;
    QString lastStatus_;
};

int runDownload(const QStringList& args)
{
    Options o;
    if (!parseOptions(args, true, o))
        return 2;
    CliMessages msgs(o.overwrite);
    CliObserver obs(msgs, o);
    PosixSerialPort port;
    DeviceProtocol protocol(port, &obs);
    bool dataRequested = false;
    bool timedOut = false;
    protocol.setPump([&] {
        if (!msgs.errors().isEmpty() || obs.finished) {
            protocol.setAbort();
            return;
        }
        if (obs.idleSeconds() > o.timeout) {
            timedOut = true;
            protocol.setAbort();
            return;
        }
        // Identification, firmware and configuration run by themselves;
        // then the data.
        if (!dataRequested && obs.configShown && protocol.identified() && !protocol.commandInProgress()) {
            if (!protocol.configLoaded()) {
                protocol.setAbort();
                return;
            }
            dataRequested = true;
            protocol.readData();
        }
    });
    if (!protocol.connect(o.port)) {
        PrintError(obs.topLabel.trimmed());
        return 1;
    }
    msgs.endProgressLine();
    if (timedOut && !obs.finished) {
        PrintError(QStringLiteral("Communication error, no response from device"));
        return 1;
    }
    if (!obs.finished) {
        if (msgs.errors().isEmpty())
            PrintError(QStringLiteral("Communication error"));
        return 1;
    }
    return finish(obs.result, msgs);
}

// --- split ---------------------------------------------------------------------

int runSplit(const QStringList& args)
{
    Options o;
    if (!parseOptions(args, false, o))
        return 2;
    QFile f(o.image);
    if (!f.open(QIODevice::ReadOnly)) {
        PrintError(QStringLiteral("Error in reading file."));
        return 1;
    }
    const QByteArray bytes = f.readAll();
    f.close();
    CliMessages msgs(o.overwrite);
    const TDownloadResult r = SplitAndSave(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                           static_cast<std::size_t>(bytes.size()), saveOptions(o), msgs,
                                           [](const QString& t) { PrintError(t); });
    if (r.Save.Status == TSaveResult::FolderFailed)
        PrintError(r.Save.Error);
    return finish(r, msgs);
}

const RegisterCommand downloadCommand({"download",
                                       "--port PATH [--root DIR] [--name BASE] [--overwrite ask|yes|no|all] "
                                       "[--timeout S]  read the logger's memory and save its flights",
                                       runDownload});
const RegisterCommand splitCommand({"split",
                                    "IMAGE [--root DIR] [--name BASE] [--overwrite ask|yes|no|all]  save the "
                                    "flights of a memory image file",
                                    runSplit});

} // namespace

} // namespace qv::cli
