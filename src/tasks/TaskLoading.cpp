#include "tasks/TaskLoading.h"

#include "store/TaskStore.h"
#include "store/pU_Funcs.h"
#include "tasks/TaskTree.h"

namespace quillpad {

namespace {

constexpr int SummaryLines = 4;

void AddToTree(TaskTree &tree, TaskSnapshot &snapshot)
{
    for (TaskWithSubTasks &entry : snapshot) {
        TaskNode *node = tree.append(std::move(entry.task));
        for (TTaskInfo &info : entry.subTasks) {
            info.expandFlag = false;  // kept for top-level tasks only
            tree.append(std::move(info), node);
        }
        node->expanded = node->info.expandFlag && !node->children.empty();
    }
}

}  // namespace

void LoadTaskTree(TaskTree &tree, TaskStore &store)
{
    TaskSnapshot snapshot;
    try {
        store.load(snapshot);
    } catch (...) {
        AddToTree(tree, snapshot);
        throw;
    }
    AddToTree(tree, snapshot);
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
