#include "store/Connection.h"

#include "store/AppError.h"
#include "store/WriteBatch.h"

#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

namespace quillpad {

namespace {

// Written into the file header so that our own files can be told from other databases.
constexpr int ApplicationId = 0x51564442;  // "QVDB"
// 1: tasks and memos; 2: the sync tables and their triggers; 3: the server's UID beside
// a task's own id, and the objects of the collection that hold no task.
constexpr int SchemaVersion = 3;
// About 2 MB, SQLite's own default: reads and everyday edits work within it, and loading
// 100,000 tasks through it leaves no more than that behind. Bulk writes ask for more,
// and keep their statement journals in memory: the insert trigger gives every insert
// one, which would otherwise go to a temporary file page by page.
constexpr const char *EverydayCacheSql = "PRAGMA cache_size=-2000; PRAGMA temp_store=DEFAULT";
constexpr const char *BulkCacheSql = "PRAGMA cache_size=-16384; PRAGMA temp_store=MEMORY";
constexpr int BusyTimeoutMs = 2000;

const char *const SchemaSql = R"sql(
CREATE TABLE IF NOT EXISTS tasks (
    tid TEXT PRIMARY KEY,
    pid TEXT,
    content TEXT,
    checkFlag INTEGER DEFAULT 0,
    dueFlag INTEGER DEFAULT 0,
    alarmFlag INTEGER DEFAULT 0,
    expandFlag INTEGER DEFAULT 0,
    textColor INTEGER DEFAULT 0,
    backgroundColor INTEGER DEFAULT 0,
    createTime REAL,
    editTime REAL,
    checkTime REAL,
    alarmTime REAL,
    dueTime REAL
);
CREATE INDEX IF NOT EXISTS tasks_by_parent ON tasks(pid);
-- Serves the tray summary in order without sorting; its condition is written exactly
-- as the summary query writes it, so the planner can match the two.
CREATE INDEX IF NOT EXISTS tasks_incomplete_by_content ON tasks(content) WHERE checkFlag=False;
CREATE TABLE IF NOT EXISTS memos (
    mid TEXT PRIMARY KEY,
    pid TEXT,
    content TEXT,
    assignTime REAL,
    createTime REAL,
    editTime REAL
);
)sql";

// What the CalDAV sync keeps. A task synced once has a sync_state row; deleting it, by
// any path, leaves a tombstone so the delete travels to the server instead of the task
// coming back from it. A task inserted again under the same id (a restore) takes its
// tombstone back as state with no fingerprint, so it counts as edited here. uid is the
// object's UID when it cannot be the task's id here (NULL: the same).
const char *const SyncSchemaSql = R"sql(
CREATE TABLE IF NOT EXISTS sync_state (
    tid TEXT PRIMARY KEY,
    href TEXT NOT NULL,
    etag TEXT,
    fingerprint TEXT,
    ics TEXT,
    shown_pid TEXT,
    uid TEXT
);
CREATE TABLE IF NOT EXISTS sync_tombstones (
    tid TEXT PRIMARY KEY,
    href TEXT NOT NULL,
    etag TEXT,
    ics TEXT,
    shown_pid TEXT,
    uid TEXT
);
CREATE TABLE IF NOT EXISTS sync_meta (
    key TEXT PRIMARY KEY,
    value TEXT
);
CREATE TABLE IF NOT EXISTS sync_others (
    href TEXT PRIMARY KEY,
    etag TEXT,
    settled INTEGER DEFAULT 0
);
CREATE TRIGGER IF NOT EXISTS sync_task_deleted AFTER DELETE ON tasks
WHEN EXISTS (SELECT 1 FROM sync_state WHERE tid=OLD.tid)
BEGIN
    INSERT OR REPLACE INTO sync_tombstones (tid, href, etag, ics, shown_pid, uid)
        SELECT tid, href, etag, ics, shown_pid, uid FROM sync_state WHERE tid=OLD.tid;
    DELETE FROM sync_state WHERE tid=OLD.tid;
END;
CREATE TRIGGER IF NOT EXISTS sync_task_inserted AFTER INSERT ON tasks
WHEN EXISTS (SELECT 1 FROM sync_tombstones WHERE tid=NEW.tid)
BEGIN
    INSERT OR REPLACE INTO sync_state (tid, href, etag, fingerprint, ics, shown_pid, uid)
        SELECT tid, href, etag, NULL, ics, shown_pid, uid FROM sync_tombstones WHERE tid=NEW.tid;
    DELETE FROM sync_tombstones WHERE tid=NEW.tid;
END;
)sql";

