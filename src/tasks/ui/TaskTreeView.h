#pragma once
// The tree control of the task list: hover tracking, sibling-only selection, a right
// click that selects, and a double click that does not expand.

#include <QPointer>
#include <QTreeView>

#include <functional>

namespace quillpad {

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
    void deselect(TaskNode *node);
    // The model rebuilt its rows: forget the hot node, it may be gone.
    void forgetHotNode();

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
    // A row taller than the view is shown from its first line.
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    void reset() override;
signals:
    void hotNodeChanged(TaskNode *oldNode, TaskNode *newNode);
    void doubleClickedAt(const QPoint &viewportPosition);
    void contextMenuAt(const QPoint &viewportPosition);
    void selectionChangedByUser();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void commitData(QWidget *editor) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setHotNode(TaskNode *node);
    void chooseScrollMode();
    void setLineStep();

    static constexpr int PixelScrollRows = 2000;
    void keepSiblingsOnly();

    TaskTreeModel *m_model = nullptr;
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
