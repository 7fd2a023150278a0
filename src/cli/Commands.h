#pragma once
// The commands of quillpad-cli. Each works on the task database of the data folder
// through the program's own operations.

#include <QStringList>

namespace quillpad {

class ConsolePrompter;

enum ExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

// Runs the command named by the first argument; the result is the exit status. When the
// command changed the database, a running program is asked to reload its task list.
int RunCommandLine(const QStringList &arguments, ConsolePrompter &prompter);

}  // namespace quillpad
