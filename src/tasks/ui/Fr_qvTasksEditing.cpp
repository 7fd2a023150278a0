// Adding, editing, completing and deleting tasks, and the keys of the tree. Every
// change is written at once: one insert, one single-row edit or one statement.

#include "tasks/ui/Fr_qvTasks.h"

#include "store/AppError.h"
#include "tasks/ui/FrameMessages.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTextEditor.h"
#include "tasks/ui/TaskTreeView.h"
#include "store/TaskStore.h"
#include "store/pU_Funcs.h"

#include <QAction>
#include <QComboBox>
#include <QScopeGuard>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTextDocument>
#include <QWidget>

namespace quillpad {

void TqvTasksFrame::showAllIfCompleteOnly()
{
    // A new task is incomplete: under "View Complete" it could not be seen.
    if (viewRangeIndex() == 1) {
        setViewRangeIndex(0);
        Comb_ViewRangeChange();
    }
}

void TqvTasksFrame::startNewTask(TaskNode *parent)
{
    TTaskInfo info;
    info.pid = parent ? parent->info.tid : RootPid;
    TaskNode *node = nullptr;
    if (parent && !m_model->indexOf(parent).isValid()) {
        // A filtered-out parent shows for its new sub-task, the other rows as they are.
        VtTasks->finishEditor();
        m_model->beginLayoutChange();
        const auto done = qScopeGuard([this] { m_model->endLayoutChange(); });
        node = m_tree.append(std::move(info), parent);
        parent->visible = true;
    } else {
        // One inserted row; an open editor ends first, keeping its text.
        VtTasks->finishEditor();
        node = m_model->appendTask(std::move(info), parent);
    }
    enterEdit(node);
}

void TqvTasksFrame::enterEdit(TaskNode *node)
{
    // Every edit starts from a posted message, after the row has been measured anew;
    // meanwhile the commands that would disturb it are off.
    FEditNode = node;
    m_model->refresh(node);
    QCoreApplication::postEvent(this, new FrameEvent(MsgOpenEditor));
    UpdateActions();
}

void TqvTasksFrame::Action_TaskAddExecute()
{
    if (FEditNode)
        return;
    showAllIfCompleteOnly();
    startNewTask(nullptr);
}

void TqvTasksFrame::Action_SubTaskAddExecute()
{
    if (FEditNode)
        return;
    showAllIfCompleteOnly();
    TaskNode *parent = firstSelectedNode();
    if (parent && !parent->isTopLevel())
        parent = parent->parent;
    if (!parent && !m_tree.isEmpty())
        parent = m_tree.roots().back().get();
    if (!parent) {
        TipBox(QStringLiteral("Please select a task!"));
        return;
    }
    startNewTask(parent);
}

void TqvTasksFrame::Action_TaskEditExecute()
{
    TaskNode *node = firstSelectedNode();
    if (FEditNode || !node)
        return;
    enterEdit(node);
}

void TqvTasksFrame::beginEdit()
{
    if (!FEditNode)
        return;
    ShowTip(2);
    TaskNode *node = FEditNode;
    if (node->parent) {
        const QModelIndex parent = m_model->indexOf(node->parent);
        if (parent.isValid() && !VtTasks->isExpanded(parent))
            VtTasks->setExpanded(parent, true);  // the expand handler stores it
    }
    const QModelIndex at = m_model->indexOf(node);
    if (!at.isValid()) {
        VtTasksEditCancelled(node);  // nowhere to open the editor: never leave the list locked
        return;
    }
    m_model->refresh(node);
    // The row gets the focus; the selection is left as it is (held keys must not toggle it).
    VtTasks->selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
    VtTasks->scrollTo(at);
    VtTasks->setFocus();
    if (!VtTasks->openEditor(node)) {
        m_unstoredText.reset();
        VtTasksEditCancelled(node);
        return;
    }
    if (m_unstoredText) {
        // The text that could not be stored is there again, and counts as typed.
        if (auto *editor = qobject_cast<TaskTextEditor *>(VtTasks->editor())) {
            editor->setStoredText(*m_unstoredText);
            editor->document()->setModified(true);
        }
        m_unstoredText.reset();
    }
}

bool TqvTasksFrame::VtTasksEditing(TaskNode *node)
{
    if (FEditNode) {
        UpdateActions();
        return true;
    }
    enterEdit(node);
    return false;
}

void TqvTasksFrame::editorClosed(TaskNode *node, bool cancelled, bool typed, const QString &text)
{
    if (cancelled) {
        VtTasksEditCancelled(node);
    } else {
        bool stored = !typed;
        if (typed) {
            RunGuarded([&] {
                VtTasksNewText(node, text);
                stored = true;
            });
            // A failure after the row was written (the filter pass, say) lost nothing.
            stored = stored || (!node->info.tid.isEmpty() && node->info.content == TrimTaskText(text));
        }
        if (!stored) {
            // Told why (the database locked by another writer, say), the user gets the
            // typed text back in the editor to finish again or cancel.
            reopenEditor(node, text);
            return;
        }
        VtTasksEdited(node);
    }
    if (m_reloadPending && !FEditNode)
        requestReload();
}

void TqvTasksFrame::reopenEditor(TaskNode *node, const QString &text)
{
    m_unstoredText = text;
    enterEdit(node);
}

void TqvTasksFrame::VtTasksNewText(TaskNode *node, const QString &text)
{
    const QString content = TrimTaskText(text);
    if (node->info.tid.isEmpty()) {
        TTaskInfo info = node->info;
        info.content = content;
        try {
            m_store.insertNew(info);
        } catch (...) {
            // Nothing was stored; the text stays in the list, so nothing typed is lost.
            m_tree.setContent(node, content);
            throw;
        }
        const QString stored = info.content;
        node->info = std::move(info);
        m_tree.setContent(node, stored);
    } else {
        m_store.storeText(node->info, content);
        m_tree.setContent(node, content);
    }
    ApplyViewFilter();
    UpdateActions();
}

void TqvTasksFrame::VtTasksEdited(TaskNode *node)
{
    FEditNode = nullptr;
    if (!node->info.tid.isEmpty() || !node->info.content.isEmpty()) {
        m_model->refresh(node);
        VtTasks->selectNodes({node}, node);
        ShowTip(0);
    } else {
        QCoreApplication::postEvent(this, new FrameEvent(MsgDropNewNode, node));
    }
    UpdateActions();
}

void TqvTasksFrame::VtTasksEditCancelled(TaskNode *node)
{
    if (FEditNode)
        FEditNode = nullptr;
    if (!node->info.tid.isEmpty()) {
        m_model->refresh(node);
        ShowTip(0);
    } else {
        QCoreApplication::postEvent(this, new FrameEvent(MsgDropNewNode, node));
    }
    UpdateActions();
}

void TqvTasksFrame::dropNewNode(TaskNode *node)
{
    // Only a pending node that is still in the tree: a reload may have come between.
    bool present = false;
    m_tree.forEach([&](const TaskNode *each) { present = present || each == node; });
    if (present && node->info.tid.isEmpty() && node != FEditNode) {
        if (FHoverNode == node)
            FHoverNode = nullptr;
        m_model->removeTask(node);
    }
    ShowTip(0);
}

void TqvTasksFrame::Action_TaskDeleteExecute()
{
    const QList<TaskNode *> selected = VtTasks->selectedNodes();
    if (FEditNode || selected.isEmpty())
        return;
    const QString what = selected.size() == 1 ? QStringLiteral("this task?") : QStringLiteral("these tasks?");
    if (AskBox(QStringLiteral("Are you sure you want to delete ") + what) != 1)
        return;
    // One disk flush for the lot. After a failure, what the database no longer has
    // leaves the list too; the rest stays as it is.
    runBatch(selected, [&] {
        for (TaskNode *node : selected)
            m_store.remove(node->info.tid);
    });
    const std::vector<TaskNode *> deleted(selected.begin(), selected.end());
    // Keeping the other rows as they are.
    FHoverNode = nullptr;
    m_model->removeTasks(deleted);  // with their sub-tasks
    ApplyViewFilter();
    VtTasksChange();  // nothing is selected now: the status bar says so too
}

void TqvTasksFrame::VtTasksChecked(TaskNode *node, bool checked)
{
    if (node->info.tid.isEmpty())
        return;  // a task being written for the first time has no row to tick yet
    if (readOnly()) {
        m_model->refresh(node);  // the status bar says why the box does not change
        return;
    }
    try {
        m_store.storeCheck(node->info, checked);
    } catch (...) {
        m_model->refresh(node);  // the box shows what is stored, not the click
        throw;
    }
    m_model->refreshCheck(node);  // said before the filter may take the row away
    ApplyViewFilter();
    UpdateActions();
}

void TqvTasksFrame::Action_TaskCompleteExecute()
{
    const QList<TaskNode *> selected = VtTasks->selectedNodes();
    if (FEditNode || selected.isEmpty())
        return;
    const bool checked = !selected.front()->info.checkFlag;
    // Each changed task is written as a check of its box would write it; the view is
    // filtered once for all of them, and the writes share one disk flush.
    QList<TaskNode *> changing;
    for (TaskNode *node : selected) {
        if (node->info.checkFlag != checked && !node->info.tid.isEmpty())
            changing.append(node);
    }
    runBatch(changing, [&] {
        for (TaskNode *node : changing)
            m_store.storeCheck(node->info, checked);
    });
    for (TaskNode *node : std::as_const(changing))
        m_model->refreshCheck(node);
    if (!changing.isEmpty())
        ApplyViewFilter();
    UpdateActions();
}

bool TqvTasksFrame::VtTasksKeyDown(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        (ctrl ? Action_SubTaskAdd : Action_TaskAdd)->trigger();
        return true;
    case Qt::Key_Delete:
        Action_TaskDelete->trigger();
        return true;
    case Qt::Key_C:
        if (!ctrl)
            return false;
        Action_CopyTask->trigger();
        return true;
    case Qt::Key_V:
        if (!ctrl)
            return false;
        Action_PasteTask->trigger();
        return true;
    case Qt::Key_F12:
        if (!ctrl)
            return false;
        if (m_context.shell.uiClose)
            m_context.shell.uiClose->trigger();
        return true;
    default:
        return false;
    }
}

void TqvTasksFrame::endEdit()
{
    VtTasks->finishEditor();
}

}  // namespace quillpad
