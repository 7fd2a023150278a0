#pragma once
// Prepared statements kept for reuse, by their text: the program's statements carry
// their values as parameters, so one prepared statement serves every value. A
// statement idle in the pool is handed to one query at a time.

#include <QByteArray>
#include <QStringList>

#include <QHash>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace quillpad {

class StatementCache {
public:
    struct Lease {
        sqlite3_stmt *stmt = nullptr;
        QByteArray key;     // empty when the statement is not pooled
        QStringList names;  // result column names
    };

    StatementCache() = default;
    ~StatementCache() { clear(); }
    StatementCache(const StatementCache &) = delete;
    StatementCache &operator=(const StatementCache &) = delete;

    // A prepared statement for the text, its parameters unbound. Raises AppError with
    // the database's message when the text does not prepare.
    Lease acquire(sqlite3 *db, const QByteArray &sql);
    // Resets the statement and keeps it for the next query of the same text.
    void release(Lease &lease) noexcept;
    void clear() noexcept;

    // Texts of generated writes, by a key that names the result and the columns set;
    // empty when unknown (or for an empty key).
    QByteArray writeText(const QByteArray &key) const { return key.isEmpty() ? QByteArray() : m_writeTexts.value(key); }
    void keepWriteText(const QByteArray &key, const QByteArray &text)
    {
        if (!key.isEmpty() && m_writeTexts.size() < 256)
            m_writeTexts.insert(key, text);
    }

private:
    struct Idle {
        sqlite3_stmt *stmt;
        QStringList names;
    };
    QHash<QByteArray, std::vector<Idle>> m_idle;
    int m_idleCount = 0;
    QHash<QByteArray, QByteArray> m_writeTexts;
};

}  // namespace quillpad
