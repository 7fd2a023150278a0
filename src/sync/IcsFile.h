#pragma once
// Tasks as an iCalendar file other calendar programs import, and such a file read back
// into the task database.

#include "store/TaskInfo.h"
#include "sync/IcsReader.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace quillpad {

class TaskStore;

// A VCALENDAR (VERSION 2.0, our PRODID) with one VTODO for each task, in order.
QByteArray TasksAsIcs(const std::vector<TTaskInfo> &tasks);

// Writes the tasks to the file; reports a failure through the Prompter.
bool ExportIcsFile(const QString &fileName, const std::vector<TTaskInfo> &tasks);
// Adds every task of the file (TasksFromIcs) under a new id, keeping sub-tasks under their
// parents; a task without a creation or an edit time is given one now. All the tasks
// read are stored, or none. Says through the Prompter how many tasks could not be read,
// and that a file holds no tasks; false when the file is not iCalendar, or nothing was
// read from a file that holds tasks.
bool ImportIcsFile(const QString &fileName, TaskStore &store);

}  // namespace quillpad
