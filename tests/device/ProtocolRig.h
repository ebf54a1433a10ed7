#pragma once
// A protocol on the scripted port with the frames and replies the tests
// feed it.
#include "FakePort.h"
#include "support/ScriptedMessages.h"

#include "device/DeviceProtocol.h"

#include <gtest/gtest.h>

namespace qv::test {

inline QByteArray BytesOf(const TDeviceConfig& c)
{
    return QByteArray(reinterpret_cast<const char*>(c.bytes.data()), kConfigSize);
}

inline QByteArray WithChecksum(const QByteArray& payload, bool good = true)
{
    QByteArray f = payload;
    quint8 sum = FrameChecksum(reinterpret_cast<const quint8*>(payload.constData()),
                               static_cast<size_t>(payload.size()));
    f.append(static_cast<char>(good ? sum : sum ^ 0x01));
    return f;
}

inline QByteArray Firmware(const char* text)
{
    QByteArray f(text);
    f.resize(kFirmwareSize, ' ');
    return f;
}

inline TDeviceConfig TestConfig()
{
    TDeviceConfig c;
    for (int i = 0; i < kConfigSize; ++i)
        c.bytes[i] = static_cast<quint8>(i * 3 + 1);
    c.SetChannelRecorded(1, true);
    c.SetPeriod(10);
    return c;
}

// 264 bytes of data without any 0xFF.
inline QByteArray Payload(int k)
{
    QByteArray p(kConfigSize, '\0');
    for (int i = 0; i < kConfigSize; ++i)
        p[i] = static_cast<char>((k * 7 + i) % 251);
    return p;
}

struct Rig {
    ScriptedMessages messages;
    FakePort port;
    RecordingObserver obs;
    DeviceProtocol proto{port, &obs};

    Rig()
    {
        // Nothing left to read: end the link loop (a data download fails
        // with "no response" first, as a silent line should make it).
        port.onEmpty = [this] { proto.SetAbort(); };
    }

    // Port open, device identified, firmware and configuration read.
    void BringUp(const TDeviceConfig& c = TestConfig(), const char* fw = "KAVO5 TEST 1.0")
    {
        port.Feed("*F" + Firmware(fw) + "R" + WithChecksum(BytesOf(c)));
        EXPECT_TRUE(proto.OpenPort(QString()).ok);
        proto.RunLinkLoop();
        ASSERT_TRUE(proto.ConfigLoaded());
        port.written.clear();
        obs.status.clear();
    }

    // "D" answered with the given bytes.
    void Download(const QByteArray& reply)
    {
        proto.ReadData();
        port.Feed("D" + reply);
        proto.RunLinkLoop();
    }

    bool Disconnected() const { return obs.status.contains(QStringLiteral("Disconnected.")); }
};

} // namespace qv::test