// A file of version 2 has the sync tables without the UID, and triggers that copy fewer columns.
const char *const SyncFromVersionTwoSql = R"sql(
ALTER TABLE sync_state ADD COLUMN uid TEXT;
ALTER TABLE sync_tombstones ADD COLUMN uid TEXT;
DROP TRIGGER IF EXISTS sync_task_deleted;
DROP TRIGGER IF EXISTS sync_task_inserted;
)sql";

// Everything a task database of ours holds besides its rows and SQLite's own objects
// (the "sqlite_" ones: key indexes, statistics): the two tables with their columns in
// order, and our indexes.
const QStringList TaskColumns{"tid", "pid", "content", "checkFlag", "dueFlag", "alarmFlag", "expandFlag",
                              "textColor", "backgroundColor", "createTime", "editTime", "checkTime",
                              "alarmTime", "dueTime"};
const QStringList MemoColumns{"mid", "pid", "content", "assignTime", "createTime", "editTime"};
const QStringList OwnIndexes{"tasks_by_parent", "tasks_incomplete_by_content"};
const QStringList OwnSyncObjects{"sync_state", "sync_tombstones", "sync_meta", "sync_others", "sync_task_deleted",
                                 "sync_task_inserted"};

// Runs a statement that only reads and hands each row to `row`; raises on failure.
void ReadRows(const Connection &connection, sqlite3 *db, const char *sql,
              const std::function<void(sqlite3_stmt *)> &row)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        connection.raise(QString());
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        row(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        connection.raise(QString());
}

QString ColumnText(sqlite3_stmt *stmt, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)));
}

// Why the open file is not a task database of ours, or nothing when it is one (or holds
// nothing at all yet). Reads only: a file that is not ours is never written to.
QString ForeignReason(const Connection &connection, sqlite3 *db)
{
    int appId = 0;
    ReadRows(connection, db, "PRAGMA application_id", [&](sqlite3_stmt *stmt) { appId = sqlite3_column_int(stmt, 0); });
    if (appId != 0 && appId != ApplicationId)
        return QStringLiteral("it is another program's database");
    QStringList foreign;
    QStringList tables;
    ReadRows(connection, db, "SELECT type, name FROM sqlite_master", [&](sqlite3_stmt *stmt) {
        const QString type = ColumnText(stmt, 0);
        const QString name = ColumnText(stmt, 1);
        if (type == QLatin1String("table") && (name == QLatin1String("tasks") || name == QLatin1String("memos")))
            tables.append(name);
        else if (!name.startsWith(QLatin1String("sqlite_")) &&
                 !(type == QLatin1String("index") && OwnIndexes.contains(name)) && !OwnSyncObjects.contains(name))
            foreign.append(name);
    });
    if (!foreign.isEmpty())
        return QStringLiteral("it holds tables or indexes of another program (%1)").arg(foreign.join(QStringLiteral(", ")));
    for (const QString &table : tables) {
        QStringList columns;
        ReadRows(connection, db, table == QLatin1String("tasks") ? "PRAGMA table_info(tasks)" : "PRAGMA table_info(memos)",
                 [&](sqlite3_stmt *stmt) { columns.append(ColumnText(stmt, 1)); });
        if (columns != (table == QLatin1String("tasks") ? TaskColumns : MemoColumns))
            return QStringLiteral("its table %1 has other columns").arg(table);
    }
    return {};
}

bool CanWrite(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// Creates an empty file readable by its owner only; SQLite gives its WAL and
// shared-memory files the same mode.
void CreatePrivateFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST)
            return;  // someone made it meanwhile: open it as an existing file
        throw AppError(QStringLiteral("Unable to create the task database %1: %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    ::close(fd);
}

// Whether an error came from a disk with no room left: the error says so, or the
// failing call did, or the folder's file system has next to nothing free.
bool IsDiskFull(int code, int systemError, const QString &folder)
{
    const int primary = code & 0xff;
    if (primary != SQLITE_FULL && primary != SQLITE_IOERR && primary != SQLITE_CANTOPEN)
        return false;
    if (primary == SQLITE_FULL || systemError == ENOSPC || systemError == EDQUOT)
        return true;
    struct statvfs space {};
    if (::statvfs(QFile::encodeName(folder).constData(), &space) != 0)
        return false;
    constexpr unsigned long long NextToNothing = 1024 * 1024;
    return static_cast<unsigned long long>(space.f_bavail) * space.f_frsize < NextToNothing || space.f_favail == 0;
}

}  // namespace

void Connection::removeMadeCompanions(const QString &path, Companions had)
{
    const QString wal = path + QStringLiteral("-wal");
    if (!had.wal && QFileInfo(wal).size() == 0)
        QFile::remove(wal);
    if (!had.shm)
        QFile::remove(path + QStringLiteral("-shm"));
}

