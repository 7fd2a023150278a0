#include "tasks/ui/TaskTreeView.h"

#include "tasks/ui/TaskTreeAccessible.h"
#include "tasks/ui/TaskTextEditor.h"
#include "tasks/ui/TaskTreeModel.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

namespace quillpad {

TaskTreeView::TaskTreeView(QWidget *parent) : QAbstractItemView(parent)
{
    InstallTaskTreeAccessible();
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed);  // F2, through the list's check
    setMouseTracking(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // rows wrap to the width
    setVerticalScrollMode(ScrollPerPixel);
    m_indentation = style()->pixelMetric(QStyle::PM_TreeViewIndentation, nullptr, this);
    setLineStep();
}

void TaskTreeView::setLineStep()
{
    // Rows may be taller than the view: a step is a line, so every line can be brought into view.
    verticalScrollBar()->setSingleStep(fontMetrics().height());
}

void TaskTreeView::changeEvent(QEvent *event)
{
    QAbstractItemView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_indentation = style()->pixelMetric(QStyle::PM_TreeViewIndentation, nullptr, this);
        setLineStep();
        forgetHeights();
    }
}

void TaskTreeView::setModel(QAbstractItemModel *model)
{
    m_model = qobject_cast<TaskTreeModel *>(model);
    m_rows.clear();
    m_topRows.clear();
    m_heights.clear();
    m_expanded.clear();
    m_anchor = QPersistentModelIndex();
    QAbstractItemView::setModel(model);
    if (!m_model)
        return;
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, &TaskTreeView::forgetNodes);
    // Every change of the shown rows keeps the row at the top of the view where it is.
    for (auto before : {&QAbstractItemModel::layoutAboutToBeChanged})
        connect(m_model, before, this, &TaskTreeView::saveAnchor);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, &TaskTreeView::saveAnchor);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeMoved, this, &TaskTreeView::saveAnchor);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &TaskTreeView::relayout);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &TaskTreeView::relayout);
    connect(m_model, &QAbstractItemModel::rowsMoved, this, &TaskTreeView::relayout);
    connect(m_model, &TaskTreeModel::lookChanged, this, &TaskTreeView::forgetHeights);
    connect(m_model, &TaskTreeModel::nodesGoing, this, &TaskTreeView::forgetGoing);
    relayout();
}

void TaskTreeView::setTaskModel(TaskTreeModel *model)
{
    setModel(model);
}

void TaskTreeView::reset()
{
    m_heights.clear();  // the nodes are new
    m_expanded.clear();
    m_anchor = QPersistentModelIndex();
    m_hotNode = nullptr;
    QAbstractItemView::reset();
    relayout();
}

// --- The shown rows ------------------------------------------------------------------

void TaskTreeView::saveAnchor()
{
    ensureRows();
    const int top = rowAtY(verticalOffset());
    m_anchor = top >= 0 ? QPersistentModelIndex(indexOfRow(top)) : QPersistentModelIndex();
    m_anchorInside = top >= 0 ? verticalOffset() - rowTop(top) : 0;
}

void TaskTreeView::relayout()
{
    m_rowsPending = false;
    m_rows.clear();
    m_topRows.clear();
    if (m_model) {
        const int estimate = estimatedHeight();
        const int tops = m_model->rowCount();
        m_topRows.assign(static_cast<std::size_t>(tops), -1);
        m_rows.reserve(m_model->rowsInAll());
        const auto add = [&](const QModelIndex &index) {
            const auto known = m_heights.constFind(index.internalId());
            const bool measured = known != m_heights.cend();
            m_rows.push_back({index.internalId(), measured ? *known : estimate, measured});
        };
        for (int r = 0; r < tops; ++r) {
            const QModelIndex top = m_model->index(r, 0);
            m_topRows[static_cast<std::size_t>(r)] = static_cast<int>(m_rows.size());
            add(top);
            if (!m_expanded.isEmpty() && m_expanded.contains(top.internalId())) {
                const int children = m_model->rowCount(top);
                for (int c = 0; c < children; ++c)
                    add(m_model->index(c, 0, top));
            }
        }
    }
    m_positionsDirty = true;
    int offset = verticalOffset();
    const int at = m_anchor.isValid() ? rowOf(m_anchor) : -1;
    if (at >= 0)
        offset = rowTop(at) + std::min(m_anchorInside, std::max(0, m_rows[at].height - 1));
    m_anchor = QPersistentModelIndex();
    measureFrom(offset);
    updateScrollRange();
    m_settingOffset = true;
    verticalScrollBar()->setValue(offset);
    m_settingOffset = false;
    if (measureFrom(verticalOffset()))
        updateScrollRange();
    viewport()->update();
    updateEditorGeometries();
}

