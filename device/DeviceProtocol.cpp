#include "device/DeviceProtocol.h"

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

QString DeviceProtocol::firmwareText() const
{
    QByteArray b = firmware_;
    const int nul = b.indexOf('\0');
    if (nul >= 0)
        b.truncate(nul);
    return QString::fromLatin1(b);
}

void DeviceProtocol::pump()
{
    // A button handler running inside the pump may call back into us
    // (disconnect() pumps too); never nest.
    if (!pump_ || inPump_)
        return;
    inPump_ = true;
    pump_();
    inPump_ = false;
}

quint8 DeviceProtocol::readOrFail(const QString& failText)
{
    quint8 b = 0;
    if (port_.readByte(b) != 1)
        throw Failure{failText};
    return b;
}

void DeviceProtocol::write(char c) { port_.writeByte(static_cast<quint8>(c)); }

void DeviceProtocol::setButtons(std::initializer_list<DeviceButton> buttons, bool enabled)
{
    for (DeviceButton b : buttons)
        obs_->setButtonEnabled(b, enabled);
}

void DeviceProtocol::setActionButtons(bool enabled)
{
    setButtons({DeviceButton::Close, DeviceButton::ReadData, DeviceButton::UploadCfg,
                DeviceButton::DownloadCfg, DeviceButton::EraseMemory},
               enabled);
}

// --- Button handlers ---------------------------------------------------------

void DeviceProtocol::reset()
{
    identified_ = false;
    command_ = 0;
    initLabel_.clear();
    obs_->setButtonEnabled(DeviceButton::Close, true);
    setButtons({DeviceButton::ReadData, DeviceButton::UploadCfg, DeviceButton::DownloadCfg,
                DeviceButton::EraseMemory, DeviceButton::Disconnect},
               false);
    obs_->setTopLabel(QStringLiteral(" "));
    obs_->setInitLabel(QString());
    obs_->setDataLabel(QString());
    progress_ = 0;
    obs_->setProgress(0);
    obs_->setStatusText(QStringLiteral("Kavo5 not connected."));
    obs_->setConfigControlsEnabled(false);
}

PortOpenResult DeviceProtocol::openPort(const QString& comSetting)
{
    const QString name = PortNameFromSetting(comSetting);
    PortOpenResult r = port_.open(name);
    if (r.ok)
        r.message = QStringLiteral("Waiting for Kavo5 at ") + name;
    return r;
}

bool DeviceProtocol::connect(const QString& comSetting)
{
    if (port_.isOpen())
        return false;
    const PortOpenResult r = openPort(comSetting);
    if (!r.ok) {
        obs_->setTopLabel(r.message);
        return false;
    }
    obs_->setStatusText(r.message);
    obs_->setButtonEnabled(DeviceButton::Connect, false);
    obs_->setButtonEnabled(DeviceButton::Disconnect, true);
    write('*');
    obs_->setLamp(DeviceLamp::Yellow);
    runLinkLoop();
    closePort();
    identified_ = false;
    abort_ = true;
    obs_->setLamp(DeviceLamp::Red);
    obs_->setButtonEnabled(DeviceButton::Connect, true);
    return true;
}

void DeviceProtocol::disconnect()
{
    abort_ = true;
    pump();
    obs_->setStatusText(QStringLiteral("Disconnected."));
    obs_->setTopLabel(QStringLiteral("Disconnected."));
    obs_->setCaption(QStringLiteral("Data Reading / Kavo5 - Disconnected"));
    obs_->setLamp(DeviceLamp::Red);
    setButtons({DeviceButton::Close, DeviceButton::Connect}, true);
    setButtons({DeviceButton::Disconnect, DeviceButton::ReadData, DeviceButton::UploadCfg,
                DeviceButton::DownloadCfg, DeviceButton::EraseMemory},
               false);
    obs_->setConfigControlsEnabled(false);
}

