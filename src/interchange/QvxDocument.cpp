#include "interchange/QvxDocument.h"

#include "store/AppError.h"
#include "store/Clock.h"
#include "components/QvVersionInfo.h"
#include "store/Query.h"
#include "store/TaskInfo.h"
#include "store/pU_Funcs.h"
#include "interchange/pU_XmlTry.h"

#include <QRegularExpression>

#include <new>

namespace quillpad {

namespace Qvx {

const char Template[] =
    "<ambrel app=\"\" appversion=\"\" dataversion=\"1.1\" time=\"\">\r"
    "  <tasks>\r"
    "  </tasks>\r"
    "  <memos>\r"
    "  </memos>\r"
    "  <notes>\r"
    "  </notes>\r"
    "  <peers>\r"
    "  </peers>\r"
    "</ambrel>";

namespace {

QString FieldIntegerText(const Query::Field &field)
{
    return field.isNull() ? QString() : QString::number(field.asInteger());
}

QString FieldBooleanText(const Query::Field &field)
{
    return field.isNull() ? QString() : BooleanText(field.asBoolean());
}

QString FieldTimeText(const Query::Field &field, int bias)
{
    return TimeText(field.asDateTime(), bias);
}

}  // namespace

void BeginDocument(Txmltry &xml)
{
    xml.LoadXmlText(QString::fromLatin1(Template));
    xml.WriteAttr(QStringLiteral("ambrel"), QStringLiteral("app"), AppName);
    xml.WriteAttr(QStringLiteral("ambrel"), QStringLiteral("appversion"),
                  TQvVersionInfo().GetValue(TQvVersionInfo::FileVersion));
    xml.WriteAttr(QStringLiteral("ambrel"), QStringLiteral("time"), IsoTime(Clock::nowDateTime()));
}

void AppendElement(pugi::xml_node parent, const char *name, const Attributes &attributes)
{
    pugi::xml_node element = parent.append_child(name);
    if (!element)
        throw std::bad_alloc();
    for (const auto &[attribute, value] : attributes) {
        // Rows stored before the rule, or by another program, may hold what XML cannot.
        const QByteArray text = KeepXmlCharacters(value).toUtf8();
        if (!element.append_attribute(attribute).set_value(text.constData(), static_cast<size_t>(text.size())))
            throw std::bad_alloc();
    }
}

Attributes TaskAttributes(const TTaskInfo &task, const QString &pid, int bias)
{
    return {
        {"tid", task.tid},
        {"pid", pid},
        {"content", ContentText(task.content)},
        {"check-flag", BooleanText(task.checkFlag)},
        {"alarm-flag", BooleanText(task.alarmFlag)},
        {"due-flag", BooleanText(task.dueFlag)},
        {"text-color", QString::number(task.textColor)},
        {"background-color", QString::number(task.backgroundColor)},
        {"create-time", TimeText(task.createTime, bias)},
        {"edit-time", TimeText(task.editTime, bias)},
        {"check-time", TimeText(task.checkTime, bias)},
        {"alarm-time", TimeText(task.alarmTime, bias)},
        {"due-time", TimeText(task.dueTime, bias)},
    };
}

Attributes TaskRowAttributes(Query &query, int bias)
{
    return {
        {"tid", query.field(u"tid").asString()},
        {"pid", query.field(u"pid").asString()},
        {"content", ContentText(query.field(u"content").asString())},
        {"check-flag", FieldBooleanText(query.field(u"checkFlag"))},
        {"alarm-flag", FieldBooleanText(query.field(u"alarmFlag"))},
        {"due-flag", FieldBooleanText(query.field(u"dueFlag"))},
        {"text-color", FieldIntegerText(query.field(u"textColor"))},
        {"background-color", FieldIntegerText(query.field(u"backgroundColor"))},
        {"create-time", FieldTimeText(query.field(u"createTime"), bias)},
        {"edit-time", FieldTimeText(query.field(u"editTime"), bias)},
        {"check-time", FieldTimeText(query.field(u"checkTime"), bias)},
        {"alarm-time", FieldTimeText(query.field(u"alarmTime"), bias)},
        {"due-time", FieldTimeText(query.field(u"dueTime"), bias)},
    };
}

Attributes MemoRowAttributes(Query &query, int bias)
{
    return {
        {"mid", query.field(u"mid").asString()},
        {"pid", query.field(u"pid").asString()},
        {"content", ContentText(query.field(u"content").asString())},
        {"assign-time", FieldTimeText(query.field(u"assignTime"), bias)},
        {"create-time", FieldTimeText(query.field(u"createTime"), bias)},
        {"edit-time", FieldTimeText(query.field(u"editTime"), bias)},
    };
}

QString BooleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString TimeText(TDateTime value, int bias)
{
    return IsoTime(value, bias);
}

QString ContentText(const QString &content)
{
    QString text = content;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

void CheckApp(Txmltry &xml)
{
    const QString app = xml.ReadAttr(QStringLiteral("ambrel"), QStringLiteral("app"));
    if (app != AppName)
        throw AppError(QStringLiteral("Data mismatch: ") + app + AppName);
}

std::optional<bool> ReadBoolean(const QString &value, const QString &field)
{
    if (value.isEmpty())
        return std::nullopt;
    if (QStringLiteral("False").startsWith(value, Qt::CaseInsensitive))
        return false;
    if (QStringLiteral("True").startsWith(value, Qt::CaseInsensitive))
        return true;
    throw AppError(QStringLiteral("'%1' is not a valid boolean value for field '%2'").arg(value, field));
}

std::optional<qint32> ReadInteger(const QString &value, const QString &field)
{
    if (value.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint32 number = value.toInt(&ok);
    if (!ok)
        throw AppError(QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(value, field));
    return number;
}

TDateTime ReadTime(const QString &value, int bias)
{
    const TDateTime time = IsoToDateTime(value, bias);  // raises on text that is not a time
    // Most times are not the zero one: a plain prefix test keeps the common case cheap.
    static const QString zeroClock = QStringLiteral("1899-12-30T00:00:00");
    if (!value.trimmed().startsWith(zeroClock))
        return time;
    static const QRegularExpression zeroText(QStringLiteral(R"(^1899-12-30T00:00:00(\.0+)?(Z|[+-]\d\d:\d\d)?$)"));
    return zeroText.match(value.trimmed()).hasMatch() ? ZeroDateTime : time;
}

QString ReadContent(const QString &value)
{
    QString text = value;
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

}  // namespace Qvx

}  // namespace quillpad
