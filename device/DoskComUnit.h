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
    void setBrushColor(const QColor& c);
    QColor brushColor() const { return colour_; }

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
    const char* className() const { return "TDoskComForm"; }

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
    void buildControls();
    void FormCreate();
    void FormShow();
    void FormClose();
    void togglePanel4();
    void moveBy(QWidget* w, int dy);

    void checkBoxClick(int channel, bool checked);
    void periodEditChange(QLineEdit* edit);
    void recomputeRecordingTime();
    void showRecordingTime();
    void startRadioClick(int index, bool checked);
    void finishRadioClick(int index, bool checked);
    void limitedEditChange(QLineEdit* edit, int offset, int limit);
    void uniEditChange();
    void editExit(QLineEdit* edit);
    bool editKeyPress(QLineEdit* edit, QKeyEvent* e);
    void setText(QLineEdit* edit, const QString& text); // without change handlers
    void closeDialog();
    bool confirmBreak();

    // IDeviceObserver
    void setStatusText(const QString& t) override;
    void setTopLabel(const QString& t) override;
    void setInitLabel(const QString& t) override;
    void setDataLabel(const QString& t) override;
    void setFirmwareLabel(const QString& t) override;
    void setCaption(const QString& t) override;
    void setLamp(DeviceLamp lamp) override;
    void setProgressMax(int v) override;
    void setProgress(int v) override;
    void setBusyCursor(bool on) override;
    void setButtonEnabled(DeviceButton b, bool on) override;
    void setConfigControlsEnabled(bool on) override;
    void showConfig(const TDeviceConfig& c) override;
    void recordingTimeChanged() override;
    QString downloadFinished(const TDownloadEnd& end) override;
    TSaveOptions saveOptions() const;
    void bindSaver(TFlightSaver& saver);

    QPushButton* button(DeviceButton b) const;

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