void TaskTreeView::ensureRows() const
{
    if (m_rowsPending)
        const_cast<TaskTreeView *>(this)->relayout();
}

void TaskTreeView::doItemsLayout()
{
    ensureRows();
    measureFrom(verticalOffset());
    updateScrollRange();
    QAbstractItemView::doItemsLayout();
}

int TaskTreeView::estimatedHeight() const
{
    return fontMetrics().height() + 4;
}

void TaskTreeView::forgetHeights()
{
    m_heights.clear();
    for (Row &row : m_rows)
        row.measured = false;
    measureFrom(verticalOffset());
    updateScrollRange();
    viewport()->update();
    updateEditorGeometries();
}

int TaskTreeView::rowOf(const QModelIndex &index) const
{
    ensureRows();
    if (!index.isValid() || index.model() != m_model || index.column() != 0)
        return -1;
    const QModelIndex parent = index.parent();
    if (!parent.isValid()) {
        return index.row() < static_cast<int>(m_topRows.size()) ? m_topRows[static_cast<std::size_t>(index.row())]
                                                                  : -1;
    }
    if (!m_expanded.contains(parent.internalId()) || parent.row() >= static_cast<int>(m_topRows.size()))
        return -1;
    const int row = m_topRows[static_cast<std::size_t>(parent.row())] + 1 + index.row();
    return row < static_cast<int>(m_rows.size()) && m_rows[static_cast<std::size_t>(row)].id == index.internalId() ? row
                                                                                                               : -1;
}

QModelIndex TaskTreeView::indexOfRow(int row) const
{
    return m_model->indexOf(TaskTreeModel::nodeOfId(m_rows[static_cast<std::size_t>(row)].id));
}

void TaskTreeView::updatePositions() const
{
    if (!m_positionsDirty)
        return;
    m_tops.resize(m_rows.size() + 1);
    int y = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        m_tops[i] = y;
        y += m_rows[i].height;
    }
    m_tops[m_rows.size()] = y;
    m_positionsDirty = false;
}

int TaskTreeView::rowTop(int row) const
{
    ensureRows();
    updatePositions();
    return m_tops[static_cast<std::size_t>(std::clamp(row, 0, static_cast<int>(m_rows.size())))];
}

int TaskTreeView::contentHeight() const
{
    return rowTop(static_cast<int>(m_rows.size()));
}

int TaskTreeView::rowAtY(int contentY) const
{
    ensureRows();
    updatePositions();
    if (contentY < 0 || m_rows.empty() || contentY >= m_tops.back())
        return -1;
    const auto after = std::upper_bound(m_tops.begin(), m_tops.end(), contentY);
    return static_cast<int>(after - m_tops.begin()) - 1;
}

QStyleOptionViewItem TaskTreeView::rowOption(int row) const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const Row &shown = m_rows[static_cast<std::size_t>(row)];
    const int indent = m_indentation * (TaskTreeModel::nodeOfId(shown.id)->isTopLevel() ? 1 : 2);
    option.rect = QRect(indent, rowTop(row) - verticalOffset(), viewport()->width() - indent, shown.height);
    return option;
}

