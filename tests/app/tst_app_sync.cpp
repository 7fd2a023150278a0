// The sync as the window runs it, with a runner the test finishes by hand: the Options'
// Sync page, File › Sync Now, the periodic sync by the clock, never two at once, the
// rows following the sync's changes one by one, an open edit waiting, and errors.

#include "ShellFixture.h"
#include "app/Dlg_Options.h"
#include "app/SyncControl.h"
#include "app/SyncService.h"
#include "store/TaskStore.h"
#include "support/TaskRecords.h"
#include "tasks/ui/Fr_qvTasks.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace quillpad;

namespace {

// Finishes when the test says so; `work` stands for what a sync writes.
class FakeRunner : public SyncRunner {
public:
    using SyncRunner::SyncRunner;
    void start() override { ++started; }
    void finish(const SyncOutcome &outcome) { emit finished(outcome); }
    int started = 0;
};

struct FakeService : SyncService {
    FakeService()
    {
        makeRunner = [this](Connection &, const SyncSettings &settings, const QString &password, QObject *,
                            std::function<void(const QString &)>) {
            runs.append(settings.server + QLatin1Char(' ') + password);
            auto made = std::make_unique<FakeRunner>();
            runner = made.get();
            made->start();
            return made;
        };
        readPassword = [](const SyncSettings &, std::function<void(const QString &, const QString &)> reply) {
            reply(QStringLiteral("pw"), {});
        };
        storePassword = [this](const SyncSettings &settings, const QString &password,
                               std::function<void(const QString &)> reply) {
            stored.append(settings.user + QLatin1Char(' ') + password);
            reply(storeError);
        };
        discover = [this](const SyncSettings &settings, const QString &password,
                          std::function<void(const DiscoveryResult &)> reply) {
            discoveries.append(settings.server + QLatin1Char(' ') + password + QLatin1Char(' ') + settings.trustedCertificate);
            reply(discovered.isEmpty() ? DiscoveryResult{} : discovered.dequeue());
        };
        SyncService::install(this);
    }
    ~FakeService() { SyncService::install(nullptr); }

    QStringList runs;    // "server password" of each sync begun
    QStringList stored;  // "user password" of each password stored
    QStringList discoveries;  // "server password trusted-certificate" of each discovery
    QQueue<DiscoveryResult> discovered;
    QString storeError;
    QPointer<FakeRunner> runner;
};

const QByteArray SyncOn = "[sync]\nServer=https://dav.example.org\nUser=ann\nIntervalMinutes=15\nEnabled=1\n";


struct SyncFixture : ShellFixture {
    explicit SyncFixture(const QByteArray &settings = SyncOn) : ShellFixture(true, settings) {}

    TaskStore store() { return TaskStore(window->connection()); }
    TqvTasksFrame &frame() { return *window->tasksFrame(); }
    QAction *syncNow() const { return window->findChild<QAction *>(QStringLiteral("Action_SyncNow")); }
    TaskNode *node(const QString &content)
    {
        TaskNode *found = nullptr;
        frame().tree().forEach([&](TaskNode *n) {
            if (n->info.content == content)
                found = n;
        });
        return found;
    }
    QStringList shownRows()
    {
        QStringList rows;
        TaskTreeModel *model = frame().model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex top = model->index(row, 0);
            rows.append(model->nodeAt(top)->info.content);
            for (int sub = 0; sub < model->rowCount(top); ++sub)
                rows.append(QStringLiteral("  ") + model->nodeAt(model->index(sub, 0, top))->info.content);
        }
        return rows;
    }

    FakeService service;
};

}  // namespace

class TestAppSync : public QObject {
    Q_OBJECT

private slots:
    void optionsStoreTheSectionAndThePasswordInTheKeyring();
    void optionsFindTheCollectionsAndAskAboutACertificate();
    void optionsRefuseAServerAddressThatIsNoUrl_data();
    void optionsRefuseAServerAddressThatIsNoUrl();
    void statusNamesTheCollectionAndHowToTrust();
    void syncNowTakesChangesRowByRow();
    void openEditWaitsForTheChanges();
    void periodicSyncByTheClockNeverTwice();
    void errorsInTheStatusBarAndAMessageWhenAsked();
};

