#pragma once
// The system's trash in a temporary folder for the life of a test, so that
// deleting to the trash can be checked and leaves the user's trash alone.
#include "support/TempDir.h"

#include <QByteArray>
#include <QFile>
#include <QtGlobal>

namespace qv::test {

class TempTrash {
public:
    TempTrash() : old_(qgetenv("XDG_DATA_HOME")) { qputenv("XDG_DATA_HOME", QFile::encodeName(home_.path())); }
    ~TempTrash()
    {
        if (old_.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", old_);
    }
    TempTrash(const TempTrash&) = delete;
    TempTrash& operator=(const TempTrash&) = delete;
    // Where an entry deleted under that name now is.
    QString file(const QString& name) const { return home_.file(QStringLiteral("Trash/files/") + name); }

private:
    TempDir home_;
    QByteArray old_;
};

} // namespace qv::test