bool TaskTreeView::measure(int row) const
{
    Row &shown = m_rows[static_cast<std::size_t>(row)];
    if (shown.measured)
        return false;
    QStyleOptionViewItem option = rowOption(row);
    const QModelIndex index = indexOfRow(row);
    const int height = std::max(1, itemDelegateForIndex(index)->sizeHint(option, index).height());
    shown.measured = true;
    m_heights.insert(shown.id, height);
    if (height == shown.height)
        return false;
    shown.height = height;
    m_positionsDirty = true;
    return true;
}

bool TaskTreeView::measureFrom(int offset) const
{
    ensureRows();
    bool changed = false;
    int row = rowAtY(std::max(0, offset));
    if (row < 0)
        return false;
    int y = rowTop(row);
    const int bottom = offset + viewport()->height();
    for (; row < static_cast<int>(m_rows.size()) && y < bottom; ++row) {
        changed = measure(row) || changed;
        y += m_rows[static_cast<std::size_t>(row)].height;
    }
    return changed;
}

void TaskTreeView::updateScrollRange()
{
    QScrollBar *bar = verticalScrollBar();
    const int page = viewport()->height();
    bar->setPageStep(std::max(1, page));
    bar->setRange(0, std::max(0, contentHeight() - page));
}

void TaskTreeView::updateGeometries()
{
    measureFrom(verticalOffset());
    updateScrollRange();
    QAbstractItemView::updateGeometries();
}

void TaskTreeView::resizeEvent(QResizeEvent *event)
{
    // The rows wrap to the width, and an edited row is as tall as the view allows.
    m_heights.clear();
    for (Row &row : m_rows)
        row.measured = false;
    QAbstractItemView::resizeEvent(event);
    updateGeometries();
}

int TaskTreeView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

void TaskTreeView::scrollContentsBy(int, int dy)
{
    if (dy == 0)
        return;
    if (!m_settingOffset && measureFrom(verticalOffset()))
        QMetaObject::invokeMethod(this, &TaskTreeView::updateScrollRange, Qt::QueuedConnection);
    viewport()->update();
    updateEditorGeometries();
}

QRect TaskTreeView::rowRect(int row) const
{
    return QRect(0, rowTop(row) - verticalOffset(), viewport()->width(), m_rows[static_cast<std::size_t>(row)].height);
}

QRect TaskTreeView::visualRect(const QModelIndex &index) const
{
    const int row = rowOf(index);
    if (row < 0)
        return {};
    if (measure(row))
        updatePositions();
    const int indent = m_indentation * (index.parent().isValid() ? 2 : 1);
    return rowRect(row).adjusted(indent, 0, 0, 0);
}

QModelIndex TaskTreeView::indexAt(const QPoint &point) const
{
    if (point.x() < 0 || point.x() >= viewport()->width())
        return {};
    const int row = rowAtY(point.y() + verticalOffset());
    return row >= 0 ? indexOfRow(row) : QModelIndex();
}

QModelIndexList TaskTreeView::shownRows() const
{
    ensureRows();
    QModelIndexList rows;
    rows.reserve(static_cast<qsizetype>(m_rows.size()));
    for (int row = 0; row < static_cast<int>(m_rows.size()); ++row)
        rows.append(indexOfRow(row));
    return rows;
}

int TaskTreeView::shownRowCount() const
{
    ensureRows();
    return static_cast<int>(m_rows.size());
}

QModelIndex TaskTreeView::shownRow(int row) const
{
    ensureRows();
    return row >= 0 && row < static_cast<int>(m_rows.size()) ? indexOfRow(row) : QModelIndex();
}

