#include "device/DeviceConfig.h"

#include <cmath>

namespace qv {

quint8 FrameChecksum(const quint8* data, std::size_t n)
{
    quint8 sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum ^= data[i];
    return sum;
}

quint16 TDeviceConfig::Word(int offset) const
{
    return static_cast<quint16>((bytes[offset] << 8) | bytes[offset + 1]);
}

void TDeviceConfig::SetWord(int offset, quint16 value)
{
    bytes[offset] = static_cast<quint8>(value >> 8);
    bytes[offset + 1] = static_cast<quint8>(value & 0xFF);
}

int TDeviceConfig::RecordedChannelCount() const
{
    int n = 0;
    for (int ch = 1; ch <= 7; ++ch)
        n += ChannelRecorded(ch) ? 1 : 0;
    return n;
}

void TDeviceConfig::SetVoltageThreshold(double volts)
{
    if (!(volts >= 0)) // also NaN
        volts = 0;
    if (volts > kMaxVoltageThreshold)
        volts = kMaxVoltageThreshold;
    SetVoltageThresholdRaw(static_cast<quint16>(std::lround(volts / kVoltsPerUnit)));
}

} // namespace qv
