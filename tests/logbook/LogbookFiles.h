#pragma once
// Small hand-made flights for the logbook's tests.
#include "support/KdfText.h"
#include "support/TempDir.h"

#include <QDir>
#include <QStringList>
#include <initializer_list>

namespace qv::test {

// A flight of the given main-channel values, one sample per 0.1 s, with a
// receiver and (unless flags say otherwise) a voltage channel.
inline KdfContent TowFlight(std::initializer_list<double> altitude, int flags = 0xC800)
{
    KdfContent k;
    k.Flags = flags;
    int i = 0;
    for (double a : altitude) {
        QString line = QStringLiteral("%1,%2,0.00").arg(i * 0.1, 0, 'f', 1).arg(a, 0, 'f', 2);
        if (flags & 0x0800)
            line += QStringLiteral(",%1").arg(7.5 - 0.1 * i, 0, 'f', 2);
        k.Lines << line;
        ++i;
    }
    return k;
}

inline bool WriteFlight(const QString& path, const KdfContent& k)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return WriteAll(path, KdfText(k));
}

} // namespace qv::test
