#include "interchange/ui/IoActions.h"

#include "store/GuardedConnect.h"
#include "interchange/Dm_Io.h"

#include <QAction>

namespace quillpad {

void ConnectIoActions(Connection &connection, QAction *backup, QAction *restore, QAction *import,
                      std::function<void()> reloadTasks)
{
    ConnectGuarded(backup, &QAction::triggered, backup, [&connection] { TIoDm(connection).BackupDatabase(); });
    ConnectGuarded(restore, &QAction::triggered, restore, [&connection, reloadTasks] {
        if (TIoDm(connection).RestoreDatabase())
            reloadTasks();
    });
    ConnectGuarded(import, &QAction::triggered, import, [&connection, reloadTasks] {
        if (TIoDm(connection).ImportDatabase())
            reloadTasks();
    });
}

}  // namespace quillpad
