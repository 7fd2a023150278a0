#pragma once
// Building the task tree from the tasks table, counting the rows, and the summary of
// incomplete tasks that the tray icon's hint shows.

#include <QString>

namespace quillpad {

class Query;
class TaskTree;

// The number of rows in the tasks table.
int CountTasks(Query &query);

// Adds a node for every loadable row to an empty tree: the top-level rows in the
// order the database returns them, each followed by its sub-task rows (read through
// the second query). Rows under a missing or a sub-task parent are never loaded. A
// top-level node comes back expanded when its row says so and it has sub-tasks.
void LoadTaskTree(TaskTree &tree, Query &topLevel, Query &subTasks);

// "Incomplete Tasks:" followed by up to four lines "(n) text", each cut to hintSize
// characters plus "...", then " ..." after the fourth, or "None" when there are none.
// Lines are separated by a single CR. Covers every incomplete row of the table.
QString IncompleteTasksSummary(Query &query, int hintSize);

}  // namespace quillpad
