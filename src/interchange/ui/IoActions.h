#pragma once
// The main window's Database Backup, Database Restore and Import commands.

#include <QString>

#include <functional>

class QAction;

namespace quillpad {

class Connection;

// Each command runs one TIoDm operation on the connection. After a restore or an import
// that succeeded, reloadTasks runs so the task list is rebuilt from the database; it gets
// what the operation did, for the status bar ("Restored: 3 tasks added, ...").
void ConnectIoActions(Connection &connection, QAction *backup, QAction *restore, QAction *import,
                      std::function<void(const QString &done)> reloadTasks);

}  // namespace quillpad
