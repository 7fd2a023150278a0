#pragma once
// A Prompter and task dialogs for tests: records every message, file request and
// dialog and answers from a script. Unscripted messages answer as if the box were
// closed; unscripted file requests and dialogs answer "cancelled".

#include "app/ShellDialogs.h"
#include "store/Prompter.h"
#include "tasks/ui/TaskDialogs.h"

#include <QCoreApplication>
#include <QList>
#include <QThread>
#include <QQueue>

#include <functional>

namespace quillpad {

class ScriptedPrompter final : public Prompter, public TaskDialogs, public ShellDialogs {
    template <typename Choice>
    static bool answer(QList<Choice> &asked, QQueue<Choice> &answers, Choice &choice)
    {
        asked.append(choice);
        if (answers.isEmpty())
            return false;
        choice = answers.dequeue();
        return true;
    }

public:
    ScriptedPrompter()
    {
        Prompter::install(this);
        TaskDialogs::install(this);
        ShellDialogs::install(this);
    }
    ~ScriptedPrompter() override
    {
        ShellDialogs::install(nullptr);
        TaskDialogs::install(nullptr);
        Prompter::install(nullptr);
    }

    PromptButton message(const PromptMessage &box) override
    {
        offMainThread = offMainThread || QThread::currentThread() != QCoreApplication::instance()->thread();
        messages.append(box);
        return answers.isEmpty() ? box.closeAnswer() : answers.dequeue();
    }
    QString openFileName(const FileRequest &request) override
    {
        fileRequests.append(request);
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
    // The chosen filter is the scripted one, else the first, as a dialog starts with it.
    QString saveFileName(const FileRequest &request) override
    {
        if (request.selectedFilter) {
            *request.selectedFilter = fileFilters.isEmpty() ? request.filter.section(QStringLiteral(";;"), 0, 0)
                                                            : fileFilters.dequeue();
        }
        return openFileName(request);
    }

    // The print dialog: the test's answer sets the printer up; none is Cancel.
    bool choosePrinter(QPrinter &printer) override
    {
        ++printerRequests;
        return printerAnswer ? printerAnswer(printer) : false;
    }

    // The task dialogs: a scripted answer is OK with that choice; none is Cancel.
    bool askReminder(ReminderChoice &choice) override { return answer(reminderAsked, reminderAnswers, choice); }
    bool askDueDate(DueDateChoice &choice) override { return answer(dueDateAsked, dueDateAnswers, choice); }
    bool askColors(ColorChoice &choice) override { return answer(colorsAsked, colorAnswers, choice); }
    AlarmAnswer ringAlarm(const QString &text, const QString &soundPath) override
    {
        alarms.append(text);
        alarmSounds.append(soundPath);
        return alarmAnswers.isEmpty() ? AlarmAnswer{} : alarmAnswers.dequeue();
    }
    bool askOptions(OptionsChoice &choice) override { return answer(optionsAsked, optionsAnswers, choice); }
    void showAbout(WebLinks &, const QString &version) override { aboutVersions.append(version); }
    void offerUpdate(WebLinks &, AppSettings &) override { ++updateOffers; }

    void setNextAnswer(PromptButton answer) { answers.enqueue(answer); }
    void setNextFileName(const QString &name) { fileNames.enqueue(name); }
    void setNextFileName(const QString &name, const QString &filter)
    {
        fileNames.enqueue(name);
        fileFilters.enqueue(filter);
    }

    // "<caption>: <text>" of every message so far, for compact assertions.
    QStringList lines() const
    {
        QStringList result;
        for (const PromptMessage &box : messages)
            result.append(box.caption + QStringLiteral(": ") + box.text);
        return result;
    }

    QList<PromptMessage> messages;
    bool offMainThread = false;  // a message asked for by another thread than the GUI's
    QList<ReminderChoice> reminderAsked;  // what each dialog was opened with
    QQueue<ReminderChoice> reminderAnswers;
    QList<DueDateChoice> dueDateAsked;
    QQueue<DueDateChoice> dueDateAnswers;
    QList<ColorChoice> colorsAsked;
    QQueue<ColorChoice> colorAnswers;
    QStringList alarms;  // the texts of the alarm windows, in order
    QStringList alarmSounds;
    QQueue<AlarmAnswer> alarmAnswers;
    QList<OptionsChoice> optionsAsked;
    QQueue<OptionsChoice> optionsAnswers;
    QStringList aboutVersions;  // the version each About box was shown with
    int updateOffers = 0;
    QList<FileRequest> fileRequests;
    QQueue<PromptButton> answers;
    QQueue<QString> fileNames;
    QQueue<QString> fileFilters;
    int printerRequests = 0;
    std::function<bool(QPrinter &)> printerAnswer;  // the filters the save requests report chosen
};

}  // namespace quillpad
