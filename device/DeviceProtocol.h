#pragma once
// The logger protocol on the host side: the link loop that waits for the
// logger's "*", reads its firmware text and configuration, and handles the
// replies to the commands that the device dialog's buttons send ("R", "W"
// with verification, "E", "D" with the frame acknowledgement).
//
// Widget-free. Everything the dialog shows (status bar, labels, lamp,
// caption, progress, cursor, button and control states) goes out through
// IDeviceObserver. Error boxes and the erase question go through
// qv::Messages() (base/MessageService.h).
//
// Single-threaded: every waiting loop calls the pump callback between reads
// (the dialog passes one that runs pending window messages); a button
// handler that runs inside the pump only writes a command (requestData(),
// UploadConfig(), ...) or sets the abort flag (Disconnect()), and the
// running link loop picks up the reply. Every loop polls the abort flag.
#include "device/DeviceConfig.h"
#include "device/SerialPort.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace qv {

enum class DeviceLamp { Red, Yellow, Green };

enum class DeviceButton {
    Connect,     // "Connect"
    Disconnect,  // "Disconnect"
    Close,       // "Close"
    ReadData,    // "Read Data"
    UploadCfg,   // "Upload Cfg"
    DownloadCfg, // "Download Cfg"
    EraseMemory, // "Erase Memory"
};

// How a data download ended, and the bytes it received.
struct TDownloadEnd {
    enum How {
        Complete, // the end of the data, a full memory or a full image
        Aborted,  // Disconnect / Close during the download
        Failed    // a transfer failure (Error)
    } Status = Complete;
    bool EndMarker = false;   // five 0xFF bytes ended the data
    bool MemoryFull = false;  // the bytes reached the logger's memory size
    bool ImageFull = false;   // the logger sent more than the image holds
    int ImageCapacity = 0;    // bytes the image holds
    QString Error;            // the failure text
    const quint8* Image = nullptr;
    int ByteCount = 0;        // checked bytes in the image
    int DataEndIndex = 0;     // ByteCount - 1, or 0 when nothing came
    QByteArray Firmware;      // the logger's firmware text as received
};

// What the protocol shows. Every method has an empty default.
// The device dialog's caption while no logger is connected.
inline const char* const kDisconnectedCaption = "Data Reading / Kavo5 - Disconnected";

class IDeviceObserver {
public:
    virtual ~IDeviceObserver() = default;

    virtual void SetStatusText(const QString&) {}    // status bar
    virtual void SetTopLabel(const QString&) {}      // Label1
    virtual void SetInitLabel(const QString&) {}     // InitLabel (whole text)
    virtual void SetDataLabel(const QString&) {}     // DataLabel1
    virtual void SetFirmwareLabel(const QString&) {} // FirmLabel
    virtual void SetCaption(const QString&) {}       // form caption
    virtual void SetLamp(DeviceLamp) {}              // Shape1
    virtual void SetProgressMax(int) {}
    virtual void SetProgress(int) {}
    virtual void SetBusyCursor(bool) {}              // hourglass on / default cursor
    virtual void SetButtonEnabled(DeviceButton, bool) {}
    virtual void SetConfigControlsEnabled(bool) {}
    // The configuration record is to be shown in the controls.
    virtual void ShowConfig(const TDeviceConfig&) {}
    // Memory size or used memory changed: recompute the recording time.
    virtual void RecordingTimeChanged() {}
    // A data download has ended, however it ended: completely, aborted
    // (Disconnect / Close: only the frames accepted so far count) or
    // failed (called after the error box and the disconnect, with the
    // frames accepted before the failure). Keep, split and save here.
    // Return an empty string on success, else the failure text: it is
    // shown in an error box and the link disconnects.
    virtual QString DownloadFinished(const TDownloadEnd&) { return {}; }
};

class DeviceProtocol {
public:
    using Pump = std::function<void()>;

    // The port and the observer are not owned; the observer may be null.
    explicit DeviceProtocol(ISerialPort& port, IDeviceObserver* observer = nullptr);
    ~DeviceProtocol();
    DeviceProtocol(const DeviceProtocol&) = delete;
    DeviceProtocol& operator=(const DeviceProtocol&) = delete;

    void SetObserver(IDeviceObserver* observer) { obs_ = observer ? observer : &nullObs_; }
    void SetPump(Pump pump) { pump_ = std::move(pump); }

