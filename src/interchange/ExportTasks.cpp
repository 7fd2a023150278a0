#include "interchange/ExportTasks.h"

#include "store/AppError.h"
#include "interchange/Dm_Io.h"
#include "store/Prompter.h"
#include "interchange/QvxDocument.h"
#include "tasks/TaskTree.h"
#include "store/pU_Funcs.h"
#include "interchange/pU_XmlTry.h"

namespace quillpad {

bool ExportTasksXml(const QString &fileName, const QList<TaskNode *> &selected)
{
    Txmltry xml;
    Qvx::BeginDocument(xml);
    const int bias = LocalBias();
    const pugi::xml_node tasks = xml.NodeAt(Qvx::TasksPath);
    for (const TaskNode *node : selected) {
        Qvx::AppendElement(tasks, "task", Qvx::TaskAttributes(node->info, RootPid, bias));
        if (!node->isTopLevel())
            continue;
        for (const auto &child : node->children)
            Qvx::AppendElement(tasks, "task", Qvx::TaskAttributes(child->info, child->info.pid, bias));
    }
    try {
        xml.SaveDocument(fileName, true);
    } catch (const AppError &) {
        ErrorBox(QStringLiteral("File Write Failure !"));
        return false;
    }
    return true;
}

void ExportSelectedTasks(const QList<TaskNode *> &selected)
{
    if (selected.isEmpty()) {
        WarningBox(QStringLiteral("Please select a task!"));
        return;
    }
    QString fileName = Prompter::instance().saveFileName(TIoDm::SaveRequest());
    if (fileName.isEmpty())
        return;
    ExportTasksXml(fileName, selected);
}

}  // namespace quillpad
