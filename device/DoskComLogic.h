#pragma once
// What the device dialog does with its controls, without the widgets: the
// configuration record <-> control texts mapping, the limits of the edits
// and their messages, the sampling period and the recording time.
#include "device/DeviceConfig.h"

#include <QString>
#include <array>
#include <cstdint>

namespace qv {

constexpr int kMaxStartValue = 9999;  // RSEdit, RSAltEdit
constexpr int kMaxFinishTime = 1000;  // RFEdit

// Texts of the dialog.
QString MaxSampleRateText();        // "Max Sample rate is 10min"
QString InvalidInputText();         // "Invalid input value"
QString NumberRangeText();          // "Number must be 0..65535!"
QString FlightTemperatureText();    // "Flight Temperature must be an integer between -30 and 60."
// Conversion error of a non-integer entry: "'abc' is not a valid integer value"
QString NotAnIntegerText(const QString& text);

// Integer typed by the user (blanks around it allowed).
bool ParseInt(const QString& text, int& value);

// Sampling period from the minute, second and tenth edits. An empty edit
// counts as 0.
struct TPeriodFromEdits {
    bool Ok = false;       // false: Error holds the conversion error
    QString Error;
    int Period = 0;        // units of 10 ms, at most kMaxPeriod
    bool Clamped = false;  // above 10 min: "Max Sample rate is 10min", edits 10, 0, 0
};
TPeriodFromEdits PeriodFromEdits(const QString& minutes, const QString& seconds, const QString& tenths);

struct TPeriodEdits {
    QString Minutes, Seconds, Tenths;
};
TPeriodEdits PeriodToEdits(int period);

// Seconds of recording that the free memory holds; 0 without channels.
long long RecordingSeconds(int channels, long long periodMs, long long memorySize, long long usedMemory);
// "60 s", "0h 1min 1s", "1h 5min 3s"
QString RecordingTimeText(long long seconds);

// Start mode of each of RSRadioButton1..4 and finish mode of RFRadioButton1..3.
constexpr std::array<int, 4> kStartModes = {3, 1, 0, 2};
constexpr std::array<int, 3> kFinishModes = {0, 1, 3};
// Index (0-based) of the button for a mode byte, -1 for none.
int StartRadioForMode(int mode);
int FinishRadioForMode(int mode);

QString VoltsText(std::uint16_t raw); // raw x 0.01199, two decimals
int VoltsToRaw(double volts);         // round(volts / 0.01199)

// Texts of every configuration control for a record.
struct TConfigView {
    TPeriodEdits Period;
    bool Channel1 = false, Channel2 = false, Channel5 = false;
    QString StartDelay, StartAlt, FinishTime;
    int StartRadio = -1;  // 0..3 or -1
    int FinishRadio = -1; // 0..2 or -1
    QString Volts;
    std::array<QString, 3> Numbers;
};
TConfigView ConfigToView(const TDeviceConfig& c);

// Edits with an upper limit (RSEdit, RSAltEdit, RFEdit): an integer above
// the limit is replaced by it. Returns the text the edit must show (its own
// text when not changed) and stores the value when it is an integer.
QString ApplyLimitedEdit(TDeviceConfig& c, int at, const QString& text, int limit);

// UniEdit: stores round(value / 0.01199). Returns false with
// "Invalid input value" when the text is no number (an empty one too);
// `shown` becomes "9.8" above 9.8 V.
bool ApplyVoltsEdit(TDeviceConfig& c, const QString& text, QString& shown, QString& error);

// HiddenEdit1..3 while typing: stores the integer when it is in 0..65535.
void ApplyNumberEdit(TDeviceConfig& c, int index, const QString& text);
// Leaving a Number edit: empty becomes "0"; false when above 65535
// ("Number must be 0..65535!").
bool CheckNumberOnExit(QString& text);

// Leaving FTEdit: empty gives "0" and temperature 0; a non-integer or a
// value outside -30..60 restores the previous value and fails with the
// flight temperature text.
bool CheckFlightTemperature(QString& text, int& temperature);

// KeyPress filter of the edits: digits, Backspace, Enter and Esc pass
// (and "." for UniEdit).
bool KeyPasses(QChar c, bool allowDot);

} // namespace qv
