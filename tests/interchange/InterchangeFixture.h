#pragma once
// A fresh data folder with an open task database, a scripted Prompter, a clock that
// stands still and a fixed zone, for the interchange tests.

#include "store/Clock.h"
#include "store/Connection.h"
#include "store/Paths.h"
#include "store/Query.h"
#include "support/ScriptedPrompter.h"
#include "store/TaskInfo.h"
#include "store/TaskStore.h"
#include "support/TestDataFolder.h"
#include "store/pU_Funcs.h"
#include "interchange/pU_XmlTry.h"

#include <QDateTime>
#include <QStringList>

#include <ctime>

namespace quillpad {

// Sets the process's zone with a POSIX TZ rule, so no zone database is needed.
class ZoneScope {
public:
    explicit ZoneScope(const char *tz) : m_old(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ"))
    {
        set(tz);
    }
    ~ZoneScope()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }
    static void set(const char *tz)
    {
        qputenv("TZ", tz);
        tzset();
    }

private:
    QByteArray m_old;
    bool m_had;
};

inline TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return EncodeDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

// A task with every field set to something other than its default.
inline TTaskInfo FullTask(const QString &tid, const QString &pid, const QString &content)
{
    TTaskInfo task;
    task.tid = tid;
    task.pid = pid;
    task.content = content;
    task.checkFlag = true;
    task.dueFlag = true;
    task.alarmFlag = false;
    task.textColor = 0x00336699;
    task.backgroundColor = static_cast<qint32>(0xFF000005u);  // a system colour: negative
    task.createTime = At(2025, 1, 2, 3, 4, 5);
    task.editTime = At(2025, 2, 3, 4, 5, 6);
    task.checkTime = At(2025, 3, 4, 5, 6, 7);
    task.alarmTime = ZeroDateTime;
    task.dueTime = At(2025, 4, 5);
    return task;
}

class InterchangeFixture {
public:
    InterchangeFixture() : m_zone("UTC0"), m_clock(QDateTime(QDate(2026, 3, 5), QTime(7, 4, 9, 876)))
    {
        Clock::install(&m_clock);
        connection.open(Paths::DatabasePath());
    }
    ~InterchangeFixture()
    {
        connection.close();
        Clock::install(nullptr);
    }

    QString file(const QString &name) const { return folder.file(name); }

    // The row exactly as given: the store's own insert, without the trimming of typed text.
    void insertTask(const TTaskInfo &task) { TaskStore(connection).insertRecord(task); }

    void insertMemo(const QString &mid, const QString &pid, const QString &content, TDateTime time)
    {
        Query query(connection);
        OpenSql(query, QStringLiteral("select * from memos where 0=1"));
        query.insert();
        query.field(u"mid").setString(mid);
        query.field(u"pid").setString(pid);
        query.field(u"content").setString(content);
        query.field(u"assignTime").setDateTime(time);
        query.field(u"createTime").setDateTime(time);
        query.field(u"editTime").setDateTime(time);
        query.post();
    }

    void execute(const QString &sql)
    {
        Query query(connection);
        ExecSql(query, sql);
    }

    // Every task row, in the order the table returns them.
    QList<TTaskInfo> tasks()
    {
        Query query(connection);
        OpenSql(query, QStringLiteral("select * from tasks"));
        const TaskReader reader(query);
        QList<TTaskInfo> rows;
        for (; !query.eof(); query.next())
            rows.append(reader.read());
        return rows;
    }

    TTaskInfo task(const QString &tid)
    {
        for (const TTaskInfo &row : tasks()) {
            if (row.tid == tid)
                return row;
        }
        return {};
    }

    // Every column of every row of both tables, nulls marked, for "nothing changed".
    QStringList dump()
    {
        QStringList rows;
        Query query(connection);
        for (const char *sql : {"select * from memos order by mid", "select * from tasks order by tid"}) {
            OpenSql(query, QString::fromLatin1(sql));
            for (; !query.eof(); query.next()) {
                QStringList columns;
                for (int i = 0; i < query.fieldCount(); ++i)
                    columns.append(query.field(i).isNull() ? QStringLiteral("<null>") : query.field(i).asString());
                rows.append(columns.join(QLatin1Char('|')));
            }
        }
        return rows;
    }

    // Writes a document as a .qvx file.
    QString writeQvx(const QString &name, const QString &xml)
    {
        Txmltry document;
        document.LoadXmlText(xml);
        document.SaveDocument(file(name), true);
        return file(name);
    }

    TestDataFolder folder;
    ScriptedPrompter prompter;
    Connection connection;

private:
    ZoneScope m_zone;
    ManualClock m_clock;
};

}  // namespace quillpad
