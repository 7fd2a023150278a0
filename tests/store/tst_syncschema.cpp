// The sync tables: an older file is brought up to them without losing a row, and a
// synced task's delete leaves a tombstone by any path, which a restore of the same task
// takes back.

#include "store/Connection.h"
#include "store/TaskStore.h"
#include "support/TestDataFolder.h"

#include <QTest>

#include <sqlite3.h>

using namespace quillpad;

namespace {

// What a file of the first version holds: our tables, our stamp, version 1.
const char *const VersionOneSql =
    "create table tasks (tid TEXT PRIMARY KEY, pid TEXT, content TEXT, checkFlag INTEGER DEFAULT 0, "
    "dueFlag INTEGER DEFAULT 0, alarmFlag INTEGER DEFAULT 0, expandFlag INTEGER DEFAULT 0, "
    "textColor INTEGER DEFAULT 0, backgroundColor INTEGER DEFAULT 0, createTime REAL, editTime REAL, "
    "checkTime REAL, alarmTime REAL, dueTime REAL);"
    "create index tasks_by_parent on tasks(pid);"
    "create table memos (mid TEXT PRIMARY KEY, pid TEXT, content TEXT, assignTime REAL, createTime REAL, "
    "editTime REAL);"
    "insert into tasks (tid, pid, content) values ('{A}', 'root', 'kept'), ('{B}', '{A}', 'child');"
    "PRAGMA application_id=1364608066; PRAGMA user_version=1";

// Version 2 added the sync tables, without the server's UID.
const char *const VersionTwoSyncSql =
    "create table sync_state (tid TEXT PRIMARY KEY, href TEXT NOT NULL, etag TEXT, fingerprint TEXT, ics TEXT, "
    "shown_pid TEXT);"
    "create table sync_tombstones (tid TEXT PRIMARY KEY, href TEXT NOT NULL, etag TEXT, ics TEXT, shown_pid TEXT);"
    "create table sync_meta (key TEXT PRIMARY KEY, value TEXT);"
    "create trigger sync_task_deleted after delete on tasks when exists (select 1 from sync_state where tid=OLD.tid) "
    "begin insert or replace into sync_tombstones (tid, href, etag, ics, shown_pid) select tid, href, etag, ics, "
    "shown_pid from sync_state where tid=OLD.tid; delete from sync_state where tid=OLD.tid; end;"
    "insert into sync_state values ('{A}', '/c/a.ics', '\"1\"', 'f', 'BEGIN:VCALENDAR', 'root');"
    "insert into sync_meta values ('sync-token /c/', 'http://t/1');"
    "PRAGMA user_version=2";

QString One(Connection &db, const char *sql)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &stmt, nullptr) != SQLITE_OK)
        return QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db.handle()));
    QStringList values;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        values.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))));
    sqlite3_finalize(stmt);
    return values.join(QLatin1Char(','));
}

}  // namespace

class TestSyncSchema : public QObject {
    Q_OBJECT
private slots:
    void olderFileIsMigratedWithItsRows_data();
    void olderFileIsMigratedWithItsRows();
    void deleteOfASyncedTaskLeavesATombstone();
    void taskInsertedAgainTakesItsTombstoneBack();
};

void TestSyncSchema::olderFileIsMigratedWithItsRows_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("state");
    QTest::newRow("version 1") << QString::fromUtf8(VersionOneSql) << QString();
    QTest::newRow("version 2") << QString::fromUtf8(VersionOneSql) + QLatin1Char(';') + QString::fromUtf8(VersionTwoSyncSql)
                               << QStringLiteral("{A} /c/a.ics \"1\" f root -");
}

