#include "app/HelpTopics.h"

#include "components/ui/QvHHComp.h"

namespace quillpad {

namespace HelpTopics {

const QList<Topic> &All()
{
    // Numbers are for good: a page may move, a number keeps its meaning.
    static const QList<Topic> topics = {
        {100, "VtTasks", "tasks.html#tree"},
        {101, "TaskTextEditor", "tasks.html#edit"},
        {110, "Edt_Search", "views.html#search"},
        {111, "Btn_Search", "views.html#search"},
        {120, "Comb_ViewRange", "views.html#range"},
        {200, "ReminderSetDlg", "reminders.html#set"},
        {210, "taskReminderDlg", "reminders.html#snooze"},
        {220, "DueSetDlg", "dates.html#due"},
        {230, "ColorSetDlg", "dates.html#colours"},
        {300, "ReplaceAskDlg", "files.html#replace"},
        {400, "OptionsDlg", "tray.html#options"},
        {410, "SyncPage", "tray.html#sync"},
        {500, "AboutDlg", "help.html#about"},
        {510, "UpdateDlg", "help.html#update"},
    };
    return topics;
}

void Install(TQVHHComp &help)
{
    QHash<QString, int> contexts;
    QHash<int, QString> pages;
    for (const Topic &topic : All()) {
        contexts.insert(QString::fromLatin1(topic.object), topic.context);
        pages.insert(topic.context, QString::fromLatin1(topic.page));
    }
    help.setHelpFile(StartPage);
    help.setContextNames(contexts);
    help.setTopics(pages);
}

}  // namespace HelpTopics

}  // namespace quillpad
