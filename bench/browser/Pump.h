#pragma once
// What the picture programs share: letting the event loop run (pictures are
// taken after layout and replot) and saving a window's picture.
#include "tests/support/EventPump.h"

#include <QString>
#include <QWidget>
#include <cstdio>

namespace qv::bench {

using qv::test::Pump;

// Saves a picture of w and says so on stdout; false when it could not.
inline bool SaveShot(QWidget* w, const QString& path)
{
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "could not save", qPrintable(path));
    return ok;
}

} // namespace qv::bench
