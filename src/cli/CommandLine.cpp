#include "cli/CommandLine.h"

#include "store/AppError.h"
#include "store/Paths.h"

namespace quillpad {

Connection &Session::connection()
{
    if (!m_connection.isOpen())
        m_connection.open(Paths::DatabasePath());
    return m_connection;
}

Connection &Session::connectionToChange()
{
    Connection &connection = this->connection();
    if (connection.isReadOnly())
        throw AppError(QStringLiteral("The task database %1 is read-only (%2): its tasks can be listed, "
                                      "backed up, exported and saved, but not changed")
                           .arg(connection.path(), connection.readOnlyReason()));
    return connection;
}

void Print(const QByteArray &text, FILE *stream)
{
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stream);
    std::fflush(stream);
}

void PrintError(const char *command, const QString &text)
{
    Print(QStringLiteral("%1 %2: %3\n").arg(QLatin1String(CliProgram), QLatin1String(command), text).toUtf8(),
          stderr);
}

}  // namespace quillpad
