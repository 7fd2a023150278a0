#include "sync/VTodoMapping.h"

#include "store/Clock.h"
#include "store/TaskStore.h"

#include <QHash>
#include <QTimeZone>

#include <algorithm>
#include <cstring>

namespace quillpad {

namespace {

const QString CrLf = QStringLiteral("\r\n");

icaltimezone *Utc()
{
    return icaltimezone_get_utc_timezone();
}

struct WireTime {
    icaltimetype time;
    int ms;
};

// libical holds years up to 3000; a later time travels as the last second of 3000.
const QDateTime LastWireTime(QDate(3000, 12, 31), QTime(23, 59, 59), QTimeZone::utc());

WireTime UtcOf(TDateTime local)
{
    const QDateTime utc = qMin(DateTimeToQt(local).toUTC(), LastWireTime);
    icaltimetype time = icaltime_null_time();
    time.year = utc.date().year();
    time.month = utc.date().month();
    time.day = utc.date().day();
    time.hour = utc.time().hour();
    time.minute = utc.time().minute();
    time.second = utc.time().second();
    time.zone = Utc();
    return {time, utc.time().msec()};
}

icaltimetype IcalDate(TDateTime local)
{
    const QDate date = DateOf(local);
    icaltimetype time = icaltime_null_date();
    time.year = date.year();
    time.month = date.month();
    time.day = date.day();
    return time;
}

bool IsMidnight(TDateTime value)
{
    return TimeOf(value) == QTime(0, 0);
}

// A time from the wire as the record keeps it: a date is local midnight, a time with a
// zone (UTC included) is converted to local time, a floating time is local already.
TDateTime LocalOf(icaltimetype time, int ms)
{
    if (icaltime_is_null_time(time))
        return ZeroDateTime;
    if (time.is_date) {
        const QDate date(time.year, time.month, time.day);
        return date.isValid() ? EncodeDateTime(date) : ZeroDateTime;
    }
    if (time.zone)
        time = icaltime_convert_to_zone(time, Utc());
    const QDate date(time.year, time.month, time.day);
    const QTime clock(time.hour, time.minute, qMin(time.second, 59), ms);
    if (!date.isValid() || !clock.isValid())
        return ZeroDateTime;
    if (!time.zone)
        return EncodeDateTime(date, clock);
    return DateTimeFromQt(QDateTime(date, clock, QTimeZone::utc()).toLocalTime());
}

int Milliseconds(icalproperty *property)
{
    const char *text = icalproperty_get_parameter_as_string(property, VTodoNames::Milliseconds);
    const int ms = text ? QByteArray(text).toInt() : 0;
    return ms >= 0 && ms < 1000 ? ms : 0;
}

void SetMilliseconds(icalproperty *property, int ms)
{
    if (ms == 0)
        icalproperty_remove_parameter_by_name(property, VTodoNames::Milliseconds);
    else
        icalproperty_set_parameter_from_string(property, VTodoNames::Milliseconds, QByteArray::number(ms).constData());
}

icalcomponent *Root(icalcomponent *component)
{
    while (icalcomponent *parent = icalcomponent_get_parent(component))
        component = parent;
    return component;
}

// A date or date-time property's value. A TZID is looked up among the calendar's
// VTIMEZONEs, then among the zones libical knows; one neither knows is taken as local.
TDateTime TimeOfProperty(icalproperty *property, icalcomponent *todo)
{
    icaltimetype time = icalproperty_get_datetime_with_component(property, Root(todo));
    if (!time.is_date && !time.zone) {
        if (icalparameter *tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER)) {
            const char *name = icalparameter_get_tzid(tzid);
            icaltimezone *zone = icaltimezone_get_builtin_timezone(name);
            if (!zone)
                zone = icaltimezone_get_builtin_timezone_from_tzid(name);
            if (zone)
                time = icaltime_set_timezone(&time, zone);
        }
    }
    return LocalOf(time, Milliseconds(property));
}

icalproperty *UtcProperty(icalproperty *(*make)(icaltimetype), TDateTime local)
{
    const WireTime wire = UtcOf(local);
    icalproperty *property = make(wire.time);
    SetMilliseconds(property, wire.ms);
    return property;
}

void RemoveXProperties(icalcomponent *todo, const char *name)
{
    while (icalproperty *property = FirstXProperty(todo, name)) {
        icalcomponent_remove_property(todo, property);
        icalproperty_free(property);
    }
}

void AddXProperty(icalcomponent *todo, const char *name, const QByteArray &value)
{
    icalproperty *property = icalproperty_new_x(value.constData());
    icalproperty_set_x_name(property, name);
    icalcomponent_add_property(todo, property);
}

TDateTime XTime(icalcomponent *todo, const char *name)
{
    icalproperty *property = FirstXProperty(todo, name);
    if (!property)
        return ZeroDateTime;
    const char *text = icalproperty_get_x(property);
    return text ? LocalOf(icaltime_from_string(text), Milliseconds(property)) : ZeroDateTime;
}

void WriteXTime(icalcomponent *todo, const char *name, TDateTime local)
{
    RemoveXProperties(todo, name);
    if (local == ZeroDateTime)
        return;
    const WireTime wire = UtcOf(local);
    icalproperty *property = icalproperty_new_x(icaltime_as_ical_string(wire.time));
    icalproperty_set_x_name(property, name);
    SetMilliseconds(property, wire.ms);
    icalcomponent_add_property(todo, property);
}

qint64 XInteger(icalcomponent *todo, const char *name)
{
    icalproperty *property = FirstXProperty(todo, name);
    const char *text = property ? icalproperty_get_x(property) : nullptr;
    return text ? QByteArray(text).trimmed().toLongLong() : 0;
}

bool WriteXInteger(icalcomponent *todo, const char *name, qint64 was, qint64 value)
{
    if (was == value)
        return false;
    RemoveXProperties(todo, name);
    if (value != 0)
        AddXProperty(todo, name, QByteArray::number(value));
    return true;
}

QString FirstLine(const QString &text)
{
    const qsizetype end = text.indexOf(CrLf);
    return end < 0 ? text : text.left(end);
}

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// libical drops the blanks a text value starts and ends with; ours keep them, and the
// blank lines before a title, in parameters, one letter each: S a space, T a tab, N a line
// break.
QByteArray LettersOf(QStringView lead)
{
    QByteArray letters;
    for (qsizetype at = 0; at < lead.size(); ++at) {
        if (lead[at] == QLatin1Char(' '))
            letters += 'S';
        else if (lead[at] == QLatin1Char('\t'))
            letters += 'T';
        else if (lead.sliced(at).startsWith(CrLf))
            letters += 'N', ++at;
        else
            break;
    }
    return letters;
}

QString LeadOf(const char *letters)
{
    QString lead;
    for (const char *c = letters; *c; ++c)
        lead += *c == 'T' ? QStringLiteral("\t") : *c == 'N' ? CrLf : QStringLiteral(" ");
    return lead;
}

QString TextProperty(icalproperty *property)
{
    if (!property)
        return QString();
    QString text = CrLfLineBreaks(FromIcal(icalvalue_get_text(icalproperty_get_value(property))));
    // In case a reader kept the blanks, they are dropped before they are put back.
    if (const char *letters = icalproperty_get_parameter_as_string(property, VTodoNames::TrailingBlanks)) {
        while (!text.isEmpty() && IsBlank(text.back()))
            text.chop(1);
        text += LeadOf(letters);
    }
    if (const char *letters = icalproperty_get_parameter_as_string(property, VTodoNames::Indent)) {
        qsizetype blanks = 0;
        while (blanks < text.size() && IsBlank(text.at(blanks)))
            ++blanks;
        text = LeadOf(letters) + text.mid(blanks);
    }
    return text;
}

icalproperty *NewTextProperty(icalproperty *(*make)(const char *), const QString &text, QStringView lead)
{
    QString wire = text;
    wire.replace(CrLf, QStringLiteral("\n"));
    icalproperty *property = make(wire.toUtf8().constData());
    const QByteArray letters = LettersOf(lead);
    if (!letters.isEmpty())
        icalproperty_set_parameter_from_string(property, VTodoNames::Indent, letters.constData());
    return property;
}

// Our text as SUMMARY and DESCRIPTION: the title is its first line that is not blank, the
// DESCRIPTION what follows that line.
struct TextParts {
    QString lead;       // up to the title's first character: blanks and blank lines
    QString titleLine;  // the title's line, its own leading blanks included
    QString rest;
};

TextParts SplitText(const QString &text)
{
    qsizetype line = 0;
    qsizetype at = 0;
    for (;;) {
        at = line;
        while (at < text.size() && IsBlank(text.at(at)))
            ++at;
        if (!QStringView(text).sliced(at).startsWith(CrLf))
            break;
        line = at + 2;
    }
    if (at == text.size())
        return {};  // nothing but blanks
    const qsizetype end = text.indexOf(CrLf, at);
    TextParts parts;
    parts.lead = text.left(at);
    parts.titleLine = text.mid(line, (end < 0 ? text.size() : end) - line);
    if (end >= 0)
        parts.rest = text.mid(end + 2);
    return parts;
}

// Before the DESCRIPTION held only what follows the title, it held the whole text, its
// first line the SUMMARY (none when that line was blank). So a DESCRIPTION that starts
// with the SUMMARY's line is such a whole text, unless ours marks it as the rest
// (X-QUILLPAD-REST), as it does when its first line only repeats the title.
bool StartsWithTitle(const QString &description, const QString &summary)
{
    return FirstLine(description).trimmed() == summary.trimmed();
}

bool IsWholeText(icalproperty *summaryProperty, icalproperty *descriptionProperty)
{
    if (!descriptionProperty || icalproperty_get_parameter_as_string(descriptionProperty, VTodoNames::Rest))
        return false;
    return !summaryProperty || StartsWithTitle(TextProperty(descriptionProperty), TextProperty(summaryProperty));
}

bool HoldsWholeText(icalcomponent *todo)
{
    return IsWholeText(icalcomponent_get_first_property(todo, ICAL_SUMMARY_PROPERTY),
                       icalcomponent_get_first_property(todo, ICAL_DESCRIPTION_PROPERTY));
}

QString ReadContent(icalcomponent *todo)
{
    icalproperty *summaryProperty = icalcomponent_get_first_property(todo, ICAL_SUMMARY_PROPERTY);
    icalproperty *descriptionProperty = icalcomponent_get_first_property(todo, ICAL_DESCRIPTION_PROPERTY);
    const QString summary = TextProperty(summaryProperty);
    if (!descriptionProperty)
        return TrimTaskText(summary);
    const QString description = TextProperty(descriptionProperty);
    if (IsWholeText(summaryProperty, descriptionProperty))
        return TrimTaskText(description);
    return TrimTaskText(summary + CrLf + description);
}

QString TitleOf(const QString &content)
{
    return SplitText(content).titleLine.trimmed();
}

void WriteContent(icalcomponent *todo, const QString &content)
{
    RemoveProperties(todo, ICAL_SUMMARY_PROPERTY);
    RemoveProperties(todo, ICAL_DESCRIPTION_PROPERTY);
    const TextParts parts = SplitText(content);
    if (parts.titleLine.isEmpty())
        return;  // libical reads an empty value as a fault
    icalproperty *summary = NewTextProperty(&icalproperty_new_summary, parts.titleLine, parts.lead);
    qsizetype end = parts.titleLine.size();
    while (end > 0 && IsBlank(parts.titleLine.at(end - 1)))
        --end;
    const QByteArray trailing = LettersOf(QStringView(parts.titleLine).sliced(end));
    if (!trailing.isEmpty())
        icalproperty_set_parameter_from_string(summary, VTodoNames::TrailingBlanks, trailing.constData());
    icalcomponent_add_property(todo, summary);
    if (TrimTaskText(parts.rest).isEmpty())
        return;
    qsizetype blanks = 0;
    while (blanks < parts.rest.size() && IsBlank(parts.rest.at(blanks)))
        ++blanks;
    icalproperty *description =
        NewTextProperty(&icalproperty_new_description, parts.rest, QStringView(parts.rest).left(blanks));
    if (StartsWithTitle(parts.rest, parts.titleLine))
        icalproperty_set_parameter_from_string(description, VTodoNames::Rest, "1");
    icalcomponent_add_property(todo, description);
}

bool IsParentLink(icalproperty *relatedTo)
{
    icalparameter *type = icalproperty_get_first_parameter(relatedTo, ICAL_RELTYPE_PARAMETER);
    return !type || icalparameter_get_reltype(type) == ICAL_RELTYPE_PARENT;
}

QString ParentUid(icalcomponent *todo)
{
    for (icalproperty *property = icalcomponent_get_first_property(todo, ICAL_RELATEDTO_PROPERTY); property;
         property = icalcomponent_get_next_property(todo, ICAL_RELATEDTO_PROPERTY)) {
        const QString uid = FromIcal(icalproperty_get_relatedto(property));
        if (IsParentLink(property) && !uid.isEmpty())
            return uid;
    }
    return RootPid;
}

void WriteParent(icalcomponent *todo, const QString &pid)
{
    std::vector<icalproperty *> links;
    for (icalproperty *property = icalcomponent_get_first_property(todo, ICAL_RELATEDTO_PROPERTY); property;
         property = icalcomponent_get_next_property(todo, ICAL_RELATEDTO_PROPERTY)) {
        if (IsParentLink(property))
            links.push_back(property);
    }
    for (icalproperty *property : links) {
        icalcomponent_remove_property(todo, property);
        icalproperty_free(property);
    }
    if (pid.isEmpty() || pid == RootPid)
        return;
    icalproperty *link = icalproperty_new_relatedto(pid.toUtf8().constData());
    icalproperty_add_parameter(link, icalparameter_new_reltype(ICAL_RELTYPE_PARENT));
    icalcomponent_add_property(todo, link);
}

// A VALARM and the time its trigger comes to.
struct Reminder {
    icalcomponent *alarm;
    TDateTime time;
};

TDateTime TriggerTime(icalcomponent *todo, icalproperty *trigger)
{
    const icaltriggertype value = icalproperty_get_trigger(trigger);
    if (!icaltime_is_null_time(value.time))
        return LocalOf(value.time, Milliseconds(trigger));
    icalparameter *related = icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
    const bool fromDue = related && icalparameter_get_related(related) == ICAL_RELATED_END;
    icalproperty *base =
        icalcomponent_get_first_property(todo, fromDue ? ICAL_DUE_PROPERTY : ICAL_DTSTART_PROPERTY);
    if (!base)
        return ZeroDateTime;
    icaltimetype start = icalproperty_get_datetime_with_component(base, Root(todo));
    if (icaltime_is_null_time(start))
        return ZeroDateTime;
    if (start.is_date) {  // an all-day date counts from its local midnight
        start.is_date = 0;
        start.hour = start.minute = start.second = 0;
        start.zone = nullptr;
    }
    return LocalOf(icaltime_add(start, value.duration), 0);
}

std::vector<Reminder> Reminders(icalcomponent *todo)
{
    std::vector<Reminder> found;
    for (icalcomponent *alarm = icalcomponent_get_first_component(todo, ICAL_VALARM_COMPONENT); alarm;
         alarm = icalcomponent_get_next_component(todo, ICAL_VALARM_COMPONENT)) {
        icalproperty *trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
        const TDateTime time = trigger ? TriggerTime(todo, trigger) : ZeroDateTime;
        if (time != ZeroDateTime)
            found.push_back({alarm, time});
    }
    return found;
}

void ReadAlarm(icalcomponent *todo, TTaskInfo &task)
{
    const std::vector<Reminder> reminders = Reminders(todo);
    task.alarmFlag = !reminders.empty();
    task.alarmTime = task.alarmFlag ? reminders.front().time : XTime(todo, VTodoNames::AlarmTimeOff);
}

void WriteAlarm(icalcomponent *todo, const TTaskInfo &task)
{
    const std::vector<Reminder> reminders = Reminders(todo);
    RemoveXProperties(todo, VTodoNames::AlarmTimeOff);
    if (!task.alarmFlag) {
        // Every alarm that comes to a time goes: the next would be read as the reminder.
        for (const Reminder &reminder : reminders) {
            icalcomponent_remove_component(todo, reminder.alarm);
            icalcomponent_free(reminder.alarm);
        }
        WriteXTime(todo, VTodoNames::AlarmTimeOff, task.alarmTime);
        return;
    }
    icalcomponent *alarm = reminders.empty() ? nullptr : reminders.front().alarm;
    if (!alarm) {
        alarm = icalcomponent_new_valarm();
        icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
        icalcomponent_add_property(alarm, icalproperty_new_description(TitleOf(task.content).toUtf8().constData()));
        icalcomponent_add_component(todo, alarm);
    }
    RemoveProperties(alarm, ICAL_TRIGGER_PROPERTY);
    const WireTime wire = UtcOf(task.alarmTime);
    icalproperty *trigger = icalproperty_new_trigger({wire.time, icaldurationtype_null_duration()});
    SetMilliseconds(trigger, wire.ms);
    icalcomponent_add_property(alarm, trigger);
}

void WriteCheck(icalcomponent *todo, const TTaskInfo &task, bool flagChanged)
{
    // A task another client cancelled shows as done and stays cancelled until it is
    // reopened here.
    if (task.checkFlag && (flagChanged || icalcomponent_get_status(todo) != ICAL_STATUS_CANCELLED)) {
        icalcomponent_set_status(todo, ICAL_STATUS_COMPLETED);
        RemoveProperties(todo, ICAL_PERCENTCOMPLETE_PROPERTY);
        icalcomponent_add_property(todo, icalproperty_new_percentcomplete(100));
    } else if (!task.checkFlag && flagChanged) {
        icalcomponent_set_status(todo, ICAL_STATUS_NEEDSACTION);
        RemoveProperties(todo, ICAL_PERCENTCOMPLETE_PROPERTY);
    }
    RemoveProperties(todo, ICAL_COMPLETED_PROPERTY);
    RemoveXProperties(todo, VTodoNames::CheckTimeOff);
    if (!task.checkFlag)
        WriteXTime(todo, VTodoNames::CheckTimeOff, task.checkTime);
    else if (task.checkTime != ZeroDateTime)
        icalcomponent_add_property(todo, UtcProperty(&icalproperty_new_completed, task.checkTime));
}

void WriteDue(icalcomponent *todo, const TTaskInfo &task)
{
    RemoveProperties(todo, ICAL_DUE_PROPERTY);
    RemoveXProperties(todo, VTodoNames::DueTimeOff);
    if (!task.dueFlag)
        WriteXTime(todo, VTodoNames::DueTimeOff, task.dueTime);
    else if (IsMidnight(task.dueTime))
        icalcomponent_add_property(todo, icalproperty_new_due(IcalDate(task.dueTime)));
    else
        icalcomponent_add_property(todo, UtcProperty(&icalproperty_new_due, task.dueTime));
}

TDateTime PropertyTime(icalcomponent *todo, icalproperty_kind kind)
{
    icalproperty *property = icalcomponent_get_first_property(todo, kind);
    return property ? TimeOfProperty(property, todo) : ZeroDateTime;
}

bool SameTime(TDateTime a, TDateTime b)
{
    return (a == ZeroDateTime) == (b == ZeroDateTime) && SameDateTime(a, b);
}

void WriteUtcTime(icalcomponent *todo, icalproperty_kind kind, icalproperty *(*make)(icaltimetype), TDateTime was,
                  TDateTime value)
{
    if (SameTime(was, value))
        return;
    RemoveProperties(todo, kind);
    if (value != ZeroDateTime)
        icalcomponent_add_property(todo, UtcProperty(make, value));
}

bool Later(TDateTime a, TDateTime b)
{
    return a != ZeroDateTime && (b == ZeroDateTime || DateTimeToMs(a) > DateTimeToMs(b));
}

// The earlier of two times, the one that is set.
TDateTime Earlier(TDateTime a, TDateTime b)
{
    return Later(a, b) && b != ZeroDateTime ? b : a != ZeroDateTime ? a : b;
}

// LAST-MODIFIED says when the object was last revised: the task's edit time when it is
// later than the object's revision, else now when we change a field that does not move
// the edit time (completion, due date, reminder, ...). Other clients see a change by it.
// DTSTAMP, which every VTODO needs, follows it.
void WriteRevision(icalcomponent *todo, const TTaskInfo &task, bool changed)
{
    const TDateTime modified = PropertyTime(todo, ICAL_LASTMODIFIED_PROPERTY);
    const TDateTime revision = modified != ZeroDateTime ? modified : PropertyTime(todo, ICAL_DTSTAMP_PROPERTY);
    TDateTime revised = ZeroDateTime;
    if (Later(task.editTime, revision))
        revised = task.editTime;
    else if (changed)  // never back, whatever the clock that wrote the object said
        revised = MsToDateTime(std::max(DateTimeToMs(Clock::nowDateTime()), DateTimeToMs(revision) + 1000));
    if (revised != ZeroDateTime)
        WriteUtcTime(todo, ICAL_LASTMODIFIED_PROPERTY, &icalproperty_new_lastmodified, modified, revised);
    icalproperty *existing = icalcomponent_get_first_property(todo, ICAL_DTSTAMP_PROPERTY);
    if (existing && revised == ZeroDateTime)
        return;
    TDateTime stamp = PropertyTime(todo, ICAL_LASTMODIFIED_PROPERTY);
    if (stamp == ZeroDateTime)
        stamp = task.createTime != ZeroDateTime ? task.createTime : Clock::nowDateTime();
    const icaltimetype wire = UtcOf(stamp).time;
    if (existing && icaltime_compare(icalproperty_get_dtstamp(existing), wire) == 0)
        return;
    RemoveProperties(todo, ICAL_DTSTAMP_PROPERTY);
    icalcomponent_add_property(todo, icalproperty_new_dtstamp(wire));
}

// The task as the VTODO writes it, times it leaves out left zero.
TTaskInfo ReadWritten(icalcomponent *todo)
{
    TTaskInfo task;
    task.tid = FromIcal(icalcomponent_get_uid(todo));
    task.pid = ParentUid(todo);
    task.content = ReadContent(todo);

    const icalproperty_status status = icalcomponent_get_status(todo);
    icalproperty *completed = icalcomponent_get_first_property(todo, ICAL_COMPLETED_PROPERTY);
    task.checkFlag = status == ICAL_STATUS_COMPLETED || status == ICAL_STATUS_CANCELLED ||
                     (status == ICAL_STATUS_NONE && completed);
    if (task.checkFlag)
        task.checkTime = completed ? TimeOfProperty(completed, todo) : ZeroDateTime;
    else
        task.checkTime = XTime(todo, VTodoNames::CheckTimeOff);

    task.dueTime = PropertyTime(todo, ICAL_DUE_PROPERTY);
    task.dueFlag = task.dueTime != ZeroDateTime;
    if (!task.dueFlag)
        task.dueTime = XTime(todo, VTodoNames::DueTimeOff);

    ReadAlarm(todo, task);

    task.createTime = PropertyTime(todo, ICAL_CREATED_PROPERTY);
    task.editTime = PropertyTime(todo, ICAL_LASTMODIFIED_PROPERTY);
    task.textColor = static_cast<qint32>(XInteger(todo, VTodoNames::TextColor));
    task.backgroundColor = static_cast<qint32>(XInteger(todo, VTodoNames::BackgroundColor));
    task.expandFlag = XInteger(todo, VTodoNames::Expanded) != 0;
    return task;
}

}  // namespace

