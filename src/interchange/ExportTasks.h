#pragma once
// Writing the selected tasks to an interchange file, and the Export command around it.

#include "store/TaskInfo.h"

#include <QString>

namespace quillpad {

// Writes the selected tasks (siblings, in tree order, each with the sub-tasks it takes
// along) to the file: each as a top-level task, followed by its sub-tasks. Nothing
// selected gives a file with no tasks. "File Write Failure !" and false when it cannot
// be written.
bool ExportTasksXml(const QString &fileName, const TaskSnapshot &selected);

// The Export command: "Please select a task!" without a selection, otherwise the save
// dialog and then the export.
void ExportSelectedTasks(const TaskSnapshot &selected);

}  // namespace quillpad