void DeviceProtocol::shutdown()
{
    abort_ = true;
    pump();
    obs_->setCaption(QStringLiteral("Data Reading / Kavo5 - Disconnected"));
    closePort();
}

void DeviceProtocol::closePort()
{
    port_.close();
}

void DeviceProtocol::downloadConfig()
{
    setButtons({DeviceButton::Close, DeviceButton::UploadCfg, DeviceButton::ReadData,
                DeviceButton::EraseMemory},
               false);
    requestConfig();
}

void DeviceProtocol::requestConfig()
{
    if (!port_.isOpen()) {
        Messages().Error(QStringLiteral("Not connected."));
        return;
    }
    command_ = 'R';
    write('R');
}

void DeviceProtocol::uploadConfig()
{
    if (!port_.isOpen()) {
        Messages().Error(QStringLiteral("Not connected."));
        return;
    }
    if (!configLoaded_) {
        Messages().Error(QStringLiteral("File not loaded."));
        return;
    }
    setButtons({DeviceButton::Close, DeviceButton::ReadData, DeviceButton::DownloadCfg,
                DeviceButton::EraseMemory},
               false);
    command_ = 'W';
    write('W');
    obs_->setStatusText(QStringLiteral("Config file writing started."));
    int total = 0;
    for (quint8 b : config_.bytes)
        total += port_.writeByte(b);
    if (total != kConfigSize)
        Messages().Error(QStringLiteral("Only %1 bytes written.").arg(total));
    obs_->setStatusText(QStringLiteral("Config file writing finished."));
    obs_->setStatusText(QStringLiteral("Verifying config file."));
    write('R'); // the reply is checked against the record (command stays "W")
}

void DeviceProtocol::readData()
{
    if (!port_.isOpen()) {
        Messages().Error(QStringLiteral("Not connected."));
        return;
    }
    setButtons({DeviceButton::Close, DeviceButton::UploadCfg, DeviceButton::DownloadCfg,
                DeviceButton::EraseMemory},
               false);
    command_ = 'D';
    progress_ = 0;
    obs_->setProgress(0);
    obs_->setDataLabel(QStringLiteral("Number of bytes read: 0"));
    obs_->setTopLabel(QString());
    write('D');
}

void DeviceProtocol::eraseMemory()
{
    if (!port_.isOpen()) {
        Messages().Error(QStringLiteral("Not connected."));
        return;
    }
    if (Messages().Question(QStringLiteral("Erase memory?"), Buttons::YesNo) != Answer::Yes)
        return;
    setButtons({DeviceButton::Close, DeviceButton::UploadCfg, DeviceButton::DownloadCfg,
                DeviceButton::ReadData},
               false);
    write('E');
    command_ = 'E';
}

// --- Link loop -----------------------------------------------------------------

void DeviceProtocol::runLinkLoop()
{
    if (!port_.isOpen())
        return;
    abort_ = false;
    while (!abort_) {
        try {
            quint8 b = 0;
            if (port_.readByte(b) == 1)
                onByte(b);
        } catch (const Failure& f) {
            Messages().Error(f.text);
            break;
        }
        pump();
    }
}

void DeviceProtocol::onByte(quint8 b)
{
    if (!identified_) {
        initLabel_ += QLatin1Char('.');
        if (initLabel_.size() > 100)
            initLabel_ = QStringLiteral(".");
        obs_->setInitLabel(initLabel_);
        if (b == '*') {
            write('*');
            identified_ = true;
            obs_->setStatusText(QStringLiteral("Connected to Kavo5"));
            obs_->setCaption(QStringLiteral("Data Reading / Kavo5 - Connected"));
            obs_->setLamp(DeviceLamp::Green);
            initLabel_.clear();
            obs_->setInitLabel(QString());
            command_ = 'F';
            write('F');
            progress_ = 0;
            obs_->setProgress(0);
            obs_->setDataLabel(QStringLiteral("Number of bytes read: 0"));
            return;
        }
    }
    switch (command_) {
    case 'F':
        if (b == 'F')
            firmwareReply();
        break;
    case 'R':
        if (b == 'R')
            configReply();
        break;
    case 'W':
        if (b == 'R')
            verifyReply();
        break;
    case 'E':
        if (b == 'E')
            eraseReply();
        break;
    case 'D':
        if (b == 'D')
            dataReply();
        break;
    default:
        break; // anything else is line noise
    }
}

