#include "sync/SyncPassword.h"

#include "store/AtomicFile.h"
#include "sync/SyncRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <QScopeGuard>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillpad {

QString SyncPasswordFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ambrel-quillpad/sync-password");
}

QString ReadSyncPasswordFile(const QString &path, QString &error)
{
    // Without blocking: a FIFO put there would wait for a writer forever.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int cause = errno;
        error = cause == ENOENT ? QStringLiteral("No sync password: set %1 or write it to %2 (mode 0600)")
                                      .arg(QString::fromLatin1(SyncPasswordVariable), path)
                                : QStringLiteral("Unable to read the sync password file %1: %2")
                                      .arg(path, QString::fromLocal8Bit(std::strerror(cause)));
        return {};
    }
    const auto closed = qScopeGuard([fd] { ::close(fd); });
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = QStringLiteral("The sync password file %1 is not a regular file").arg(path);
        return {};
    }
    // Any group or other bit means someone else may have read it already.
    if ((info.st_mode & 0077) != 0) {
        error = QStringLiteral("The sync password file %1 must be readable by its owner only (chmod 600)").arg(path);
        return {};
    }
    HoldingPassword();
    QByteArray line;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = QStringLiteral("Unable to read the sync password file %1: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            return {};
        }
        line.append(buffer, got);
        const qsizetype end = line.indexOf('\n');
        if (end >= 0 || got == 0 || line.size() > 65536) {
            line.truncate(end >= 0 ? end : line.size());
            break;
        }
    }
    while (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        error = QStringLiteral("The sync password file %1 is empty").arg(path);
        return {};
    }
    error.clear();
    return QString::fromUtf8(line);
}

void HoldingPassword()
{
    // Freed memory may keep the password after its use: dumps stay off for good. This also
    // keeps other processes of the user from attaching to read it.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

namespace {

const QString KeyringService = QStringLiteral("ambrel-quillpad");

QString KeyringKey(const SyncSettings &settings)
{
    return QStringLiteral("sync %1@%2").arg(settings.user, settings.server);
}

}  // namespace

void ReadSyncPassword(const SyncSettings &settings, std::function<void(const QString &, const QString &)> reply)
{
    HoldingPassword();
    const QString fromEnvironment = qEnvironmentVariable(SyncPasswordVariable);
    if (!fromEnvironment.isEmpty()) {
        // The reply always comes later, as the keyring's does.
        QTimer::singleShot(0, [reply = std::move(reply), fromEnvironment] { reply(fromEnvironment, {}); });
        return;
    }
    auto *job = new QKeychain::ReadPasswordJob(KeyringService);
    job->setAutoDelete(true);
    job->setKey(KeyringKey(settings));
    QObject::connect(job, &QKeychain::Job::finished, [reply = std::move(reply)](QKeychain::Job *done) {
        const auto *read = static_cast<QKeychain::ReadPasswordJob *>(done);
        if (read->error() == QKeychain::NoError && !read->textData().isEmpty())
            return reply(read->textData(), {});
        // No keyring running, or nothing in it: the private file.
        QString error;
        const QString password = ReadSyncPasswordFile(SyncPasswordFile(), error);
        reply(password, error);
    });
    job->start();
}

void StoreSyncPassword(const SyncSettings &settings, const QString &password,
                       std::function<void(const QString &)> reply)
{
    HoldingPassword();
    auto *job = new QKeychain::WritePasswordJob(KeyringService);
    job->setAutoDelete(true);
    job->setKey(KeyringKey(settings));
    job->setTextData(password);
    QObject::connect(job, &QKeychain::Job::finished, [reply = std::move(reply), password](QKeychain::Job *done) {
        if (done->error() == QKeychain::NoError)
            return reply({});
        reply(StoreSyncPasswordFile(password));
    });
    job->start();
}

QString StoreSyncPasswordFile(const QString &password)
{
    const QString path = SyncPasswordFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    // The copy is private before the password is in it, and replaces the old one whole.
    QString why;
    if (!AtomicFile::writeWhole(path, password.toUtf8() + '\n', &why))
        return QStringLiteral("Unable to store the sync password in %1: %2").arg(path, why);
    return {};
}

}  // namespace quillpad
