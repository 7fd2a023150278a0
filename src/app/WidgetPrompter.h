#pragma once
// The desktop's Prompter, task dialogs and shell dialogs: real message boxes, file
// dialogs, task dialogs and the shell's own. The one place that knows every dialog.

#include "app/ShellDialogs.h"
#include "store/Prompter.h"
#include "tasks/ui/TaskDialogs.h"

#include <QString>

namespace quillpad {

class WidgetPrompter final : public Prompter, public TaskDialogs, public ShellDialogs {
public:
    PromptButton message(const PromptMessage &box) override;
    QString openFileName(const FileRequest &request) override;
    QString saveFileName(const FileRequest &request) override;
    bool choosePrinter(QPrinter &printer) override;
    bool askReminder(ReminderChoice &choice) override;
    bool askDueDate(DueDateChoice &choice) override;
    bool askColors(ColorChoice &choice) override;
    AlarmAnswer ringAlarm(const QString &text, const QString &soundPath) override;
    bool askOptions(OptionsChoice &choice) override;
    void showAbout(WebLinks &links, const QString &version) override;
    void offerUpdate(WebLinks &links, AppSettings &settings) override;

private:
    QString m_lastFolder;  // of the last file chosen in a file dialog: the next one opens there
};

}  // namespace quillpad
