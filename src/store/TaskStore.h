#pragma once
// Every statement about tasks, with its values bound as parameters: reading both levels,
// counting, the tray's summary, and each write the list, reminders, the command line and
// the interchange file make. A write that also changes a record changes it only once the
// row is written, so a failed write leaves the record as the row still is.

#include "store/Query.h"
#include "store/TaskInfo.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace quillpad {

class Connection;

// Every line break (LF, a lone CR, CR LF) as CR LF, the one way a task keeps them.
QString CrLfLineBreaks(const QString &text);

// A task's text as it is kept: line breaks as CR LF; trailing blanks, line breaks and
// other control characters removed, and inside it the characters an interchange file
// cannot hold; leading blanks and inner line breaks stay.
QString TrimTaskText(const QString &text);

// Where a load hands the rows, as soon as their place in the tree is known.
class TaskRowSink {
public:
    virtual ~TaskRowSink() = default;
    // A top-level row, in the table's order; the first one is number 0.
    virtual void topLevel(TTaskInfo &&task) = 0;
    // The id of top-level row number `index`: the load keeps no copy of what it handed over.
    virtual const QString &topLevelId(std::size_t index) const = 0;
    // A sub-task row, in the table's order; the first one is number 0. Its parent may
    // be yet to come: it waits for adopt(), and is dropped when none comes.
    virtual void subTask(TTaskInfo &&task) = 0;
    // Puts sub-task row number `sub` last under top-level row number `top`, with the
    // parent's id as its own parent id; a row put under a second parent is copied there.
    // Comes after every row has, by rising `top`.
    virtual void adopt(std::size_t top, std::size_t sub) = 0;
};

class TaskStore {
public:
    explicit TaskStore(Connection &connection) : m_connection(connection) {}

    Connection &connection() const { return m_connection; }

    // Appends the top-level rows in the table's order, each with its sub-task rows, from
    // one query. Rows under a missing or a sub-task parent are left out. After an error
    // the snapshot holds what was read before it.
    void load(TaskSnapshot &snapshot);
    // The same rows handed over one by one, for a reader that keeps them its own way
    // (a snapshot of 100,000 tasks beside the reader's copy is memory spent twice).
    void load(TaskRowSink &sink);
    // One task's row; none when it is gone.
    std::optional<TTaskInfo> find(const QString &tid);
    // The rows whose parent is the task, in the table's order.
    std::vector<TTaskInfo> subTasksOf(const QString &tid);
    // The number of rows in the tasks table.
    int count();
    // No task, no memo, and no sync state of a task.
    bool holdsNothing();
    // Whether a task has this id, or names it as its parent.
    bool idInUse(const QString &id);
    // The texts of the first `limit` incomplete rows, in byte order of the text.
    QStringList incompleteTexts(int limit);

    // Stores a new task under info.pid with info.content: a new id, not complete, no
    // reminder or due date, default colours, created and then edited now. One insert.
    void insertNew(TTaskInfo &info);
    // Stores a task with every field as the record has it, its id included.
    void insertRecord(const TTaskInfo &info);
    // Every field of a stored task as the record has it; false when the row is gone.
    bool storeRecord(const TTaskInfo &info);
    // A stored task's new text (already trimmed) and its edit time.
    void storeText(TTaskInfo &info, const QString &content);
    // A stored task's check state and the time it changed.
    void storeCheck(TTaskInfo &info, bool checked);
    // A stored task's reminder, and its due date.
    void storeAlarm(TTaskInfo &info, bool enabled, TDateTime when);
    void storeDue(TTaskInfo &info, bool enabled, TDateTime date);
    // Row-only writes: the caller has already set the record.
    void storeColors(const QString &tid, qint32 text, qint32 background);
    void storeExpandFlag(const QString &tid, bool expanded);
    // The same for many tasks: one statement, one transaction.
    void storeExpandFlags(const QStringList &tids, bool expanded);
    // Puts a task under pid. With its sub-tasks, these go first (also any the list has
    // not loaded): a failure half-way never leaves a sub-task under a sub-task.
    void move(const QString &tid, const QString &pid, bool withSubTasks);
    // What moving tasks by hand does: each goes under the top-level task pid, or to the
    // top level for RootPid. A top-level task that goes under a task takes its sub-tasks
    // along as sub-tasks of the new parent (the tree has two levels), and the new parent
    // is stored expanded, so what moved under it shows.
    struct TaskToMove {
        QString tid;
        bool topLevel = false;
    };
    void moveTasks(const std::vector<TaskToMove> &tasks, const QString &pid);
    // Deletes a task, then its sub-tasks; the number of rows that went.
    int remove(const QString &tid);

    // Up to `limit` ids that start with the text, in the id index's order.
    QStringList idsStartingWith(const QString &prefix, int limit);
    // Every task's id, in the id index's order.
    QStringList allIds();

    // Opens a task's row for a single-row edit; false when the row is gone.
    static bool openRowForEdit(Query &query, const QString &tid);

    // Whole rows of either table as they are stored, for copying into and out of the
    // interchange file.
    enum class Table { Tasks, Memos };
    static QString idColumn(Table table);
    static void openAllRows(Query &query, Table table);
    // The row with the id, or an empty result.
    static void openRow(Query &query, Table table, const QString &id);
    // An empty result that takes new rows (Query::insert).
    static void openForInsert(Query &query, Table table);
    // Inserts each row (its values in the order of `columns`) whose id is not taken yet,
    // with one prepared statement; returns how many went in.
    static int insertEachIfNew(Query &query, Table table, const QStringList &columns,
                               const std::vector<Query::Parameters> &rows);

private:
    std::vector<TTaskInfo> readTopLevelRows();
    void storeFlagAndTime(TTaskInfo &info, QStringView flagColumn, QStringView timeColumn, bool TTaskInfo::*flag,
                          TDateTime TTaskInfo::*time, bool value, TDateTime when);

    Connection &m_connection;
};

}  // namespace quillpad
