// The task database: creation, refusal to touch what is not ours, the statements the
// program sends, single-row edit and insert, and the indexes behind the hot queries.

#include "store/AppError.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/TaskInfo.h"
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
    void newFileIsPrivateAndHasBothTables();
    void foreignFilesAreNeverWritten_data();
    void foreignFilesAreNeverWritten();
    void lockedDatabaseIsReportedNotTouched();
    void insertReadEditRoundTrip();
    void nullColumnsReadAsZero();
    void statementCatalogue();
    void changesAreVisibleToAnotherConnectionAtOnce();
    void editOfAVanishedRowFails();
    void readingIsForwardWithRestart();
    void errorsCarryTheDatabaseText();
    void literalsBecomeParameters_data();
    void literalsBecomeParameters();
    void reusedStatementsServeTwoOpenResults();
    void hotQueriesUseIndexes_data();
    void hotQueriesUseIndexes();
};

void TestTaskStore::newFileIsPrivateAndHasBothTables()
{
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvData.qvb"));
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
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text file") << QByteArray("these are my notes, not a database\n");
    QByteArray damaged("SQLite format 3\0", 16);
    damaged += QByteArray(4080, '\xff');
    QTest::newRow("damaged header") << damaged;
}

void TestTaskStore::foreignFilesAreNeverWritten()
{
    QFETCH(QByteArray, content);
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvData.qvb"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    Connection connection;
    try {
        connection.open(path);
        QFAIL("opened a file that is not a task database");
    } catch (const AppError &error) {
        QVERIFY2(error.message().contains(path), qPrintable(error.message()));
    }
    QVERIFY(!connection.isOpen());
    QCOMPARE(ReadAll(path), content);
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")) || ReadAll(path + QStringLiteral("-wal")).isEmpty());
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

void TestTaskStore::literalsBecomeParameters_data()
{
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<QByteArray>("normalized");  // empty: prepared as written
    QTest::addColumn<QList<QByteArray>>("literals");
    QTest::newRow("one literal") << QByteArray("select * from tasks where pid='root'")
                                 << QByteArray("select * from tasks where pid=?") << QList<QByteArray>{"root"};
    QTest::newRow("doubled quotes") << QByteArray("update tasks set content='it''s' where tid='{A}'")
                                    << QByteArray("update tasks set content=? where tid=?")
                                    << QList<QByteArray>{"it's", "{A}"};
    QTest::newRow("empty literal") << QByteArray("delete from tasks where tid=''")
                                   << QByteArray("delete from tasks where tid=?") << QList<QByteArray>{""};
    QTest::newRow("quoted names stay") << QByteArray("select \"a'b\" from [x'y] where c='v' -- it's\n")
                                       << QByteArray("select \"a'b\" from [x'y] where c=? -- it's\n")
                                       << QList<QByteArray>{"v"};
    QTest::newRow("no literal") << QByteArray("select count(*) as cnt from tasks") << QByteArray()
                                << QList<QByteArray>{};
    QTest::newRow("not a query") << QByteArray("PRAGMA journal_mode='wal'") << QByteArray() << QList<QByteArray>{};
    QTest::newRow("unterminated") << QByteArray("select 'oops") << QByteArray() << QList<QByteArray>{};
}

void TestTaskStore::literalsBecomeParameters()
{
    QFETCH(QByteArray, sql);
    QFETCH(QByteArray, normalized);
    QFETCH(QList<QByteArray>, literals);
    QByteArray actual;
    std::vector<QByteArray> values;
    const bool changed = ParameterizeLiterals(sql, actual, values);
    QCOMPARE(changed, !normalized.isEmpty());
    if (changed) {
        QCOMPARE(actual, normalized);
        QCOMPARE(QList<QByteArray>(values.begin(), values.end()), literals);
    }
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
    // Both queries have the same shape once their literals are parameters.
    QStringList seen;
    OpenSql(outer, QStringLiteral("select * from tasks where pid='root'"));
    for (; !outer.eof(); outer.next()) {
        seen.append(outer.field(u"content").asString());
        OpenSql(inner, QStringLiteral("select * from tasks where pid=") + QuoteSql(outer.field(u"tid").asString()));
        for (; !inner.eof(); inner.next())
            seen.append(QStringLiteral("  ") + inner.field(u"content").asString());
    }
    QCOMPARE(seen, (QStringList{"a", "  a1", "b", "  b1", "  b2"}));
    // A literal where the language takes no parameter still works as written.
    OpenSql(outer, QStringLiteral("select * from 'tasks' where content='b'"));
    QCOMPARE(outer.field(u"tid").asString(), b);
}

void TestTaskStore::hotQueriesUseIndexes_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("index");
    QTest::newRow("children") << QStringLiteral("select * from tasks where pid='root'") << QStringLiteral("tasks_by_parent");
    QTest::newRow("one row") << QStringLiteral("select * from tasks where tid='{X}'") << QStringLiteral("sqlite_autoindex_tasks_1");
    QTest::newRow("delete children") << QStringLiteral("delete from tasks where pid='{X}'") << QStringLiteral("tasks_by_parent");
    QTest::newRow("tray summary")
        << QStringLiteral("select content from tasks where checkFlag=False order by content ASC")
        << QStringLiteral("tasks_incomplete_by_content");
}

void TestTaskStore::hotQueriesUseIndexes()
{
    QFETCH(QString, sql);
    QFETCH(QString, index);
    TestDataFolder folder;
    Connection connection;
    connection.open(folder.file(QStringLiteral("qvData.qvb")));
    const QString plan = QueryPlan(connection, sql);
    QVERIFY2(plan.contains(index), qPrintable(plan));
    QVERIFY2(!plan.contains(QStringLiteral("TEMP B-TREE")), qPrintable(plan));  // no sort per query
}

QTEST_GUILESS_MAIN(TestTaskStore)
#include "tst_taskstore.moc"
