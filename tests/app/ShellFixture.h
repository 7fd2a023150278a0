#pragma once
// The main window as the program sets it up, offscreen, with a recording tray host and
// desktop, a scripted Prompter, a manual clock and a fresh data folder.

#include "app/Dm_Common.h"
#include "app/Fm_Main.h"
#include "app/settings/IniFile.h"
#include "store/Clock.h"
#include "support/RecordingDesktopServices.h"
#include "support/RecordingTrayHost.h"
#include "support/ScriptedPrompter.h"
#include "support/TestDataFolder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QtTest/qtestspontaneevent.h>

namespace quillpad {

struct ShellFixture {
    explicit ShellFixture(bool trayExists = true, const QByteArray &settings = {})
    {
        Clock::install(&clock);
        desktop.notificationArea = trayExists;
        if (!settings.isEmpty()) {
            QFile file(folder.file(QStringLiteral("qvConf.ini")));
            if (file.open(QIODevice::WriteOnly))
                file.write(settings);
        }
        auto recording = std::make_unique<RecordingTrayHost>();
        *recording->trayExists = trayExists;
        host = recording.get();
        window = std::make_unique<TmainFm>(nullptr, std::move(recording));
        created = window->FormCreate();
        common = new TcommonDm(window.get());
        window->setCommon(common);
    }
    ~ShellFixture()
    {
        window.reset();
        Clock::install(nullptr);
    }

    void showAndSettle()
    {
        window->show();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    // The close box: a close that comes from the window system. True when it closed.
    bool closeBox()
    {
        QCloseEvent event;
        QSpontaneKeyEvent::setSpontaneous(&event);
        qApp->notify(window.get(), &event);  // sendEvent would clear the spontaneous mark
        QCoreApplication::processEvents();
        return event.isAccepted();
    }

    int balloons() const
    {
        int count = 0;
        for (const auto &call : host->calls)
            count += call.kind == QLatin1String("balloon") ? 1 : 0;
        return count;
    }

    QString setting(const QString &section, const QString &key) const
    {
        return IniFile(folder.file(QStringLiteral("qvConf.ini"))).readString(section, key);
    }

    TestDataFolder folder;
    ScriptedPrompter prompter;
    RecordingDesktopServices desktop;
    ManualClock clock{QDateTime(QDate(2026, 12, 10), QTime(9, 0))};
    RecordingTrayHost *host = nullptr;
    std::unique_ptr<TmainFm> window;
    TcommonDm *common = nullptr;
    bool created = false;
};

}  // namespace quillpad
