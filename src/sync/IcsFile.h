#pragma once
// Tasks as an iCalendar file other calendar programs import, and such a file read back
// into the task database.

#include "store/TaskInfo.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace quillpad {

class TaskStore;

// A VCALENDAR (VERSION 2.0, our PRODID) with one VTODO for each task, in order.
QByteArray TasksAsIcs(const std::vector<TTaskInfo> &tasks);
// The VTODOs of a calendar (or of a lone VTODO), in order and at the two levels the task
// list shows; none when the text is not iCalendar.
std::optional<std::vector<TTaskInfo>> TasksFromIcs(const QByteArray &text);

// Writes the tasks to the file; reports a failure through the Prompter.
bool ExportIcsFile(const QString &fileName, const std::vector<TTaskInfo> &tasks);
// Adds every task of the file under a new id, keeping sub-tasks under their parents; a
// task without a creation or an edit time is given one now. Reports a failure through
// the Prompter. All the tasks are stored, or none.
bool ImportIcsFile(const QString &fileName, TaskStore &store);

}  // namespace quillpad
