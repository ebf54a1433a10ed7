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
        ChannelFlags = 11,     // bytes 11..17: channels 1..7 recorded (1 = yes)
        Period = 30,           // word, units of 10 ms, at most 60000
        StartModeByte = 50,
        FinishModeByte = 51,
        StartDelay = 52,       // word, seconds after power on, 0..9999
        StartAltitude = 54,    // word, metres, 0..9999
        FinishTime = 56,       // word, minutes after power on, 0..1000
        VoltageThreshold = 66, // word, raw = round(volts / 0.01199)
        Number1 = 70,          // words 70, 72, 74: Numbers 1..3
    };
    static constexpr double kVoltsPerUnit = 0.01199;
    static constexpr double kMaxVoltageThreshold = 9.8;
    static constexpr int kMaxPeriod = 60000;

    std::array<quint8, kConfigSize> bytes{};

    quint16 word(int offset) const;            // big-endian word at offset, offset+1
    void setWord(int offset, quint16 value);

    // channel 1..7
    bool channelRecorded(int channel) const { return bytes[ChannelFlags + channel - 1] == 1; }
    void setChannelRecorded(int channel, bool on) { bytes[ChannelFlags + channel - 1] = on ? 1 : 0; }
    int recordedChannelCount() const;          // bytes 11..17 equal to 1

    quint16 period() const { return word(Period); }
    void setPeriod(quint16 v) { setWord(Period, v); }
    quint8 startMode() const { return bytes[StartModeByte]; }
    void setStartMode(quint8 v) { bytes[StartModeByte] = v; }
    quint8 finishMode() const { return bytes[FinishModeByte]; }
    void setFinishMode(quint8 v) { bytes[FinishModeByte] = v; }
    quint16 startDelay() const { return word(StartDelay); }
    void setStartDelay(quint16 v) { setWord(StartDelay, v); }
    quint16 startAltitude() const { return word(StartAltitude); }
    void setStartAltitude(quint16 v) { setWord(StartAltitude, v); }
    quint16 finishTime() const { return word(FinishTime); }
    void setFinishTime(quint16 v) { setWord(FinishTime, v); }
    quint16 voltageThresholdRaw() const { return word(VoltageThreshold); }
    void setVoltageThresholdRaw(quint16 v) { setWord(VoltageThreshold, v); }
    double voltageThreshold() const { return voltageThresholdRaw() * kVoltsPerUnit; }
    // Clamps to 0..9.8 V and stores round(volts / 0.01199).
    void setVoltageThreshold(double volts);
    // n = 1..3
    quint16 number(int n) const { return word(Number1 + 2 * (n - 1)); }
    void setNumber(int n, quint16 v) { setWord(Number1 + 2 * (n - 1), v); }

    quint8 checksum() const { return FrameChecksum(bytes.data(), bytes.size()); }

    bool operator==(const TDeviceConfig& o) const { return bytes == o.bytes; }
    bool operator!=(const TDeviceConfig& o) const { return bytes != o.bytes; }
};

} // namespace qv
