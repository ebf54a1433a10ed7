#include "logbook/Logbook.h"

#include "browser/FileUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

namespace qv {

namespace {

bool UnderPrefix(const QString& file, const QString& prefix)
{
    return prefix.isEmpty() || (file.size() > prefix.size() && file.startsWith(prefix) && file[prefix.size()] == '/');
}

} // namespace

struct TLogbook::TJob {
    QStringList Folders;              // full paths, none inside another
    QFutureWatcher<TFlightWalk> Walk;
    std::vector<TFlightFile> ToRead;
    QFutureWatcher<TLogEntry> Read;
    std::vector<TLogEntry> Ready;     // read, not yet in the rows
    bool Cancelled = false;
};

TLogbook::TLogbook(QObject* parent) : QObject(parent)
{
    flushTimer_ = new QTimer(this);
    flushTimer_->setInterval(200);
    connect(flushTimer_, &QTimer::timeout, this, &TLogbook::Flush);
    coalesce_ = new QTimer(this);
    coalesce_->setSingleShot(true);
    connect(coalesce_, &QTimer::timeout, this, [this] {
        const QSet<QString> dirty = std::exchange(dirty_, {});
        for (const QString& folder : dirty)
            Update(folder);
    });
}

TLogbook::~TLogbook()
{
    Cancel();
    if (job_) {
        job_->Walk.waitForFinished();
        job_->Read.waitForFinished();
    }
    pool_.waitForDone();
}

const TLogEntry* TLogbook::Entry(const QString& file) const
{
    const auto it = entries_.find(file);
    return it == entries_.end() ? nullptr : &it->second;
}

std::vector<const TLogEntry*> TLogbook::Entries() const
{
    std::vector<const TLogEntry*> all;
    all.reserve(entries_.size());
    for (const auto& [file, e] : entries_)
        all.push_back(&e);
    return all;
}

int TLogbook::RefusedCount() const
{
    return static_cast<int>(
        std::count_if(entries_.begin(), entries_.end(), [](const auto& p) { return p.second.Figures.Refused; }));
}

QString TLogbook::FullPath(const QString& file) const { return root_ + QLatin1Char('/') + file; }

void TLogbook::SetStatus(const QString& text)
{
    status_ = text;
    emit StatusChanged(text);
}

void TLogbook::SetRoot(const QString& root)
{
    const QString clean = QDir::cleanPath(root);
    if (clean == root_ && !root_.isEmpty()) {
        Update();
        return;
    }
    if (job_) {
        job_->Walk.disconnect(this);
        job_->Read.disconnect(this);
        job_->Read.cancel();
        job_->Walk.waitForFinished();
        job_->Read.waitForFinished();
        job_.reset();
    }
    flushTimer_->stop();
    pending_.clear();
    pendingAll_ = false;
    dirty_.clear();
    if (watcher_ && !watcher_->directories().isEmpty())
        watcher_->removePaths(watcher_->directories());

    root_ = clean;
    index_.Open(UseIndex ? (IndexPath.isEmpty() ? DefaultIndexPath(root_) : IndexPath) : QString(), root_);
    entries_.clear();
    for (TLogEntry& e : index_.Load()) {
        const QString file = e.Figures.File;
        entries_.emplace(file, std::move(e));
    }
    emit Reset();
    SetStatus(index_.Status());
    Update();
}

void TLogbook::Update(const QString& folder)
{
    if (root_.isEmpty())
        return;
    const QString f = QDir::cleanPath(folder);
    if (folder.isEmpty() || f == root_ || !IsSameOrInside(root_, f))
        pendingAll_ = true;
    else if (!pending_.contains(f))
        pending_ << f;
    if (!job_)
        StartNext();
}

void TLogbook::StartNext()
{
    if (job_ || root_.isEmpty() || (!pendingAll_ && pending_.isEmpty()))
        return;
    job_ = std::make_unique<TJob>();
    if (pendingAll_) {
        job_->Folders = {root_};
    } else {
        // Outermost first; a folder inside one already walked is left out.
        std::sort(pending_.begin(), pending_.end(), [](const QString& a, const QString& b) {
            return a.count(QLatin1Char('/')) < b.count(QLatin1Char('/'));
        });
        for (const QString& f : std::as_const(pending_))
            if (std::none_of(job_->Folders.begin(), job_->Folders.end(),
                             [&](const QString& kept) { return IsSameOrInside(kept, f); }))
                job_->Folders << f;
    }
    pendingAll_ = false;
    pending_.clear();
    pool_.setMaxThreadCount(Threads > 0 ? Threads : QThread::idealThreadCount());
    connect(&job_->Walk, &QFutureWatcher<TFlightWalk>::finished, this, &TLogbook::Walked);
    const QString root = root_;
    const QStringList folders = job_->Folders;
    job_->Walk.setFuture(QtConcurrent::run(&pool_, [root, folders] {
        TFlightWalk all;
        for (const QString& f : folders) {
            TFlightWalk w = WalkFlights(root, f);
            all.Files.insert(all.Files.end(), w.Files.begin(), w.Files.end());
            all.Folders << w.Folders;
        }
        return all;
    }));
    flushTimer_->start();
}

void TLogbook::Walked()
{
    TJob& job = *job_;
    const TFlightWalk walk = job.Walk.result();
    QStringList prefixes;
    for (const QString& f : std::as_const(job.Folders))
        prefixes << (f == root_ ? QString() : RelativeToRoot(root_, f));

    QSet<QString> seen;
    for (const TFlightFile& f : walk.Files) {
        seen.insert(f.File);
        const auto it = entries_.find(f.File);
        if (it == entries_.end() || it->second.Size != f.Size || it->second.MTime != f.MTime)
            job.ToRead.push_back(f);
    }
    QStringList removed;
    for (const auto& [file, e] : entries_)
        if (!seen.contains(file) &&
            std::any_of(prefixes.begin(), prefixes.end(), [&](const QString& p) { return UnderPrefix(file, p); }))
            removed << file;
    if (!removed.isEmpty()) {
        emit EntriesRemoving(removed);
        for (const QString& file : std::as_const(removed))
            entries_.erase(file);
        Store({}, removed);
    }
    Watch(walk.Folders);

    if (job.ToRead.empty() || job.Cancelled) {
        JobDone();
        return;
    }
    // Files in the order of the tree; the largest cost the same as the rest.
    connect(&job.Read, &QFutureWatcher<TLogEntry>::resultsReadyAt, this, [this](int begin, int end) {
        for (int i = begin; i < end; ++i)
            job_->Ready.push_back(job_->Read.resultAt(i));
    });
    connect(&job.Read, &QFutureWatcher<TLogEntry>::progressValueChanged, this,
            [this](int done) { emit Progress(done, static_cast<int>(job_->ToRead.size())); });
    connect(&job.Read, &QFutureWatcher<TLogEntry>::finished, this, &TLogbook::JobDone);
    emit Progress(0, static_cast<int>(job.ToRead.size()));
    const QString root = root_;
    job.Read.setFuture(QtConcurrent::mapped(&pool_, job.ToRead, [root](const TFlightFile& f) {
        TLogEntry e;
        e.Size = f.Size;
        e.MTime = f.MTime;
        e.Figures = ReadFlightFigures(root + QLatin1Char('/') + f.File, f.File);
        return e;
    }));
}

void TLogbook::Flush()
{
    if (!job_ || job_->Ready.empty())
        return;
    std::vector<TLogEntry> ready = std::exchange(job_->Ready, {});
    Store(ready, {});
    QStringList added, changed;
    for (TLogEntry& e : ready) {
        const QString file = e.Figures.File;
        auto it = entries_.find(file);
        if (it == entries_.end()) {
            entries_.emplace(file, std::move(e));
            added << file;
        } else {
            it->second = std::move(e);
            changed << file;
        }
    }
    if (!added.isEmpty())
        emit EntriesAdded(added);
    if (!changed.isEmpty())
        emit EntriesChanged(changed);
}

void TLogbook::JobDone()
{
    Flush();
    const bool cancelled = job_->Cancelled;
    job_->Walk.disconnect(this);
    job_->Read.disconnect(this);
    // The watcher that called us lives on until the next job ends.
    spent_ = std::move(job_);
    flushTimer_->stop();
    if (cancelled) {
        pending_.clear();
        pendingAll_ = false;
    }
    emit Finished(cancelled);
    StartNext();
}

void TLogbook::Cancel()
{
    if (!job_)
        return;
    job_->Cancelled = true;
    job_->Read.cancel();
}

bool TLogbook::WaitIdle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (Busy() || coalesce_->isActive()) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0)
            return false;
        QEventLoop loop;
        connect(this, &TLogbook::Finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(static_cast<int>(std::min<qint64>(left, 50)), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void TLogbook::Store(const std::vector<TLogEntry>& rows, const QStringList& removed)
{
    if (index_.Store(rows, removed))
        return;
    // The database failed under us: go on in memory with what is known.
    index_.UseMemory();
    std::vector<TLogEntry> all;
    all.reserve(entries_.size() + rows.size());
    for (const auto& [file, e] : entries_)
        all.push_back(e);
    all.insert(all.end(), rows.begin(), rows.end());
    index_.Store(all, {});
    SetStatus(index_.Status());
}

void TLogbook::SetWatching(bool on)
{
    if (!on) {
        delete watcher_;
        watcher_ = nullptr;
        return;
    }
    if (watcher_)
        return;
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& path) {
        dirty_.insert(path);
        coalesce_->start(CoalesceMs);
    });
    // A walk under way adds its folders when it ends; else one is needed.
    if (!job_)
        Update();
}

void TLogbook::Watch(const QStringList& folders)
{
    if (!watcher_)
        return;
    const QStringList watched = watcher_->directories();
    const QSet<QString> have(watched.begin(), watched.end());
    QStringList add;
    for (const QString& f : folders)
        if (!have.contains(f) && QFileInfo(f).isDir())
            add << f;
    if (!add.isEmpty())
        watcher_->addPaths(add);
}

} // namespace qv
