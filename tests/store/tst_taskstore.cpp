// The task database: creation, refusal to touch what is not ours, single-row edit and
// insert, the task repository's statements and the indexes behind them, and the write
// batch.

#include "store/AppError.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/TaskInfo.h"
#include "store/TaskStore.h"
#include "store/WriteBatch.h"
#include "support/TestDataFolder.h"
#include "store/pU_Funcs.h"

#include <QFile>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>

using namespace quillpad;

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString InsertTask(Query &query, const QString &pid, const QString &content, bool checked = false)
{
    const QString tid = NewGuid();
    OpenSql(query, QStringLiteral("select * from tasks where 1=0"));
    query.insert();
    query.field(u"tid").setString(tid);
    query.field(u"pid").setString(pid);
    query.field(u"content").setString(content);
    query.field(u"checkFlag").setBoolean(checked);
    query.field(u"dueFlag").setBoolean(false);
    query.field(u"alarmFlag").setBoolean(false);
    query.field(u"textColor").setInteger(0);
    query.field(u"backgroundColor").setInteger(0);
    query.field(u"createTime").setDateTime(45000.25);
    query.field(u"editTime").setDateTime(45000.5);
    query.post();
    return tid;
}

int Count(Query &query)
{
    OpenSql(query, QStringLiteral("select count(*) as cnt from tasks"));
    return query.field(u"cnt").asInteger();
}

QStringList Contents(Query &query, const QString &sql)
{
    QStringList result;
    OpenSql(query, sql);
    for (query.first(); !query.eof(); query.next())
        result.append(query.field(u"content").asString());
    return result;
}

TTaskInfo Task(const QString &pid, const QString &content)
{
    TTaskInfo task;
    task.pid = pid;
    task.content = content;
    return task;
}

// Our tasks table as another program (or an older copy of ours) might have made it.
const QString OurTasksTable = QStringLiteral(
    "create table tasks (tid TEXT PRIMARY KEY, pid TEXT, content TEXT, checkFlag INTEGER, dueFlag INTEGER, "
    "alarmFlag INTEGER, expandFlag INTEGER, textColor INTEGER, backgroundColor INTEGER, createTime REAL, "
    "editTime REAL, checkTime REAL, alarmTime REAL, dueTime REAL)");

QString QueryPlan(Connection &connection, const QString &sql)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = ("EXPLAIN QUERY PLAN " + sql).toUtf8();
    sqlite3_prepare_v2(connection.handle(), text.constData(), -1, &stmt, nullptr);
    QStringList steps;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        steps.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 3))));
    sqlite3_finalize(stmt);
    return steps.join(QStringLiteral("; "));
}

}  // namespace

class TestTaskStore : public QObject {
    Q_OBJECT

private slots:
    void newFileIsPrivateAndHasBothTables_data();
    void newFileIsPrivateAndHasBothTables();
    void foreignFilesAreNeverWritten_data();
    void foreignFilesAreNeverWritten();
    void aDatabaseWithNothingOrOnlyOursIsTaken_data();
    void aDatabaseWithNothingOrOnlyOursIsTaken();
    void lockedDatabaseIsReportedNotTouched();
    void insertReadEditRoundTrip();
    void nullColumnsReadAsZero();
    void timesOutsideTheRangeReadAsItsEnds();
    void statementCatalogue();
    void changesAreVisibleToAnotherConnectionAtOnce();
    void editOfAVanishedRowFails();
    void readingIsForwardWithRestart();
    void errorsCarryTheDatabaseText();
    void reusedStatementsServeTwoOpenResults();
    void repositoryStatements_data();
    void repositoryStatements();
    void manyExpandFlagsInOneTransaction();
    void loadGivesTheTreeOfAQueryPerParent();
    void taskTextAsKept_data();
    void taskTextAsKept();
    void writesKeepAnyText_data();
    void writesKeepAnyText();
    void aFailedWriteLeavesTheRecord();
    void writeBatchAtTheEndOfItsScope_data();
    void writeBatchAtTheEndOfItsScope();
};

void TestTaskStore::newFileIsPrivateAndHasBothTables_data()
{
    QTest::addColumn<bool>("emptyFileFirst");
    QTest::newRow("no file") << false;
    QTest::newRow("an empty file others may read") << true;
}

