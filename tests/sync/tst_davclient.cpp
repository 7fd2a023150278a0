// The sync's HTTP side against a small server in the test: where the password goes, and
// the limits on an answer's size and time, set low through the client's setter.

#include "sync/DavClient.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace quillpad;

namespace {

// Answers each request (its head and body read whole) through `answer`, and keeps what came.
class TinyServer : public QTcpServer {
public:
    using Answer = std::function<void(QTcpSocket *, const QByteArray &request)>;

    explicit TinyServer(const QHostAddress &address, Answer answer) : m_answer(std::move(answer))
    {
        listen(address);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString origin(const char *host) const { return QStringLiteral("http://%1:%2").arg(QLatin1String(host)).arg(serverPort()); }

    QByteArrayList requests;
    int connections = 0;

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        const qsizetype headEnd = pending.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        qsizetype length = 0;
        for (const QByteArray &line : pending.left(headEnd).split('\n'))
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        if (pending.size() < headEnd + 4 + length)
            return;
        const QByteArray request = pending.left(headEnd + 4 + length);
        pending.remove(0, request.size());
        requests.append(request);
        m_answer(socket, request);
    }

    Answer m_answer;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

const QByteArray Multistatus = "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\"/>";

void Send(QTcpSocket *socket, const QByteArray &head, const QByteArray &body = {})
{
    socket->write(head + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
}

// Blanks without end, as fast as the client takes them; `sent` counts what left.
void Flood(QTcpSocket *socket, qint64 *sent)
{
    socket->write("HTTP/1.1 207 Multi-Status\r\nConnection: close\r\n\r\n" + Multistatus);
    const QByteArray chunk(64 * 1024, ' ');
    auto more = [socket, sent, chunk] {
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < chunk.size() &&
               *sent < (qint64(1) << 30)) {
            socket->write(chunk);
            *sent += chunk.size();
        }
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
    more();
}

struct Outcome {
    int status = -1;
    QByteArray body;
    QString error;
};

// One request through the client, waited for on the event loop.
void Ask(DavClient &client, const QUrl &url, const QString &error, Outcome &outcome)
{
    bool answered = false;
    client.send("REPORT", url, "<x/>", {}, [&](int status, const QByteArray &body, QNetworkReply *) {
        outcome.status = status;
        outcome.body = body;
        answered = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(answered || !error.isEmpty(), 30000);
    outcome.error = error;
}

}  // namespace

class TestDavClient : public QObject {
    Q_OBJECT
private slots:
    void passwordOnlyToTheServersOrigin_data();
    void passwordOnlyToTheServersOrigin();
    void answerCutOffPastTheLimit_data();
    void answerCutOffPastTheLimit();
    void slowAnswerEndsAtTheDeadline();
    void fingerprintsAsTyped_data();
    void fingerprintsAsTyped();
};

void TestDavClient::passwordOnlyToTheServersOrigin_data()
{
    QTest::addColumn<QByteArray>("location");  // where the server sends the request on; "asked": the URL itself
    QTest::addColumn<QString>("error");
    QTest::newRow("a path on the same server") << QByteArray("/moved/") << QString();
    QTest::newRow("another port by redirect") << QByteArray("other")
                                              << QStringLiteral("sent the sync on to http://localhost:%1, another server");
    QTest::newRow("another port asked straight") << QByteArray("asked")
                                                 << QStringLiteral("Refused to send the password to http://localhost:%1");
}

void TestDavClient::passwordOnlyToTheServersOrigin()
{
    QFETCH(QByteArray, location);
    QFETCH(QString, error);
    TinyServer other(QHostAddress::LocalHost, [](QTcpSocket *socket, const QByteArray &) {
        Send(socket, "HTTP/1.1 207 Multi-Status\r\n", Multistatus);
    });
    const QByteArray target = location == "other" ? other.origin("localhost").toUtf8() + "/elsewhere/" : location;
    TinyServer server(QHostAddress::LocalHost, [&](QTcpSocket *socket, const QByteArray &request) {
        if (request.startsWith("REPORT /moved/"))
            Send(socket, "HTTP/1.1 207 Multi-Status\r\n", Multistatus);
        else
            Send(socket, "HTTP/1.1 307 Temporary Redirect\r\nLocation: " + target + "\r\n");
    });
    QString failed;
    DavClient client(QStringLiteral("ann"), QStringLiteral("s3cret"), [&](const QString &e) { failed = e; });
    client.setServer(QUrl(server.origin("127.0.0.1")));
    const QUrl asked = location == "asked" ? QUrl(other.origin("localhost") + QStringLiteral("/x/"))
                                           : QUrl(server.origin("127.0.0.1") + QStringLiteral("/tasks/"));
    Outcome outcome;
    Ask(client, asked, failed, outcome);
    QCOMPARE(other.connections, 0);
    if (error.isEmpty()) {
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.status, 207);
        QCOMPARE(server.requests.size(), 2);
        QVERIFY(server.requests.at(1).contains("Authorization: Basic"));
    } else {
        QVERIFY2(outcome.error.contains(error.arg(other.serverPort())), qPrintable(outcome.error));
        QCOMPARE(outcome.status, -1);
    }
}

void TestDavClient::answerCutOffPastTheLimit_data()
{
    QTest::addColumn<bool>("sized");
    QTest::newRow("its length announced") << true;
    QTest::newRow("no length, up to the connection's end") << false;
}

void TestDavClient::answerCutOffPastTheLimit()
{
    QFETCH(bool, sized);
    qint64 sent = 0;
    TinyServer server(QHostAddress::LocalHost, [&](QTcpSocket *socket, const QByteArray &) {
        if (sized)
            socket->write("HTTP/1.1 207 Multi-Status\r\nContent-Length: 1073741824\r\n\r\n" + Multistatus);
        else
            Flood(socket, &sent);
    });
    QString failed;
    DavClient client(QStringLiteral("ann"), QStringLiteral("s3cret"), [&](const QString &e) { failed = e; });
    client.setServer(QUrl(server.origin("127.0.0.1")));
    DavLimits limits;
    limits.maxAnswerBytes = 1 << 20;
    client.setLimits(limits);
    Outcome outcome;
    Ask(client, QUrl(server.origin("127.0.0.1") + QStringLiteral("/tasks/")), failed, outcome);
    QCOMPARE(outcome.error, QStringLiteral("The answer of 127.0.0.1 was longer than 1 MB, more than any task collection needs"));
    // Ended while it came: far less than the gigabyte on offer left the server.
    QVERIFY2(sent < (qint64(256) << 20), qPrintable(QString::number(sent)));
}

void TestDavClient::slowAnswerEndsAtTheDeadline()
{
    TinyServer server(QHostAddress::LocalHost, [](QTcpSocket *socket, const QByteArray &) {
        socket->write("HTTP/1.1 207 Multi-Status\r\nContent-Length: 100000\r\n\r\n");
        auto *drip = new QTimer(socket);
        QObject::connect(drip, &QTimer::timeout, socket, [socket] { socket->write(" "); });
        drip->start(50);
    });
    QString failed;
    DavClient client(QStringLiteral("ann"), QStringLiteral("s3cret"), [&](const QString &e) { failed = e; });
    client.setServer(QUrl(server.origin("127.0.0.1")));
    DavLimits limits;
    limits.deadlineMs = 500;
    client.setLimits(limits);
    QElapsedTimer clock;
    clock.start();
    Outcome outcome;
    Ask(client, QUrl(server.origin("127.0.0.1") + QStringLiteral("/tasks/")), failed, outcome);
    QCOMPARE(outcome.error, QStringLiteral("127.0.0.1 did not answer in full within 0.5 seconds"));
    QVERIFY(clock.elapsed() < 10000);
}

void TestDavClient::fingerprintsAsTyped_data()
{
    const QString shown = QStringLiteral("AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("as shown") << shown << shown;
    QTest::newRow("plain lower hex") << shown.toLower().remove(QLatin1Char(':')) << shown;
    QTest::newRow("as openssl prints it") << QStringLiteral("sha256 Fingerprint=") + shown << shown;
    QTest::newRow("short") << shown.left(60) << QString();
    QTest::newRow("not hex") << QString(shown).replace(QLatin1Char('A'), QLatin1Char('G')) << QString();
}

void TestDavClient::fingerprintsAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QCOMPARE(NormalizedFingerprint(typed), stored);
}

QTEST_GUILESS_MAIN(TestDavClient)
#include "tst_davclient.moc"
