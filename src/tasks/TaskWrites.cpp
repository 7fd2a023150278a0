#include "tasks/TaskWrites.h"

#include "store/AppError.h"
#include "store/Clock.h"
#include "store/Query.h"
#include "store/pU_Funcs.h"

namespace quillpad {

namespace {

void OpenRow(Query &query, const QString &tid)
{
    if (!OpenTaskRow(query, tid))
        throw AppError(QStringLiteral("The task is no longer in the database"));
}

}  // namespace

bool OpenTaskRow(Query &query, const QString &tid)
{
    OpenSql(query, QStringLiteral("select * from tasks where tid=") + QuoteSql(tid));
    query.first();
    if (query.eof())
        return false;
    query.edit();
    return true;
}

QString TrimTaskText(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).unicode() <= ' ')
        --end;
    return text.left(end);
}

void InsertNewTask(Query &query, TTaskInfo &info)
{
    TTaskInfo task = info;
    task.tid = NewGuid();
    task.checkFlag = task.alarmFlag = task.dueFlag = false;
    task.textColor = task.backgroundColor = 0;
    task.createTime = Clock::nowDateTime();
    task.editTime = Clock::nowDateTime();  // read a moment after the creation time

    OpenSql(query, QStringLiteral("select * from tasks where 1=0"));
    query.insert();
    query.field(u"tid").setString(task.tid);
    query.field(u"pid").setString(task.pid);
    query.field(u"checkFlag").setBoolean(false);
    query.field(u"alarmFlag").setBoolean(false);
    query.field(u"dueFlag").setBoolean(false);
    query.field(u"textColor").setInteger(0);
    query.field(u"backgroundColor").setInteger(0);
    query.field(u"createTime").setDateTime(task.createTime);
    query.field(u"content").setString(task.content);
    query.field(u"editTime").setDateTime(task.editTime);
    query.post();
    info = task;
}

void StoreTaskText(Query &query, TTaskInfo &info, const QString &content)
{
    const TDateTime now = Clock::nowDateTime();
    OpenRow(query, info.tid);
    query.field(u"content").setString(content);
    query.field(u"editTime").setDateTime(now);
    query.post();
    info.content = content;
    info.editTime = now;
}

namespace {

// A flag and its time, the pair that checking, reminders and due dates each write.
void StoreFlagAndTime(Query &query, TTaskInfo &info, QStringView flagColumn, QStringView timeColumn,
                      bool TTaskInfo::*flag, TDateTime TTaskInfo::*time, bool value, TDateTime when)
{
    OpenRow(query, info.tid);
    query.field(flagColumn).setBoolean(value);
    query.field(timeColumn).setDateTime(when);
    query.post();
    info.*flag = value;
    info.*time = when;
}

}  // namespace

void StoreTaskCheck(Query &query, TTaskInfo &info, bool checked)
{
    StoreFlagAndTime(query, info, u"checkFlag", u"checkTime", &TTaskInfo::checkFlag, &TTaskInfo::checkTime, checked,
                     Clock::nowDateTime());
}

void StoreTaskAlarm(Query &query, TTaskInfo &info, bool enabled, TDateTime when)
{
    StoreFlagAndTime(query, info, u"alarmFlag", u"alarmTime", &TTaskInfo::alarmFlag, &TTaskInfo::alarmTime, enabled,
                     when);
}

void StoreTaskDue(Query &query, TTaskInfo &info, bool enabled, TDateTime date)
{
    StoreFlagAndTime(query, info, u"dueFlag", u"dueTime", &TTaskInfo::dueFlag, &TTaskInfo::dueTime, enabled, date);
}

}  // namespace quillpad
