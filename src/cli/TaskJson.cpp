#include "cli/TaskJson.h"

#include "cli/ListFilter.h"

#include "store/IsoTimeText.h"
#include "store/Query.h"
#include "store/RowCursor.h"
#include "store/pU_Funcs.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <charconv>
#include <cstring>
#include <string>
#include <vector>

namespace quillpad {

namespace {

// JSON text appended to a buffer (a std::string: its appends of a few bytes cost least).
class JsonText {
public:
    explicit JsonText(std::string &buffer) : m_buffer(buffer) {}

    void raw(const char *text, qsizetype size) { m_buffer.append(text, size_t(size)); }
    void raw(const std::string &text) { m_buffer.append(text); }
    template <qsizetype N>
    void raw(const char (&text)[N])
    {
        raw(text, N - 1);
    }
    void number(qint64 value)
    {
        char text[24];
        const auto result = std::to_chars(text, text + sizeof text, value);
        raw(text, result.ptr - text);
    }
    void boolean(bool value) { value ? raw("true") : raw("false"); }
    void time(TDateTime value, int bias)
    {
        char text[IsoTimeCapacity + 2];
        text[0] = '"';
        const int length = WriteIsoTime(text + 1, value, bias);
        text[length + 1] = '"';
        raw(text, length + 2);
    }
    // As Qt escapes a string: the quote, the backslash and control characters, the
    // rest as UTF-8.
    void string(const QString &value)
    {
        if (!QStringView(value).isValidUtf16()) {
            // a lone surrogate: Qt's own writer knows its form
            const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
            raw(array.constData() + 1, array.size() - 2);
            return;
        }
        utf8(value.toUtf8());
    }
    // Text that is already the UTF-8 a string gives.
    void utf8(QByteArrayView text)
    {
        raw("\"");
        const qsizetype size = text.size();
        qsizetype plain = 0;
        for (qsizetype i = 0; i < size; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c >= 0x20 && c != '"' && c != '\\')
                continue;
            raw(text.data() + plain, i - plain);
            plain = i + 1;
            escape(c);
        }
        raw(text.data() + plain, size - plain);
        raw("\"");
    }

private:
    void escape(unsigned char c)
    {
        switch (c) {
        case '"': raw("\\\""); break;
        case '\\': raw("\\\\"); break;
        case '\b': raw("\\b"); break;
        case '\f': raw("\\f"); break;
        case '\n': raw("\\n"); break;
        case '\r': raw("\\r"); break;
        case '\t': raw("\\t"); break;
        default: {
            static const char hex[] = "0123456789abcdef";
            const char text[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf]};
            raw(text, sizeof text);
        }
        }
    }

    std::string &m_buffer;
};

// Stored bytes that read back as the same text: valid UTF-8 with no byte order mark
// and no NUL (those go the long way, through a string, to come out as they always did).
bool ReadsAsItself(QByteArrayView bytes)
{
    bool ascii = true;
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == 0)
            return false;
        if (c == 0xEF && i + 2 < size && bytes[i + 1] == '\xBB' && bytes[i + 2] == '\xBF')
            return false;
        ascii = ascii && c < 0x80;
    }
    return ascii || bytes.isValidUtf8();
}

// The columns of a task row, looked up once.
struct TaskColumns {
    explicit TaskColumns(const RowCursor &rows)
        : tid(rows.column(u"tid")), pid(rows.column(u"pid")), content(rows.column(u"content")),
          checkFlag(rows.column(u"checkFlag")), dueFlag(rows.column(u"dueFlag")),
          alarmFlag(rows.column(u"alarmFlag")), expandFlag(rows.column(u"expandFlag")),
          textColor(rows.column(u"textColor")), backgroundColor(rows.column(u"backgroundColor")),
          createTime(rows.column(u"createTime")), editTime(rows.column(u"editTime")),
          checkTime(rows.column(u"checkTime")), alarmTime(rows.column(u"alarmTime")),
          dueTime(rows.column(u"dueTime"))
    {
    }
    int tid, pid, content, checkFlag, dueFlag, alarmFlag, expandFlag;
    int textColor, backgroundColor;
    int createTime, editTime, checkTime, alarmTime, dueTime;
};

