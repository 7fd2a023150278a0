#pragma once
// What every command of quillpad-cli is made of: its parsed arguments, the database it
// works on, its entry in the command table, and the ways it ends.

#include "store/Connection.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace quillpad {

class ConsolePrompter;

inline constexpr char CliProgram[] = "quillpad-cli";

// The command line is wrong: "<program> <command>: <text>", the usage, exit 2.
struct UsageError {
    QString text;
};

// The command cannot be done on these tasks: "<program> <command>: <text>", exit 1.
struct CommandFailure {
    QString text;
};

struct Arguments {
    QStringList positional;
    QHash<QString, QString> values;  // options that take a value
    QStringList flags;               // options that do not
    bool help = false;

    std::optional<QString> value(const QString &option) const
    {
        const auto found = values.constFind(option);
        return found == values.constEnd() ? std::nullopt : std::optional<QString>(*found);
    }
    bool flag(const char *option) const { return flags.contains(QLatin1String(option)); }
};

// The database the commands work on, opened when a command first needs it.
class Session {
public:
    Connection &connection();
    // For the commands that change the database: a read-only one is reported before
    // anything starts.
    Connection &connectionToChange();
    bool changed() const { return m_connection.isOpen() && m_connection.totalChanges() > 0; }

private:
    Connection m_connection;
};

struct Command {
    const char *name;
    const char *synopsis;
    const char *description;
    QStringList valueOptions;
    QStringList flagOptions;
    int minPositional;
    int maxPositional;  // -1: any number
    std::function<int(const Arguments &, Session &, ConsolePrompter &)> run;
};

void Print(const QByteArray &text, FILE *stream = stdout);
// "<program> <command>: <text>" on stderr.
void PrintError(const char *command, const QString &text);

}  // namespace quillpad
