// The tray icon component against a recording notification area: what reaches the
// platform, the animation frames, and the owner window's close and minimise.

#include "components/ui/QvTray.h"
#include "support/RecordingTrayHost.h"
#include "support/ScriptedPrompter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QtTest/qtestspontaneevent.h>
#include <QMenu>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

using namespace quillpad;

namespace {

QIcon Swatch(Qt::GlobalColor color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

struct TrayFixture {
    explicit TrayFixture(bool trayExists = true)
    {
        auto recording = std::make_unique<RecordingTrayHost>();
        *recording->trayExists = trayExists;
        host = recording.get();
        window.setObjectName(QStringLiteral("owner"));
        tray = std::make_unique<TQvTrayIcon>(&window, std::move(recording));
    }

    // The close box: the close comes through the native window, as from the window
    // manager. True when the window closed.
    bool closeBox()
    {
        QCloseEvent event;
        QSpontaneKeyEvent::setSpontaneous(&event);
        qApp->notify(&window, &event);  // sendEvent would clear the spontaneous mark
        if (event.isAccepted())
            window.hide();
        return event.isAccepted();
    }

    ScriptedPrompter prompter;
    QWidget window;
    RecordingTrayHost *host = nullptr;
    std::unique_ptr<TQvTrayIcon> tray;
};

}  // namespace

class TestTrayIcon : public QObject {
    Q_OBJECT

private slots:
    void defaultsAndFirstAdd()
    {
        TrayFixture f;
        QVERIFY(f.tray->Active());
        QVERIFY(f.tray->CloseToTray());
        QVERIFY(f.tray->ShowHint());
        QVERIFY(!f.tray->MinimizeToTray());
        QCOMPARE(f.tray->Interval(), 250);
        QVERIFY(f.tray->shown());
        QCOMPARE(f.host->calls.size(), 1);
        QCOMPARE(f.host->last().kind, QStringLiteral("add"));
        QCOMPARE(f.host->menu, f.tray->ownMenu());
        QStringList entries;
        for (QAction *action : f.tray->ownMenu()->actions())
            entries.append(action->text());
        QCOMPARE(entries, (QStringList{QStringLiteral("&Close"), QStringLiteral("&Restore")}));
    }

    void hintIsCutForThePlatformOnly()
    {
        TrayFixture f;
        const QString hint = QString(200, QLatin1Char('h'));
        f.tray->setHint(hint);
        QCOMPARE(f.tray->Hint(), hint);
        QCOMPARE(f.host->last().kind, QStringLiteral("modify"));
        QCOMPARE(f.host->last().data.tip, hint.left(127));

        // The same hint again reaches nothing; ShowHint off sends a tip-less update.
        const int calls = f.host->calls.size();
        f.tray->setHint(hint);
        QCOMPARE(f.host->calls.size(), calls);
        f.tray->setShowHint(false);
        QVERIFY(!f.host->last().data.showTip);
    }

    void balloonCutsAndTimeout()
    {
        TrayFixture f;
        f.tray->ShowBalloonHint(QString(100, QLatin1Char('t')), QString(300, QLatin1Char('x')),
                                TQvBalloonHintIcon::bhiWarning, 10);
        const auto &call = f.host->last();
        QCOMPARE(call.kind, QStringLiteral("balloon"));
        QCOMPARE(call.title.size(), 63);
        QCOMPARE(call.text.size(), 255);
        QCOMPARE(call.timeoutMs, 10000);
        QCOMPARE(call.balloonKind, TQvBalloonHintIcon::bhiWarning);
        QVERIFY(f.prompter.messages.isEmpty());
    }

    void pictureFallsBackToTheApplicationIcon()
    {
        const QIcon application = Swatch(Qt::green);
        QApplication::setWindowIcon(application);
        TrayFixture f;
        QVERIFY(f.tray->currentIcon().isNull());
        QCOMPARE(f.host->last().data.icon.cacheKey(), application.cacheKey());
        QApplication::setWindowIcon(QIcon());
        TrayFixture bare;
        QVERIFY(!bare.host->last().data.icon.isNull());  // the style's standard icon
    }

