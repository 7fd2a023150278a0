// Writes the fuzzer's seed corpus with the program's own writers: a backup of a database
// that holds a bit of everything (sub-tasks, an orphan, memos, line breaks, every kind of
// character, times at the ends of the range and before 1900, null flags), an export of
// some of its tasks, and a backup of an empty database. Each file is written once per
// pass of the fuzzer (the first byte), as the file and as its XML text.
// Usage: fuzz_seeds FOLDER

#include "FuzzDatabase.h"

#include "interchange/Dm_Io.h"
#include "interchange/ExportTasks.h"
#include "interchange/QvxContainer.h"
#include "store/Query.h"
#include "store/TaskStore.h"
#include "store/pU_Funcs.h"
#include "tasks/TaskLoading.h"
#include "tasks/TaskTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <utility>

using namespace quillpad;

namespace {

void AddTask(Connection &connection, const QString &tid, const QString &pid, const QString &content, TDateTime time)
{
    Query query(connection);
    TaskStore::openForInsert(query, TaskStore::Table::Tasks);
    query.insert();
    query.field(u"tid").setString(tid);
    query.field(u"pid").setString(pid);
    query.field(u"content").setString(content);
    query.field(u"checkFlag").setBoolean(tid.size() % 2 == 0);
    query.field(u"alarmFlag").setBoolean(true);
    query.field(u"dueFlag").setBoolean(false);
    query.field(u"textColor").setInteger(0x00336699);
    query.field(u"backgroundColor").setInteger(-16777211);
    for (const char16_t *column : {u"createTime", u"editTime", u"checkTime", u"alarmTime", u"dueTime"})
        query.field(QStringView(column)).setDateTime(time);
    query.post();
}

void AddMemo(Connection &connection, const QString &mid, const QString &pid, const QString &content, TDateTime time)
{
    Query query(connection);
    TaskStore::openForInsert(query, TaskStore::Table::Memos);
    query.insert();
    query.field(u"mid").setString(mid);
    query.field(u"pid").setString(pid);
    query.field(u"content").setString(content);
    for (const char16_t *column : {u"assignTime", u"createTime", u"editTime"})
        query.field(QStringView(column)).setDateTime(time);
    query.post();
}

bool WriteSeed(const QString &folder, const QString &name, const QString &file)
{
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = source.readAll();
    source.seek(0);
    const QByteArray xml = ReadQvxContainer(source);
    for (char pass = 0; pass < 4; ++pass) {
        // The file as written, and its XML text for the fuzzer to pack.
        for (const auto &[form, content] : {std::pair{char(0), bytes}, std::pair{char(4), xml}}) {
            QFile seed(folder + QStringLiteral("/%1-%2").arg(name).arg(int(pass | form)));
            if (!seed.open(QIODevice::WriteOnly) || seed.write(QByteArray(1, char(pass | form)) + content) < 0)
                return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    QCoreApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    fuzz::FuzzFolder data;
    fuzz::Answers answers;
    Prompter::install(&answers);
    try {
        Connection connection;
        data.openEmpty(connection, QStringLiteral("qvData.qvb"));
        if (!TIoDm(connection).BackupDatabaseTo(data.file(QStringLiteral("empty.qvx"))))
            return 1;

        const QString parent = NewGuid();
        AddTask(connection, parent, RootPid, QStringLiteral("parent\r\nsecond line & <markup> \"quoted\" 'it''s'"),
                EncodeDateTime(QDate(2026, 3, 5), QTime(7, 4, 9, 876)));
        AddTask(connection, NewGuid(), parent, QStringLiteral("child\ttab \u00e4\u20ac\U0001F600"),
                EncodeDateTime(QDate(1, 1, 1)));
        AddTask(connection, NewGuid(), parent, QStringLiteral("last day"),
                EncodeDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));
        AddTask(connection, NewGuid(), QStringLiteral("{GONE}"), QStringLiteral("orphan"),
                EncodeDateTime(QDate(1899, 12, 29), QTime(6, 0)));
        AddTask(connection, NewGuid(), RootPid, QString(), ZeroDateTime);
        AddMemo(connection, QStringLiteral("{M1}"), RootPid, QStringLiteral("memo\r\ntext"),
                EncodeDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
        AddMemo(connection, QStringLiteral("{M2}"), QStringLiteral("{M1}"), QStringLiteral("sub memo"), ZeroDateTime);
        Query nulls(connection);
        nulls.execute(QStringLiteral("update tasks set checkFlag=NULL, textColor=NULL where content='orphan'"), {});

        if (!TIoDm(connection).BackupDatabaseTo(data.file(QStringLiteral("backup.qvx"))))
            return 1;
        TaskTree tree;
        TaskStore store(connection);
        LoadTaskTree(tree, store);
        if (!ExportTasksXml(data.file(QStringLiteral("export.qvx")), SnapshotOf({tree.findByTid(parent)})))
            return 1;
    } catch (...) {
        std::fprintf(stderr, "fuzz_seeds: the database could not be filled\n");
        return 1;
    }
    for (const char *name : {"empty", "backup", "export"}) {
        if (!WriteSeed(folder, QString::fromLatin1(name), data.file(QString::fromLatin1(name) + QStringLiteral(".qvx"))))
            return 1;
    }
    return 0;
}
