// quorvel-cli device-info: connects to the logger, reads its firmware text
// and configuration and prints them.
#include "device/DeviceProtocol.h"
#include "device/SerialPort.h"
#include "tools/cli/Command.h"
#include "tools/cli/LinkWatch.h"
#include "base/MessageService.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qv::cli {

namespace {

// Collects the error boxes of the protocol instead of showing them.
class CollectingMessages : public ConsoleMessageService {
public:
    void Error(const QString& text) override { Errors << text; }
    QStringList Errors;
};

class InfoObserver : public IDeviceObserver {
public:
    explicit InfoObserver(DeviceProtocol*& p) : proto_(p) {}
    void ShowConfig(const TDeviceConfig&) override
    {
        configDone = true;
        if (proto_)
            proto_->SetAbort(); // all we wanted; ends the link loop
    }
    void SetTopLabel(const QString& t) override { topLabel = t; }
    bool configDone = false;
    QString topLabel;

private:
    DeviceProtocol*& proto_;
};

QString StartModeName(int m)
{
    switch (m) {
    case StartImmediately: return QStringLiteral("Immediately");
    case StartDelayed: return QStringLiteral("sec after Power ON");
    case StartByRx: return QStringLiteral("By RX Channel");
    case StartAboveAltitude: return QStringLiteral("Above Altitude [m]");
    default: return QStringLiteral("unknown");
    }
}

QString FinishModeName(int m)
{
    switch (m) {
    case FinishOnPowerOff: return QStringLiteral("On Power OFF");
    case FinishAfterMinutes: return QStringLiteral("min after Power ON");
    case FinishByRx: return QStringLiteral("By RX Channel");
    default: return QStringLiteral("unknown");
    }
}

int DeviceInfo(const QStringList& args)
{
    const QString usage = QStringLiteral("usage: quorvel-cli device-info --port PATH [--json] [--timeout S]");
    QCommandLineParser parser;
    const QCommandLineOption portOption(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption jsonOption(QStringLiteral("json"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout"), QString(), QStringLiteral("S"));
    parser.addOptions({portOption, jsonOption, timeoutOption});
    // The parser wants the program name first.
    if (!parser.parse(QStringList{QStringLiteral("quorvel-cli")} + args) || !parser.positionalArguments().isEmpty()) {
        PrintError(usage);
        return 2;
    }
    const QString port = parser.value(portOption);
    const bool json = parser.isSet(jsonOption);
    double timeout = 10;
    if (parser.isSet(timeoutOption)) {
        bool ok = false;
        timeout = parser.value(timeoutOption).toDouble(&ok);
        if (!ok || timeout <= 0) {
            PrintError(QStringLiteral("device-info: --timeout needs a positive number of seconds"));
            return 2;
        }
    }

    CollectingMessages messages;
    IMessageService& previous = Messages();
    SetMessageService(&messages);

    PosixSerialPort serial;
    DeviceProtocol* self = nullptr;
    InfoObserver observer(self);
    DeviceProtocol proto(serial, &observer);
    self = &proto;
    bool timedOut = false;
    TLinkWatch watch(proto, timeout);
    proto.SetPump([&] {
        if (!messages.Errors.isEmpty()) {
            proto.SetAbort();
        } else if (watch.Expired()) {
            timedOut = true;
            proto.SetAbort();
        }
    });
    const bool opened = proto.Connect(port);
    SetMessageService(&previous == &messages ? nullptr : &previous);

    if (!opened) {
        PrintError(observer.topLabel.trimmed());
        return 1;
    }
    if (!messages.Errors.isEmpty()) {
        PrintError(messages.Errors.first());
        return 1;
    }
    if (timedOut) {
        PrintError(watch.FailureText());
        return 1;
    }
    if (!observer.configDone || !proto.ConfigLoaded()) {
        PrintError(QStringLiteral("Communication error, no response from device"));
        return 1;
    }

    const TDeviceConfig& c = proto.Config();
    QStringList channels;
    QJsonArray jsonChannels;
    for (int ch = 1; ch <= 7; ++ch)
        if (c.ChannelRecorded(ch)) {
            channels << QString::number(ch);
            jsonChannels.append(ch);
        }
    const double periodSeconds = c.Period() / 100.0;

    if (json) {
        QJsonObject o;
        o[QStringLiteral("firmware")] = proto.FirmwareText().trimmed();
        o[QStringLiteral("memorySize")] = proto.MemorySize();
        o[QStringLiteral("channels")] = jsonChannels;
        o[QStringLiteral("period")] = c.Period();
        o[QStringLiteral("periodSeconds")] = periodSeconds;
        o[QStringLiteral("startMode")] = c.StartMode();
        o[QStringLiteral("startModeName")] = StartModeName(c.StartMode());
        o[QStringLiteral("startDelay")] = c.StartDelay();
        o[QStringLiteral("startAltitude")] = c.StartAltitude();
        o[QStringLiteral("finishMode")] = c.FinishMode();
        o[QStringLiteral("finishModeName")] = FinishModeName(c.FinishMode());
        o[QStringLiteral("finishTime")] = c.FinishTime();
        o[QStringLiteral("voltageThresholdRaw")] = c.VoltageThresholdRaw();
        o[QStringLiteral("voltageThreshold")] = QString::number(c.VoltageThreshold(), 'f', 2).toDouble();
        o[QStringLiteral("numbers")] = QJsonArray{c.Number(1), c.Number(2), c.Number(3)};
        PrintOut(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)).trimmed());
        return 0;
    }

    PrintOut(QStringLiteral("Firmware: ") + proto.FirmwareText().trimmed());
    PrintOut(QStringLiteral("Memory size: %1 bytes").arg(proto.MemorySize()));
    PrintOut(QStringLiteral("Channels recorded: ") +
             (channels.isEmpty() ? QStringLiteral("none") : channels.join(QLatin1Char(' '))));
    PrintOut(QStringLiteral("Sampling period: %1 s (%2 x 10 ms)")
                 .arg(QString::number(periodSeconds, 'f', 2)).arg(c.Period()));
    PrintOut(QStringLiteral("Recording start: %1 (%2)").arg(StartModeName(c.StartMode())).arg(c.StartMode()));
    PrintOut(QStringLiteral("Start delay: %1 s").arg(c.StartDelay()));
    PrintOut(QStringLiteral("Start altitude: %1 m").arg(c.StartAltitude()));
    PrintOut(QStringLiteral("Recording finish: %1 (%2)").arg(FinishModeName(c.FinishMode())).arg(c.FinishMode()));
    PrintOut(QStringLiteral("Finish time: %1 min").arg(c.FinishTime()));
    PrintOut(QStringLiteral("Voltspy threshold: %1 V (raw %2)")
                 .arg(QString::number(c.VoltageThreshold(), 'f', 2)).arg(c.VoltageThresholdRaw()));
    for (int n = 1; n <= 3; ++n)
        PrintOut(QStringLiteral("Number %1: %2").arg(n).arg(c.Number(n)));
    return 0;
}

const RegisterCommand kDeviceInfo{
    {"device-info", "--port PATH [--json] [--timeout S]", &DeviceInfo}};

} // namespace

} // namespace qv::cli
