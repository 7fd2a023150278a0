#include "interchange/MailTasks.h"

#include "components/QvSendMessage.h"
#include "interchange/ExportTasks.h"
#include "interchange/TaskDocuments.h"
#include "store/AppError.h"
#include "store/Paths.h"

#include <QDir>

namespace quillpad {

void MailTasks(TQvSendMessage &mail, const TaskSnapshot &selected)
{
    const QString folder = Paths::TempFolder();
    // A fresh data folder has no Temp/ yet; the writers would fail without it.
    QDir().mkpath(folder);
    const QString page = folder + QStringLiteral("Tasks.html");
    const QString data = folder + QStringLiteral("Tasks.qvx");
    if (!WriteTasksHtml(page, selected) || !ExportTasksXml(data, selected))
        return;
    mail.Clear();
    mail.Subject = QStringLiteral("To-Do List");
    mail.MessageText << QStringLiteral("Tasks.html: HTML file, you can open it with website browser.")
                     << QStringLiteral("Tasks.qvx: Ambrel data file, you can import it into Ambrel software "
                                       "directly.");
    mail.Attachments << page << data;
    try {
        mail.Send();
    } catch (const AbortError &) {
        throw;
    } catch (const AppError &error) {
        throw AppError(StandardErrorText(error.message()) +
                       QStringLiteral(" The files to attach are in %1").arg(QDir::toNativeSeparators(folder)));
    }
}

}  // namespace quillpad
