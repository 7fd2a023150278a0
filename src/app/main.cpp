// The program's entry: one running copy per user, then the main window and its loop.

#include "store/AppError.h"
#include "store/GuardedConnect.h"
#include "app/Dm_Common.h"
#include "app/Fm_Main.h"
#include "app/QuitOnSignal.h"
#include "tasks/ui/Fr_qvTasks.h"
#include "components/SingleInstance.h"
#include "components/ui/FreedesktopServices.h"
#include "app/WidgetPrompter.h"

#include "components/ui/IconLists.h"
#include "store/Paths.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

using namespace quillpad;

namespace {

// The quill: the installed theme's icon, else the picture beside a build or portable
// copy, else our own drawing of it.
QIcon ProgramIcon()
{
    QIcon icon = QIcon::fromTheme(QStringLiteral("ambrel-quillpad"));
    if (icon.isNull()) {
        const QString beside = Paths::ProgramFolder() + QStringLiteral("icons/ambrel-quillpad.png");
        if (QFileInfo::exists(beside))
            icon = QIcon(beside);
    }
    return icon.isNull() ? IconList::large().icon(IconRole::Application) : icon;
}

}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The window hides to the tray and dialogs (a ringing reminder) come and go while it
    // is hidden: only Exit, or a close that is not hidden away, ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt gives the name to the tray icon's StatusNotifierItem as its title and id, and on
    // X11 to the windows' class, which the desktop entry names as StartupWMClass. Nothing
    // else takes it: the data folder has its own name.
    QApplication::setApplicationName(QStringLiteral("Ambrel Quillpad"));
    // Wayland desktops find the window's icon and name through the installed entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("ambrel-quillpad"));
    // No display name: Qt would append it to every dialog's caption ("Ask — ...").
    QApplication::setWindowIcon(ProgramIcon());

    // A second start brings the running copy forward and ends before touching any file.
    // The launcher's activation token goes along: on Wayland only a window activated with
    // it may come to the front.
    const QString activationToken = SingleInstance::LauncherActivationToken();
    const auto activateRunning = [&activationToken] {
        return SingleInstance::SendToRunning(SingleInstance::Message::Activate, SingleInstance::DefaultServerName(),
                                             SingleInstance::DefaultTimeoutMs, activationToken);
    };
    if (activateRunning())
        return 0;
    SingleInstance instance;
    switch (instance.listen()) {
    case SingleInstance::ListenResult::Listening:
        break;
    case SingleInstance::ListenResult::OtherCopyRunning:
        activateRunning();
        return 0;
    case SingleInstance::ListenResult::Failed:
        qWarning("No single-instance channel: %s", qUtf8Printable(instance.errorString()));
        break;
    }

    WidgetPrompter prompter;
    Prompter::install(&prompter);
    FreedesktopServices desktop;
    DesktopServices::install(&desktop);
    TaskDialogs::install(&prompter);
    ShellDialogs::install(&prompter);

    int result = 1;
    {
        TmainFm window;
        // A failed creation step has been reported; without its pictures or its
        // database the list can do nothing, so the program ends here.
        if (window.FormCreate()) {
            TcommonDm common(&window);
            window.setCommon(&common);
            window.setSingleInstance(&instance);
            QuitOnSignal(window);
            ConnectGuarded(&instance, &SingleInstance::activateRequested, &window, &TmainFm::bringForward);
            // The note goes to the desktop's notifications once their client is in; until
            // then it is only written out.
            ConnectGuarded(&window, &TmainFm::hiddenWithoutTray, &window, [](const QString &title, const QString &text) {
                qInfo("%s: %s", qUtf8Printable(title), qUtf8Printable(text));
            });
            ConnectGuarded(&instance, &SingleInstance::reloadRequested, &window, [&window] {
                if (TqvTasksFrame *frame = window.tasksFrame())
                    frame->requestReload();
            });
            window.show();
            result = QApplication::exec();
        }
    }
    ShellDialogs::install(nullptr);
    DesktopServices::install(nullptr);
    TaskDialogs::install(nullptr);
    Prompter::install(nullptr);
    return result;
}
