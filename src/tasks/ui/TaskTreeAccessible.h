#pragma once
// What screen readers see of the task list: a tree of the shown rows, sub-tasks inside
// their parent's row, each with its text, check box, expanded state, selection and place
// on the screen.

class QAccessibleInterface;
class QModelIndex;

namespace quillpad {

class TaskTreeView;

// Registers the interfaces with Qt's accessibility once; the list's constructor calls it.
void InstallTaskTreeAccessible();

// The row's interface (none when the row is not shown), for the events the list sends.
QAccessibleInterface *AccessibleRow(TaskTreeView *view, const QModelIndex &index);

}  // namespace quillpad
