// The rows' view state for the row presenter and the background pictures it names, the
// hover expansion of the list view, the status text of the selection, the pop-up menus
// and the double click on empty space.

#include "tasks/ui/Fr_qvTasks.h"

#include "store/AppError.h"
#include "store/Clock.h"
#include "store/DateText.h"
#include "tasks/ui/FrameMessages.h"
#include "components/ui/IconLists.h"
#include "components/ui/QvStatusBar.h"
#include "tasks/ui/TaskRowDelegate.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"
#include "store/pU_Funcs.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QRandomGenerator>

namespace quillpad {

RowPresenter TqvTasksFrame::rowPresenter() const
{
    RowView view;
    view.listView = Action_ViewList->isChecked();
    view.dateView = Action_ViewDate->isChecked();
    view.today = Clock::now().date();
    view.font = VtTasks->font();
    view.palette = VtTasks->palette();
    view.shades = m_rowPictures.forPalette(view.palette).shades;
    view.viewHeight = VtTasks->height();
    return RowPresenter(std::move(view));
}

RowState TqvTasksFrame::rowState(const TaskNode &node, bool selected) const
{
    RowState state;
    state.editing = &node == FEditNode;
    state.expanded = &node == FHoverNode;
    state.hot = &node == VtTasks->hotNode();
    state.selected = selected;
    state.enabled = VtTasks->isEnabled();
    return state;
}

QString TqvTasksFrame::VtTasksGetText(const TaskNode &node) const
{
    return rowPresenter().text(node.info, RowPlace::of(node), rowState(node));
}

void TqvTasksFrame::VtTasksPaintText(const TaskNode &node, bool selected, QFont &font, QColor &textColor) const
{
    const RowPresenter presenter = rowPresenter();
    const RowState state = rowState(node, selected);
    font = presenter.font(node.info, state);
    textColor = presenter.textColor(node.info, RowPlace::of(node), state);
}

int TqvTasksFrame::VtTasksGetImageIndex(const TaskNode &node) const
{
    return RowIconIndex(rowPresenter().icon(node.info));
}

void TqvTasksFrame::VtTasksBeforeCellPaint(QPainter &painter, const QRect &cell, const TaskNode &node) const
{
    const RowFill fill = rowPresenter().background(node.info, RowPlace::of(node), rowState(node));
    const RowPictures::Laid &images = m_rowPictures.forPalette(VtTasks->palette());
    switch (fill.kind) {
    case RowBackground::None:
        break;
    case RowBackground::Hot:
    case RowBackground::Stored:
        painter.fillRect(cell, fill.color);
        break;
    case RowBackground::SubTask:
        painter.drawPixmap(cell, images.group);
        break;
    case RowBackground::TopLevelEven:
        painter.drawPixmap(cell, images.item0);
        break;
    case RowBackground::TopLevelOdd:
        painter.drawPixmap(cell, images.item1);
        break;
    }
}

int TqvTasksFrame::VtTasksMeasureItem(const TaskNode &node, int textWidth) const
{
    return rowPresenter().height(node.info, RowPlace::of(node), rowState(node), textWidth);
}

TaskNode *TqvTasksFrame::firstSelectedNode() const
{
    const QList<TaskNode *> selected = VtTasks->selectedNodes();
    return selected.isEmpty() ? nullptr : selected.front();
}

const QStringList &TqvTasksFrame::StatusTips()
{
    static const QStringList tips{
        QStringLiteral("Ctrl+Enter: Finish edit."),          QStringLiteral("Esc: Cancel edit."),
        QStringLiteral("Mouse double click blank: shortcut add."), QStringLiteral("Enter: add a new item."),
        QStringLiteral("Ctrl+Enter: add a new Child item."), QStringLiteral("Ctrl+F12: Minimize window."),
    };
    return tips;
}

void TqvTasksFrame::showRandomStatusTip()
{
    QvStatusBar1->picture()->show();
    const QStringList &tips = StatusTips();
    QvStatusBar1->setPanelText(tips.at(QRandomGenerator::global()->bounded(static_cast<int>(tips.size()))));
}

QString TqvTasksFrame::statusText() const
{
    return QvStatusBar1->panelText();
}

void TqvTasksFrame::VtTasksChange()
{
    UpdateActions();
    const TaskNode *node = m_model->nodeAt(VtTasks->currentIndex());
    if (!node || !VtTasks->selectionModel()->isSelected(VtTasks->currentIndex())) {
        showRandomStatusTip();
        return;
    }
    const TTaskInfo &info = node->info;
    QString text;
    if (info.checkFlag) {
        text = DateTimeText(info.checkTime) + QStringLiteral(" completed");
    } else {
        if (info.dueFlag)
            text = QStringLiteral("Due date: ") + ShortDateText(info.dueTime);
        if (!text.isEmpty())
            text += QStringLiteral("  ");
        if (info.alarmFlag)
            text += QStringLiteral("Reminder time: ") + DateTimeText(info.alarmTime);
        if (text.trimmed().isEmpty())
            text = DateTimeText(info.createTime) + QStringLiteral(" created");
    }
    QvStatusBar1->setPanelText(text);
    QvStatusBar1->picture()->hide();
}

void TqvTasksFrame::VtTasksHotChange(TaskNode *, TaskNode *newNode)
{
    if (!Action_ViewList->isChecked())
        return;
    Timer_HotDelay.stop();
    if (newNode)
        Timer_HotDelay.start();
}

void TqvTasksFrame::Timer_HotDelayTimer()
{
    Timer_HotDelay.stop();
    TaskNode *hot = VtTasks->hotNode();
    if (hot == FHoverNode)
        return;
    TaskNode *old = FHoverNode;
    FHoverNode = hot;
    // Both rows read and measure differently now.
    for (TaskNode *changed : {old, hot}) {
        if (changed)
            m_model->refresh(changed);
    }
}

void TqvTasksFrame::VtTasksDblClick(const QPoint &position)
{
    if (!VtTasks->nodeAtPoint(position) && !FEditNode)
        QCoreApplication::postEvent(this, new FrameEvent(MsgAddTask));
}

void TqvTasksFrame::VtTasksContextMenu(const QPoint &position)
{
    QMenu *menu = VtTasks->nodeAtPoint(position) ? PopupMenu_Task : PopupMenu_Null;
    menu->popup(VtTasks->viewport()->mapToGlobal(position));
}

void TqvTasksFrame::label_tipClick()
{
    switch (FTipKind) {
    case 1:
        Action_TaskAdd->trigger();
        break;
    case 3:
        Btn_SearchClick();
        break;
    case 2:
        endEdit();
        break;
    default:
        break;
    }
}

}  // namespace quillpad
