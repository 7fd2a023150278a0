// Moving tasks between parents (the "Move to" menus and drag and drop), copying task
// texts to the clipboard, pasting the clipboard as a new task, Select All, Deselect.
//
// The tree has two levels. A top-level task that has sub-tasks and moves under another
// task takes its sub-tasks along: they become sub-tasks of the new parent, right after
// it, so no stored task ever has a parent that is itself a sub-task.

#include "tasks/ui/Fr_qvTasks.h"

#include "store/AppError.h"
#include "store/GuardedConnect.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"
#include "store/TaskStore.h"
#include "store/pU_Funcs.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QProxyStyle>
#include <QScopeGuard>

namespace quillpad {

namespace {

// Characters of a task's text that an entry shows before "...".
constexpr qsizetype CaptionLength = 60;

QString MenuCaption(const QString &content)
{
    // One line; a tab would start the menu's shortcut column and hide what follows it.
    QString caption = OneLine(content);
    caption.replace(QLatin1Char('\t'), QLatin1Char(' '));
    if (caption.size() > CaptionLength) {
        qsizetype cut = CaptionLength;
        if (caption.at(cut - 1).isHighSurrogate())
            --cut;
        caption = caption.left(cut) + QStringLiteral("...");
    }
    caption.replace(QLatin1Char('&'), QLatin1String("&&"));  // a task's text has no mnemonics
    return caption;
}

// A menu longer than the screen scrolls in one column instead of spreading into columns
// that run off the screen.
class ScrollingMenuStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_Menu_Scrollable)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void TqvTasksFrame::scrollWhenLong(QMenu *menu)
{
    auto *style = new ScrollingMenuStyle;
    style->setParent(menu);
    menu->setStyle(style);
}

void TqvTasksFrame::fillMoveMenu(QMenu *menu)
{
    // Made when the menu opens: a long list costs nothing on every change of selection.
    menu->clear();
    const TaskNode *first = firstSelectedNode();
    if (FEditNode || !first)
        return;
    if (!first->isTopLevel()) {
        ConnectGuarded(menu->addAction(QStringLiteral("Root")), &QAction::triggered, this, [this] { MoveTo(nullptr); });
        menu->addSeparator();
    }
    for (const auto &root : m_tree.roots()) {
        TaskNode *target = root.get();
        if (target == first || target == first->parent)
            continue;
        ConnectGuarded(menu->addAction(MenuCaption(target->info.content)), &QAction::triggered, this,
                       [this, target] { MoveTo(target); });
    }
}

void TqvTasksFrame::moveSelected(TaskNode *target, bool toFront)
{
    std::vector<TaskNode *> moving;
    for (TaskNode *node : VtTasks->selectedNodes()) {
        if (node != target)  // never its own parent
            moving.push_back(node);
    }
    if (moving.empty())
        return;
    const QString pid = target ? target->info.tid : RootPid;
    // The rows move first and the list follows once they are stored; after a failure
    // the list takes the database's shape. The target opens, and its expanded state is
    // stored with the move.
    QList<TaskNode *> touched;
    for (TaskNode *node : moving) {
        touched.append(node);
        for (const auto &child : node->children)
            touched.append(child.get());
    }
    if (target)
        touched.append(target);
    std::vector<TaskStore::TaskToMove> rows;
    for (const TaskNode *node : moving)
        rows.push_back({node->info.tid, node->isTopLevel()});
    runBatch(touched, [&] { m_store.moveTasks(rows, pid); });
    if (target) {
        target->expanded = true;
        target->info.expandFlag = true;  // as moveTasks stored it
    }
    // The rows change places in one change of layout: every other row keeps its
    // selection, its open sub-tasks and its place on the screen.
    {
        m_model->beginLayoutChange();
        const auto done = qScopeGuard([this] { m_model->endLayoutChange(); });
        if (target)
            VtTasks->openInLayoutChange(moving, false);  // they become sub-tasks
        for (TaskNode *node : m_tree.moveMany(moving, target, toFront))
            node->info.pid = pid;
        if (target)
            VtTasks->openInLayoutChange({target});
    }
    // The moved tasks end deselected; so does a target that was selected, skipped.
    VtTasks->clearSelection();
    VtTasksChange();  // nothing is selected now: the status bar says so too
}

void TqvTasksFrame::MoveTo(TaskNode *target)
{
    if (FEditNode)
        return;
    moveSelected(target, true);
}

bool TqvTasksFrame::VtTasksDragOver(TaskNode *node)
{
    if (!node)
        return true;
    if (node == firstSelectedNode())
        return false;
    if (node->isTopLevel()) {
        const QModelIndex at = m_model->indexOf(node);
        if (at.isValid() && !VtTasks->isExpanded(at))
            VtTasks->setExpanded(at, true);
    }
    return true;
}

void TqvTasksFrame::VtTasksDragDrop(TaskNode *node)
{
    if (FEditNode)
        return;
    TaskNode *target = node && !node->isTopLevel() ? node->parent : node;
    moveSelected(target, false);
}

void TqvTasksFrame::Action_CopyTaskExecute()
{
    // Stored line breaks are CR LF; on the clipboard they are LF, as Linux programs expect.
    QStringList texts;
    for (const TaskNode *node : VtTasks->selectedNodes())
        texts.append(QString(node->info.content).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    const QString text = texts.join(QLatin1Char('\n'));
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void TqvTasksFrame::Action_PasteTaskExecute()
{
    PasteText(QGuiApplication::clipboard()->text());
}

void TqvTasksFrame::PasteText(const QString &text)
{
    if (TrimTaskText(text).trimmed().isEmpty())
        return;  // nothing to paste is no task
    VtTasks->cancelEditor();
    TTaskInfo info;
    info.pid = RootPid;
    info.content = TrimTaskText(text);
    m_store.insertNew(info);
    // Shown at the end of the top level until the next filter run; the selection stays.
    m_model->appendTask(std::move(info), nullptr);
    UpdateActions();
    UpdateTrayHint();
}

void TqvTasksFrame::Action_SelectAllExecute()
{
    VtTasks->setFocus();
    VtTasks->selectAll();  // the view keeps the siblings of the anchor only
}

void TqvTasksFrame::Action_DeselectExecute()
{
    VtTasks->clearSelection();
}

}  // namespace quillpad
