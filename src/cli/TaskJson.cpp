#include "cli/TaskJson.h"

#include "store/IsoTimeText.h"
#include "store/pU_Funcs.h"
#include "tasks/TaskTree.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstring>

namespace quillpad {

namespace {

// Bytes gathered and handed to the stream a large piece at a time.
class JsonOut {
public:
    explicit JsonOut(std::FILE *out) : m_out(out) { m_buffer.reserve(Chunk + 4096); }
    ~JsonOut() { flush(); }
    JsonOut(const JsonOut &) = delete;
    JsonOut &operator=(const JsonOut &) = delete;

    void raw(const char *text, qsizetype size)
    {
        m_buffer.append(text, size);
        if (m_buffer.size() >= Chunk)
            flush();
    }
    template <qsizetype N>
    void raw(const char (&text)[N])
    {
        raw(text, N - 1);
    }
    void number(qint64 value)
    {
        char text[24];
        const int length = std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
        raw(text, length);
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
        m_utf8 = value.toUtf8();
        raw("\"");
        const char *text = m_utf8.constData();
        const qsizetype size = m_utf8.size();
        qsizetype plain = 0;
        for (qsizetype i = 0; i < size; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c >= 0x20 && c != '"' && c != '\\')
                continue;
            raw(text + plain, i - plain);
            plain = i + 1;
            escape(c);
        }
        raw(text + plain, size - plain);
        raw("\"");
    }
    void flush()
    {
        if (!m_buffer.isEmpty())
            std::fwrite(m_buffer.constData(), 1, static_cast<size_t>(m_buffer.size()), m_out);
        m_buffer.clear();
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

    static constexpr qsizetype Chunk = 64 * 1024;
    std::FILE *m_out;
    QByteArray m_buffer;
    QByteArray m_utf8;
};

// The keys in the order a QJsonObject keeps them (sorted), "children" among them for a
// top-level task.
void WriteTask(JsonOut &out, const TTaskInfo &task, bool expandFlag, int bias, const std::vector<TTaskInfo> *children)
{
    out.raw("{\"alarmFlag\":");
    out.boolean(task.alarmFlag);
    out.raw(",\"alarmTime\":");
    out.time(task.alarmTime, bias);
    out.raw(",\"backgroundColor\":");
    out.number(task.backgroundColor);
    out.raw(",\"checkFlag\":");
    out.boolean(task.checkFlag);
    out.raw(",\"checkTime\":");
    out.time(task.checkTime, bias);
    if (children) {
        out.raw(",\"children\":[");
        bool first = true;
        for (const TTaskInfo &child : *children) {
            if (!first)
                out.raw(",");
            first = false;
            WriteTask(out, child, false, bias, nullptr);  // a sub-task keeps no expansion
        }
        out.raw("]");
    }
    out.raw(",\"content\":");
    out.string(task.content);
    out.raw(",\"createTime\":");
    out.time(task.createTime, bias);
    out.raw(",\"dueFlag\":");
    out.boolean(task.dueFlag);
    out.raw(",\"dueTime\":");
    out.time(task.dueTime, bias);
    out.raw(",\"editTime\":");
    out.time(task.editTime, bias);
    out.raw(",\"expandFlag\":");
    out.boolean(expandFlag);
    out.raw(",\"pid\":");
    out.string(task.pid);
    out.raw(",\"textColor\":");
    out.number(task.textColor);
    out.raw(",\"tid\":");
    out.string(task.tid);
    out.raw("}");
}

QByteArray TaskLine(const TTaskInfo &task, const char *indent)
{
    return indent + task.tid.toUtf8() + (task.checkFlag ? " [x] " : " [ ] ") + OneLine(task.content).toUtf8() + '\n';
}

}  // namespace

void WriteTaskListJson(std::FILE *out, const TaskSnapshot &tasks, int count)
{
    const int bias = LocalBias();
    JsonOut json(out);
    json.raw("{\"count\":");
    json.number(count);
    json.raw(",\"tasks\":[");
    bool first = true;
    for (const TaskWithSubTasks &entry : tasks) {
        if (!first)
            json.raw(",");
        first = false;
        WriteTask(json, entry.task, entry.task.expandFlag, bias, &entry.subTasks);
    }
    json.raw("]}\n");
    json.flush();
    std::fflush(out);
}

QByteArray TaskTreeText(const TaskTree &tree)
{
    QByteArray text;
    for (const auto &root : tree.roots()) {
        text += TaskLine(root->info, "");
        for (const auto &child : root->children)
            text += TaskLine(child->info, "    ");
    }
    return text;
}

}  // namespace quillpad
