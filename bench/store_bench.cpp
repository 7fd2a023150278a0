// Times the task store on a database of N tasks: creating it, opening it, loading the
// tree, the task count and the tray summary. Each figure of our layer stands beside the
// same work done with the bare SQLite C API on the same connection, so the cost of the
// layer shows. Usage: quillpad-bench-store [tasks] [repetitions]

#include "BenchData.h"
#include "BenchTiming.h"

#include "store/Clock.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/TaskInfo.h"
#include "store/TaskStore.h"
#include "store/pU_Funcs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace quillpad;

using namespace BenchTiming;

namespace {

const QString TopLevelSql = QStringLiteral("select * from tasks where pid=") + QuoteSql(RootPid);
const QString CountSql = QStringLiteral("select count(*) as cnt from tasks");
const QString TraySql = QStringLiteral("select content from tasks where checkFlag=False order by content ASC");
const QString AllSql = QStringLiteral("select * from tasks");
constexpr int TrayPeek = 5;  // four entries, and one more to know whether " ..." follows

QString ChildSql(const QString &tid)
{
    return QStringLiteral("select * from tasks where pid=") + QuoteSql(tid);
}

// ---- timing ----------------------------------------------------------------------

struct Row {
    std::string operation;
    double ours;
    double raw;
};

// Runs both sides `repetitions` times, alternating, and keeps the medians.
Row Measure(const std::string &operation, int repetitions, const std::function<void()> &ours,
            const std::function<void()> &raw)
{
    std::vector<double> oursMs, rawMs;
    for (int i = 0; i < repetitions; ++i) {
        oursMs.push_back(TimeMs(ours));
        rawMs.push_back(TimeMs(raw));
    }
    return {operation, Median(oursMs), Median(rawMs)};
}

// ---- the bare C API --------------------------------------------------------------

class RawStatement {
public:
    RawStatement(sqlite3 *db, const QString &sql)
    {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()), &m_stmt, nullptr) != SQLITE_OK)
            Fail(std::string("prepare: ") + sqlite3_errmsg(db));
    }
    ~RawStatement() { sqlite3_finalize(m_stmt); }
    RawStatement(const RawStatement &) = delete;
    RawStatement &operator=(const RawStatement &) = delete;
    sqlite3_stmt *get() const { return m_stmt; }
    bool step() const
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            Fail(std::string("step: ") + sqlite3_errstr(rc));
        return rc == SQLITE_ROW;
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

QString RawText(sqlite3_stmt *stmt, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                             sqlite3_column_bytes(stmt, column));
}

// Column positions of a "select * from tasks" result, looked up once per statement.
struct RawTaskColumns {
    explicit RawTaskColumns(sqlite3_stmt *stmt)
    {
        const auto find = [stmt](const char *name) {
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                if (sqlite3_stricmp(sqlite3_column_name(stmt, i), name) == 0)
                    return i;
            }
            Fail(std::string("no column ") + name);
        };
        tid = find("tid"), pid = find("pid"), content = find("content");
        checkFlag = find("checkFlag"), dueFlag = find("dueFlag"), alarmFlag = find("alarmFlag");
        expandFlag = find("expandFlag"), textColor = find("textColor"), backgroundColor = find("backgroundColor");
        createTime = find("createTime"), editTime = find("editTime"), checkTime = find("checkTime");
        alarmTime = find("alarmTime"), dueTime = find("dueTime");
    }
    TTaskInfo read(sqlite3_stmt *stmt) const
    {
        TTaskInfo info;
        info.tid = RawText(stmt, tid);
        info.pid = RawText(stmt, pid);
        info.content = RawText(stmt, content);
        info.checkFlag = sqlite3_column_int(stmt, checkFlag) != 0;
        info.dueFlag = sqlite3_column_int(stmt, dueFlag) != 0;
        info.alarmFlag = sqlite3_column_int(stmt, alarmFlag) != 0;
        info.expandFlag = sqlite3_column_int(stmt, expandFlag) != 0;
        info.textColor = sqlite3_column_int(stmt, textColor);
        info.backgroundColor = sqlite3_column_int(stmt, backgroundColor);
        info.createTime = sqlite3_column_double(stmt, createTime);
        info.editTime = sqlite3_column_double(stmt, editTime);
        info.checkTime = sqlite3_column_double(stmt, checkTime);
        info.alarmTime = sqlite3_column_double(stmt, alarmTime);
        info.dueTime = sqlite3_column_double(stmt, dueTime);
        return info;
    }
    int tid, pid, content, checkFlag, dueFlag, alarmFlag, expandFlag, textColor, backgroundColor;
    int createTime, editTime, checkTime, alarmTime, dueTime;
};

