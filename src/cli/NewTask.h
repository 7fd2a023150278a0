#pragma once
// Storing a new task with the values the task editor gives one.

#include "TaskInfo.h"

#include <QString>

class Query;

// The text as it is stored: line feeds become CR LF, trailing blanks, line breaks and
// other control characters go.
QString StoredText(const QString &text);

// Inserts a task with a new id under pid ("root" or a top-level task's tid): not
// complete, no reminder, no due date, default colours, created and edited now.
TTaskInfo StoreNewTask(Query &query, const QString &content, const QString &pid);
