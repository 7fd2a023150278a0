#include "interchange/QvxRecords.h"

#include "interchange/QvxDocument.h"
#include "interchange/pU_XmlTry.h"
#include "store/TaskInfo.h"
#include "store/pU_Funcs.h"

#include <algorithm>
#include <iterator>
#include <optional>
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
    if (found == m_attributes.end()) {
        if (m_held)
            m_held->push_back(Txmltry::AbsentText(m_kind.path(m_position), QLatin1String(name)));
        else
            Txmltry::ReportAbsent(m_kind.path(m_position), QLatin1String(name));
    } else {
        value = KeepXmlCharacters(QString::fromUtf8(found->second));  // a character reference may bring in what XML cannot hold
    }
    return value;
}

NewIds::Ids NewIds::of(RecordReader &record, const RecordKind &kind)
{
    const auto mapped = [this](const QString &oldId) {
        QString &newId = m_topLevel[oldId];
        if (newId.isEmpty())
            newId = NewGuid();
        return newId;
    };
    const QString pid = record.text("pid");
    if (pid == RootPid)
        return {mapped(record.text(kind.id)), RootPid};
    return {NewGuid(), mapped(pid)};
}

const QByteArrayView *RecordReader::bytes(const char *name) const
{
    const QByteArrayView wanted(name);
    for (const auto &[attribute, value] : m_attributes) {
        if (attribute == wanted)
            return &value;
    }
    return nullptr;
}

namespace {

// Values in the form every writer of the file uses, read straight from their bytes;
// none for anything else, which the reading through text then takes as it always has.
std::optional<Query::Value> PlainValue(Codec codec, QByteArrayView bytes, int bias)
{
    switch (codec) {
    case Codec::Boolean:
        if (bytes == "True")
            return qint64(1);
        if (bytes == "False")
            return qint64(0);
        return std::nullopt;
    case Codec::Integer: {
        const bool negative = bytes.startsWith('-');
        const QByteArrayView digits = bytes.sliced(negative ? 1 : 0);
        if (digits.isEmpty() || digits.size() > 9)
            return std::nullopt;  // longer ones may not fit
        qint64 value = 0;
        for (const char digit : digits) {
            if (digit < '0' || digit > '9')
                return std::nullopt;
            value = value * 10 + (digit - '0');
        }
        return negative ? -value : value;
    }
    case Codec::Time: {
        char16_t units[29];
        if (bytes.size() > qsizetype(std::size(units)))
            return std::nullopt;
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (static_cast<unsigned char>(bytes[i]) >= 0x80)
                return std::nullopt;
            units[i] = char16_t(bytes[i]);
        }
        TDateTime time;
        if (!Qvx::ReadCommonTime(QStringView(units, bytes.size()), bias, time))
            return std::nullopt;
        return ClampDateTime(time);
    }
    case Codec::Text:
    case Codec::Content:
        break;
    }
    return std::nullopt;
}

}  // namespace

Query::Value DecodeValue(const Column &column, RecordReader &record, int bias, Breaks breaks)
{
    if (const QByteArrayView *bytes = record.bytes(column.attribute)) {
        if (std::optional<Query::Value> value = PlainValue(column.codec, *bytes, bias))
            return std::move(*value);
    }
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
