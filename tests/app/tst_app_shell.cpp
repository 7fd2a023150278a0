// The main window's life in the tray, offscreen: hiding with the balloon, the tray's
// menu and click, stay on top, the Options, run minimised and Exit.

#include "ShellFixture.h"
#include "components/ui/QvTray.h"
#include "tasks/ui/Fr_qvTasks.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>

using namespace quillpad;

class TestAppShell : public QObject {
    Q_OBJECT

private slots:
    void trayMenuAndClick()
    {
        ShellFixture f;
        QVERIFY(f.created);
        QVERIFY(f.window->trayIcon()->shown());
        QVERIFY(f.window->trayIcon()->MinimizeToTray());
        QStringList entries;
        for (QAction *action : f.window->trayMenu()->actions())
            entries.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(entries, (QStringList{"&Open Ambrel Quillpad", "-", "&Add Task", "Paste to &Task", "-", "E&xit"}));
        QCOMPARE(f.host->menu, f.window->trayMenu());

        f.showAndSettle();
        f.common->Action_UiClose->trigger();  // Ctrl+F12: to the tray
        QCoreApplication::processEvents();
        QVERIFY(!f.window->isVisible());
        f.host->events.click(Qt::MiddleButton, {});
        QVERIFY(!f.window->isVisible());
        f.host->events.click(Qt::LeftButton, {});
        QVERIFY(f.window->isVisible());
        QVERIFY(!(f.window->windowState() & Qt::WindowMinimized));
    }

    void closeBoxHidesWithTheBalloonOnceAnHour()
    {
        ShellFixture f;
        f.showAndSettle();
        QVERIFY(!f.closeBox());
        QVERIFY(!f.window->isVisible());
        QVERIFY(f.window->tasksFrame());  // still running, list and all
        QCOMPARE(f.balloons(), 1);
        const auto &balloon = f.host->last();
        QCOMPARE(balloon.title, QStringLiteral("Ambrel Quillpad"));
        QCOMPARE(balloon.text, QStringLiteral("Click here to open!"));
        QCOMPARE(balloon.balloonKind, TQvBalloonHintIcon::bhiInfo);
        QCOMPARE(balloon.timeoutMs, 10000);
        QCOMPARE(f.setting(QStringLiteral("form"), QStringLiteral("Saved")), QStringLiteral("1"));

        // A click on the balloon opens the window.
        f.host->events.balloonClick();
        QVERIFY(f.window->isVisible());

        // Within the hour: hidden without a balloon; after it, the balloon again.
        f.clock.advanceMs(TmainFm::BalloonIntervalMs - 1000);
        f.closeBox();
        QCOMPARE(f.balloons(), 1);
        f.host->events.click(Qt::LeftButton, {});
        f.clock.advanceMs(1000);
        f.closeBox();
        QCOMPARE(f.balloons(), 2);
    }

    void addTaskFromTheTrayOpensTheEditor()
    {
        ShellFixture f;
        f.showAndSettle();
        f.closeBox();
        f.common->Action_AddTask->trigger();
        QCoreApplication::processEvents();
        QVERIFY(f.window->isVisible());
        QVERIFY(f.window->tasksFrame()->editNode());
    }

