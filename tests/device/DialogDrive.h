#pragma once
// Drives the device dialog while its link loop runs inside Connect.
#include "device/DoskComUnit.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace qv::test {

// Shows the dialog on the simulated logger's terminal, saving into root.
inline void ShowOn(TDoskComForm& form, const QString& port, const QString& root)
{
    TDeviceSettings s;
    s.Root = root;
    form.SetSettings(s);
    form.SetPortOverride(port);
    form.show();
}

// Runs `step` every few milliseconds while the link loop runs inside
// Connect, until it returns true or time runs out; then disconnects.
// Returns whether `step` finished.
inline bool Drive(TDoskComForm& form, const std::function<bool()>& step)
{
    bool done = false;
    QElapsedTimer clock;
    clock.start();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!done && step())
            done = true;
        if (done || clock.elapsed() > 60000) {
            timer.stop();
            form.findChild<QPushButton*>(QStringLiteral("CancelButton"))->click();
        }
    });
    timer.start(2);
    form.findChild<QPushButton*>(QStringLiteral("ConnectButton"))->click();
    return done;
}

} // namespace qv::test
