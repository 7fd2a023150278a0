#include "cli/ExternalEditor.h"

#include "cli/CommandLine.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryFile>

namespace quillpad {

QString EditInEditor(const QString &text)
{
    // Made private to the user (QTemporaryFile's 0600) and removed afterwards.
    QTemporaryFile file(QDir::temp().filePath(QStringLiteral("quillpad-task-XXXXXX.txt")));
    if (!file.open())
        throw CommandFailure{QStringLiteral("cannot make a file to edit in: %1").arg(file.errorString())};
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const QByteArray bytes = shown.toUtf8() + '\n';
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw CommandFailure{QStringLiteral("cannot write the file to edit in: %1").arg(file.errorString())};
    file.close();

    QString command = qEnvironmentVariable("EDITOR").trimmed();
    if (command.isEmpty())
        command = QStringLiteral("vi");
    QStringList words = QProcess::splitCommand(command);
    if (words.isEmpty())
        throw CommandFailure{QStringLiteral("EDITOR names no program")};
    QProcess editor;
    editor.setProcessChannelMode(QProcess::ForwardedChannels);
    editor.setInputChannelMode(QProcess::ForwardedInputChannel);
    editor.start(words.takeFirst(), words << file.fileName());
    if (!editor.waitForStarted(-1))
        throw CommandFailure{QStringLiteral("cannot start the editor \"%1\": %2").arg(command, editor.errorString())};
    editor.waitForFinished(-1);
    if (editor.exitStatus() != QProcess::NormalExit || editor.exitCode() != 0)
        throw CommandFailure{QStringLiteral("the editor \"%1\" ended with an error: the task is kept as it was")
                                 .arg(command)};

    QFile edited(file.fileName());  // an editor may have put a new file in its place
    if (!edited.open(QIODevice::ReadOnly))
        throw CommandFailure{QStringLiteral("cannot read the edited file: %1").arg(edited.errorString())};
    return QString::fromUtf8(edited.readAll());
}

}  // namespace quillpad