void TestTaskStore::newFileIsPrivateAndHasBothTables()
{
    QFETCH(bool, emptyFileFirst);
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvData.qvb"));
    if (emptyFileFirst) {
        QFile empty(path);
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QVERIFY(empty.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    Connection connection;
    connection.open(path);
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);

    Query query(connection);
    QCOMPARE(Count(query), 0);
    OpenSql(query, QStringLiteral("select * from memos"));
    QCOMPARE(query.fieldNames(), (QStringList{"mid", "pid", "content", "assignTime", "createTime", "editTime"}));
    OpenSql(query, QStringLiteral("select * from tasks where 1=0"));
    QVERIFY(query.eof());
    QCOMPARE(query.fieldNames(),
             (QStringList{"tid", "pid", "content", "checkFlag", "dueFlag", "alarmFlag", "expandFlag", "textColor",
                          "backgroundColor", "createTime", "editTime", "checkTime", "alarmTime", "dueTime"}));
    OpenSql(query, QStringLiteral("PRAGMA journal_mode"));
    QCOMPARE(query.field(0).asString(), QStringLiteral("wal"));

    // Opening again keeps what is there.
    InsertTask(query, RootPid, QStringLiteral("kept"));
    connection.close();
    connection.open(path);
    Query again(connection);
    QCOMPARE(Count(again), 1);
}

void TestTaskStore::foreignFilesAreNeverWritten_data()
{
    // The file's bytes, or the statements that make another program's database.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("sql");
    QTest::newRow("text file") << QByteArray("these are my notes, not a database\n") << QString();
    QByteArray damaged("SQLite format 3\0", 16);
    damaged += QByteArray(4080, '\xff');
    QTest::newRow("damaged header") << damaged << QString();
    QTest::newRow("another program's table") << QByteArray()
                                             << QStringLiteral("create table accounts (id, owner, balance);"
                                                               "insert into accounts values (1, 'me', 10)");
    QTest::newRow("a tasks table of other columns")
        << QByteArray() << QStringLiteral("create table tasks (id integer primary key, title text)");
    QTest::newRow("our tables beside another's")
        << QByteArray()
        << OurTasksTable + QStringLiteral("; create table notes (x)");
    QTest::newRow("another program's application id")
        << QByteArray() << QStringLiteral("PRAGMA application_id=1234");
    QTest::newRow("another program's WAL database")
        << QByteArray() << QStringLiteral("PRAGMA journal_mode=WAL; create table accounts (id); "
                                          "insert into accounts values (1)");
}

void TestTaskStore::foreignFilesAreNeverWritten()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, sql);
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvData.qvb"));
    if (sql.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
    } else {
        sqlite3 *other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);
        content = ReadAll(path);
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const QFileDevice::Permissions mode = QFile::permissions(path);

    Connection connection;
    try {
        connection.open(path);
        QFAIL("opened a file that is not a task database");
    } catch (const AppError &error) {
        QVERIFY2(error.message().contains(path), qPrintable(error.message()));
    }
    QVERIFY(!connection.isOpen());
    QCOMPARE(ReadAll(path), content);
    QCOMPARE(QFile::permissions(path), mode);
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
    QVERIFY(!QFile::exists(path + QStringLiteral("-shm")));
}

void TestTaskStore::aDatabaseWithNothingOrOnlyOursIsTaken_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("an SQLite file with nothing in it") << QStringLiteral("PRAGMA user_version=7");
    QTest::newRow("our tables without our stamp")
        << OurTasksTable + QStringLiteral("; insert into tasks (tid, pid, content) values ('{T}', 'root', 'kept')");
    QTest::newRow("ours with SQLite's statistics")
        << OurTasksTable + QStringLiteral("; create index tasks_by_parent on tasks(pid);"
                                          "insert into tasks (tid, pid, content) values ('{T}', 'root', 'kept');"
                                          "PRAGMA application_id=1364608066; ANALYZE");
}

void TestTaskStore::aDatabaseWithNothingOrOnlyOursIsTaken()
{
    QFETCH(QString, sql);
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvData.qvb"));
    sqlite3 *other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);

    Connection connection;
    connection.open(path);
    Query query(connection);
    OpenSql(query, QStringLiteral("PRAGMA application_id"));
    QVERIFY(query.field(0).asInteger() != 0);
    InsertTask(query, RootPid, QStringLiteral("new"));
    QVERIFY(Contents(query, QStringLiteral("select * from tasks")).contains(QStringLiteral("new")));
}

