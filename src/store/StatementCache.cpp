#include "store/StatementCache.h"

#include "store/AppError.h"

#include <sqlite3.h>

namespace quillpad {

namespace {

constexpr int MaxIdle = 64;

[[noreturn]] void Raise(sqlite3 *db)
{
    throw AppError(QString::fromUtf8(sqlite3_errmsg(db)));
}

}  // namespace

StatementCache::Lease StatementCache::acquire(sqlite3 *db, const QByteArray &key)
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