Connection::~Connection()
{
    close();
}

sqlite3 *Connection::handle() const
{
    if (!m_db)
        throw AppError(QStringLiteral("The task database is not open"));
    return m_db;
}

void Connection::open(const QString &path)
{
    close();
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw AppError(QStringLiteral("Unable to open the task database %1: it is not a file").arg(path));
    if (!info.exists())
        CreatePrivateFile(path);
    else if (info.size() == 0)
        // An empty file becomes our database: it gets the mode a new one would have.
        ::chmod(QFile::encodeName(path).constData(), 0600);

    // A file or folder we cannot write is opened for reading, so its tasks can still be
    // listed and backed up. In a read-only folder without a shared-memory file SQLite
    // cannot read a WAL database at all: with no unfinished log to miss, it may read
    // the file as unchanging.
    const QString folder = QFileInfo(path).absolutePath();
    const QString wal = path + QStringLiteral("-wal");
    const QString shm = path + QStringLiteral("-shm");
    const bool folderWritable = CanWrite(folder);
    const bool writable = folderWritable && CanWrite(path);
    // Companions that a failed open makes are taken away after it.
    const Companions had{QFileInfo::exists(wal), QFileInfo::exists(shm)};
    if (!writable) {
        const bool immutable = !folderWritable && !had.shm && QFileInfo(wal).size() == 0;
        openAs(path, immutable ? Access::ReadUnchanging : Access::Read, had);
        m_readOnlyReason = QStringLiteral("the file or its folder cannot be written");
        return;
    }
    try {
        openAs(path, Access::Write, had);
        return;
    } catch (const AppError &) {
        // Even reading a WAL database needs room for its shared-memory file. On a full
        // disk the tasks are read without it, so they can still be rescued.
        if (!m_diskFull || info.size() == 0)
            throw;
        removeMadeCompanions(path, had);
        try {
            openForReadingOnFullDisk(path, had);
        } catch (const AppError &) {
            throw AppError(QStringLiteral("Unable to open the task database %1: the disk is full").arg(path));
        }
    }
}

void Connection::openForReadingOnFullDisk(const QString &path, Companions had)
{
    if (QFileInfo(path + QStringLiteral("-wal")).size() == 0) {
        // Nothing in the log: the file alone holds every task.
        openAs(path, Access::ReadUnchanging, had);
    } else {
        try {
            // A program that has the file open keeps a shared-memory file of full size.
            openAs(path, Access::Read, had);
        } catch (const AppError &) {
            removeMadeCompanions(path, had);
            // Without one, the log's index is kept in memory, which needs the file to ourselves.
            openAs(path, Access::ReadAlone, had);
        }
    }
    m_readOnlyReason = QStringLiteral("the disk is full");
}

