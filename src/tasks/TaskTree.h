#pragma once
// The task tree as data: two levels of nodes, each carrying the task's record, with
// per-node visibility where hidden siblings keep their positions. Views adapt it; the
// command-line companion reads it as it is.

#include "store/TaskInfo.h"

#include <QList>
#include <QString>

#include <memory>
#include <unordered_set>
#include <vector>

namespace quillpad {

struct TaskNode {
    TTaskInfo info;
    TaskNode *parent = nullptr;  // none for a top-level task
    std::vector<std::unique_ptr<TaskNode>> children;
    // Which content the last search tested (textMatch says whether it held the text):
    // a search that only grows (typing) tests again only the tasks that matched.
    const QChar *matchedContent = nullptr;
    int matchedSize = -1;

    // Position among all siblings, hidden ones included (0 for the first); kept by
    // the tree through every insert, removal, move and sort.
    int position = 0;
    // Row among the visible siblings as the view shows them, -1 when not shown; kept
    // by the view's model.
    int viewRow = -1;
    bool visible = true;
    bool expanded = false;  // shown expanded (top-level tasks with sub-tasks)
    bool textMatch = false;

    bool isTopLevel() const { return parent == nullptr; }
};
// A list of 100,000 tasks holds as many nodes: the fields above leave no gaps.
static_assert(sizeof(void *) != 8 || sizeof(TaskNode) == sizeof(TTaskInfo) + 56);

enum class ViewRange { All = 0, Complete = 1, Incomplete = 2 };

struct FilterOutcome {
    bool anyVisible = false;
    // Parents of matching sub-tasks under an active search: the view expands them.
    std::vector<TaskNode *> parentsToExpand;
};

class TaskTree {
public:
    using NodeList = std::vector<std::unique_ptr<TaskNode>>;

    const NodeList &roots() const { return m_roots; }
    bool isEmpty() const { return m_roots.empty(); }
    int nodeCount() const;  // both levels

    void clear()
    {
        m_roots.clear();
        m_reminders.clear();
        m_allShown = true;
    }
    // Appends a node as the last top-level node, or the last child of parent.
    TaskNode *append(TTaskInfo info, TaskNode *parent = nullptr);
    // Inserts at a position among the siblings (clamped to the end).
    TaskNode *insert(TTaskInfo info, TaskNode *parent, int position);
    // The same for a node made apart from the tree (loading makes a sub-task before its
    // parent may have come).
    TaskNode *insert(std::unique_ptr<TaskNode> node, TaskNode *parent, int position);
    // Moves a node (without its own children, which must be empty for a top-level
    // node that becomes a sub-task) to another parent at a position.
    void move(TaskNode *node, TaskNode *newParent, int position);

    NodeList &siblingsOf(TaskNode *node) { return node->parent ? node->parent->children : m_roots; }
    const NodeList &siblingsOf(const TaskNode *node) const
    {
        return node->parent ? node->parent->children : m_roots;
    }
    // Removes the nodes with their sub-tasks, in one pass over each list of siblings (a
    // selection of thousands must not renumber the list once per task).
    void removeMany(const std::vector<TaskNode *> &nodes);
    // Moves the nodes under a top-level task (or to the top level for none), at the
    // front (each one ahead of the one before, as moving them one by one to the front
    // would) or at the end, in their order. A top-level node that moves under a task
    // takes its sub-tasks along: they follow it as siblings. The target itself must
    // not be among the nodes. Returns every node whose parent changed.
    std::vector<TaskNode *> moveMany(const std::vector<TaskNode *> &nodes, TaskNode *target, bool toFront);

    TaskNode *findByTid(const QString &tid) const;
    // Changes a task's text; the only way to, so the search knows to test it again.
    void setContent(TaskNode *node, QString content);

    // Sets every node's visibility by the view range and the search text: a node
    // passes when the range admits it and, with a search, its raw content contains
    // the text (case-sensitive); a passing sub-task shows its parent.
    FilterOutcome applyFilter(ViewRange range, bool searchOn, const QString &searchText);
    // Whether that pass would leave every node as it is: everything is shown and the
    // pass would show everything (start-up and an idle search box ask for it often).
    bool filterKeepsAll(ViewRange range, bool searchOn, const QString &searchText) const
    {
        return m_allShown && range == ViewRange::All && !(searchOn && !searchText.isEmpty());
    }

    // Tells the tree a node's reminder may have been switched on (its record holds it).
    // Nodes added with a reminder need no word.
    void noteReminder(TaskNode *node);
    // The first task in tree order whose reminder is on and due at nowMs (milliseconds
    // as DateTimeToMs counts them) and which is not complete; none when there is none.
    // Looks only at the tasks with a reminder.
    TaskNode *firstDueReminder(qint64 nowMs);

    // Sorts both levels by text. Texts that compare equal keep their current order.
    void sort(bool ascending);

    // Visits every node in tree order: each top-level node, then its sub-tasks.
    template <typename Visitor>
    void forEach(Visitor &&visit) const
    {
        for (const auto &root : m_roots) {
            visit(root.get());
            for (const auto &child : root->children)
                visit(child.get());
        }
    }

private:
    void forgetReminders(const TaskNode *node);  // the node's and its sub-tasks'

    NodeList m_roots;
    // Every node whose reminder is on, and perhaps some whose reminder went off since.
    std::unordered_set<TaskNode *> m_reminders;
    QString m_lastSearch;  // every node's textMatch refers to it; empty: none does
    // Every node is shown: only a filter pass hides one, and new nodes come shown.
    bool m_allShown = true;
};

// The nodes as the export writes them: each one's record, with its sub-tasks' records
// (hidden ones too) when it is a top-level task.
TaskSnapshot SnapshotOf(const QList<TaskNode *> &nodes);

// Byte order of the texts with the letters a-z taken as A-Z and nothing else folded.
// Negative, zero or positive, as the first differs from the second.
int CompareTaskText(QStringView a, QStringView b);

}  // namespace quillpad
