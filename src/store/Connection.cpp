#include "store/Connection.h"

#include "store/AppError.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillpad {

namespace {

// Written into the file header so that our own files can be told from other databases.
constexpr int ApplicationId = 0x51564442;  // "QVDB"
constexpr int SchemaVersion = 1;
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

}  // namespace

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

    sqlite3 *db = nullptr;
    // One thread uses a connection, so SQLite's own locking is not needed.
    // Never SQLITE_OPEN_CREATE: a file that vanished between the check and here is an
    // error, not a reason to start an empty database somewhere the user did not expect.
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    m_db = db;
    m_path = path;
    try {
        if (rc != SQLITE_OK)
            raise(QStringLiteral("Unable to open the task database %1").arg(path));
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_timeout(m_db, BusyTimeoutMs);
        if (sqlite3_db_readonly(m_db, "main") == 1)
            throw AppError(QStringLiteral("Unable to open the task database %1: the file is read-only").arg(path));
        // The first statement reads the header: a file that is not a database, or is
        // locked by another program, fails here before anything is written.
        execute(QStringLiteral("PRAGMA journal_mode=WAL"));
        execute(QStringLiteral("PRAGMA synchronous=FULL"));
        execute(QStringLiteral("PRAGMA foreign_keys=OFF"));
        // A bulk pass over random ids spills the default 2 MB page cache to disk.
        execute(QStringLiteral("PRAGMA cache_size=-16384"));
        createSchema();
    } catch (const AppError &error) {
        close();
        // Name the file in every open failure, once.
        if (error.message().contains(path))
            throw;
        throw AppError(QStringLiteral("Unable to open the task database %1: %2").arg(path, error.message()));
    }
}

void Connection::createSchema()
{
    execute(QString::fromUtf8(SchemaSql));
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, "PRAGMA application_id", -1, &stmt, nullptr) != SQLITE_OK)
        raise(QStringLiteral("Reading the database header"));
    const int appId = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : 0;
    sqlite3_finalize(stmt);
    if (appId == 0) {
        execute(QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId));
        execute(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion));
    }
}

void Connection::close()
{
    m_statements.clear();
    if (m_db) {
        // Statements still open belong to queries that outlived us; v2 defers the close.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void Connection::execute(const QString &sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(handle(), sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        throw AppError(text);
    }
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
    const QString reason = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
    throw AppError(doing.isEmpty() ? reason : doing + QStringLiteral(": ") + reason);
}

}  // namespace quillpad
