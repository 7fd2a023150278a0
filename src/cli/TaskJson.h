#pragma once
// The task list as the list command prints it.

#include "store/TaskInfo.h"

#include <QByteArray>

#include <cstdio>

namespace quillpad {

class TaskTree;

// {"count": <rows in the table>, "tasks": [...]}: every field of each task's record by
// its name in Qt's compact JSON form (keys in Qt's order, times as ISO text), top-level
// tasks with "children": [...], and a line break. Written to the stream in pieces as it
// is made, the times with the zone offset read once.
void WriteTaskListJson(std::FILE *out, const TaskSnapshot &tasks, int count);

// One line per task: the tid, [x] or [ ] for complete, the text on one line; sub-tasks
// indented under their task.
QByteArray TaskTreeText(const TaskTree &tree);

}  // namespace quillpad
