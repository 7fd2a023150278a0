#pragma once
// The task list as the list command prints it.

#include <cstdio>

namespace quillpad {

class Connection;
struct ListFilter;

// {"count": count, "tasks": [...]}: every field of each task's record by its name in
// Qt's compact JSON form (keys in Qt's order, times as ISO text), top-level tasks with
// "children": [...] as loading groups them, and a line break. Made straight from the
// rows, each value read in place, the times with the zone offset read once. With a
// filter, only the tasks that pass and the top-level tasks of sub-tasks that pass.
void WriteTaskListJson(std::FILE *out, Connection &connection, int count, const ListFilter *filter = nullptr);

}  // namespace quillpad
