#pragma once
// The writes that keep a task's record and its row in step: a new task, a new text, a
// new check state. Each is one insert or one single-row edit; the record changes only
// once the row is written, so a failed write leaves the record as the row still is.

#include "store/TaskInfo.h"

#include <QString>

namespace quillpad {

class Query;

// A task's text as it is kept: trailing blanks, line breaks and other control
// characters removed; leading blanks and inner line breaks stay.
QString TrimTaskText(const QString &text);

// Stores a new task under info.pid with info.content: a new id, not complete, no
// reminder or due date, default colours, created and then edited now.
void InsertNewTask(Query &query, TTaskInfo &info);

// A stored task's new text (already trimmed) and its edit time.
void StoreTaskText(Query &query, TTaskInfo &info, const QString &content);

// A stored task's check state and the time it changed.
void StoreTaskCheck(Query &query, TTaskInfo &info, bool checked);

// A stored task's reminder, and its due date.
void StoreTaskAlarm(Query &query, TTaskInfo &info, bool enabled, TDateTime when);
void StoreTaskDue(Query &query, TTaskInfo &info, bool enabled, TDateTime date);

// Opens a task's row for a single-row edit; false when the row is gone.
bool OpenTaskRow(Query &query, const QString &tid);

}  // namespace quillpad
