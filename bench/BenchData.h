#pragma once
// Task sets that look like a real user's list, for the benchmark programs.

#include "store/TaskInfo.h"

#include <QtGlobal>

#include <vector>

struct sqlite3;

namespace quillpad {

class Connection;

namespace BenchData {

// `count` tasks, a fifth of them sub-tasks. Every sub-task comes after its parent and
// belongs to a top-level task. Texts are 1 to 3 lines (CR LF) of 20 to 120 characters;
// some hold single quotes or non-ASCII letters. About 30% are complete, a few have
// reminders, due dates or colours. Times are taken back from Clock::nowDateTime().
// The same seed gives the same texts and flags (ids are new GUIDs every time).
std::vector<TTaskInfo> MakeTasks(int count, quint32 seed = 20240603);

// Stores the tasks with the program's own insert path (an empty result, insert, set
// every column by name, post), all in one transaction.
void InsertTasks(Connection &connection, const std::vector<TTaskInfo> &tasks);

// The baseline of the inserts: the same rows, one prepared INSERT bound per row, in one
// transaction, on the bare C API (zero times stored as null, as the program leaves them).
void InsertTasksRaw(Connection &connection, const std::vector<TTaskInfo> &tasks);

}  // namespace BenchData

}  // namespace quillpad