    void animationCyclesAndResumes()
    {
        TrayFixture f;
        const QList<QIcon> frames{Swatch(Qt::red), Swatch(Qt::green), Swatch(Qt::blue)};
        f.tray->setImages(frames);
        f.tray->setInterval(0);
        f.tray->setAnimate(true);
        QCOMPARE(f.tray->Interval(), 200);
        QVERIFY(f.tray->animationTimer()->isActive());
        QCOMPARE(f.tray->animationTimer()->interval(), 200);

        QList<qint64> shown;
        for (int tick = 0; tick < 4; ++tick) {
            f.tray->AnimateTick();
            shown.append(f.host->last().data.icon.cacheKey());
        }
        QCOMPARE(shown, (QList<qint64>{frames[0].cacheKey(), frames[1].cacheKey(), frames[2].cacheKey(),
                                       frames[0].cacheKey()}));

        // Off and on again: the animation comes back and goes on from where it was.
        f.tray->setActive(false);
        QVERIFY(!f.tray->shown());
        QVERIFY(!f.tray->animationTimer()->isActive());
        QCOMPARE(f.host->last().kind, QStringLiteral("remove"));
        f.tray->setActive(true);
        QVERIFY(f.tray->Animate());
        QVERIFY(f.tray->animationTimer()->isActive());
        f.tray->AnimateTick();
        QCOMPARE(f.host->last().data.icon.cacheKey(), frames[1].cacheKey());

        // Stopping shows the list's picture at ImageIndex again.
        f.tray->setAnimate(false);
        QVERIFY(!f.tray->animationTimer()->isActive());
        QCOMPARE(f.host->last().data.icon.cacheKey(), frames[0].cacheKey());
    }

    void errorsAreBoxesWithTheComponentsCaption()
    {
        TrayFixture f;
        f.tray->setImageIndex(1);  // shown, but no image list
        *f.host->modifySucceeds = false;
        f.tray->setHint(QStringLiteral("new"));
        QCOMPARE(f.tray->Hint(), QStringLiteral("new"));
        f.tray->setShowHint(false);
        f.tray->setIcon(Swatch(Qt::red));
        QCOMPARE(f.prompter.lines(), (QStringList{
                                         QStringLiteral("Ambrel TrayIcon Error: SetImageIndex: No image list assigned"),
                                         QStringLiteral("Ambrel TrayIcon Error: SetHint Error"),
                                         QStringLiteral("Ambrel TrayIcon Error: SetShowHint Error"),
                                         QStringLiteral("Ambrel TrayIcon Error: ResetIcon Error"),
                                     }));
        QCOMPARE(f.prompter.messages.first().icon, PromptIcon::Error);

        ScriptedPrompter prompter;
        auto host = std::make_unique<RecordingTrayHost>();
        *host->addSucceeds = false;
        QWidget window;
        TQvTrayIcon refused(&window, std::move(host));
        QVERIFY(!refused.shown());
        QCOMPARE(prompter.lines(), QStringList{QStringLiteral("Ambrel TrayIcon Error: AddToTray can not add icon to the tray")});
    }