void TaskTreeView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    const QModelIndex parent = index.isValid() ? index.parent() : QModelIndex();
    if (parent.isValid() && !isExpanded(parent))
        expand(parent);  // a sub-task brought into view shows with its parent open
    const int row = rowOf(index);
    if (row < 0)
        return;
    const int page = viewport()->height();
    measure(row);
    const int height = m_rows[static_cast<std::size_t>(row)].height;
    if (hint == EnsureVisible && height > page)
        hint = PositionAtTop;
    // Rows that will show above the row are measured first, so it lands where it should.
    if (hint != PositionAtTop) {
        int above = 0;
        for (int r = row - 1; r >= 0 && above < page; --r) {
            measure(r);
            above += m_rows[static_cast<std::size_t>(r)].height;
        }
    }
    const int top = rowTop(row);
    int offset = verticalOffset();
    switch (hint) {
    case EnsureVisible:
        if (top < offset)
            offset = top;
        else if (top + height > offset + page)
            offset = top + height - page;
        break;
    case PositionAtTop:
        offset = top;
        break;
    case PositionAtBottom:
        offset = top + height - page;
        break;
    case PositionAtCenter:
        offset = top + height / 2 - page / 2;
        break;
    }
    measureFrom(offset);
    updateScrollRange();
    verticalScrollBar()->setValue(offset);
}

// --- Expanding -----------------------------------------------------------------------

bool TaskTreeView::isExpanded(const QModelIndex &index) const
{
    return index.isValid() && m_expanded.contains(index.internalId());
}

void TaskTreeView::setExpanded(const QModelIndex &index, bool expanded)
{
    if (!index.isValid() || index.model() != m_model || index.parent().isValid() ||
        isExpanded(index) == expanded)
        return;
    if (expanded)
        m_expanded.insert(index.internalId(), true);
    else
        m_expanded.remove(index.internalId());
    // The rows are made again once, however many rows open in one go.
    if (m_model->rowCount(index) > 0) {
        m_rowsPending = true;
        scheduleDelayedItemsLayout();
        viewport()->update();
    }
    if (expanded)
        emit this->expanded(index);
    else
        emit collapsed(index);
}

std::vector<TaskNode *> TaskTreeView::openInLayoutChange(const std::vector<TaskNode *> &nodes, bool open)
{
    std::vector<TaskNode *> changed;
    if (open)
        m_expanded.reserve(m_expanded.size() + static_cast<qsizetype>(nodes.size()));
    for (TaskNode *node : nodes) {
        if (!node->isTopLevel() || (open && node->children.empty()))
            continue;
        const quintptr id = TaskTreeModel::idOf(node);
        if (m_expanded.contains(id) == open)
            continue;
        if (open)
            m_expanded.insert(id, true);
        else
            m_expanded.remove(id);
        changed.push_back(node);
    }
    return changed;
}

void TaskTreeView::expandAll()
{
    if (!m_model)
        return;
    for (int r = 0; r < m_model->rowCount(); ++r) {
        const QModelIndex top = m_model->index(r, 0);
        if (m_model->rowCount(top) > 0)
            setExpanded(top, true);
    }
}

void TaskTreeView::collapseAll()
{
    if (!m_model)
        return;
    for (int r = 0; r < m_model->rowCount(); ++r)
        setExpanded(m_model->index(r, 0), false);
}

bool TaskTreeView::onBranch(int row, const QPoint &point) const
{
    const QModelIndex index = indexOfRow(row);
    return !index.parent().isValid() && point.x() >= 0 && point.x() < m_indentation && m_model->rowCount(index) > 0;
}

// --- Painting ------------------------------------------------------------------------

