// Rows that follow the database after another writer changed it (a sync), one by one
// instead of a reload, so the user keeps the selection, the open parents and the place
// in a long list.

#include "tasks/ui/Fr_qvTasks.h"

#include "components/ui/QvStatusBar.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"

#include <QHash>
#include <QSignalBlocker>

namespace quillpad {

void TqvTasksFrame::takeStoredChanges(const QStringList &tids)
{
    m_storedChanges += tids;
    m_storedChanges.removeDuplicates();
    // Waiting: the reminder check takes them in once nothing is open; a reload waiting
    // reads them anyway.
    if (m_storedChanges.isEmpty() || m_reloadPending || reloadMustWait())
        return;
    applyStoredChanges();
}

void TqvTasksFrame::applyStoredChanges()
{
    const QStringList tids = std::exchange(m_storedChanges, {});
    QHash<QString, TaskNode *> nodes;
    m_tree.forEach([&](TaskNode *node) { nodes.insert(node->info.tid, node); });
    if (TaskNode *hover = std::exchange(FHoverNode, nullptr))
        m_model->refresh(hover);

    // What the database holds now decides: a task gone from it loses its row (with its
    // sub-tasks), one the list lacks gets a row, any other is read again.
    QList<TTaskInfo> stored;
    for (const QString &tid : tids) {
        std::optional<TTaskInfo> info = m_store.find(tid);
        TaskNode *node = nodes.value(tid);
        if (info) {
            stored.append(std::move(*info));
        } else if (node) {
            nodes.remove(tid);
            for (const auto &child : node->children)
                nodes.remove(child->info.tid);
            m_model->removeTask(node);
        }
    }
    bool filter = false;
    const auto range = static_cast<ViewRange>(viewRangeIndex());
    // Parents first, so a new sub-task finds its new parent.
    std::stable_sort(stored.begin(), stored.end(),
                     [](const TTaskInfo &a, const TTaskInfo &b) { return a.pid == RootPid && b.pid != RootPid; });
    for (TTaskInfo &info : stored) {
        TaskNode *parent = info.pid == RootPid ? nullptr : nodes.value(info.pid);
        TaskNode *node = nodes.value(info.tid);
        if (info.pid != RootPid && (!parent || !parent->isTopLevel())) {
            if (node)
                m_model->removeTask(node);  // as loading does: a row under a missing parent stays out
            continue;
        }
        if (parent)
            info.expandFlag = false;  // kept for top-level tasks only
        if (node && node->parent != parent) {
            requestReload();  // moved to another parent
            return;
        }
        if (node) {
            m_tree.setContent(node, info.content);
            node->info = std::move(info);
            m_tree.noteReminder(node);
            m_model->refresh(node);
        } else if (parent && parent->viewRow < 0) {
            // A hidden parent has no rows to insert into: the filter pass shows it.
            m_model->beginLayoutChange();
            nodes.insert(info.tid, m_tree.append(std::move(info), parent));
            m_model->endLayoutChange();
        } else {
            nodes.insert(info.tid, m_model->appendTask(std::move(info), parent));
            if (parent && parent->info.expandFlag && !parent->expanded) {
                const QSignalBlocker quiet(VtTasks);  // its record already says open
                VtTasks->setExpanded(m_model->indexOf(parent), true);
                parent->expanded = true;
            }
        }
        filter = true;
    }
    // New and changed rows pass the view's filter like any other (a sort waits, as it
    // does for a task added here).
    if (filter && !m_tree.filterKeepsAll(range, FSearchOn, FSearchText))
        ApplyViewFilter();
    UpdateActions();
    UpdateTrayHint();
}

void TqvTasksFrame::setStatusNote(const QString &text)
{
    QvStatusBar1->setNoteText(text);
}

QString TqvTasksFrame::statusNote() const
{
    return QvStatusBar1->noteText();
}

}  // namespace quillpad
