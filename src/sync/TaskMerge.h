#pragma once
// Two edits of one task, merged field by field against the version both started from.

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
TaskMerge MergeTask(const TTaskInfo &base, const TTaskInfo &local, const TTaskInfo &remote);

}  // namespace quillpad
