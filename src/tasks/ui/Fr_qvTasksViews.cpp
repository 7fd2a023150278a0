// The view controls: the view range, list and date views, the sort direction, Expand
// and Collapse All with the stored expanded state, and the search box.

#include "tasks/ui/Fr_qvTasks.h"

#include "store/AppError.h"
#include "components/ui/IconLists.h"
#include "app/settings/AppSettings.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"
#include "store/pU_Funcs.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopeGuard>
#include <QToolButton>

namespace quillpad {

void TqvTasksFrame::applySortIcon()
{
    // The button shows the direction its next click selects.
    const IconRole role = FSortAscending ? IconRole::SortDescending : IconRole::SortAscending;
    const QString hint = FSortAscending ? QStringLiteral("Descending Sort") : QStringLiteral("Ascending Sort");
    Action_ViewAsc->setIcon(IconList::small().icon(Icon(role)));
    Action_ViewAsc->setToolTip(hint);
    Action_ViewAsc->setIconText(hint);  // the button's name: it has no caption
    Action_ViewAsc->setStatusTip(hint);
    if (m_viewAscButton)
        m_viewAscButton->setIcon(IconList::large().icon(Icon(role)));
}

void TqvTasksFrame::setSearchIdle()
{
    FSearchOn = false;
    // Both colours come from the frame's palette: the box's own palette holds whatever
    // colour it was last given, in every group.
    QPalette colours = Edt_Search->palette();
    colours.setColor(QPalette::Text, palette().color(QPalette::Disabled, QPalette::Text));
    Edt_Search->setPalette(colours);
    Edt_Search->setText(QStringLiteral("  Search..."));
    Btn_Search->setIcon(IconList::small().icon(Icon(IconRole::Magnifier)));
    Btn_Search->setToolTip(QString());
    Btn_Search->setAccessibleName(QStringLiteral("Search"));
}

void TqvTasksFrame::Comb_ViewRangeChange()
{
    if (FReloading)
        return;
    ApplyViewFilter();
    UpdateActions();
    VtTasks->setFocus();
    m_context.settings->setViewRange(viewRangeIndex());
}

void TqvTasksFrame::Edt_SearchChange(const QString &text)
{
    // The text without blanks and control characters at either end.
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start).unicode() <= 32)
        ++start;
    while (end > start && text.at(end - 1).unicode() <= 32)
        --end;
    FSearchText = text.mid(start, end - start);
    RunGuarded([this] { ApplyViewFilter(); });
}

bool TqvTasksFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Edt_Search) {
        bool handled = false;
        RunGuarded([&] {
            switch (event->type()) {
            case QEvent::FocusIn:
                Edt_SearchEnter();
                break;
            case QEvent::FocusOut:
                Edt_SearchExit();
                break;
            case QEvent::KeyPress:
                handled = Edt_SearchKeyDown(static_cast<QKeyEvent *>(event));
                break;
            default:
                break;
            }
        });
        if (handled)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TqvTasksFrame::Edt_SearchEnter()
{
    if (FSearchOn)
        return;
    Edt_Search->clear();
    QPalette colours = Edt_Search->palette();
    colours.setColor(QPalette::Text, palette().color(QPalette::Active, QPalette::Text));
    Edt_Search->setPalette(colours);
    FSearchOn = true;
    Btn_Search->setIcon(IconList::small().icon(IconRole::BackArrow));
    Btn_Search->setToolTip(QStringLiteral("Clear search"));
    Btn_Search->setAccessibleName(QStringLiteral("Clear Search"));
}

void TqvTasksFrame::Edt_SearchExit()
{
    if (!Edt_Search->text().trimmed().isEmpty())
        return;  // the search stays on
    setSearchIdle();
}

bool TqvTasksFrame::Edt_SearchKeyDown(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        Btn_SearchClick();
        return true;
    }
    if (event->key() == Qt::Key_A && event->modifiers() == Qt::ControlModifier) {
        Edt_Search->selectAll();
        return true;
    }
    return false;
}

void TqvTasksFrame::Btn_SearchClick()
{
    if (FSearchOn) {
        Edt_Search->clear();
        Edt_SearchExit();
        RunGuarded([this] { ApplyViewFilter(); });
        VtTasks->setFocus();
    } else {
        Edt_Search->setFocus();
    }
}

void TqvTasksFrame::Action_ViewListExecute()
{
    if (FReloading)
        return;
    // Every row reads and measures differently now.
    m_model->refreshAll();
    m_context.settings->setViewListEn(Action_ViewList->isChecked());
}

void TqvTasksFrame::Action_ViewDateExecute()
{
    if (FReloading)
        return;
    m_model->refreshAll();
    m_context.settings->setViewDateEn(Action_ViewDate->isChecked());
}

void TqvTasksFrame::Action_ViewAscExecute()
{
    FSortAscending = !FSortAscending;
    applySortIcon();
    sortTree();
    m_context.settings->setViewAscEn(FSortAscending);
}

void TqvTasksFrame::sortTree()
{
    // Rows change places only: the selection and the expanded rows go with them.
    VtTasks->finishEditor();
    {
        m_model->beginLayoutChange();
        const auto done = qScopeGuard([this] { m_model->endLayoutChange(); });
        m_tree.sort(FSortAscending);
    }
    m_model->refreshAll();  // a row's number may have changed
}

void TqvTasksFrame::setAllExpanded(bool expanded)
{
    // One commit for the whole pass; the first failure ends it and is reported once.
    QList<TaskNode *> changing;
    for (const auto &root : m_tree.roots()) {
        if (!root->children.empty() && root->expanded != expanded)
            changing.append(root.get());
    }
    runBatch(changing, [&] {
        for (TaskNode *node : changing)
            storeExpanded(node, expanded);
    });
    const QSignalBlocker quiet(VtTasks);  // stored already
    for (TaskNode *node : changing) {
        const QModelIndex at = m_model->indexOf(node);
        if (at.isValid())
            VtTasks->setExpanded(at, expanded);
    }
    UpdateActions();
}

void TqvTasksFrame::storeExpanded(TaskNode *node, bool expanded)
{
    node->expanded = expanded;
    if (node->info.expandFlag == expanded)
        return;
    m_store.storeExpandFlag(node->info.tid, expanded);
    node->info.expandFlag = expanded;  // the record says what the row says
}

void TqvTasksFrame::VtTasksExpanded(TaskNode *node)
{
    if (!node)
        return;
    storeExpanded(node, true);
    UpdateActions();
}

void TqvTasksFrame::VtTasksCollapsed(TaskNode *node)
{
    if (!node)
        return;
    storeExpanded(node, false);
    UpdateActions();
}

}  // namespace quillpad
