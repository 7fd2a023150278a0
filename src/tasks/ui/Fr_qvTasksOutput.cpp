// Putting tasks outside the program: saving them as a document, e-mailing, printing.

#include "tasks/ui/Fr_qvTasks.h"

#include "interchange/MailTasks.h"
#include "interchange/TaskDocuments.h"
#include "store/Prompter.h"
#include "tasks/ui/TaskTreePrinter.h"
#include "tasks/ui/TaskTreeView.h"

#include <QPrinter>

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

void TqvTasksFrame::Action_PrintExecute()
{
    if (FEditNode)
        return;
    QPrinter printer(QPrinter::HighResolution);
    if (Prompter::instance().choosePrinter(printer))
        PrintTaskTree(*VtTasks, printer);
}

}  // namespace quillpad
