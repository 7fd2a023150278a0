#pragma once
// The task database: one SQLite file opened once and kept open for the whole run.

#include "store/StatementCache.h"

#include <QString>

struct sqlite3;

namespace quillpad {

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens the database file, creating it (mode 0600, both tables and their indexes)
    // when it does not exist. A file that exists but is not a usable database, is
    // another program's or holds anything but our tables, is never written to: the
    // error says why and the connection stays closed. A zero-byte file becomes ours.
    // When the file or its folder cannot be written, or the disk has no room even for
    // reading, the database is opened read-only.
    void open(const QString &path);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    bool isReadOnly() const { return m_readOnly; }
    // Why it is read-only, as the end of a sentence: "the disk is full".
    QString readOnlyReason() const;
    const QString &path() const { return m_path; }
    sqlite3 *handle() const;

    // Prepared statements shared by the queries on this connection.
    StatementCache &statements() { return m_statements; }

    // Runs statements that return no rows, outside the query layer (set-up, pragmas).
    void execute(const QString &sql);

    // Rows inserted, changed or deleted through this connection since it opened.
    qint64 totalChanges() const;

    bool inTransaction() const;

    // Raises the database's current error, prefixed with what was being done.
    [[noreturn]] void raise(const QString &doing) const;

private:
    // Transactions go through WriteBatch, the one guard.
    friend class WriteBatch;
    friend class BulkCache;
    int m_bulkDepth = 0;
    void beginTransaction();
    void commit();
    void rollback() noexcept;

    // How a file is opened: to write, to read with the others that have it open, to
    // read a file with an empty log as unchanging (no locks, no shared memory), or to
    // read alone with the log's index in memory.
    enum class Access { Write, Read, ReadUnchanging, ReadAlone };
    // Which companion files were there before the open.
    struct Companions {
        bool wal = false;
        bool shm = false;
    };
    void openAs(const QString &path, Access access, Companions had);
    void openForReadingOnFullDisk(const QString &path, Companions had);
    static void removeMadeCompanions(const QString &path, Companions had);

    void createSchema();
    // A write refused on a read-only database says why the database is read-only.
    QString withReadOnlyReason(const QString &reason, int code) const;
    sqlite3 *m_db = nullptr;
    bool m_readOnly = false;
    QString m_readOnlyReason;
    bool m_diskFull = false;  // the last open failed for want of room
    QString m_path;
    StatementCache m_statements;
};

// A large page cache for the length of a bulk write (a restore, an import, a first
// sync): thousands of rows written at scattered places in one transaction spill the
// everyday cache to disk again and again. Statement journals stay in memory meanwhile.
// At the end the cache is back to its everyday size and the pages it held are freed, so
// a program that stays open all day does not keep them. Inside another one it does
// nothing. Not inside a transaction.
class BulkCache {
public:
    explicit BulkCache(Connection &connection);
    ~BulkCache();
    BulkCache(const BulkCache &) = delete;
    BulkCache &operator=(const BulkCache &) = delete;

private:
    Connection &m_connection;
};

}  // namespace quillpad
