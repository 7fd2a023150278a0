#pragma once
// Where the sync password is looked for besides the environment.

#include <QString>

namespace quillpad {

inline constexpr const char *SyncPasswordVariable = "QUILLPAD_SYNC_PASSWORD";

// $XDG_CONFIG_HOME/ambrel-quillpad/sync-password (~/.config when unset).
QString SyncPasswordFile();

// The file's first line; error names the file when it is missing, unreadable, or can be
// read by anyone but its owner.
QString ReadSyncPasswordFile(const QString &path, QString &error);

// Where no keyring runs: writes the file, mode 0600; the error, or empty.
QString StoreSyncPasswordFile(const QString &password);

}  // namespace quillpad