TTaskInfo ReadVTodo(icalcomponent *todo)
{
    TTaskInfo task = ReadWritten(todo);
    // Times another client left out, so that none shows as the zero date: the object's
    // revision time (DTSTAMP means the same as LAST-MODIFIED in a stored task), and for
    // an object that has none, the time it arrived.
    const TDateTime stamp = PropertyTime(todo, ICAL_DTSTAMP_PROPERTY);
    if (task.createTime == ZeroDateTime)
        task.createTime = Earlier(stamp, task.editTime);
    if (task.createTime == ZeroDateTime)
        task.createTime = Clock::nowDateTime();
    if (task.editTime == ZeroDateTime)
        task.editTime = stamp != ZeroDateTime ? stamp : task.createTime;
    if (task.checkFlag && task.checkTime == ZeroDateTime)
        task.checkTime = task.editTime;  // done by then
    return task;
}

void WriteVTodo(icalcomponent *todo, const TTaskInfo &task, const QString &shownPid)
{
    // Compared with what the object holds, not with the times ReadVTodo puts in for missing
    // ones: those are written, so the task reads back the same.
    const TTaskInfo was = ReadWritten(todo);
    RemoveProperties(todo, ICAL_XLICERROR_PROPERTY);  // libical's notes on what it could not read
    if (was.tid != task.tid || !icalcomponent_get_first_property(todo, ICAL_UID_PROPERTY))
        icalcomponent_set_uid(todo, task.tid.toUtf8().constData());
    bool changed = false;
    // A text in the older form is written anew, before another client renames its title.
    if (was.content != task.content || HoldsWholeText(todo)) {
        WriteContent(todo, task.content);
        changed = true;
    }
    if (was.checkFlag != task.checkFlag || !SameTime(was.checkTime, task.checkTime)) {
        WriteCheck(todo, task, was.checkFlag != task.checkFlag);
        changed = true;
    }
    if (was.dueFlag != task.dueFlag || !SameTime(was.dueTime, task.dueTime)) {
        WriteDue(todo, task);
        changed = true;
    }
    // After the due date: a reminder relative to it may have moved with it.
    TTaskInfo alarm;
    ReadAlarm(todo, alarm);
    if (alarm.alarmFlag != task.alarmFlag || !SameTime(alarm.alarmTime, task.alarmTime)) {
        WriteAlarm(todo, task);
        changed = true;
    }
    if (task.pid != shownPid) {
        WriteParent(todo, task.pid);
        changed = true;
    }
    changed |= WriteXInteger(todo, VTodoNames::TextColor, was.textColor, task.textColor);
    changed |= WriteXInteger(todo, VTodoNames::BackgroundColor, was.backgroundColor, task.backgroundColor);
    changed |= WriteXInteger(todo, VTodoNames::Expanded, was.expandFlag, task.expandFlag);
    WriteUtcTime(todo, ICAL_CREATED_PROPERTY, &icalproperty_new_created, was.createTime, task.createTime);
    WriteRevision(todo, task, changed);
}

void WriteVTodo(icalcomponent *todo, const TTaskInfo &task)
{
    WriteVTodo(todo, task, ParentUid(todo));
}

IcalComponentPtr NewVTodo(const TTaskInfo &task)
{
    IcalComponentPtr todo(icalcomponent_new_vtodo());
    WriteVTodo(todo.get(), task, RootPid);
    return todo;
}

}  // namespace quillpad
