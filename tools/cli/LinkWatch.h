#pragma once
// The time-out of the command-line link: a logger counts as gone when no
// byte at all came for the time-out (the clock restarts on every byte, so a
// slow line that keeps sending stays alive), and as not answering when for
// the same time only line noise came (a logger, or a line, that floods
// junk cannot keep a command running for ever).
#include "device/DeviceProtocol.h"

#include <QElapsedTimer>
#include <QString>

namespace qv::cli {

class TLinkWatch {
public:
    TLinkWatch(const DeviceProtocol& protocol, double seconds)
        : protocol_(protocol), limitMs_(static_cast<qint64>(seconds * 1000))
    {
        idle_.start();
        answer_.start();
    }

    // Called from the pump; true once the time-out has passed.
    bool Expired()
    {
        const qint64 bytes = protocol_.BytesReceived();
        const qint64 answered = bytes - protocol_.NoiseBytes();
        if (bytes != bytes_) {
            bytes_ = bytes;
            idle_.restart();
        }
        if (answered != answered_) {
            answered_ = answered;
            answer_.restart();
        }
        if (idle_.elapsed() > limitMs_) {
            noiseOnly_ = false;
            return true;
        }
        if (answer_.elapsed() > limitMs_) {
            noiseOnly_ = true;
            return true;
        }
        return false;
    }

    // What to say after Expired(): the link's failure text, with a second
    // line when bytes came but none of them was an answer.
    QString FailureText() const
    {
        QString text = QStringLiteral("Communication error, no response from device");
        if (noiseOnly_)
            text += QStringLiteral("\nOnly line noise came for %1 s (%2 bytes in all).")
                        .arg(limitMs_ / 1000.0)
                        .arg(protocol_.NoiseBytes());
        return text;
    }

private:
    const DeviceProtocol& protocol_;
    qint64 limitMs_;
    QElapsedTimer idle_;
    QElapsedTimer answer_;
    qint64 bytes_ = 0;
    qint64 answered_ = 0;
    bool noiseOnly_ = false;
};

} // namespace qv::cli