void TestTaskStore::lockedDatabaseIsReportedNotTouched()
{
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvData.qvb"));
    {
        Connection first;
        first.open(path);
    }
    // Another program holds the file in exclusive locking mode.
    sqlite3 *other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_busy_timeout(other, 0);

    Connection blocked;
    QVERIFY_THROWS_EXCEPTION(AppError, blocked.open(path));
    QVERIFY(!blocked.isOpen());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    Connection later;
    later.open(path);
    Query query(later);
    QCOMPARE(Count(query), 0);
}

void TestTaskStore::insertReadEditRoundTrip()
{
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    Query query(connection);
    const QString text = QStringLiteral("it's a \"test\"\r\nsecond line — ünïcode");
    const QString tid = InsertTask(query, RootPid, text);

    OpenSql(query, QStringLiteral("select * from tasks where tid=") + QuoteSql(tid));
    QVERIFY(!query.eof());
    TTaskInfo info = TaskReader(query).read();
    QCOMPARE(info.tid, tid);
    QCOMPARE(info.pid, RootPid);
    QCOMPARE(info.content, text);
    QCOMPARE(info.createTime, 45000.25);

    query.edit();
    query.field(u"content").setString(QStringLiteral("changed"));
    query.field(u"textColor").setInteger(-16777208);  // a system colour: 0xFF000008
    query.field(u"checkTime").setDateTime(45001.125);
    QCOMPARE(query.field(u"content").asString(), QStringLiteral("changed"));
    query.post();
    QCOMPARE(query.state(), Query::State::Browse);
    QCOMPARE(query.field(u"content").asString(), QStringLiteral("changed"));

    OpenSql(query, QStringLiteral("select * from tasks where tid=") + QuoteSql(tid));
    info = TaskReader(query).read();
    QCOMPARE(info.content, QStringLiteral("changed"));
    QCOMPARE(info.textColor, -16777208);
    QCOMPARE(info.checkTime, 45001.125);
    QCOMPARE(info.createTime, 45000.25);  // untouched columns stay

    // A key column may be changed by an edit too: the row is found by its old key.
    query.edit();
    query.field(u"tid").setString(QStringLiteral("{NEW}"));
    query.post();
    QCOMPARE(Contents(query, QStringLiteral("select * from tasks where tid='{NEW}'")), QStringList{"changed"});
}

void TestTaskStore::timesOutsideTheRangeReadAsItsEnds()
{
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    Query query(connection);
    const QString tid = InsertTask(query, RootPid, QStringLiteral("odd times"));
    ExecSql(query, QStringLiteral("update tasks set createTime=1e15, editTime=-1e15, checkTime=-694000, "
                                  "alarmTime=2958466, dueTime=9e18 where tid=") + QuoteSql(tid));
    const TTaskInfo task = *TaskStore(connection).find(tid);
    for (TDateTime time : {task.createTime, task.alarmTime, task.dueTime})
        QCOMPARE(DateTimeToMs(time), LastDateTimeMs);
    for (TDateTime time : {task.editTime, task.checkTime})
        QCOMPARE(DateTimeToMs(time), FirstDateTimeMs);
    for (TDateTime time : {task.createTime, task.editTime, task.checkTime, task.alarmTime, task.dueTime})
        QVERIFY(DateTimeInRange(time));
}

void TestTaskStore::nullColumnsReadAsZero()
{
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    Query query(connection);
    ExecSql(query, QStringLiteral("insert into tasks (tid, pid, checkFlag, dueFlag, alarmFlag, expandFlag, textColor,"
                                  " backgroundColor) values ('{A}', 'root', null, null, null, null, null, null)"));
    OpenSql(query, QStringLiteral("select * from tasks where tid='{A}'"));
    const TTaskInfo info = TaskReader(query).read();
    TTaskInfo expected;
    expected.tid = QStringLiteral("{A}");
    expected.pid = RootPid;
    QCOMPARE(info, expected);
    QVERIFY(query.field(u"checkTime").isNull());

    // A new row leaves unset columns to the table: expandFlag reads as collapsed.
    InsertTask(query, RootPid, QStringLiteral("fresh"));
    OpenSql(query, QStringLiteral("select * from tasks where content='fresh'"));
    QCOMPARE(query.field(u"expandFlag").asBoolean(), false);
    QCOMPARE(query.field(u"alarmTime").asDateTime(), ZeroDateTime);
}

