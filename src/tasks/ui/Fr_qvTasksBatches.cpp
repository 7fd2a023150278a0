// Writes of one action over many tasks, run as one batch; and what the list does when
// such a batch fails: it shows the tasks as the database has them.

#include "tasks/ui/Fr_qvTasks.h"

#include "store/TaskStore.h"
#include "store/WriteBatch.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"

#include <QSignalBlocker>

#include <exception>

namespace quillpad {

void TqvTasksFrame::runBatch(const QList<TaskNode *> &touched, const std::function<void()> &writes,
                             Refilter refilter)
{
    runBatch([&] { return touched; }, writes, refilter);
}

void TqvTasksFrame::runBatch(const std::function<QList<TaskNode *>()> &touched, const std::function<void()> &writes,
                             Refilter refilter)
{
    std::exception_ptr error;
    {
        WriteBatch batch(*m_context.connection);
        try {
            writes();
            batch.commit();
        } catch (...) {
            error = std::current_exception();
        }
    }  // after an error the batch keeps what was written before it, as single writes would
    if (!error)
        return;
    try {
        takeStoredRows(touched());
        if (refilter == Refilter::Yes)
            ApplyViewFilter();
        UpdateActions();
    } catch (...) {
        // the write's error is the one to report
    }
    std::rethrow_exception(error);
}

void TqvTasksFrame::takeStoredRows(const QList<TaskNode *> &touched)
{
    std::vector<TaskNode *> gone;
    QList<std::pair<TaskNode *, TTaskInfo>> stored;
    for (TaskNode *node : touched) {
        if (node->info.tid.isEmpty())
            continue;  // never written
        std::optional<TTaskInfo> row = m_store.find(node->info.tid);
        if (!row) {
            gone.push_back(node);
        } else if (row->pid != node->info.pid) {
            ReloadTasks();  // a move went part of the way: the tree's shape is the database's
            return;
        } else {
            stored.append({node, std::move(*row)});
        }
    }
    // Row by row, the other rows as they are.
    VtTasks->finishEditor();
    for (auto &[node, row] : stored) {
        node->info = std::move(row);
        if (node->isTopLevel() && !node->children.empty()) {
            node->expanded = node->info.expandFlag;
            const QModelIndex at = m_model->indexOf(node);
            if (at.isValid() && VtTasks->isExpanded(at) != node->expanded) {
                const QSignalBlocker quiet(VtTasks);  // the record already says so
                VtTasks->setExpanded(at, node->expanded);
            }
        }
        m_model->refresh(node);
    }
    if (!gone.empty()) {
        FHoverNode = nullptr;
        m_model->removeTasks(gone);
    }
}

}  // namespace quillpad
