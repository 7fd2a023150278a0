#pragma once
// The tree control of the task list: hover tracking, sibling-only selection, a right
// click that selects, and a double click that does not expand.

#include <QTreeView>

class TaskNode;
class TaskTreeModel;

class TaskTreeView : public QTreeView {
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
    // The model rebuilt its rows: forget the hot node, it may be gone.
    void forgetHotNode();

signals:
    void hotNodeChanged(TaskNode *oldNode, TaskNode *newNode);
    void mouseMoved(const QPoint &viewportPosition);
    void doubleClickedAt(const QPoint &viewportPosition);
    void contextMenuAt(const QPoint &viewportPosition);
    void selectionChangedByUser();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    void setHotNode(TaskNode *node);
    void keepSiblingsOnly();

    TaskTreeModel *m_model = nullptr;
    TaskNode *m_hotNode = nullptr;
    bool m_pruning = false;
};