void TaskTreeView::paintEvent(QPaintEvent *event)
{
    ensureRows();
    if (measureFrom(verticalOffset()))
        QMetaObject::invokeMethod(this, &TaskTreeView::updateScrollRange, Qt::QueuedConnection);
    QPainter painter(viewport());
    const int offset = verticalOffset();
    const QRect area = event->rect();
    const QModelIndex current = currentIndex();
    const QModelIndex hot = m_hotNode && m_model ? m_model->indexOf(m_hotNode) : QModelIndex();
    QItemSelectionModel *selection = selectionModel();
    for (int row = std::max(0, rowAtY(offset + area.top())); row >= 0 && row < static_cast<int>(m_rows.size()); ++row) {
        const QRect whole = rowRect(row);
        if (whole.top() > area.bottom())
            break;
        const QModelIndex index = indexOfRow(row);
        QStyleOptionViewItem option = rowOption(row);
        if (selection && selection->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (index == current && hasFocus())
            option.state |= QStyle::State_HasFocus;
        if (index == hot)
            option.state |= QStyle::State_MouseOver;
        else
            option.state &= ~QStyle::State_MouseOver;

        // The row's own panel, under the branch too, then the branch and the cell.
        QStyleOptionViewItem panel = option;
        panel.rect = whole;
        style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &panel, &painter, this);
        const bool topLevel = !index.parent().isValid();
        QStyleOption branch;
        branch.initFrom(this);
        branch.rect = QRect(topLevel ? 0 : m_indentation, whole.top(), m_indentation, whole.height());
        branch.state = QStyle::State_Item | (option.state & QStyle::State_Enabled);
        if (topLevel && m_model->rowCount(index) > 0)
            branch.state |= QStyle::State_Children | (isExpanded(index) ? QStyle::State_Open : QStyle::State_None);
        if (row + 1 < static_cast<int>(m_rows.size()) && indexOfRow(row + 1).parent() == index.parent())
            branch.state |= QStyle::State_Sibling;
        style()->drawPrimitive(QStyle::PE_IndicatorBranch, &branch, &painter, this);
        itemDelegateForIndex(index)->paint(&painter, option, index);

        // Horizontal grid line under every row.
        painter.save();
        painter.setPen(palette().color(QPalette::Midlight));
        painter.drawLine(whole.left(), whole.bottom(), whole.right(), whole.bottom());
        painter.restore();
    }
}

// --- Selection -----------------------------------------------------------------------

void TaskTreeView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    if (!selectionModel())
        return;
    const QRect area = rect.normalized();
    int first = rowAtY(area.top() + verticalOffset());
    int last = rowAtY(area.bottom() + verticalOffset());
    if (first < 0 && last < 0) {
        if (command & QItemSelectionModel::Clear)
            selectionModel()->clear();
        return;
    }
    if (first < 0)
        first = area.top() + verticalOffset() < 0 ? 0 : last;
    if (last < 0)
        last = static_cast<int>(m_rows.size()) - 1;
    QItemSelection selection;
    int runStart = first;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = indexOfRow(row);
        const bool endsRun = row == last || indexOfRow(row + 1).parent() != index.parent();
        if (endsRun) {
            selection.select(indexOfRow(runStart), index);
            runStart = row + 1;
        }
    }
    selectionModel()->select(selection, command);
}

QRegion TaskTreeView::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    const int offset = verticalOffset();
    for (int row = std::max(0, rowAtY(offset)); row >= 0 && row < static_cast<int>(m_rows.size()); ++row) {
        const QRect whole = rowRect(row);
        if (whole.top() > viewport()->height())
            break;
        if (selection.contains(indexOfRow(row)))
            region += whole;
    }
    return region;
}

void TaskTreeView::selectAll()
{
    if (!m_model || !selectionModel() || selectionMode() == NoSelection)
        return;
    ensureRows();
    QItemSelection selection;
    const int tops = m_model->rowCount();
    if (tops > 0)
        selection.select(m_model->index(0, 0), m_model->index(tops - 1, 0));
    for (int r = 0; r < tops; ++r) {
        const QModelIndex top = m_model->index(r, 0);
        const int children = isExpanded(top) ? m_model->rowCount(top) : 0;
        if (children > 0)
            selection.select(m_model->index(0, 0, top), m_model->index(children - 1, 0, top));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QList<TaskNode *> TaskTreeView::selectedNodes() const
{
    QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    // Rows of one parent (the selection never mixes parents): their row order is tree order.
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) {
        if (a.parent() != b.parent())
            return a.parent().row() < b.parent().row();
        return a.row() < b.row();
    });
    QList<TaskNode *> nodes;
    for (const QModelIndex &row : rows)
        nodes.append(m_model->nodeAt(row));
    return nodes;
}

