#pragma once
// One running copy per user. The running copy listens on a local socket named after the
// program and the user; a second start (or the command-line companion) connects to it,
// sends one short line and goes away. QtCore + QtNetwork only, so the companion can send
// too.
//
// The running copy also holds the lock "Ambrel-Quillpad-Mutex" for its whole run. Nothing
// decides anything by that lock: the socket alone tells whether a copy runs.

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace quillpad {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Message {
        Activate,  // bring the window forward, also from the tray
        Reload,    // the database changed behind the program's back
    };
    Q_ENUM(Message)

    enum class ListenResult {
        Listening,         // this is the running copy now
        OtherCopyRunning,  // another copy took the name first: end this one
        Failed,            // no channel (see errorString()); the program may run without
    };
    Q_ENUM(ListenResult)

    static constexpr int DefaultTimeoutMs = 2000;
    static constexpr int DefaultClientTimeoutMs = 5000;

    // In the user's runtime folder (private to the user), else the temp folder.
    static QString DefaultServerName();
    static QString DefaultLockPath();

    // The longest activation token handed over; a longer one is left out.
    static constexpr int MaxActivationToken = 255;

    // Hands message to the running copy. True when a copy took it and said so; false at
    // once when nobody listens. Blocks for at most about timeoutMs. An Activate carries
    // the activation token this start got from its launcher (XDG_ACTIVATION_TOKEN), so
    // that the compositor lets the running copy's window come to the front.
    static bool SendToRunning(Message message, const QString &serverName = DefaultServerName(),
                              int timeoutMs = DefaultTimeoutMs, const QString &activationToken = {});

    // The token this process's launcher gave it, or empty.
    static QString LauncherActivationToken();

    explicit SingleInstance(QString serverName = DefaultServerName(),
                            QString lockPath = DefaultLockPath(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // Starts answering as the running copy. A socket left by a dead copy is removed only
    // after nobody answered on it. Takes the mutex lock when listening.
    ListenResult listen();

    // Stops answering and lets the lock go, as a copy that ends does.
    void release();
    QString serverName() const { return m_serverName; }
    QString errorString() const { return m_error; }

    // How long a connected client may stay silent before it is dropped.
    void setClientTimeout(int ms) { m_clientTimeoutMs = ms; }

signals:
    // The token is empty when the second start had none.
    void activateRequested(const QString &activationToken);
    void reloadRequested();

private:
    void acceptClients();
    void readClient(QLocalSocket *client);

    QString m_serverName;
    QString m_lockPath;
    QString m_error;
    int m_clientTimeoutMs = DefaultClientTimeoutMs;
    QLocalServer *m_server = nullptr;
    std::unique_ptr<QLockFile> m_mutex;
};

}  // namespace quillpad
