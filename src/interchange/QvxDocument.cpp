#include "interchange/QvxDocument.h"

#include "store/AppError.h"
#include "store/Clock.h"
#include "components/QvVersionInfo.h"
#include "store/Query.h"
#include "store/TaskInfo.h"
#include "store/pU_Funcs.h"
#include "interchange/QvxWriter.h"
#include "interchange/pU_XmlTry.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
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

void WriteIntegerField(QvxWriter &file, const char *name, const Query::Field &field)
{
    if (field.isNull()) {
        file.attribute(name, "", 0);
        return;
    }
    char text[16];
    file.attribute(name, text, std::snprintf(text, sizeof text, "%d", static_cast<int>(field.asInteger())));
}

void WriteBooleanField(QvxWriter &file, const char *name, const Query::Field &field)
{
    if (field.isNull())
        file.attribute(name, "", 0);
    else if (field.asBoolean())
        file.attribute(name, "True", 4);
    else
        file.attribute(name, "False", 5);
}

void WriteContentField(QvxWriter &file, const Query::Field &field)
{
    const QString content = field.asString();
    file.attribute("content", content.contains(QLatin1Char('\r')) ? ContentText(content) : content);
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

void WriteTaskRows(QvxWriter &file, Query &query, int bias)
{
    const int tid = query.fieldIndex(u"tid"), pid = query.fieldIndex(u"pid"), content = query.fieldIndex(u"content");
    const int checkFlag = query.fieldIndex(u"checkFlag"), alarmFlag = query.fieldIndex(u"alarmFlag"),
              dueFlag = query.fieldIndex(u"dueFlag");
    const int textColor = query.fieldIndex(u"textColor"), backgroundColor = query.fieldIndex(u"backgroundColor");
    const int createTime = query.fieldIndex(u"createTime"), editTime = query.fieldIndex(u"editTime"),
              checkTime = query.fieldIndex(u"checkTime"), alarmTime = query.fieldIndex(u"alarmTime"),
              dueTime = query.fieldIndex(u"dueTime");
    for (; !query.eof(); query.next()) {
        file.beginElement("task");
        file.attribute("tid", query.field(tid).asString());
        file.attribute("pid", query.field(pid).asString());
        WriteContentField(file, query.field(content));
        WriteBooleanField(file, "check-flag", query.field(checkFlag));
        WriteBooleanField(file, "alarm-flag", query.field(alarmFlag));
        WriteBooleanField(file, "due-flag", query.field(dueFlag));
        WriteIntegerField(file, "text-color", query.field(textColor));
        WriteIntegerField(file, "background-color", query.field(backgroundColor));
        file.timeAttribute("create-time", query.field(createTime).asDateTime(), bias);
        file.timeAttribute("edit-time", query.field(editTime).asDateTime(), bias);
        file.timeAttribute("check-time", query.field(checkTime).asDateTime(), bias);
        file.timeAttribute("alarm-time", query.field(alarmTime).asDateTime(), bias);
        file.timeAttribute("due-time", query.field(dueTime).asDateTime(), bias);
        file.endElement();
    }
}

void WriteMemoRows(QvxWriter &file, Query &query, int bias)
{
    const int mid = query.fieldIndex(u"mid"), pid = query.fieldIndex(u"pid"), content = query.fieldIndex(u"content");
    const int assignTime = query.fieldIndex(u"assignTime"), createTime = query.fieldIndex(u"createTime"),
              editTime = query.fieldIndex(u"editTime");
    for (; !query.eof(); query.next()) {
        file.beginElement("memo");
        file.attribute("mid", query.field(mid).asString());
        file.attribute("pid", query.field(pid).asString());
        WriteContentField(file, query.field(content));
        file.timeAttribute("assign-time", query.field(assignTime).asDateTime(), bias);
        file.timeAttribute("create-time", query.field(createTime).asDateTime(), bias);
        file.timeAttribute("edit-time", query.field(editTime).asDateTime(), bias);
        file.endElement();
    }
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
    CheckApp(std::optional<QString>(xml.ReadAttr(QStringLiteral("ambrel"), QStringLiteral("app"))));
}

void CheckApp(const std::optional<QString> &app)
{
    if (!app)
        Txmltry::ReportAbsent(QStringLiteral("ambrel"), QStringLiteral("app"));
    const QString text = app.value_or(QString());
    if (text != AppName)
        throw AppError(QStringLiteral("Data mismatch: ") + text + AppName);
}

void CheckApp(const std::optional<QByteArray> &utf8App)
{
    CheckApp(utf8App ? std::optional<QString>(QString::fromUtf8(*utf8App)) : std::nullopt);
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

namespace {

// The days from 1899-12-30 to a proleptic Gregorian date.
qint64 DaysFromCivil(int year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yoe = year - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return qint64(era) * 146097 + doe - 719468 + 25569;
}

}  // namespace

bool ReadCommonTime(QStringView text, int bias, TDateTime &time)
{
    if (text.size() != 24 && text.size() != 29)
        return false;
    static constexpr char Shape[] = "dddd-dd-ddTdd:dd:dd.000";
    int digits[14];
    int count = 0;
    for (int i = 0; i < 23; ++i) {
        const char16_t c = text[i].unicode();
        if (Shape[i] == 'd') {
            if (c < u'0' || c > u'9')
                return false;
            digits[count++] = c - u'0';
        } else if (c != char16_t(Shape[i])) {
            return false;
        }
    }
    const auto number = [&digits](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i)
            value = value * 10 + digits[i];
        return value;
    };
    const int year = number(0, 4), month = number(4, 2), day = number(6, 2);
    const int hour = number(8, 2), minute = number(10, 2), second = number(12, 2);
    static constexpr int MonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > MonthDays[month - 1] ||
        (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59)
        return false;
    int offsetMinutes = 0;  // east of UTC
    if (text.size() == 24) {
        if (text[23] != u'Z')
            return false;
    } else {
        const QStringView zone = text.mid(23);
        const char16_t sign = zone[0].unicode();
        if ((sign != u'+' && sign != u'-') || zone[3] != u':')
            return false;
        int zoneDigits[4];
        for (int i = 0; i < 4; ++i) {
            const char16_t c = zone[i < 2 ? i + 1 : i + 2].unicode();
            if (c < u'0' || c > u'9')
                return false;
            zoneDigits[i] = c - u'0';
        }
        const int zoneHours = zoneDigits[0] * 10 + zoneDigits[1], zoneMinutes = zoneDigits[2] * 10 + zoneDigits[3];
        if (zoneHours > 14 || zoneMinutes > 59)
            return false;
        offsetMinutes = (zoneHours * 60 + zoneMinutes) * (sign == u'-' ? -1 : 1);
    }
    if (year == 1899 && month == 12 && day == 30 && hour == 0 && minute == 0 && second == 0) {
        time = ZeroDateTime;  // "not set" in whatever zone it was written
        return true;
    }
    const qint64 ms = DaysFromCivil(year, month, day) * MsPerDay + ((hour * 60 + minute) * 60 + second) * 1000 -
                      (static_cast<qint64>(offsetMinutes) + bias) * 60'000;
    // An offset may carry the first or last day of the range past its end: keep the end.
    time = MsToDateTime(std::clamp(ms, FirstDateTimeMs, LastDateTimeMs));
    return true;
}

TDateTime ReadTime(const QString &value, int bias)
{
    TDateTime time;
    if (ReadCommonTime(value, bias, time))
        return time;
    time = IsoToDateTime(value, bias);  // raises on text that is not a time
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