// One row's fields as a task reads them, written as JSON.
class RowWriter {
public:
    RowWriter(const RowCursor &rows, const TaskColumns &at, int bias) : m_rows(rows), m_at(at), m_bias(bias) {}

    // The column's stored bytes when they are already the text's UTF-8; none when only
    // reading it as a string gives that.
    std::optional<QByteArrayView> plain(int column) const
    {
        const std::optional<QByteArrayView> stored = m_rows.storedText(column);
        if (stored && ReadsAsItself(*stored))
            return stored;
        return std::nullopt;
    }
    // The column's text as a task holds it, in UTF-8: the key ids are matched by.
    QByteArray key(int column) const
    {
        if (const auto stored = plain(column))
            return stored->toByteArray();
        return Query::toString(m_rows.value(column)).toUtf8();
    }
    bool keyIs(int column, QByteArrayView wanted) const
    {
        if (const auto stored = plain(column))
            return stored->size() == wanted.size() && std::memcmp(stored->data(), wanted.data(), size_t(wanted.size())) == 0;
        return key(column) == wanted;
    }
    void string(JsonText &json, int column) const
    {
        if (const auto stored = plain(column))
            json.utf8(*stored);
        else
            json.string(Query::toString(m_rows.value(column)));
    }
    void boolean(JsonText &json, int column) const { json.boolean(Query::toBoolean(m_rows.value(column))); }
    void integer(JsonText &json, int column) const { json.number(Query::toInteger(m_rows.value(column))); }
    void time(JsonText &json, int column) const { json.time(Query::toDateTime(m_rows.value(column)), m_bias); }

    // The keys in the order a QJsonObject keeps them (sorted). The head ends where a
    // top-level task's "children" go; the tail holds "expandFlag", whose value is
    // written alone so a copy of the task can show it as false.
    void head(JsonText &json) const
    {
        json.raw("{\"alarmFlag\":");
        boolean(json, m_at.alarmFlag);
        json.raw(",\"alarmTime\":");
        time(json, m_at.alarmTime);
        json.raw(",\"backgroundColor\":");
        integer(json, m_at.backgroundColor);
        json.raw(",\"checkFlag\":");
        boolean(json, m_at.checkFlag);
        json.raw(",\"checkTime\":");
        time(json, m_at.checkTime);
    }
    void tailToFlag(JsonText &json) const
    {
        json.raw(",\"content\":");
        string(json, m_at.content);
        json.raw(",\"createTime\":");
        time(json, m_at.createTime);
        json.raw(",\"dueFlag\":");
        boolean(json, m_at.dueFlag);
        json.raw(",\"dueTime\":");
        time(json, m_at.dueTime);
        json.raw(",\"editTime\":");
        time(json, m_at.editTime);
        json.raw(",\"expandFlag\":");
    }
    // Whether the row passes the filter, read as a task reads it.
    bool passes(const ListFilter *filter) const
    {
        if (!filter)
            return true;
        TTaskInfo task;
        task.content = Query::toString(m_rows.value(m_at.content));
        task.checkFlag = Query::toBoolean(m_rows.value(m_at.checkFlag));
        task.dueFlag = Query::toBoolean(m_rows.value(m_at.dueFlag));
        task.alarmFlag = Query::toBoolean(m_rows.value(m_at.alarmFlag));
        task.dueTime = Query::toDateTime(m_rows.value(m_at.dueTime));
        return filter->passes(task);
    }
    // A sub-task: no children, and no expansion.
    void child(JsonText &json) const
    {
        head(json);
        tailToFlag(json);
        json.boolean(false);
        tailAfterFlag(json);
    }
    void tailAfterFlag(JsonText &json) const
    {
        json.raw(",\"pid\":");
        string(json, m_at.pid);
        json.raw(",\"textColor\":");
        integer(json, m_at.textColor);
        json.raw(",\"tid\":");
        string(json, m_at.tid);
        json.raw("}");
    }

private:
    const RowCursor &m_rows;
    const TaskColumns &m_at;
    int m_bias;
};

}  // namespace

