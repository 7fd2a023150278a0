#include "cli/ListFilter.h"

namespace quillpad {

bool ListFilter::passes(const TTaskInfo &task) const
{
    if (completion != Completion::Any && task.checkFlag != (completion == Completion::Completed))
        return false;
    if (overdue && (task.checkFlag || !IsOverdue(task, today)))
        return false;
    if (due != DueWithin::Any) {
        const QDate date = DateOf(task.dueTime);
        const QDate last = due == DueWithin::Today ? today : today.addDays(6);
        if (!task.dueFlag || date < today || date > last)
            return false;
    }
    if (reminders && !task.alarmFlag)
        return false;
    return search.isEmpty() || task.content.contains(search, Qt::CaseInsensitive);
}

TaskSnapshot ListFilter::apply(TaskSnapshot &&snapshot) const
{
    if (!any())
        return std::move(snapshot);
    TaskSnapshot kept;
    for (TaskWithSubTasks &entry : snapshot) {
        std::erase_if(entry.subTasks, [this](const TTaskInfo &task) { return !passes(task); });
        if (!entry.subTasks.empty() || passes(entry.task))
            kept.push_back(std::move(entry));
    }
    return kept;
}

}  // namespace quillpad
