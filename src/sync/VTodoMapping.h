#pragma once
// A task record as an iCalendar VTODO and back: the one place that knows which property
// holds which field.
//
// tid: UID. content: SUMMARY is its first line that is not blank, DESCRIPTION the lines
// after it, so a title renamed by another client replaces ours. Read back, SUMMARY and
// DESCRIPTION are joined; a DESCRIPTION that starts with the SUMMARY's line is the whole
// text, as an older version wrote it. Line breaks travel as iCalendar's \n and come back
// as CR LF. checkFlag: STATUS:COMPLETED or CANCELLED (or a COMPLETED without a STATUS),
// checkTime: COMPLETED; a cancelled task shows as done and keeps its status until it is
// reopened here. A repeating task (RRULE) is completed as a whole, as one task here.
// dueFlag/dueTime: DUE, a date without a time when it is local midnight, else UTC.
// alarmFlag/alarmTime: the first VALARM whose trigger comes to a time (absolute, or
// relative to DUE or DTSTART); we write an absolute UTC TRIGGER. pid: RELATED-TO with
// RELTYPE PARENT (or none). createTime/editTime: CREATED/LAST-MODIFIED in UTC. Times are
// local in the record and UTC (or a date) on the wire.
//
// LAST-MODIFIED and DTSTAMP tell other clients the object changed: they take the edit time
// when it moved, else the time we change any other field. A time another client left out
// (CREATED, LAST-MODIFIED, COMPLETED of a done task) reads as the object's DTSTAMP or
// LAST-MODIFIED (the earlier for CREATED), for an object with neither as the time it
// arrived, and is written with our next change.
//
// What iCalendar has no place for travels as our own X- properties: the colours, the
// expansion, and the time a flag that is off still keeps (a switched-off reminder keeps
// its time). The milliseconds of a time, which iCalendar cannot hold, travel as the
// parameter X-QUILLPAD-MS, so our record comes back equal; so do the blanks and blank
// lines a text starts with, which libical drops or a SUMMARY cannot hold
// (X-QUILLPAD-INDENT), the blanks the title ends with (X-QUILLPAD-TRAIL), and a mark on
// a DESCRIPTION whose first line repeats the title (X-QUILLPAD-REST). libical holds years up to 3000: a later time is written as the last
// second of the year 3000.

#include "store/TaskInfo.h"
#include "sync/Ical.h"
#include "sync/TwoLevels.h"

#include <vector>

namespace quillpad {

namespace VTodoNames {
inline constexpr char TextColor[] = "X-QUILLPAD-TEXT-COLOR";
inline constexpr char BackgroundColor[] = "X-QUILLPAD-BACKGROUND-COLOR";
inline constexpr char Expanded[] = "X-QUILLPAD-EXPANDED";
inline constexpr char CheckTimeOff[] = "X-QUILLPAD-CHECK-TIME";
inline constexpr char DueTimeOff[] = "X-QUILLPAD-DUE-TIME";
inline constexpr char AlarmTimeOff[] = "X-QUILLPAD-ALARM-TIME";
inline constexpr char Milliseconds[] = "X-QUILLPAD-MS";
inline constexpr char Indent[] = "X-QUILLPAD-INDENT";
inline constexpr char TrailingBlanks[] = "X-QUILLPAD-TRAIL";
inline constexpr char Rest[] = "X-QUILLPAD-REST";
}  // namespace VTodoNames

// The task a VTODO holds. pid is the UID its parent link names (root without one), as
// it is on the wire: ShowAtTwoLevels makes it one the task list can show.
TTaskInfo ReadVTodo(icalcomponent *todo);

// Writes the task into an existing VTODO in place: a field the VTODO already holds
// with the task's value stays as it is written there (its time zone, a relative
// reminder), and every property and component we do not map stays. shownPid is the pid
// the task list showed the VTODO under; while the task is still there, its parent link
// stays as it is, so a task nested deeper by another client keeps its place there.
void WriteVTodo(icalcomponent *todo, const TTaskInfo &task, const QString &shownPid);
void WriteVTodo(icalcomponent *todo, const TTaskInfo &task);  // shown as it is read
IcalComponentPtr NewVTodo(const TTaskInfo &task);

}  // namespace quillpad
