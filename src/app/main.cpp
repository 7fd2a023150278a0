// The program's entry. For now it opens the task database and the settings and shows
// the main window's frame; the task list arrives with the window itself.

#include "AppError.h"
#include "Connection.h"
#include "LoadSettings.h"
#include "Paths.h"
#include "WidgetPrompter.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ambrel-quillpad"));
    QApplication::setApplicationDisplayName(ApplicationTitle);
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
    const int result = QApplication::exec();
    Prompter::install(nullptr);
    return result;
}
