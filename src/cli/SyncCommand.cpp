#include "cli/SyncCommand.h"

#include "app/settings/IniFile.h"
#include "sync/SyncRunner.h"

#include <QEventLoop>

namespace quillpad {

SyncOutcome SyncNow(Connection &db, const QString &settingsPath, const SyncOptions &options)
{
    IniFile ini(settingsPath);
    SyncSettings settings = ReadSyncSettings(ini);
    if (options.server || options.user || options.collection || options.trust) {
        if (options.server) {
            const SyncSettings before = settings;
            settings.server = *options.server;
            ForgetCollectionOfOldServer(settings, before, options.collection.has_value());
        }
        if (options.user)
            settings.user = *options.user;
        if (options.collection)
            settings.collection = *options.collection;
        if (options.trust)
            settings.trustedCertificate = *options.trust;
        WriteSyncSettings(ini, settings);
    }
    SyncOutcome outcome;
    if (settings.server.isEmpty()) {
        outcome.error = QStringLiteral("No sync server is set: give --server URL");
        return outcome;
    }
    // Undocumented, for the tests: a deadline they can reach in seconds.
    if (const int ms = qEnvironmentVariableIntValue("QUILLPAD_SYNC_DEADLINE_MS"); ms > 0)
        settings.limits.deadlineMs = ms;
    QEventLoop loop;
    std::unique_ptr<SyncRunner> runner;
    ReadSyncPassword(settings, [&](const QString &password, const QString &error) {
        if (!error.isEmpty()) {
            outcome.error = error;
            loop.quit();
            return;
        }
        runner = MakeCalDavSync(db, settings, password, nullptr,
                                [&](const QString &collection) { StoreFoundCollection(settingsPath, collection); });
        QObject::connect(runner.get(), &SyncRunner::finished, &loop, [&](const SyncOutcome &result) {
            outcome = result;
            loop.quit();
        });
        runner->start();
    });
    loop.exec();
    return outcome;
}

}  // namespace quillpad