void Connection::openAs(const QString &path, Access access, Companions had)
{
    m_diskFull = false;
    QByteArray name = QFile::encodeName(path);
    if (access == Access::ReadUnchanging)
        name = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + "?immutable=1";
    const bool readWrite = access == Access::Write || access == Access::ReadAlone;

    sqlite3 *db = nullptr;
    // One thread uses a connection, so SQLite's own locking is not needed.
    // Never SQLITE_OPEN_CREATE: a file that vanished between the check and here is an
    // error, not a reason to start an empty database somewhere the user did not expect.
    const int rc = sqlite3_open_v2(name.constData(), &db,
                                   (readWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX |
                                       (access == Access::ReadUnchanging ? SQLITE_OPEN_URI : 0),
                                   nullptr);
    m_db = db;
    m_path = path;
    try {
        if (rc != SQLITE_OK)
            raise(QStringLiteral("Unable to open the task database %1").arg(path));
        // Until the file is known to be ours, closing must not fold its log into it.
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_timeout(m_db, BusyTimeoutMs);
        m_readOnly = access != Access::Write || sqlite3_db_readonly(m_db, "main") == 1;
        if (access == Access::ReadAlone) {
            // Before the first read, so no shared memory is ever made; nothing is written.
            execute(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
            execute(QStringLiteral("PRAGMA query_only=1"));
        }
        // The first statements read the header and the schema: a file that is not a
        // database, is another program's, or is locked by another program fails here
        // before anything is written.
        const QString foreign = ForeignReason(*this, m_db);
        if (!foreign.isEmpty()) {
            close();
            removeMadeCompanions(path, had);
            throw AppError(QStringLiteral("Unable to open the task database %1: %2").arg(path, foreign));
        }
        if (access != Access::ReadAlone)
            sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
        if (!m_readOnly) {
            execute(QStringLiteral("PRAGMA journal_mode=WAL"));
            execute(QStringLiteral("PRAGMA synchronous=FULL"));
        }
        execute(QStringLiteral("PRAGMA foreign_keys=OFF"));
        execute(QString::fromLatin1(EverydayCacheSql));
        if (!m_readOnly)
            createSchema();
    } catch (const AppError &error) {
        const bool diskFull = m_db && IsDiskFull(sqlite3_extended_errcode(m_db), sqlite3_system_errno(m_db),
                                                 QFileInfo(path).absolutePath());
        close();
        m_diskFull = diskFull;
        // Name the file in every open failure, once.
        if (error.message().contains(path))
            throw;
        throw AppError(QStringLiteral("Unable to open the task database %1: %2").arg(path, error.message()));
    }
}

void Connection::createSchema()
{
    int appId = 0;
    ReadRows(*this, m_db, "PRAGMA application_id", [&](sqlite3_stmt *stmt) { appId = sqlite3_column_int(stmt, 0); });
    int version = 0;
    ReadRows(*this, m_db, "PRAGMA user_version", [&](sqlite3_stmt *stmt) { version = sqlite3_column_int(stmt, 0); });
    execute(QString::fromUtf8(SchemaSql));
    if (appId == 0)
        execute(QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId));
    if (appId == 0 || version < SchemaVersion) {
        // One step: a file is either of the old version or has every sync object.
        WriteBatch batch(*this, WriteBatch::Unfinished::RollBack);
        QStringList stateColumns;
        ReadRows(*this, m_db, "PRAGMA table_info(sync_state)",
                 [&](sqlite3_stmt *stmt) { stateColumns.append(ColumnText(stmt, 1)); });
        if (!stateColumns.isEmpty() && !stateColumns.contains(QLatin1String("uid")))
            execute(QString::fromUtf8(SyncFromVersionTwoSql));
        execute(QString::fromUtf8(SyncSchemaSql));
        if (version < SchemaVersion)
            execute(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion));
        batch.commit();
    }
}

void Connection::close()
{
    m_readOnly = false;
    m_readOnlyReason.clear();
    m_statements.clear();
    if (m_db) {
        // Statements still open belong to queries that outlived us; v2 defers the close.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

BulkCache::BulkCache(Connection &connection) : m_connection(connection)
{
    if (m_connection.m_bulkDepth++ == 0)
        sqlite3_exec(m_connection.handle(), BulkCacheSql, nullptr, nullptr, nullptr);
}

BulkCache::~BulkCache()
{
    if (--m_connection.m_bulkDepth == 0 && m_connection.isOpen()) {
        // A cache that cannot shrink only costs memory: nothing to report.
        sqlite3_exec(m_connection.m_db, EverydayCacheSql, nullptr, nullptr, nullptr);
        sqlite3_db_release_memory(m_connection.m_db);
    }
}

void Connection::execute(const QString &sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(handle(), sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        throw AppError(withReadOnlyReason(text, rc));
    }
}

QString Connection::readOnlyReason() const
{
    return m_readOnlyReason.isEmpty() ? QStringLiteral("the file or its folder cannot be written") : m_readOnlyReason;
}

QString Connection::withReadOnlyReason(const QString &reason, int code) const
{
    // SQLite's own words for these two ("attempt to write a readonly database", "database
    // or disk is full") leave the user guessing what happened to the change.
    if ((code & 0xff) == SQLITE_FULL)
        return QStringLiteral("the change was not stored: the disk holding %1 is full").arg(m_path);
    if (!m_readOnly || (code & 0xff) != SQLITE_READONLY)
        return reason;
    return QStringLiteral("the change was not stored: the task database %1 can only be read, as %2")
        .arg(m_path, readOnlyReason());
}

void Connection::beginTransaction()
{
    execute(QStringLiteral("BEGIN IMMEDIATE"));
}

void Connection::commit()
{
    execute(QStringLiteral("COMMIT"));
}

void Connection::rollback() noexcept
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

qint64 Connection::totalChanges() const
{
    return m_db ? sqlite3_total_changes64(m_db) : 0;
}

bool Connection::inTransaction() const
{
    return m_db && !sqlite3_get_autocommit(m_db);
}

void Connection::raise(const QString &doing) const
{
    const QString reason = m_db ? withReadOnlyReason(QString::fromUtf8(sqlite3_errmsg(m_db)), sqlite3_errcode(m_db))
                                : QStringLiteral("out of memory");
    throw AppError(doing.isEmpty() ? reason : doing + QStringLiteral(": ") + reason);
}

}  // namespace quillpad
