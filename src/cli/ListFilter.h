#pragma once
// Which tasks `list` shows. Every filter given must hold; a top-level task also shows
// for a sub-task that passes, as the task list shows a matching sub-task's parent.

#include "store/TaskInfo.h"

#include <QDate>
#include <QString>

namespace quillpad {

struct ListFilter {
    enum class Completion { Any, Incomplete, Completed };
    enum class DueWithin { Any, Today, Week };

    Completion completion = Completion::Any;
    bool overdue = false;  // incomplete, due before today
    DueWithin due = DueWithin::Any;  // Week: today or one of the six days after it
    QString search;  // in the text, without regard to case
    bool reminders = false;  // the reminder is on
    QDate today;

    bool any() const
    {
        return completion != Completion::Any || overdue || due != DueWithin::Any || !search.isEmpty() || reminders;
    }
    bool passes(const TTaskInfo &task) const;
    // The tasks that pass, and the top-level tasks of sub-tasks that pass.
    TaskSnapshot apply(TaskSnapshot &&snapshot) const;
};

}  // namespace quillpad
