#pragma once
// One sync from the command line: the given options stored in the settings first, then
// the event loop runs until the sync has finished.

#include <QString>

#include <optional>

namespace quillpad {

class Connection;
struct SyncOutcome;

struct SyncOptions {
    std::optional<QString> server;
    std::optional<QString> user;
    std::optional<QString> collection;
    std::optional<QString> trust;  // a SHA-256 fingerprint, checked; empty: trust none
};

SyncOutcome SyncNow(Connection &db, const QString &settingsPath, const SyncOptions &options);

}  // namespace quillpad
