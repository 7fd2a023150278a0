#include "tasks/ui/TaskTreeView.h"

#include "tasks/ui/TaskTextEditor.h"
#include "tasks/ui/TaskTreeModel.h"

#include <QContextMenuEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

namespace quillpad {

TaskTreeView::TaskTreeView(QWidget *parent) : QTreeView(parent)
{
    setHeaderHidden(true);
    setFrameShape(QFrame::NoFrame);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed);  // F2, through the list's check
    setMouseTracking(true);
    setAllColumnsShowFocus(true);
    setWordWrap(true);
    setTextElideMode(Qt::ElideNone);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    chooseScrollMode();
}

void TaskTreeView::chooseScrollMode()
{
    // Rows may be taller than the view: scrolling by pixels, a line at a time, brings
    // every line of a tall row into view. It measures every shown row for the scroll
    // bar's length, though: a list longer than a few thousand rows scrolls by rows.
    int rows = m_model ? m_model->rowCount() : 0;
    for (int r = 0; m_model && r < m_model->rowCount() && rows <= PixelScrollRows; ++r) {
        const QModelIndex top = m_model->index(r, 0);
        if (isExpanded(top))
            rows += m_model->rowCount(top);
    }
    const ScrollMode mode = rows <= PixelScrollRows ? ScrollPerPixel : ScrollPerItem;
    if (mode != verticalScrollMode())
        setVerticalScrollMode(mode);
    setLineStep();
}

void TaskTreeView::reset()
{
    // Before anything else hears of the new rows, which may lay them out.
    QTreeView::reset();
    chooseScrollMode();
}

void TaskTreeView::setLineStep()
{
    // Once set, the step stays: by pixels the view would take the first row's height.
    // By rows it is the view's own again.
    verticalScrollBar()->setSingleStep(verticalScrollMode() == ScrollPerPixel ? fontMetrics().height() : -1);
}

void TaskTreeView::changeEvent(QEvent *event)
{
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        setLineStep();
}

void TaskTreeView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (hint == EnsureVisible && index.isValid() && visualRect(index).height() > viewport()->height())
        hint = PositionAtTop;
    QTreeView::scrollTo(index, hint);
}

void TaskTreeView::setTaskModel(TaskTreeModel *model)
{
    m_model = model;
    setModel(model);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &TaskTreeView::forgetHotNode);
    // Leaving pixels lays out the rows it leaves: the old ones, while they are few.
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (verticalScrollMode() != ScrollPerItem) {
            setVerticalScrollMode(ScrollPerItem);
            setLineStep();
        }
    });
    connect(model, &QAbstractItemModel::layoutChanged, this, &TaskTreeView::chooseScrollMode);
    for (auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model, changed, this, &TaskTreeView::chooseScrollMode);
    for (auto changed : {&QTreeView::expanded, &QTreeView::collapsed})
        connect(this, changed, this, &TaskTreeView::chooseScrollMode);
    chooseScrollMode();
}

TaskNode *TaskTreeView::nodeAtPoint(const QPoint &viewportPosition) const
{
    return m_model ? m_model->nodeAt(indexAt(viewportPosition)) : nullptr;
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

void TaskTreeView::forgetHotNode()
{
    m_hotNode = nullptr;
}

void TaskTreeView::setHotNode(TaskNode *node)
{
    if (node == m_hotNode)
        return;
    TaskNode *old = m_hotNode;
    m_hotNode = node;
    for (TaskNode *changed : {old, node}) {
        const QModelIndex at = m_model ? m_model->indexOf(changed) : QModelIndex();
        if (at.isValid())
            viewport()->update(visualRect(at).adjusted(-indentation() * 2, 0, viewport()->width(), 0));
    }
    emit hotNodeChanged(old, node);
}

void TaskTreeView::mouseMoveEvent(QMouseEvent *event)
{
    setHotNode(nodeAtPoint(event->position().toPoint()));
    QTreeView::mouseMoveEvent(event);
}

void TaskTreeView::leaveEvent(QEvent *event)
{
    setHotNode(nullptr);
    QTreeView::leaveEvent(event);
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
    return QTreeView::viewportEvent(event);
}

void TaskTreeView::mousePressEvent(QMouseEvent *event)
{
    // A right click selects the row under it, unless it is already part of the selection.
    if (event->button() == Qt::RightButton) {
        const QModelIndex at = indexAt(event->position().toPoint());
        if (at.isValid() && !selectionModel()->isRowSelected(at.row(), at.parent()))
            selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return;
    }
    QTreeView::mousePressEvent(event);
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
    QTreeView::selectionChanged(selected, deselected);
    if (m_pruning)
        return;
    keepSiblingsOnly();
    emit selectionChangedByUser();
}

void TaskTreeView::drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QTreeView::drawRow(painter, option, index);
    // Horizontal grid line under every row.
    painter->save();
    painter->setPen(palette().color(QPalette::Midlight));
    painter->drawLine(option.rect.left(), option.rect.bottom(), option.rect.right(), option.rect.bottom());
    painter->restore();
}

bool TaskTreeView::openEditor(TaskNode *node)
{
    const QModelIndex at = m_model ? m_model->indexOf(node) : QModelIndex();
    if (!at.isValid())
        return false;
    m_opening = true;
    const bool opened = QTreeView::edit(at, AllEditTriggers, nullptr);
    m_opening = false;
    return opened;
}

bool TaskTreeView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (m_opening || trigger != EditKeyPressed || !editCheck)
        return QTreeView::edit(index, trigger, event);
    TaskNode *node = m_model->nodeAt(index);
    if (node && editCheck(node))
        return QTreeView::edit(index, trigger, event);
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
    QTreeView::closeEditor(editor, hint == QAbstractItemDelegate::RevertModelCache
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

void TaskTreeView::keyPressEvent(QKeyEvent *event)
{
    if (keyHandler && keyHandler(event))
        return;
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        // Space ticks or clears the focused task's box.
        const QModelIndex at = currentIndex();
        if (TaskNode *node = m_model ? m_model->nodeAt(at) : nullptr) {
            m_model->setData(at, node->info.checkFlag ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
            return;
        }
    }
    QTreeView::keyPressEvent(event);
}

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
