#include "cli/TaskCommands.h"

#include "cli/Commands.h"
#include "cli/ExternalEditor.h"
#include "cli/ListFilter.h"
#include "cli/TaskIds.h"
#include "cli/TaskJson.h"
#include "cli/TaskTable.h"
#include "store/Clock.h"
#include "store/TaskStore.h"
#include "store/WhenText.h"
#include "store/WriteBatch.h"
#include "store/pU_Funcs.h"
#include "tasks/ColorNames.h"

#include <QFile>

#include <unistd.h>

namespace quillpad {

namespace {

const char DateFormat[] = "yyyy-MM-dd";
const char DateTimeFormat[] = "yyyy-MM-dd HH:mm";
// Characters of a task's text a line about it shows.
constexpr qsizetype SummaryLength = 60;

const char WhenForms[] = "a date (2025-03-01), a date and time (2025-03-01 14:30), today, tomorrow 9:00, "
                         "fri, next fri 14:30, 17:00, +2d, +1w, +3h or +30min";

// The first line of the text, cut short.
QString Summary(const TTaskInfo &task)
{
    const qsizetype lineEnd = task.content.indexOf(QLatin1Char('\r'));
    QString text = OneLine(task.content.left(lineEnd));
    if (text.size() > SummaryLength || lineEnd >= 0)
        text = text.left(SummaryLength - 3) + QStringLiteral("...");
    return text;
}

// "1A2B3C4D text": how a line about a task names it.
QString Named(const TTaskInfo &task)
{
    const qsizetype brace = task.tid.startsWith(QLatin1Char('{')) ? 1 : 0;
    return task.tid.mid(brace, ShortTaskIds::Least) + QStringLiteral(" \"") + Summary(task) + QLatin1Char('"');
}

void Say(const QString &line)
{
    Print((line + QLatin1Char('\n')).toUtf8());
}

TTaskInfo TaskNamed(TaskStore &store, const QString &text)
{
    const QString tid = ResolveTaskId(store, text);
    std::optional<TTaskInfo> task = store.find(tid);
    if (!task)
        throw CommandFailure{QStringLiteral("the task %1 is no longer in the database").arg(tid)};
    return std::move(*task);
}

// The tasks the texts name, each once, in the order given; every one is found before
// anything changes.
std::vector<TTaskInfo> TasksNamed(TaskStore &store, const QStringList &texts)
{
    std::vector<TTaskInfo> tasks;
    for (const QString &text : texts) {
        TTaskInfo task = TaskNamed(store, text);
        if (std::none_of(tasks.begin(), tasks.end(), [&](const TTaskInfo &each) { return each.tid == task.tid; }))
            tasks.push_back(std::move(task));
    }
    return tasks;
}

When ParsedWhen(const QString &text)
{
    const std::optional<When> when = ReadWhen(text, WhenNone::Allowed);
    if (!when)
        throw UsageError{QStringLiteral("cannot read \"%1\" as a date: give %2, or none").arg(text, QLatin1String(WhenForms))};
    return *when;
}

// list ------------------------------------------------------------------------------

ListFilter FilterOf(const Arguments &args)
{
    ListFilter filter;
    filter.today = Clock::now().date();
    const bool incomplete = args.flag("--incomplete");
    const bool completed = args.flag("--completed");
    if (incomplete && completed)
        throw UsageError{QStringLiteral("--incomplete and --completed together leave no task")};
    filter.completion = incomplete  ? ListFilter::Completion::Incomplete
                        : completed ? ListFilter::Completion::Completed
                                    : ListFilter::Completion::Any;
    filter.overdue = args.flag("--overdue");
    filter.reminders = args.flag("--reminders");
    if (const auto due = args.value(QStringLiteral("--due"))) {
        if (*due == QLatin1String("today"))
            filter.due = ListFilter::DueWithin::Today;
        else if (*due == QLatin1String("week"))
            filter.due = ListFilter::DueWithin::Week;
        else
            throw UsageError{QStringLiteral("--due takes today or week, not \"%1\"").arg(*due)};
    }
    if (const auto search = args.value(QStringLiteral("--search"))) {
        if (search->isEmpty())
            throw UsageError{QStringLiteral("--search needs a text")};
        filter.search = *search;
    }
    return filter;
}

int List(const Arguments &args, Session &session, ConsolePrompter &)
{
    const ListFilter filter = FilterOf(args);
    TaskStore store(session.connection());
    if (args.flag("--json")) {
        // Straight from the rows: a tree of a hundred thousand nodes is not needed to print them.
        WriteTaskListJson(stdout, session.connection(), store.count(), filter.any() ? &filter : nullptr);
        return ExitOk;
    }
    TaskSnapshot snapshot;
    store.load(snapshot);
    const ShortTaskIds ids(store.allIds());
    WriteTaskTable(stdout, filter.apply(std::move(snapshot)), ids, filter.today, OutputWidth(stdout));
    return ExitOk;
}

// show ------------------------------------------------------------------------------

int Show(const Arguments &args, Session &session, ConsolePrompter &)
{
    TaskStore store(session.connection());
    const TTaskInfo task = TaskNamed(store, args.positional.at(0));
    const auto dateTime = [](TDateTime value) {
        return DateTimeToQt(value).toString(QLatin1String(DateTimeFormat));
    };
    const auto field = [](const char *name, const QString &value) {
        Say(QStringLiteral("%1 %2").arg(QLatin1String(name), -12).arg(value));
    };
    field("Id:", task.tid);
    if (task.pid == RootPid) {
        field("Parent:", QStringLiteral("none (a top-level task)"));
    } else {
        const std::optional<TTaskInfo> parent = store.find(task.pid);
        field("Parent:", parent ? Named(*parent) : task.pid + QStringLiteral(" (not in the database)"));
    }
    const QStringList lines = WrapText(task.content, 1 << 20);
    field("Text:", lines.value(0));
    for (qsizetype i = 1; i < lines.size(); ++i)
        field("", lines.at(i));
    field("Complete:", task.checkFlag ? QStringLiteral("yes, %1").arg(dateTime(task.checkTime)) : QStringLiteral("no"));
    QString due = QStringLiteral("none");
    if (task.dueFlag) {
        due = DateOf(task.dueTime).toString(QLatin1String(DateFormat));
        if (!task.checkFlag && IsOverdue(task, Clock::now().date()))
            due += QStringLiteral(" (overdue)");
    }
    field("Due:", due);
    field("Reminder:", task.alarmFlag ? dateTime(task.alarmTime) : QStringLiteral("none"));
    field("Colours:", QStringLiteral("text %1, background %2")
                          .arg(ColorNameOf(task.textColor), ColorNameOf(task.backgroundColor)));
    field("Created:", dateTime(task.createTime));
    field("Edited:", dateTime(task.editTime));
    if (task.pid == RootPid) {
        const std::vector<TTaskInfo> subTasks = store.subTasksOf(task.tid);
        field("Sub-tasks:", subTasks.empty() ? QStringLiteral("none") : QString::number(subTasks.size()));
        if (!subTasks.empty()) {
            const ShortTaskIds ids(store.allIds());
            TaskSnapshot children;
            for (const TTaskInfo &child : subTasks)
                children.push_back({child, {}});
            WriteTaskTable(stdout, children, ids, Clock::now().date(), OutputWidth(stdout));
        }
    }
    return ExitOk;
}

// done, undone ----------------------------------------------------------------------

int Complete(const Arguments &args, Session &session, bool complete)
{
    TaskStore store(session.connectionToChange());
    std::vector<TTaskInfo> tasks = TasksNamed(store, args.positional);
    // One disk flush for the lot, as the window's Complete does; a task already so keeps its time.
    WriteBatch batch(store.connection());
    QStringList lines;
    for (TTaskInfo &task : tasks) {
        if (task.checkFlag == complete) {
            lines.append(QStringLiteral("%1 was %2 already").arg(Named(task), QLatin1String(complete ? "complete" : "incomplete")));
            continue;
        }
        store.storeCheck(task, complete);
        lines.append(complete ? QStringLiteral("Completed %1").arg(Named(task))
                              : QStringLiteral("Marked incomplete: %1").arg(Named(task)));
    }
    batch.commit();
    for (const QString &line : std::as_const(lines))
        Say(line);
    return ExitOk;
}

// remove ----------------------------------------------------------------------------

int Remove(const Arguments &args, Session &session, ConsolePrompter &)
{
    TaskStore store(session.connectionToChange());
    const std::vector<TTaskInfo> tasks = TasksNamed(store, args.positional);
    int named = 0, removed = 0;
    {
        WriteBatch batch(store.connection());
        for (const TTaskInfo &task : tasks) {
            const int gone = store.remove(task.tid);  // 0 for a sub-task gone with its task before
            named += gone > 0 ? 1 : 0;
            removed += gone;
        }
        batch.commit();
    }
    QString line = QStringLiteral("Removed %1").arg(Counted(named, "task", "tasks"));
    if (removed > named)
        line += QStringLiteral(" and %1 under %2").arg(Counted(removed - named, "sub-task", "sub-tasks"),
                                                      QLatin1String(named == 1 ? "it" : "them"));
    Say(line + QLatin1Char('.'));
    return ExitOk;
}

// edit ------------------------------------------------------------------------------

int Edit(const Arguments &args, Session &session, ConsolePrompter &)
{
    // Where the text comes from is settled before the task is looked for.
    const bool fromArgument = args.positional.size() > 1 && args.positional.at(1) != QLatin1String("-");
    const bool fromInput = args.positional.size() > 1 && !fromArgument;
    QString typed;
    if (fromArgument) {
        typed = args.positional.at(1);
        if (TrimTaskText(typed).isEmpty())
            throw UsageError{QStringLiteral("the text is empty")};
    } else if (fromInput) {
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly))
            throw CommandFailure{QStringLiteral("cannot read standard input")};
        typed = QString::fromUtf8(input.readAll());
    } else if (!::isatty(STDIN_FILENO)) {
        throw UsageError{QStringLiteral("TEXT is missing: give it, - to read it from standard input, or run on a "
                                        "terminal to edit it in $EDITOR")};
    }
    TaskStore store(session.connectionToChange());
    TTaskInfo task = TaskNamed(store, args.positional.at(0));
    if (!fromArgument && !fromInput)
        typed = EditInEditor(task.content);
    // Kept as the editor keeps a text: line breaks as CR LF, trimmed.
    const QString content = TrimTaskText(typed);
    if (content.isEmpty())
        throw CommandFailure{QStringLiteral("the new text is empty: the task is kept as it was")};
    if (content == task.content) {
        Say(QStringLiteral("%1 is unchanged").arg(Named(task)));
        return ExitOk;
    }
    store.storeText(task, content);
    Say(QStringLiteral("Edited %1").arg(Named(task)));
    return ExitOk;
}

