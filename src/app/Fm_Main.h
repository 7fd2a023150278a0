#pragma once
// The main window: it owns the database connection, the background pictures, the
// settings copies and the tray icon, and holds the task list.

#include "store/Connection.h"
#include "tasks/ui/FrameContext.h"
#include "app/settings/AppSettings.h"

#include <QMainWindow>

class QAction;
class QSystemTrayIcon;

namespace quillpad {

class TcommonDm;
class TqvTasksFrame;

class TmainFm : public QMainWindow {
    Q_OBJECT

public:
    explicit TmainFm(QWidget *parent = nullptr);
    ~TmainFm() override;

    // The creation steps in order. An error ends them where it happens; it is reported
    // once and the result is false, and the program then ends.
    bool FormCreate();

    void setCommon(TcommonDm *common) { m_common = common; }
    TqvTasksFrame *tasksFrame() const { return m_frame; }
    const StartupSettings &settings() const { return m_settings.startup(); }
    const QString &alarmSoundPath() const { return m_alarmSoundPath; }
    Connection &connection() { return ADOConnection1; }

    // Brings the window to the front, also from hidden or minimised.
    void bringForward();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void StartupChecks();
    void loadBackgrounds();

    QAction *Action_DbBackup;
    QAction *Action_DbRestore;
    QAction *Action_Import;

    Connection ADOConnection1;  // the database connection
    AppSettings m_settings;
    BackgroundImages m_images;
    QString m_alarmSoundPath;
    QSystemTrayIcon *QvTrayIcon1 = nullptr;  // the tray icon
    TcommonDm *m_common = nullptr;
    TqvTasksFrame *m_frame = nullptr;
    bool m_firstShow = true;
    bool m_exiting = false;
};

}  // namespace quillpad
