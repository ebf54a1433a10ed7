#pragma once
// The logbook of one data root: every flight file with its figures, kept
// in step with the disk. The first index of a folder is read on a pool of
// threads, files in parallel; later updates read only files that are new
// or changed (size or time) and drop the removed ones. Results reach the
// index and the rows in batches, so the rows fill while the reading runs.
// Changes travel as signals; the object lives on the thread that made it.
#include "logbook/FlightWalk.h"
#include "logbook/LogbookIndex.h"

#include <QFutureWatcher>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QThreadPool>
#include <memory>
#include <unordered_map>
#include <vector>

class QFileSystemWatcher;
class QTimer;

namespace qv {

class TLogbook : public QObject {
    Q_OBJECT
public:
    explicit TLogbook(QObject* parent = nullptr);
    ~TLogbook() override;

    // The database of a root; empty: DefaultIndexPath(root).
    QString IndexPath;
    // Off: nothing is kept between runs, every file is read.
    bool UseIndex = true;
    // Reading threads; 0: one per core.
    int Threads = 0;
    // Milliseconds a burst of file-system changes is gathered.
    int CoalesceMs = 150;

    // Shows the rows of another data root (those in its index at once) and
    // brings them up to date in the background. The same root again only
    // updates.
    void SetRoot(const QString& root);
    QString Root() const { return root_; }

    // Updates the rows of the files at or below folder (full path; the root
    // when empty or outside it).
    void Update(const QString& folder = {});
    // Follows the file-system changes below the root (off by default).
    void SetWatching(bool on);
    void Cancel();
    bool Busy() const { return job_ != nullptr; }
    // Runs events until no update is under way or ms have passed; false
    // then.
    bool WaitIdle(int ms);

    QString Status() const { return status_; }
    int Count() const { return static_cast<int>(entries_.size()); }
    const TLogEntry* Entry(const QString& file) const;
    // Every entry, in no particular order; pointers stay valid until the
    // entry is removed.
    std::vector<const TLogEntry*> Entries() const;
    // Files the reader refused.
    int RefusedCount() const;
    // Full path of a row's file.
    QString FullPath(const QString& file) const;

signals:
    void Reset();                                   // every row anew
    void EntriesAdded(const QStringList& files);
    void EntriesChanged(const QStringList& files);
    void EntriesRemoving(const QStringList& files); // still there while this runs
    void Progress(int done, int total);             // files read of those to read
    void StatusChanged(const QString& text);
    void Finished(bool cancelled);

private:
    struct TJob;
    void StartNext();
    void Walked();
    void Flush();
    void JobDone();
    void Store(const std::vector<TLogEntry>& rows, const QStringList& removed);
    void SetStatus(const QString& text);
    void Watch(const QStringList& folders);

    QString root_;
    TLogbookIndex index_;
    std::unordered_map<QString, TLogEntry> entries_;
    QString status_;
    QThreadPool pool_;
    std::unique_ptr<TJob> job_;
    std::unique_ptr<TJob> spent_; // the last job, whose signal may still be returning
    QStringList pending_;   // folders waiting for the next update
    bool pendingAll_ = false;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* coalesce_ = nullptr;
    QTimer* flushTimer_ = nullptr;
    QSet<QString> dirty_;
};

} // namespace qv
