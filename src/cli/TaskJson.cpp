#include "cli/TaskJson.h"

#include "tasks/TaskTree.h"
#include "store/pU_Funcs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quillpad {

namespace {

QJsonObject TaskObject(const TTaskInfo &task)
{
    return QJsonObject{
        {QStringLiteral("tid"), task.tid},
        {QStringLiteral("pid"), task.pid},
        {QStringLiteral("content"), task.content},
        {QStringLiteral("checkFlag"), task.checkFlag},
        {QStringLiteral("dueFlag"), task.dueFlag},
        {QStringLiteral("alarmFlag"), task.alarmFlag},
        {QStringLiteral("expandFlag"), task.expandFlag},
        {QStringLiteral("textColor"), task.textColor},
        {QStringLiteral("backgroundColor"), task.backgroundColor},
        {QStringLiteral("createTime"), IsoTime(task.createTime)},
        {QStringLiteral("editTime"), IsoTime(task.editTime)},
        {QStringLiteral("checkTime"), IsoTime(task.checkTime)},
        {QStringLiteral("alarmTime"), IsoTime(task.alarmTime)},
        {QStringLiteral("dueTime"), IsoTime(task.dueTime)},
    };
}

QByteArray TaskLine(const TTaskInfo &task, const char *indent)
{
    return indent + task.tid.toUtf8() + (task.checkFlag ? " [x] " : " [ ] ") + OneLine(task.content).toUtf8() + '\n';
}

}  // namespace

QByteArray TaskTreeJson(const TaskTree &tree, int count)
{
    QJsonArray tasks;
    for (const auto &root : tree.roots()) {
        QJsonObject task = TaskObject(root->info);
        QJsonArray children;
        for (const auto &child : root->children)
            children.append(TaskObject(child->info));
        task.insert(QStringLiteral("children"), children);
        tasks.append(task);
    }
    const QJsonObject result{{QStringLiteral("count"), count}, {QStringLiteral("tasks"), tasks}};
    return QJsonDocument(result).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray TaskTreeText(const TaskTree &tree)
{
    QByteArray text;
    for (const auto &root : tree.roots()) {
        text += TaskLine(root->info, "");
        for (const auto &child : root->children)
            text += TaskLine(child->info, "    ");
    }
    return text;
}

}  // namespace quillpad
