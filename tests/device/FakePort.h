#pragma once
// A scripted serial port for driving the logger protocol: bytes queued by
// the test (or by a reaction to the host's writes) are read one by one,
// everything written is recorded. An empty queue reads as a time-out.
#include "device/DeviceProtocol.h"
#include "device/SerialPort.h"
#include "support/QtPrinters.h"

#include <QByteArray>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <ostream>


namespace qv::test {

class FakePort : public ISerialPort {
public:
    PortOpenResult Open(const QString& name) override
    {
        openedNames << name;
        if (!failure.message.isEmpty())
            return failure;
        open_ = true;
        PortOpenResult r;
        r.ok = true;
        return r;
    }
    bool IsOpen() const override { return open_; }
    int ReadByte(quint8& b) override
    {
        if (input.empty() && source && source(b))
            return 1;
        if (input.empty()) {
            ++emptyReads;
            if (onEmpty)
                onEmpty();
            return 0;
        }
        b = input.front();
        input.pop_front();
        return 1;
    }
    int WriteByte(quint8 b) override
    {
        if (!open_)
            return 0;
        written.append(static_cast<char>(b));
        if (onWrite)
            onWrite(b);
        return 1;
    }
    void Close() override
    {
        open_ = false;
        ++closes;
    }

    void Feed(const QByteArray& bytes)
    {
        for (char c : bytes)
            input.push_back(static_cast<quint8>(c));
    }

    PortOpenResult failure;            // set a message to make Open() fail
    std::deque<quint8> input;
    std::function<bool(quint8&)> source; // bytes after the queue, when set
    std::function<void()> onEmpty;       // a read found nothing
    std::function<void(quint8)> onWrite; // the host wrote a byte
    QByteArray written;
    QStringList openedNames;
    int emptyReads = 0;
    int closes = 0;

private:
    bool open_ = false;
};

// Records what the protocol shows.
class RecordingObserver : public IDeviceObserver {
public:
    void SetStatusText(const QString& t) override { status << t; }
    void SetTopLabel(const QString& t) override { topLabel << t; }
    void SetInitLabel(const QString& t) override { initLabel = t; }
    void SetDataLabel(const QString& t) override { dataLabel << t; }
    void SetFirmwareLabel(const QString& t) override { firmwareLabel = t; }
    void SetCaption(const QString& t) override { caption = t; }
    void SetLamp(DeviceLamp l) override { lamps.push_back(l); }
    void SetProgressMax(int m) override { progressMax = m; }
    void SetProgress(int p) override { progress = p; }
    void SetBusyCursor(bool on) override { busy = on; }
    void SetButtonEnabled(DeviceButton b, bool on) override { buttons[b] = on; }
    void SetConfigControlsEnabled(bool on) override { configControls = on; }
    void ShowConfig(const TDeviceConfig& c) override
    {
        ++configShown;
        if (onShowConfig)
            onShowConfig(c);
    }
    QString DownloadFinished(const TDownloadEnd& e) override
    {
        ++downloads;
        ending = e;
        downloaded = QByteArray(reinterpret_cast<const char*>(e.Image), e.ByteCount);
        endIndex = e.DataEndIndex;
        if (onDownload)
            onDownload();
        return downloadFailure;
    }

    QStringList status, topLabel, dataLabel;
    QString initLabel, firmwareLabel, caption;
    std::vector<DeviceLamp> lamps;
    int progressMax = -1, progress = -1;
    bool busy = false;
    std::map<DeviceButton, bool> buttons;
    bool configControls = false;
    int configShown = 0;
    std::function<void(const TDeviceConfig&)> onShowConfig;
    int downloads = 0;
    TDownloadEnd ending;
    QByteArray downloaded;
    int endIndex = -1;
    QString downloadFailure;
    std::function<void()> onDownload;
};

} // namespace qv::test