    void clicksAndRestore()
    {
        TrayFixture f;
        QStringList events;
        f.tray->OnClick = [&](TQvTrayIcon *, Qt::MouseButton button, Qt::KeyboardModifiers) {
            events.append(QStringLiteral("click %1").arg(int(button)));
        };
        f.tray->OnRestore = [&](TQvTrayIcon *) { events.append(QStringLiteral("restore")); };
        bool restoreApp = true;
        f.tray->OnDblClick = [&](TQvTrayIcon *, Qt::MouseButton, Qt::KeyboardModifiers, bool &restore) {
            events.append(QStringLiteral("double"));
            restore = restoreApp;
        };

        // A double click is a click, then the double click, which restores.
        f.host->events.click(Qt::LeftButton, {});
        f.host->events.doubleClick(Qt::LeftButton, {});
        QCOMPARE(events, (QStringList{QStringLiteral("click 1"), QStringLiteral("double"), QStringLiteral("restore")}));
        QVERIFY(f.window.isVisible());

        // The handler may keep the window where it is.
        events.clear();
        f.window.hide();
        restoreApp = false;
        f.host->events.doubleClick(Qt::LeftButton, {});
        QCOMPARE(events, QStringList{QStringLiteral("double")});
        QVERIFY(!f.window.isVisible());

        // Restoring a minimised window brings it back in its normal state; HideOnRestore
        // takes the icon away.
        f.window.showMinimized();
        f.tray->setHideOnRestore(true);
        f.tray->Restore();
        QVERIFY(f.window.isVisible());
        QVERIFY(!(f.window.windowState() & Qt::WindowMinimized));
        QVERIFY(!f.tray->shown());
    }

    void balloonClickReachesItsEvent()
    {
        TrayFixture f;
        int clicks = 0;
        f.tray->OnBalloonHintClick = [&](TQvTrayIcon *) { ++clicks; };
        f.host->events.balloonClick();
        QCOMPARE(clicks, 1);
    }

    void closeAndMinimiseInterception_data()
    {
        QTest::addColumn<bool>("minimizeToTray");
        QTest::addColumn<bool>("closeToTray");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("minimiseHides");
        QTest::addColumn<bool>("closeHides");
        QTest::newRow("program's setting") << true << true << true << true << true;
        QTest::newRow("close only") << false << true << true << false << true;
        QTest::newRow("inactive icon") << true << true << false << false << false;
        QTest::newRow("neither") << false << false << true << false << false;
    }

    void closeAndMinimiseInterception()
    {
        QFETCH(bool, minimizeToTray);
        QFETCH(bool, closeToTray);
        QFETCH(bool, active);
        QFETCH(bool, minimiseHides);
        QFETCH(bool, closeHides);
        TrayFixture f;
        f.tray->setMinimizeToTray(minimizeToTray);
        f.tray->setCloseToTray(closeToTray);
        f.tray->setActive(active);
        int minimised = 0;
        f.tray->OnMinimize = [&](TQvTrayIcon *) { ++minimised; };

        f.window.show();
        f.window.showMinimized();
        QCOMPARE(minimised, 1);  // raised whatever becomes of the window
        QCoreApplication::processEvents();
        QCOMPARE(!f.window.isVisible(), minimiseHides);

        f.tray->Restore();
        QVERIFY(f.window.isVisible());
        const bool accepted = f.closeBox();
        QCOMPARE(!accepted, closeHides);
        if (closeHides)
            QVERIFY(!f.window.isVisible());
        if (active)
            QVERIFY(f.tray->shown());
    }

    void programsOwnCloseIsNotIntercepted()
    {
        TrayFixture f;
        f.window.show();
        QVERIFY(f.window.close());
        QVERIFY(!f.window.isVisible());
    }

    void interceptionSurvivesStayOnTop()
    {
        TrayFixture f;
        f.tray->setMinimizeToTray(true);
        f.window.show();
        f.window.setWindowFlag(Qt::WindowStaysOnTopHint, true);  // makes the native window anew
        f.window.show();
        QVERIFY(!f.closeBox());
        QVERIFY(!f.window.isVisible());
        f.tray->Restore();
        f.window.setWindowFlag(Qt::WindowStaysOnTopHint, false);
        f.window.show();
        f.window.showMinimized();
        QCoreApplication::processEvents();
        QVERIFY(!f.window.isVisible());
    }

