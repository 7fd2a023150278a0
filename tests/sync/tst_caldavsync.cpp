// The sync against a Radicale server, for what only the program meets: the user keeps
// editing while a sync's requests are out.

#include "store/Connection.h"
#include "store/TaskStore.h"
#include "support/TaskRecords.h"
#include "sync/SyncRunner.h"
#include "sync/SyncThread.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace quillpad;

namespace {

SyncOutcome RunSync(Connection &db, const SyncSettings &settings, const std::function<void()> &whileOut = {})
{
    const std::unique_ptr<SyncRunner> runner = MakeCalDavSync(db, settings, QStringLiteral("s3cret"));
    QSignalSpy done(runner.get(), &SyncRunner::finished);
    runner->start();
    if (whileOut) {
        // The sync has read the database and sent its first request; the answer needs the server.
        QCoreApplication::processEvents();
        whileOut();
    }
    if (done.isEmpty() && !done.wait(120000))
        return {};
    return done.takeFirst().at(0).value<SyncOutcome>();
}


}  // namespace

class TestCalDavSync : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void editMadeWhileSyncingIsKept();
    void parentDeletedThereRemovesItsSubTasksHere();
    void syncOnItsOwnThreadAnswersOnTheCallersThread();

private:
    QProcess m_server;
    SyncSettings m_settings;
    QTemporaryDir m_dir;
};

void TestCalDavSync::initTestCase()
{
    qRegisterMetaType<SyncOutcome>();
    m_server.start(QStringLiteral("python3"), {QStringLiteral(SYNC_TESTS "/radicale_serve.py")});
    QVERIFY(m_server.waitForStarted());
    while (!m_server.canReadLine())
        QVERIFY2(m_server.waitForReadyRead(60000), "the Radicale helper said nothing");
    const int port = m_server.readLine().trimmed().toInt();
    if (port == 0)
        QSKIP("Radicale cannot start here");
    m_settings.server = QStringLiteral("http://127.0.0.1:%1").arg(port);
    m_settings.user = QStringLiteral("ann");
    m_settings.collection = QStringLiteral("/ann/tasks/");
}

void TestCalDavSync::cleanupTestCase()
{
    m_server.closeWriteChannel();
    if (!m_server.waitForFinished(30000))
        m_server.kill();
}

void TestCalDavSync::editMadeWhileSyncingIsKept()
{
    Connection a, b;
    a.open(m_dir.filePath(QStringLiteral("a.qvb")));
    b.open(m_dir.filePath(QStringLiteral("b.qvb")));
    TaskStore storeA(a), storeB(b);
    const TTaskInfo task = TaskRecord(QStringLiteral("shared"));
    storeA.insertRecord(task);
    QVERIFY(RunSync(a, m_settings).ok);
    QVERIFY(RunSync(b, m_settings).ok);

    TTaskInfo theirs = *storeB.find(task.tid);
    theirs.content = QStringLiteral("edited on B");
    storeB.storeRecord(theirs);
    QVERIFY(RunSync(b, m_settings).ok);

    // On A the user edits the task after the sync has read it, before the answers apply.
    const SyncOutcome outcome = RunSync(a, m_settings, [&] {
        TTaskInfo mine = *storeA.find(task.tid);
        mine.content = QStringLiteral("edited on A");
        storeA.storeRecord(mine);
    });
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QCOMPARE(outcome.conflicts, 1);
    QCOMPARE(storeA.find(task.tid)->content, QStringLiteral("edited on B"));
    QCOMPARE(outcome.local.added.size(), 1);
    QCOMPARE(storeA.find(outcome.local.added.first())->content, QStringLiteral("Conflict copy: edited on A"));

    // Both edits reach B.
    QVERIFY(RunSync(b, m_settings).ok);
    QVERIFY(storeB.find(outcome.local.added.first()));
}

void TestCalDavSync::parentDeletedThereRemovesItsSubTasksHere()
{
    Connection a, b;
    a.open(m_dir.filePath(QStringLiteral("parent-a.qvb")));
    b.open(m_dir.filePath(QStringLiteral("parent-b.qvb")));
    TaskStore storeA(a), storeB(b);
    const TTaskInfo parent = TaskRecord(QStringLiteral("parent"));
    TTaskInfo child = TaskRecord(QStringLiteral("child"));
    child.pid = parent.tid;
    storeA.insertRecord(parent);
    storeA.insertRecord(child);
    QVERIFY(RunSync(a, m_settings).ok);
    QVERIFY(RunSync(b, m_settings).ok);
    QVERIFY(storeB.find(child.tid));

    // Another client deletes only the parent; a sub-task cannot stay here without it.
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(m_settings.server + m_settings.collection + QString(parent.tid).remove(QLatin1Char('{')).remove(QLatin1Char('}')) + QStringLiteral(".ics")));
    request.setRawHeader("Authorization", "Basic " + QByteArray("ann:s3cret").toBase64());
    QNetworkReply *reply = network.deleteResource(request);
    QSignalSpy deleted(reply, &QNetworkReply::finished);
    QVERIFY(deleted.wait(60000));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() / 100, 2);
    delete reply;

    const SyncOutcome outcome = RunSync(b, m_settings);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    // The window removes the rows it is told about: the sub-task is named too.
    QCOMPARE(QSet<QString>(outcome.local.removed.begin(), outcome.local.removed.end()),
             (QSet<QString>{parent.tid, child.tid}));
    QVERIFY(!storeB.find(parent.tid));
    QVERIFY(!storeB.find(child.tid));
}

void TestCalDavSync::syncOnItsOwnThreadAnswersOnTheCallersThread()
{
    Connection a, b;
    a.open(m_dir.filePath(QStringLiteral("thread-a.qvb")));
    b.open(m_dir.filePath(QStringLiteral("thread-b.qvb")));
    const TTaskInfo task = TaskRecord(QStringLiteral("synced from a thread"));
    TaskStore(a).insertRecord(task);
    QVERIFY(RunSync(b, m_settings).ok);

    SyncSettings discovered = m_settings;
    discovered.collection.clear();
    QThread *foundOn = nullptr;
    QString found;
    const std::unique_ptr<SyncRunner> runner =
        MakeSyncOnThread(a, discovered, QStringLiteral("s3cret"), nullptr, [&](const QString &collection) {
            foundOn = QThread::currentThread();
            found = collection;
        });
    QSignalSpy done(runner.get(), &SyncRunner::finished);
    runner->start();
    QVERIFY(done.wait(120000));
    const SyncOutcome outcome = done.takeFirst().at(0).value<SyncOutcome>();
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QCOMPARE(outcome.uploaded, 1);
    QCOMPARE(found, m_settings.collection);
    QCOMPARE(foundOn, QThread::currentThread());

    // What the thread wrote is in the file the caller holds open.
    QVERIFY(RunSync(b, m_settings).ok);
    QVERIFY(TaskStore(b).find(task.tid));

    // A runner dropped while its requests are out ends its thread without an answer.
    TaskStore(a).insertRecord(TaskRecord(QStringLiteral("never sent")));
    auto dropped = MakeSyncOnThread(a, m_settings, QStringLiteral("s3cret"));
    QSignalSpy never(dropped.get(), &SyncRunner::finished);
    dropped->start();
    dropped.reset();
    QCOMPARE(never.count(), 0);
}

QTEST_GUILESS_MAIN(TestCalDavSync)
#include "tst_caldavsync.moc"
