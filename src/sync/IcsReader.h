#pragma once
// The tasks of an iCalendar file from another program, read a task at a time: a damaged
// task is left out and counted, and the rest of the file is still read.

#include "store/TaskInfo.h"

#include <QByteArray>

#include <optional>
#include <vector>

namespace quillpad {

struct IcsCounts {
    int found = 0;    // the VTODOs the text holds
    int skipped = 0;  // of them, those that could not be read
};

// The VTODOs of every calendar in the text (calendars one after another or one inside
// another), or of lone VTODOs, in order and at the two levels the task list shows. A
// VTODO is left out when it, or a part inside it, is not closed by its END line (a cut
// file, a lost line), when an END line inside it closes nothing, when it stands inside
// another component than a calendar, or nests parts deeper than IcalMaxDepth. Time
// grows in proportion to the text, however long its lines or deep its sub-tasks. None
// when the text holds neither a calendar nor a VTODO.
std::optional<std::vector<TTaskInfo>> TasksFromIcs(const QByteArray &text,
                                                   IcsCounts *counts = nullptr);

}  // namespace quillpad