// due, remind -----------------------------------------------------------------------

int Due(const Arguments &args, Session &session, ConsolePrompter &)
{
    const When when = ParsedWhen(args.positional.at(1));
    TaskStore store(session.connectionToChange());
    TTaskInfo task = TaskNamed(store, args.positional.at(0));
    // Switched off, the date stays stored, as the window's dialog keeps it.
    store.storeDue(task, !when.none, when.none ? task.dueTime : when.at);
    Say(when.none ? QStringLiteral("No due date: %1").arg(Named(task))
                  : QStringLiteral("Due %1: %2").arg(DateOf(when.at).toString(QLatin1String(DateFormat)), Named(task)));
    return ExitOk;
}

int Remind(const Arguments &args, Session &session, ConsolePrompter &)
{
    const When when = ParsedWhen(args.positional.at(1));
    TaskStore store(session.connectionToChange());
    TTaskInfo task = TaskNamed(store, args.positional.at(0));
    store.storeAlarm(task, !when.none, when.none ? task.alarmTime : when.at);
    if (when.none) {
        Say(QStringLiteral("No reminder: %1").arg(Named(task)));
        return ExitOk;
    }
    Say(QStringLiteral("Reminder %1: %2")
            .arg(DateTimeToQt(when.at).toString(QLatin1String(DateTimeFormat)), Named(task)));
    if (DateTimeToMs(when.at) <= DateTimeToMs(Clock::nowDateTime()))
        PrintError("remind", QStringLiteral("that time has passed: the reminder rings as soon as the program runs"));
    return ExitOk;
}

