#pragma once
// The task dialogs as the list asks them: a reminder, a due date, a task's two colours
// and the alarm window. The desktop shows real dialogs; tests answer from a script.
// Without anything installed every dialog answers Cancel.

#include "store/DateTime.h"

#include <QString>

namespace quillpad {

// What the dialogs ask and answer: a reminder, a due date, a task's two colours (0 the
// default look, as stored), and how the alarm window was left.
struct ReminderChoice {
    bool enabled = false;
    TDateTime when = ZeroDateTime;
};

struct DueDateChoice {
    bool enabled = false;
    TDateTime date = ZeroDateTime;
};

struct ColorChoice {
    qint32 text = 0;
    qint32 background = 0;
};

struct AlarmAnswer {
    bool dismissed = false;
    TDateTime next = ZeroDateTime;  // when to ring again (zero when dismissed)
};

class TaskDialogs {
public:
    virtual ~TaskDialogs() = default;

    // Each starts from the given choice and, on OK, puts the answer into it and returns
    // true. Without windows they answer Cancel.
    virtual bool askReminder(ReminderChoice &choice);
    virtual bool askDueDate(DueDateChoice &choice);
    virtual bool askColors(ColorChoice &choice);
    // The alarm window for a task's text: plays the sound once and waits for Snooze or
    // Dismiss. Without windows it answers as a window closed without either would.
    virtual AlarmAnswer ringAlarm(const QString &text, const QString &soundPath);

    static TaskDialogs &instance();
    static void install(TaskDialogs *dialogs);  // nullptr restores the windowless answers
};

}  // namespace quillpad
