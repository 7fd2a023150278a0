#include "store/Query.h"

#include "store/AppError.h"
#include "store/Connection.h"

#include <sqlite3.h>

#include <cmath>

namespace quillpad {

Query::Value Query::readColumn(sqlite3_stmt *stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
        return std::monostate{};
    case SQLITE_INTEGER:
        return static_cast<qint64>(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, column);
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
    }
    }
}

namespace {

void Bind(sqlite3_stmt *stmt, int parameter, const Query::Value &value)
{
    if (const auto *integer = std::get_if<qint64>(&value)) {
        sqlite3_bind_int64(stmt, parameter, *integer);
    } else if (const auto *real = std::get_if<double>(&value)) {
        sqlite3_bind_double(stmt, parameter, *real);
    } else if (const auto *text = std::get_if<QString>(&value)) {
        const QByteArray utf8 = text->toUtf8();
        sqlite3_bind_text(stmt, parameter, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
    } else {
        sqlite3_bind_null(stmt, parameter);
    }
}

// Binds one row of values and runs the statement to its end; the rows it changed.
int RunBound(const Connection &connection, sqlite3_stmt *stmt, const Query::Parameters &values)
{
    sqlite3_reset(stmt);
    int parameter = 1;
    for (const Query::Value &value : values)
        Bind(stmt, parameter++, value);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE)
        connection.raise(QString());
    return sqlite3_changes(connection.handle());
}

QString QuoteIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

struct Statement {
    sqlite3_stmt *stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

// A pooled statement, handed back when the scope ends.
struct Leased {
    StatementCache &cache;
    StatementCache::Lease lease;
    ~Leased() { cache.release(lease); }
};

}  // namespace

Query::Query(Connection &connection) : m_connection(connection) {}

Query::~Query()
{
    close();
}

void Query::releaseWrite()
{
    if (m_write.stmt)
        m_connection.statements().release(m_write);
    m_write = {};
}

void Query::close()
{
    releaseWrite();
    if (m_stmt) {
        m_connection.statements().release(m_lease);
        m_stmt = nullptr;
    }
    m_names.clear();
    m_current.clear();
    m_ahead.clear();
    m_hasCurrent = m_hasAhead = m_atFirstRow = false;
    m_state = State::Browse;
    m_editRow.clear();
    m_changed.clear();
    m_table.clear();
    m_keyColumn.clear();
    m_keyIndex = -1;
}

void Query::setSql(const QString &sql)
{
    close();
    m_sql = sql;
    m_parameters.clear();
    m_bound = false;
}

void Query::open(const QString &sql, Parameters parameters)
{
    setSql(sql);
    m_parameters = std::move(parameters);
    m_bound = true;
    open();
}

void Query::execute(const QString &sql, Parameters parameters)
{
    setSql(sql);
    m_parameters = std::move(parameters);
    m_bound = true;
    execute();
}

void Query::executeEach(const QString &sql, const std::vector<Parameters> &rows)
{
    close();
    setSql(sql);
    m_rowsAffected = 0;
    if (rows.empty())
        return;
    sqlite3 *db = m_connection.handle();
    StatementCache &cache = m_connection.statements();
    Leased statement{cache, cache.acquire(db, m_sql.toUtf8())};
    for (const Parameters &row : rows)
        m_rowsAffected += RunBound(m_connection, statement.lease.stmt, row);
}

bool Query::fetch(std::vector<Value> &row)
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        const int count = sqlite3_column_count(m_stmt);
        row.resize(count);
        for (int i = 0; i < count; ++i)
            row[i] = readColumn(m_stmt, i);
        return true;
    }
    // Resetting at the end releases the read at once instead of when the query closes.
    sqlite3_reset(m_stmt);
    if (rc != SQLITE_DONE)
        m_connection.raise(QString());
    return false;
}

void Query::open()
{
    const QString sql = m_sql;
    close();
    m_sql = sql;
    m_lease = m_connection.statements().acquire(m_connection.handle(), m_sql.toUtf8());
    int parameter = 1;
    for (const Value &value : m_parameters)
        Bind(m_lease.stmt, parameter++, value);
    m_stmt = m_lease.stmt;
    if (sqlite3_column_count(m_stmt) == 0) {
        close();
        throw AppError(QStringLiteral("The statement returns no rows: %1").arg(sql));
    }
    m_names = m_lease.names;
    try {
        first();
    } catch (...) {
        close();
        throw;
    }
}

