// The main window's life in the tray: hiding with its balloon, the tray icon's menu and
// click, the shell's actions, "stay on top", the Options and exit.

#include "app/Fm_Main.h"

#include "app/Dm_Common.h"
#include "app/ShellDialogs.h"
#include "app/SyncControl.h"
#include "app/SyncService.h"
#include "app/settings/IniFile.h"
#include "components/DesktopServices.h"
#include "components/SingleInstance.h"
#include "components/ui/QvFormState.h"
#include "components/ui/QvTray.h"
#include "store/AppError.h"
#include "store/Clock.h"
#include "store/GuardedConnect.h"
#include "tasks/ui/FrameMessages.h"
#include "tasks/ui/Fr_qvTasks.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QHideEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QScopeGuard>

namespace quillpad {

void TmainFm::setCommon(TcommonDm *common)
{
    m_common = common;
    using F = TmainFm;
    ConnectGuarded(common->Action_UiOpen, &QAction::triggered, this, &F::Action_UiOpenExecute);
    ConnectGuarded(common->Action_UiClose, &QAction::triggered, this, &F::Action_UiCloseExecute);
    ConnectGuarded(common->Action_UiStayOnTop, &QAction::triggered, this, &F::Action_UiStayOnTopExecute);
    ConnectGuarded(common->Action_AddTask, &QAction::triggered, this, &F::Action_AddTaskExecute);
    ConnectGuarded(common->Action_PasteTask, &QAction::triggered, this, &F::Action_PasteTaskExecute);
    ConnectGuarded(common->Action_Options, &QAction::triggered, this, &F::Action_OptionsExecute);
    ConnectGuarded(common->Action_Exit, &QAction::triggered, this, &F::Action_ExitExecute);
    connectHelp(common);

    delete PopupMenu_Tray;
    PopupMenu_Tray = new QMenu(this);
    PopupMenu_Tray->setObjectName(QStringLiteral("PopupMenu_Tray"));
    PopupMenu_Tray->addAction(common->Action_UiOpen);
    PopupMenu_Tray->addSeparator();
    PopupMenu_Tray->addAction(common->Action_AddTask);
    PopupMenu_Tray->addAction(common->Action_PasteTask);
    PopupMenu_Tray->addSeparator();
    PopupMenu_Tray->addAction(common->Action_Exit);
    QvTrayIcon1->setPopupMenu(PopupMenu_Tray);
}

void TmainFm::QvTrayIcon1Click(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        Action_UiOpenExecute();
}

// --- hiding ------------------------------------------------------------------------------

const QString TmainFm::KeepsRunningTitle = QStringLiteral("Ambrel Quillpad keeps running");
const QString TmainFm::KeepsRunningText =
    QStringLiteral("Your reminders still ring while its window is closed. Start Ambrel Quillpad again from the "
                   "applications menu to open it; File \u203a Exit ends it.");

void TmainFm::QvTrayIcon1HideWithoutTray()
{
    if (m_settings.keepsRunningTold())
        return;
    // Recorded first: the note may wait for the user.
    m_settings.recordKeepsRunningTold();
    emit hiddenWithoutTray(KeepsRunningTitle, KeepsRunningText);
}

void TmainFm::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    // Minimising sends a hide of its own on some desktops; only a window gone from the
    // screen (to the tray) counts.
    if (!event->spontaneous() && !QvTrayIcon1->remapping())
        RunGuarded([this] { FormHide(); });
}

bool TmainFm::balloonTimerRunning() const
{
    return m_balloonShown.isValid() && m_balloonShown.msecsTo(Clock::now()) < BalloonIntervalMs;
}

void TmainFm::FormHide()
{
    if (m_exiting || m_restyling)
        return;
    QvFormState1->SaveState();
    // The balloon points at the icon; without one the window was hidden by the close box
    // alone, and hiddenWithoutTray tells the rest.
    if (QvTrayIcon1->shown() && !balloonTimerRunning()) {
        QvTrayIcon1->ShowBalloonHint(ApplicationTitle, QStringLiteral("Click here to open!"),
                                     TQvBalloonHintIcon::bhiInfo, 10);
        m_balloonShown = Clock::now();
    }
}

// --- the shell's actions -----------------------------------------------------------------

void TmainFm::Action_UiOpenExecute()
{
    QvTrayIcon1->Restore();
}

void TmainFm::Action_UiCloseExecute()
{
    QvTrayIcon1->Minimize();
}

void TmainFm::Action_AddTaskExecute()
{
    QvTrayIcon1->Restore();
    if (m_frame)
        QCoreApplication::postEvent(m_frame, new FrameEvent(MsgAddTask));
}

void TmainFm::Action_PasteTaskExecute()
{
    if (m_frame)
        m_frame->PasteText(QGuiApplication::clipboard()->text());
}

void TmainFm::Action_UiStayOnTopExecute()
{
    // Changing the flag makes the native window anew: keep its place around it, and do
    // not take the hide and show that come with it for the user's.
    QvFormState1->SaveState();
    m_restyling = true;
    const auto restyled = qScopeGuard([this] { m_restyling = false; });
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, m_common && m_common->Action_UiStayOnTop->isChecked());
    if (visible)
        show();
    QvFormState1->RestoreState();
}

void TmainFm::Action_OptionsExecute()
{
    OptionsChoice choice;
    choice.autoStart = DesktopServices::instance().isAutoStart();
    choice.runMinimized = m_settings.startup().runMinimizedEn;
    choice.addOpen = m_settings.startup().addOpenEn;
    choice.sync = ReadSyncSettings(IniFile(m_settings.path()));
    const SyncSettings before = choice.sync;
    if (!ShellDialogs::instance().askOptions(choice))
        return;
    ForgetCollectionOfOldServer(choice.sync, before, choice.sync.collection != before.collection);
    // A refused settings write raises here, and the steps after it are skipped.
    m_settings.storeOptions(choice.runMinimized, choice.addOpen);
    IniFile ini(m_settings.path());
    WriteSyncSettings(ini, choice.sync);
    m_sync->readSettings();
    if (!choice.syncPassword.isEmpty()) {
        // Into the desktop's keyring, never the settings file.
        SyncService::instance().storePassword(choice.sync, choice.syncPassword, [](const QString &error) {
            if (!error.isEmpty())
                ReportError(QStringLiteral("The sync password was not stored: ") + error);
        });
    }
    DesktopServices::instance().setAutoStart(choice.autoStart);
}

void TmainFm::Action_ExitExecute()
{
    m_exiting = true;
    QvFormState1->SaveState();
    endProgram();
}

// --- ending ------------------------------------------------------------------------------

void TmainFm::closeEvent(QCloseEvent *event)
{
    // A close that reaches the window (the tray component hides it away when it can)
    // ends the program: everything is already stored.
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    RunGuarded([this] {
        if (!m_exiting) {
            m_exiting = true;
            endProgram();
        }
    });
    QCoreApplication::quit();
}

void TmainFm::endProgram()
{
    // The list goes first: an edit in progress keeps its text, the reminder check stops.
    delete m_frame;
    m_frame = nullptr;
    if (m_instance)
        m_instance->release();
    QvTrayIcon1->setActive(false);
    if (isVisible())
        close();
    QCoreApplication::quit();
}

}  // namespace quillpad
