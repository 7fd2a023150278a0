#pragma once
// Tasks from another client, which may nest them deeper than two levels.

#include "store/TaskInfo.h"

#include <vector>

namespace quillpad {

// Tasks as the two levels of the task list show them: a task whose parent is a sub-task
// (nested deeper by another client) goes under its top-level ancestor; one whose parent
// is not among the tasks, or whose parents go round in a circle, is top-level.
void ShowAtTwoLevels(std::vector<TTaskInfo> &tasks);

}  // namespace quillpad
