#include "device/DeviceProtocol.h"
#include "device/PortAdvice.h"

#include "base/Assert.h"
#include "base/MessageService.h"

#include <cstdlib>
#include <cstring>

namespace qv {

namespace {
// A failure of a transfer; caught where the command's reply is handled.
struct Failure {
    QString text;
};

const QString kNoResponse = QStringLiteral("Communication error, no response from device");
const QString kCommError = QStringLiteral("Communication error");

// Five 0xFF bytes in a row (four pairs) end the recorded data.
constexpr int kEndPairs = 4;
constexpr int kMaxBadFrames = 10;
} // namespace

void DeviceProtocol::Freer::operator()(quint8* p) const { std::free(p); }

DeviceProtocol::DeviceProtocol(ISerialPort& port, IDeviceObserver* observer)
    : port_(port), obs_(observer ? observer : &nullObs_)
{
}

DeviceProtocol::~DeviceProtocol() = default;

QString DeviceProtocol::FirmwareText() const
{
    QByteArray b = firmware_;
    const int nul = b.indexOf('\0');
    if (nul >= 0)
        b.truncate(nul);
    return QString::fromLatin1(b);
}

void DeviceProtocol::PumpEvents()
{
    // A button handler running inside the pump may call back into us
    // (Disconnect() pumps too); never nest.
    if (!pump_ || inPump_)
        return;
    inPump_ = true;
    pump_();
    inPump_ = false;
}

quint8 DeviceProtocol::ReadOrFail(const QString& failText)
{
    quint8 b = 0;
    if (Read(b) != 1)
        throw Failure{failText};
    return b;
}

int DeviceProtocol::Read(quint8& b)
{
    const int n = port_.ReadByte(b);
    if (n == 1)
        ++received_;
    return n;
}

void DeviceProtocol::Write(char c) { port_.WriteByte(static_cast<quint8>(c)); }

void DeviceProtocol::SetButtons(std::initializer_list<DeviceButton> buttons, bool enabled)
{
    for (DeviceButton b : buttons)
        obs_->SetButtonEnabled(b, enabled);
}

void DeviceProtocol::SetActionButtons(bool enabled)
{
    SetButtons({DeviceButton::Close, DeviceButton::ReadData, DeviceButton::UploadCfg,
                DeviceButton::DownloadCfg, DeviceButton::EraseMemory},
               enabled);
}

// --- Button handlers ---------------------------------------------------------

void DeviceProtocol::Reset()
{
    identified_ = false;
    command_ = 0;
    initLabel_.clear();
    obs_->SetButtonEnabled(DeviceButton::Close, true);
    SetButtons({DeviceButton::ReadData, DeviceButton::UploadCfg, DeviceButton::DownloadCfg,
                DeviceButton::EraseMemory, DeviceButton::Disconnect},
               false);
    obs_->SetTopLabel(QStringLiteral(" "));
    obs_->SetInitLabel(QString());
    obs_->SetDataLabel(QString());
    progress_ = 0;
    obs_->SetProgress(0);
    obs_->SetStatusText(QStringLiteral("Kavo5 not connected."));
    obs_->SetConfigControlsEnabled(false);
}

PortOpenResult DeviceProtocol::OpenPort(const QString& comSetting)
{
    const QString name = PortNameFromSetting(comSetting);
    PortOpenResult r = port_.Open(name);
    if (r.ok) {
        r.message = QStringLiteral("Waiting for Kavo5 at ") + name;
    } else if (const QString advice = PortOpenAdvice(name, r.errorCode); !advice.isEmpty()) {
        // What to do about it, on a line of its own.
        if (!r.message.endsWith(QLatin1Char('\n')))
            r.message += QStringLiteral("\r\n");
        r.message += advice;
    }
    return r;
}

bool DeviceProtocol::Connect(const QString& comSetting)
{
    if (port_.IsOpen())
        return false;
    const PortOpenResult r = OpenPort(comSetting);
    if (!r.ok) {
        obs_->SetTopLabel(r.message);
        return false;
    }
    obs_->SetStatusText(r.message);
    obs_->SetButtonEnabled(DeviceButton::Connect, false);
    obs_->SetButtonEnabled(DeviceButton::Disconnect, true);
    Write('*');
    obs_->SetLamp(DeviceLamp::Yellow);
    RunLinkLoop();
    ClosePort();
    identified_ = false;
    abort_ = true;
    obs_->SetLamp(DeviceLamp::Red);
    obs_->SetButtonEnabled(DeviceButton::Connect, true);
    return true;
}

void DeviceProtocol::Disconnect()
{
    abort_ = true;
    PumpEvents();
    obs_->SetStatusText(QStringLiteral("Disconnected."));
    obs_->SetTopLabel(QStringLiteral("Disconnected."));
    obs_->SetCaption(QString::fromLatin1(kDisconnectedCaption));
    obs_->SetLamp(DeviceLamp::Red);
    SetButtons({DeviceButton::Close, DeviceButton::Connect}, true);
    SetButtons({DeviceButton::Disconnect, DeviceButton::ReadData, DeviceButton::UploadCfg,
                DeviceButton::DownloadCfg, DeviceButton::EraseMemory},
               false);
    obs_->SetConfigControlsEnabled(false);
}

void DeviceProtocol::Shutdown()
{
    abort_ = true;
    PumpEvents();
    obs_->SetCaption(QString::fromLatin1(kDisconnectedCaption));
    ClosePort();
}

void DeviceProtocol::ClosePort()
{
    port_.Close();
}

void DeviceProtocol::DownloadConfig()
{
    SetButtons({DeviceButton::Close, DeviceButton::UploadCfg, DeviceButton::ReadData,
                DeviceButton::EraseMemory},
               false);
    RequestConfig();
}

void DeviceProtocol::RequestConfig()
{
    if (!port_.IsOpen()) {
        Messages().Error(QStringLiteral("Not connected."));
        return;
    }
    command_ = 'R';
    Write('R');
}

void DeviceProtocol::UploadConfig()
{
    if (!port_.IsOpen()) {
        Messages().Error(QStringLiteral("Not connected."));
        return;
    }
    if (!configLoaded_) {
        Messages().Error(QStringLiteral("File not loaded."));
        return;
    }
    SetButtons({DeviceButton::Close, DeviceButton::ReadData, DeviceButton::DownloadCfg,
                DeviceButton::EraseMemory},
               false);
    command_ = 'W';
    Write('W');
    obs_->SetStatusText(QStringLiteral("Config file writing started."));
    int total = 0;
    for (quint8 b : config_.bytes)
        total += port_.WriteByte(b);
    if (total != kConfigSize)
        Messages().Error(QStringLiteral("Only %1 bytes written.").arg(total));
    obs_->SetStatusText(QStringLiteral("Config file writing finished."));
    obs_->SetStatusText(QStringLiteral("Verifying config file."));
    Write('R'); // the reply is checked against the record (command stays "W")
}

void DeviceProtocol::ReadData()
{
    if (!port_.IsOpen()) {
        Messages().Error(QStringLiteral("Not connected."));
        return;
    }
    SetButtons({DeviceButton::Close, DeviceButton::UploadCfg, DeviceButton::DownloadCfg,
                DeviceButton::EraseMemory},
               false);
    command_ = 'D';
    progress_ = 0;
    obs_->SetProgress(0);
    obs_->SetDataLabel(QStringLiteral("Number of bytes read: 0"));
    obs_->SetTopLabel(QString());
    Write('D');
}

void DeviceProtocol::EraseMemory()
{
    if (!port_.IsOpen()) {
        Messages().Error(QStringLiteral("Not connected."));
        return;
    }
    if (Messages().Question(QStringLiteral("Erase memory?"), Buttons::YesNo) != Answer::Yes)
        return;
    SetButtons({DeviceButton::Close, DeviceButton::UploadCfg, DeviceButton::DownloadCfg,
                DeviceButton::ReadData},
               false);
    Write('E');
    command_ = 'E';
}

// --- Link loop -----------------------------------------------------------------

void DeviceProtocol::RunLinkLoop()
{
    if (!port_.IsOpen())
        return;
    abort_ = false;
    while (!abort_) {
        try {
            quint8 b = 0;
            if (Read(b) == 1)
                OnByte(b);
        } catch (const Failure& f) {
            Messages().Error(f.text);
            break;
        }
        PumpEvents();
    }
}

void DeviceProtocol::OnByte(quint8 b)
{
    if (!identified_) {
        initLabel_ += QLatin1Char('.');
        if (initLabel_.size() > 100)
            initLabel_ = QStringLiteral(".");
        obs_->SetInitLabel(initLabel_);
        if (b == '*') {
            Write('*');
            identified_ = true;
            obs_->SetStatusText(QStringLiteral("Connected to Kavo5"));
            obs_->SetCaption(QStringLiteral("Data Reading / Kavo5 - Connected"));
            obs_->SetLamp(DeviceLamp::Green);
            initLabel_.clear();
            obs_->SetInitLabel(QString());
            command_ = 'F';
            Write('F');
            progress_ = 0;
            obs_->SetProgress(0);
            obs_->SetDataLabel(QStringLiteral("Number of bytes read: 0"));
            return;
        }
    }
    // The reply the host waits for starts with the letter of its command;
    // every other byte is line noise.
    const bool wanted = command_ != 0 && b == (command_ == 'W' ? 'R' : command_);
    if (!wanted) {
        ++noise_;
        return;
    }
    switch (command_) {
    case 'F': FirmwareReply(); break;
    case 'R': ConfigReply(); break;
    case 'W': VerifyReply(); break;
    case 'E': EraseReply(); break;
    case 'D': DataReply(); break;
    default: break;
    }
}

void DeviceProtocol::FirmwareReply()
{
    obs_->SetBusyCursor(true);
    firmware_.clear();
    while (firmware_.size() < kFirmwareSize && !abort_) {
        quint8 b = 0;
        if (Read(b) == 1)
            firmware_.append(static_cast<char>(b));
        PumpEvents();
    }
    if (!firmware_.isEmpty())
        obs_->SetFirmwareLabel(FirmwareText());
    memorySize_ = firmware_.contains("KAVO5") ? kMemorySizeKavo5 : kMemorySizeOther;
    obs_->SetProgressMax(memorySize_);
    obs_->SetBusyCursor(false);
    obs_->SetStatusText(QStringLiteral("Reading firmware finished."));
    command_ = 0;
    RequestConfig();
}

// Reads one frame into `into`; returns the number of bytes received (265
// unless aborted) and whether the check byte matched. Without a byte it
// waits on, or fails when failText is given.
int DeviceProtocol::ReadFrame(TDeviceConfig& into, bool& checksumOk, const QString* failText)
{
    int count = 0;
    quint8 sum = 0;
    quint8 last = 0;
    while (count < kFrameSize && !abort_) {
        quint8 b = 0;
        if (Read(b) == 1) {
            if (count < kConfigSize) {
                into.bytes[count] = b;
                sum ^= b;
            }
            last = b;
            ++count;
        } else if (failText) {
            throw Failure{*failText};
        }
        PumpEvents();
    }
    checksumOk = count == kFrameSize && last == sum;
    return count;
}

void DeviceProtocol::ConfigReply()
{
    // Only a frame whose check byte matches replaces the record: a garbled
    // reply must not turn a loaded record into one that could be uploaded.
    bool ok = false;
    TDeviceConfig received = config_;
    const int count = ReadFrame(received, ok, nullptr);
    if (ok)
        config_ = received;
    if (count < kFrameSize)
        Messages().Error(QStringLiteral("Reading failed, only %1 bytes read.").arg(count));
    else if (!ok)
        Messages().Error(QStringLiteral("Reading failed, CRC error."));
    else {
        configLoaded_ = true;
        obs_->SetConfigControlsEnabled(true);
    }
    obs_->ShowConfig(config_);
    obs_->SetStatusText(QStringLiteral("Config file reading finished."));
    command_ = 0;
    SetActionButtons(true);
}

void DeviceProtocol::VerifyReply()
{
    try {
        bool ok = false;
        const int count = ReadFrame(verify_, ok, &kNoResponse);
        if (count < kFrameSize)
            throw Failure{QStringLiteral("Reading failed, only %1 bytes read.").arg(count)};
        if (!ok)
            throw Failure{QStringLiteral("Config file reading failed, CRC error.")};
        configLoaded_ = true;
        if (verify_ != config_)
            Messages().Error(QStringLiteral("Verifying config file failed."));
        else
            obs_->SetConfigControlsEnabled(true);
        obs_->SetStatusText(QStringLiteral("Config file writing finished."));
    } catch (const Failure& f) {
        Messages().Error(f.text);
        Disconnect();
    }
    command_ = 0;
    obs_->ShowConfig(config_);
    SetActionButtons(true);
}

void DeviceProtocol::EraseReply()
{
    obs_->SetStatusText(QStringLiteral("Erasing started, please wait."));
    obs_->SetBusyCursor(true);
    while (!abort_) {
        quint8 b = 0;
        if (Read(b) == 1) {
            if (b == 'E')
                obs_->SetStatusText(QStringLiteral("Erasing finished."));
            else
                obs_->SetStatusText(QStringLiteral("Command:E expected, but ") +
                                    QChar::fromLatin1(static_cast<char>(b)) +
                                    QStringLiteral(" found"));
            break;
        }
        PumpEvents();
    }
    obs_->SetBusyCursor(false);
    command_ = 0;
    SetActionButtons(true);
}

void DeviceProtocol::SetImageCapacity(int bytes)
{
    capacity_ = bytes < kConfigSize ? kConfigSize : (bytes > kMemoryImageSize ? kMemoryImageSize : bytes);
}

void DeviceProtocol::DataReply()
{
    obs_->SetBusyCursor(true);
    obs_->SetTopLabel(QStringLiteral("Data reading started."));
    byteCount_ = 0;
    dataEnd_ = 0;
    TDownloadEnd end;
    end.ImageCapacity = capacity_;
    try {
        if (!image_) {
            image_.reset(static_cast<quint8*>(std::calloc(kMemoryImageSize, 1)));
            if (!QV_ASSERT(image_ != nullptr, "memory image allocated"))
                throw Failure{QStringLiteral("Out of memory.")};
        }
        const int total = DownloadFrames(end);
        byteCount_ = total;
        if (!end.EndMarker && !end.MemoryFull && !end.ImageFull)
            end.Status = TDownloadEnd::Aborted;
        if (total > 0) {
            dataEnd_ = total - 1;
            obs_->SetDataLabel(QStringLiteral("Number of bytes read: %1").arg(total > 5 ? total - 1 : 0));
            progress_ += total % 1000;
            obs_->SetProgress(progress_);
            usedMemory_ = total - 1;
        }
        obs_->RecordingTimeChanged();
    } catch (const Failure& f) {
        // byteCount_ holds the frames accepted before the failure.
        end.Status = TDownloadEnd::Failed;
        end.Error = f.text;
        dataEnd_ = byteCount_ > 0 ? byteCount_ - 1 : 0;
        Messages().Error(f.text);
        Disconnect();
    }
    end.Image = image_.get();
    end.ByteCount = end.Image ? byteCount_ : 0;
    end.DataEndIndex = dataEnd_;
    end.Firmware = firmware_;
    const QString failure = obs_->DownloadFinished(end);
    if (!failure.isEmpty()) {
        Messages().Error(failure);
        if (end.Status != TDownloadEnd::Failed)
            Disconnect();
    }
    obs_->SetBusyCursor(false);
    command_ = 0;
    SetActionButtons(true);
}

void DeviceProtocol::Acknowledge(char c)
{
    Write(c);
    quint8 echo = 0;
    if (Read(echo) != 1 || echo != static_cast<quint8>(c))
        throw Failure{kCommError};
}

// Five 0xFF bytes in a row came inside a frame whose first j bytes are in
// `frame`. Reads the rest of the frame (100 ms per byte). True when the
// data end here: the rest did not come, or came with a matching check
// byte. False when the whole frame came and its check byte is wrong: it
// was line noise, and the frame is a bad frame like any other.
bool DeviceProtocol::FrameEndsData(quint8* frame, int j, quint8 sum)
{
    for (; j < kConfigSize; ++j) {
        quint8 b = 0;
        if (abort_ || Read(b) != 1)
            return true;
        frame[j] = b;
        sum ^= b;
        if (j % 64 == 0)
            PumpEvents(); // a trickling line must not freeze the window
    }
    quint8 check = 0;
    if (abort_ || Read(check) != 1)
        return true;
    return check == sum;
}

int DeviceProtocol::DownloadFrames(TDownloadEnd& end)
{
    quint8* const image = image_.get();
    quint8 frame[kConfigSize];
    int total = 0;
    int j = 0;
    quint8 sum = 0;
    int badFrames = 0;
    int ffPairs = 0;
    int ffPairsAtFrameStart = 0; // the detector as the last accepted frame left it

    auto rejectFrame = [&] {
        if (++badFrames > kMaxBadFrames)
            throw Failure{QStringLiteral("Communication error, bad CRC more then 10 times.")};
        Acknowledge('X'); // dropped; the device sends the frame again
        ffPairs = ffPairsAtFrameStart;
    };

    while (!abort_) {
        // A full memory is all the logger holds: the download is complete,
        // with or without an end marker after it.
        if (total >= memorySize_) {
            end.MemoryFull = true;
            break;
        }
        // The image is never written past its end.
        if (j == 0 && total + kConfigSize > capacity_) {
            end.ImageFull = true;
            break;
        }
        const quint8 b = ReadOrFail(kNoResponse);
        if (j == kConfigSize) { // the frame's check byte
            if (b == sum) {
                std::memcpy(image + total, frame, kConfigSize);
                total += kConfigSize;
                byteCount_ = total;
                badFrames = 0;
                ffPairsAtFrameStart = ffPairs;
                Acknowledge('O');
            } else {
                rejectFrame();
            }
            j = 0;
            sum = 0;
        } else {
            frame[j] = b;
            sum ^= b;
            bool havePrevious = true;
            quint8 previous = 0;
            if (j > 0)
                previous = frame[j - 1];
            else if (total > 0)
                previous = image[total - 1];
            else
                havePrevious = false;
            if (havePrevious)
                ffPairs = (b == 0xFF && previous == 0xFF) ? ffPairs + 1 : 0;
            ++j;
            if (ffPairs >= kEndPairs) {
                // The end of the recorded data, unless the frame turns out
                // to be garbled: then it is answered "X" and comes again.
                const int endAt = j;
                if (FrameEndsData(frame, j, sum)) {
                    std::memcpy(image + total, frame, endAt);
                    total += endAt;
                    end.EndMarker = true;
                    break;
                }
                rejectFrame();
                j = 0;
                sum = 0;
            }
        }
        if (j == 0) {
            obs_->SetDataLabel(QStringLiteral("Number of bytes read: %1").arg(total));
            progress_ = total;
            obs_->SetProgress(total);
            PumpEvents();
        }
    }
    // Bytes past the memory size are not the logger's memory.
    if (total >= memorySize_) {
        total = memorySize_;
        end.MemoryFull = true;
    }
    byteCount_ = total;
    return total;
}

} // namespace qv
