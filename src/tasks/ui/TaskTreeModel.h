#pragma once
// Presents the task tree to a view. Only visible nodes are rows: hidden ones keep
// their place in the tree (and their positions) but cost the view nothing. The model
// answers with the node itself; how a row looks is the frame's to say.

#include "tasks/TaskTree.h"

#include <QAbstractItemModel>

#include <functional>
#include <span>
#include <vector>

namespace quillpad {

class TaskTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Role { NodeRole = Qt::UserRole + 1 };

    explicit TaskTreeModel(TaskTree &tree, QObject *parent = nullptr);

    TaskTree &tree() const { return m_tree; }
    TaskNode *nodeAt(const QModelIndex &index) const { return index.isValid() ? nodeOfId(index.internalId()) : nullptr; }
    // The node an index's internal id names: a view may keep the ids of its rows alone.
    static TaskNode *nodeOfId(quintptr id);
    static quintptr idOf(const TaskNode *node);
    QModelIndex indexOf(const TaskNode *node) const;  // invalid when the node is hidden

    // The text shown in a row (also what sorting-aware views and accessibility read).
    void setTextProvider(std::function<QString(const TaskNode &)> provider) { m_text = std::move(provider); }

    // Call around any change of the tree's structure or of node visibility: the rows
    // are rebuilt from the tree in one step.
    void beginRebuild();
    void endRebuild();
    // Call around a change of node visibility or order (a filter pass, a sort, a move,
    // tasks added or freed in many places): the rows are rebuilt as a change of layout,
    // so every row keeps its selection, expansion and place in the view. A node freed
    // inside goes through removeTasks, which lets go of the rows held on it.
    void beginLayoutChange();
    void endLayoutChange();
    // A new task at the end of the top level or of a shown parent's sub-tasks (never a
    // hidden one): it reaches the view as one inserted row. Not inside a layout change.
    TaskNode *appendTask(TTaskInfo info, TaskNode *parent);
    // Tasks leave the tree with their sub-tasks; every other row keeps its selection,
    // expansion and place. Siblings whose rows lie in a few runs reach the view as
    // removed rows, any others as a change of layout.
    void removeTasks(const std::vector<TaskNode *> &nodes);
    void removeTask(TaskNode *node) { removeTasks({node}); }
    // A node's look changed (text, check, colours, height).
    void refresh(const TaskNode *node);
    // A node's check changed: its look, and what screen readers say of it.
    void refreshCheck(const TaskNode *node);
    // The shown top-level rows whose nodes are marked expanded, as of the last rebuild:
    // a rebuilt view starts collapsed and opens these again.
    const std::vector<TaskNode *> &expandedRows() const { return m_expandedRows; }
    // Every row, sub-tasks of closed parents too: the most a view can show at once.
    std::size_t rowsInAll() const { return m_topRows.size() + m_childRows.size(); }
    // Every row reads and measures differently (a change of view).
    void refreshAll() { emit lookChanged(); }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // A drag carries nothing but its origin: a drop acts on the list's selection.
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }

signals:
    // Just before tasks are freed, their rows already gone or going in a change of
    // layout: the ids of their rows and of their sub-tasks' rows, shown or not, which a
    // view must forget before another node may take the same address.
    void nodesGoing(const std::vector<quintptr> &ids);
    // The user ticked or cleared a check box; the node is not changed here.
    void checkToggled(TaskNode *node, bool checked);
    // Every row must be measured and painted again.
    void lookChanged();

private:
    bool removeSiblings(const std::vector<TaskNode *> &nodes);
    void announceGoing(const std::vector<TaskNode *> &nodes);
    void rebuildRows();
    std::span<TaskNode *const> rowsOf(const TaskNode *parent) const;

    TaskTree &m_tree;
    std::function<QString(const TaskNode &)> m_text;
    std::vector<TaskNode *> m_topRows;
    // The visible sub-tasks of every visible top-level row, one row's after the other's:
    // those of top-level row r start at m_childStart[r], and one more entry marks the
    // end. A list per row would cost 100,000 rows far more than the rows themselves.
    std::vector<TaskNode *> m_childRows;
    std::vector<int> m_childStart{0};
    std::vector<TaskNode *> m_expandedRows;
    int m_rebuildDepth = 0;
    int m_layoutDepth = 0;
    QModelIndexList m_layoutBefore;
    std::vector<TaskNode *> m_layoutNodes;
};

}  // namespace quillpad
