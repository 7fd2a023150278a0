#pragma once
// Building the task tree from the store, and the summary of incomplete tasks that the
// tray icon's hint shows.

#include <QString>

namespace quillpad {

class TaskStore;
class TaskTree;

// Adds a node for every loadable row to an empty tree: the top-level rows in the
// order the database returns them, each followed by its sub-task rows. Rows under a
// missing or a sub-task parent are never loaded. A top-level node comes back expanded
// when its row says so and it has sub-tasks. What was read before an error stays in
// the tree.
void LoadTaskTree(TaskTree &tree, TaskStore &store);

// "Incomplete Tasks:" followed by up to four lines "(n) text", each cut to hintSize
// characters plus "...", then " ..." after the fourth, or "None" when there are none.
// Lines are separated by a single CR. Covers every incomplete row of the table.
QString IncompleteTasksSummary(TaskStore &store, int hintSize);

}  // namespace quillpad
