#include "sync/DavClient.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace quillpad {

namespace {
constexpr int TransferTimeoutMs = 120000;  // no byte for this long: the server is gone
constexpr int MaxRedirects = 5;
}  // namespace

bool IsLocalHost(const QString &host)
{
    return host == u"localhost" || host == u"127.0.0.1" || host == u"::1" || host == u"[::1]";
}

bool MayCarryPassword(const QUrl &url)
{
    return url.scheme() == u"https" || (url.scheme() == u"http" && IsLocalHost(url.host()));
}

DavClient::DavClient(QString user, QString password, Failed failed, QObject *parent)
    : QObject(parent), m_user(std::move(user)), m_password(std::move(password)), m_failed(std::move(failed))
{
}

QString DavClient::StatusText(int status)
{
    return status == 0 ? QStringLiteral("no answer") : QStringLiteral("HTTP %1").arg(status);
}

void DavClient::propfind(const QUrl &url, int depth, const char *props, Done done)
{
    const QByteArray body = QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                                       "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop>") +
                            props + "</d:prop></d:propfind>";
    send("PROPFIND", url, body, {{"Depth", QByteArray::number(depth)}}, std::move(done));
}

void DavClient::send(const QByteArray &verb, const QUrl &url, const QByteArray &body, const Headers &headers, Done done)
{
    send(verb, url, body, headers, std::move(done), 0);
}

void DavClient::send(const QByteArray &verb, const QUrl &url, const QByteArray &body, const Headers &headers, Done done,
                     int redirects)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(TransferTimeoutMs);
    request.setRawHeader("Authorization", "Basic " + (m_user + QLatin1Char(':') + m_password).toUtf8().toBase64());
    if (!body.isEmpty() && !request.hasRawHeader("Content-Type"))
        request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply *reply = m_network.sendCustomRequest(request, verb, body);
    connect(reply, &QNetworkReply::finished, this, [this, reply, verb, body, headers, done, redirects] {
        reply->deleteLater();
        if (m_stopped)
            return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if ((status == 301 || status == 302 || status == 307 || status == 308) && redirects < MaxRedirects) {
            const QUrl target = reply->url().resolved(reply->header(QNetworkRequest::LocationHeader).toUrl());
            if (!MayCarryPassword(target))
                return m_failed(QStringLiteral("Refused a redirect to %1 without TLS").arg(target.toString()));
            return send(verb, target, body, headers, done, redirects + 1);
        }
        if (status == 401)
            return m_failed(QStringLiteral("The server refused the user name or password"));
        if (status == 0 && reply->error() == QNetworkReply::OperationCanceledError)
            return m_failed(QStringLiteral("No answer from %1 for %2 seconds").arg(reply->url().host()).arg(TransferTimeoutMs / 1000));
        if (status == 0)
            return m_failed(QStringLiteral("No answer from %1: %2").arg(reply->url().host(), reply->errorString()));
        done(status, reply->readAll(), reply);
    });
}

}  // namespace quillpad
