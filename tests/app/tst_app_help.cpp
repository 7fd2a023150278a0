// Help, the maker's web and mail links, the About box and the update offer, offscreen.

#include "ShellFixture.h"
#include "app/Dlg_About.h"
#include "app/Dlg_Options.h"
#include "app/Dlg_Update.h"
#include "app/HelpTopics.h"
#include "components/MakerAddresses.h"
#include "components/QvVersionInfo.h"
#include "store/Paths.h"
#include "store/TaskStore.h"
#include "store/pU_Funcs.h"
#include "tasks/ui/Fr_qvTasks.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace quillpad;

namespace {

QByteArray VisitedDaysAgo(const QDateTime &now, qint64 ms)
{
    return "[option]\nvisitWeb=" + IsoTime(DateTimeFromQt(now.addMSecs(-ms))).toUtf8() + "\n";
}

QUrl ManualPage(const QString &page)
{
    const QString folder = Paths::ProgramFolder() + HelpTopics::StartPage.section(QLatin1Char('/'), 0, -2);
    const QString file = page.section(QLatin1Char('#'), 0, 0);
    QUrl url = QUrl::fromLocalFile(QFileInfo(folder + QLatin1Char('/') + file).absoluteFilePath());
    if (page.contains(QLatin1Char('#')))
        url.setFragment(page.section(QLatin1Char('#'), 1));
    return url;
}

}  // namespace

class TestAppHelp : public QObject {
    Q_OBJECT

private slots:
    void webAddressCarriesTheTaskCount()
    {
        ShellFixture f;
        TaskStore store(f.window->connection());
        for (int n = 0; n < 57; ++n) {
            TTaskInfo task;
            task.pid = RootPid;
            task.content = QStringLiteral("task %1").arg(n);
            store.insertNew(task);
        }
        f.showAndSettle();
        f.common->Action_Website->trigger();
        QCOMPARE(f.desktop.openedUrls.size(), 1);
        const QString address = f.desktop.openedUrls.first().toString();
        QCOMPARE(address, MakerAddresses::WebSite() + "/index.htm?id=t-p-" + MakerAddresses::UsageCode + "&t=57-0");
        QVERIFY(address.endsWith(QStringLiteral("&t=57-0")));
    }

    void visitAndCheckForUpdateOpenTheSamePageAndRecordTheVisit()
    {
        ShellFixture f;
        const TDateTime started = f.window->settings().visitWeb;
        f.clock.advanceMs(MsPerDay);
        f.common->Action_Website->trigger();
        QCOMPARE(f.setting("option", "visitWeb"), IsoTime(f.clock.nowDateTime()));
        f.clock.advanceMs(MsPerDay);
        f.common->Action_Update->trigger();
        QCOMPARE(f.setting("option", "visitWeb"), IsoTime(f.clock.nowDateTime()));
        QCOMPARE(f.desktop.openedUrls.size(), 2);
        QCOMPARE(f.desktop.openedUrls[0], f.desktop.openedUrls[1]);
        QCOMPARE(f.window->settings().visitWeb, started);  // the file only

        f.common->Action_Resources->trigger();
        QVERIFY(f.desktop.openedUrls.last().toString().startsWith(MakerAddresses::WebSite() + "/resources.htm?id=t-p-"));
        QVERIFY(f.prompter.messages.isEmpty());
    }

    void supportAndSuggestionWriteToSupport()
    {
        ShellFixture f;
        const QString visited = f.setting("option", "visitWeb");
        f.clock.advanceMs(MsPerDay);
        f.common->Action_Contact->trigger();
        f.common->Action_Suggestion->trigger();
        const QUrl mail(QStringLiteral("mailto:") + MakerAddresses::SupportMail());
        QCOMPARE(f.desktop.openedUrls, (QList<QUrl>{mail, mail}));
        QCOMPARE(f.setting("option", "visitWeb"), visited);  // no web page was opened
    }

    void aRefusedVisitWriteIsReportedAfterThePageOpened()
    {
        ShellFixture f;
        f.window->appSettings().setPath(f.folder.file(QStringLiteral("missing/qvConf.ini")));
        f.common->Action_Update->trigger();
        QCOMPARE(f.desktop.openedUrls.size(), 1);
        QCOMPARE(f.prompter.messages.size(), 1);
        QVERIFY(f.prompter.messages.first().text.startsWith(QStringLiteral("Unable to write to ")));
    }

