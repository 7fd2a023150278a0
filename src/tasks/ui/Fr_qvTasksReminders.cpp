// Reminders, due dates and colours of the selected tasks, and the reminder check that
// rings due reminders one at a time, in tree order.

#include "tasks/ui/Fr_qvTasks.h"

#include "store/AppError.h"
#include "store/Clock.h"
#include "tasks/ui/TaskDialogs.h"
#include "store/Query.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"
#include "store/TaskStore.h"
#include "store/pU_Funcs.h"

#include <QAction>

namespace quillpad {

void TqvTasksFrame::writeEach(const QList<TaskNode *> &nodes, bool deselect,
                              const std::function<void(TaskNode *)> &write)
{
    // One disk flush for the lot; each task is repainted (and let go) once stored.
    runBatch(nodes, [&] {
        for (TaskNode *node : nodes)
            write(node);
    });
    for (TaskNode *node : nodes) {
        m_model->refresh(node);
        if (deselect)
            VtTasks->deselect(node);
    }
}

void TqvTasksFrame::Action_TaskReminderSetExecute()
{
    const QList<TaskNode *> selected = VtTasks->selectedNodes();
    if (FEditNode || selected.isEmpty())
        return;
    ReminderChoice choice{selected.front()->info.alarmFlag, selected.front()->info.alarmTime};
    if (!TaskDialogs::instance().askReminder(choice))
        return;
    writeEach(selected, true, [&](TaskNode *node) {
        m_store.storeAlarm(node->info, choice.enabled, choice.when);
        m_tree.noteReminder(node);
    });
}

void TqvTasksFrame::Action_TaskDueSetExecute()
{
    const QList<TaskNode *> selected = VtTasks->selectedNodes();
    if (FEditNode || selected.isEmpty())
        return;
    DueDateChoice choice{selected.front()->info.dueFlag, selected.front()->info.dueTime};
    if (!TaskDialogs::instance().askDueDate(choice))
        return;
    writeEach(selected, true, [&](TaskNode *node) {
        m_store.storeDue(node->info, choice.enabled, choice.date);
    });
}

void TqvTasksFrame::Action_SetColorExecute()
{
    const QList<TaskNode *> selected = VtTasks->selectedNodes();
    if (FEditNode || selected.isEmpty())
        return;
    ColorChoice choice{selected.front()->info.textColor, selected.front()->info.backgroundColor};
    if (!TaskDialogs::instance().askColors(choice))
        return;
    writeEach(selected, false, [&](TaskNode *node) {
        node->info.textColor = choice.text;
        node->info.backgroundColor = choice.background;
        m_store.storeColors(node->info.tid, choice.text, choice.background);
    });
}

void TqvTasksFrame::Timer1Timer()
{
    if (m_alarmOpen)
        return;
    if (m_reloadPending && !reloadMustWait()) {
        requestReload();
        return;
    }
    if (!m_storedChanges.isEmpty() && !reloadMustWait())
        applyStoredChanges();
    TaskNode *due = m_tree.firstDueReminder(DateTimeToMs(Clock::nowDateTime()));
    if (!due)
        return;

    // The window is modal: this timer keeps ticking inside it, and the flag keeps a
    // second window away. The tree may be reloaded meanwhile: find the task again.
    const QString tid = due->info.tid;
    m_alarmOpen = true;
    AlarmAnswer answer;
    try {
        answer = TaskDialogs::instance().ringAlarm(due->info.content, m_context.alarmSoundPath);
    } catch (...) {
        m_alarmOpen = false;
        throw;
    }
    m_alarmOpen = false;

    TaskNode *node = m_tree.findByTid(tid);
    if (node) {
        m_store.storeAlarm(node->info, !answer.dismissed, answer.next);
        m_tree.noteReminder(node);
        m_model->refresh(node);
    }
    if (m_reloadPending)
        requestReload();
}

}  // namespace quillpad
