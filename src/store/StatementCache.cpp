#include "store/StatementCache.h"

#include "store/AppError.h"

#include <sqlite3.h>

#include <cctype>

namespace quillpad {

namespace {

constexpr int MaxIdle = 64;

bool StartsWithWord(const QByteArray &sql, const char *word)
{
    int i = 0;
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
        ++i;
    const int length = static_cast<int>(qstrlen(word));
    if (sql.size() - i < length || qstrnicmp(sql.constData() + i, word, length) != 0)
        return false;
    return i + length == sql.size() || !std::isalnum(static_cast<unsigned char>(sql[i + length]));
}

[[noreturn]] void Raise(sqlite3 *db)
{
    throw AppError(QString::fromUtf8(sqlite3_errmsg(db)));
}

}  // namespace

bool ParameterizeLiterals(const QByteArray &sql, QByteArray &normalized, std::vector<QByteArray> &literals)
{
    if (!StartsWithWord(sql, "select") && !StartsWithWord(sql, "update") && !StartsWithWord(sql, "delete") &&
        !StartsWithWord(sql, "insert"))
        return false;
    normalized.clear();
    normalized.reserve(sql.size());
    literals.clear();
    const int n = static_cast<int>(sql.size());
    for (int i = 0; i < n;) {
        const char c = sql[i];
        if (c == '\'') {
            QByteArray value;
            int j = i + 1;
            for (;; ++j) {
                if (j >= n)
                    return false;  // unterminated: let the database say so
                if (sql[j] == '\'') {
                    if (j + 1 < n && sql[j + 1] == '\'') {
                        value += '\'';
                        ++j;
                        continue;
                    }
                    break;
                }
                value += sql[j];
            }
            literals.push_back(value);
            normalized += '?';
            i = j + 1;
            continue;
        }
        // Quoted names and comments are copied as they are.
        char close = 0;
        if (c == '"' || c == '`')
            close = c;
        else if (c == '[')
            close = ']';
        if (close) {
            const int end = sql.indexOf(close, i + 1);
            const int stop = end < 0 ? n : end + 1;
            normalized += sql.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            const int end = sql.indexOf('\n', i);
            const int stop = end < 0 ? n : end + 1;
            normalized += sql.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const int end = sql.indexOf("*/", i + 2);
            const int stop = end < 0 ? n : end + 2;
            normalized += sql.mid(i, stop - i);
            i = stop;
            continue;
        }
        normalized += c;
        ++i;
    }
    return !literals.empty();
}

StatementCache::Lease StatementCache::take(sqlite3 *db, const QByteArray &key)
{
    Lease lease;
    lease.key = key;
    const auto found = m_idle.find(key);
    if (found != m_idle.end() && !found.value().empty()) {
        Idle idle = found.value().back();
        found.value().pop_back();
        --m_idleCount;
        lease.stmt = idle.stmt;
        lease.names = idle.names;
        return lease;
    }
    if (sqlite3_prepare_v3(db, key.constData(), static_cast<int>(key.size()), SQLITE_PREPARE_PERSISTENT,
                           &lease.stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(lease.stmt);
        Raise(db);
    }
    if (!lease.stmt)
        throw AppError(QStringLiteral("The statement is empty"));
    const int count = sqlite3_column_count(lease.stmt);
    lease.names.reserve(count);
    for (int i = 0; i < count; ++i)
        lease.names.append(QString::fromUtf8(sqlite3_column_name(lease.stmt, i)));
    return lease;
}

StatementCache::Lease StatementCache::acquire(sqlite3 *db, const QByteArray &sql)
{
    QByteArray normalized;
    std::vector<QByteArray> literals;
    if (ParameterizeLiterals(sql, normalized, literals)) {
        try {
            Lease lease = take(db, normalized);
            for (size_t i = 0; i < literals.size(); ++i)
                sqlite3_bind_text(lease.stmt, static_cast<int>(i + 1), literals[i].constData(),
                                  static_cast<int>(literals[i].size()), SQLITE_TRANSIENT);
            return lease;
        } catch (const AppError &) {
            // A literal where the language takes no parameter: prepare the text as written.
        }
    }
    return take(db, sql);
}

StatementCache::Lease StatementCache::acquirePrepared(sqlite3 *db, const QByteArray &sql)
{
    return take(db, sql);
}

void StatementCache::release(Lease &lease) noexcept
{
    if (!lease.stmt)
        return;
    sqlite3_reset(lease.stmt);
    sqlite3_clear_bindings(lease.stmt);
    if (m_idleCount < MaxIdle) {
        m_idle[lease.key].push_back({lease.stmt, lease.names});
        ++m_idleCount;
    } else {
        sqlite3_finalize(lease.stmt);
    }
    lease = Lease();
}

void StatementCache::clear() noexcept
{
    for (std::vector<Idle> &entry : m_idle) {
        for (Idle &idle : entry)
            sqlite3_finalize(idle.stmt);
    }
    m_idle.clear();
    m_idleCount = 0;
}

}  // namespace quillpad
