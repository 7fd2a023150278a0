#include "sync/CalDavDiscovery.h"

#include "sync/DavClient.h"
#include "sync/DavXml.h"
#include "sync/SyncPassword.h"
#include "sync/SyncRunner.h"

#include <QNetworkReply>

namespace quillpad {

namespace {

// The property a discovery step asked for, from the last response that names it.
QString Named(int status, const QByteArray &body, QString DavResponse::*property)
{
    QString value;
    if (status == 207)
        for (const DavResponse &r : ParseMultiStatus(body).responses)
            if (!(r.*property).isEmpty())
                value = r.*property;
    return value;
}

}  // namespace

QUrl SyncServerUrl(const QString &typed, QString &error)
{
    if (typed.trimmed().isEmpty()) {
        error = QStringLiteral("No sync server is set");
        return {};
    }
    const QUrl server = QUrl::fromUserInput(typed.trimmed());
    const bool web = server.scheme() == QLatin1String("https") || server.scheme() == QLatin1String("http");
    if (!server.isValid() || !web || server.host().isEmpty() || typed.trimmed().contains(QLatin1Char(' '))) {
        error = QStringLiteral("\"%1\" is not a server address: type one such as https://cloud.example.org")
                    .arg(typed.trimmed());
        return {};
    }
    if (!MayCarryPassword(server)) {
        error = QStringLiteral("Refused to send the password to %1 without TLS: use https://").arg(server.host());
        return {};
    }
    error.clear();
    return server;
}

CalDavDiscovery::CalDavDiscovery(DavClient &http, QUrl server, Found found, Failed failed)
    : m_http(http), m_server(std::move(server)), m_found(std::move(found)), m_failed(std::move(failed))
{
}

void CalDavDiscovery::start()
{
    findPrincipal(m_server.resolved(QUrl(QStringLiteral("/.well-known/caldav"))), false);
}

// Without a principal at the well-known address, the address itself is asked.
void CalDavDiscovery::findPrincipal(const QUrl &url, bool last)
{
    m_http.propfind(url, 0, "<d:current-user-principal/>", [this, last](int status, const QByteArray &body, QNetworkReply *reply) {
        const QString principal = Named(status, body, &DavResponse::principal);
        if (!principal.isEmpty())
            return findHome(reply->url().resolved(QUrl(principal)));
        if (!last && reply->url() != m_server)
            return findPrincipal(m_server, true);
        m_failed(QStringLiteral("The server %1 names no CalDAV principal (%2)")
                     .arg(m_server.toString(), DavClient::StatusText(status)));
    });
}

void CalDavDiscovery::findHome(const QUrl &principal)
{
    m_http.propfind(principal, 0, "<c:calendar-home-set/>", [this, principal](int status, const QByteArray &body, QNetworkReply *) {
        const QString home = Named(status, body, &DavResponse::calendarHome);
        if (home.isEmpty())
            return m_failed(QStringLiteral("The server has no calendar home for this user (%1)").arg(DavClient::StatusText(status)));
        findCollections(principal.resolved(QUrl(home)));
    });
}

void CalDavDiscovery::findCollections(const QUrl &home)
{
    m_http.propfind(home, 1, "<d:resourcetype/><d:displayname/><c:supported-calendar-component-set/>",
                    [this, home](int status, const QByteArray &body, QNetworkReply *) {
                        if (status != 207)
                            return m_failed(QStringLiteral("Unable to list the calendars (%1)").arg(DavClient::StatusText(status)));
                        QList<TaskCollection> found;
                        for (const DavResponse &r : ParseMultiStatus(body).responses)
                            if (r.isCalendar && (r.components.isEmpty() || r.components.contains(QStringLiteral("VTODO"))))
                                found.append({home.resolved(QUrl(r.href)).path(), r.displayName});
                        if (found.isEmpty())
                            return m_failed(QStringLiteral("The server has no task collection for this user"));
                        m_found(found);
                    });
}

namespace {

// A discovery of its own, for a dialog: gone once it has answered.
class StandaloneDiscovery : public QObject {
public:
    StandaloneDiscovery(const SyncSettings &settings, const QString &password, std::function<void(const DiscoveryResult &)> reply)
        : m_reply(std::move(reply)), m_http(settings.user, password, [this](const QString &error) { failed(error); }),
          m_server(SyncServerUrl(settings.server, m_result.error)),
          m_discovery(m_http, m_server,
                      [this](const QList<TaskCollection> &found) {
                          m_result.collections = found;
                          answer();
                      },
                      [this](const QString &error) { failed(error); })
    {
        m_http.setLimits(settings.limits);
        m_http.setTrustedCertificate(settings.trustedCertificate);
        if (!m_result.error.isEmpty()) {
            QMetaObject::invokeMethod(this, [this] { answer(); }, Qt::QueuedConnection);
            return;
        }
        m_http.setServer(m_server);
        m_discovery.start();
    }

private:
    void failed(const QString &error)
    {
        m_result.error = error;
        m_result.refusedCertificate = m_http.refusedCertificate();
        answer();
    }
    void answer()
    {
        if (!m_reply)
            return;
        m_http.stop();
        std::exchange(m_reply, {})(m_result);
        deleteLater();
    }

    DiscoveryResult m_result;
    std::function<void(const DiscoveryResult &)> m_reply;
    DavClient m_http;
    QUrl m_server;  // empty, with the error in m_result, when it cannot be used
    CalDavDiscovery m_discovery;
};

}  // namespace

void DiscoverTaskCollections(const SyncSettings &settings, const QString &password,
                             std::function<void(const DiscoveryResult &)> reply)
{
    HoldingPassword();
    new StandaloneDiscovery(settings, password, std::move(reply));
}

}  // namespace quillpad
