#pragma once
// What the main window hands to the task list: its connection, the settings owner,
// its background pictures, the tray icon whose hint the list keeps, and the shell's
// actions that the list's menu bar shows.

#include <QList>
#include <QPixmap>
#include <QString>

class QAction;
class QMainWindow;

namespace quillpad {

class Connection;
class AppSettings;
class TQvTrayIcon;

struct BackgroundImages {
    QPixmap toolsbar;   // top toolbar
    QPixmap searchbar;  // bottom toolbar
    QPixmap group;      // sub-task rows
    QPixmap item0;      // top-level rows at even positions
    QPixmap item1;      // top-level rows at odd positions
};

struct ShellActions {
    QAction *options = nullptr;
    QAction *syncNow = nullptr;
    QAction *dbBackup = nullptr;
    QAction *dbRestore = nullptr;
    QAction *import = nullptr;
    QAction *stayOnTop = nullptr;
    QAction *uiClose = nullptr;
    QAction *exit = nullptr;
    QList<QAction *> help;  // a null entry stands for a separator
};

struct FrameContext {
    Connection *connection = nullptr;
    AppSettings *settings = nullptr;
    const BackgroundImages *images = nullptr;
    TQvTrayIcon *tray = nullptr;
    QMainWindow *mainWindow = nullptr;
    QString alarmSoundPath;
    ShellActions shell;
};

}  // namespace quillpad
