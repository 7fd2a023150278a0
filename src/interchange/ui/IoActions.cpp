#include "interchange/ui/IoActions.h"

#include "store/GuardedConnect.h"
#include "interchange/Dm_Io.h"

#include <QAction>

namespace quillpad {

void ConnectIoActions(Connection &connection, QAction *backup, QAction *restore, QAction *import,
                      std::function<void(const QString &done)> reloadTasks)
{
    ConnectGuarded(backup, &QAction::triggered, backup, [&connection] { TIoDm(connection).BackupDatabase(); });
    ConnectGuarded(restore, &QAction::triggered, restore, [&connection, reloadTasks] {
        TIoDm io(connection);
        if (io.RestoreDatabase())
            reloadTasks(io.outcomeText());
    });
    ConnectGuarded(import, &QAction::triggered, import, [&connection, reloadTasks] {
        TIoDm io(connection);
        if (io.ImportDatabase())
            reloadTasks(io.outcomeText());
    });
}

}  // namespace quillpad
