#include "interchange/ui/IoActions.h"

#include "store/AppError.h"
#include "interchange/Dm_Io.h"

#include <QAction>

namespace quillpad {

void ConnectIoActions(Connection &connection, QAction *backup, QAction *restore, QAction *import,
                      std::function<void()> reloadTasks)
{
    QObject::connect(backup, &QAction::triggered, backup, [&connection] {
        RunGuarded([&connection] { TIoDm(connection).BackupDatabase(); });
    });
    QObject::connect(restore, &QAction::triggered, restore, [&connection, reloadTasks] {
        RunGuarded([&] {
            if (TIoDm(connection).RestoreDatabase())
                reloadTasks();
        });
    });
    QObject::connect(import, &QAction::triggered, import, [&connection, reloadTasks] {
        RunGuarded([&] {
            if (TIoDm(connection).ImportDatabase())
                reloadTasks();
        });
    });
}

}  // namespace quillpad
