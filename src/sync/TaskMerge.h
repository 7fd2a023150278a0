#pragma once
// A task changed both here and on the server since the last sync, merged field by field
// against the version both started from.

#include "store/TaskInfo.h"

namespace quillpad {

struct TaskMerge {
    TTaskInfo merged;
    bool conflict = false;
};

// base: the task as last synced; local: ours now; remote: the server's now. Field by field
// (text; completion; due; reminder; colours; expanded; parent): a field changed on one side
// only takes that side; changed the same way on both takes it; changed differently on both
// is a conflict (merged keeps the server's value for it, the caller makes the conflict copy).
// A flag that is off compares as off whatever time it keeps; a task both sides completed
// keeps the earlier completion time. editTime is the later of the two, createTime the
// server's. The three must show their parents alike (ShowAtTwoLevels).
TaskMerge MergeTask(const TTaskInfo &base, const TTaskInfo &local, const TTaskInfo &remote);

}  // namespace quillpad
