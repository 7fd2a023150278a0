#pragma once
// The main window: it owns the database connection, the background pictures, the
// settings, the tray icon and the form state, and holds the task list.
//
// Construction and showing are in Fm_Main.cpp; life in the tray, the shell's actions
// and exit in Fm_MainShell.cpp; help, the web links and the update offer in
// Fm_MainHelp.cpp.

#include "app/WebLinks.h"
#include "app/settings/AppSettings.h"
#include "components/QvVersionInfo.h"
#include "components/ui/TrayHost.h"
#include "store/Connection.h"
#include "tasks/ui/FrameContext.h"

#include <QDateTime>
#include <QMainWindow>

#include <memory>

class QAction;
class QMenu;

namespace quillpad {

class SingleInstance;
class SyncControl;
class TcommonDm;
class TQvFormState;
class TQVHHComp;
class TQvTrayIcon;
class TqvTasksFrame;

class TmainFm : public QMainWindow {
    Q_OBJECT

public:
    // The balloon that says where the window went shows at most once in this time.
    static constexpr qint64 BalloonIntervalMs = 3600000;

    // Without a tray host the desktop's notification area is used.
    explicit TmainFm(QWidget *parent = nullptr, std::unique_ptr<TrayHost> trayHost = nullptr);
    ~TmainFm() override;

    // The creation steps in order. An error ends them where it happens; it is reported
    // once and the result is false, and the program then ends.
    bool FormCreate();

    // The shell's actions get their handlers and the tray its menu here.
    void setCommon(TcommonDm *common);
    void setSingleInstance(SingleInstance *instance) { m_instance = instance; }
    TqvTasksFrame *tasksFrame() const { return m_frame; }
    const StartupSettings &settings() const { return m_settings.startup(); }
    AppSettings &appSettings() { return m_settings; }
    const QString &alarmSoundPath() const { return m_alarmSoundPath; }
    Connection &connection() { return ADOConnection1; }
    TQvTrayIcon *trayIcon() const { return QvTrayIcon1; }
    QMenu *trayMenu() const { return PopupMenu_Tray; }
    bool exiting() const { return m_exiting; }
    WebLinks &webLinks() { return m_links; }
    SyncControl *syncControl() const { return m_sync.get(); }
    TQVHHComp *helpComponent() const { return QVHHComp1; }

    // More than this many whole days since the last visit to the maker's site from the
    // program, the update offer comes at start-up.
    static constexpr qint64 UpdateOfferDays = 90;

    // Brings the window back, also from the tray (a second start of the program).
    void bringForward(const QString &activationToken = {});

    // What the desktop's notification says the first time the close box hides the window
    // with no tray to go to.
    static const QString KeepsRunningTitle;
    static const QString KeepsRunningText;

signals:
    // The close box hid the window with no tray to go to, for the first time: the user
    // is to be told, as a desktop notification, that the program keeps running.
    void hiddenWithoutTray(const QString &title, const QString &text);

public:

    // The shell's actions.
    void Action_UiOpenExecute();
    void Action_UiCloseExecute();
    void Action_UiStayOnTopExecute();
    void Action_AddTaskExecute();
    void Action_PasteTaskExecute();
    void Action_OptionsExecute();
    void Action_ExitExecute();
    void HelpContents1Execute();
    void Action_AboutExecute();

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormShow();
    void FormHide();
    void StartupChecks();
    void loadBackgrounds();
    void QvTrayIcon1Click(Qt::MouseButton button);
    void QvTrayIcon1HideWithoutTray();
    bool balloonTimerRunning() const;
    void endProgram();
    void connectHelp(TcommonDm *common);
    bool updateOfferDue() const;

    QAction *Action_DbBackup;
    QAction *Action_DbRestore;
    QAction *Action_Import;
    QAction *Action_SyncNow;

    Connection ADOConnection1;  // the database connection
    AppSettings m_settings;
    std::unique_ptr<SyncControl> m_sync;  // goes before the connection its sync writes to
    WebLinks m_links{m_settings};
    TQvVersionInfo QvVersionInfo1;
    BackgroundImages m_images;
    QString m_alarmSoundPath;
    TQvTrayIcon *QvTrayIcon1 = nullptr;    // the tray icon
    TQvFormState *QvFormState1 = nullptr;  // the window's place, kept in the "form" section
    TQVHHComp *QVHHComp1 = nullptr;        // F1: the manual at the focused control's topic
    QMenu *PopupMenu_Tray = nullptr;       // the tray icon's menu
    QDateTime m_balloonShown;              // Timer_balloon: when the last balloon showed
    TcommonDm *m_common = nullptr;
    SingleInstance *m_instance = nullptr;
    TqvTasksFrame *m_frame = nullptr;
    bool m_firstShow = true;
    bool m_exiting = false;
    bool m_restyling = false;  // "stay on top" makes the window anew: not a hide or a show
};

}  // namespace quillpad
