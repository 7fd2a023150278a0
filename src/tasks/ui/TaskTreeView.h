#pragma once
// The tree control of the task list. It lays out only what is on screen: the shown rows
// (top-level rows and the sub-tasks of expanded ones) are a flat list whose heights are
// measured when a row first comes into view and kept until the row changes, so a list of
// any length scrolls by pixels and tall rows can be read line by line. Hover tracking,
// sibling-only selection, a right click that selects, a double click that does not expand.

#include <QAbstractItemView>
#include <QHash>
#include <QPointer>

#include <functional>
#include <vector>

namespace quillpad {

class TaskNode;
class TaskTreeModel;

class TaskTreeView : public QAbstractItemView {
    Q_OBJECT

public:
    explicit TaskTreeView(QWidget *parent = nullptr);

    void setTaskModel(TaskTreeModel *model);
    TaskTreeModel *taskModel() const { return m_model; }
    TaskNode *hotNode() const { return m_hotNode; }
    TaskNode *nodeAtPoint(const QPoint &viewportPosition) const;
    // Selected nodes in tree order.
    QList<TaskNode *> selectedNodes() const;
    void selectNodes(const QList<TaskNode *> &nodes, TaskNode *current);
    void deselect(TaskNode *node);
    // The model is about to make its rows again: forget the nodes the old ones name.
    void forgetNodes();

    // Expanding. Only top-level rows with sub-tasks expand; the signals tell of every
    // change but those made while the view's signals are blocked.
    bool isExpanded(const QModelIndex &index) const;
    void setExpanded(const QModelIndex &index, bool expanded);
    void expand(const QModelIndex &index) { setExpanded(index, true); }
    void collapse(const QModelIndex &index) { setExpanded(index, false); }
    void expandAll();
    void collapseAll();
    // Opens or closes top-level rows inside a change of the model's layout, without a
    // signal: the change's end lays out every row once. Returns the nodes that changed.
    std::vector<TaskNode *> openInLayoutChange(const std::vector<TaskNode *> &nodes, bool open = true);
    int indentation() const { return m_indentation; }
    // Every shown row, top to bottom; one by its place; the place of a row (-1: not shown).
    QModelIndexList shownRows() const;
    int shownRowCount() const;
    QModelIndex shownRow(int row) const;
    int shownRowOf(const QModelIndex &index) const { return rowOf(index); }
    // Whether the height measured for the row of that id is kept.
    bool keepsHeightOf(quintptr id) const { return m_heights.contains(id); }

    // Editing. Every request to edit (the F2 key) goes to the check first; the list
    // opens the editor itself with openEditor. When an editor closes, the list hears
    // how: kept (with the text, and whether anything was typed) or cancelled.
    std::function<bool(TaskNode *)> editCheck;
    std::function<void(TaskNode *node, bool cancelled, bool typed, const QString &text)> editorClosed;
    // Drag and drop inside the tree: may a drop land on the node (none: blank space),
    // and the drop itself. Drops from other programs are refused.
    std::function<bool(TaskNode *)> dragOver;
    std::function<void(TaskNode *)> dropOn;
    // Keys the list handles before the tree does; true when handled.
    std::function<bool(QKeyEvent *)> keyHandler;
    bool openEditor(TaskNode *node);
    TaskNode *editingNode() const { return m_editingNode; }
    QWidget *editor() const { return m_editor; }  // the open editor, if any
    void finishEditor();  // ends the open edit, keeping the text
    void editorOpened(QWidget *editor, TaskNode *node);  // from the row delegate
    void cancelEditor();

    QRect visualRect(const QModelIndex &index) const override;
    // A row taller than the view is shown from its first line.
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    void setModel(QAbstractItemModel *model) override;
    void reset() override;
    void doItemsLayout() override;
    void selectAll() override;

signals:
    void expanded(const QModelIndex &index);
    void collapsed(const QModelIndex &index);
    void hotNodeChanged(TaskNode *oldNode, TaskNode *newNode);
    void doubleClickedAt(const QPoint &viewportPosition);
    void contextMenuAt(const QPoint &viewportPosition);
    void selectionChangedByUser();

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &) const override { return false; }
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void commitData(QWidget *editor) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // A shown row: 16 bytes, as there may be 100,000 of them.
    struct Row {
        quintptr id;  // the index's internal id
        int height;   // measured, or the estimate while not yet measured
        bool measured;
    };

    void setHotNode(TaskNode *node);
    void setLineStep();
    void keepSiblingsOnly();

    // The shown rows, made again from the model; the row that was at the top of the
    // view (saved before the change) stays where it was when it is still shown.
    void saveAnchor();
    void relayout();
    void ensureRows() const;
    void forgetHeights();
    void forgetGoing(const std::vector<quintptr> &ids);
    int estimatedHeight() const;
    int rowOf(const QModelIndex &index) const;  // -1 when not shown
    QModelIndex indexOfRow(int row) const;
    int rowAtY(int contentY) const;             // -1 past the end
    int rowTop(int row) const;
    int contentHeight() const;
    // Measures a row not measured yet; true when its height changed.
    bool measure(int row) const;
    // Measures the rows from the one at the offset down to the bottom of the view.
    bool measureFrom(int offset) const;
    void updatePositions() const;
    void updateScrollRange();
    QRect rowRect(int row) const;  // the whole width of the row, branch included
    QStyleOptionViewItem rowOption(int row) const;
    bool onBranch(int row, const QPoint &point) const;

    TaskTreeModel *m_model = nullptr;
    mutable std::vector<Row> m_rows;
    std::vector<int> m_topRows;       // the shown row of each top-level row
    mutable std::vector<int> m_tops;  // top of each row in content pixels, and the end
    mutable bool m_positionsDirty = true;
    bool m_rowsPending = false;
    bool m_settingOffset = false;
    mutable QHash<quintptr, int> m_heights;  // measured heights by the row's node, kept across filters
    QHash<quintptr, bool> m_expanded;  // expanded top-level rows, by node
    QPersistentModelIndex m_anchor;
    int m_anchorInside = 0;
    int m_indentation = 20;

    TaskNode *m_hotNode = nullptr;
    bool m_pruning = false;
    bool m_opening = false;
    TaskNode *m_editingNode = nullptr;
    QPointer<QWidget> m_editor;
    bool m_committed = false;
    bool m_typed = false;
    QString m_text;
};

}  // namespace quillpad
