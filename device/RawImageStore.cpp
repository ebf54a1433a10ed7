#include "device/RawImageStore.h"

#include "device/DeviceConfig.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include "base/CheckedWrite.h"
#include <QStandardPaths>

namespace qv {

TRawImageLimit TRawImageLimit::FromText(const QString& text)
{
    TRawImageLimit l;
    const QStringList parts = text.split(QLatin1Char(','));
    bool ok = false;
    if (!parts.isEmpty()) {
        const int count = parts[0].trimmed().toInt(&ok);
        if (ok && count > 0)
            l.Count = count;
    }
    if (parts.size() > 1) {
        const qint64 mb = parts[1].trimmed().toLongLong(&ok);
        if (ok && mb > 0)
            l.Megabytes = mb;
    }
    return l;
}

QString TRawImageLimit::ToText() const { return QStringLiteral("%1,%2").arg(Count).arg(Megabytes); }

bool IsFullMemorySize(qint64 size) { return size == kMemorySizeKavo5 || size == kMemorySizeOther; }

QString TRawImageStore::DefaultFolder()
{
    const QString env = qEnvironmentVariable(kRawImageDirVariable);
    if (!env.isEmpty())
        return env;
    // The program's data location; quorvel-cli, which runs under a name of
    // its own, keeps its images in the same folder.
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir::cleanPath(QFileInfo(appData).dir().filePath(QStringLiteral("Quorvel/images")));
}

TRawImageStore::TRawImageStore(const QString& folder, TRawImageLimit limit)
    : folder_(folder.isEmpty() ? DefaultFolder() : folder), limit_(limit)
{
}

QString TRawImageStore::Keep(const quint8* image, int byteCount, const QByteArray& firmware, QString& error)
{
    error.clear();
    QDir dir(folder_);
    if (!dir.exists() && !QDir().mkpath(folder_)) {
        error = QStringLiteral("Cannot create ") + folder_;
        return {};
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
    QString base = stamp;
    for (int n = 2; QFileInfo::exists(dir.filePath(base + QStringLiteral(".bin"))); ++n)
        base = stamp + QStringLiteral("_%1").arg(n, 2, 10, QLatin1Char('0'));
    const QString path = dir.filePath(base + QStringLiteral(".bin"));

    const TWriteResult wrote = WriteFileChecked(path, [&](const TByteSink& sink) {
        return sink(reinterpret_cast<const char*>(image), static_cast<std::size_t>(byteCount));
    });
    if (!wrote.Ok) {
        error = QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + wrote.Error;
        return {};
    }
    const QString textPath = dir.filePath(base + QStringLiteral(".txt"));
    QByteArray text = firmware;
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    if (const TWriteResult t = WriteFileChecked(textPath, text + '\n'); !t.Ok) {
        // An image without its firmware text is not kept half-described.
        QFile::remove(path);
        error = QStringLiteral("Cannot write ") + textPath + QStringLiteral(": ") + t.Error;
        return {};
    }
    Prune(path);
    return path;
}

QStringList TRawImageStore::Images() const
{
    QStringList out;
    const QDir dir(folder_);
    for (const QString& name : dir.entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name))
        out << dir.filePath(name);
    return out;
}

int TRawImageStore::Prune(const QString& keep)
{
    const QStringList images = Images();
    const qint64 maxBytes = limit_.Megabytes * 1024 * 1024;
    qint64 bytes = 0;
    int kept = 0;
    int deleted = 0;
    bool full = false;
    // Newest first: keep while both limits hold; everything older than the
    // first image that does not fit goes.
    for (int i = images.size() - 1; i >= 0; --i) {
        const QString& path = images[i];
        const qint64 size = QFileInfo(path).size();
        full = full || kept >= limit_.Count || bytes + size > maxBytes;
        if (!full || kept == 0 || path == keep) {
            ++kept;
            bytes += size;
            continue;
        }
        QFile::remove(path);
        QString text = path;
        text.chop(4);
        QFile::remove(text + QStringLiteral(".txt"));
        ++deleted;
    }
    return deleted;
}

} // namespace qv
