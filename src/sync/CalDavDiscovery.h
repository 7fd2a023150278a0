#pragma once
// Finding the user's task collections on a CalDAV server: /.well-known/caldav (or the
// address itself), the principal, its calendar home, and the calendars there that hold tasks.

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

namespace quillpad {

class DavClient;
struct SyncSettings;

// The server address the user typed; empty, with error set, when it cannot be used or
// would carry the password in the clear.
QUrl SyncServerUrl(const QString &typed, QString &error);

struct TaskCollection {
    QString path;
    QString name;  // the server's display name, may be empty
};

// Answers come from the event loop. A request without a usable answer goes to the
// DavClient's failure handler; a server that names no task collection to `failed`.
class CalDavDiscovery {
public:
    using Found = std::function<void(const QList<TaskCollection> &collections)>;  // in the server's order
    using Failed = std::function<void(const QString &error)>;

    CalDavDiscovery(DavClient &http, QUrl server, Found found, Failed failed);
    void start();

private:
    void findPrincipal(const QUrl &url, bool last);
    void findHome(const QUrl &principal);
    void findCollections(const QUrl &home);

    DavClient &m_http;
    QUrl m_server;
    Found m_found;
    Failed m_failed;
};

struct DiscoveryResult {
    QList<TaskCollection> collections;  // in the server's order; the sync takes the first
    QString error;                      // empty when the server was asked in full
    QString refusedCertificate;         // the SHA-256 fingerprint of a certificate not trusted
};

// The user's task collections on settings.server, for a choice; the reply comes from the
// event loop.
void DiscoverTaskCollections(const SyncSettings &settings, const QString &password,
                             std::function<void(const DiscoveryResult &)> reply);

}  // namespace quillpad
