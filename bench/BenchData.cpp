#include "BenchData.h"

#include "store/Clock.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/TaskStore.h"
#include "store/WriteBatch.h"
#include "store/pU_Funcs.h"

#include <QStringList>

#include <sqlite3.h>

#include <stdexcept>

#include <array>
#include <random>

namespace quillpad {

namespace {

const std::array PlainWords = {
    "buy", "milk", "call", "the", "bank", "about", "mortgage", "renewal", "send", "invoice",
    "to", "client", "before", "Friday", "book", "dentist", "appointment", "for", "next", "week",
    "review", "pull", "request", "and", "merge", "fix", "leaking", "tap", "in", "kitchen",
    "pick", "up", "parcel", "from", "post", "office", "renew", "passport", "car", "insurance",
    "write", "report", "on", "quarterly", "figures", "prepare", "slides", "meeting", "with", "team",
    "water", "plants", "clean", "garage", "order", "printer", "ink", "pay", "electricity", "bill",
    "check", "flight", "times", "pack", "suitcase", "update", "budget", "spreadsheet", "email", "landlord",
    "cancel", "gym", "membership", "return", "library", "books", "birthday", "present", "mum", "dad",
    "plan", "holiday", "route", "backup", "laptop", "photos", "tax", "return", "deadline", "notes",
    "agenda", "draft", "proposal", "new", "project", "weekly", "groceries", "bread", "eggs", "coffee",
};

// Names and words a user types with letters outside ASCII.
const std::array AccentedWords = {
    "café", "naïve", "Müller", "façade", "Zürich", "résumé", "Ålesund", "smørbrød", "Straße", "año",
    "piñata", "crème", "brûlée", "Łódź", "Dvořák", "jalapeño", "São", "Paulo", "Ørsted", "Köln",
};

const std::array QuotedWords = {
    "don't", "it's", "Pat's", "O'Brien", "can't", "isn't", "'urgent'", "Sam's", "we'll", "'draft'",
};

class Generator {
public:
    explicit Generator(quint32 seed) : m_random(seed) {}

    int below(int limit) { return std::uniform_int_distribution<int>(0, limit - 1)(m_random); }
    bool chance(double p) { return std::bernoulli_distribution(p)(m_random); }
    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(m_random); }

    QString line(bool quoted, bool accented)
    {
        const int target = 20 + below(101);  // 20 .. 120 characters
        QStringList words;
        int length = -1;
        while (length < target) {
            QString word = pickWord(quoted, accented);
            if (length + 1 + word.size() > 120 && length >= 20)
                break;
            length += 1 + word.size();
            words.append(std::move(word));
        }
        QString text = words.join(QLatin1Char(' '));
        text[0] = text[0].toUpper();
        return text.left(120);
    }

    QString content()
    {
        const int roll = below(10);
        const int lines = roll < 6 ? 1 : roll < 9 ? 2 : 3;
        const bool quoted = chance(0.12);
        const bool accented = chance(0.10);
        QStringList parts;
        for (int i = 0; i < lines; ++i)
            parts.append(line(quoted && i == 0, accented && i == lines - 1));
        return parts.join(QLatin1String("\r\n"));
    }

private:
    QString pickWord(bool quoted, bool accented)
    {
        if (quoted && chance(0.15))
            return QString::fromUtf8(QuotedWords[below(QuotedWords.size())]);
        if (accented && chance(0.15))
            return QString::fromUtf8(AccentedWords[below(AccentedWords.size())]);
        return QString::fromUtf8(PlainWords[below(PlainWords.size())]);
    }

    std::mt19937 m_random;
};

// Keeps a time to the millisecond, as the clock gives it.
TDateTime Whole(TDateTime value)
{
    return MsToDateTime(DateTimeToMs(value));
}

}  // namespace