void Query::execute()
{
    const QString sql = m_sql;
    close();
    m_sql = sql;
    m_rowsAffected = 0;
    if (m_bound) {
        executeBound();
        return;
    }
    const QByteArray utf8 = m_sql.toUtf8();
    const char *next = utf8.constData();
    const char *end = next + utf8.size();
    sqlite3 *db = m_connection.handle();
    while (next < end) {
        Statement statement;
        const char *tail = nullptr;
        if (sqlite3_prepare_v2(db, next, static_cast<int>(end - next), &statement.stmt, &tail) != SQLITE_OK)
            m_connection.raise(QString());
        next = tail;
        if (!statement.stmt)
            continue;  // blank or comment
        int rc;
        while ((rc = sqlite3_step(statement.stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            m_connection.raise(QString());
        m_rowsAffected += sqlite3_changes(db);
    }
}

void Query::executeBound()
{
    sqlite3 *db = m_connection.handle();
    StatementCache &cache = m_connection.statements();
    Leased statement{cache, cache.acquire(db, m_sql.toUtf8())};
    m_rowsAffected = RunBound(m_connection, statement.lease.stmt, m_parameters);
}

void Query::requireOpen() const
{
    if (!m_stmt)
        throw AppError(QStringLiteral("Operation is not allowed when the object is closed"));
}

void Query::first()
{
    requireOpen();
    cancel();
    if (m_atFirstRow)
        return;
    sqlite3_reset(m_stmt);
    m_hasCurrent = fetch(m_current);
    m_hasAhead = m_hasCurrent && fetch(m_ahead);
    m_atFirstRow = true;
}

void Query::next()
{
    requireOpen();
    cancel();
    m_atFirstRow = false;
    if (!m_hasCurrent)
        return;
    if (!m_hasAhead) {
        m_hasCurrent = false;
        return;
    }
    std::swap(m_current, m_ahead);
    m_hasAhead = fetch(m_ahead);
}

bool Query::eof() const
{
    return !m_hasCurrent && m_state != State::Insert;
}

int Query::fieldIndex(QStringView name) const
{
    requireOpen();
    // Callers nearly always spell names as the table does: try that before folding case.
    for (int i = 0; i < m_names.size(); ++i) {
        if (name == m_names.at(i))
            return i;
    }
    for (int i = 0; i < m_names.size(); ++i) {
        if (name.compare(m_names.at(i), Qt::CaseInsensitive) == 0)
            return i;
    }
    throw AppError(QStringLiteral("Field '%1' not found").arg(name));
}

Query::Field Query::field(int index)
{
    requireOpen();
    if (index < 0 || index >= m_names.size())
        throw AppError(QStringLiteral("Field index %1 out of range").arg(index));
    return Field(this, index);
}

void Query::resolveTable()
{
    if (!m_table.isEmpty())
        return;
    const char *table = sqlite3_column_table_name(m_stmt, 0);
    if (!table)
        throw AppError(QStringLiteral("The result cannot be edited: it does not come from one table"));
    m_table = QString::fromUtf8(table);
    for (int i = 0; i < m_names.size(); ++i) {
        const char *origin = sqlite3_column_origin_name(m_stmt, i);
        const char *columnTable = sqlite3_column_table_name(m_stmt, i);
        if (!origin || !columnTable || QString::fromUtf8(columnTable) != m_table)
            throw AppError(QStringLiteral("The result cannot be edited: it does not come from one table"));
        int primaryKey = 0;
        if (sqlite3_table_column_metadata(m_connection.handle(), nullptr, table, origin, nullptr, nullptr,
                                          nullptr, &primaryKey, nullptr) == SQLITE_OK &&
            primaryKey) {
            m_keyColumn = QString::fromUtf8(origin);
            m_keyIndex = i;
        }
    }
    if (m_keyIndex < 0)
        throw AppError(QStringLiteral("The result cannot be edited: table %1 has no key column in it").arg(m_table));
}

void Query::edit()
{
    requireOpen();
    if (m_state == State::Edit)
        return;
    cancel();
    if (!m_hasCurrent)
        throw AppError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted"));
    resolveTable();
    m_editRow = m_current;
    m_changed.assign(m_names.size(), false);
    m_state = State::Edit;
}

void Query::insert()
{
    requireOpen();
    cancel();
    resolveTable();
    m_editRow.assign(m_names.size(), std::monostate{});
    m_changed.assign(m_names.size(), false);
    m_state = State::Insert;
}

void Query::cancel()
{
    m_state = State::Browse;
    m_editRow.clear();
    m_changed.clear();
}

QString Query::buildWriteSql() const
{
    QStringList columns;
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_changed[i])
            columns.append(QString::fromUtf8(sqlite3_column_origin_name(m_stmt, i)));
    }
    if (m_state == State::Insert) {
        if (columns.isEmpty())
            return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(QuoteIdentifier(m_table));
        QStringList quoted, marks;
        for (const QString &column : columns) {
            quoted.append(QuoteIdentifier(column));
            marks.append(QStringLiteral("?"));
        }
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(QuoteIdentifier(m_table), quoted.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    }
    QStringList assignments;
    for (const QString &column : columns)
        assignments.append(QuoteIdentifier(column) + QStringLiteral("=?"));
    return QStringLiteral("UPDATE %1 SET %2 WHERE %3=?")
        .arg(QuoteIdentifier(m_table), assignments.join(QLatin1Char(',')), QuoteIdentifier(m_keyColumn));
}

void Query::post()
{
    requireOpen();
    if (m_state == State::Browse)
        return;
    std::vector<const Value *> values;
    quint64 changedMask = 0;
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_changed[i]) {
            values.push_back(&m_editRow[i]);
            if (i < 64)
                changedMask |= quint64(1) << i;
        }
    }
    if (m_state == State::Edit && values.empty()) {
        m_current = m_editRow;
        cancel();
        return;
    }
    // The same result shape with the same columns set writes with the same text: a bulk
    // pass (restore, import) builds it once, and keeps its statement from one row to the
    // next instead of handing it back to the pool each time.
    const char kind = m_state == State::Insert ? 'I' : 'U';
    const bool keep = m_names.size() <= 64;
    if (!m_write.stmt || !keep || m_writeKind != kind || m_writeMask != changedMask) {
        releaseWrite();
        QByteArray cacheKey;
        if (keep)
            cacheKey = m_lease.key + '\0' + kind + QByteArray::number(changedMask);
        QByteArray sqlText = m_connection.statements().writeText(cacheKey);
        if (sqlText.isEmpty()) {
            sqlText = buildWriteSql().toUtf8();
            m_connection.statements().keepWriteText(cacheKey, sqlText);
        }
        m_write = m_connection.statements().acquire(m_connection.handle(), sqlText);
        m_writeKind = kind;
        m_writeMask = changedMask;
    }

    sqlite3 *db = m_connection.handle();
    sqlite3_stmt *stmt = m_write.stmt;
    struct Reset {
        sqlite3_stmt *stmt;
        ~Reset() { sqlite3_reset(stmt); }
    } reset{stmt};
    int parameter = 1;
    for (const Value *value : values)
        Bind(stmt, parameter++, *value);
    if (m_state == State::Edit)
        Bind(stmt, parameter, m_current[m_keyIndex]);
    if (sqlite3_step(stmt) != SQLITE_DONE)
        m_connection.raise(QString());
    if (m_state == State::Edit && sqlite3_changes(db) != 1)
        throw AppError(QStringLiteral("Row cannot be located for updating. Some values may have been changed since it was last read"));

    // The posted row stays the current row, as a dataset shows it after a post.
    m_current = m_editRow;
    m_hasCurrent = true;
    cancel();
    // Kept only within a transaction, the bulk pass's: nothing outlives its commit.
    if (sqlite3_get_autocommit(db))
        releaseWrite();
}

