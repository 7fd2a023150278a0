#include "store/RowCursor.h"

#include "store/AppError.h"
#include "store/Connection.h"

#include <sqlite3.h>

namespace quillpad {

RowCursor::RowCursor(Connection &connection, const QString &sql)
    : m_connection(connection), m_lease(connection.statements().acquire(connection.handle(), sql.toUtf8()))
{
}

RowCursor::RowCursor(Connection &connection, TaskStore::Table table)
    : RowCursor(connection, table == TaskStore::Table::Tasks ? QStringLiteral("select * from tasks")
                                                             : QStringLiteral("select * from memos"))
{
}

RowCursor::~RowCursor()
{
    m_connection.statements().release(m_lease);
}

bool RowCursor::next()
{
    const int rc = sqlite3_step(m_lease.stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_connection.raise(QString());
    return false;
}

int RowCursor::column(QStringView name) const
{
    for (int i = 0; i < m_lease.names.size(); ++i) {
        if (name.compare(m_lease.names.at(i), Qt::CaseInsensitive) == 0)
            return i;
    }
    throw AppError(QStringLiteral("Field '%1' not found").arg(name));
}

bool RowCursor::isNull(int column) const
{
    return sqlite3_column_type(m_lease.stmt, column) == SQLITE_NULL;
}

Query::Value RowCursor::value(int column) const
{
    return Query::readColumn(m_lease.stmt, column);
}

std::optional<QByteArrayView> RowCursor::storedText(int column) const
{
    const int type = sqlite3_column_type(m_lease.stmt, column);
    if (type != SQLITE_TEXT && type != SQLITE_BLOB)
        return std::nullopt;
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_lease.stmt, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_lease.stmt, column));
}

}  // namespace quillpad
