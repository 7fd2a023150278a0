#include "tasks/TaskLoading.h"

#include "store/Query.h"
#include "tasks/TaskTree.h"
#include "store/pU_Funcs.h"

namespace quillpad {

int CountTasks(Query &query)
{
    OpenSql(query, QStringLiteral("select count(*) as cnt from tasks"));
    query.first();
    return query.field(u"cnt").asInteger();
}

void LoadTaskTree(TaskTree &tree, Query &topLevel, Query &subTasks)
{
    OpenSql(topLevel, QStringLiteral("select * from tasks where pid=") + QuoteSql(RootPid));
    topLevel.first();
    const TaskReader topReader(topLevel);
    for (; !topLevel.eof(); topLevel.next()) {
        TaskNode *node = tree.append(topReader.read());
        OpenSql(subTasks, QStringLiteral("select * from tasks where pid=") + QuoteSql(node->info.tid));
        subTasks.first();
        const TaskReader subReader(subTasks);
        for (; !subTasks.eof(); subTasks.next()) {
            TTaskInfo info = subReader.read();
            info.expandFlag = false;  // kept for top-level tasks only
            tree.append(std::move(info), node);
        }
        node->expanded = node->info.expandFlag && !node->children.empty();
    }
}

QString IncompleteTasksSummary(Query &query, int hintSize)
{
    OpenSql(query, QStringLiteral("select content from tasks where checkFlag=False order by content ASC"));
    query.first();
    QString text = QStringLiteral("Incomplete Tasks:");
    int n = 1;
    for (; !query.eof(); query.next()) {
        QString line = OneLine(query.field(u"content").asString());
        if (line.size() > hintSize)
            line = line.left(hintSize) + QStringLiteral("...");
        text += QStringLiteral("\r(%1) ").arg(n) + line;
        if (n == 4) {
            text += QStringLiteral("\r ...");
            break;
        }
        ++n;
    }
    if (n == 1)
        text += QStringLiteral("\rNone");
    // Later statements on this query would close the result anyway; closing now ends
    // the read at once.
    query.close();
    return text;
}

}  // namespace quillpad
