// The device dialog's mapping of the configuration record and the limits of
// its edits, without widgets.
#include "base/Numbers.h"
#include "device/DoskComLogic.h"

#include <gtest/gtest.h>

using namespace qv;

TEST(SamplingPeriod, FromTheEditsWithTheTenMinuteLimit)
{
    TPeriodFromEdits p = PeriodFromEdits(QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("0"));
    EXPECT_TRUE(p.Ok);
    EXPECT_FALSE(p.Clamped);
    EXPECT_EQ(p.Period, 60000);
    p = PeriodFromEdits(QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("1"));
    EXPECT_TRUE(p.Clamped);
    EXPECT_EQ(p.Period, 60000);
    p = PeriodFromEdits(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"));
    EXPECT_EQ(p.Period, (600 + 20 + 3) * 10);
    p = PeriodFromEdits(QString(), QStringLiteral("5"), QString()); // empty counts as 0
    EXPECT_TRUE(p.Ok);
    EXPECT_EQ(p.Period, 500);
    p = PeriodFromEdits(QStringLiteral("99999999"), QStringLiteral("0"), QStringLiteral("0"));
    EXPECT_TRUE(p.Clamped);
    p = PeriodFromEdits(QStringLiteral("1x"), QStringLiteral("0"), QStringLiteral("0"));
    EXPECT_FALSE(p.Ok);
    EXPECT_EQ(p.Error, QStringLiteral("'1x' is not a valid integer value"));

    const TPeriodEdits e = PeriodToEdits(60000);
    EXPECT_EQ(e.Minutes, QStringLiteral("10"));
    EXPECT_EQ(e.Seconds, QStringLiteral("0"));
    EXPECT_EQ(e.Tenths, QStringLiteral("0"));
    const TPeriodEdits f = PeriodToEdits(6230); // 623 tenths: 1 min 2 s 3
    EXPECT_EQ(f.Minutes, QStringLiteral("1"));
    EXPECT_EQ(f.Seconds, QStringLiteral("2"));
    EXPECT_EQ(f.Tenths, QStringLiteral("3"));
    EXPECT_EQ(PeriodToEdits(15).Tenths, QStringLiteral("2")); // round(1.5)
}

TEST(RecordingTime, SecondsAndText)
{
    EXPECT_EQ(RecordingSeconds(0, 1000, 9000000, 0), 0);
    EXPECT_EQ(RecordingTimeText(0), QStringLiteral("0 s"));
    EXPECT_EQ(RecordingTimeText(60), QStringLiteral("60 s"));
    EXPECT_EQ(RecordingTimeText(61), QStringLiteral("0h 1min 1s"));
    EXPECT_EQ(RecordingTimeText(3903), QStringLiteral("1h 5min 3s"));
    // 100 ms, 9000000 bytes free, 3 channels: 0.1 * 9000000 / 6 = 150000 s
    EXPECT_EQ(RecordingSeconds(3, 100, 9000000, 0), 150000);
    EXPECT_EQ(RecordingSeconds(1, 100, 540672, 540672 - 1200), 60);
    EXPECT_EQ(RecordingSeconds(1, 100, 540672, 540672 - 1220), 61);
}

TEST(ConfigView, RecordToControlTexts)
{
    TDeviceConfig c;
    c.SetPeriod(6230);
    c.SetChannelRecorded(1, true);
    c.SetChannelRecorded(5, true);
    c.bytes[TDeviceConfig::ChannelFlags + 1] = 2; // not 1: unchecked
    c.SetStartMode(StartAboveAltitude);
    c.SetFinishMode(7); // unknown: no button
    c.SetStartDelay(12);
    c.SetStartAltitude(345);
    c.SetFinishTime(1000);
    c.SetVoltageThresholdRaw(817);
    c.SetNumber(1, 65535);
    c.SetNumber(3, 7);
    const TConfigView v = ConfigToView(c);
    EXPECT_EQ(v.Period.Minutes, QStringLiteral("1"));
    EXPECT_TRUE(v.Channel1);
    EXPECT_FALSE(v.Channel2);
    EXPECT_TRUE(v.Channel5);
    EXPECT_EQ(v.StartRadio, 3);
    EXPECT_EQ(v.FinishRadio, -1);
    EXPECT_EQ(v.StartDelay, QStringLiteral("12"));
    EXPECT_EQ(v.StartAlt, QStringLiteral("345"));
    EXPECT_EQ(v.FinishTime, QStringLiteral("1000"));
    EXPECT_EQ(v.Numbers[0], QStringLiteral("65535"));
    EXPECT_EQ(v.Numbers[1], QStringLiteral("0"));
    EXPECT_EQ(v.Numbers[2], QStringLiteral("7"));
    const double volts = ParseUserNumber(v.Volts, -1);
    EXPECT_DOUBLE_EQ(volts, 9.80);

    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(StartRadioForMode(kStartModes[i]), i);
    EXPECT_EQ(kStartModes, (std::array<int, 4>{3, 1, 0, 2}));
    EXPECT_EQ(kFinishModes, (std::array<int, 3>{0, 1, 3}));
    EXPECT_EQ(FinishRadioForMode(2), -1);
}

TEST(ConfigEdits, LimitsAndMessages)
{
    TDeviceConfig c;
    EXPECT_EQ(ApplyLimitedEdit(c, TDeviceConfig::StartDelayWord, QStringLiteral("12345"), kMaxStartValue),
              QStringLiteral("9999"));
    EXPECT_EQ(c.StartDelay(), 9999);
    EXPECT_EQ(ApplyLimitedEdit(c, TDeviceConfig::FinishTimeWord, QStringLiteral("1001"), kMaxFinishTime),
              QStringLiteral("1000"));
    EXPECT_EQ(c.FinishTime(), 1000);
    EXPECT_EQ(ApplyLimitedEdit(c, TDeviceConfig::FinishTimeWord, QStringLiteral("999"), kMaxFinishTime),
              QStringLiteral("999"));
    EXPECT_EQ(c.FinishTime(), 999);
    EXPECT_EQ(ApplyLimitedEdit(c, TDeviceConfig::FinishTimeWord, QString(), kMaxFinishTime), QString());
    EXPECT_EQ(c.FinishTime(), 999);

    QString shown, error;
    EXPECT_TRUE(ApplyVoltsEdit(c, QStringLiteral("9.9"), shown, error));
    EXPECT_EQ(shown, QStringLiteral("9.8"));
    EXPECT_EQ(c.VoltageThresholdRaw(), 817);
    EXPECT_TRUE(ApplyVoltsEdit(c, QStringLiteral("6"), shown, error));
    EXPECT_EQ(c.VoltageThresholdRaw(), 500); // 6 / 0.01199 = 500.4
    EXPECT_FALSE(ApplyVoltsEdit(c, QStringLiteral("6.."), shown, error));
    EXPECT_EQ(error, QStringLiteral("Invalid input value"));
    EXPECT_EQ(c.VoltageThresholdRaw(), 500);
    EXPECT_FALSE(ApplyVoltsEdit(c, QString(), shown, error));
    EXPECT_EQ(c.VoltageThresholdRaw(), 500);

    ApplyNumberEdit(c, 1, QStringLiteral("65535"));
    EXPECT_EQ(c.Number(2), 65535);
    ApplyNumberEdit(c, 1, QStringLiteral("70000")); // not stored
    EXPECT_EQ(c.Number(2), 65535);
    QString text = QStringLiteral("70000");
    EXPECT_FALSE(CheckNumberOnExit(text));
    text.clear();
    EXPECT_TRUE(CheckNumberOnExit(text));
    EXPECT_EQ(text, QStringLiteral("0"));
    EXPECT_EQ(NumberRangeText(), QStringLiteral("Number must be 0..65535!"));

    int t = 15;
    text = QStringLiteral("61");
    EXPECT_FALSE(CheckFlightTemperature(text, t));
    EXPECT_EQ(text, QStringLiteral("15"));
    EXPECT_EQ(t, 15);
    text = QStringLiteral("-30");
    EXPECT_TRUE(CheckFlightTemperature(text, t));
    EXPECT_EQ(t, -30);
    text = QStringLiteral("abc");
    EXPECT_FALSE(CheckFlightTemperature(text, t));
    EXPECT_EQ(text, QStringLiteral("-30"));
    text.clear();
    EXPECT_TRUE(CheckFlightTemperature(text, t));
    EXPECT_EQ(text, QStringLiteral("0"));
    EXPECT_EQ(t, 0);
    EXPECT_EQ(FlightTemperatureText(), QStringLiteral("Flight Temperature must be an integer between -30 and 60."));

    EXPECT_TRUE(KeyPasses(QLatin1Char('7'), false));
    EXPECT_FALSE(KeyPasses(QLatin1Char('.'), false));
    EXPECT_TRUE(KeyPasses(QLatin1Char('.'), true));
    EXPECT_FALSE(KeyPasses(QLatin1Char('a'), true));
    EXPECT_TRUE(KeyPasses(QChar(8), false));
    EXPECT_TRUE(KeyPasses(QChar(13), false));
    EXPECT_TRUE(KeyPasses(QChar(27), false));
}
