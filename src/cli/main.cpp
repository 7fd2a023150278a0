// quillpad-cli: backup, restore, import and export of the task database, iCalendar
// files, adding and listing tasks, from the command line.

#include "cli/Commands.h"
#include "cli/ConsolePrompter.h"

#include <QCoreApplication>

using namespace quillpad;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ambrel-quillpad"));
    ConsolePrompter prompter;
    Prompter::install(&prompter);
    const int status = RunCommandLine(QCoreApplication::arguments().mid(1), prompter);
    Prompter::install(nullptr);
    return status;
}
