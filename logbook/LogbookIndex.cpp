#include "logbook/LogbookIndex.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>
#include <atomic>
#include <cstring>

namespace qv {

namespace {

std::atomic<int> connections{0};

// SQLite's result codes as the driver reports them.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteCantOpen = 14;

bool IsLockCode(const QSqlError& e)
{
    const int code = e.nativeErrorCode().toInt() & 0xFF; // extended codes keep the primary one below
    return code == kSqliteBusy || code == kSqliteLocked || code == kSqliteReadOnly || code == kSqliteCantOpen;
}

const char* const kColumnsSql =
    "path TEXT PRIMARY KEY, size INTEGER, mtime INTEGER, refused INTEGER, date TEXT, date_key INTEGER, "
    "sampling INTEGER, samples INTEGER, flight_time REAL, maximum REAL, time_max REAL, tow_start REAL, "
    "release REAL, tow_time REAL, mean_tow REAL, min_voltage REAL, annotations INTEGER, notes TEXT, "
    "search TEXT, spark BLOB";

QVariant Opt(const std::optional<double>& v) { return v ? QVariant(*v) : QVariant(); }

std::optional<double> OptOf(const QVariant& v)
{
    if (v.isNull())
        return std::nullopt;
    return v.toDouble();
}

QByteArray SparkBytes(const std::vector<float>& spark)
{
    return QByteArray(reinterpret_cast<const char*>(spark.data()),
                      static_cast<qsizetype>(spark.size() * sizeof(float)));
}

std::vector<float> SparkOf(const QByteArray& bytes)
{
    std::vector<float> spark(static_cast<std::size_t>(bytes.size()) / sizeof(float));
    if (!spark.empty())
        std::memcpy(spark.data(), bytes.constData(), spark.size() * sizeof(float));
    return spark;
}

void RemoveDatabaseFiles(const QString& path)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

QString DefaultIndexPath(const QString& root)
{
    QString dir = qEnvironmentVariable("QUORVEL_LOGBOOK_DIR");
    if (dir.isEmpty()) {
        // The program's data location; quorvel-cli, which runs under a name
        // of its own, shares the program's index.
        const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        dir = QDir::cleanPath(QFileInfo(appData).dir().filePath(QStringLiteral("Quorvel/logbook")));
    }
    const QString canonical = QFileInfo(root).canonicalFilePath();
    const QByteArray key = QCryptographicHash::hash((canonical.isEmpty() ? QDir::cleanPath(root) : canonical).toUtf8(),
                                                    QCryptographicHash::Sha1)
                               .toHex()
                               .left(16);
    return QDir(dir).filePath(QStringLiteral("logbook-") + QString::fromLatin1(key) + QStringLiteral(".sqlite"));
}

TLogbookIndex::TLogbookIndex() : conn_(QStringLiteral("qv_logbook_%1").arg(++connections)) {}

TLogbookIndex::~TLogbookIndex() { Close(); }

void TLogbookIndex::Close()
{
    if (QSqlDatabase::contains(conn_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(conn_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(conn_);
    }
}

bool TLogbookIndex::OpenAt(const QString& path)
{
    Close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn_);
    db.setDatabaseName(path.isEmpty() ? QStringLiteral(":memory:") : path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=500"));
    inMemory_ = path.isEmpty();
    return db.open();
}

QString TLogbookIndex::Check(const QString& root, bool& locked)
{
    locked = false;
    QSqlDatabase db = QSqlDatabase::database(conn_, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT key, value FROM meta"))) {
        locked = IsLockCode(q.lastError());
        // A database without tables is a new one.
        QSqlQuery tables(db);
        if (tables.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) && tables.next() &&
            tables.value(0).toInt() == 0)
            return QString::fromLatin1(kIndexNew);
        return QString::fromLatin1(kIndexGarbage);
    }
    QString version, forRoot;
    while (q.next()) {
        if (q.value(0).toString() == QLatin1String("schema"))
            version = q.value(1).toString();
        else if (q.value(0).toString() == QLatin1String("root"))
            forRoot = q.value(1).toString();
    }
    if (version != QString::number(kSchemaVersion))
        return QString::fromLatin1(kIndexVersion);
    if (forRoot != QDir::cleanPath(root))
        return QString::fromLatin1(kIndexOtherRoot);
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM flights")))
        return QString::fromLatin1(kIndexGarbage);
    return {};
}

bool TLogbookIndex::Create(const QString& root)
{
    QSqlDatabase db = QSqlDatabase::database(conn_, false);
    QSqlQuery q(db);
    const QStringList steps = {
        QStringLiteral("DROP TABLE IF EXISTS flights"), QStringLiteral("DROP TABLE IF EXISTS meta"),
        QStringLiteral("CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT)"),
        QStringLiteral("CREATE TABLE flights(%1)").arg(QLatin1String(kColumnsSql))};
    for (const QString& s : steps)
        if (!q.exec(s))
            return false;
    q.prepare(QStringLiteral("INSERT INTO meta(key, value) VALUES (?, ?)"));
    for (const auto& [k, v] : {std::pair<QString, QString>{QStringLiteral("schema"), QString::number(kSchemaVersion)},
                               {QStringLiteral("root"), QDir::cleanPath(root)}}) {
        q.addBindValue(k);
        q.addBindValue(v);
        if (!q.exec())
            return false;
    }
    return true;
}

void TLogbookIndex::Open(const QString& path, const QString& root)
{
    path_ = path;
    root_ = root;
    status_.clear();
    if (path.isEmpty()) {
        UseMemory();
        status_.clear();
        return;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool existed = QFileInfo::exists(path);
    bool locked = false;
    QString problem = OpenAt(path) ? Check(root, locked) : QString::fromLatin1(kIndexGarbage);
    if (!existed)
        problem = QString::fromLatin1(kIndexNew);
    if (problem.isEmpty()) {
        QSqlQuery(QSqlDatabase::database(conn_, false)).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        return;
    }
    status_ = problem;
    if (locked) {
        UseMemory();
        return;
    }
    if (problem == QLatin1String(kIndexGarbage)) {
        // Not a database at all: start a new file.
        Close();
        RemoveDatabaseFiles(path);
        if (!OpenAt(path)) {
            UseMemory();
            return;
        }
    }
    QSqlQuery wal(QSqlDatabase::database(conn_, false));
    const bool walOk = wal.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    wal.finish(); // an open statement would keep the tables from being dropped
    if (!walOk || !Create(root))
        UseMemory();
}

void TLogbookIndex::UseMemory()
{
    OpenAt(QString());
    Create(root_);
    status_ = QString::fromLatin1(kIndexLocked);
}

std::vector<TLogEntry> TLogbookIndex::Load()
{
    std::vector<TLogEntry> rows;
    QSqlQuery q(QSqlDatabase::database(conn_, false));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(
            "SELECT path, size, mtime, refused, date, date_key, sampling, samples, flight_time, maximum, time_max, "
            "tow_start, release, tow_time, mean_tow, min_voltage, annotations, notes, search, spark FROM flights")))
        return rows;
    while (q.next()) {
        TLogEntry e;
        TFlightFigures& f = e.Figures;
        f.File = q.value(0).toString();
        e.Size = q.value(1).toLongLong();
        e.MTime = q.value(2).toLongLong();
        f.Refused = q.value(3).toInt() != 0;
        f.Date = q.value(4).toString();
        f.DateKey = q.value(5).toLongLong();
        f.SamplingMs = q.value(6).toInt();
        f.Samples = q.value(7).toInt();
        f.FlightTime = OptOf(q.value(8));
        f.Maximum = OptOf(q.value(9));
        f.TimeOfMax = OptOf(q.value(10));
        f.TowStart = OptOf(q.value(11));
        f.Release = OptOf(q.value(12));
        f.TowTime = OptOf(q.value(13));
        f.MeanTow = OptOf(q.value(14));
        f.MinVoltage = OptOf(q.value(15));
        f.Annotations = q.value(16).toInt();
        f.Notes = q.value(17).toString();
        f.SearchText = q.value(18).toString();
        f.Spark = SparkOf(q.value(19).toByteArray());
        rows.push_back(std::move(e));
    }
    return rows;
}

bool TLogbookIndex::Store(const std::vector<TLogEntry>& rows, const QStringList& removed)
{
    QSqlDatabase db = QSqlDatabase::database(conn_, false);
    if (!db.isOpen() || !db.transaction())
        return false;
    QSqlQuery del(db);
    bool ok = del.prepare(QStringLiteral("DELETE FROM flights WHERE path = ?"));
    for (int i = 0; ok && i < removed.size(); ++i) {
        del.addBindValue(removed[i]);
        ok = del.exec();
    }
    QSqlQuery put(db);
    ok = ok && put.prepare(QStringLiteral("INSERT OR REPLACE INTO flights VALUES "
                                          "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (std::size_t i = 0; ok && i < rows.size(); ++i) {
        const TLogEntry& e = rows[i];
        const TFlightFigures& f = e.Figures;
        for (const QVariant& v :
             {QVariant(f.File), QVariant(e.Size), QVariant(e.MTime), QVariant(f.Refused ? 1 : 0), QVariant(f.Date),
              QVariant(f.DateKey), QVariant(f.SamplingMs), QVariant(f.Samples), Opt(f.FlightTime), Opt(f.Maximum),
              Opt(f.TimeOfMax), Opt(f.TowStart), Opt(f.Release), Opt(f.TowTime), Opt(f.MeanTow), Opt(f.MinVoltage),
              QVariant(f.Annotations), QVariant(f.Notes), QVariant(f.SearchText), QVariant(SparkBytes(f.Spark))})
            put.addBindValue(v);
        ok = put.exec();
    }
    if (ok && db.commit())
        return true;
    db.rollback();
    return false;
}

} // namespace qv