void TestTaskStore::statementCatalogue()
{
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    Query query(connection);
    const QString parent = InsertTask(query, RootPid, QStringLiteral("parent"));
    const QString other = InsertTask(query, RootPid, QStringLiteral("other"), true);
    InsertTask(query, parent, QStringLiteral("child b"));
    const QString childA = InsertTask(query, parent, QStringLiteral("child a"), true);
    InsertTask(query, other, QStringLiteral("child of other"));
    InsertTask(query, QStringLiteral("{00000000-0000-0000-0000-000000000000}"), QStringLiteral("orphan"));

    QCOMPARE(Count(query), 6);
    QCOMPARE(Contents(query, QStringLiteral("select * from tasks where pid=") + QuoteSql(RootPid)),
             (QStringList{"parent", "other"}));
    QCOMPARE(Contents(query, QStringLiteral("select * from tasks where pid=") + QuoteSql(parent)),
             (QStringList{"child b", "child a"}));
    // The tray summary lists the orphan too, in text order.
    QCOMPARE(Contents(query, QStringLiteral("select content from tasks where checkFlag=False order by content ASC")),
             (QStringList{"child b", "child of other", "orphan", "parent"}));

    ExecSql(query, QStringLiteral("update tasks set expandFlag=True where tid=") + QuoteSql(parent));
    ExecSql(query, QStringLiteral("update tasks set pid=") + QuoteSql(other) + QStringLiteral(" where tid=") +
                       QuoteSql(childA));
    ExecSql(query, QStringLiteral("update tasks set textColor=255, backgroundColor=-16777211 where tid=") +
                       QuoteSql(other));
    QCOMPARE(query.rowsAffected(), 1);
    OpenSql(query, QStringLiteral("select * from tasks where tid=") + QuoteSql(parent));
    QVERIFY(query.field(u"expandFlag").asBoolean());
    OpenSql(query, QStringLiteral("select * from tasks where tid=") + QuoteSql(other));
    QCOMPARE(query.field(u"backgroundColor").asInteger(), -16777211);
    QStringList moved = Contents(query, QStringLiteral("select * from tasks where pid=") + QuoteSql(other));
    moved.sort();  // siblings come in the database's own order
    QCOMPARE(moved, (QStringList{"child a", "child of other"}));

    // Deleting a top-level task is two statements; a sub-task's delete touches only itself.
    ExecSql(query, QStringLiteral("delete from tasks where tid=") + QuoteSql(other));
    ExecSql(query, QStringLiteral("delete from tasks where pid=") + QuoteSql(other));
    QCOMPARE(query.rowsAffected(), 2);
    QCOMPARE(Count(query), 3);

    // The memo statements.
    OpenSql(query, QStringLiteral("select * from memos where 0=1"));
    query.insert();
    query.field(u"mid").setString(QStringLiteral("{M}"));
    query.field(u"pid").setString(RootPid);
    query.field(u"content").setString(QStringLiteral("memo"));
    query.field(u"assignTime").setDateTime(1.5);
    query.post();
    OpenSql(query, QStringLiteral("select * from memos where mid=") + QuoteSql(QStringLiteral("{M}")));
    query.edit();
    query.field(u"content").setString(QStringLiteral("memo'd"));
    query.post();
    QCOMPARE(Contents(query, QStringLiteral("select * from memos")), QStringList{"memo'd"});
}

void TestTaskStore::changesAreVisibleToAnotherConnectionAtOnce()
{
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvData.qvb"));
    Connection writer;
    writer.open(path);
    Query query(writer);
    // An open result on the writer must not hold back what another reader sees.
    InsertTask(query, RootPid, QStringLiteral("a"));
    OpenSql(query, QStringLiteral("select * from tasks"));
    Query second(writer);
    InsertTask(second, RootPid, QStringLiteral("b"));

    Connection reader;
    reader.open(path);
    Query readerQuery(reader);
    QCOMPARE(Count(readerQuery), 2);
}

void TestTaskStore::editOfAVanishedRowFails()
{
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    Query query(connection);
    Query other(connection);
    const QString tid = InsertTask(query, RootPid, QStringLiteral("doomed"));
    OpenSql(query, QStringLiteral("select * from tasks where tid=") + QuoteSql(tid));
    ExecSql(other, QStringLiteral("delete from tasks where tid=") + QuoteSql(tid));
    query.edit();
    query.field(u"content").setString(QStringLiteral("too late"));
    QVERIFY_THROWS_EXCEPTION(AppError, query.post());
    QCOMPARE(Count(other), 0);  // a failed post never brings the row back
}

