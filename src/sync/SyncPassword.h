#pragma once
// Where the sync password is looked for besides the environment.

#include <QString>

namespace quillpad {

inline constexpr const char *SyncPasswordVariable = "QUILLPAD_SYNC_PASSWORD";

// $XDG_CONFIG_HOME/ambrel-quillpad/sync-password (~/.config when unset).
QString SyncPasswordFile();

// The file's first line; error names the file when it is missing, unreadable, not a
// regular file, or can be read by anyone but its owner. Never waits for a writer.
QString ReadSyncPasswordFile(const QString &path, QString &error);

// From the first password on, the process leaves no core dump that could hold it.
void HoldingPassword();

// Where no keyring runs: writes the file, mode 0600; the error, or empty.
QString StoreSyncPasswordFile(const QString &password);

}  // namespace quillpad
