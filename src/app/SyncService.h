#pragma once
// What the program's sync reaches outside itself: the server, the keyring. The desktop
// uses the real ones; tests install their own.

#include "sync/CalDavDiscovery.h"
#include "sync/SyncRunner.h"
#include "sync/SyncThread.h"

#include <functional>
#include <memory>

namespace quillpad {

struct SyncService {
    std::function<std::unique_ptr<SyncRunner>(Connection &, const SyncSettings &, const QString &password,
                                              QObject *parent, std::function<void(const QString &)> foundCollection)>
        makeRunner = MakeSyncOnThread;
    std::function<void(const SyncSettings &, std::function<void(const QString &, const QString &)>)> readPassword =
        ReadSyncPassword;
    std::function<void(const SyncSettings &, const QString &, std::function<void(const QString &)>)> storePassword =
        StoreSyncPassword;
    // The user's task collections, for Options to choose from.
    std::function<void(const SyncSettings &, const QString &password, std::function<void(const DiscoveryResult &)>)>
        discover = DiscoverTaskCollections;

    static SyncService &instance()
    {
        static SyncService real;
        return current() ? *current() : real;
    }
    static void install(SyncService *service) { current() = service; }  // nullptr: the real one

private:
    static SyncService *&current()
    {
        static SyncService *installed = nullptr;
        return installed;
    }
};

}  // namespace quillpad