void TestTaskStore::readingIsForwardWithRestart()
{
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    Query query(connection);
    for (const char *text : {"one", "two", "three"})
        InsertTask(query, RootPid, QString::fromLatin1(text));
    OpenSql(query, QStringLiteral("select * from tasks"));
    QCOMPARE(query.field(u"content").asString(), QStringLiteral("one"));
    query.next();
    query.next();
    QCOMPARE(query.field(u"CONTENT").asString(), QStringLiteral("three"));  // names ignore case
    query.next();
    QVERIFY(query.eof());
    query.next();  // past the end stays at the end
    QVERIFY(query.eof());
    QVERIFY_THROWS_EXCEPTION(AppError, query.field(u"content").asString());
    query.first();
    QCOMPARE(query.field(u"content").asString(), QStringLiteral("one"));
    QVERIFY_THROWS_EXCEPTION(AppError, query.field(u"nosuchcolumn"));
}

void TestTaskStore::errorsCarryTheDatabaseText()
{
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    Query query(connection);
    try {
        ExecSql(query, QStringLiteral("update nosuchtable set x=1"));
        QFAIL("a malformed statement ran");
    } catch (const AppError &error) {
        QVERIFY2(error.message().contains(QStringLiteral("nosuchtable")), qPrintable(error.message()));
    }
    const QString tid = InsertTask(query, RootPid, QStringLiteral("first"));
    OpenSql(query, QStringLiteral("select * from tasks where 1=0"));
    query.insert();
    query.field(u"tid").setString(tid);  // ids are unique
    QVERIFY_THROWS_EXCEPTION(AppError, query.post());
    QCOMPARE(Count(query), 1);
}

void TestTaskStore::reusedStatementsServeTwoOpenResults()
{
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    Query outer(connection);
    Query inner(connection);
    const QString a = InsertTask(outer, RootPid, QStringLiteral("a"));
    InsertTask(outer, a, QStringLiteral("a1"));
    const QString b = InsertTask(outer, RootPid, QStringLiteral("b"));
    InsertTask(outer, b, QStringLiteral("b1"));
    InsertTask(outer, b, QStringLiteral("b2"));
    // Both queries send the same text with different values.
    const QString children = QStringLiteral("select * from tasks where pid=?");
    QStringList seen;
    outer.open(children, {RootPid});
    for (; !outer.eof(); outer.next()) {
        seen.append(outer.field(u"content").asString());
        inner.open(children, {outer.field(u"tid").asString()});
        for (; !inner.eof(); inner.next())
            seen.append(QStringLiteral("  ") + inner.field(u"content").asString());
    }
    QCOMPARE(seen, (QStringList{"a", "  a1", "b", "  b1", "  b2"}));
    // A literal where the language takes no parameter still works as written.
    OpenSql(outer, QStringLiteral("select * from 'tasks' where content='b'"));
    QCOMPARE(outer.field(u"tid").asString(), b);
}

// What the repository sends, in order: each statement's plan names the index it uses
// (empty for a statement without one), so both the order of effects and the indexes
// behind the hot statements show.
void TestTaskStore::repositoryStatements_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("indexes");
    const QString byParent = QStringLiteral("tasks_by_parent");
    const QString byTid = QStringLiteral("sqlite_autoindex_tasks_1");
    QTest::newRow("load: one pass over the table") << "load" << QStringList{QStringLiteral("SCAN tasks")};
    QTest::newRow("move with sub-tasks: they go first") << "move with sub-tasks" << QStringList{byParent, byTid};
    QTest::newRow("move a sub-task") << "move" << QStringList{byTid};
    QTest::newRow("remove: the task, then its sub-tasks") << "remove" << QStringList{byTid, byParent};
    QTest::newRow("text: one row read and written") << "text" << QStringList{byTid, byTid};
    QTest::newRow("colours") << "colours" << QStringList{byTid};
    QTest::newRow("expanded") << "expanded" << QStringList{byTid};
    QTest::newRow("summary in text order without sorting")
        << "summary" << QStringList{QStringLiteral("tasks_incomplete_by_content")};
    QTest::newRow("find") << "find" << QStringList{byTid};
}

