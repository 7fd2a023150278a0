#pragma once
// A sync on a thread of its own, with its own connection to the same database file: the
// window never waits while a large task list is read, compared and written.

#include "sync/SyncRunner.h"

namespace quillpad {

// As MakeCalDavSync; db only names the file. finished() and foundCollection come on the
// caller's thread.
std::unique_ptr<SyncRunner> MakeSyncOnThread(Connection &db, const SyncSettings &settings, const QString &password,
                                             QObject *parent = nullptr,
                                             std::function<void(const QString &)> foundCollection = {});

}  // namespace quillpad
