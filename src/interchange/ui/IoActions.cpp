#include "IoActions.h"

#include "AppError.h"
#include "Dm_Io.h"

#include <QAction>

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
