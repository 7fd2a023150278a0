#include "interchange/QvxRecords.h"

#include "interchange/QvxDocument.h"
#include "interchange/pU_XmlTry.h"
#include "store/pU_Funcs.h"

#include <algorithm>
#include <cstring>

namespace quillpad {

namespace {

const std::vector<Column> TaskColumns{
    {"pid", "pid", Codec::Text},
    {"content", "content", Codec::Content},
    {"check-flag", "checkFlag", Codec::Boolean},
    {"alarm-flag", "alarmFlag", Codec::Boolean},
    {"due-flag", "dueFlag", Codec::Boolean},
    {"text-color", "textColor", Codec::Integer},
    {"background-color", "backgroundColor", Codec::Integer},
    {"create-time", "createTime", Codec::Time},
    {"edit-time", "editTime", Codec::Time},
    {"check-time", "checkTime", Codec::Time},
    {"alarm-time", "alarmTime", Codec::Time},
    {"due-time", "dueTime", Codec::Time},
};

const std::vector<Column> MemoColumns{
    {"pid", "pid", Codec::Text},
    {"content", "content", Codec::Content},
    {"assign-time", "assignTime", Codec::Time},
    {"create-time", "createTime", Codec::Time},
    {"edit-time", "editTime", Codec::Time},
};

}  // namespace

const RecordKind MemoRecords{Qvx::MemosPath, QStringLiteral(",memo#"), TaskStore::Table::Memos, "mid",
                             QStringLiteral("memo"), MemoColumns};
const RecordKind TaskRecords{Qvx::TasksPath, QStringLiteral(",task#"), TaskStore::Table::Tasks, "tid",
                             QStringLiteral("task"), TaskColumns};

const QString &RecordReader::text(const char *name)
{
    for (int i = 0; i < m_count; ++i) {
        if (std::strcmp(m_names[i], name) == 0)
            return m_values[i];
    }
    Q_ASSERT(m_count < Capacity);
    m_names[m_count] = name;
    QString &value = m_values[m_count++];
    const QByteArrayView wanted(name);
    const auto found = std::find_if(m_attributes.begin(), m_attributes.end(),
                                    [&wanted](const auto &attribute) { return attribute.first == wanted; });
    if (found == m_attributes.end())
        Txmltry::ReportAbsent(m_kind.path(m_position), QLatin1String(name));
    else
        value = KeepXmlCharacters(QString::fromUtf8(found->second));  // a character reference may bring in what XML cannot hold
    return value;
}

Query::Value DecodeValue(const Column &column, RecordReader &record, int bias, Breaks breaks)
{
    const QString &text = record.text(column.attribute);
    switch (column.codec) {
    case Codec::Text:
        return text;
    case Codec::Content:
        // Made CR LF from the file's own text: a CR LF written as character references
        // must not become two breaks.
        return breaks == Breaks::CrLf ? CrLfLineBreaks(text) : Qvx::ReadContent(text);
    case Codec::Boolean:
        if (const std::optional<bool> value = Qvx::ReadBoolean(text, QLatin1String(column.name)))
            return qint64(*value ? 1 : 0);
        return std::monostate();
    case Codec::Integer:
        if (const std::optional<qint32> value = Qvx::ReadInteger(text, QLatin1String(column.name)))
            return qint64(*value);
        return std::monostate();
    case Codec::Time:
        return ClampDateTime(Qvx::ReadTime(text, bias));
    }
    return std::monostate();
}

}  // namespace quillpad
