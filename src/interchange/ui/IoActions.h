#pragma once
// The main window's Database Backup, Database Restore and Import commands.

#include <functional>

class QAction;

namespace quillpad {

class Connection;

// Each command runs one TIoDm operation on the connection. After a restore or an import
// that succeeded, reloadTasks runs so the task list is rebuilt from the database.
void ConnectIoActions(Connection &connection, QAction *backup, QAction *restore, QAction *import,
                      std::function<void()> reloadTasks);

}  // namespace quillpad
