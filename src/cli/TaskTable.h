#pragma once
// The task list as `list` prints it for people: one row per task under a header, short
// ids, the due date and reminder when any task shown has one, the check box, and the
// text wrapped to the width (its own line breaks kept); sub-tasks indented under their
// task. A due date that has passed on an incomplete task is marked "!".

#include "store/TaskInfo.h"

#include <QDate>

#include <cstdio>

namespace quillpad {

class ShortTaskIds;

// The columns a table fills: the terminal's when the output is one, else $COLUMNS, else 80.
int OutputWidth(std::FILE *out);

void WriteTaskTable(std::FILE *out, const TaskSnapshot &tasks, const ShortTaskIds &ids, const QDate &today,
                    int width);

// The columns a text takes on a terminal: wide East Asian characters two, combining
// marks none.
int TextWidth(QStringView text);

// The text in lines of at most `width` columns, broken at blanks where it can, each line
// of its own broken alone.
QStringList WrapText(const QString &text, int width);

}  // namespace quillpad
