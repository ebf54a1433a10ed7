#pragma once
// The device dialog "Data Reading": connect to the logger, read and upload
// its configuration, read the recorded data into flight files, erase the
// memory. The protocol runs in DeviceProtocol; this window only binds its
// controls to it and to the configuration record.
#include "device/DeviceProtocol.h"
#include "base/DeviceSettings.h"
#include "device/DownloadSaver.h"
#include "device/FlightSplitter.h"
#include "device/SerialPort.h"

#include <QDialog>
#include <QWidget>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace qv {

// Round lamp showing the state of the link.
class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent = nullptr);
    void SetBrushColor(const QColor& c);
    QColor BrushColor() const { return colour_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor colour_;
};

class TDoskComForm : public QDialog, private IDeviceObserver {
    Q_OBJECT
public:
    static constexpr int kPanel4Height = 40; // the panel that the configuration toggles
    explicit TDoskComForm(QWidget* parent = nullptr);
    ~TDoskComForm() override;

    void SetSettings(const TDeviceSettings& s) { settings_ = s; }
    const TDeviceSettings& Settings() const { return settings_; }
    // Port used for this run instead of the "COM" setting (not saved);
    // empty to use the setting again.
    void SetPortOverride(const QString& port) { portOverride_ = port; }
    QString PortName() const;

    DeviceProtocol& Protocol() { return protocol_; }
    const TFlightBlockList& FlightBlocks() const { return blocks_; }
    // Seconds of recording the free memory holds, as last shown.
    long long RecordingTime() const { return recSeconds_; }

    // Handlers, named after their controls.
    void ConnectButtonClick();
    void CancelButtonClick();
    void OKButtonClick();
    void ResetButtonClick();
    void UploadButtonClick();
    void DataButtonClick();
    void EraseButtonClick();

    // Asks for a raw memory image file and saves its flights as after a
    // download.
    void SplitMemoryImage();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void reject() override;

private:
    void BuildControls();
    void FormCreate();
    void FormShow();
    void FormClose();
    void TogglePanel4();
    void MoveBy(QWidget* w, int dy);

    void CheckBoxClick(int channel, bool checked);
    void PeriodEditChange(QLineEdit* edit);
    void RecomputeRecordingTime();
    void ShowRecordingTime();
    void StartRadioClick(int index, bool checked);
    void FinishRadioClick(int index, bool checked);
    void LimitedEditChange(QLineEdit* edit, int offset, int limit);
    void UniEditChange();
    void EditExit(QLineEdit* edit);
    bool EditKeyPress(QLineEdit* edit, QKeyEvent* e);
    void SetText(QLineEdit* edit, const QString& text); // without change handlers
    void CloseDialog();
    bool ConfirmBreak();

    // IDeviceObserver
    void SetStatusText(const QString& t) override;
    void SetTopLabel(const QString& t) override;
    void SetInitLabel(const QString& t) override;
    void SetDataLabel(const QString& t) override;
    void SetFirmwareLabel(const QString& t) override;
    void SetCaption(const QString& t) override;
    void SetLamp(DeviceLamp lamp) override;
    void SetProgressMax(int v) override;
    void SetProgress(int v) override;
    void SetBusyCursor(bool on) override;
    void SetButtonEnabled(DeviceButton b, bool on) override;
    void SetConfigControlsEnabled(bool on) override;
    void ShowConfig(const TDeviceConfig& c) override;
    void RecordingTimeChanged() override;
    QString DownloadFinished(const TDownloadEnd& end) override;
    TSaveOptions SaveOptions() const;
    void BindSaver(TFlightSaver& saver);

    QPushButton* Button(DeviceButton b) const;

    TDeviceSettings settings_;
    QString portOverride_;
    PosixSerialPort port_;
    DeviceProtocol protocol_;
    TFlightBlockList blocks_;
    bool updating_ = false;   // controls being filled from the record
    int busy_ = 0;            // override cursors set
    long long recSeconds_ = 0;
    bool panel4Shown_ = false;

    // Controls
    QLabel* Label1 = nullptr;
    QLabel* InitLabel = nullptr;
    QLabel* DataLabel1 = nullptr;
    QLabel* FirmLabel = nullptr;
    QLabel* RecTimeLabel = nullptr;
    TShape* Shape1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* ConnectButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* ResetButton = nullptr;
    QPushButton* UploadButton = nullptr;
    QPushButton* DataButton = nullptr;
    QPushButton* EraseButton = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QFrame* Bevel1 = nullptr;
    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QWidget* Panel3 = nullptr;
    QWidget* Panel4 = nullptr;
    QWidget* Panel5 = nullptr;
    QWidget* Panel6 = nullptr;
    QWidget* UniRow = nullptr;
    QLineEdit* FTEdit = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox5 = nullptr;
    QLineEdit* MinEdit = nullptr;
    QLineEdit* SecEdit = nullptr;
    QLineEdit* mSecEdit = nullptr;
    QRadioButton* RSRadioButton[4] = {};
    QRadioButton* RFRadioButton[3] = {};
    QLineEdit* RSEdit = nullptr;
    QLineEdit* RSAltEdit = nullptr;
    QLineEdit* RFEdit = nullptr;
    QLineEdit* UniEdit = nullptr;
    QLineEdit* HiddenEdit[3] = {};
};

} // namespace qv
