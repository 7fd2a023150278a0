#pragma once
// The one query layer: a forward-reading row result with single-row edit and insert,
// in the manner of a classic dataset. Rows are read by column name as text, boolean,
// integer or date-time; a null column reads as empty text, false, 0 or the zero
// date-time. Values go into a statement as bound parameters, never as text.

#include "store/DateTime.h"
#include "store/StatementCache.h"

#include <QString>
#include <QStringList>

#include <variant>
#include <vector>

struct sqlite3_stmt;

namespace quillpad {

class Connection;

class Query {
public:
    using Value = std::variant<std::monostate, qint64, double, QString>;
    using Parameters = std::vector<Value>;

    class Field {
    public:
        QString asString() const;
        bool asBoolean() const;
        qint32 asInteger() const;
        TDateTime asDateTime() const;
        bool isNull() const;
        // The value as the result holds it, for comparing with one to be written.
        const Value &value() const;

        // Only while the query is editing or inserting a row.
        void setString(const QString &value) const;
        void setBoolean(bool value) const;
        void setInteger(qint64 value) const;
        void setDateTime(TDateTime value) const;
        void setNull() const;
        // A value as the setters above make it.
        void setValue(Value value) const { set(std::move(value)); }

    private:
        friend class Query;
        Field(Query *query, int index) : m_query(query), m_index(index) {}
        void set(Value value) const;
        Query *m_query;
        int m_index;
    };

    // How a field reads a value of each kind.
    static QString toString(const Value &value);
    static bool toBoolean(const Value &value);
    static qint32 toInteger(const Value &value);
    static TDateTime toDateTime(const Value &value);
    // A column of a statement on a row, as a result holds it.
    static Value readColumn(sqlite3_stmt *stmt, int column);

    explicit Query(Connection &connection);
    ~Query();
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    Connection &connection() const { return m_connection; }

    // Discards any open result and any pending edit.
    void close();
    void setSql(const QString &sql);
    const QString &sql() const { return m_sql; }
    // Runs the text as a row result positioned on its first row (eof when empty).
    void open();
    // Runs the text as a statement with no row result.
    void execute();
    // The same for one statement whose "?" parameters take the values, in order.
    void open(const QString &sql, Parameters parameters);
    void execute(const QString &sql, Parameters parameters);
    // One statement prepared once and run for each set of values in turn (a write of
    // thousands of rows must not look its statement up once per row).
    void executeEach(const QString &sql, const std::vector<Parameters> &rows);
    int rowsAffected() const { return m_rowsAffected; }

    bool isOpen() const { return m_stmt != nullptr; }
    void first();
    void next();
    bool eof() const;

    // Columns of the open result, by name, without regard to case.
    int fieldIndex(QStringView name) const;  // raises when there is no such column
    int fieldCount() const { return static_cast<int>(m_names.size()); }
    const QStringList &fieldNames() const { return m_names; }
    Field field(QStringView name) { return Field(this, fieldIndex(name)); }
    Field field(int index);

    enum class State { Browse, Edit, Insert };
    State state() const { return m_state; }
    void edit();    // the current row becomes editable
    void insert();  // a new row with every column null (the table's defaults apply)
    void post();    // writes the edited or new row
    void cancel();  // drops the pending edit or insert

private:
    void requireOpen() const;
    bool fetch(std::vector<Value> &row);
    void resolveTable();
    QString buildWriteSql() const;
    void executeBound();
    void releaseWrite();

    Connection &m_connection;
    QString m_sql;
    Parameters m_parameters;
    bool m_bound = false;  // one statement with parameters, not a script
    StatementCache::Lease m_lease;
    sqlite3_stmt *m_stmt = nullptr;  // the lease's statement while a result is open
    QStringList m_names;
    std::vector<Value> m_current;
    std::vector<Value> m_ahead;  // read ahead so the read ends as soon as the last row is in
    bool m_hasCurrent = false;
    bool m_hasAhead = false;
    bool m_atFirstRow = false;
    State m_state = State::Browse;
    std::vector<Value> m_editRow;
    std::vector<bool> m_changed;
    QString m_table;
    QString m_keyColumn;
    int m_keyIndex = -1;
    int m_rowsAffected = 0;
    StatementCache::Lease m_write;  // the statement of the last post, kept for the next
    char m_writeKind = 0;
    quint64 m_writeMask = 0;
};

}  // namespace quillpad