    void stayOnTopKeepsTheTrayBehaviour()
    {
        ShellFixture f;
        f.showAndSettle();
        f.common->Action_UiStayOnTop->trigger();
        QCoreApplication::processEvents();
        QVERIFY(f.window->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.balloons(), 0);  // the window made anew is no hiding
        QVERIFY(!f.closeBox());
        QVERIFY(!f.window->isVisible());
        f.host->events.click(Qt::LeftButton, {});
        f.common->Action_UiStayOnTop->trigger();
        QVERIFY(!(f.window->windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(f.window->isVisible());
    }

    void optionsStoreInOrderOrNothing()
    {
        ShellFixture f;
        f.desktop.autoStart = true;

        // Cancel: nothing changes.
        f.common->Action_Options->trigger();
        QCOMPARE(f.prompter.optionsAsked.size(), 1);
        QVERIFY(f.prompter.optionsAsked.first().autoStart);
        QVERIFY(f.setting(QStringLiteral("option"), QStringLiteral("runMinimizedEn")).isEmpty());
        QVERIFY(f.desktop.autoStartWrites.isEmpty());

        // OK: the copies, the two keys, then the autostart entry.
        f.prompter.optionsAnswers.enqueue({false, true, true, {}, {}});
        f.common->Action_Options->trigger();
        QVERIFY(f.window->settings().runMinimizedEn);
        QVERIFY(f.window->settings().addOpenEn);
        QCOMPARE(f.setting(QStringLiteral("option"), QStringLiteral("runMinimizedEn")), QStringLiteral("1"));
        QCOMPARE(f.setting(QStringLiteral("option"), QStringLiteral("addOpenEn")), QStringLiteral("1"));
        QCOMPARE(f.desktop.autoStartWrites, QList<bool>{false});
        QVERIFY(f.prompter.messages.isEmpty());

        // A settings file that refuses the write: reported, and autostart is left alone.
        f.window->appSettings().setPath(f.folder.file(QStringLiteral("missing/qvConf.ini")));
        f.prompter.optionsAnswers.enqueue({true, false, false, {}, {}});
        f.common->Action_Options->trigger();
        QCOMPARE(f.desktop.autoStartWrites, QList<bool>{false});
        QCOMPARE(f.prompter.messages.size(), 1);
        QVERIFY(f.prompter.messages.first().text.startsWith(QStringLiteral("Unable to write to ")));
    }

    void runMinimizedGoesToTheTray()
    {
        ShellFixture f(true, "[option]\nrunMinimizedEn=1\n");
        f.showAndSettle();
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.balloons(), 1);  // the first hiding
    }

    void withoutTrayTheWindowStaysReachable()
    {
        ShellFixture f(false, "[option]\nrunMinimizedEn=1\n");
        f.showAndSettle();
        QVERIFY(!f.window->trayIcon()->shown());
        QVERIFY(f.window->isVisible());  // minimised to the taskbar
        QVERIFY(f.window->windowState() & Qt::WindowMinimized);
        QVERIFY(f.prompter.messages.isEmpty());

        // The close box hides the window and the program keeps running for its
        // reminders; the note that says so comes the first time only.
        QSignalSpy notes(f.window.get(), &TmainFm::hiddenWithoutTray);
        f.window->showNormal();
        QVERIFY(!f.closeBox());
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.window->exiting());
        QVERIFY(f.window->tasksFrame());
        QCOMPARE(notes.size(), 1);
        QCOMPARE(notes.first().at(0).toString(), TmainFm::KeepsRunningTitle);
        QVERIFY(notes.first().at(1).toString().contains(QStringLiteral("Exit")));
        QCOMPARE(f.setting(QStringLiteral("option"), QStringLiteral("keepsRunningToldEn")), QStringLiteral("1"));
        QCOMPARE(f.balloons(), 0);  // no icon to point at

        // Starting the program again shows it; the next close box says nothing more.
        f.window->bringForward();
        QVERIFY(f.window->isVisible());
        QVERIFY(!f.closeBox());
        QCOMPARE(notes.size(), 1);
    }

    void exitEndsEverything()
    {
        ShellFixture f;
        f.showAndSettle();
        f.common->Action_Exit->trigger();
        QVERIFY(f.window->exiting());
        QVERIFY(!f.window->tasksFrame());
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.window->trayIcon()->shown());
        QCOMPARE(f.host->last().kind, QStringLiteral("remove"));
        QCOMPARE(f.balloons(), 0);  // an exiting window shows no balloon
        QCOMPARE(f.setting(QStringLiteral("form"), QStringLiteral("Saved")), QStringLiteral("1"));
    }

    void aBadVisitTimeDoesNotStopTheProgram()
    {
        ShellFixture f(true, "[option]\nvisitWeb=not a time\nrunMinimizedEn=1\n");
        QVERIFY(f.created);
        QVERIFY(f.prompter.messages.isEmpty());
        QCOMPARE(f.window->settings().visitWeb, ZeroDateTime);
        QVERIFY(!f.window->settings().runMinimizedEn);
    }
};

QTEST_MAIN(TestAppShell)
#include "tst_app_shell.moc"