void DeviceProtocol::firmwareReply()
{
    obs_->setBusyCursor(true);
    firmware_.clear();
    while (firmware_.size() < kFirmwareSize && !abort_) {
        quint8 b = 0;
        if (port_.readByte(b) == 1)
            firmware_.append(static_cast<char>(b));
        pump();
    }
    if (!firmware_.isEmpty())
        obs_->setFirmwareLabel(firmwareText());
    memorySize_ = firmware_.contains("KAVO5") ? kMemorySizeKavo5 : kMemorySizeOther;
    obs_->setProgressMax(memorySize_);
    obs_->setBusyCursor(false);
    obs_->setStatusText(QStringLiteral("Reading firmware finished."));
    command_ = 0;
    requestConfig();
}

// Reads one frame into `into`; returns the number of bytes received (265
// unless aborted) and whether the check byte matched. Without a byte it
// waits on, or fails when failText is given.
int DeviceProtocol::readFrame(TDeviceConfig& into, bool& checksumOk, const QString* failText)
{
    int count = 0;
    quint8 sum = 0;
    quint8 last = 0;
    while (count < kFrameSize && !abort_) {
        quint8 b = 0;
        if (port_.readByte(b) == 1) {
            if (count < kConfigSize) {
                into.bytes[count] = b;
                sum ^= b;
            }
            last = b;
            ++count;
        } else if (failText) {
            throw Failure{*failText};
        }
        pump();
    }
    checksumOk = count == kFrameSize && last == sum;
    return count;
}

void DeviceProtocol::configReply()
{
    // Only a frame whose check byte matches replaces the record: a garbled
    // reply must not turn a loaded record into one that could be uploaded.
    bool ok = false;
    TDeviceConfig received = config_;
    const int count = readFrame(received, ok, nullptr);
    if (ok)
        config_ = received;
    if (count < kFrameSize)
        Messages().Error(QStringLiteral("Reading failed, only %1 bytes read.").arg(count));
    else if (!ok)
        Messages().Error(QStringLiteral("Reading failed, CRC error."));
    else {
        configLoaded_ = true;
        obs_->setConfigControlsEnabled(true);
    }
    obs_->showConfig(config_);
    obs_->setStatusText(QStringLiteral("Config file reading finished."));
    command_ = 0;
    setActionButtons(true);
}

void DeviceProtocol::verifyReply()
{
    try {
        bool ok = false;
        const int count = readFrame(verify_, ok, &kNoResponse);
        if (count < kFrameSize)
            throw Failure{QStringLiteral("Reading failed, only %1 bytes read.").arg(count)};
        if (!ok)
            throw Failure{QStringLiteral("Config file reading failed, CRC error.")};
        configLoaded_ = true;
        if (verify_ != config_)
            Messages().Error(QStringLiteral("Verifying config file failed."));
        else
            obs_->setConfigControlsEnabled(true);
        obs_->setStatusText(QStringLiteral("Config file writing finished."));
    } catch (const Failure& f) {
        Messages().Error(f.text);
        disconnect();
    }
    command_ = 0;
    obs_->showConfig(config_);
    setActionButtons(true);
}

