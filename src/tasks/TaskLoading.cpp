#include "tasks/TaskLoading.h"

#include "store/TaskStore.h"
#include "store/pU_Funcs.h"
#include "tasks/TaskTree.h"

namespace quillpad {

namespace {

constexpr int SummaryLines = 4;

// Makes the nodes as the rows come: the tree is the only copy of them.
class TreeBuilder : public TaskRowSink {
public:
    explicit TreeBuilder(TaskTree &tree) : m_tree(tree), m_first(tree.roots().size()) {}

    void topLevel(TTaskInfo &&task) override { m_tree.append(std::move(task)); }
    const QString &topLevelId(std::size_t index) const override { return topLevelNode(index)->info.tid; }
    void subTask(TTaskInfo &&task) override
    {
        Waiting &waiting = m_subTasks.emplace_back();
        waiting.node = std::make_unique<TaskNode>();
        waiting.node->info = std::move(task);
        waiting.node->info.expandFlag = false;  // kept for top-level tasks only
    }
    void adopt(std::size_t top, std::size_t sub) override
    {
        TaskNode *parent = topLevelNode(top);
        Waiting &waiting = m_subTasks[sub];
        std::unique_ptr<TaskNode> node = std::move(waiting.node);
        if (!node) {
            node = std::make_unique<TaskNode>();
            node->info = waiting.placed->info;
        }
        node->info.pid = parent->info.tid;  // one text for both
        waiting.placed = m_tree.insert(std::move(node), parent, -1);
        parent->expanded = parent->info.expandFlag;
    }

private:
    struct Waiting {
        std::unique_ptr<TaskNode> node;  // until it is placed
        TaskNode *placed = nullptr;
    };

    TaskNode *topLevelNode(std::size_t index) const { return m_tree.roots()[m_first + index].get(); }

    TaskTree &m_tree;
    const std::size_t m_first;
    std::vector<Waiting> m_subTasks;
};

}  // namespace

void LoadTaskTree(TaskTree &tree, TaskStore &store)
{
    TreeBuilder builder(tree);
    store.load(builder);
}

QString IncompleteTasksSummary(TaskStore &store, int hintSize)
{
    const QStringList contents = store.incompleteTexts(SummaryLines);
    QString text = QStringLiteral("Incomplete Tasks:");
    int n = 1;
    for (const QString &content : contents) {
        QString line = OneLine(content);
        if (line.size() > hintSize)
            line = line.left(hintSize) + QStringLiteral("...");
        text += QStringLiteral("\r(%1) ").arg(n++) + line;
    }
    if (contents.size() == SummaryLines)
        text += QStringLiteral("\r ...");
    if (contents.isEmpty())
        text += QStringLiteral("\rNone");
    return text;
}

}  // namespace quillpad