namespace BenchData {

std::vector<TTaskInfo> MakeTasks(int count, quint32 seed)
{
    Generator random(seed);
    const TDateTime now = Clock::nowDateTime();
    const int subTasks = count / 5;
    int subTasksLeft = subTasks;
    std::vector<int> topLevel;  // positions of the top-level tasks made so far
    std::vector<TTaskInfo> tasks;
    tasks.reserve(count);

    for (int i = 0; i < count; ++i) {
        TTaskInfo task;
        task.tid = NewGuid();
        const int left = count - i;
        // Spreads the sub-tasks evenly over the list; the first task is always top-level.
        const bool isSub = !topLevel.empty() && subTasksLeft > 0 && random.below(left) < subTasksLeft;
        if (isSub) {
            --subTasksLeft;
            task.pid = tasks[topLevel[random.below(static_cast<int>(topLevel.size()))]].tid;
        } else {
            task.pid = RootPid;
            topLevel.push_back(i);
        }
        task.content = random.content();
        // Older tasks first, over about two years.
        task.createTime = Whole(now - 730.0 * (count - i) / count - random.uniform(0.0, 0.5));
        task.editTime = random.chance(0.3) ? Whole(task.createTime + random.uniform(0.0, 20.0)) : task.createTime;
        if (task.editTime > now)
            task.editTime = task.createTime;
        if (random.chance(0.3)) {
            task.checkFlag = true;
            task.checkTime = Whole(task.editTime + random.uniform(0.0, 3.0));
        }
        if (random.chance(0.03)) {
            task.alarmFlag = !task.checkFlag;
            task.alarmTime = Whole(now + random.uniform(-5.0, 30.0));
        }
        if (random.chance(0.05)) {
            task.dueFlag = true;
            task.dueTime = EncodeDateTime(DateOf(now).addDays(random.below(60) - 10));
        }
        if (random.chance(0.05))
            task.textColor = 0x000000FF << (8 * random.below(3));
        if (random.chance(0.02))
            task.backgroundColor = 0x00E1FFFF;
        if (!isSub)
            task.expandFlag = random.chance(0.2);
        tasks.push_back(std::move(task));
    }
    return tasks;
}

void InsertTasks(Connection &connection, const std::vector<TTaskInfo> &tasks)
{
    const auto setTime = [](const Query::Field &field, TDateTime value) {
        if (value == ZeroDateTime)
            field.setNull();
        else
            field.setDateTime(value);
    };
    const BulkCache cache(connection);
    WriteBatch transaction(connection, WriteBatch::Unfinished::RollBack);
    Query query(connection);
    TaskStore::openForInsert(query, TaskStore::Table::Tasks);
    for (const TTaskInfo &task : tasks) {
        query.insert();
        query.field(u"tid").setString(task.tid);
        query.field(u"pid").setString(task.pid);
        query.field(u"content").setString(task.content);
        query.field(u"checkFlag").setBoolean(task.checkFlag);
        query.field(u"dueFlag").setBoolean(task.dueFlag);
        query.field(u"alarmFlag").setBoolean(task.alarmFlag);
        query.field(u"expandFlag").setBoolean(task.expandFlag);
        query.field(u"textColor").setInteger(task.textColor);
        query.field(u"backgroundColor").setInteger(task.backgroundColor);
        setTime(query.field(u"createTime"), task.createTime);
        setTime(query.field(u"editTime"), task.editTime);
        setTime(query.field(u"checkTime"), task.checkTime);
        setTime(query.field(u"alarmTime"), task.alarmTime);
        setTime(query.field(u"dueTime"), task.dueTime);
        query.post();
    }
    query.close();
    transaction.commit();
}

void InsertTasksRaw(Connection &connection, const std::vector<TTaskInfo> &tasks)
{
    const BulkCache cache(connection);  // the cache a restore or an import writes with
    sqlite3 *db = connection.handle();
    const auto check = [db](int rc, int expected) {
        if (rc != expected)
            throw std::runtime_error(sqlite3_errmsg(db));
    };
    check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_stmt *stmt = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO tasks (tid,pid,content,checkFlag,dueFlag,alarmFlag,expandFlag,textColor,"
                             "backgroundColor,createTime,editTime,checkTime,alarmTime,dueTime) "
                             "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                             -1, &stmt, nullptr),
          SQLITE_OK);
    const auto bindTime = [stmt](int parameter, TDateTime value) {
        if (value == ZeroDateTime)
            sqlite3_bind_null(stmt, parameter);
        else
            sqlite3_bind_double(stmt, parameter, value);
    };
    for (const TTaskInfo &task : tasks) {
        const QByteArray tid = task.tid.toUtf8(), pid = task.pid.toUtf8(), content = task.content.toUtf8();
        sqlite3_bind_text(stmt, 1, tid.constData(), static_cast<int>(tid.size()), SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, pid.constData(), static_cast<int>(pid.size()), SQLITE_STATIC);
        sqlite3_bind_text(stmt, 3, content.constData(), static_cast<int>(content.size()), SQLITE_STATIC);
        sqlite3_bind_int(stmt, 4, task.checkFlag);
        sqlite3_bind_int(stmt, 5, task.dueFlag);
        sqlite3_bind_int(stmt, 6, task.alarmFlag);
        sqlite3_bind_int(stmt, 7, task.expandFlag);
        sqlite3_bind_int(stmt, 8, task.textColor);
        sqlite3_bind_int(stmt, 9, task.backgroundColor);
        bindTime(10, task.createTime);
        bindTime(11, task.editTime);
        bindTime(12, task.checkTime);
        bindTime(13, task.alarmTime);
        bindTime(14, task.dueTime);
        check(sqlite3_step(stmt), SQLITE_DONE);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
}

}  // namespace BenchData

}  // namespace quillpad
