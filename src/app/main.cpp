// The program's entry. For now it opens the task database and the settings and shows
// the main window's frame; the task list arrives with the window itself.

#include "AppError.h"
#include "Connection.h"
#include "LoadSettings.h"
#include "Paths.h"
#include "SingleInstance.h"
#include "WidgetPrompter.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ambrel-quillpad"));
    QApplication::setApplicationDisplayName(ApplicationTitle);

    // A second start brings the running copy forward and ends before touching any file.
    if (SingleInstance::SendToRunning(SingleInstance::Message::Activate))
        return 0;
    SingleInstance instance;
    switch (instance.listen()) {
    case SingleInstance::ListenResult::Listening:
        break;
    case SingleInstance::ListenResult::OtherCopyRunning:
        SingleInstance::SendToRunning(SingleInstance::Message::Activate);
        return 0;
    case SingleInstance::ListenResult::Failed:
        qWarning("No single-instance channel: %s", qUtf8Printable(instance.errorString()));
        break;
    }

    WidgetPrompter prompter;
    Prompter::install(&prompter);

    Connection connection;
    StartupSettings settings;
    if (!RunGuarded([&] {
            connection.open(Paths::DatabasePath());
            settings.settingsPath = Paths::SettingsPath();
            LoadSettings(settings);
        }))
        return 1;

    QMainWindow window;
    window.setWindowTitle(ApplicationTitle);
    window.setCentralWidget(new QLabel(QStringLiteral("Ambrel Quillpad"), &window));
    window.resize(420, 560);
    window.show();
    QObject::connect(&instance, &SingleInstance::activateRequested, &window, [&window] {
        window.show();
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.raise();
        window.activateWindow();
    });
    const int result = QApplication::exec();
    Prompter::install(nullptr);
    return result;
}