void TestAppSync::optionsStoreTheSectionAndThePasswordInTheKeyring()
{
    SyncFixture f("");
    QVERIFY(f.created);
    f.showAndSettle();
    QVERIFY(!f.syncNow()->isEnabled());  // no server yet

    OptionsChoice choice;
    choice.sync = {QStringLiteral("https://dav.example.org"), QStringLiteral("ann"), QStringLiteral("/ann/tasks/"), 30,
                   true, QStringLiteral("AB:CD"), {}};
    choice.syncPassword = QStringLiteral("s3cret");
    f.prompter.optionsAnswers.enqueue(choice);
    f.common->Action_Options->trigger();
    QCOMPARE(f.setting(QStringLiteral("sync"), QStringLiteral("Server")), QStringLiteral("https://dav.example.org"));
    QCOMPARE(f.setting(QStringLiteral("sync"), QStringLiteral("User")), QStringLiteral("ann"));
    QCOMPARE(f.setting(QStringLiteral("sync"), QStringLiteral("Collection")), QStringLiteral("/ann/tasks/"));
    QCOMPARE(f.setting(QStringLiteral("sync"), QStringLiteral("IntervalMinutes")), QStringLiteral("30"));
    QCOMPARE(f.setting(QStringLiteral("sync"), QStringLiteral("Enabled")), QStringLiteral("1"));
    QCOMPARE(f.setting(QStringLiteral("sync"), QStringLiteral("TrustedCertificate")), QStringLiteral("AB:CD"));
    QCOMPARE(f.service.stored, QStringList{"ann s3cret"});
    QFile ini(f.folder.file(QStringLiteral("qvConf.ini")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(!ini.readAll().contains("s3cret"));
    QVERIFY(f.syncNow()->isEnabled());

    // The dialog opens with what is stored; an empty password keeps the stored one. A
    // keyring that refuses is reported.
    choice.syncPassword.clear();
    f.prompter.optionsAnswers.enqueue(choice);
    f.common->Action_Options->trigger();
    QCOMPARE(f.prompter.optionsAsked.last().sync.collection, QStringLiteral("/ann/tasks/"));
    QCOMPARE(f.service.stored.size(), 1);
    // Another server: the old one's collection is found again, unless one is named.
    choice.sync.server = QStringLiteral("https://other.example.org");
    f.prompter.optionsAnswers.enqueue(choice);
    f.common->Action_Options->trigger();
    QCOMPARE(f.setting(QStringLiteral("sync"), QStringLiteral("Collection")), QString());
    choice.sync.server = QStringLiteral("https://dav.example.org");
    f.prompter.optionsAnswers.enqueue(choice);
    f.common->Action_Options->trigger();
    QCOMPARE(f.setting(QStringLiteral("sync"), QStringLiteral("Collection")), QStringLiteral("/ann/tasks/"));
    f.service.storeError = QStringLiteral("No keyring answers");
    choice.syncPassword = QStringLiteral("new");
    f.prompter.optionsAnswers.enqueue(choice);
    f.common->Action_Options->trigger();
    QCOMPARE(f.prompter.lines(),
             QStringList{"Ambrel Quillpad: The sync password was not stored: No keyring answers."});
}

// An address the sync could never use is said at once, and OK stays in the dialog.
void TestAppSync::optionsRefuseAServerAddressThatIsNoUrl_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("said");  // empty: accepted
    const QString notOne = QStringLiteral("is not a server address");
    QTest::newRow("two words") << QStringLiteral("cloud example") << notOne;
    QTest::newRow("another scheme") << QStringLiteral("ftp://cloud.example.org") << notOne;
    QTest::newRow("no host") << QStringLiteral("https://") << notOne;
    QTest::newRow("a host alone: the password would go without TLS")
        << QStringLiteral("cloud.example.org") << QStringLiteral("use https://");
    QTest::newRow("a web address") << QStringLiteral("https://cloud.example.org/remote.php/dav") << QString();
    QTest::newRow("this machine") << QStringLiteral("http://localhost:5232") << QString();
    QTest::newRow("none: no sync") << QString() << QString();
}

void TestAppSync::optionsRefuseAServerAddressThatIsNoUrl()
{
    QFETCH(QString, typed);
    QFETCH(QString, said);
    const bool accepted = said.isEmpty();
    SyncFixture f;
    TOptionsDlg dialog(OptionsChoice{});
    dialog.show();
    dialog.Edt_SyncServer->setText(typed);
    dialog.Btn_Ok->click();
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(dialog.isVisible(), !accepted);
    if (!accepted) {
        QVERIFY2(dialog.Lbl_SyncFound->text().contains(said), qPrintable(dialog.Lbl_SyncFound->text()));
        QVERIFY(dialog.Edt_SyncServer->isVisible());
    }
}

void TestAppSync::optionsFindTheCollectionsAndAskAboutACertificate()
{
    SyncFixture f;
    const QString fingerprint = QStringLiteral("AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89");
    OptionsChoice start;
    start.sync = ReadSyncSettings(IniFile(f.folder.file(QStringLiteral("qvConf.ini"))));
    TOptionsDlg dialog(start);

    // Every label with a mnemonic reaches its field: one without a buddy shows the "&".
    for (const QLabel *label : dialog.findChildren<QLabel *>())
        if (label->text().contains(QLatin1Char('&')))
            QVERIFY2(label->buddy(), qPrintable(label->text()));

    // A certificate nobody vouches for: shown with its fingerprint, trusted only when the user says so.
    DiscoveryResult refused;
    refused.error = QStringLiteral("The certificate of dav.example.org is not trusted: The certificate is "
                                   "self-signed, and untrusted. Its SHA-256 fingerprint is ") + fingerprint;
    refused.refusedCertificate = fingerprint;
    f.service.discovered.enqueue(refused);
    f.prompter.setNextAnswer(PromptButton::No);
    dialog.Btn_SyncFind->click();
    QCOMPARE(f.prompter.messages.size(), 1);
    QVERIFY2(f.prompter.messages.first().text.contains(fingerprint), qPrintable(f.prompter.messages.first().text));
    QCOMPARE(f.prompter.messages.first().defaultButton, PromptButton::No);
    QCOMPARE(dialog.Edt_SyncCertificate->text(), QString());
    QCOMPARE(dialog.Lbl_SyncFound->text(), refused.error + QLatin1Char('.'));
    QCOMPARE(dialog.answer().sync.trustedCertificate, QString());

    // Yes: the discovery runs again trusting it, and the collections fill the list.
    DiscoveryResult two;
    two.collections = {{QStringLiteral("/ann/tasks/"), QStringLiteral("Tasks")}, {QStringLiteral("/ann/work/"), QString()}};
    f.service.discovered.enqueue(refused);
    f.service.discovered.enqueue(two);
    f.prompter.setNextAnswer(PromptButton::Yes);
    dialog.Btn_SyncFind->click();
    QCOMPARE(f.service.discoveries, (QStringList{"https://dav.example.org pw ", "https://dav.example.org pw ",
                                                 "https://dav.example.org pw " + fingerprint}));
    QCOMPARE(dialog.Cmb_SyncCollection->count(), 2);
    QCOMPARE(dialog.Cmb_SyncCollection->itemText(0), QStringLiteral("Tasks (/ann/tasks/)"));
    QCOMPARE(dialog.Cmb_SyncCollection->itemText(1), QStringLiteral("/ann/work/"));
    QCOMPARE(dialog.Lbl_SyncFound->text(), QStringLiteral("The server has 2 task collections: choose one."));
    QCOMPARE(dialog.answer().sync.collection, QStringLiteral("/ann/tasks/"));
    dialog.Cmb_SyncCollection->setCurrentIndex(1);
    QCOMPARE(dialog.answer().sync.collection, QStringLiteral("/ann/work/"));
    QCOMPARE(dialog.answer().sync.trustedCertificate, fingerprint);

    // A password typed in the dialog is the one tried; a path typed by hand stays a path.
    dialog.Edt_SyncPassword->setText(QStringLiteral("typed"));
    f.service.discovered.enqueue(two);
    dialog.Btn_SyncFind->click();
    QCOMPARE(f.service.discoveries.last(), "https://dav.example.org typed " + fingerprint);
    QCOMPARE(dialog.answer().sync.collection, QStringLiteral("/ann/work/"));  // the choice is kept
    dialog.Cmb_SyncCollection->setEditText(QStringLiteral("/ann/other/"));
    QCOMPARE(dialog.answer().sync.collection, QStringLiteral("/ann/other/"));
}

void TestAppSync::statusNamesTheCollectionAndHowToTrust()
{
    SyncFixture f;
    f.showAndSettle();
    f.syncNow()->trigger();
    SyncOutcome found;
    found.ok = true;
    found.foundCollection = QStringLiteral("/ann/tasks/");
    found.otherCollections = QStringList{QStringLiteral("/ann/work/")};
    f.service.runner->finish(found);
    QCOMPARE(f.frame().statusNote(), QStringLiteral("Synced at 09:00: 0 received, 0 sent; tasks of /ann/tasks/, the "
                                                    "first of 2 collections (Options \u203a Sync chooses)"));

    f.syncNow()->trigger();
    SyncOutcome refused;
    refused.error = QStringLiteral("The certificate of dav.example.org is not trusted: The certificate is "
                                   "self-signed, and untrusted. Its SHA-256 fingerprint is AB:CD");
    refused.refusedCertificate = QStringLiteral("AB:CD");
    f.service.runner->finish(refused);
    QCOMPARE(f.prompter.lines(), QStringList{"Ambrel Quillpad: Sync failed: " + refused.error +
                                             ". Find in Options \u203a Sync offers to trust it."});
}

void TestAppSync::syncNowTakesChangesRowByRow()
{
    SyncFixture f;
    TaskStore store = f.store();
    TTaskInfo kept = TaskRecord(QStringLiteral("kept")), edited = TaskRecord(QStringLiteral("edited")),
              parent = TaskRecord(QStringLiteral("parent")), gone = TaskRecord(QStringLiteral("gone"));
    TTaskInfo goneChild = TaskRecord(QStringLiteral("gone child"), gone.tid);
    for (const TTaskInfo &t : {kept, edited, parent, gone, goneChild})
        store.insertRecord(t);
    f.showAndSettle();
    TaskNode *keptNode = f.node(QStringLiteral("kept"));
    f.frame().treeView()->selectNodes({keptNode}, keptNode);

    f.syncNow()->trigger();
    QVERIFY(f.service.runner);
    QCOMPARE(f.frame().statusNote(), QStringLiteral("Syncing..."));
    // What the sync stored meanwhile.
    TTaskInfo added = TaskRecord(QStringLiteral("from the server")), addedChild = TaskRecord(QStringLiteral("new sub-task"), parent.tid);
    store.insertRecord(added);
    store.insertRecord(addedChild);
    edited.content = QStringLiteral("edited elsewhere");
    store.storeRecord(edited);
    store.remove(gone.tid);
    SyncOutcome outcome;
    outcome.ok = true;
    outcome.local.added = QStringList{added.tid, addedChild.tid};
    outcome.local.changed = QStringList{edited.tid};
    outcome.local.removed = QStringList{gone.tid, goneChild.tid};
    outcome.uploaded = 2;
    f.service.runner->finish(outcome);

    // In place, the new ones at the end, as a task added here until the next sort.
    QCOMPARE(f.shownRows(), (QStringList{"edited elsewhere", "kept", "parent", "  new sub-task", "from the server"}));
    // Not a reload: the untouched row is the same node, still selected.
    QCOMPARE(f.node(QStringLiteral("kept")), keptNode);
    QCOMPARE(f.frame().treeView()->selectedNodes(), QList<TaskNode *>{keptNode});
    QCOMPARE(f.frame().statusNote(), QStringLiteral("Synced at 09:00: 5 received, 2 sent"));
    QVERIFY(f.prompter.messages.isEmpty());
}

void TestAppSync::openEditWaitsForTheChanges()
{
    SyncFixture f;
    TaskStore store = f.store();
    TTaskInfo a = TaskRecord(QStringLiteral("a")), b = TaskRecord(QStringLiteral("b"));
    store.insertRecord(a);
    store.insertRecord(b);
    f.showAndSettle();
    f.frame().treeView()->selectNodes({f.node(QStringLiteral("a"))}, nullptr);
    f.frame().action(QStringLiteral("Action_TaskEdit"))->trigger();
    QCoreApplication::processEvents();
    QVERIFY(f.frame().editNode());

    f.syncNow()->trigger();
    b.content = QStringLiteral("b changed");
    store.storeRecord(b);
    SyncOutcome outcome;
    outcome.ok = true;
    outcome.local.changed = QStringList{b.tid};
    f.service.runner->finish(outcome);
    QVERIFY(f.frame().editNode());  // the edit stays open
    QVERIFY(f.frame().storedChangesWaiting());
    QVERIFY(f.node(QStringLiteral("b")));

    f.frame().endEdit();
    QVERIFY(QMetaObject::invokeMethod(&f.frame().reminderTimer(), "timeout"));
    QVERIFY(!f.frame().storedChangesWaiting());
    QVERIFY(f.node(QStringLiteral("b changed")));
}

void TestAppSync::periodicSyncByTheClockNeverTwice()
{
    SyncFixture f;
    f.showAndSettle();
    SyncControl &sync = *f.window->syncControl();
    QVERIFY(sync.timer().isActive());
    sync.check();
    QVERIFY(f.service.runs.isEmpty());  // not due before one interval
    f.clock.advanceMs(15 * 60 * 1000);
    QVERIFY(QMetaObject::invokeMethod(&sync.timer(), "timeout"));
    QCOMPARE(f.service.runs, QStringList{"https://dav.example.org pw"});

    // While it runs, neither the clock nor the user starts another.
    f.clock.advanceMs(60 * 60 * 1000);
    sync.check();
    f.syncNow()->trigger();
    QCOMPARE(f.service.runs.size(), 1);
    SyncOutcome ok;
    ok.ok = true;
    f.service.runner->finish(ok);
    QVERIFY(!sync.running());
    sync.check();  // the next one is an interval after this one ended
    QCOMPARE(f.service.runs.size(), 1);
    f.clock.advanceMs(15 * 60 * 1000);
    sync.check();
    QCOMPARE(f.service.runs.size(), 2);
}

void TestAppSync::errorsInTheStatusBarAndAMessageWhenAsked()
{
    SyncFixture f;
    f.showAndSettle();
    SyncControl &sync = *f.window->syncControl();
    SyncOutcome failed;
    failed.error = QStringLiteral("No answer from dav.example.org");

    f.clock.advanceMs(15 * 60 * 1000);
    sync.check();
    f.service.runner->finish(failed);
    QCOMPARE(f.frame().statusNote(), QStringLiteral("Sync failed: No answer from dav.example.org"));
    QVERIFY(f.prompter.messages.isEmpty());  // nobody asked for it

    f.syncNow()->trigger();
    f.service.runner->finish(failed);
    QCOMPARE(f.prompter.lines(), QStringList{"Ambrel Quillpad: Sync failed: No answer from dav.example.org."});

    // Asked for while a periodic one ran: that one answers the user.
    f.clock.advanceMs(15 * 60 * 1000);
    sync.check();
    f.syncNow()->trigger();
    f.service.runner->finish(failed);
    QCOMPARE(f.prompter.messages.size(), 2);
}

QTEST_MAIN(TestAppSync)
#include "tst_app_sync.moc"
