// Putting tasks outside the program: saving them as a document, e-mailing, printing.

#include "tasks/ui/Fr_qvTasks.h"

#include "interchange/MailTasks.h"
#include "interchange/TaskDocuments.h"
#include "tasks/ui/TaskTreeView.h"

namespace quillpad {

void TqvTasksFrame::SaveTasksAs(bool selectAll)
{
    if (FEditNode)
        return;
    const TaskDocumentChoice choice = AskTaskDocumentFile();
    if (choice.fileName.isEmpty())
        return;
    if (selectAll)
        VtTasks->selectAll();  // as Select All does, the focus left where it is
    WriteTaskDocument(choice.format, choice.fileName, SnapshotOf(VtTasks->selectedNodes()));
    if (selectAll)
        VtTasks->clearSelection();
}

void TqvTasksFrame::Action_EmailExecute()
{
    if (!FEditNode)
        MailTasks(QvSendMessage1, SnapshotOf(VtTasks->selectedNodes()));
}

}  // namespace quillpad