void TaskTreeView::selectNodes(const QList<TaskNode *> &nodes, TaskNode *current)
{
    // The current row first: it is the anchor that the sibling rule keeps to.
    const QModelIndex currentIndex = m_model->indexOf(current ? current : (nodes.isEmpty() ? nullptr : nodes.front()));
    if (currentIndex.isValid())
        selectionModel()->setCurrentIndex(currentIndex, QItemSelectionModel::NoUpdate);
    QItemSelection selection;
    for (TaskNode *node : nodes) {
        const QModelIndex at = m_model->indexOf(node);
        if (at.isValid())
            selection.select(at, at);
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TaskTreeView::deselect(TaskNode *node)
{
    const QModelIndex at = m_model ? m_model->indexOf(node) : QModelIndex();
    if (at.isValid())
        selectionModel()->select(at, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void TaskTreeView::keepSiblingsOnly()
{
    const QModelIndex anchor = currentIndex();
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    const QModelIndex parent = anchor.isValid() ? anchor.parent() : rows.front().parent();
    QItemSelection strays;
    for (const QModelIndex &row : rows) {
        if (row.parent() != parent)
            strays.select(row, row);
    }
    if (strays.isEmpty())
        return;
    m_pruning = true;
    selectionModel()->select(strays, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    m_pruning = false;
}

void TaskTreeView::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    QAbstractItemView::selectionChanged(selected, deselected);
    if (m_pruning)
        return;
    keepSiblingsOnly();
    emit selectionChangedByUser();
}

void TaskTreeView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QAbstractItemView::currentChanged(current, previous);
    if (QAccessible::isActive() && current.isValid() && hasFocus()) {
        if (QAccessibleInterface *row = AccessibleRow(this, current)) {
            QAccessibleEvent focus(row, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
    }
}

// --- Model changes -------------------------------------------------------------------

void TaskTreeView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    // The rows read differently now: they are measured again.
    if (topLeft.isValid() && bottomRight.isValid() && topLeft.parent() == bottomRight.parent()) {
        for (int r = topLeft.row(); r <= bottomRight.row(); ++r) {
            const QModelIndex index = m_model->index(r, 0, topLeft.parent());
            m_heights.remove(index.internalId());
            const int row = rowOf(index);
            if (row >= 0)
                m_rows[static_cast<std::size_t>(row)].measured = false;
        }
        measureFrom(verticalOffset());
        updateScrollRange();
        viewport()->update();
        updateEditorGeometries();
    }
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    // A ticked or cleared box is said by screen readers only when they hear of it.
    if (QAccessible::isActive() && roles.contains(Qt::CheckStateRole) && topLeft.isValid() &&
        topLeft.parent() == bottomRight.parent()) {
        QAccessible::State changed;
        changed.checked = true;
        for (int r = topLeft.row(); r <= bottomRight.row(); ++r) {
            if (QAccessibleInterface *row = AccessibleRow(this, m_model->index(r, 0, topLeft.parent()))) {
                QAccessibleStateChangeEvent event(row, changed);
                QAccessible::updateAccessibility(&event);
            }
        }
    }
}

void TaskTreeView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    relayout();
}

void TaskTreeView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    // What the view keeps of the rows' nodes goes when the model frees them (nodesGoing).
    saveAnchor();
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
}

// --- Keys ----------------------------------------------------------------------------

QModelIndex TaskTreeView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    ensureRows();
    if (m_rows.empty())
        return {};
    const QModelIndex current = currentIndex();
    const int row = rowOf(current);
    const int last = static_cast<int>(m_rows.size()) - 1;
    if (row < 0)
        return indexOfRow(0);
    const int page = viewport()->height();
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        return indexOfRow(std::max(0, row - 1));
    case MoveDown:
    case MoveNext:
        return indexOfRow(std::min(last, row + 1));
    case MovePageUp: {
        const int target = rowAtY(std::max(0, rowTop(row) - page + m_rows[static_cast<std::size_t>(row)].height));
        return indexOfRow(target < 0 || target >= row ? std::max(0, row - 1) : target);
    }
    case MovePageDown: {
        const int target = rowAtY(rowTop(row) + page - 1);
        return indexOfRow(target < 0 ? last : std::max(target, std::min(last, row + 1)));
    }
    case MoveHome:
        return indexOfRow(0);
    case MoveEnd:
        return indexOfRow(last);
    case MoveLeft:
        if (current.parent().isValid())
            return current.parent();
        if (isExpanded(current))
            collapse(current);
        return current;
    case MoveRight:
        if (!current.parent().isValid() && m_model->rowCount(current) > 0) {
            if (!isExpanded(current)) {
                expand(current);
                return current;
            }
            return m_model->index(0, 0, current);
        }
        return current;
    }
    return current;
}