void RawExec(sqlite3 *db, const char *sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(std::string(sql) + ": " + sqlite3_errmsg(db));
}

std::vector<TTaskInfo> RawReadAll(sqlite3 *db, const QString &sql, int expected)
{
    std::vector<TTaskInfo> tasks;
    tasks.reserve(expected);
    RawStatement select(db, sql);
    const RawTaskColumns columns(select.get());
    while (select.step())
        tasks.push_back(columns.read(select.get()));
    return tasks;
}

// A new statement text for every parent, as the loader once sent it.
std::vector<TTaskInfo> RawLoadTreePrepareEach(sqlite3 *db, int expected)
{
    std::vector<TTaskInfo> tasks;
    tasks.reserve(expected);
    RawStatement top(db, TopLevelSql);
    const RawTaskColumns columns(top.get());
    while (top.step()) {
        tasks.push_back(columns.read(top.get()));
        RawStatement children(db, ChildSql(tasks.back().tid));
        while (children.step()) {
            tasks.push_back(columns.read(children.get()));
            tasks.back().expandFlag = false;
        }
    }
    return tasks;
}

// The same, with one child statement prepared once and bound to each parent id.
std::vector<TTaskInfo> RawLoadTreeBound(sqlite3 *db, int expected)
{
    std::vector<TTaskInfo> tasks;
    tasks.reserve(expected);
    RawStatement top(db, TopLevelSql);
    RawStatement children(db, QStringLiteral("select * from tasks where pid=?"));
    const RawTaskColumns columns(top.get());
    while (top.step()) {
        tasks.push_back(columns.read(top.get()));
        const QByteArray tid = tasks.back().tid.toUtf8();
        sqlite3_bind_text(children.get(), 1, tid.constData(), static_cast<int>(tid.size()), SQLITE_STATIC);
        while (children.step()) {
            tasks.push_back(columns.read(children.get()));
            tasks.back().expandFlag = false;
        }
        sqlite3_reset(children.get());
    }
    return tasks;
}

int RawCount(sqlite3 *db)
{
    RawStatement count(db, CountSql);
    if (!count.step())
        Fail("count gave no row");
    return sqlite3_column_int(count.get(), 0);
}

QStringList RawTray(sqlite3 *db, int limit)
{
    QStringList texts;
    RawStatement tray(db, TraySql);
    while (texts.size() < limit && tray.step())
        texts.append(RawText(tray.get(), 0));
    return texts;
}

// ---- our layer -------------------------------------------------------------------

std::vector<TTaskInfo> ReadAll(Connection &connection, int expected)
{
    std::vector<TTaskInfo> tasks;
    tasks.reserve(expected);
    Query query(connection);
    TaskStore::openAllRows(query, TaskStore::Table::Tasks);
    const TaskReader reader(query);
    for (; !query.eof(); query.next())
        tasks.push_back(reader.read());
    return tasks;
}

// What the task list does when it loads: the store's two-level read, flattened.
std::vector<TTaskInfo> LoadTree(Connection &connection, int expected)
{
    TaskSnapshot snapshot;
    TaskStore(connection).load(snapshot);
    std::vector<TTaskInfo> tasks;
    tasks.reserve(expected);
    for (TaskWithSubTasks &entry : snapshot) {
        tasks.push_back(std::move(entry.task));
        for (TTaskInfo &child : entry.subTasks) {
            tasks.push_back(std::move(child));
            tasks.back().expandFlag = false;
        }
    }
    return tasks;
}