void TestTaskStore::repositoryStatements()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, indexes);
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    TaskStore store(connection);
    TTaskInfo parent = Task(RootPid, QStringLiteral("parent"));
    store.insertNew(parent);
    TTaskInfo other = Task(RootPid, QStringLiteral("other"));
    store.insertNew(other);
    TTaskInfo child = Task(parent.tid, QStringLiteral("child"));
    store.insertNew(child);

    QStringList sent;
    const auto trace = [](unsigned, void *context, void *, void *sql) {
        // Triggers' programs are traced as "-- TRIGGER name": not statements we send.
        const QString text = QString::fromUtf8(static_cast<const char *>(sql));
        if (!text.startsWith(QLatin1String("-- ")))
            static_cast<QStringList *>(context)->append(text);
        return 0;
    };
    sqlite3_trace_v2(connection.handle(), SQLITE_TRACE_STMT, trace, &sent);
    if (operation == u"load") {
        TaskSnapshot snapshot;
        store.load(snapshot);
    } else if (operation == u"move with sub-tasks") {
        store.move(parent.tid, other.tid, true);
    } else if (operation == u"move") {
        store.move(child.tid, other.tid, false);
    } else if (operation == u"remove") {
        store.remove(parent.tid);
    } else if (operation == u"text") {
        store.storeText(child, QStringLiteral("new"));
    } else if (operation == u"colours") {
        store.storeColors(child.tid, 255, 0);
    } else if (operation == u"expanded") {
        store.storeExpandFlag(parent.tid, true);
    } else if (operation == u"summary") {
        store.incompleteTexts(4);
    } else if (operation == u"find") {
        store.find(child.tid);
    }
    sqlite3_trace_v2(connection.handle(), 0, nullptr, nullptr);

    QCOMPARE(sent.size(), indexes.size());
    for (qsizetype i = 0; i < sent.size(); ++i) {
        QVERIFY2(!sent[i].contains(QLatin1Char('\'')), qPrintable(sent[i]));  // no value spliced into the text
        const QString plan = QueryPlan(connection, sent[i]);
        QVERIFY2(plan.contains(indexes[i]), qPrintable(sent[i] + QStringLiteral(": ") + plan));
        QVERIFY2(!plan.contains(QStringLiteral("TEMP B-TREE")), qPrintable(plan));
    }
}

void TestTaskStore::manyExpandFlagsInOneTransaction()
{
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    TaskStore store(connection);
    TTaskInfo first = Task(RootPid, QStringLiteral("first"));
    store.insertNew(first);
    TTaskInfo second = Task(RootPid, QStringLiteral("second"));
    store.insertNew(second);
    TTaskInfo untouched = Task(RootPid, QStringLiteral("untouched"));
    store.insertNew(untouched);

    QStringList sent;
    const auto trace = [](unsigned, void *context, void *, void *sql) {
        // Triggers' programs are traced as "-- TRIGGER name": not statements we send.
        const QString text = QString::fromUtf8(static_cast<const char *>(sql));
        if (!text.startsWith(QLatin1String("-- ")))
            static_cast<QStringList *>(context)->append(text);
        return 0;
    };
    sqlite3_trace_v2(connection.handle(), SQLITE_TRACE_STMT, trace, &sent);
    store.storeExpandFlags({first.tid, second.tid, QStringLiteral("{gone}")}, true);
    sqlite3_trace_v2(connection.handle(), 0, nullptr, nullptr);

    QVERIFY(store.find(first.tid)->expandFlag);
    QVERIFY(store.find(second.tid)->expandFlag);
    QVERIFY(!store.find(untouched.tid)->expandFlag);
    QVERIFY(!connection.inTransaction());
    QCOMPARE(sent.size(), 5);  // begin, an update per id, commit
    QVERIFY2(sent.front().startsWith(QStringLiteral("BEGIN"), Qt::CaseInsensitive), qPrintable(sent.front()));
    QVERIFY2(sent.back().startsWith(QStringLiteral("COMMIT"), Qt::CaseInsensitive), qPrintable(sent.back()));

    store.storeExpandFlags({first.tid}, false);
    QVERIFY(!store.find(first.tid)->expandFlag);
    QVERIFY(store.find(second.tid)->expandFlag);
}

