#pragma once
// The logbook's index: the figures and sparkline summaries of every flight
// file of one data root in an SQLite database, one row per file keyed by
// its relative path with its size and modification time. It is a cache:
// whatever is wrong with the database (missing, of another version or
// folder, not a database at all, locked), the logbook starts it afresh or
// goes on in memory, and says so in Status().
#include "logbook/Figures.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace qv {

struct TLogEntry {
    qint64 Size = -1;
    qint64 MTime = 0;
    TFlightFigures Figures; // Figures.File is the key
};

// Status texts.
inline const char* const kIndexNew = "Logbook index not found: it is built from the files.";
inline const char* const kIndexGarbage = "Logbook index was damaged: it is rebuilt from the files.";
inline const char* const kIndexVersion = "Logbook index is of another version: it is rebuilt from the files.";
inline const char* const kIndexOtherRoot = "Logbook index belongs to another folder: it is rebuilt from the files.";
inline const char* const kIndexLocked = "Logbook index is in use or cannot be written: the logbook is kept in memory.";

// Where the index of a data root is kept: the folder of
// QUORVEL_LOGBOOK_DIR when set, else "logbook" in the program's data
// location; one file per root.
QString DefaultIndexPath(const QString& root);

class TLogbookIndex {
public:
    static constexpr int kSchemaVersion = 1;

    TLogbookIndex();
    ~TLogbookIndex();
    TLogbookIndex(const TLogbookIndex&) = delete;
    TLogbookIndex& operator=(const TLogbookIndex&) = delete;

    // Opens (or makes) the database at path for the files of root; an
    // empty path keeps the index in memory.
    void Open(const QString& path, const QString& root);
    void Close();
    bool InMemory() const { return inMemory_; }
    // Why the index was started afresh; empty when it was found in order.
    QString Status() const { return status_; }

    std::vector<TLogEntry> Load();
    // Writes rows (replacing those of the same path) and removes the paths
    // of removed, in one transaction; false when the database failed.
    bool Store(const std::vector<TLogEntry>& rows, const QStringList& removed);
    // Leaves the database file for an empty one in memory (Status() says so).
    void UseMemory();

private:
    bool OpenAt(const QString& path);
    // "" when the schema is there and right, else the status text.
    QString Check(const QString& root, bool& locked);
    bool Create(const QString& root);

    QString conn_;
    QString path_;
    QString root_;
    QString status_;
    bool inMemory_ = false;
};

} // namespace qv