int CountTasks(Connection &connection)
{
    return TaskStore(connection).count();
}

QStringList Tray(Connection &connection, int limit)
{
    return TaskStore(connection).incompleteTexts(limit);
}

// ---- checks and report -----------------------------------------------------------

bool ByTid(const TTaskInfo &a, const TTaskInfo &b)
{
    return a.tid < b.tid;
}

// Both sides must have read exactly what was written, or the figures mean nothing.
// `written` is sorted by tid.
void CheckSame(const char *what, std::vector<TTaskInfo> read, const std::vector<TTaskInfo> &written)
{
    std::sort(read.begin(), read.end(), ByTid);
    if (read != written)
        Fail(std::string(what) + " did not read back the rows that were written");
}

void PrintPlans(sqlite3 *db, const QString &someTid)
{
    // As the store sends them, with their values as parameters.
    Q_UNUSED(someTid);
    const QStringList statements = {QStringLiteral("select * from tasks where pid=?"),
                                    QStringLiteral("select * from tasks where tid=?"), CountSql, TraySql};
    std::printf("\nQuery plans:\n");
    for (const QString &sql : statements) {
        std::printf("  %s\n", qPrintable(sql));
        RawStatement plan(db, QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
        while (plan.step())
            std::printf("    %s\n", reinterpret_cast<const char *>(sqlite3_column_text(plan.get(), 3)));
    }
}

void PrintRow(const Row &row)
{
    std::printf("%-52s %10.3f %10.3f %7.1fx\n", row.operation.c_str(), row.ours, row.raw,
                row.raw > 0 ? row.ours / row.raw : 0.0);
}

int ParseCount(const char *text, const char *what)
{
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1 || value > 10'000'000)
        Fail(std::string("bad ") + what + ": " + text);
    return static_cast<int>(value);
}

