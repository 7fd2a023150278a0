#include "interchange/ExportTasks.h"

#include "store/AppError.h"
#include "store/Paths.h"
#include "interchange/Dm_Io.h"
#include "store/Prompter.h"
#include "interchange/QvxDocument.h"
#include "store/pU_Funcs.h"
#include "interchange/pU_XmlTry.h"

namespace quillpad {

bool ExportTasksXml(const QString &fileName, const TaskSnapshot &selected)
{
    Txmltry xml;
    Qvx::BeginDocument(xml);
    const int bias = LocalBias();
    const pugi::xml_node tasks = xml.NodeAt(Qvx::TasksPath);
    for (const TaskWithSubTasks &entry : selected) {
        Qvx::AppendElement(tasks, "task", Qvx::TaskAttributes(entry.task, RootPid, bias));
        for (const TTaskInfo &child : entry.subTasks)
            Qvx::AppendElement(tasks, "task", Qvx::TaskAttributes(child, child.pid, bias));
    }
    if (Paths::IsOwnDataFile(fileName)) {
        ErrorBox(QStringLiteral("\"%1\" is the program's own task database or settings file. Choose another file.")
                     .arg(fileName));
        return false;
    }
    try {
        xml.SaveDocument(fileName, true);
    } catch (const AppError &) {
        ErrorBox(QStringLiteral("File Write Failure !"));
        return false;
    }
    return true;
}

void ExportSelectedTasks(const TaskSnapshot &selected)
{
    if (selected.empty()) {
        WarningBox(QStringLiteral("Please select a task!"));
        return;
    }
    QString fileName = Prompter::instance().saveFileName(TIoDm::SaveRequest());
    if (fileName.isEmpty())
        return;
    ExportTasksXml(fileName, selected);
}

}  // namespace quillpad