const Query::Value &Query::Field::value() const
{
    if (m_query->m_state != State::Browse)
        return m_query->m_editRow[m_index];
    if (!m_query->m_hasCurrent)
        throw AppError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted"));
    return m_query->m_current[m_index];
}

void Query::Field::set(Value value) const
{
    if (m_query->m_state == State::Browse)
        throw AppError(QStringLiteral("Dataset not in edit or insert mode"));
    m_query->m_editRow[m_index] = std::move(value);
    m_query->m_changed[m_index] = true;
}

bool Query::Field::isNull() const
{
    return std::holds_alternative<std::monostate>(value());
}

QString Query::Field::asString() const
{
    return toString(value());
}

bool Query::Field::asBoolean() const
{
    return toBoolean(value());
}

qint32 Query::Field::asInteger() const
{
    return toInteger(value());
}

TDateTime Query::Field::asDateTime() const
{
    return toDateTime(value());
}

QString Query::toString(const Value &v)
{
    if (const auto *text = std::get_if<QString>(&v))
        return *text;
    if (const auto *integer = std::get_if<qint64>(&v))
        return QString::number(*integer);
    if (const auto *real = std::get_if<double>(&v))
        return QString::number(*real, 'g', 17);
    return {};
}

bool Query::toBoolean(const Value &v)
{
    if (const auto *integer = std::get_if<qint64>(&v))
        return *integer != 0;
    if (const auto *real = std::get_if<double>(&v))
        return *real != 0.0;
    if (const auto *text = std::get_if<QString>(&v)) {
        bool ok = false;
        const qint64 number = text->toLongLong(&ok);
        if (ok)
            return number != 0;
        return text->compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    }
    return false;
}

qint32 Query::toInteger(const Value &v)
{
    if (const auto *integer = std::get_if<qint64>(&v))
        return static_cast<qint32>(*integer);
    if (const auto *real = std::get_if<double>(&v))
        return static_cast<qint32>(std::llround(*real));
    if (const auto *text = std::get_if<QString>(&v))
        return static_cast<qint32>(text->toLongLong());
    return 0;
}

TDateTime Query::toDateTime(const Value &v)
{
    // A row written by another program, or before the range was kept, may hold any
    // number: it is read as the nearest date-time the program can write back.
    if (const auto *real = std::get_if<double>(&v))
        return ClampDateTime(*real);
    if (const auto *integer = std::get_if<qint64>(&v))
        return ClampDateTime(static_cast<double>(*integer));
    return ZeroDateTime;
}

void Query::Field::setString(const QString &value) const
{
    set(value);
}

void Query::Field::setBoolean(bool value) const
{
    set(static_cast<qint64>(value ? 1 : 0));
}

void Query::Field::setInteger(qint64 value) const
{
    set(value);
}

void Query::Field::setDateTime(TDateTime value) const
{
    set(ClampDateTime(value));
}

void Query::Field::setNull() const
{
    set(std::monostate{});
}

}  // namespace quillpad