int Run(int count, int repetitions)
{
    // A clock that stands still, so that every run makes the same dates.
    ManualClock clock(QDateTime(QDate(2024, 6, 3), QTime(9, 30)));
    Clock::install(&clock);
    std::vector<TTaskInfo> written = BenchData::MakeTasks(count);
    Clock::install(nullptr);
    const long generatedRssKb = PeakRssKb();
    const int topLevel = static_cast<int>(std::count_if(written.begin(), written.end(),
                                                        [](const TTaskInfo &t) { return t.pid == RootPid; }));
    const QString someParent = std::find_if(written.rbegin(), written.rend(),
                                            [](const TTaskInfo &t) { return t.pid != RootPid; })->pid;
    const int incomplete = static_cast<int>(std::count_if(written.begin(), written.end(),
                                                          [](const TTaskInfo &t) { return !t.checkFlag; }));

    QTemporaryDir folder;
    if (!folder.isValid())
        Fail("no temporary folder");
    const QString path = folder.filePath(QStringLiteral("qvData.qvb"));
    const QString rawPath = folder.filePath(QStringLiteral("raw.qvb"));
    const auto removeDatabase = [](const QString &file) {
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(file + QLatin1String(suffix));
    };

    std::printf("quillpad-bench-store: %d tasks (%d top-level, %d sub-tasks, %d incomplete), "
                "%d repetitions, SQLite %s\n",
                count, topLevel, count - topLevel, incomplete, repetitions, sqlite3_libversion());
    std::printf("Times are medians in ms. \"raw\" is the bare SQLite C API on the same file and connection.\n\n");
    std::printf("%-52s %10s %10s %8s\n", "operation", "ours", "raw", "ratio");

    // Creating: a fresh file for every repetition on both sides, opened (with its
    // schema) before the clock starts; the last file of ours stays for the reads.
    {
        std::vector<double> oursMs, rawMs;
        for (int i = 0; i < repetitions; ++i) {
            removeDatabase(path);
            Connection ours;
            ours.open(path);
            oursMs.push_back(TimeMs([&] { BenchData::InsertTasks(ours, written); }));
            removeDatabase(rawPath);
            Connection raw;
            raw.open(rawPath);
            rawMs.push_back(TimeMs([&] { BenchData::InsertTasksRaw(raw, written); }));
        }
        PrintRow({"create: insert all rows in one transaction", Median(oursMs), Median(rawMs)});
    }
    removeDatabase(rawPath);
    std::sort(written.begin(), written.end(), ByTid);  // for the checks; the file is written
    const qint64 fileSize = QFileInfo(path).size();

    PrintRow(Measure("open", repetitions,
                     [&] {
                         Connection connection;
                         connection.open(path);
                     },
                     [&] {
                         sqlite3 *db = nullptr;
                         if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
                             Fail("raw open");
                         RawExec(db, "PRAGMA journal_mode=WAL");  // the first statement reads the schema
                         sqlite3_close(db);
                     }));

    Connection connection;
    connection.open(path);
    sqlite3 *db = connection.handle();

    CheckSame("load tree", LoadTree(connection, count), written);
    CheckSame("raw select *", RawReadAll(db, AllSql, count), written);
    CheckSame("raw load tree", RawLoadTreePrepareEach(db, count), written);
    CheckSame("raw bound load tree", RawLoadTreeBound(db, count), written);
    if (CountTasks(connection) != count || RawCount(db) != count)
        Fail("CountTasks gave the wrong number");
    if (Tray(connection, count) != RawTray(db, count) || RawTray(db, count).size() != incomplete)
        Fail("the tray summaries differ");

    PrintRow(Measure("load tree: one query, " + std::to_string(topLevel) + " top-level", repetitions,
                     [&] { LoadTree(connection, count); }, [&] { RawReadAll(db, AllSql, count); }));
    std::printf("  (its raw figure: one select * of all rows)\n");
    PrintRow(Measure("select * of all rows", repetitions, [&] { ReadAll(connection, count); },
                     [&] { RawReadAll(db, AllSql, count); }));
    PrintRow(Measure("CountTasks", repetitions, [&] { CountTasks(connection); }, [&] { RawCount(db); }));
    PrintRow(Measure("tray summary, all " + std::to_string(incomplete) + " rows", repetitions,
                     [&] { Tray(connection, count); }, [&] { RawTray(db, count); }));
    PrintRow(Measure("tray summary, first 5 rows", repetitions, [&] { Tray(connection, TrayPeek); },
                     [&] { RawTray(db, TrayPeek); }));

    // Where the load goes: child statements on the bare API, against one select *.
    std::printf("\nLoad tree on the bare C API (ms; ratio to one select * of all rows):\n");
    PrintRow(Measure("  child statement text built and prepared per parent", repetitions,
                     [&] { RawLoadTreePrepareEach(db, count); }, [&] { RawReadAll(db, AllSql, count); }));
    PrintRow(Measure("  one child statement, bound per parent", repetitions, [&] { RawLoadTreeBound(db, count); },
                     [&] { RawReadAll(db, AllSql, count); }));

    std::printf("\nDatabase file: %.1f MB (%lld bytes)\n", fileSize / 1e6, static_cast<long long>(fileSize));
    PrintPlans(db, someParent);
    connection.close();
    removeDatabase(path);
    if (!folder.remove())
        Fail("the temporary folder could not be removed");
    // The bench itself holds the task list written and one list read at a time.
    std::printf("\nPeak RSS: %.1f MB (%.1f MB after making the task list, before any database work)\n",
                PeakRssKb() / 1024.0, generatedRssKb / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    try {
        if (argc > 3)
            Fail("usage: quillpad-bench-store [tasks] [repetitions]");
        const int count = argc > 1 ? ParseCount(argv[1], "task count") : 10'000;
        const int repetitions = argc > 2 ? ParseCount(argv[2], "repetitions") : 5;
        return Run(count, repetitions);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "quillpad-bench-store: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "quillpad-bench-store: failed\n");
    }
    return 1;
}
