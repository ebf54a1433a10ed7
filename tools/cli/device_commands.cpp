// quorvel-cli device-info: connects to the logger, reads its firmware text
// and configuration and prints them.
#include "device/DeviceProtocol.h"
#include "device/SerialPort.h"
#include "tools/cli/Command.h"
#include "base/MessageService.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
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
    void showConfig(const TDeviceConfig&) override
    {
        configDone = true;
        if (proto_)
            proto_->setAbort(); // all we wanted; ends the link loop
    }
    void setTopLabel(const QString& t) override { topLabel = t; }
    bool configDone = false;
    QString topLabel;

private:
    DeviceProtocol*& proto_;
};

QString startModeName(int m)
{
    switch (m) {
    case StartImmediately: return QStringLiteral("Immediately");
    case StartDelayed: return QStringLiteral("sec after Power ON");
    case StartByRx: return QStringLiteral("By RX Channel");
    case StartAboveAltitude: return QStringLiteral("Above Altitude [m]");
    default: return QStringLiteral("unknown");
    }
}

QString finishModeName(int m)
{
    switch (m) {
    case FinishOnPowerOff: return QStringLiteral("On Power OFF");
    case FinishAfterMinutes: return QStringLiteral("min after Power ON");
    case FinishByRx: return QStringLiteral("By RX Channel");
    default: return QStringLiteral("unknown");
    }
}

int deviceInfo(const QStringList& args)
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
    QElapsedTimer clock;
    clock.start();
    proto.setPump([&] {
        if (!messages.Errors.isEmpty() || clock.elapsed() > timeout * 1000) {
            timedOut = messages.Errors.isEmpty();
            proto.setAbort();
        }
    });
    const bool opened = proto.connect(port);
    SetMessageService(&previous == &messages ? nullptr : &previous);

    if (!opened) {
        PrintError(observer.topLabel.trimmed());
        return 1;
    }
    if (!messages.Errors.isEmpty()) {
        PrintError(messages.Errors.first());
        return 1;
    }
    if (timedOut || !observer.configDone || !proto.configLoaded()) {
        PrintError(QStringLiteral("Communication error, no response from device"));
        return 1;
    }

    const TDeviceConfig& c = proto.config();
    QStringList channels;
    QJsonArray jsonChannels;
    for (int ch = 1; ch <= 7; ++ch)
        if (c.channelRecorded(ch)) {
            channels << QString::number(ch);
            jsonChannels.append(ch);
        }
    const double periodSeconds = c.period() / 100.0;

    if (json) {
        QJsonObject o;
        o[QStringLiteral("firmware")] = proto.firmwareText().trimmed();
        o[QStringLiteral("memorySize")] = proto.memorySize();
        o[QStringLiteral("channels")] = jsonChannels;
        o[QStringLiteral("period")] = c.period();
        o[QStringLiteral("periodSeconds")] = periodSeconds;
        o[QStringLiteral("startMode")] = c.startMode();
        o[QStringLiteral("startModeName")] = startModeName(c.startMode());
        o[QStringLiteral("startDelay")] = c.startDelay();
        o[QStringLiteral("startAltitude")] = c.startAltitude();
        o[QStringLiteral("finishMode")] = c.finishMode();
        o[QStringLiteral("finishModeName")] = finishModeName(c.finishMode());
        o[QStringLiteral("finishTime")] = c.finishTime();
        o[QStringLiteral("voltageThresholdRaw")] = c.voltageThresholdRaw();
        o[QStringLiteral("voltageThreshold")] = QString::number(c.voltageThreshold(), 'f', 2).toDouble();
        o[QStringLiteral("numbers")] = QJsonArray{c.number(1), c.number(2), c.number(3)};
        PrintOut(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)).trimmed());
        return 0;
    }

    PrintOut(QStringLiteral("Firmware: ") + proto.firmwareText().trimmed());
    PrintOut(QStringLiteral("Memory size: %1 bytes").arg(proto.memorySize()));
    PrintOut(QStringLiteral("Channels recorded: ") +
             (channels.isEmpty() ? QStringLiteral("none") : channels.join(QLatin1Char(' '))));
    PrintOut(QStringLiteral("Sampling period: %1 s (%2 x 10 ms)")
                 .arg(QString::number(periodSeconds, 'f', 2)).arg(c.period()));
    PrintOut(QStringLiteral("Recording start: %1 (%2)").arg(startModeName(c.startMode())).arg(c.startMode()));
    PrintOut(QStringLiteral("Start delay: %1 s").arg(c.startDelay()));
    PrintOut(QStringLiteral("Start altitude: %1 m").arg(c.startAltitude()));
    PrintOut(QStringLiteral("Recording finish: %1 (%2)").arg(finishModeName(c.finishMode())).arg(c.finishMode()));
    PrintOut(QStringLiteral("Finish time: %1 min").arg(c.finishTime()));
    PrintOut(QStringLiteral("Voltspy threshold: %1 V (raw %2)")
                 .arg(QString::number(c.voltageThreshold(), 'f', 2)).arg(c.voltageThresholdRaw()));
    for (int n = 1; n <= 3; ++n)
        PrintOut(QStringLiteral("Number %1: %2").arg(n).arg(c.number(n)));
    return 0;
}

const RegisterCommand kDeviceInfo{
    {"device-info", "--port PATH [--json] [--timeout S]", &deviceInfo}};

} // namespace

} // namespace qv::cli
