// The single-instance channel: a second start finds the running copy and hands it a
// message; sockets left by dead copies; garbage and silence on the channel; the lock held
// for the run; and the real program started twice.

#include "components/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstring>
#include <future>
#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quillpad;

using Message = SingleInstance::Message;
using ListenResult = SingleInstance::ListenResult;

namespace {

// Sending blocks until the running copy answers, so it runs on a thread of its own while
// this thread's event loop serves.
bool SendAside(Message message, const QString &serverName)
{
    auto sent = std::async(std::launch::async,
                           [=] { return SingleInstance::SendToRunning(message, serverName); });
    const bool done = QTest::qWaitFor(
        [&] { return sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        10000);
    return done && sent.get();
}

// What a killed copy leaves behind: a socket file nobody listens on.
void LeaveDeadSocket(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    QVERIFY(size_t(encoded.size()) < sizeof address.sun_path);
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    ::close(fd);
    QCOMPARE(bound, 0);
    QVERIFY(QFileInfo::exists(path));
}

}  // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void init();
    void messagesReachTheRunningCopy();
    void activationTokenTravels_data();
    void activationTokenTravels();
    void nobodyListening_data();
    void nobodyListening();
    void deadCopysSocketIsReplaced();
    void liveCopyIsNeverDisplaced();
    void lockIsHeldForTheRun();
    void badClientsAreDropped_data();
    void badClientsAreDropped();
    void secondStartOfTheProgramEndsAtOnce();

private:
    QString socketName() const { return m_dir->filePath(QStringLiteral("qp")); }
    QString lockPath() const { return m_dir->filePath(QStringLiteral("mutex.lock")); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSingleInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSingleInstance::messagesReachTheRunningCopy()
{
    SingleInstance running(socketName(), lockPath());
    QCOMPARE(running.listen(), ListenResult::Listening);
    QSignalSpy activate(&running, &SingleInstance::activateRequested);
    QSignalSpy reload(&running, &SingleInstance::reloadRequested);

    QVERIFY(SendAside(Message::Activate, socketName()));
    QCOMPARE(activate.count(), 1);
    QCOMPARE(reload.count(), 0);

    QVERIFY(SendAside(Message::Reload, socketName()));
    QCOMPARE(activate.count(), 1);
    QCOMPARE(reload.count(), 1);
}

void TestSingleInstance::activationTokenTravels_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("received");
    const QString longest(SingleInstance::MaxActivationToken, QLatin1Char('t'));
    QTest::newRow("none") << QString() << QString();
    QTest::newRow("compositor's") << QStringLiteral("kwin-1234_5/ab:cd") << QStringLiteral("kwin-1234_5/ab:cd");
    QTest::newRow("longest") << longest << longest;
    // What a line cannot carry is left out; the window is still asked for.
    QTest::newRow("too long") << longest + QLatin1Char('t') << QString();
    QTest::newRow("with a blank") << QStringLiteral("a b") << QString();
    QTest::newRow("not ASCII") << QStringLiteral("té") << QString();
}

void TestSingleInstance::activationTokenTravels()
{
    QFETCH(QString, token);
    QFETCH(QString, received);
    SingleInstance running(socketName(), lockPath());
    QCOMPARE(running.listen(), ListenResult::Listening);
    QSignalSpy activate(&running, &SingleInstance::activateRequested);

    const QString name = socketName();
    auto sent = std::async(std::launch::async, [=] {
        return SingleInstance::SendToRunning(Message::Activate, name, SingleInstance::DefaultTimeoutMs, token);
    });
    QTRY_COMPARE(activate.count(), 1);
    QVERIFY(sent.get());
    QCOMPARE(activate.constFirst().constFirst().toString(), received);
}

void TestSingleInstance::nobodyListening_data()
{
    QTest::addColumn<bool>("deadSocket");
    QTest::newRow("no socket") << false;
    QTest::newRow("socket of a dead copy") << true;
}

void TestSingleInstance::nobodyListening()
{
    QFETCH(bool, deadSocket);
    if (deadSocket)
        LeaveDeadSocket(socketName());

    QElapsedTimer timer;
    timer.start();
    QVERIFY(!SingleInstance::SendToRunning(Message::Activate, socketName(), 10000));
    QVERIFY2(timer.elapsed() < 1000, "a start without a running copy must not wait");
}

void TestSingleInstance::deadCopysSocketIsReplaced()
{
    LeaveDeadSocket(socketName());

    SingleInstance running(socketName(), lockPath());
    QCOMPARE(running.listen(), ListenResult::Listening);
    QSignalSpy activate(&running, &SingleInstance::activateRequested);
    QVERIFY(SendAside(Message::Activate, socketName()));
    QCOMPARE(activate.count(), 1);
}

void TestSingleInstance::liveCopyIsNeverDisplaced()
{
    SingleInstance first(socketName(), lockPath());
    QCOMPARE(first.listen(), ListenResult::Listening);
    QSignalSpy activate(&first, &SingleInstance::activateRequested);

    SingleInstance second(socketName(), lockPath());
    QCOMPARE(second.listen(), ListenResult::OtherCopyRunning);
    QSignalSpy secondActivate(&second, &SingleInstance::activateRequested);

    QVERIFY(SendAside(Message::Activate, socketName()));
    QCOMPARE(activate.count(), 1);
    QCOMPARE(secondActivate.count(), 0);
}

void TestSingleInstance::lockIsHeldForTheRun()
{
    {
        SingleInstance running(socketName(), lockPath());
        QCOMPARE(running.listen(), ListenResult::Listening);
        QLockFile other(lockPath());
        other.setStaleLockTime(0);
        QVERIFY(!other.tryLock(0));
    }
    QLockFile afterwards(lockPath());
    QVERIFY(afterwards.tryLock(0));
}

void TestSingleInstance::badClientsAreDropped_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<int>("clientTimeoutMs");
    // Garbage is dropped at once (the long timeout shows it); silence after the timeout.
    QTest::newRow("unknown word") << QByteArray("shutdown\n") << 60000;
    QTest::newRow("empty line") << QByteArray("\n") << 60000;
    QTest::newRow("known word with a blank") << QByteArray("activate \n") << 60000;
    QTest::newRow("token with a blank") << QByteArray("activate a b\n") << 60000;
    QTest::newRow("token with a control character") << QByteArray("activate a\tb\n") << 60000;
    QTest::newRow("reload with a token") << QByteArray("reload abc\n") << 60000;
    QTest::newRow("binary") << QByteArray("\0\xff\x7f\n", 4) << 60000;
    QTest::newRow("endless line") << QByteArray(4096, 'a') << 60000;
    QTest::newRow("silence") << QByteArray() << 100;
    QTest::newRow("half a word, then silence") << QByteArray("acti") << 100;
}

