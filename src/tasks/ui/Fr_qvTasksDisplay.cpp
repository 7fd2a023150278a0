// How the rows of the task list look, the hover expansion of the list view, the status
// text of the selection, the pop-up menus and the double click on empty space.

#include "tasks/ui/Fr_qvTasks.h"

#include "store/AppError.h"
#include "store/Clock.h"
#include "store/DateText.h"
#include "tasks/ui/FrameMessages.h"
#include "components/ui/IconLists.h"
#include "components/ui/QvStatusBar.h"
#include "tasks/StoredColor.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"
#include "store/pU_Funcs.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>

namespace quillpad {

bool TqvTasksFrame::isOverdue(const TaskNode &node) const
{
    return node.info.dueFlag && DateOf(node.info.dueTime) < Clock::now().date();
}

QString TqvTasksFrame::VtTasksGetText(const TaskNode &node) const
{
    const TTaskInfo &info = node.info;
    const bool editing = &node == FEditNode;
    if (info.content.isEmpty() && !editing)
        return QStringLiteral("Input content here");

    QString text = info.content;
    if (Action_ViewDate->isChecked() && !editing) {
        text += QStringLiteral(" -- Created: ") + ShortDateText(info.createTime);
        if (info.checkFlag) {
            text += QStringLiteral("  Completed: ") + ShortDateText(info.checkTime);
        } else {
            if (info.dueFlag)
                text += QStringLiteral("  Due: ") + ShortDateText(info.dueTime);
            if (info.alarmFlag)
                text += QStringLiteral("  Alarm: ") + DateTimeText(info.alarmTime);
        }
    }
    if (Action_ViewList->isChecked() && !editing) {
        if (&node != FHoverNode)
            text = OneLine(text);
        const int number = node.position + 1;
        text = node.isTopLevel() ? QString::number(number) + QStringLiteral(". ") + text
                                 : QLatin1Char('(') + QString::number(number) + QLatin1Char(')') + text;
    }
    return text;
}

void TqvTasksFrame::VtTasksPaintText(const TaskNode &node, bool selected, QFont &font, QColor &textColor) const
{
    const TTaskInfo &info = node.info;
    font = VtTasks->font();
    if (isOverdue(node) && !info.checkFlag)
        font.setBold(true);
    if (&node == FEditNode)
        return;
    const QPalette &palette = VtTasks->palette();
    if (info.checkFlag) {
        font.setItalic(true);
        if (!selected)
            textColor = palette.color(QPalette::Disabled, QPalette::Text);
    } else if (info.content.isEmpty()) {
        textColor = palette.color(QPalette::Disabled, QPalette::Text);
        font.setItalic(true);
    } else if (info.textColor != 0) {
        textColor = StoredColorToQColor(info.textColor, palette);
    }
}

int TqvTasksFrame::VtTasksGetImageIndex(const TaskNode &node) const
{
    const TTaskInfo &info = node.info;
    if (info.checkFlag)
        return -1;
    if (info.alarmFlag)
        return Icon(IconRole::AlarmClock);
    if (info.dueFlag)
        return Icon(isOverdue(node) ? IconRole::CalendarOverdue : IconRole::Calendar);
    return -1;
}

void TqvTasksFrame::VtTasksBeforeCellPaint(QPainter &painter, const QRect &cell, const TaskNode &node) const
{
    if (&node == FEditNode)
        return;
    const QPalette &palette = VtTasks->palette();
    if (&node == VtTasks->hotNode()) {
        painter.fillRect(cell, palette.color(QPalette::ToolTipBase));
        return;
    }
    if (node.info.backgroundColor != 0) {
        painter.fillRect(cell, StoredColorToQColor(node.info.backgroundColor, palette));
        return;
    }
    const BackgroundImages &images = *m_context.images;
    const QPixmap &picture = !node.isTopLevel() ? images.group : (node.position % 2 == 0 ? images.item0 : images.item1);
    painter.drawPixmap(cell, picture);
}

int TqvTasksFrame::VtTasksMeasureItem(const TaskNode &node, int textWidth) const
{
    const QFontMetrics metrics(VtTasks->font());
    const bool oneLine = Action_ViewList->isChecked() && &node != FHoverNode && &node != FEditNode;
    const QString text = oneLine ? QStringLiteral("1") : VtTasksGetText(node);
    int height = metrics.boundingRect(QRect(0, 0, textWidth, 1 << 20), Qt::TextWordWrap, text).height() + 4;
    const int line = metrics.boundingRect(QStringLiteral("l")).height();
    if (&node == FEditNode)
        height = std::min(std::max(height, 4 * line + 4), VtTasks->height() - line);
    else
        height = std::max(height, line + 4);
    return height;
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
