#include "components/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace quillpad {

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// One message per connection: a word, for "activate" a blank and a token, and "\n"; the
// running copy answers "ok\n".
constexpr qsizetype MaxLineLength = 16 + SingleInstance::MaxActivationToken;
const QByteArray Reply = QByteArrayLiteral("ok\n");

QByteArray WireWord(SingleInstance::Message message)
{
    switch (message) {
    case SingleInstance::Message::Activate:
        return QByteArrayLiteral("activate");
    case SingleInstance::Message::Reload:
        return QByteArrayLiteral("reload");
    }
    return {};
}

// Tokens are opaque to us; printable ASCII without blanks is what compositors hand out
// and all a line can carry.
bool IsToken(const QByteArray &token)
{
    if (token.isEmpty() || token.size() > SingleInstance::MaxActivationToken)
        return false;
    return std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

struct WireMessage {
    SingleInstance::Message message;
    QString activationToken;
};

std::optional<WireMessage> MessageFromWire(const QByteArray &line)
{
    const qsizetype blank = line.indexOf(' ');
    const QByteArray word = blank < 0 ? line : line.left(blank);
    for (const auto message : {SingleInstance::Message::Activate, SingleInstance::Message::Reload}) {
        if (word != WireWord(message))
            continue;
        if (blank < 0)
            return WireMessage{message, {}};
        const QByteArray token = line.mid(blank + 1);
        if (message != SingleInstance::Message::Activate || !IsToken(token))
            return std::nullopt;
        return WireMessage{message, QString::fromLatin1(token)};
    }
    return std::nullopt;
}

QString UserTag()
{
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    return qEnvironmentVariable("USERNAME", QStringLiteral("user"));
#endif
}

// The runtime folder is private to the user; the temp folder is shared, hence the user
// tag in both names.
QString InstanceFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).absolutePath() + QLatin1Char('/');
}

// A live copy accepts the connection even while it is too busy to answer; a socket
// left by a dead copy refuses it at once.
bool SomeoneListens(const QString &serverName)
{
    QLocalSocket probe;
    probe.connectToServer(serverName);
    return probe.waitForConnected(SingleInstance::DefaultTimeoutMs);
}

}  // namespace

QString SingleInstance::DefaultServerName()
{
    return InstanceFolder() + QStringLiteral("ambrel-quillpad-") + UserTag();
}

QString SingleInstance::DefaultLockPath()
{
    return InstanceFolder() + QStringLiteral("Ambrel-Quillpad-Mutex-") + UserTag() +
           QStringLiteral(".lock");
}

QString SingleInstance::LauncherActivationToken()
{
    return qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
}

bool SingleInstance::SendToRunning(Message message, const QString &serverName, int timeoutMs,
                                   const QString &activationToken)
{
    QByteArray line = WireWord(message);
    const QByteArray token = activationToken.toLatin1();
    // A token the line cannot carry is left out: the window still comes, only maybe not
    // to the front.
    if (message == Message::Activate && IsToken(token) && QString::fromLatin1(token) == activationToken)
        line += ' ' + token;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(line + '\n');
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    while (!socket.canReadLine() && socket.bytesAvailable() <= MaxLineLength) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    return socket.readLine(MaxLineLength) == Reply;
}

SingleInstance::SingleInstance(QString serverName, QString lockPath, QObject *parent)
    : QObject(parent), m_serverName(std::move(serverName)), m_lockPath(std::move(lockPath))
{
}

SingleInstance::~SingleInstance() = default;

void SingleInstance::release()
{
    if (m_server)
        m_server->close();
    m_mutex.reset();
}

SingleInstance::ListenResult SingleInstance::listen()
{
    if (m_server && m_server->isListening())
        return ListenResult::Listening;
    if (!m_server) {
        m_server = new QLocalServer(this);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptClients);
    }

    // Two copies starting at once must not both find the socket dead and both take it.
    QLockFile startGuard(m_serverName + QStringLiteral(".lock"));
    startGuard.setStaleLockTime(0);  // stale only when its holder has died
    startGuard.tryLock(DefaultTimeoutMs);

    // Binding fails while any file holds the name, so a live copy's socket is never
    // replaced unasked.
    if (!m_server->listen(m_serverName)) {
        if (m_server->serverError() != QAbstractSocket::AddressInUseError) {
            m_error = m_server->errorString();
            return ListenResult::Failed;
        }
        if (SomeoneListens(m_serverName))
            return ListenResult::OtherCopyRunning;
        QLocalServer::removeServer(m_serverName);
        if (!m_server->listen(m_serverName)) {
            m_error = m_server->errorString();
            return ListenResult::Failed;
        }
    }

    m_mutex = std::make_unique<QLockFile>(m_lockPath);
    m_mutex->setStaleLockTime(0);
    m_mutex->tryLock(0);  // held for the run; whether it succeeded decides nothing
    return ListenResult::Listening;
}

void SingleInstance::acceptClients()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readClient(client); });
        QTimer::singleShot(m_clientTimeoutMs, client, [client] {
            client->abort();
            client->deleteLater();
        });
        if (client->bytesAvailable() > 0)
            readClient(client);
    }
}

void SingleInstance::readClient(QLocalSocket *client)
{
    if (client->state() != QLocalSocket::ConnectedState)
        return;  // already answered or dropped
    const QByteArray head = client->peek(MaxLineLength + 1);
    const qsizetype end = head.indexOf('\n');
    if (end < 0) {
        if (head.size() > MaxLineLength) {
            client->abort();
            client->deleteLater();
        }
        return;  // wait for the rest of the line
    }
    const std::optional<WireMessage> message = MessageFromWire(client->read(end + 1).chopped(1));
    if (!message) {
        client->abort();
        client->deleteLater();
        return;
    }
    client->write(Reply);
    client->disconnectFromServer();

    switch (message->message) {
    case Message::Activate:
        emit activateRequested(message->activationToken);
        break;
    case Message::Reload:
        emit reloadRequested();
        break;
    }
}

}  // namespace quillpad
