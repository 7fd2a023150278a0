#include "store/TaskStore.h"

#include "store/AppError.h"
#include "store/Clock.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/RowCursor.h"
#include "store/WriteBatch.h"
#include "store/pU_Funcs.h"

#include <QHash>

#include <cstdint>

namespace quillpad {

namespace {

// The columns in the order ReadTaskRow takes them.
const QString LoadColumns = QStringLiteral(
    "select tid, pid, content, checkFlag, dueFlag, alarmFlag, expandFlag, textColor, backgroundColor, "
    "createTime, editTime, checkTime, alarmTime, dueTime from tasks");

// A row of LoadColumns, each column read straight from the statement as a query's
// field reads it: a load of every row must not build a whole result first. The parent
// id is left to the caller, which mostly needs no text of its own for it.
TTaskInfo ReadTaskRow(const RowCursor &row)
{
    TTaskInfo info;
    info.tid = Query::toString(row.value(0));
    info.content = Query::toString(row.value(2));
    info.checkFlag = Query::toBoolean(row.value(3));
    info.dueFlag = Query::toBoolean(row.value(4));
    info.alarmFlag = Query::toBoolean(row.value(5));
    info.expandFlag = Query::toBoolean(row.value(6));
    info.textColor = Query::toInteger(row.value(7));
    info.backgroundColor = Query::toInteger(row.value(8));
    info.createTime = Query::toDateTime(row.value(9));
    info.editTime = Query::toDateTime(row.value(10));
    info.checkTime = Query::toDateTime(row.value(11));
    info.alarmTime = Query::toDateTime(row.value(12));
    info.dueTime = Query::toDateTime(row.value(13));
    return info;
}

Query::Value Flag(bool value)
{
    return static_cast<qint64>(value ? 1 : 0);
}

void OpenRow(Query &query, const QString &tid)
{
    if (!TaskStore::openRowForEdit(query, tid))
        throw AppError(QStringLiteral("The task is no longer in the database"));
}

struct TableStatements {
    TableStatements(const QString &table, const QString &idColumn)
        : id(idColumn),
          all(QStringLiteral("select * from ") + table),
          byId(QStringLiteral("select * from %1 where %2=?").arg(table, idColumn)),
          none(QStringLiteral("select * from %1 where 0=1").arg(table))
    {
    }
    QString id, all, byId, none;
};

const TableStatements &Statements(TaskStore::Table table)
{
    static const TableStatements tasks(QStringLiteral("tasks"), QStringLiteral("tid"));
    static const TableStatements memos(QStringLiteral("memos"), QStringLiteral("mid"));
    return table == TaskStore::Table::Tasks ? tasks : memos;
}

}  // namespace

QString CrLfLineBreaks(const QString &text)
{
    const QStringView view(text);
    qsizetype at = 0;
    while (at < view.size() && view[at] != u'\r' && view[at] != u'\n')
        ++at;
    if (at == view.size())
        return text;
    QString kept;
    kept.reserve(text.size() + text.size() / 16);
    qsizetype from = 0;  // the start of the run not yet taken over
    for (; at < view.size(); ++at) {
        const QChar c = view[at];
        if (c != u'\r' && c != u'\n')
            continue;
        kept += view.sliced(from, at - from);
        kept += QLatin1String("\r\n");
        if (c == u'\r' && at + 1 < view.size() && view[at + 1] == u'\n')
            ++at;
        from = at + 1;
    }
    kept += view.sliced(from);
    return kept;
}

QString TrimTaskText(const QString &text)
{
    const QString kept = CrLfLineBreaks(KeepXmlCharacters(text));
    qsizetype end = kept.size();
    while (end > 0 && kept.at(end - 1).unicode() <= ' ')
        --end;
    return kept.left(end);
}

void TaskStore::load(TaskSnapshot &snapshot)
{
    struct Appender : TaskRowSink {
        TaskSnapshot &snapshot;
        const std::size_t first;
        std::vector<TTaskInfo> waiting;
        explicit Appender(TaskSnapshot &into) : snapshot(into), first(into.size()) {}
        void topLevel(TTaskInfo &&task) override { snapshot.emplace_back().task = std::move(task); }
        const QString &topLevelId(std::size_t index) const override { return snapshot[first + index].task.tid; }
        void subTask(TTaskInfo &&task) override { waiting.push_back(std::move(task)); }
        void adopt(std::size_t top, std::size_t sub) override
        {
            TaskWithSubTasks &entry = snapshot[first + top];
            entry.subTasks.push_back(waiting[sub]);
            entry.subTasks.back().pid = entry.task.tid;
        }
    } appender(snapshot);
    load(appender);
}

void TaskStore::load(TaskRowSink &sink)
{
    // One pass over the table: every row goes out as it comes, and sub-task rows are
    // put under their parents once all of these have come. A scan and the parent index
    // both give a parent's rows in the table's own order, so the tree is the one a
    // query per parent would give.
    std::size_t topLevelRows = 0;
    std::size_t subTaskRows = 0;
    // The sub-task rows of each parent id, as a chain through `next`.
    struct Chain {
        std::size_t first, last;
    };
    constexpr std::size_t End = SIZE_MAX;
    QHash<QString, Chain> byParent;
    std::vector<std::size_t> next;
    const auto group = [&](bool complete) {
        for (std::size_t i = 0; i < topLevelRows; ++i) {
            const QString &tid = sink.topLevelId(i);
            if (tid == RootPid) {
                // A task whose own id is "root" has every top-level task under it,
                // each read again: the ones handed over are the sink's now.
                if (complete) {
                    for (TTaskInfo &row : readTopLevelRows()) {
                        sink.subTask(std::move(row));
                        sink.adopt(i, subTaskRows++);
                    }
                }
                continue;
            }
            const auto found = byParent.find(tid);
            if (found == byParent.end())
                continue;
            for (std::size_t sub = found->first; sub != End; sub = next[sub])
                sink.adopt(i, sub);
            // Ids are unique, except that a null one reads as empty, as many can, and
            // each of those has the sub-tasks. Otherwise the first task whose id reads
            // so has them (bytes that are not UTF-8 may read as another id does).
            if (!tid.isEmpty())
                byParent.erase(found);
        }
    };
    try {
        RowCursor rows(m_connection, LoadColumns);
        while (rows.next()) {
            if (rows.isNull(1))
                continue;  // no parent's id matches a null
            TTaskInfo row = ReadTaskRow(rows);
            // One shared text for every top-level task's parent id, and one for each
            // parent's sub-tasks, instead of a copy per task.
            if (rows.storedText(1) == QByteArrayView("root")) {
                row.pid = RootPid;
                sink.topLevel(std::move(row));
                ++topLevelRows;
                continue;
            }
            const std::size_t sub = subTaskRows++;
            next.push_back(End);
            const QString pid = Query::toString(rows.value(1));
            auto chain = byParent.find(pid);
            if (chain == byParent.end()) {
                chain = byParent.insert(pid, {sub, sub});
            } else {
                next[chain->last] = sub;
                chain->last = sub;
            }
            row.pid = chain.key();
            sink.subTask(std::move(row));
        }
    } catch (...) {
        group(false);
        throw;
    }
    group(true);
}

std::vector<TTaskInfo> TaskStore::readTopLevelRows()
{
    std::vector<TTaskInfo> rows;
    Query query(m_connection);
    query.open(Statements(Table::Tasks).all + QStringLiteral(" where pid=?"), {RootPid});
    for (const TaskReader reader(query); !query.eof(); query.next())
        rows.push_back(reader.read());
    return rows;
}

std::optional<TTaskInfo> TaskStore::find(const QString &tid)
{
    Query query(m_connection);
    openRow(query, Table::Tasks, tid);
    if (query.eof())
        return std::nullopt;
    return TaskReader(query).read();
}

std::vector<TTaskInfo> TaskStore::subTasksOf(const QString &tid)
{
    std::vector<TTaskInfo> rows;
    Query query(m_connection);
    query.open(Statements(Table::Tasks).all + QStringLiteral(" where pid=?"), {tid});
    for (const TaskReader reader(query); !query.eof(); query.next())
        rows.push_back(reader.read());
    return rows;
}

int TaskStore::count()
{
    Query query(m_connection);
    query.open(QStringLiteral("select count(*) as cnt from tasks"), {});
    return query.field(u"cnt").asInteger();
}

bool TaskStore::holdsNothing()
{
    Query query(m_connection);
    query.open(QStringLiteral("select not exists(select 1 from tasks) and not exists(select 1 from memos) "
                              "and not exists(select 1 from sync_state) as empty"),
               {});
    return query.field(u"empty").asBoolean();
}

bool TaskStore::idInUse(const QString &id)
{
    Query query(m_connection);
    query.open(QStringLiteral("select 1 from tasks where tid=? or pid=? limit 1"), {id, id});
    return !query.eof();
}

QStringList TaskStore::incompleteTexts(int limit)
{
    // The condition is written as the partial index's is, so the planner reads that
    // index in order instead of sorting.
    Query query(m_connection);
    query.open(QStringLiteral("select content from tasks where checkFlag=False order by content ASC"), {});
    QStringList texts;
    while (texts.size() < limit && !query.eof()) {
        texts.append(query.field(u"content").asString());
        if (texts.size() < limit)
            query.next();
    }
    return texts;
}

void TaskStore::insertNew(TTaskInfo &info)
{
    TTaskInfo task = info;
    task.tid = NewGuid();
    task.checkFlag = task.alarmFlag = task.dueFlag = false;
    task.textColor = task.backgroundColor = 0;
    task.createTime = Clock::nowDateTime();
    task.editTime = Clock::nowDateTime();  // read a moment after the creation time

    Query query(m_connection);
    openForInsert(query, Table::Tasks);
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

namespace {

void SetRecordFields(Query &query, const TTaskInfo &info)
{
    query.field(u"pid").setString(info.pid);
    query.field(u"content").setString(info.content);
    query.field(u"checkFlag").setBoolean(info.checkFlag);
    query.field(u"dueFlag").setBoolean(info.dueFlag);
    query.field(u"alarmFlag").setBoolean(info.alarmFlag);
    query.field(u"expandFlag").setBoolean(info.expandFlag);
    query.field(u"textColor").setInteger(info.textColor);
    query.field(u"backgroundColor").setInteger(info.backgroundColor);
    query.field(u"createTime").setDateTime(info.createTime);
    query.field(u"editTime").setDateTime(info.editTime);
    query.field(u"checkTime").setDateTime(info.checkTime);
    query.field(u"alarmTime").setDateTime(info.alarmTime);
    query.field(u"dueTime").setDateTime(info.dueTime);
}

}  // namespace

void TaskStore::insertRecord(const TTaskInfo &info)
{
    Query query(m_connection);
    openForInsert(query, Table::Tasks);
    query.insert();
    query.field(u"tid").setString(info.tid);
    SetRecordFields(query, info);
    query.post();
}

bool TaskStore::storeRecord(const TTaskInfo &info)
{
    Query query(m_connection);
    if (!openRowForEdit(query, info.tid))
        return false;
    SetRecordFields(query, info);
    query.post();
    return true;
}

void TaskStore::storeText(TTaskInfo &info, const QString &content)
{
    const TDateTime now = Clock::nowDateTime();
    Query query(m_connection);
    OpenRow(query, info.tid);
    query.field(u"content").setString(content);
    query.field(u"editTime").setDateTime(now);
    query.post();
    info.content = content;
    info.editTime = now;
}

void TaskStore::storeFlagAndTime(TTaskInfo &info, QStringView flagColumn, QStringView timeColumn,
                                 bool TTaskInfo::*flag, TDateTime TTaskInfo::*time, bool value, TDateTime when)
{
    Query query(m_connection);
    OpenRow(query, info.tid);
    query.field(flagColumn).setBoolean(value);
    query.field(timeColumn).setDateTime(when);
    query.post();
    info.*flag = value;
    info.*time = when;
}

void TaskStore::storeCheck(TTaskInfo &info, bool checked)
{
    storeFlagAndTime(info, u"checkFlag", u"checkTime", &TTaskInfo::checkFlag, &TTaskInfo::checkTime, checked,
                     Clock::nowDateTime());
}

void TaskStore::storeAlarm(TTaskInfo &info, bool enabled, TDateTime when)
{
    storeFlagAndTime(info, u"alarmFlag", u"alarmTime", &TTaskInfo::alarmFlag, &TTaskInfo::alarmTime, enabled, when);
}

void TaskStore::storeDue(TTaskInfo &info, bool enabled, TDateTime date)
{
    storeFlagAndTime(info, u"dueFlag", u"dueTime", &TTaskInfo::dueFlag, &TTaskInfo::dueTime, enabled, date);
}

void TaskStore::storeColors(const QString &tid, qint32 text, qint32 background)
{
    Query query(m_connection);
    query.execute(QStringLiteral("update tasks set textColor=?, backgroundColor=? where tid=?"),
                  {qint64(text), qint64(background), tid});
}

void TaskStore::storeExpandFlag(const QString &tid, bool expanded)
{
    Query query(m_connection);
    query.execute(QStringLiteral("update tasks set expandFlag=? where tid=?"), {Flag(expanded), tid});
}

void TaskStore::storeExpandFlags(const QStringList &tids, bool expanded)
{
    // In the order of the id index (for the ASCII ids the program makes), so each of its
    // pages is read once rather than once for every row on it.
    QStringList ordered = tids;
    ordered.sort();
    std::vector<Query::Parameters> rows;
    rows.reserve(static_cast<std::size_t>(ordered.size()));
    for (const QString &tid : std::as_const(ordered))
        rows.push_back({Flag(expanded), tid});
    WriteBatch batch(m_connection);
    Query query(m_connection);
    query.executeEach(QStringLiteral("update tasks set expandFlag=? where tid=?"), rows);
    batch.commit();
}

void TaskStore::move(const QString &tid, const QString &pid, bool withSubTasks)
{
    Query query(m_connection);
    if (withSubTasks)
        query.execute(QStringLiteral("update tasks set pid=? where pid=?"), {pid, tid});
    query.execute(QStringLiteral("update tasks set pid=? where tid=?"), {pid, tid});
}

void TaskStore::moveTasks(const std::vector<TaskToMove> &tasks, const QString &pid)
{
    for (const TaskToMove &task : tasks)
        move(task.tid, pid, pid != RootPid && task.topLevel);
    if (pid != RootPid && !tasks.empty())
        storeExpandFlag(pid, true);
}

int TaskStore::remove(const QString &tid)
{
    Query query(m_connection);
    query.execute(QStringLiteral("delete from tasks where tid=?"), {tid});
    int removed = query.rowsAffected();
    query.execute(QStringLiteral("delete from tasks where pid=?"), {tid});
    return removed + query.rowsAffected();
}

QStringList TaskStore::idsStartingWith(const QString &prefix, int limit)
{
    // A range of the id index: every text that starts with the prefix sorts from the
    // prefix itself to the prefix followed by the last character there is.
    Query query(m_connection);
    query.open(QStringLiteral("select tid from tasks where tid>=?1 and tid<?1||char(1114111) order by tid limit ?2"),
               {prefix, qint64(limit)});
    QStringList ids;
    for (; !query.eof(); query.next())
        ids.append(query.field(u"tid").asString());
    return ids;
}

QStringList TaskStore::allIds()
{
    QStringList ids;
    RowCursor rows(m_connection, QStringLiteral("select tid from tasks order by tid"));
    while (rows.next())
        ids.append(Query::toString(rows.value(0)));
    return ids;
}

bool TaskStore::openRowForEdit(Query &query, const QString &tid)
{
    openRow(query, Table::Tasks, tid);
    if (query.eof())
        return false;
    query.edit();
    return true;
}

QString TaskStore::idColumn(Table table)
{
    return Statements(table).id;
}

void TaskStore::openAllRows(Query &query, Table table)
{
    query.open(Statements(table).all, {});
}

void TaskStore::openRow(Query &query, Table table, const QString &id)
{
    query.open(Statements(table).byId, {id});
}

void TaskStore::openForInsert(Query &query, Table table)
{
    query.open(Statements(table).none, {});
}

int TaskStore::insertEachIfNew(Query &query, Table table, const QStringList &columns,
                               const std::vector<Query::Parameters> &rows)
{
    const QString marks = QStringLiteral("?,").repeated(columns.size()).chopped(1);
    query.executeEach(QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                          .arg(table == Table::Tasks ? QStringLiteral("tasks") : QStringLiteral("memos"),
                               columns.join(QLatin1Char(',')), marks),
                      rows);
    return query.rowsAffected();
}

}  // namespace quillpad
