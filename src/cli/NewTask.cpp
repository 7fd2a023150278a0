#include "NewTask.h"

#include "Clock.h"
#include "Query.h"
#include "pU_Funcs.h"

QString StoredText(const QString &text)
{
    QString stored;
    stored.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n') && (i == 0 || text.at(i - 1) != QLatin1Char('\r')))
            stored.append(QLatin1Char('\r'));
        stored.append(text.at(i));
    }
    qsizetype end = stored.size();
    while (end > 0 && stored.at(end - 1).unicode() <= ' ')
        --end;
    stored.truncate(end);
    return stored;
}

TTaskInfo StoreNewTask(Query &query, const QString &content, const QString &pid)
{
    TTaskInfo task;
    task.tid = NewGuid();
    task.pid = pid;
    task.content = content;
    task.createTime = Clock::nowDateTime();
    task.editTime = Clock::nowDateTime();

    OpenSql(query, QStringLiteral("select * from tasks where 1=0"));
    query.insert();
    query.field(u"tid").setString(task.tid);
    query.field(u"pid").setString(task.pid);
    query.field(u"content").setString(task.content);
    query.field(u"checkFlag").setBoolean(task.checkFlag);
    query.field(u"alarmFlag").setBoolean(task.alarmFlag);
    query.field(u"dueFlag").setBoolean(task.dueFlag);
    query.field(u"textColor").setInteger(task.textColor);
    query.field(u"backgroundColor").setInteger(task.backgroundColor);
    query.field(u"createTime").setDateTime(task.createTime);
    query.field(u"editTime").setDateTime(task.editTime);
    query.post();
    query.close();
    return task;
}
