#include "sync/IcsFile.h"

#include "store/AtomicFile.h"
#include "store/Clock.h"
#include "store/Connection.h"
#include "store/Paths.h"
#include "store/TaskStore.h"
#include "store/WriteBatch.h"
#include "store/pU_Funcs.h"
#include "sync/Ical.h"
#include "sync/VTodoMapping.h"

#include <QFile>
#include <QHash>

namespace quillpad {

namespace {
const char ProductId[] = "-//Ambrel//Quillpad//EN";
}  // namespace

QByteArray TasksAsIcs(const std::vector<TTaskInfo> &tasks)
{
    IcalComponentPtr calendar(icalcomponent_new_vcalendar());
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid(ProductId));
    for (const TTaskInfo &task : tasks)
        icalcomponent_add_component(calendar.get(), NewVTodo(task).release());
    return IcalText(calendar.get());
}

bool ExportIcsFile(const QString &fileName, const std::vector<TTaskInfo> &tasks)
{
    if (Paths::IsOwnDataFile(fileName)) {
        ErrorBox(QStringLiteral("\"%1\" is the program's own task database or settings file. Choose another file.")
                     .arg(fileName));
        return false;
    }
    if (!AtomicFile::writeWhole(fileName, TasksAsIcs(tasks))) {
        ErrorBox(QStringLiteral("File write failure!"));
        return false;
    }
    return true;
}

bool ImportIcsFile(const QString &fileName, TaskStore &store)
{
    QFile file(fileName);
    std::optional<std::vector<TTaskInfo>> tasks;
    IcsCounts counts;
    if (file.open(QIODevice::ReadOnly))
        tasks = TasksFromIcs(file.readAll(), &counts);
    if (!tasks) {
        ErrorBox(QStringLiteral("File read failure!"));
        return false;
    }
    if (counts.found == 0) {
        WarningBox(QStringLiteral("There are no tasks in this file: nothing was imported."));
        return true;
    }
    if (tasks->empty()) {
        ErrorBox(counts.found == 1
                     ? QStringLiteral("The task in this file could not be read: nothing was imported.")
                     : QStringLiteral("None of the %1 tasks in this file could be read: nothing was imported.")
                           .arg(counts.found));
        return false;
    }
    // A parent's new id, by the UID its sub-tasks name (the first task with that UID).
    QHash<QString, QString> newIds;
    std::vector<QString> ids;
    ids.reserve(tasks->size());
    for (const TTaskInfo &task : *tasks) {
        ids.push_back(NewGuid());
        if (!newIds.contains(task.tid))
            newIds.insert(task.tid, ids.back());
    }
    const BulkCache cache(store.connection());
    WriteBatch batch(store.connection(), WriteBatch::Unfinished::RollBack);
    const TDateTime now = Clock::nowDateTime();  // one import, one time
    for (size_t i = 0; i < tasks->size(); ++i) {
        TTaskInfo row = tasks->at(i);
        row.tid = ids.at(i);
        if (row.pid != RootPid)
            row.pid = newIds.value(row.pid);
        if (row.createTime == ZeroDateTime)
            row.createTime = now;
        if (row.editTime == ZeroDateTime)
            row.editTime = row.createTime;
        store.insertRecord(row);
    }
    batch.commit();
    if (counts.skipped > 0)
        WarningBox(
            QStringLiteral("Skipped %1 of %2 tasks that could not be read.").arg(counts.skipped).arg(counts.found));
    return true;
}

}  // namespace quillpad
