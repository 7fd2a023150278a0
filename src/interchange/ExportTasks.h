#pragma once
// Writing the selected tasks to an interchange file, and the Export command around it.

#include <QList>
#include <QString>

namespace quillpad {

struct TaskNode;

// Writes the selected nodes (siblings, in tree order) to the file: each as a top-level
// task, a top-level one followed by all its sub-tasks, hidden ones too. Nothing selected
// gives a file with no tasks. "File Write Failure !" and false when it cannot be written.
bool ExportTasksXml(const QString &fileName, const QList<TaskNode *> &selected);

// The Export command: "Please select a task!" without a selection, otherwise the save
// dialog and then the export.
void ExportSelectedTasks(const QList<TaskNode *> &selected);

}  // namespace quillpad