    void theOfferComesAfterMoreThan90Days_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("offers");
        const QDateTime now(QDate(2026, 12, 10), QTime(9, 0));  // the fixture's clock
        QTest::newRow("first start") << QByteArray() << 0;
        QTest::newRow("exactly 90 days") << VisitedDaysAgo(now, 90 * MsPerDay) << 0;
        QTest::newRow("a second short of 91 days") << VisitedDaysAgo(now, 91 * MsPerDay - 1000) << 0;
        QTest::newRow("91 days") << VisitedDaysAgo(now, 91 * MsPerDay) << 1;
        QTest::newRow("91 days ahead") << VisitedDaysAgo(now, -91 * MsPerDay) << 1;
        QTest::newRow("91 days, asked not to") << VisitedDaysAgo(now, 91 * MsPerDay) + "visitWebEn=0\n" << 0;
        QTest::newRow("no date-time") << QByteArray("[option]\nvisitWeb=never\n") << 1;
    }

    void theOfferComesAfterMoreThan90Days()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, offers);
        ShellFixture f(true, settings);
        f.showAndSettle();
        QCOMPARE(f.prompter.updateOffers, offers);
        QVERIFY(f.prompter.messages.isEmpty());
    }

    void theOfferKeepsTheWindowOpenOnThisStartOnly()
    {
        const QDateTime now(QDate(2026, 12, 10), QTime(9, 0));
        ShellFixture f(true, VisitedDaysAgo(now, 100 * MsPerDay) + "runMinimizedEn=1\n");
        f.showAndSettle();
        QCOMPARE(f.prompter.updateOffers, 1);
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.balloons(), 0);
        // The user's choice stands for the Options dialog and the next start.
        QVERIFY(f.window->settings().runMinimizedEn);
    }

    void doNotAskAgainIsStoredAtEveryClick_data()
    {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("offersNextTime");
        QTest::newRow("ticked") << 1 << "0" << 0;
        QTest::newRow("ticked and cleared") << 2 << "1" << 1;
    }

    void doNotAskAgainIsStoredAtEveryClick()
    {
        QFETCH(int, clicks);
        QFETCH(QString, stored);
        QFETCH(int, offersNextTime);
        const QDateTime now(QDate(2026, 12, 10), QTime(9, 0));
        QByteArray settings = VisitedDaysAgo(now, 100 * MsPerDay);
        {
            ShellFixture f(true, settings);
            TupdateDlg dialog(f.window->webLinks(), f.window->appSettings());
            for (int n = 0; n < clicks; ++n) {
                dialog.cb_ask->click();
                QCOMPARE(f.setting("option", "visitWebEn"), QString::number(n % 2));  // every click
            }
            dialog.Button2->click();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QCOMPARE(f.setting("option", "visitWebEn"), stored);
            QCOMPARE(f.window->settings().visitWebEn, stored == "1");
            QVERIFY(f.desktop.openedUrls.isEmpty());
            QFile file(f.folder.file(QStringLiteral("qvConf.ini")));
            QVERIFY(file.open(QIODevice::ReadOnly));
            settings = file.readAll();  // No leaves the visit date alone
        }
        ShellFixture next(true, settings);
        next.showAndSettle();
        QCOMPARE(next.prompter.updateOffers, offersNextTime);
    }

    void yesOpensTheHomePageAndRecordsTheVisit()
    {
        ShellFixture f;
        TupdateDlg dialog(f.window->webLinks(), f.window->appSettings());
        f.clock.advanceMs(100 * MsPerDay);
        dialog.btn_Yes->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.desktop.openedUrls.size(), 1);
        QVERIFY(f.desktop.openedUrls.first().toString().startsWith(MakerAddresses::WebSite() + "/index.htm?"));
        QCOMPARE(f.setting("option", "visitWeb"), IsoTime(f.clock.nowDateTime()));
    }

    // Shown at start-up while the user may be typing: Enter does not answer it.
    void theOfferTakesNoStrayEnter()
    {
        ShellFixture f;
        TupdateDlg dialog(f.window->webLinks(), f.window->appSettings());
        QVERIFY(dialog.testAttribute(Qt::WA_ShowWithoutActivating));
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Return);
        QTest::keyClick(dialog.btn_Yes, Qt::Key_Enter);
        QVERIFY(dialog.isVisible());
        QVERIFY(f.desktop.openedUrls.isEmpty());
    }

    void theOfferClosesItselfAsNo()
    {
        ShellFixture f;
        TupdateDlg dialog(f.window->webLinks(), f.window->appSettings());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Ambrel Update"));
        QCOMPARE(dialog.Timer1->interval(), 5000);
        QVERIFY(dialog.Timer1->isActive());
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.open();
        dialog.Timer1->start(20);  // the same timer, sooner
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
        QVERIFY(f.desktop.openedUrls.isEmpty());
        QVERIFY(f.setting("option", "visitWebEn").isEmpty());
    }

    void theAboutBoxShowsTheVersionAndTheLinks()
    {
        ShellFixture f;
        f.common->Action_About->trigger();
        const QString version = TQvVersionInfo().GetValue(TQvVersionInfo::FileVersion);
        QCOMPARE(f.prompter.aboutVersions, QStringList{version});

        TAboutDlg about(f.window->webLinks(), version);
        QCOMPARE(about.windowTitle(), QStringLiteral("About..."));
        QCOMPARE(about.lbl_version->text(), version);
        QVERIFY(!version.isEmpty());
        QVERIFY(about.Image_App->pixmap().width() > 0);
        QVERIFY(about.lbl_web->text().contains(MakerAddresses::WebSite()));
        QCOMPARE(about.lbl_licence->text(), LicenceNotice);
        emit about.lbl_web->linkActivated(QStringLiteral("#"));
        emit about.lbl_support->linkActivated(QStringLiteral("#"));
        emit about.lbl_Sales->linkActivated(QStringLiteral("#"));
        QCOMPARE(f.desktop.openedUrls.size(), 3);
        QVERIFY(f.desktop.openedUrls[0].toString().startsWith(MakerAddresses::WebSite() + "/index.htm?"));
        QCOMPARE(f.desktop.openedUrls[1], QUrl("mailto:" + MakerAddresses::SupportMail()));
        QCOMPARE(f.desktop.openedUrls[2], QUrl("mailto:" + MakerAddresses::SalesMail()));
        QCOMPARE(f.setting("option", "visitWeb"), IsoTime(f.clock.nowDateTime()));
        QVERIFY(f.prompter.messages.isEmpty());
    }

    void contentsOpensTheStartPage()
    {
        ShellFixture f;
        QCOMPARE(f.common->HelpContents1->shortcut(), QKeySequence(Qt::Key_F1));
        f.common->HelpContents1->trigger();
        QCOMPARE(f.desktop.openedUrls, QList<QUrl>{ManualPage(QStringLiteral("index.html"))});
    }

    void f1OpensTheFocusedControlsTopic_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("page");
        QTest::newRow("search box") << "Edt_Search" << int(Qt::NoModifier) << "views.html#search";
        QTest::newRow("view range") << "Comb_ViewRange" << int(Qt::NoModifier) << "views.html#range";
        QTest::newRow("tree") << "VtTasks" << int(Qt::NoModifier) << "tasks.html#tree";
        QTest::newRow("no topic of its own") << "ToolBar_Top" << int(Qt::NoModifier) << "index.html";
        QTest::newRow("Shift") << "Edt_Search" << int(Qt::ShiftModifier) << "";
        QTest::newRow("Ctrl") << "Edt_Search" << int(Qt::ControlModifier) << "";
        QTest::newRow("Alt") << "Edt_Search" << int(Qt::AltModifier) << "";
    }

    void f1OpensTheFocusedControlsTopic()
    {
        QFETCH(QString, control);
        QFETCH(int, modifiers);
        QFETCH(QString, page);
        ShellFixture f;
        f.showAndSettle();
        auto *target = f.window->findChild<QWidget *>(control);
        QVERIFY(target);
        target->setFocus();
        int contents = 0;
        connect(f.common->HelpContents1, &QAction::triggered, this, [&contents] { ++contents; });
        QTest::keyClick(target, Qt::Key_F1, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(contents, 0);  // F1 is context help, not a second opening
        const QList<QUrl> expected = page.isEmpty() ? QList<QUrl>{} : QList<QUrl>{ManualPage(page)};
        QCOMPARE(f.desktop.openedUrls, expected);
    }

    void f1InADialogOpensItsTopic()
    {
        ShellFixture f;
        TOptionsDlg options(OptionsChoice{});
        options.show();
        options.cb_AddOpen->setFocus();
        QTest::keyClick(options.cb_AddOpen, Qt::Key_F1);
        QCOMPARE(f.desktop.openedUrls, QList<QUrl>{ManualPage(QStringLiteral("tray.html#options"))});

        // On the Sync tab, from its tabs as from its fields: the sync's own topic.
        auto *pages = options.findChild<QTabWidget *>(QStringLiteral("OptionsPages"));
        QVERIFY(pages);
        pages->setCurrentIndex(1);
        QTabBar *tabs = pages->tabBar();
        tabs->setFocus();
        QTest::keyClick(tabs, Qt::Key_F1);
        options.Edt_SyncServer->setFocus();
        QTest::keyClick(options.Edt_SyncServer, Qt::Key_F1);
        const QUrl sync = ManualPage(QStringLiteral("tray.html#sync"));
        QCOMPARE(f.desktop.openedUrls.mid(1), (QList<QUrl>{sync, sync}));
    }
};

QTEST_MAIN(TestAppHelp)
#include "tst_app_help.moc"
