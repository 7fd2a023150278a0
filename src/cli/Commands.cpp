#include "cli/Commands.h"

#include "cli/CommandLine.h"
#include "cli/TaskCommands.h"

#include "store/AppError.h"
#include "cli/ConsolePrompter.h"
#include "store/Connection.h"
#include "interchange/Dm_Io.h"
#include "interchange/ExportTasks.h"
#include "interchange/TaskDocuments.h"
#include "store/Paths.h"
#include "components/SingleInstance.h"
#include "cli/TaskIds.h"
#include "sync/DavClient.h"
#include "sync/IcsFile.h"
#include "sync/SyncRunner.h"
#include "cli/SyncCommand.h"
#include "tasks/TaskLoading.h"
#include "tasks/TaskTree.h"
#include "store/TaskStore.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

namespace quillpad {

namespace {

int Status(bool ok)
{
    return ok ? ExitOk : ExitFailed;
}

Arguments Parse(const Command &command, const QStringList &words)
{
    Arguments parsed;
    bool optionsEnd = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (optionsEnd || !word.startsWith(QLatin1String("-")) || word == QLatin1String("-")) {
            parsed.positional.append(word);
            continue;
        }
        if (word == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        if (word == QLatin1String("--help") || word == QLatin1String("-h")) {
            parsed.help = true;
            continue;
        }
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? word : word.left(equals);
        if (command.valueOptions.contains(name)) {
            if (equals >= 0) {
                parsed.values.insert(name, word.mid(equals + 1));
            } else if (i + 1 < words.size()) {
                parsed.values.insert(name, words.at(++i));
            } else {
                throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
            }
        } else if (command.flagOptions.contains(word)) {
            parsed.flags.append(word);
        } else {
            throw UsageError{QStringLiteral("unknown option %1").arg(word)};
        }
    }
    if (parsed.help)
        return parsed;
    if (parsed.positional.size() < command.minPositional)
        throw UsageError{QStringLiteral("missing arguments")};
    if (command.maxPositional >= 0 && parsed.positional.size() > command.maxPositional)
        throw UsageError{QStringLiteral("too many arguments")};
    return parsed;
}

// restore ---------------------------------------------------------------------------

PromptButton ParseAnswer(const QString &text)
{
    const QString word = text.toLower();
    for (PromptButton button :
         {PromptButton::Yes, PromptButton::No, PromptButton::All, PromptButton::NoToAll, PromptButton::Abort}) {
        if (word == PromptButtonText(button).toLower().replace(QLatin1Char(' '), QLatin1Char('-')))
            return button;
    }
    throw UsageError{QStringLiteral("--answer takes yes, no, all, no-to-all or abort, not \"%1\"").arg(text)};
}

int Restore(const Arguments &args, Session &session, ConsolePrompter &prompter)
{
    if (const auto answer = args.value(QStringLiteral("--answer")))
        prompter.setAnswer(ParseAnswer(*answer));
    TIoDm io(session.connectionToChange());
    const bool done = io.RestoreDatabaseFrom(args.positional.at(0));
    if (done)
        Print(io.outcomeText().toUtf8() + '\n');
    return Status(done);
}

// export, save ----------------------------------------------------------------------

// The id a TID names, or the text itself when it names none (the command says so its
// own way); a TID that starts several ids is a failure that lists them.
QString TidNamed(TaskStore &store, const QString &text)
{
    const QStringList matches = MatchTaskIds(store, text);
    if (matches.size() > 1)
        ResolveTaskId(store, text);
    return matches.size() == 1 ? matches.front() : text;
}

QStringList TidsNamed(TaskStore &store, const QStringList &texts)
{
    QStringList tids;
    for (const QString &text : texts)
        tids.append(TidNamed(store, text));
    return tids;
}

// The tasks named by tid, as the task list would have them selected: siblings only, in
// tree order.
QList<TaskNode *> SelectedNodes(TaskTree &tree, const QStringList &tids, const char *verb)
{
    QList<TaskNode *> selected;
    for (const QString &tid : tids) {
        TaskNode *node = tree.findByTid(tid);
        if (!node)
            throw UsageError{QStringLiteral("no task with the tid %1 in the task list").arg(tid)};
        if (!selected.contains(node))
            selected.append(node);
    }
    for (const TaskNode *node : selected) {
        if (node->parent != selected.front()->parent)
            throw UsageError{QStringLiteral("the tasks to %1 must be siblings: all top-level tasks, or "
                                            "sub-tasks of one task")
                                 .arg(QLatin1String(verb))};
    }
    std::sort(selected.begin(), selected.end(),
              [](const TaskNode *a, const TaskNode *b) { return a->position < b->position; });
    return selected;
}

int Export(const Arguments &args, Session &session, ConsolePrompter &)
{
    TaskTree tree;
    TaskStore store(session.connection());
    LoadTaskTree(tree, store);
    const QList<TaskNode *> selected = SelectedNodes(tree, TidsNamed(store, args.positional.mid(1)), "export");
    return Status(ExportTasksXml(args.positional.at(0), SnapshotOf(selected)));
}

int Save(const Arguments &args, Session &session, ConsolePrompter &)
{
    const QString &fileName = args.positional.at(0);
    const std::optional<TaskDocumentFormat> format = FormatOfFileName(fileName);
    if (!format)
        throw UsageError{QStringLiteral("FILE must end in .txt, .html or .htm")};
    const bool all = args.flags.contains(QStringLiteral("--all"));
    if (all && args.positional.size() > 1)
        throw UsageError{QStringLiteral("--all takes no TIDs")};
    TaskTree tree;
    TaskStore store(session.connection());
    LoadTaskTree(tree, store);
    QList<TaskNode *> selected;
    if (all) {
        for (const auto &root : tree.roots())
            selected.append(root.get());
    } else {
        selected = SelectedNodes(tree, TidsNamed(store, args.positional.mid(1)), "save");
    }
    return Status(WriteTaskDocument(*format, fileName, SnapshotOf(selected)));
}

// ics -------------------------------------------------------------------------------

// The tasks TID... (all without TIDs) in the order the database gives them: a top-level
// task with all its sub-tasks.
std::vector<TTaskInfo> TasksNamed(const TaskSnapshot &snapshot, const QStringList &tids)
{
    QSet<QString> named(tids.begin(), tids.end());
    const bool all = named.isEmpty();
    std::vector<TTaskInfo> tasks;
    for (const TaskWithSubTasks &entry : snapshot) {
        const bool withFamily = all || named.remove(entry.task.tid);
        if (withFamily)
            tasks.push_back(entry.task);
        for (const TTaskInfo &child : entry.subTasks) {
            if (named.remove(child.tid) || withFamily)
                tasks.push_back(child);
        }
    }
    if (!named.isEmpty())
        throw UsageError{QStringLiteral("no task with the tid %1 in the task list").arg(*named.begin())};
    return tasks;
}

int Ics(const Arguments &args, Session &session, ConsolePrompter &)
{
    const QString &action = args.positional.at(0);
    const QString &fileName = args.positional.at(1);
    const bool import = action == QLatin1String("import");
    TaskStore store(import ? session.connectionToChange() : session.connection());
    if (import) {
        if (args.positional.size() > 2)
            throw UsageError{QStringLiteral("ics import takes one FILE")};
        return Status(ImportIcsFile(fileName, store));
    }
    if (action != QLatin1String("export"))
        throw UsageError{QStringLiteral("ics takes export or import, not \"%1\"").arg(action)};
    TaskSnapshot snapshot;
    store.load(snapshot);
    return Status(ExportIcsFile(fileName, TasksNamed(snapshot, TidsNamed(store, args.positional.mid(2)))));
}

// sync ------------------------------------------------------------------------------

std::optional<QString> TrustOption(const Arguments &args)
{
    std::optional<QString> typed = args.value(QStringLiteral("--trust"));
    if (!typed || typed->isEmpty() || *typed == QLatin1String("none"))
        return typed ? std::optional<QString>(QString()) : std::nullopt;
    const QString fingerprint = NormalizedFingerprint(*typed);
    if (fingerprint.isEmpty())
        throw UsageError{QStringLiteral("--trust takes a certificate's SHA-256 fingerprint (64 hex digits, colons "
                                        "allowed) or none, not \"%1\"")
                             .arg(*typed)};
    return fingerprint;
}

int Sync(const Arguments &args, Session &session, ConsolePrompter &)
{
    const std::optional<QString> trust = TrustOption(args);
    const SyncOutcome outcome =
        SyncNow(session.connectionToChange(), Paths::SettingsPath(),
                {args.value(QStringLiteral("--server")), args.value(QStringLiteral("--user")),
                 args.value(QStringLiteral("--collection")), trust});
    if (!outcome.foundCollection.isEmpty()) {
        QString line = QStringLiteral("task collection %1").arg(outcome.foundCollection);
        if (!outcome.otherCollections.isEmpty())
            line += QStringLiteral(" (the first of the server's; others: %1; choose one with --collection PATH)")
                        .arg(outcome.otherCollections.join(QStringLiteral(", ")));
        Print((line + QLatin1Char('\n')).toUtf8());
    }
    if (!outcome.ok) {
        PrintError("sync", outcome.error);
        if (!outcome.refusedCertificate.isEmpty())
            Print(QStringLiteral("If this is your server's certificate, trust it with: %1 sync --trust %2\n")
                      .arg(QLatin1String(CliProgram), outcome.refusedCertificate)
                      .toUtf8(),
                  stderr);
        return ExitFailed;
    }
    Print(QStringLiteral("uploaded %1, downloaded %2, deleted on the server %3, deleted here %4, conflicts %5\n")
              .arg(outcome.uploaded)
              .arg(outcome.downloaded)
              .arg(outcome.deletedRemote)
              .arg(outcome.local.removed.size())
              .arg(outcome.conflicts)
              .toUtf8());
    for (const QString &note : outcome.notes)
        PrintError("sync", note);
    return ExitOk;
}

// add -------------------------------------------------------------------------------

int Add(const Arguments &args, Session &session, ConsolePrompter &)
{
    // Kept as the editor keeps a text: line breaks as CR LF, trimmed.
    const QString content = TrimTaskText(args.positional.at(0));
    if (content.isEmpty())
        throw UsageError{QStringLiteral("the text is empty")};
    TaskStore store(session.connectionToChange());
    QString pid = RootPid;
    if (const auto parent = args.value(QStringLiteral("--parent"))) {
        const std::optional<TTaskInfo> row = store.find(TidNamed(store, *parent));
        if (!row || row->pid != RootPid) {
            PrintError("add", QStringLiteral("%1 is not the tid of a top-level task").arg(*parent));
            return ExitFailed;
        }
        pid = row->tid;
    }
    TTaskInfo task;
    task.pid = pid;
    task.content = content;
    store.insertNew(task);
    Print(task.tid.toUtf8() + '\n');
    return ExitOk;
}

const std::vector<Command> &Commands()
{
    static const std::vector<Command> commands{
        {"backup", "backup FILE", "Writes every memo and every task of the database to FILE.", {}, {}, 1, 1,
         [](const Arguments &args, Session &session, ConsolePrompter &) {
             return Status(TIoDm(session.connection()).BackupDatabaseTo(args.positional.at(0)));
         }},
        {"restore", "restore FILE [--answer yes|no|all|no-to-all|abort]",
         "Reads a backup back, keeping its ids. A record whose id is not in the database is added;\n"
         "one stored exactly as the file has it stays; for any other, \"Confirm Replace\" asks\n"
         "whether the file's version replaces it. --answer gives the answer to every question\n"
         "(all: replace this and every later one; no-to-all: keep this and every later one;\n"
         "abort: stop there, keeping what is stored). Without it the question is asked on the\n"
         "terminal, or answered no when there is none. Says how many tasks were added, replaced\n"
         "and kept.",
         {QStringLiteral("--answer")}, {}, 1, 1, &Restore},
        {"import", "import FILE", "Adds every memo and task of FILE under new ids, keeping their parent links.", {},
         {}, 1, 1,
         [](const Arguments &args, Session &session, ConsolePrompter &) {
             TIoDm io(session.connectionToChange());
             const bool done = io.ImportDatabaseFrom(args.positional.at(0));
             if (done)
                 Print(io.outcomeText().toUtf8() + '\n');
             return Status(done);
         }},
        {"export", "export FILE [TID...]",
         "Writes the tasks TID... to FILE as the task list's Export does: each as a top-level task,\n"
         "a top-level task followed by all its sub-tasks. The tasks must be siblings. Without TIDs\n"
         "the file holds no tasks.",
         {}, {}, 1, -1, &Export},
        {"save", "save [--all] FILE [TID...]",
         "Writes the tasks TID... to FILE as the task list's Save Task does, as text when FILE ends\n"
         "in .txt, as an HTML page when it ends in .html or .htm: a top-level task followed by all\n"
         "its sub-tasks. The tasks must be siblings. --all writes every top-level task, as Save All\n"
         "does with the whole list shown.",
         {}, {QStringLiteral("--all")}, 1, -1, &Save},
        {"ics", "ics export FILE [TID...] | ics import FILE",
         "export writes the tasks TID... to FILE as an iCalendar file (.ics) that calendar and\n"
         "task programs import: a top-level task with all its sub-tasks. Without TIDs it writes\n"
         "every task. import adds every task (VTODO) of an iCalendar file under new ids, keeping\n"
         "sub-tasks under their tasks; one nested deeper goes under its top-level task.",
         {}, {}, 2, -1, &Ics},
        {"sync", "sync [--server URL] [--user NAME] [--collection PATH] [--trust FINGERPRINT|none]",
         "Syncs the task list both ways with a CalDAV task collection. The options are stored in\n"
         "the settings first, so later runs need none; without --collection the server's first\n"
         "task collection is found, and the others are named. The password comes from\n"
         "QUILLPAD_SYNC_PASSWORD, else the keyring, else the file sync-password in the\n"
         "configuration folder (mode 0600). Plain http only to this machine. The password goes\n"
         "only to the server's own scheme, host and port: a redirect elsewhere is refused.\n"
         "--trust trusts the server certificate with this SHA-256 fingerprint (as a refused\n"
         "certificate's error shows it) besides the system's and SSL_CERT_FILE/SSL_CERT_DIR\n"
         "authorities; none forgets it. An answer over 64 MB, or one not complete within 300\n"
         "seconds, ends the sync. Another collection or server starts afresh: every task here goes\n"
         "up, none is deleted.",
         {QStringLiteral("--server"), QStringLiteral("--user"), QStringLiteral("--collection"),
          QStringLiteral("--trust")},
         {}, 0, 0, &Sync},
        {"add", "add TEXT [--parent TID]",
         "Stores TEXT as a new task, or as a sub-task of the top-level task TID, and prints its tid.", 
         {QStringLiteral("--parent")}, {}, 1, 1, &Add},
    };
    static const std::vector<Command> all = [] {
        std::vector<Command> joined = commands;
        for (const Command &command : TaskCommands())
            joined.push_back(command);
        return joined;
    }();
    return all;
}

QByteArray MainHelp()
{
    QByteArray text = QByteArrayLiteral(
        "Usage: quillpad-cli COMMAND [ARGUMENTS]\n"
        "Works on the task database of Ambrel Quillpad (the data folder; QUILLPAD_HOME overrides it).\n\n"
        "Commands:\n");
    for (const Command &command : Commands())
        text += "  " + QByteArray(command.synopsis) + '\n';
    text += "\nRun \"quillpad-cli COMMAND --help\" for one command.\n"
            "Exit status: 0 success, 1 the operation failed, 2 a usage error.\n";
    return text;
}

QByteArray CommandHelp(const Command &command)
{
    return "Usage: quillpad-cli " + QByteArray(command.synopsis) + "\n" + QByteArray(command.description) + '\n';
}

}  // namespace

int RunCommandLine(const QStringList &arguments, ConsolePrompter &prompter)
{
    if (arguments.isEmpty()) {
        Print(MainHelp(), stderr);
        return ExitUsage;
    }
    const QString &name = arguments.front();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        Print(MainHelp());
        return ExitOk;
    }
    const auto &commands = Commands();
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&name](const Command &c) { return name == QLatin1String(c.name); });
    if (command == commands.end()) {
        Print(QStringLiteral("%1: unknown command \"%2\"\n").arg(QLatin1String(CliProgram), name).toUtf8() + MainHelp(),
              stderr);
        return ExitUsage;
    }

    Session session;
    int status = ExitFailed;
    try {
        const Arguments args = Parse(*command, arguments.mid(1));
        if (args.help) {
            Print(CommandHelp(*command));
            return ExitOk;
        }
        status = command->run(args, session, prompter);
    } catch (const CommandFailure &failure) {
        PrintError(command->name, failure.text);
        status = ExitFailed;
    } catch (const UsageError &error) {
        PrintError(command->name, error.text);
        Print("Usage: quillpad-cli " + QByteArray(command->synopsis) + '\n', stderr);
        status = ExitUsage;
    } catch (...) {
        ReportCurrentException();  // as the program reports an error that ends a command
        status = ExitFailed;
    }
    // Output sent to a file on a full disk is a failure too, not a short list and 0.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        PrintError(command->name, QStringLiteral("Cannot write the output: %1")
                                      .arg(QString::fromLocal8Bit(std::strerror(errno))));
        status = ExitFailed;
    }
    // A running program shows the database as it was: ask it to load it again.
    if (session.changed())
        SingleInstance::SendToRunning(SingleInstance::Message::Reload);
    return status;
}

}  // namespace quillpad
