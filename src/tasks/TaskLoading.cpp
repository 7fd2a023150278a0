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
    explicit TreeBuilder(TaskTree &tree) : m_tree(tree) {}

    void topLevel(TTaskInfo &&task) override { m_topLevel.push_back(m_tree.append(std::move(task))); }
    void subTasks(std::size_t index, std::vector<TTaskInfo> &&rows) override
    {
        TaskNode *node = m_topLevel[index];
        for (TTaskInfo &info : rows) {
            info.expandFlag = false;  // kept for top-level tasks only
            m_tree.append(std::move(info), node);
        }
        node->expanded = node->info.expandFlag && !node->children.empty();
    }

private:
    TaskTree &m_tree;
    std::vector<TaskNode *> m_topLevel;
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