void TaskTreeView::keyPressEvent(QKeyEvent *event)
{
    if (keyHandler && keyHandler(event))
        return;
    const QModelIndex at = currentIndex();
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        // Space ticks or clears the focused task's box.
        if (TaskNode *node = m_model ? m_model->nodeAt(at) : nullptr) {
            m_model->setData(at, node->info.checkFlag ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
            return;
        }
    }
    if (at.isValid() && state() != EditingState) {
        switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Asterisk:
            expand(at);
            return;
        case Qt::Key_Minus:
            collapse(at);
            return;
        default:
            break;
        }
    }
    QAbstractItemView::keyPressEvent(event);
}

// --- Mouse and hover -----------------------------------------------------------------

TaskNode *TaskTreeView::nodeAtPoint(const QPoint &viewportPosition) const
{
    return m_model ? m_model->nodeAt(indexAt(viewportPosition)) : nullptr;
}

void TaskTreeView::forgetNodes()
{
    // The nodes go with the reset: no row may name one until the rows are made again.
    m_hotNode = nullptr;
    m_rows.clear();
    m_topRows.clear();
    m_positionsDirty = true;
}

void TaskTreeView::forgetGoing(const std::vector<quintptr> &ids)
{
    // Another node may take a freed one's address: it must not find its height or its
    // open state, shown or hidden.
    for (const quintptr id : ids) {
        m_heights.remove(id);
        m_expanded.remove(id);
        if (m_hotNode && TaskTreeModel::idOf(m_hotNode) == id)
            m_hotNode = nullptr;
    }
}

void TaskTreeView::setHotNode(TaskNode *node)
{
    if (node == m_hotNode)
        return;
    TaskNode *old = m_hotNode;
    m_hotNode = node;
    for (TaskNode *changed : {old, node}) {
        const int row = m_model ? rowOf(m_model->indexOf(changed)) : -1;
        if (row >= 0)
            viewport()->update(rowRect(row));
    }
    emit hotNodeChanged(old, node);
}

void TaskTreeView::mouseMoveEvent(QMouseEvent *event)
{
    setHotNode(nodeAtPoint(event->position().toPoint()));
    QAbstractItemView::mouseMoveEvent(event);
}

void TaskTreeView::leaveEvent(QEvent *event)
{
    setHotNode(nullptr);
    QAbstractItemView::leaveEvent(event);
}

bool TaskTreeView::viewportEvent(QEvent *event)
{
    // A row has no hint, and the tree's own hint is for blank space only: a hint the
    // row does not answer must not climb up to the tree.
    if (event->type() == QEvent::ToolTip && indexAt(static_cast<QHelpEvent *>(event)->pos()).isValid()) {
        QToolTip::hideText();
        event->accept();
        return true;
    }
    return QAbstractItemView::viewportEvent(event);
}

