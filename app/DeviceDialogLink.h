#pragma once
// The device dialog as the main window sees it.
#if __has_include("device/DoskComUnit.h")
#include "device/DoskComUnit.h"
#else
#include "device/DeviceSettings.h"

#include <QDialog>

namespace qv {
// Stand-in until the device dialog is part of the build.
class TDoskComForm : public QDialog {
public:
    explicit TDoskComForm(QWidget* parent = nullptr) : QDialog(parent)
    {
        setObjectName(QStringLiteral("DoskComForm"));
        setWindowTitle(QStringLiteral("Data Reading"));
    }
    void SetSettings(const TDeviceSettings& s) { settings_ = s; }
    const TDeviceSettings& Settings() const { return settings_; }
    void SetPortOverride(const QString&) {}
    const char* className() const { return "TDoskComForm"; }

private:
    TDeviceSettings settings_;
};
} // namespace qv
#endif
