#include "tasks/ui/TaskDialogs.h"

namespace quillpad {

namespace {
TaskDialogs g_windowless;
TaskDialogs *g_dialogs = &g_windowless;
}

bool TaskDialogs::askReminder(ReminderChoice &)
{
    return false;
}

bool TaskDialogs::askDueDate(DueDateChoice &)
{
    return false;
}

bool TaskDialogs::askColors(ColorChoice &)
{
    return false;
}

AlarmAnswer TaskDialogs::ringAlarm(const QString &, const QString &)
{
    return {};
}

TaskDialogs &TaskDialogs::instance()
{
    return *g_dialogs;
}

void TaskDialogs::install(TaskDialogs *dialogs)
{
    g_dialogs = dialogs ? dialogs : &g_windowless;
}

}  // namespace quillpad
