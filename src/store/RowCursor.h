#pragma once
// Every row of a statement read in place, one after another: nothing is copied for a
// row, so a reader of a whole large table (the JSON list) makes no value per column
// it does not need. Values read as a query's fields read them.

#include "store/Query.h"
#include "store/StatementCache.h"
#include "store/TaskStore.h"

#include <QByteArrayView>

#include <optional>

namespace quillpad {

class Connection;

class RowCursor {
public:
    RowCursor(Connection &connection, const QString &sql);
    // Every row of the table, in the table's order.
    RowCursor(Connection &connection, TaskStore::Table table);
    ~RowCursor();
    RowCursor(const RowCursor &) = delete;
    RowCursor &operator=(const RowCursor &) = delete;

    // Moves to the next row (the first at the start); false after the last.
    bool next();
    // A column of the result by name, without regard to case; raises when there is none.
    int column(QStringView name) const;

    bool isNull(int column) const;
    Query::Value value(int column) const;
    // The bytes of a column stored as text (or a blob), valid until next(); none for
    // any other value.
    std::optional<QByteArrayView> storedText(int column) const;

private:
    Connection &m_connection;
    StatementCache::Lease m_lease;
};

}  // namespace quillpad