    void withoutNotificationAreaTheWindowStaysReachable()
    {
        TrayFixture f(false);
        f.tray->setMinimizeToTray(true);
        QVERIFY(!f.tray->shown());
        QVERIFY(f.host->calls.isEmpty());
        QVERIFY(f.prompter.messages.isEmpty());  // no tray is no error
        QVERIFY(f.tray->trayRetryTimer().isActive());

        f.window.show();
        f.window.showMinimized();
        QCoreApplication::processEvents();
        QVERIFY(f.window.isVisible());  // minimised normally, on the taskbar
        f.window.showNormal();
        QVERIFY(f.closeBox());  // the close box closes

        // The panel comes up later: the icon goes in and the tray behaviour starts.
        *f.host->trayExists = true;
        f.tray->trayRetryTimer().setInterval(0);  // the next look comes on the event loop
        QTRY_VERIFY(f.tray->shown());
        QVERIFY(!f.tray->trayRetryTimer().isActive());
        f.window.show();
        QVERIFY(!f.closeBox());
        QVERIFY(!f.window.isVisible());
    }

    // The notification area comes and goes under a running program, told by the host.
    void trayFollowedLive_data()
    {
        QTest::addColumn<bool>("hideWithoutTray");
        QTest::newRow("close box ends without a tray") << false;
        QTest::newRow("close box hides without a tray") << true;
    }

    void trayFollowedLive()
    {
        QFETCH(bool, hideWithoutTray);
        TrayFixture f;
        f.host->tells = true;
        f.tray->setMinimizeToTray(true);
        f.tray->setHideWithoutTray(hideWithoutTray);
        int hiddenWithoutTray = 0;
        f.tray->OnHideWithoutTray = [&](TQvTrayIcon *) { ++hiddenWithoutTray; };
        f.window.show();
        QVERIFY(!f.closeBox());
        QVERIFY(f.tray->ownerInTray());

        // The panel goes while the window is in it: the window comes back at once.
        f.host->setTrayExists(false);
        QVERIFY(!f.tray->shown());
        QCOMPARE(f.host->last().kind, QStringLiteral("remove"));
        QVERIFY(f.window.isVisible());
        QVERIFY(!f.tray->ownerInTray());
        QVERIFY(!f.tray->trayRetryTimer().isActive());  // told, not polled

        // Minimise and close no longer hide into the tray that is gone.
        f.tray->Minimize();
        QCoreApplication::processEvents();
        QVERIFY(f.window.isVisible());
        QVERIFY(f.window.isMinimized());
        f.tray->Restore();
        QCOMPARE(!f.closeBox(), hideWithoutTray);
        QVERIFY(!f.window.isVisible());
        QCOMPARE(hiddenWithoutTray, hideWithoutTray ? 1 : 0);
        QVERIFY(!f.tray->ownerInTray());

        // The panel comes back: the icon goes in again, and the close box hides there.
        f.host->setTrayExists(true);
        QVERIFY(f.tray->shown());
        QCOMPARE(f.host->last().kind, QStringLiteral("add"));
        f.tray->Restore();
        QVERIFY(!f.closeBox());
        QVERIFY(f.tray->ownerInTray());
        QCOMPARE(hiddenWithoutTray, hideWithoutTray ? 1 : 0);
    }

    // Minimising into the tray hides the window without iconifying it first: the window
    // manager's late answer to an iconify would minimise it again after a quick restore.
    void minimiseGoesStraightToTheTray()
    {
        TrayFixture f;
        f.tray->setMinimizeToTray(true);
        int minimised = 0;
        f.tray->OnMinimize = [&](TQvTrayIcon *) { ++minimised; };
        f.window.show();
        f.tray->Minimize();
        QCOMPARE(minimised, 1);
        QVERIFY(!(f.window.windowState() & Qt::WindowMinimized));
        QTRY_VERIFY(!f.window.isVisible());
        QVERIFY(f.tray->ownerInTray());

        // A restore before the event loop ran wins over the minimise.
        f.tray->Restore();
        f.tray->Minimize();
        f.tray->Restore();
        QCoreApplication::processEvents();
        QVERIFY(f.window.isVisible());
        QVERIFY(!f.tray->ownerInTray());
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
