#pragma once
// The task list as the list command prints it.

#include "store/TaskInfo.h"

#include <QByteArray>

#include <cstdio>

namespace quillpad {

class Connection;
class TaskTree;

// {"count": count, "tasks": [...]}: every field of each task's record by its name in
// Qt's compact JSON form (keys in Qt's order, times as ISO text), top-level tasks with
// "children": [...] as loading groups them, and a line break. Made straight from the
// rows, each value read in place, the times with the zone offset read once.
void WriteTaskListJson(std::FILE *out, Connection &connection, int count);

// One line per task: the tid, [x] or [ ] for complete, the text on one line; sub-tasks
// indented under their task.
QByteArray TaskTreeText(const TaskTree &tree);

}  // namespace quillpad
