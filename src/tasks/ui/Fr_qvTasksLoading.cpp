// Loading the task list, the view filter, the command states, the tip panel and the
// tray summary; and the messages the list answers.

#include "tasks/ui/Fr_qvTasks.h"

#include "store/Connection.h"

#include "store/AppError.h"
#include "tasks/ui/FrameMessages.h"
#include "components/ui/IconLists.h"
#include "app/settings/AppSettings.h"
#include "tasks/TaskLoading.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"
#include "tasks/ui/TipPanel.h"
#include "components/ui/QvTray.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSet>
#include <QToolButton>

#include <utility>

namespace quillpad {

namespace {

// Writes the expanded states a search stored up, behind the repaint it asked for.
const QEvent::Type StoreExpandedEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

void TqvTasksFrame::customEvent(QEvent *event)
{
    if (event->type() == StoreExpandedEvent) {
        RunGuarded([this] { storeExpandedFromFilter(); });
        return;
    }
    switch (static_cast<int>(event->type())) {
    case MsgReloadTasks:
        if (QApplication::activeModalWidget()) {
            m_reloadPending = true;  // came in while a dialog opened: wait for it
            break;
        }
        RunGuarded([this] { ReloadTasks(); });
        break;
    case MsgMenuSortFocus:
        RunGuarded([this] {
            if (m_context.mainWindow) {
                MainMenu1->setParent(m_context.mainWindow);
                m_context.mainWindow->setMenuBar(MainMenu1);
                MainMenu1->show();
            }
            sortTree();
            // The list opens at its first task: the sort kept the first one loaded at
            // the top, wherever it went.
            VtTasks->scrollToTop();
            if (!FTreeFocused) {
                VtTasks->setFocus();
                FTreeFocused = true;
            }
        });
        break;
    case MsgAddTask:
        RunGuarded([this] { Action_TaskAdd->trigger(); });
        break;
    case MsgOpenEditor:
        RunGuarded([this] { beginEdit(); });
        break;
    case MsgDropNewNode:
        RunGuarded([this, event] { dropNewNode(static_cast<FrameEvent *>(event)->node()); });
        break;
    default:
        QWidget::customEvent(event);
    }
}

bool TqvTasksFrame::reloadMustWait() const
{
    // An edit, a ringing reminder or any open dialog (whose action holds on to tasks
    // it is about to write) is never interrupted by a reload.
    return FEditNode || m_alarmOpen || QApplication::activeModalWidget();
}

void TqvTasksFrame::requestReload()
{
    if (reloadMustWait()) {
        m_reloadPending = true;  // the reminder check sends it on once nothing is open
        return;
    }
    QCoreApplication::postEvent(this, new FrameEvent(MsgReloadTasks));
}

void TqvTasksFrame::ReloadTasks()
{
    m_reloadPending = false;
    m_storedChanges.clear();  // the reload reads them with everything else
    FReloading = true;
    // The view handlers wake up again also when a step below fails.
    const auto awake = qScopeGuard([this] { FReloading = false; });
    FTreeFocused = false;
    // An edit in progress is cancelled first, with its own cancel handling.
    VtTasks->cancelEditor();
    FEditNode = nullptr;
    FHoverNode = nullptr;
    changeTree([this] { m_tree.clear(); });
    FTipKind = 0;

    const ViewSettings &view = m_context.settings->readView();
    Action_ViewList->setChecked(view.listEn);
    Action_ViewDate->setChecked(view.dateEn);
    setViewRangeIndex(view.range);
    FSortAscending = view.ascEn;
    applySortIcon();

    FReloading = false;

    LoadTaskTree();
    ApplyViewFilter();
    UpdateActions();
    setSearchIdle();
    UpdateTrayHint();
    VtTasks->setToolTip(QStringLiteral("Double click to add a Task!"));
    showRandomStatusTip();
    Timer1.start();
    if (readOnly())
        setStatusNote(QStringLiteral("Changes cannot be stored: the task database can only be read, as %1.")
                          .arg(m_context.connection->readOnlyReason()));
    // Last: settings that cannot be written (a full disk) are reported, and the list
    // is there all the same.
    m_context.settings->logTaskCounts(CountTasks(), 0);
}

int TqvTasksFrame::CountTasks()
{
    return m_store.count();
}

void TqvTasksFrame::LoadTaskTree()
{
    // What was loaded before a failure stays in the tree.
    changeTree([this] { quillpad::LoadTaskTree(m_tree, m_store); });
}

void TqvTasksFrame::changeTree(const std::function<void()> &change)
{
    // A rebuild would take an open editor away without a word: end it first, keeping
    // its text. The hover must not outlive a node the change may free.
    VtTasks->finishEditor();
    FHoverNode = nullptr;
    struct Rebuild {
        TqvTasksFrame *frame;
        ~Rebuild()
        {
            frame->m_model->endRebuild();
            frame->restoreExpansion();
        }
    };
    m_model->beginRebuild();
    const Rebuild rebuild{this};
    change();
}

void TqvTasksFrame::restoreExpansion()
{
    // A rebuilt model starts collapsed; the nodes remember how they were shown. The
    // expand signal is quiet here: the records already say expanded.
    const QSignalBlocker quiet(VtTasks);
    for (TaskNode *root : m_model->expandedRows())
        VtTasks->setExpanded(m_model->indexOf(root), true);
}

void TqvTasksFrame::ApplyViewFilter()
{
    // An open editor ends first, keeping its text; the hover's look goes with the pass.
    VtTasks->finishEditor();
    if (TaskNode *hover = std::exchange(FHoverNode, nullptr))
        m_model->refresh(hover);

    // Rows come and go as a change of layout: the selection, the expanded rows and the
    // row at the top of the view stay as they are where they are still shown.
    FilterOutcome outcome;
    const auto range = static_cast<ViewRange>(viewRangeIndex());
    if (m_tree.filterKeepsAll(range, FSearchOn, FSearchText)) {
        outcome = m_tree.applyFilter(range, FSearchOn, FSearchText);
        // No row comes or goes, but the change that led here (a tick, a colour) is
        // painted all the same, as a layout change would have painted it.
        VtTasks->viewport()->update();
    } else {
        m_model->beginLayoutChange();
        const auto done = qScopeGuard([this] { m_model->endLayoutChange(); });
        outcome = m_tree.applyFilter(range, FSearchOn, FSearchText);
        // Opened before the rows are laid out, so they are laid out once.
        expandFromFilter(outcome.parentsToExpand);
    }
    if (!VtTasks->selectedNodes().isEmpty())
        VtTasksChange();

    ShowTip(FSearchOn && !outcome.anyVisible ? 3 : 0);
    UpdateTrayHint();
}

void TqvTasksFrame::expandFromFilter(const std::vector<TaskNode *> &parents)
{
    // The view opens the parents at once, quietly; their stored state is written after
    // the repaint, all in one transaction.
    const bool posted = !m_expandedToStore.isEmpty();
    for (TaskNode *parent : VtTasks->openInLayoutChange(parents)) {
        parent->expanded = true;
        if (!parent->info.expandFlag) {
            parent->info.expandFlag = true;
            m_expandedToStore.append(parent->info.tid);
        }
    }
    // Posted with the repaint's own low priority, so it runs after it.
    if (!posted && !m_expandedToStore.isEmpty())
        QCoreApplication::postEvent(this, new QEvent(StoreExpandedEvent), Qt::LowEventPriority);
}

void TqvTasksFrame::storeExpandedFromFilter()
{
    const QStringList tids = std::exchange(m_expandedToStore, {});
    if (tids.isEmpty())
        return;
    // Which tasks were touched matters only when the write fails: then one walk over
    // the tree finds them (a lookup per task would walk it once for each).
    const auto touched = [&] {
        const QSet<QString> stored(tids.begin(), tids.end());
        QList<TaskNode *> nodes;
        m_tree.forEach([&](const TaskNode *node) {
            if (stored.contains(node->info.tid))
                nodes.append(const_cast<TaskNode *>(node));
        });
        return nodes;
    };
    // Filtering again after a failure would open the same parents and try again.
    runBatch(touched, [&] { m_store.storeExpandFlags(tids, true); }, Refilter::No);
}

void TqvTasksFrame::UpdateActions()
{
    for (QAction *item :
         {Action_TaskAdd, Action_SubTaskAdd, Action_TaskEdit, Action_TaskDelete, Action_TaskComplete,
          Action_TaskReminderSet, Action_TaskDueSet, Action_ViewAsc, Action_ViewDate, Action_ViewList,
          Action_ExpandAll, Action_CollapseAll, Action_SaveAll, Action_Save, Action_Email, Action_Print,
          Action_SetColor, Action_MoveTo, Action_CopyTask, Action_PasteTask, Action_SelectAll, Action_Deselect})
        item->setEnabled(false);
    Comb_ViewRange->setEnabled(false);
    for (QMenu *menu : {Menu_Moveto, MainMoveTo}) {
        menu->clear();
        menu->setEnabled(false);
    }

    QAction *const rangeItems[] = {Menu_ViewAll, Menu_Complete, Menu_Incomplete};
    const int range = viewRangeIndex();
    if (range >= 0 && range < 3)
        rangeItems[range]->setChecked(true);
    for (QAction *item : rangeItems)
        item->setEnabled(false);

    if (FEditNode)
        return;
    const auto readOnly = qScopeGuard([this] { disableWritesWhenReadOnly(); });

    for (QAction *item : {Action_TaskAdd, Action_SubTaskAdd, Action_ViewAsc, Action_ViewDate, Action_ViewList,
                          Action_ExpandAll, Action_CollapseAll, Action_SaveAll, Action_Save, Action_Email,
                          Action_Print, Action_CopyTask, Action_PasteTask, Action_SelectAll, Action_Deselect})
        item->setEnabled(true);
    for (QAction *item : rangeItems)
        item->setEnabled(true);
    Comb_ViewRange->setEnabled(true);

    const TaskNode *first = firstSelectedNode();
    if (!first)
        return;
    for (QAction *item : {Action_SetColor, Action_TaskEdit, Action_TaskDelete, Action_TaskReminderSet,
                          Action_TaskDueSet, Action_TaskComplete})
        item->setEnabled(true);
    Action_TaskComplete->setText(first->info.checkFlag ? QStringLiteral("Unmark Complete")
                                                       : QStringLiteral("Mark Complete"));
    Action_MoveTo->setEnabled(true);
    // The move targets: "Root" for a sub-task, and every top-level task other than the
    // selected one and its parent. The entries themselves are made when a menu opens,
    // so a long list costs nothing on every change of the selection.
    const bool hasTargets = !first->isTopLevel() ||
                            m_tree.roots().size() > (first->isTopLevel() ? 1u : 2u);
    for (QMenu *menu : {Menu_Moveto, MainMoveTo})
        menu->setEnabled(hasTargets);
}

bool TqvTasksFrame::readOnly() const
{
    return m_context.connection && m_context.connection->isReadOnly();
}

void TqvTasksFrame::disableWritesWhenReadOnly()
{
    if (!readOnly())
        return;
    // Every task is shown and can be copied, saved or printed; nothing can be changed.
    for (QAction *item : {Action_TaskAdd, Action_SubTaskAdd, Action_TaskEdit, Action_TaskDelete, Action_TaskComplete,
                          Action_TaskReminderSet, Action_TaskDueSet, Action_SetColor, Action_MoveTo, Action_PasteTask,
                          Action_ExpandAll, Action_CollapseAll})
        item->setEnabled(false);
    for (QMenu *menu : {Menu_Moveto, MainMoveTo})
        menu->setEnabled(false);
}

QString TqvTasksFrame::TipText(int kind)
{
    switch (kind) {
    case 1: return QStringLiteral("Click here to Add a new Item.");
    case 2: return QStringLiteral("Click here to finish Edit. Press Esc cancel.");
    case 3: return QStringLiteral("Search no result");
    default: return {};
    }
}

void TqvTasksFrame::ShowTip(int kind)
{
    if (kind == 0 && m_model->rowCount() == 0)
        kind = 1;
    FTipKind = kind;
    if (kind <= 0) {
        Panel_tip->hideTip();
        return;
    }
    static const IconRole icons[] = {IconRole::AddTask, IconRole::AddTask, IconRole::Pencil, IconRole::Information};
    Panel_tip->showTip(TipText(kind), IconList::small().icon(Icon(icons[std::min(kind, 3)])));
}

QString TqvTasksFrame::tipText() const
{
    return Panel_tip->isVisibleTo(this) ? Panel_tip->text() : QString();
}

void TqvTasksFrame::UpdateTrayHint()
{
    const QString hint = IncompleteTasksSummary(m_store, m_context.settings->startup().hintSize);
    if (m_context.tray)
        m_context.tray->setHint(hint);
}

void TqvTasksFrame::setViewRangeIndex(int index)
{
    Comb_ViewRange->setCurrentIndex(index >= 0 && index < Comb_ViewRange->count() ? index : 0);
}

int TqvTasksFrame::viewRangeIndex() const
{
    return Comb_ViewRange->currentIndex();
}

}  // namespace quillpad
