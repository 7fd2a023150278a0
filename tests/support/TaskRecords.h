#pragma once
// A task record as another writer (a sync, another program) would store it: a new id,
// under a parent or at the top level.

#include "store/TaskInfo.h"
#include "store/pU_Funcs.h"

namespace quillpad {

inline TTaskInfo TaskRecord(const QString &content, const QString &pid = RootPid)
{
    TTaskInfo task;
    task.tid = NewGuid();
    task.pid = pid;
    task.content = content;
    return task;
}

}  // namespace quillpad
