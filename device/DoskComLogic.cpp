#include "base/Numbers.h"
#include "device/DoskComLogic.h"

#include <QLocale>
#include <cmath>

namespace qv {

QString MaxSampleRateText() { return QStringLiteral("Max Sample rate is 10min"); }
QString InvalidInputText() { return QStringLiteral("Invalid input value"); }
QString NumberRangeText() { return QStringLiteral("Number must be 0..65535!"); }
QString FlightTemperatureText()
{
    return QStringLiteral("Flight Temperature must be an integer between -30 and 60.");
}
QString NotAnIntegerText(const QString& text)
{
    return QLatin1Char('\'') + text + QStringLiteral("' is not a valid integer value");
}

bool ParseInt(const QString& text, int& value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok)
        value = v;
    return ok;
}

TPeriodFromEdits PeriodFromEdits(const QString& minutes, const QString& seconds, const QString& tenths)
{
    TPeriodFromEdits r;
    int parts[3] = {0, 0, 0};
    const QString* texts[3] = {&minutes, &seconds, &tenths};
    for (int i = 0; i < 3; ++i) {
        if (texts[i]->trimmed().isEmpty())
            continue;
        if (!ParseInt(*texts[i], parts[i])) {
            r.Error = NotAnIntegerText(*texts[i]);
            return r;
        }
    }
    r.Ok = true;
    const long long total = (static_cast<long long>(parts[0]) * 600 + static_cast<long long>(parts[1]) * 10 + parts[2]) * 10;
    if (total > TDeviceConfig::kMaxPeriod) {
        r.Clamped = true;
        r.Period = TDeviceConfig::kMaxPeriod;
    } else {
        r.Period = static_cast<int>(total < 0 ? 0 : total);
    }
    return r;
}

TPeriodEdits PeriodToEdits(int period)
{
    const int tenths = static_cast<int>(std::lround(period / 10.0));
    return {QString::number((tenths / 10) / 60), QString::number((tenths / 10) % 60), QString::number(tenths % 10)};
}

long long RecordingSeconds(int channels, long long periodMs, long long memorySize, long long usedMemory)
{
    if (channels < 1)
        return 0;
    return std::llround(periodMs / 1000.0 * static_cast<double>(memorySize - usedMemory) / (2.0 * channels));
}

QString RecordingTimeText(long long seconds)
{
    if (seconds < 61)
        return QString::number(seconds) + QStringLiteral(" s");
    return QString::number(seconds / 3600) + QStringLiteral("h ") + QString::number((seconds / 60) % 60)
        + QStringLiteral("min ") + QString::number(seconds % 60) + QStringLiteral("s");
}

int StartRadioForMode(int mode)
{
    for (int i = 0; i < 4; ++i)
        if (kStartModes[i] == mode)
            return i;
    return -1;
}

int FinishRadioForMode(int mode)
{
    for (int i = 0; i < 3; ++i)
        if (kFinishModes[i] == mode)
            return i;
    return -1;
}

QString VoltsText(std::uint16_t raw)
{
    return QLocale::system().toString(raw * TDeviceConfig::kVoltsPerUnit, 'f', 2);
}

int VoltsToRaw(double volts)
{
    return static_cast<int>(std::lround(volts / TDeviceConfig::kVoltsPerUnit));
}

TConfigView ConfigToView(const TDeviceConfig& c)
{
    TConfigView v;
    v.Period = PeriodToEdits(c.Period());
    v.Channel1 = c.ChannelRecorded(1);
    v.Channel2 = c.ChannelRecorded(2);
    v.Channel5 = c.ChannelRecorded(5);
    v.StartDelay = QString::number(c.StartDelay());
    v.StartAlt = QString::number(c.StartAltitude());
    v.FinishTime = QString::number(c.FinishTime());
    v.StartRadio = StartRadioForMode(c.StartMode());
    v.FinishRadio = FinishRadioForMode(c.FinishMode());
    v.Volts = VoltsText(c.VoltageThresholdRaw());
    for (int i = 0; i < 3; ++i)
        v.Numbers[i] = QString::number(c.Number(i + 1));
    return v;
}

QString ApplyLimitedEdit(TDeviceConfig& c, int at, const QString& text, int limit)
{
    int v = 0;
    if (!ParseInt(text, v) || v < 0)
        return text;
    if (v > limit) {
        c.SetWord(at, static_cast<quint16>(limit));
        return QString::number(limit);
    }
    c.SetWord(at, static_cast<quint16>(v));
    return text;
}

bool ApplyVoltsEdit(TDeviceConfig& c, const QString& text, QString& shown, QString& error)
{
    shown = text;
    error.clear();
    const std::optional<double> parsed = ParseUserNumber(text);
    double v = parsed.value_or(-1);
    if (!parsed || v < 0) {
        error = InvalidInputText();
        return false;
    }
    if (v > TDeviceConfig::kMaxVoltageThreshold) {
        v = TDeviceConfig::kMaxVoltageThreshold;
        shown = QStringLiteral("9.8");
    }
    c.SetVoltageThresholdRaw(static_cast<quint16>(VoltsToRaw(v)));
    return true;
}

void ApplyNumberEdit(TDeviceConfig& c, int index, const QString& text)
{
    int v = 0;
    if (index >= 0 && index < 3 && ParseInt(text, v) && v >= 0 && v <= 65535)
        c.SetNumber(index + 1, static_cast<quint16>(v));
}

bool CheckNumberOnExit(QString& text)
{
    if (text.trimmed().isEmpty()) {
        text = QStringLiteral("0");
        return true;
    }
    int v = 0;
    return ParseInt(text, v) && v >= 0 && v <= 65535;
}

bool CheckFlightTemperature(QString& text, int& temperature)
{
    if (text.trimmed().isEmpty()) {
        text = QStringLiteral("0");
        temperature = 0;
        return true;
    }
    int v = 0;
    if (!ParseInt(text, v) || v < -30 || v > 60) {
        text = QString::number(temperature);
        return false;
    }
    temperature = v;
    return true;
}

bool KeyPasses(QChar c, bool allowDot)
{
    if (c.isDigit() && c.unicode() < 128)
        return true;
    if (c == QChar(8) || c == QChar(13) || c == QChar(27))
        return true;
    return allowDot && c == QLatin1Char('.');
}

} // namespace qv