void TestSingleInstance::badClientsAreDropped()
{
    QFETCH(QByteArray, sent);
    QFETCH(int, clientTimeoutMs);
    SingleInstance running(socketName(), lockPath());
    running.setClientTimeout(clientTimeoutMs);
    QCOMPARE(running.listen(), ListenResult::Listening);
    QSignalSpy activate(&running, &SingleInstance::activateRequested);
    QSignalSpy reload(&running, &SingleInstance::reloadRequested);

    QLocalSocket client;
    client.connectToServer(socketName());
    QVERIFY(client.waitForConnected(1000));
    client.write(sent);
    client.flush();
    QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
    QCOMPARE(client.readAll(), QByteArray());  // no answer
    QCOMPARE(activate.count(), 0);
    QCOMPARE(reload.count(), 0);

    // The running copy goes on answering.
    QVERIFY(SendAside(Message::Activate, socketName()));
    QCOMPARE(activate.count(), 1);
}

void TestSingleInstance::secondStartOfTheProgramEndsAtOnce()
{
    // Our own runtime folder keeps the program's channel apart from any copy the user runs.
    QTemporaryDir runtime;
    QTemporaryDir homes;
    QVERIFY(runtime.isValid() && homes.isValid());
    const QString user = QString::number(::getuid());
    const QString socket = runtime.filePath(QStringLiteral("ambrel-quillpad-") + user);
    const QString mutex = runtime.filePath(QStringLiteral("Ambrel-Quillpad-Mutex-%1.lock").arg(user));
    const QString firstHome = homes.filePath(QStringLiteral("first"));
    const QString secondHome = homes.filePath(QStringLiteral("second"));

    const auto start = [&](QProcess &process, const QString &home) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("QUILLPAD_HOME"), home);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral(QUILLPAD_EXECUTABLE), {});
    };

    QProcess first;
    start(first, firstHome);
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(firstHome + QStringLiteral("/qvData.qvb")), 20000);
    QVERIFY(QFileInfo::exists(mutex));
    QVERIFY(SendAside(Message::Activate, socket));

    QProcess second;
    start(second, secondHome);
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY2(!QFileInfo::exists(secondHome), "the second start must not touch its data folder");
    QCOMPARE(first.state(), QProcess::Running);

    // A killed copy leaves its socket behind; the next start takes the name over.
    first.kill();
    QVERIFY(first.waitForFinished(10000));
    QVERIFY(QFileInfo::exists(socket));
    QProcess third;
    start(third, firstHome);
    QVERIFY(third.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(SendAside(Message::Activate, socket), 20000);
    QCOMPARE(third.state(), QProcess::Running);
    third.kill();
    third.waitForFinished(10000);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_app_singleinstance.moc"
