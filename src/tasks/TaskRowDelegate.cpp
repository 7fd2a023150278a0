#include "TaskRowDelegate.h"

#include "Fr_qvTasks.h"
#include "IconLists.h"
#include "TaskTreeModel.h"

#include <QApplication>
#include <QPainter>
#include <QTreeView>

namespace {
constexpr int IconSize = 16;
}

TaskRowDelegate::TaskRowDelegate(TqvTasksFrame *frame, QTreeView *view)
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
    const auto *model = static_cast<const TaskTreeModel *>(index.model());
    const TaskNode *node = model->nodeAt(index);
    if (!node)
        return QStyledItemDelegate::sizeHint(option, index);
    const int level = node->isTopLevel() ? 0 : 1;
    return {textWidth(level), m_frame->VtTasksMeasureItem(*node, textWidth(level))};
}

void TaskRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto *model = static_cast<const TaskTreeModel *>(index.model());
    const TaskNode *node = model->nodeAt(index);
    if (!node) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    m_frame->VtTasksBeforeCellPaint(*painter, option.rect, *node);

    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const bool selected = option.state & QStyle::State_Selected;
    QColor textColor;
    m_frame->VtTasksPaintText(*node, selected, item.font, textColor);
    if (textColor.isValid()) {
        item.palette.setColor(QPalette::Text, textColor);
        item.palette.setColor(QPalette::HighlightedText, selected ? option.palette.color(QPalette::HighlightedText)
                                                                  : textColor);
    }
    const int image = m_frame->VtTasksGetImageIndex(*node);
    if (image >= 0) {
        item.icon = IconList::small().icon(image);
        item.features |= QStyleOptionViewItem::HasDecoration;
        item.decorationSize = QSize(IconSize, IconSize);
    } else {
        item.icon = QIcon();
        item.features &= ~QStyleOptionViewItem::HasDecoration;
    }
    item.features |= QStyleOptionViewItem::WrapText;
    item.displayAlignment = Qt::AlignLeft | Qt::AlignTop;
    item.decorationAlignment = Qt::AlignLeft | Qt::AlignTop;
    item.backgroundBrush = Qt::NoBrush;
    item.textElideMode = Qt::ElideNone;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
}