void DeviceProtocol::eraseReply()
{
    obs_->setStatusText(QStringLiteral("Erasing started, please wait."));
    obs_->setBusyCursor(true);
    while (!abort_) {
        quint8 b = 0;
        if (port_.readByte(b) == 1) {
            if (b == 'E')
                obs_->setStatusText(QStringLiteral("Erasing finished."));
            else
                obs_->setStatusText(QStringLiteral("Command:E expected, but ") +
                                    QChar::fromLatin1(static_cast<char>(b)) +
                                    QStringLiteral(" found"));
            break;
        }
        pump();
    }
    obs_->setBusyCursor(false);
    command_ = 0;
    setActionButtons(true);
}

void DeviceProtocol::setImageCapacity(int bytes)
{
    capacity_ = bytes < kConfigSize ? kConfigSize : (bytes > kMemoryImageSize ? kMemoryImageSize : bytes);
}

void DeviceProtocol::dataReply()
{
    obs_->setBusyCursor(true);
    obs_->setTopLabel(QStringLiteral("Data reading started."));
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
        const int total = downloadFrames(end);
        byteCount_ = total;
        if (!end.EndMarker && !end.MemoryFull && !end.ImageFull)
            end.Status = TDownloadEnd::Aborted;
        if (total > 0) {
            dataEnd_ = total - 1;
            obs_->setDataLabel(QStringLiteral("Number of bytes read: %1").arg(total > 5 ? total - 1 : 0));
            progress_ += total % 1000;
            obs_->setProgress(progress_);
            usedMemory_ = total - 1;
        }
        obs_->recordingTimeChanged();
    } catch (const Failure& f) {
        // byteCount_ holds the frames accepted before the failure.
        end.Status = TDownloadEnd::Failed;
        end.Error = f.text;
        dataEnd_ = byteCount_ > 0 ? byteCount_ - 1 : 0;
        Messages().Error(f.text);
        disconnect();
    }
    end.Image = image_.get();
    end.ByteCount = end.Image ? byteCount_ : 0;
    end.DataEndIndex = dataEnd_;
    end.Firmware = firmware_;
    const QString failure = obs_->downloadFinished(end);
    if (!failure.isEmpty()) {
        Messages().Error(failure);
        if (end.Status != TDownloadEnd::Failed)
            disconnect();
    }
    obs_->setBusyCursor(false);
    command_ = 0;
    setActionButtons(true);
}

void DeviceProtocol::acknowledge(char c)
{
    write(c);
    quint8 echo = 0;
    if (port_.readByte(echo) != 1 || echo != static_cast<quint8>(c))
        throw Failure{kCommError};
}

// Five 0xFF bytes in a row came inside a frame whose first j bytes are in
// `frame`. Reads the rest of the frame (100 ms per byte). True when the
// data end here: the rest did not come, or came with a matching check
// byte. False when the whole frame came and its check byte is wrong: it
// was line noise, and the frame is a bad frame like any other.
bool DeviceProtocol::frameEndsData(quint8* frame, int j, quint8 sum)
{
    for (; j < kConfigSize; ++j) {
        quint8 b = 0;
        if (abort_ || port_.readByte(b) != 1)
            return true;
        frame[j] = b;
        sum ^= b;
        if (j % 64 == 0)
            pump(); // a trickling line must not freeze the window
    }
    quint8 check = 0;
    if (abort_ || port_.readByte(check) != 1)
        return true;
    return check == sum;
}

int DeviceProtocol::downloadFrames(TDownloadEnd& end)
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
        acknowledge('X'); // dropped; the device sends the frame again
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
        const quint8 b = readOrFail(kNoResponse);
        if (j == kConfigSize) { // the frame's check byte
            if (b == sum) {
                std::memcpy(image + total, frame, kConfigSize);
                total += kConfigSize;
                byteCount_ = total;
                badFrames = 0;
                ffPairsAtFrameStart = ffPairs;
                acknowledge('O');
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
                if (frameEndsData(frame, j, sum)) {
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
            obs_->setDataLabel(QStringLiteral("Number of bytes read: %1").arg(total));
            progress_ = total;
            obs_->setProgress(total);
            pump();
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