void TaskTreeView::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    // A right click selects the row under it, unless it is already part of the selection.
    if (event->button() == Qt::RightButton) {
        const QModelIndex at = indexAt(point);
        if (at.isValid() && !selectionModel()->isRowSelected(at.row(), at.parent()))
            selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return;
    }
    // The branch opens and closes its row; the selection stays.
    const int row = rowAtY(point.y() + verticalOffset());
    if (event->button() == Qt::LeftButton && row >= 0 && onBranch(row, point)) {
        const QModelIndex index = indexOfRow(row);
        setExpanded(index, !isExpanded(index));
        return;
    }
    QAbstractItemView::mousePressEvent(event);
}

void TaskTreeView::mouseDoubleClickEvent(QMouseEvent *event)
{
    emit doubleClickedAt(event->position().toPoint());
    // A double click neither expands nor edits; the single click's selection stands.
}

void TaskTreeView::contextMenuEvent(QContextMenuEvent *event)
{
    emit contextMenuAt(viewport()->mapFromGlobal(event->globalPos()));
}

// --- Editing -------------------------------------------------------------------------

bool TaskTreeView::openEditor(TaskNode *node)
{
    const QModelIndex at = m_model ? m_model->indexOf(node) : QModelIndex();
    if (!at.isValid())
        return false;
    m_opening = true;
    const bool opened = QAbstractItemView::edit(at, AllEditTriggers, nullptr);
    m_opening = false;
    return opened;
}

bool TaskTreeView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (m_opening || trigger != EditKeyPressed || !editCheck)
        return QAbstractItemView::edit(index, trigger, event);
    TaskNode *node = m_model->nodeAt(index);
    if (node && editCheck(node))
        return QAbstractItemView::edit(index, trigger, event);
    return node != nullptr;  // the request was taken; the editor opens later
}

void TaskTreeView::commitData(QWidget *editor)
{
    if (auto *text = qobject_cast<TaskTextEditor *>(editor)) {
        m_committed = true;
        m_typed = text->typedIn();
        m_text = text->storedText();
    }
}

void TaskTreeView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    TaskNode *node = m_editingNode;
    const bool cancelled = hint == QAbstractItemDelegate::RevertModelCache || !m_committed;
    const bool typed = m_typed;
    const QString text = m_text;
    m_editingNode = nullptr;
    m_editor = nullptr;
    m_committed = m_typed = false;
    m_text.clear();
    // Tab and the like would move on to another row's editor: an edit ends here.
    QAbstractItemView::closeEditor(editor, hint == QAbstractItemDelegate::RevertModelCache
                                               ? hint
                                               : QAbstractItemDelegate::NoHint);
    if (node && editorClosed)
        editorClosed(node, cancelled, typed, text);
}

void TaskTreeView::editorOpened(QWidget *editor, TaskNode *node)
{
    m_editor = editor;
    m_editingNode = node;
    m_committed = m_typed = false;
}

void TaskTreeView::finishEditor()
{
    if (!m_editor)
        return;
    QWidget *editor = m_editor;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TaskTreeView::cancelEditor()
{
    if (m_editor)
        closeEditor(m_editor, QAbstractItemDelegate::RevertModelCache);
}

// --- Drag and drop -------------------------------------------------------------------

void TaskTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    // Only our own rows move here; what other programs drag in is refused.
    if (event->source() != this) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void TaskTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    TaskNode *node = nodeAtPoint(event->position().toPoint());
    if (dragOver && !dragOver(node)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);  // always a move, whatever keys are held
    event->accept();
}

void TaskTreeView::dropEvent(QDropEvent *event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    TaskNode *node = nodeAtPoint(event->position().toPoint());
    // The list moves the selected tasks itself; the view must not remove any rows.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (dropOn)
        dropOn(node);
}

}  // namespace quillpad