// The one-query load against the loader it replaced: the top-level rows, then a query
// per top-level task, on a table written out of order with every awkward link.
void TestTaskStore::loadGivesTheTreeOfAQueryPerParent()
{
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    Query query(connection);
    ExecSql(query, QStringLiteral("insert into tasks (tid, pid, content) values "
                                  "('c1', 'p2', 'child before its parent'), ('p1', 'root', 'first'), "
                                  "('g1', 'c1', 'under a sub-task'), ('o1', 'gone', 'orphan'), "
                                  "(null, 'root', 'no id'), ('n1', null, 'no parent'), ('p2', 'root', 'second'), "
                                  "('c2', 'p1', 'child'), ('root', 'root', 'named root'), ('c3', 'p2', 'last'), "
                                  "(null, 'root', 'no id again'), ('e1', '', 'empty parent'), ('', 'root', 'empty id'), ('e2', '', 'empty parent again')"));
    ExecSql(query, QStringLiteral("delete from tasks where tid='c2'"));
    ExecSql(query, QStringLiteral("insert into tasks (tid, pid, content) values ('c2', 'p1', 'child again')"));

    TaskSnapshot expected;
    Query children(connection);
    query.open(QStringLiteral("select * from tasks where pid=?"), {RootPid});
    for (const TaskReader reader(query); !query.eof(); query.next()) {
        TaskWithSubTasks &entry = expected.emplace_back();
        entry.task = reader.read();
        children.open(QStringLiteral("select * from tasks where pid=?"), {entry.task.tid});
        for (const TaskReader childReader(children); !children.eof(); children.next())
            entry.subTasks.push_back(childReader.read());
    }
    query.close();
    children.close();
    QCOMPARE(expected.size(), size_t(6));

    TaskSnapshot loaded;
    TaskStore(connection).load(loaded);
    QCOMPARE(loaded.size(), expected.size());
    for (size_t i = 0; i < loaded.size(); ++i) {
        QCOMPARE(loaded[i].task.content, expected[i].task.content);
        QVERIFY(loaded[i].task == expected[i].task);
        QCOMPARE(loaded[i].subTasks.size(), expected[i].subTasks.size());
        QVERIFY(loaded[i].subTasks == expected[i].subTasks);
    }
}

void TestTaskStore::taskTextAsKept_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::newRow("LF") << QStringLiteral("a\nb") << QStringLiteral("a\r\nb");
    QTest::newRow("lone CR") << QStringLiteral("a\rb") << QStringLiteral("a\r\nb");
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QStringLiteral("a\r\nb");
    QTest::newRow("CR before CR LF") << QStringLiteral("a\r\r\nb") << QStringLiteral("a\r\n\r\nb");
    QTest::newRow("LF CR is two breaks") << QStringLiteral("a\n\rb") << QStringLiteral("a\r\n\r\nb");
    QTest::newRow("empty lines inside stay") << QStringLiteral("a\n\nb") << QStringLiteral("a\r\n\r\nb");
    QTest::newRow("trailing breaks and blanks go") << QStringLiteral("a\r\n \t\r") << QStringLiteral("a");
    QTest::newRow("leading blanks and breaks stay") << QStringLiteral("\n  a") << QStringLiteral("\r\n  a");
    QTest::newRow("no break") << QStringLiteral("plain\ttab") << QStringLiteral("plain\ttab");
    QTest::newRow("controls XML cannot hold go")
        << QStringLiteral("a\x01" "b\x1b[0m\x0b\uFFFEc\x7f") + QChar(0xD800) << QStringLiteral("ab[0mc\x7f");
    QTest::newRow("a surrogate pair stays, a lone one goes")
        << QChar(0xDC00) + QStringLiteral("x\U0001F600\x02y\u00e9\U0001F600") + QChar(0xD800) + QStringLiteral("z")
        << QStringLiteral("x\U0001F600y\u00e9\U0001F600z");
    QTest::newRow("breaks at both ends") << QStringLiteral("\nab\rc\n") << QStringLiteral("\r\nab\r\nc");
}

void TestTaskStore::taskTextAsKept()
{
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QCOMPARE(TrimTaskText(text), kept);
}

void TestTaskStore::writesKeepAnyText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("plain");
    QTest::newRow("quotes") << QStringLiteral("it's ''doubled'' and \"double\"");
    QTest::newRow("non-ASCII") << QStringLiteral("ünïcode — 日本語 😀");
    QTest::newRow("statement-like") << QStringLiteral("x'); delete from tasks; --");
    QTest::newRow("question mark") << QStringLiteral("? and ?1");
}

