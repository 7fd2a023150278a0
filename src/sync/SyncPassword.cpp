#include "sync/SyncPassword.h"

#include "store/AtomicFile.h"
#include "sync/SyncRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <sys/stat.h>

namespace quillpad {

QString SyncPasswordFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ambrel-quillpad/sync-password");
}

QString ReadSyncPasswordFile(const QString &path, QString &error)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        error = QStringLiteral("No sync password: set %1 or write it to %2 (mode 0600)")
                    .arg(QString::fromLatin1(SyncPasswordVariable), path);
        return {};
    }
    // Any group or other bit means someone else may have read it already.
    if ((info.st_mode & 0077) != 0) {
        error = QStringLiteral("The sync password file %1 must be readable by its owner only (chmod 600)").arg(path);
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Unable to read the sync password file %1: %2").arg(path, file.errorString());
        return {};
    }
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        error = QStringLiteral("The sync password file %1 is empty").arg(path);
        return {};
    }
    error.clear();
    return QString::fromUtf8(line);
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
