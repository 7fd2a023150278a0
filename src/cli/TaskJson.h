#pragma once
// The task tree as the list command prints it.

#include <QByteArray>

namespace quillpad {

class TaskTree;

// {"count": <rows in the table>, "tasks": [...]}: every field of each task's record by
// its name (times as ISO text), top-level tasks with "children": [...].
QByteArray TaskTreeJson(const TaskTree &tree, int count);

// One line per task: the tid, [x] or [ ] for complete, the text on one line; sub-tasks
// indented under their task.
QByteArray TaskTreeText(const TaskTree &tree);

}  // namespace quillpad
