#include "components/ui/FreedesktopServices.h"

#include "components/AutostartEntry.h"
#include "components/ui/NotificationAreaWatcher.h"
#include "store/AppError.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace quillpad {

namespace {

// xdg-email and xdg-open return once the program they chose has the message or the
// address, unless they run it in the foreground; after this long it counts as taken.
constexpr int MailHandOffMs = 10'000;
constexpr int OpenHandOffMs = 10'000;

const QString InstallMailProgram = QStringLiteral("Install a mail program such as Thunderbird or Evolution");
const QString InstallBrowser = QStringLiteral("Install a web browser such as Firefox or Chromium");

bool IsMailLink(const QUrl &url)
{
    return url.scheme() == QLatin1String("mailto");
}

// What the user asked to open, as the message names it.
QString Named(const QUrl &url)
{
    if (IsMailLink(url))
        return QStringLiteral("The mail address %1").arg(url.path());
    if (url.isLocalFile())
        return QStringLiteral("The page %1").arg(QDir::toNativeSeparators(url.toLocalFile()));
    return QStringLiteral("The page %1").arg(url.toDisplayString());
}

// xdg-open's exit codes: 2 no such file, 3 no program found, 4 the program failed.
QString OpenFailure(const QUrl &url, bool crashed, int code)
{
    const QString what = Named(url);
    if (crashed)
        return QStringLiteral("%1 could not be opened: xdg-open stopped unexpectedly").arg(what);
    switch (code) {
    case 2:
        return QStringLiteral("%1 could not be opened: the file is missing. Check that the program is installed whole "
                              "(xdg-open ended with code 2)")
            .arg(what);
    case 3:
        return QStringLiteral("%1 could not be opened: the desktop has no program for it (xdg-open ended with code 3). "
                              "%2, and choose it as the desktop's default")
            .arg(what, IsMailLink(url) ? InstallMailProgram : InstallBrowser);
    case 4:
        return QStringLiteral("%1 could not be opened: the desktop's default program for it did not take it "
                              "(xdg-open ended with code 4). Check that the default %2 starts")
            .arg(what, IsMailLink(url) ? QStringLiteral("mail program") : QStringLiteral("web browser"));
    default:
        return QStringLiteral("%1 could not be opened (xdg-open ended with code %2)").arg(what).arg(code);
    }
}

}  // namespace

void FreedesktopServices::playSound(const QString &path)
{
    m_sound.play(path);
}

bool FreedesktopServices::openUrl(const QUrl &url)
{
    // xdg-open itself rather than Qt's launcher, which says nothing when it fails.
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (program.isEmpty()) {
        ReportError(QStringLiteral("%1 could not be opened: xdg-open was not found. Install the package xdg-utils")
                        .arg(Named(url)));
        return false;
    }
    auto *process = new QProcess(QCoreApplication::instance());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    auto *taken = new QTimer(process);
    taken->setSingleShot(true);
    QObject::connect(process, &QProcess::finished, process,
                     [process, taken, url](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         // A browser run in the foreground ends whenever the user closes it.
                         if (!taken->isActive())
                             return;
                         taken->stop();
                         if (status != QProcess::NormalExit || code != 0)
                             ReportError(OpenFailure(url, status != QProcess::NormalExit, code));
                     });
    process->start(program, {QString::fromUtf8(url.toEncoded())});
    if (!process->waitForStarted()) {
        ReportError(QStringLiteral("%1 could not be opened: xdg-open could not be started (%2). Check that the "
                                   "package xdg-utils is installed whole")
                        .arg(Named(url), process->errorString()));
        process->deleteLater();
        return false;
    }
    taken->start(OpenHandOffMs);
    return true;
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
        throw MailUnavailable(QStringLiteral("No mail program can be started: xdg-email was not found. %1, and the "
                                             "package xdg-utils")
                                  .arg(InstallMailProgram));
    // Owned by the application: a mail program still running in the foreground of
    // xdg-email must outlive this call.
    auto *process = new QProcess(QCoreApplication::instance());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(program, mailArguments(message));
    if (!process->waitForStarted()) {
        const QString error = process->errorString();
        process->deleteLater();
        throw MailUnavailable(QStringLiteral("xdg-email could not be started (%1). Check that the package xdg-utils is "
                                             "installed whole")
                                  .arg(error));
    }
    if (!process->waitForFinished(MailHandOffMs))
        return;
    // 3: xdg-email found no mail program to start; 4: the one it started failed.
    if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 3)
        throw MailUnavailable(QStringLiteral("No mail program was found (xdg-email ended with code 3). %1, and choose "
                                             "it as the desktop's program for e-mail")
                                  .arg(InstallMailProgram));
    if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 4)
        throw AppError(QStringLiteral("The mail program did not take the message (xdg-email ended with code 4). Check "
                                      "that the desktop's default mail program starts and has an account set up"));
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