void TestTaskStore::writesKeepAnyText()
{
    QFETCH(QString, text);
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    TaskStore store(connection);
    TTaskInfo bystander = Task(RootPid, QStringLiteral("bystander"));
    store.insertNew(bystander);

    // The text as a task's text, and as the ids a row is found by.
    Query query(connection);
    ExecSql(query, QStringLiteral("insert into tasks (tid, pid, content) values (%1, 'root', 'parent')")
                       .arg(QuoteSql(text)));
    TTaskInfo child = Task(text, text);
    store.insertNew(child);
    TTaskInfo parent = *store.find(text);
    store.storeText(parent, text + text);
    store.storeCheck(parent, true);
    store.storeColors(text, 7, 8);
    store.storeExpandFlag(text, true);

    TaskSnapshot snapshot;
    store.load(snapshot);
    QCOMPARE(snapshot.size(), size_t(2));
    const TaskWithSubTasks &loaded = snapshot[1];
    QCOMPARE(loaded.task.tid, text);
    QCOMPARE(loaded.task.content, text + text);
    QVERIFY(loaded.task.checkFlag);
    QVERIFY(loaded.task.expandFlag);
    QCOMPARE(loaded.task.textColor, 7);
    QCOMPARE(loaded.task.backgroundColor, 8);
    QCOMPARE(loaded.subTasks.size(), size_t(1));
    QCOMPARE(loaded.subTasks[0].content, text);
    QStringList incomplete{QStringLiteral("bystander"), text};
    incomplete.sort();  // code-point order, which is the bytes' order for these texts
    QCOMPARE(store.incompleteTexts(4), incomplete);

    store.move(child.tid, bystander.tid, false);
    QCOMPARE(store.find(child.tid)->pid, bystander.tid);
    store.remove(text);
    QCOMPARE(store.count(), 2);
}

void TestTaskStore::aFailedWriteLeavesTheRecord()
{
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    TaskStore store(connection);
    TTaskInfo task = Task(RootPid, QStringLiteral("before"));
    store.insertNew(task);
    const TTaskInfo stored = task;
    store.remove(task.tid);
    QVERIFY_THROWS_EXCEPTION(AppError, store.storeText(task, QStringLiteral("after")));
    QVERIFY_THROWS_EXCEPTION(AppError, store.storeCheck(task, true));
    QCOMPARE(task, stored);
    QCOMPARE(store.count(), 0);  // and no row came back
}

void TestTaskStore::writeBatchAtTheEndOfItsScope_data()
{
    QTest::addColumn<bool>("rollBack");
    QTest::addColumn<bool>("error");
    QTest::addColumn<int>("kept");
    QTest::newRow("commit mode keeps writes") << false << false << 2;
    QTest::newRow("commit mode keeps writes made before an error") << false << true << 2;
    QTest::newRow("roll-back mode drops what was not committed") << true << false << 1;
    QTest::newRow("roll-back mode after an error") << true << true << 1;
}

void TestTaskStore::writeBatchAtTheEndOfItsScope()
{
    QFETCH(bool, rollBack);
    QFETCH(bool, error);
    QFETCH(int, kept);
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvData.qvb"));
    Connection connection;
    connection.open(path);
    Query query(connection);
    Connection reader;
    reader.open(path);
    Query readerQuery(reader);
    try {
        WriteBatch batch(connection, rollBack ? WriteBatch::Unfinished::RollBack : WriteBatch::Unfinished::Commit);
        InsertTask(query, RootPid, QStringLiteral("committed"));
        batch.commit();
        QCOMPARE(Count(readerQuery), 1);
        batch.begin();  // the next part of the pass
        InsertTask(query, RootPid, QStringLiteral("unfinished"));
        {
            WriteBatch nested(connection);  // inside another: does nothing
            nested.commit();
        }
        QCOMPARE(Count(readerQuery), 1);
        if (error)
            throw AppError(QStringLiteral("on its way"));
    } catch (const AppError &) {
    }
    QVERIFY(!connection.inTransaction());
    QCOMPARE(Count(readerQuery), kept);
}

QTEST_GUILESS_MAIN(TestTaskStore)
#include "tst_taskstore.moc"
