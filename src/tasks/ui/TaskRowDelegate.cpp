#include "tasks/ui/TaskRowDelegate.h"

#include "tasks/ui/Fr_qvTasks.h"
#include "components/ui/IconLists.h"
#include "tasks/ui/TaskTextEditor.h"
#include "tasks/ui/TaskTreeModel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include "tasks/ui/TaskTreeView.h"

namespace quillpad {

namespace {

constexpr int IconSize = 16;

const TaskNode *NodeOf(const QModelIndex &index)
{
    return static_cast<const TaskTreeModel *>(index.model())->nodeAt(index);
}

}  // namespace

int RowIconIndex(RowIcon icon)
{
    switch (icon) {
    case RowIcon::Alarm: return static_cast<int>(IconRole::AlarmClock);
    case RowIcon::Due: return static_cast<int>(IconRole::Calendar);
    case RowIcon::Overdue: return static_cast<int>(IconRole::CalendarOverdue);
    case RowIcon::None: break;
    }
    return -1;
}

TaskRowDelegate::TaskRowDelegate(TqvTasksFrame *frame, TaskTreeView *view)
    : QStyledItemDelegate(view), m_frame(frame), m_view(view)
{
}

int TaskRowDelegate::textWidth(int level) const
{
    const QStyle *style = m_view->style();
    const int check = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, m_view);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1;
    const int width = m_view->viewport()->width() - m_view->indentation() * (level + 1) - check - IconSize -
                      margin * 6;
    return std::max(width, 40);
}

QSize TaskRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const TaskNode *node = NodeOf(index);
    if (!node)
        return QStyledItemDelegate::sizeHint(option, index);
    const int width = textWidth(node->isTopLevel() ? 0 : 1);
    return {width, m_frame->VtTasksMeasureItem(*node, width)};
}

QStyleOptionViewItem TaskRowDelegate::firstLine(const QStyleOptionViewItem &row) const
{
    // Check box and icon sit at the top of a multi-line row, in a band one line high.
    QStyleOptionViewItem band = row;
    const int line = QFontMetrics(m_view->font()).height() + 4;
    band.rect.setHeight(std::min(row.rect.height(), line));
    return band;
}

void TaskRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const TaskNode *node = NodeOf(index);
    if (!node) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    m_frame->VtTasksBeforeCellPaint(*painter, option.rect, *node);

    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const RowPresenter presenter = m_frame->rowPresenter();
    RowState state = m_frame->rowState(*node, option.state & QStyle::State_Selected);
    state.enabled = option.state & QStyle::State_Enabled;
    item.font = presenter.font(node->info, state);
    const int image = RowIconIndex(presenter.icon(node->info));
    item.icon = image >= 0 ? IconList::small().icon(image) : QIcon();
    item.decorationSize = QSize(IconSize, IconSize);
    if (image >= 0)
        item.features |= QStyleOptionViewItem::HasDecoration;
    else
        item.features &= ~QStyleOptionViewItem::HasDecoration;
    item.features |= QStyleOptionViewItem::WrapText;
    item.backgroundBrush = Qt::NoBrush;

    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    painter->save();
    // The selection (and the style's own hover) over our background.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &item, painter, widget);

    QStyleOptionViewItem band = firstLine(item);
    const QRect checkRect = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &band, widget);
    QStyleOptionViewItem check = band;
    check.rect = checkRect;
    check.state &= ~QStyle::State_HasFocus;
    check.state |= node->info.checkFlag ? QStyle::State_On : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, widget);

    if (image >= 0) {
        const QRect iconRect = style->subElementRect(QStyle::SE_ItemViewItemDecoration, &band, widget);
        item.icon.paint(painter, iconRect, Qt::AlignCenter,
                        (option.state & QStyle::State_Enabled) ? QIcon::Normal : QIcon::Disabled);
    }

    QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    textRect.setTop(option.rect.top() + 2);
    const QColor pen = presenter.textColor(node->info, RowPlace::of(*node), state);
    painter->setFont(item.font);
    painter->setPen(pen);
    painter->setClipRect(option.rect);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, item.text);
    painter->restore();
}

QWidget *TaskRowDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    auto *editor = new TaskTextEditor(parent);
    m_view->editorOpened(editor, const_cast<TaskNode *>(NodeOf(index)));
    editor->setFont(m_view->font());
    connect(editor, &TaskTextEditor::finishRequested, this, [this, editor] {
        emit const_cast<TaskRowDelegate *>(this)->commitData(editor);
        emit const_cast<TaskRowDelegate *>(this)->closeEditor(editor, QAbstractItemDelegate::NoHint);
    });
    return editor;
}

bool TaskRowDelegate::eventFilter(QObject *object, QEvent *event)
{
    // The item view would take Tab to move on to the next row's editor: in our editor
    // it is typed.
    if (event->type() == QEvent::KeyPress && qobject_cast<TaskTextEditor *>(object)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            return false;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

void TaskRowDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (const TaskNode *node = NodeOf(index))
        static_cast<TaskTextEditor *>(editor)->setStoredText(node->info.content);
}

void TaskRowDelegate::setModelData(QWidget *, QAbstractItemModel *, const QModelIndex &) const
{
    // The list stores the text itself when the edit ends (the view hands it over).
}

void TaskRowDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    area.setTop(option.rect.top());
    area.setBottom(option.rect.bottom());
    editor->setGeometry(area);
}

bool TaskRowDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                                  const QModelIndex &index)
{
    // The check box answers where it is painted: at the top of the row.
    if (event->type() != QEvent::MouseButtonRelease && event->type() != QEvent::MouseButtonDblClick &&
        event->type() != QEvent::KeyPress)
        return false;
    const TaskNode *node = NodeOf(index);
    if (!node)
        return false;
    if (event->type() == QEvent::KeyPress)
        return false;  // Space belongs to the list's own keys
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QStyleOptionViewItem band = firstLine(item);
    const QRect checkRect = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &band, widget);
    if (!checkRect.contains(mouse->position().toPoint()))
        return false;
    if (event->type() == QEvent::MouseButtonDblClick)
        return true;  // a double click on the box is two clicks, not an edit
    return model->setData(index, node->info.checkFlag ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

}  // namespace quillpad