// color -----------------------------------------------------------------------------

std::optional<qint32> ColorOption(const Arguments &args, const char *option)
{
    const std::optional<QString> text = args.value(QLatin1String(option));
    if (!text)
        return std::nullopt;
    const std::optional<qint32> color = ReadColorName(*text);
    if (!color)
        throw UsageError{QStringLiteral("%1 takes default, a colour's name (red, sky blue, ...) or #RRGGBB, not "
                                        "\"%2\"")
                             .arg(QLatin1String(option), *text)};
    return color;
}

int Color(const Arguments &args, Session &session, ConsolePrompter &)
{
    const std::optional<qint32> text = ColorOption(args, "--text");
    const std::optional<qint32> background = ColorOption(args, "--background");
    if (!text && !background)
        throw UsageError{QStringLiteral("give --text, --background or both")};
    TaskStore store(session.connectionToChange());
    const TTaskInfo task = TaskNamed(store, args.positional.at(0));
    const qint32 newText = text.value_or(task.textColor);
    const qint32 newBackground = background.value_or(task.backgroundColor);
    store.storeColors(task.tid, newText, newBackground);
    Say(QStringLiteral("Colours text %1, background %2: %3")
            .arg(ColorNameOf(newText), ColorNameOf(newBackground), Named(task)));
    return ExitOk;
}

