#pragma once
// The logger's 264-byte configuration record and the XOR check byte that
// protects every 265-byte frame on the wire. Shared by the host side and
// the simulated logger.
//
// Multi-byte values are 16-bit unsigned, high byte first. Bytes that have
// no accessor here are carried unchanged.
#include <QtGlobal>

#include <array>
#include <cstddef>

namespace qv {

constexpr int kConfigSize = 264;      // payload bytes of a frame
constexpr int kFrameSize = 265;       // payload + check byte
constexpr int kFirmwareSize = 26;     // bytes of the firmware identification
constexpr int kMemoryImageSize = 50000001; // host image, indices 0..50000000
constexpr int kMemorySizeKavo5 = 9000000;  // firmware text contains "KAVO5"
constexpr int kMemorySizeOther = 540672;

// XOR of n bytes, starting from 0.
quint8 FrameChecksum(const quint8* data, std::size_t n);

// Recording start modes (byte 50).
enum StartMode : quint8 { StartByRx = 0, StartDelayed = 1, StartAboveAltitude = 2, StartImmediately = 3 };
// Recording finish modes (byte 51).
enum FinishMode : quint8 { FinishOnPowerOff = 0, FinishAfterMinutes = 1, FinishByRx = 3 };

struct TDeviceConfig {
    // Byte offsets of the known fields.
    enum Offset {
        ChannelFlags = 11,         // bytes 11..17: channels 1..7 recorded (1 = yes)
        PeriodWord = 30,           // word, units of 10 ms, at most 60000
        StartModeByte = 50,
        FinishModeByte = 51,
        StartDelayWord = 52,       // word, seconds after power on, 0..9999
        StartAltitudeWord = 54,    // word, metres, 0..9999
        FinishTimeWord = 56,       // word, minutes after power on, 0..1000
        VoltageThresholdWord = 66, // word, raw = round(volts / 0.01199)
        Number1 = 70,              // words 70, 72, 74: Numbers 1..3
    };
    static constexpr double kVoltsPerUnit = 0.01199;
    static constexpr double kMaxVoltageThreshold = 9.8;
    static constexpr int kMaxPeriod = 60000;

    std::array<quint8, kConfigSize> bytes{};

    quint16 Word(int offset) const;            // big-endian word at offset, offset+1
    void SetWord(int offset, quint16 value);

    // channel 1..7
    bool ChannelRecorded(int channel) const { return bytes[ChannelFlags + channel - 1] == 1; }
    void SetChannelRecorded(int channel, bool on) { bytes[ChannelFlags + channel - 1] = on ? 1 : 0; }
    int RecordedChannelCount() const;          // bytes 11..17 equal to 1

    quint16 Period() const { return Word(PeriodWord); }
    void SetPeriod(quint16 v) { SetWord(PeriodWord, v); }
    quint8 StartMode() const { return bytes[StartModeByte]; }
    void SetStartMode(quint8 v) { bytes[StartModeByte] = v; }
    quint8 FinishMode() const { return bytes[FinishModeByte]; }
    void SetFinishMode(quint8 v) { bytes[FinishModeByte] = v; }
    quint16 StartDelay() const { return Word(StartDelayWord); }
    void SetStartDelay(quint16 v) { SetWord(StartDelayWord, v); }
    quint16 StartAltitude() const { return Word(StartAltitudeWord); }
    void SetStartAltitude(quint16 v) { SetWord(StartAltitudeWord, v); }
    quint16 FinishTime() const { return Word(FinishTimeWord); }
    void SetFinishTime(quint16 v) { SetWord(FinishTimeWord, v); }
    quint16 VoltageThresholdRaw() const { return Word(VoltageThresholdWord); }
    void SetVoltageThresholdRaw(quint16 v) { SetWord(VoltageThresholdWord, v); }
    double VoltageThreshold() const { return VoltageThresholdRaw() * kVoltsPerUnit; }
    // Clamps to 0..9.8 V and stores round(volts / 0.01199).
    void SetVoltageThreshold(double volts);
    // n = 1..3
    quint16 Number(int n) const { return Word(Number1 + 2 * (n - 1)); }
    void SetNumber(int n, quint16 v) { SetWord(Number1 + 2 * (n - 1), v); }

    quint8 Checksum() const { return FrameChecksum(bytes.data(), bytes.size()); }

    bool operator==(const TDeviceConfig& o) const { return bytes == o.bytes; }
    bool operator!=(const TDeviceConfig& o) const { return bytes != o.bytes; }
};

} // namespace qv
