#include "components/ui/FreedesktopServices.h"

#include "components/AutostartEntry.h"
#include "components/ui/NotificationAreaWatcher.h"
#include "store/AppError.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace quillpad {

namespace {

// xdg-email returns once the mail program has the message, unless it starts the mail
// program in the foreground; after this long it counts as handed over.
constexpr int MailHandOffMs = 10'000;

}  // namespace

void FreedesktopServices::playSound(const QString &path)
{
    m_sound.play(path);
}

bool FreedesktopServices::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

QStringList FreedesktopServices::mailArguments(const MailMessage &message)
{
    QStringList arguments{QStringLiteral("--subject"), message.subject, QStringLiteral("--body"), message.body};
    for (const QString &file : message.attachments)
        arguments << QStringLiteral("--attach") << file;
    for (const QString &address : message.cc)
        arguments << QStringLiteral("--cc") << address;
    for (const QString &address : message.bcc)
        arguments << QStringLiteral("--bcc") << address;
    arguments += message.to;
    return arguments;
}

void FreedesktopServices::sendMail(const MailMessage &message)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (program.isEmpty())
        throw MailUnavailable(QStringLiteral("No mail program can be started: xdg-email was not found"));
    // Owned by the application: a mail program still running in the foreground of
    // xdg-email must outlive this call.
    auto *process = new QProcess(QCoreApplication::instance());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(program, mailArguments(message));
    if (!process->waitForStarted()) {
        const QString error = process->errorString();
        process->deleteLater();
        throw MailUnavailable(QStringLiteral("xdg-email could not be started: %1").arg(error));
    }
    if (!process->waitForFinished(MailHandOffMs))
        return;
    // 3: xdg-email found no mail program to start.
    if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 3)
        throw MailUnavailable(QStringLiteral("No mail program can be started (xdg-email ended with code 3)"));
    if (process->exitStatus() != QProcess::NormalExit || process->exitCode() != 0)
        throw AppError(QStringLiteral("The mail program did not take the message (xdg-email ended with code %1)")
                           .arg(process->exitCode()));
}

bool FreedesktopServices::isAutoStart() const
{
    return AutostartEntry().isOn();
}

void FreedesktopServices::setAutoStart(bool on)
{
    AutostartEntry().setOn(on, QCoreApplication::applicationFilePath());
}

bool FreedesktopServices::hasNotificationArea() const
{
    // Not Qt's answer: asking Qt fixes its choice of tray for the whole run.
    return NotificationAreaWatcher::presentNow();
}

}  // namespace quillpad