    // --- Button handlers -------------------------------------------------
    // Form shown: flags cleared, buttons and labels to their start state,
    // status "Kavo5 not connected.".
    void Reset();
    // Connect: opens the port (empty setting = "COM1"); on failure shows the
    // text in Label1 and returns false. On success shows "Waiting for Kavo5
    // at <port>", writes "*", lamp yellow and runs the link loop until the
    // abort flag is set; then closes the port (lamp red, Connect enabled)
    // and returns true.
    bool Connect(const QString& comSetting);
    // Disconnect: sets the abort flag, pumps, "Disconnected." and the
    // disconnected look.
    void Disconnect();
    // Download Cfg: disables the other action buttons and requests the
    // configuration.
    void DownloadConfig();
    // Sends "R" ("Not connected." when the port is closed).
    void RequestConfig();
    // Upload Cfg: writes "W" and the 264 bytes, then "R" for verification.
    void UploadConfig();
    // Read Data: sends "D".
    void ReadData();
    // Erase Memory: asks "Erase memory?" and sends "E" on Yes.
    void EraseMemory();
    // Closing the form: abort flag set, pump, port closed when open.
    void Shutdown();

    // --- Lower-level pieces (also used by the handlers above) -------------
    // Opens the port only; on success the message is "Waiting for Kavo5 at "
    // + port name.
    PortOpenResult OpenPort(const QString& comSetting);
    // Runs until the abort flag is set (clears it first). Only when open.
    void RunLinkLoop();
    void ClosePort();

    void SetAbort(bool on = true) { abort_ = on; }

    // Bytes received since the protocol was made, and how many of them the
    // link loop dropped as line noise (neither the logger's announcement
    // nor the start of the reply waited for). Their difference grows only
    // while the logger answers; a watchdog compares them between pumps.
    qint64 BytesReceived() const { return received_; }
    qint64 NoiseBytes() const { return noise_; }
    bool AbortRequested() const { return abort_; }

    // --- State -----------------------------------------------------------
    bool PortOpen() const { return port_.IsOpen(); }
    bool Identified() const { return identified_; }
    // 0 when idle, else 'F', 'R', 'W', 'E' or 'D'.
    char CurrentCommand() const { return command_; }
    bool CommandInProgress() const { return command_ != 0; }
    bool ConfigLoaded() const { return configLoaded_; }
    TDeviceConfig& Config() { return config_; }
    const TDeviceConfig& Config() const { return config_; }
    const TDeviceConfig& VerifyCopy() const { return verify_; }
    QByteArray Firmware() const { return firmware_; }   // bytes as received (<= 26)
    QString FirmwareText() const;                       // the same as text
    int MemorySize() const { return memorySize_; }      // 9000000 or 540672
    // The memory image (kMemoryImageSize bytes, allocated at the first
    // download; null before it). Only indices below ByteCount() are valid.
    const quint8* MemoryImage() const { return image_.get(); }
    int ByteCount() const { return byteCount_; }        // bytes of the last download
    int DataEndIndex() const { return dataEnd_; }
    int UsedMemory() const { return usedMemory_; }
    // Bytes of the image a download may fill (at most kMemoryImageSize);
    // a logger that sends more ends the download with the image full.
    void SetImageCapacity(int bytes);
    int ImageCapacity() const { return capacity_; }

private:
    struct Freer { void operator()(quint8* p) const; };

    void PumpEvents();
    int Read(quint8& b);
    quint8 ReadOrFail(const QString& failText);
    int ReadFrame(TDeviceConfig& into, bool& checksumOk, const QString* failText);
    void Write(char c);
    void SetActionButtons(bool enabled);
    void SetButtons(std::initializer_list<DeviceButton> buttons, bool enabled);
    void OnByte(quint8 b);
    void FirmwareReply();
    void ConfigReply();
    void VerifyReply();
    void EraseReply();
    void DataReply();
    int DownloadFrames(TDownloadEnd& end);
    bool FrameEndsData(quint8* frame, int j, quint8 sum);
    void Acknowledge(char c);

    ISerialPort& port_;
    IDeviceObserver nullObs_;
    IDeviceObserver* obs_;
    Pump pump_;

    bool abort_ = false;
    bool identified_ = false;
    char command_ = 0;
    bool configLoaded_ = false;
    TDeviceConfig config_;
    TDeviceConfig verify_;
    QByteArray firmware_;
    QString initLabel_;
    int memorySize_ = kMemorySizeOther;
    std::unique_ptr<quint8, Freer> image_;
    int byteCount_ = 0;
    int dataEnd_ = 0;
    int usedMemory_ = 0;
    int capacity_ = kMemoryImageSize;
    int progress_ = 0;
    bool inPump_ = false;
    qint64 received_ = 0;
    qint64 noise_ = 0;
};

} // namespace qv