void WriteTaskListJson(std::FILE *out, Connection &connection, int count, const ListFilter *filter)
{
    // The rows in the table's order, grouped as loading groups them: a top-level task
    // with the rows whose pid is its tid; a row of no known parent, or under a sub-task,
    // left out. Sub-tasks are read first and wait as text by parent; the top-level tasks
    // are then written as they are read. The statement of the second reading takes its
    // first row before the first reading starts, which keeps one read of the database
    // open over both: they see the same rows.
    constexpr TaskStore::Table all = TaskStore::Table::Tasks;
    const int bias = LocalBias();
    RowCursor tops(connection, all);
    const TaskColumns at(tops);
    bool more = tops.next();

    // By the parent's id, joined by commas. Kept to the end: freeing them one by one
    // as they are written has the heap handed back to the system and taken again.
    struct Children {
        std::string text;
        bool taken = false;
    };
    QHash<QByteArray, Children> children;
    bool rootNamedRoot = false;
    {
        RowCursor rows(connection, all);
        const RowWriter row(rows, at, bias);
        std::string one;
        JsonText json(one);
        while (rows.next()) {
            if (rows.isNull(at.pid))
                continue;  // no parent's id matches a null
            if (row.keyIs(at.pid, "root")) {
                rootNamedRoot = rootNamedRoot || row.keyIs(at.tid, "root");
                continue;
            }
            if (!row.passes(filter))
                continue;
            // Made whole in a reused buffer, then added in one piece: a parent's text
            // grows once per sub-task instead of at every few bytes.
            one.clear();
            row.child(json);
            Children &siblings = children[row.key(at.pid)];
            if (!siblings.text.empty())
                siblings.text += ',';
            siblings.text += one;
        }
    }
    // A task whose own id is "root" has every top-level task under it, each as a sub-task.
    std::string everyRoot;
    if (rootNamedRoot) {
        RowCursor rows(connection, all);
        const RowWriter row(rows, at, bias);
        JsonText json(everyRoot);
        while (rows.next()) {
            if (rows.isNull(at.pid) || !row.keyIs(at.pid, "root") || !row.passes(filter))
                continue;
            if (!everyRoot.empty())
                json.raw(",");
            row.child(json);
        }
    }

    constexpr qsizetype Chunk = 64 * 1024;
    std::string buffer;
    buffer.reserve(Chunk + 4096);
    JsonText json(buffer);
    const auto flush = [&buffer, out] {
        std::fwrite(buffer.data(), 1, buffer.size(), out);
        buffer.clear();
    };
    json.raw("{\"count\":");
    json.number(count);
    json.raw(",\"tasks\":[");
    const RowWriter row(tops, at, bias);
    bool first = true;
    for (; more; more = tops.next()) {
        if (tops.isNull(at.pid) || !row.keyIs(at.pid, "root"))
            continue;
        const QByteArray tid = row.key(at.tid);
        const std::string *subTasks = nullptr;
        if (tid == "root") {
            subTasks = &everyRoot;
        } else if (const auto found = children.find(tid); found != children.end() && !found->taken) {
            subTasks = &found->text;
            // ids are unique, except that a null one reads as empty, as many can
            found->taken = !tid.isEmpty();
        }
        if (filter && (!subTasks || subTasks->empty()) && !row.passes(filter))
            continue;
        if (!first)
            json.raw(",");
        first = false;
        row.head(json);
        json.raw(",\"children\":[");
        if (subTasks)
            json.raw(*subTasks);
        json.raw("]");
        row.tailToFlag(json);
        row.boolean(json, at.expandFlag);
        row.tailAfterFlag(json);
        if (qsizetype(buffer.size()) >= Chunk)
            flush();
    }
    json.raw("]}\n");
    flush();
    std::fflush(out);
}


}  // namespace quillpad