void TestSyncSchema::olderFileIsMigratedWithItsRows()
{
    QFETCH(QString, sql);
    QFETCH(QString, state);
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvData.qvb"));
    sqlite3 *old = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &old), SQLITE_OK);
    QCOMPARE(sqlite3_exec(old, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(old);

    for (int pass = 0; pass < 2; ++pass) {  // the second open finds nothing to do
        Connection db;
        db.open(path);
        QCOMPARE(One(db, "PRAGMA user_version"), QStringLiteral("3"));
        QCOMPARE(One(db, "select content from tasks order by tid"), QStringLiteral("kept,child"));
        QCOMPARE(One(db, "select name from sqlite_master where name like 'sync%' order by name"),
                 QStringLiteral("sync_meta,sync_others,sync_state,sync_task_deleted,sync_task_inserted,sync_tombstones"));
        QCOMPARE(One(db, "select tid || ' ' || href || ' ' || etag || ' ' || fingerprint || ' ' || shown_pid || ' ' || "
                         "ifnull(uid, '-') from sync_state"),
                 state);
    }
    // The triggers of the new layout: the UID goes with a delete and comes back with a restore.
    Connection db;
    db.open(path);
    db.execute(QStringLiteral("insert or replace into sync_state (tid, href, uid) values ('{A}', '/c/a.ics', 'root')"));
    db.execute(QStringLiteral("delete from tasks where tid='{A}'"));
    QCOMPARE(One(db, "select tid || ' ' || uid from sync_tombstones"), QStringLiteral("{A} root"));
    db.execute(QStringLiteral("insert into tasks (tid, pid, content) values ('{A}', 'root', 'back')"));
    QCOMPARE(One(db, "select tid || ' ' || uid from sync_state"), QStringLiteral("{A} root"));
}

void TestSyncSchema::deleteOfASyncedTaskLeavesATombstone()
{
    TestDataFolder folder;
    Connection db;
    db.open(folder.file(QStringLiteral("qvData.qvb")));
    db.execute(QStringLiteral("insert into tasks (tid, pid, content) values ('{A}', 'root', 'a'), "
                              "('{B}', '{A}', 'b'), ('{C}', 'root', 'never synced')"));
    db.execute(QStringLiteral("insert into sync_state (tid, href, etag, fingerprint) values ('{A}', '/c/a.ics', '\"1\"', 'f'), "
                              "('{B}', '/c/b.ics', '\"2\"', 'g')"));
    TaskStore store(db);
    store.remove(QStringLiteral("{A}"));  // the sub-task goes with it
    db.execute(QStringLiteral("delete from tasks where tid='{C}'"));
    QCOMPARE(One(db, "select tid || ' ' || href || ' ' || etag from sync_tombstones order by tid"),
             QStringLiteral("{A} /c/a.ics \"1\",{B} /c/b.ics \"2\""));
    QCOMPARE(One(db, "select count(*) from sync_state"), QStringLiteral("0"));
}

void TestSyncSchema::taskInsertedAgainTakesItsTombstoneBack()
{
    TestDataFolder folder;
    Connection db;
    db.open(folder.file(QStringLiteral("qvData.qvb")));
    db.execute(QStringLiteral("insert into tasks (tid, pid, content) values ('{A}', 'root', 'a')"));
    db.execute(QStringLiteral("insert into sync_state (tid, href, etag, fingerprint, ics, shown_pid) values ('{A}', "
                              "'/c/a.ics', '\"1\"', 'f', 'BEGIN:VCALENDAR', 'root')"));
    // A restore: everything out, the same tasks back in.
    db.execute(QStringLiteral("delete from tasks"));
    db.execute(QStringLiteral("insert into tasks (tid, pid, content) values ('{A}', 'root', 'a')"));
    QCOMPARE(One(db, "select count(*) from sync_tombstones"), QStringLiteral("0"));
    // Known to the server, but to be compared again: no fingerprint.
    // Known to the server as it was, another client's properties too.
    QCOMPARE(One(db, "select href || ' ' || etag || ' ' || ifnull(fingerprint, '-') || ' ' || ics || ' ' || shown_pid "
                     "from sync_state"),
             QStringLiteral("/c/a.ics \"1\" - BEGIN:VCALENDAR root"));
}

QTEST_GUILESS_MAIN(TestSyncSchema)
#include "tst_syncschema.moc"
