#pragma once
// The record each node of the task tree carries; its fields mirror the tasks table.

#include "store/DateTime.h"

#include <QString>

#include <vector>

namespace quillpad {

class Query;

struct TTaskInfo {
    QString tid;  // empty while the task is new and has no row yet
    QString pid;  // "root" for a top-level task
    QString content;
    bool checkFlag = false;
    bool dueFlag = false;
    bool alarmFlag = false;
    bool expandFlag = false;  // top-level tasks only
    qint32 textColor = 0;
    qint32 backgroundColor = 0;
    TDateTime createTime = ZeroDateTime;
    TDateTime editTime = ZeroDateTime;
    TDateTime checkTime = ZeroDateTime;
    TDateTime alarmTime = ZeroDateTime;
    TDateTime dueTime = ZeroDateTime;

    friend bool operator==(const TTaskInfo &, const TTaskInfo &) = default;
};

inline const QString RootPid = QStringLiteral("root");

// The due date is a day before today (complete or not).
bool IsOverdue(const TTaskInfo &task, const QDate &today);

// A task with its sub-tasks, as loading reads them and exporting writes them.
struct TaskWithSubTasks {
    TTaskInfo task;
    std::vector<TTaskInfo> subTasks;
};
// Top-level tasks in order, each with its sub-tasks.
using TaskSnapshot = std::vector<TaskWithSubTasks>;

// Reads task rows from an open "select * from tasks ..." result. The column positions
// are looked up once, not for every row.
class TaskReader {
public:
    explicit TaskReader(Query &query);
    TTaskInfo read() const;  // the current row

private:
    Query &m_query;
    int m_tid, m_pid, m_content, m_checkFlag, m_dueFlag, m_alarmFlag, m_expandFlag;
    int m_textColor, m_backgroundColor;
    int m_createTime, m_editTime, m_checkTime, m_alarmTime, m_dueTime;
};

}  // namespace quillpad