// move ------------------------------------------------------------------------------

int Move(const Arguments &args, Session &session, ConsolePrompter &)
{
    const std::optional<QString> parentText = args.value(QStringLiteral("--parent"));
    const bool top = args.flag("--top");
    if (top == parentText.has_value())
        throw UsageError{QStringLiteral("give either --parent TID or --top")};
    TaskStore store(session.connectionToChange());
    const TTaskInfo task = TaskNamed(store, args.positional.at(0));
    QString pid = RootPid;
    std::optional<TTaskInfo> parent;
    if (parentText) {
        parent = TaskNamed(store, *parentText);
        if (parent->tid == task.tid)
            throw CommandFailure{QStringLiteral("a task cannot go under itself")};
        if (parent->pid != RootPid)
            throw CommandFailure{QStringLiteral("%1 is a sub-task: only a top-level task takes sub-tasks")
                                     .arg(Named(*parent))};
        pid = parent->tid;
    }
    if (task.pid == pid) {
        Say(parent ? QStringLiteral("%1 is under that task already").arg(Named(task))
                   : QStringLiteral("%1 is a top-level task already").arg(Named(task)));
        return ExitOk;
    }
    const int subTasks = parent && task.pid == RootPid ? int(store.subTasksOf(task.tid).size()) : 0;
    {
        WriteBatch batch(store.connection());
        store.moveTasks({{task.tid, task.pid == RootPid}}, pid);
        batch.commit();
    }
    QString line = parent ? QStringLiteral("Moved %1 under %2").arg(Named(task), Named(*parent))
                          : QStringLiteral("Moved %1 to the top level").arg(Named(task));
    if (subTasks > 0)
        line += QStringLiteral(", with %1").arg(Counted(subTasks, "sub-task", "sub-tasks"));
    Say(line);
    return ExitOk;
}

}  // namespace

