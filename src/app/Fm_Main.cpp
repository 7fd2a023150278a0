#include "app/Fm_Main.h"

#include "store/AppError.h"
#include "app/Dm_Common.h"
#include "app/HelpTopics.h"
#include "components/ui/QvHHComp.h"
#include "app/LoadPicture.h"
#include "app/SyncControl.h"
#include "components/ui/ActionFactory.h"
#include "tasks/ui/FrameMessages.h"
#include "tasks/ui/Fr_qvTasks.h"
#include "components/ui/IconLists.h"
#include "components/ui/QvFormState.h"
#include "components/ui/QvTray.h"
#include "interchange/ui/IoActions.h"
#include "store/Paths.h"

#include <QAction>
#include <QCoreApplication>

namespace quillpad {

TmainFm::TmainFm(QWidget *parent, std::unique_ptr<TrayHost> trayHost)
    : QMainWindow(parent),
      Action_DbBackup(MakeAction(this, ActionInfo("Action_DbBackup", QStringLiteral("Database &Backup...")))),
      Action_DbRestore(MakeAction(this, ActionInfo("Action_DbRestore", QStringLiteral("Database &Restore...")))),
      Action_Import(MakeAction(this, ActionInfo("Action_Import", QStringLiteral("&Import...")))),
      Action_SyncNow(MakeAction(this, ActionInfo("Action_SyncNow", QStringLiteral("S&ync Now"),
                                                 QStringLiteral("Sync the tasks with the CalDAV server")))),
      m_sync(std::make_unique<SyncControl>(ADOConnection1, Action_SyncNow)),
      QvFormState1(new TQvFormState(this)),
      QVHHComp1(new TQVHHComp(this))
{
    setObjectName(QStringLiteral("mainFm"));
    QvFormState1->setSection(QStringLiteral("form"));
    HelpTopics::Install(*QVHHComp1);
    // The icon goes into the notification area at once, as the window's own component.
    QvTrayIcon1 = new TQvTrayIcon(this, std::move(trayHost));
    QvTrayIcon1->setImages({IconList::small().icon(IconRole::Application)});
    QvTrayIcon1->setMinimizeToTray(true);
    // Without a tray the close box hides the window all the same: the program keeps
    // running so that reminders still ring.
    QvTrayIcon1->setHideWithoutTray(true);
    QvTrayIcon1->OnHideWithoutTray = [this](TQvTrayIcon *) { RunGuarded([this] { QvTrayIcon1HideWithoutTray(); }); };
    QvTrayIcon1->OnClick = [this](TQvTrayIcon *, Qt::MouseButton button, Qt::KeyboardModifiers) {
        RunGuarded([&] { QvTrayIcon1Click(button); });
    };
    // The balloon says "Click here to open!": a click on it does.
    QvTrayIcon1->OnBalloonHintClick = [this](TQvTrayIcon *) { RunGuarded([this] { Action_UiOpenExecute(); }); };
    setWindowTitle(ApplicationTitle);  // from the first frame on; StartupChecks sets it again
    ConnectIoActions(ADOConnection1, Action_DbBackup, Action_DbRestore, Action_Import, [this](const QString &done) {
        if (!m_frame)
            return;
        m_frame->requestReload();  // message 2024, once an edit in progress ends
        m_frame->setStatusNote(done);
    });
    resize(446, 545);
}

TmainFm::~TmainFm()
{
    m_exiting = true;
    m_sync.reset();  // a sync under way ends unfinished; what it stored stays
    // The list goes first: its queries belong to our connection.
    delete m_frame;
    m_frame = nullptr;
}

bool TmainFm::FormCreate()
{
    return RunGuarded([this] {
        m_firstShow = true;
        m_exiting = false;
        loadBackgrounds();
        m_alarmSoundPath = Paths::ProgramFolder() + QStringLiteral("Sounds/Alarm.wav");
        m_settings.setPath(Paths::SettingsPath());
        QvFormState1->setIniPath(m_settings.path());
        m_settings.readCreationSettings();
        ADOConnection1.open(Paths::DatabasePath());
        // Settings that cannot be written (a full disk) are reported, and the tasks are
        // shown all the same.
        RunGuarded([this] { m_settings.load(); });
        m_sync->setSettingsPath(m_settings.path());
    });
}

void TmainFm::loadBackgrounds()
{
    m_images.toolsbar = LoadPicture(QStringLiteral("Images/toolsbarBackground.bmp"));
    m_images.searchbar = LoadPicture(QStringLiteral("Images/searchbarBackground.bmp"));
    m_images.group = LoadPicture(QStringLiteral("Images/groupBackground.bmp"));
    m_images.item0 = LoadPicture(QStringLiteral("Images/itemBackground0.bmp"));
    m_images.item1 = LoadPicture(QStringLiteral("Images/itemBackground1.bmp"));
}

void TmainFm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    FormShow();
}

void TmainFm::FormShow()
{
    if (m_restyling)
        return;
    if (m_firstShow) {
        m_firstShow = false;
        FrameContext context;
        context.connection = &ADOConnection1;
        context.settings = &m_settings;
        context.images = &m_images;
        context.tray = QvTrayIcon1;
        context.mainWindow = this;
        context.alarmSoundPath = m_alarmSoundPath;
        context.shell.dbBackup = Action_DbBackup;
        context.shell.dbRestore = Action_DbRestore;
        context.shell.import = Action_Import;
        context.shell.syncNow = Action_SyncNow;
        if (m_common) {
            context.shell.options = m_common->Action_Options;
            context.shell.stayOnTop = m_common->Action_UiStayOnTop;
            context.shell.uiClose = m_common->Action_UiClose;
            context.shell.exit = m_common->Action_Exit;
            context.shell.help = m_common->helpMenu();
        }
        m_frame = new TqvTasksFrame(context, this);
        setCentralWidget(m_frame);
        m_sync->setFrame(m_frame);
        QCoreApplication::postEvent(m_frame, new FrameEvent(MsgReloadTasks));
        QCoreApplication::postEvent(m_frame, new FrameEvent(MsgMenuSortFocus));
        StartupChecks();
        return;
    }
    if (m_settings.startup().addOpenEn && m_frame)
        QCoreApplication::postEvent(m_frame, new FrameEvent(MsgAddTask));
}

void TmainFm::StartupChecks()
{
    setWindowTitle(ApplicationTitle);
    // The offer comes after the list has loaded (posted after it); the window stays open
    // for it on this start. The user's "Run program minimized" itself is left as it is,
    // so that the Options dialog still shows it.
    bool runMinimized = m_settings.startup().runMinimizedEn;
    if (m_settings.startup().visitWebEn && updateOfferDue()) {
        QCoreApplication::postEvent(this, new FrameEvent(MsgUpdateOffer));
        runMinimized = false;
    }
    // Straight to the tray after the first showing; without a notification area the
    // window is minimised to the taskbar instead.
    if (runMinimized)
        QvTrayIcon1->Minimize();
}

void TmainFm::bringForward(const QString &activationToken)
{
    QvTrayIcon1->Restore(activationToken);
}

}  // namespace quillpad