const std::vector<Command> &TaskCommands()
{
    static const std::vector<Command> commands{
        {"list",
         "list [--json] [--incomplete|--completed] [--overdue] [--due today|week] [--search TEXT] [--reminders]",
         "Prints the task list: each top-level task followed by its sub-tasks, as a table with\n"
         "short ids (the start of each task's id that names it alone), the due date (\"!\" once\n"
         "past), the reminder and the text wrapped to the terminal's width (else $COLUMNS, else 80).\n"
         "The filters combine: every one given must hold, and a top-level task shows for a\n"
         "sub-task that passes. --overdue: incomplete with a due date before today. --due week:\n"
         "due today or in the six days after. --search: the text, without regard to case.\n"
         "--reminders: the reminder is on. --json prints one object {\"count\": <tasks in the\n"
         "database>, \"tasks\": [...]} with every field of each task shown.",
         {QStringLiteral("--due"), QStringLiteral("--search")},
         {QStringLiteral("--json"), QStringLiteral("--incomplete"), QStringLiteral("--completed"),
          QStringLiteral("--overdue"), QStringLiteral("--reminders")},
         0, 0, &List},
        {"show", "show TID",
         "Prints everything about one task: its id, parent, text, completion, due date, reminder,\n"
         "colours, when it was made and last edited, and its sub-tasks.\n"
         "TID is a task's id or any start of it that no other id starts with (the brace may be\n"
         "left out, the case does not matter), as list shows it.",
         {}, {}, 1, 1, &Show},
        {"done", "done TID...",
         "Marks the tasks complete with the time now. A task complete already keeps its time.", {}, {}, 1, -1,
         [](const Arguments &args, Session &session, ConsolePrompter &) { return Complete(args, session, true); }},
        {"undone", "undone TID...", "Marks the tasks incomplete again.", {}, {}, 1, -1,
         [](const Arguments &args, Session &session, ConsolePrompter &) { return Complete(args, session, false); }},
        {"edit", "edit TID [TEXT|-]",
         "Replaces the task's text with TEXT, or with standard input for -. Without TEXT on a\n"
         "terminal the text opens in $EDITOR (else vi), and what is saved there is stored.",
         {}, {}, 1, 2, &Edit},
        {"remove", "remove TID...",
         "Removes the tasks, each with its sub-tasks, and says how many went. Nothing asks first.", {}, {}, 1, -1,
         &Remove},
        {"due", "due TID WHEN|none",
         "Sets the task's due date, or switches it off with none.\n"
         "WHEN: 2025-03-01, 2025-03-01 14:30, 2025-03-01T14:30:00Z, today, tomorrow, yesterday,\n"
         "mon ... sun (the nearest from today on), next fri (after today), any of these with a\n"
         "time after it (tomorrow 9:00, fri 2:30pm), a time alone (today), +2d and +1w (from\n"
         "now, or at a time after it), +3h, +30min.",
         {}, {}, 2, 2, &Due},
        {"remind", "remind TID WHEN|none",
         "Sets the task's reminder, or switches it off with none. WHEN as for due; a date alone\n"
         "is its midnight.",
         {}, {}, 2, 2, &Remind},
        {"color", "color TID [--text COLOR] [--background COLOR]",
         "Sets the task's text colour, background colour or both. COLOR: default, #RRGGBB or a\n"
         "name of the Set Color dialog in any case, with or without its spaces: black, maroon,\n"
         "green, olive, navy, purple, teal, gray, silver, red, lime, yellow, blue, fuchsia, aqua,\n"
         "white, money green, sky blue, cream, medium gray, or a system colour (window text, ...).",
         {QStringLiteral("--text"), QStringLiteral("--background")}, {}, 1, 1, &Color},
        {"move", "move TID --parent TID | move TID --top",
         "Puts the task under the top-level task --parent, or at the top level with --top. A\n"
         "top-level task that goes under another takes its sub-tasks along: they become sub-tasks\n"
         "of the new parent. The new parent is stored expanded, as the window opens it.",
         {QStringLiteral("--parent")}, {QStringLiteral("--top")}, 1, 1, &Move},
    };
    return commands;
}

}  // namespace quillpad
