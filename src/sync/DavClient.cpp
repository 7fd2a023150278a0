#include "sync/DavClient.h"

#include <QCryptographicHash>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>

#include <memory>

namespace quillpad {

namespace {

constexpr int MaxRedirects = 5;
constexpr qint64 ReadBufferBytes = 1 << 20;

QString Seconds(int ms)
{
    return QString::number(ms / 1000.0);
}

QString Size(qint64 bytes)
{
    return bytes % (1 << 20) == 0 ? QStringLiteral("%1 MB").arg(bytes >> 20) : QStringLiteral("%1 bytes").arg(bytes);
}

}  // namespace

bool IsLocalHost(const QString &host)
{
    return host == u"localhost" || host == u"127.0.0.1" || host == u"::1" || host == u"[::1]";
}

bool MayCarryPassword(const QUrl &url)
{
    return url.scheme() == u"https" || (url.scheme() == u"http" && IsLocalHost(url.host()));
}

QString UrlOrigin(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return {};
    const int port = url.port(url.scheme() == u"https" ? 443 : url.scheme() == u"http" ? 80 : -1);
    const QString host = url.host().contains(QLatin1Char(':')) ? QLatin1Char('[') + url.host() + QLatin1Char(']') : url.host();
    return QStringLiteral("%1://%2:%3").arg(url.scheme(), host).arg(port);
}

QString CertificateFingerprint(const QSslCertificate &certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString NormalizedFingerprint(const QString &typed)
{
    // Also as openssl prints it: "sha256 Fingerprint=AB:CD:...".
    QString hex = typed.section(QLatin1Char('='), -1);
    hex.remove(QRegularExpression(QStringLiteral("[\\s:]")));
    static const QRegularExpression sha256(QStringLiteral("^[0-9a-fA-F]{64}$"));
    if (!sha256.match(hex).hasMatch())
        return {};
    return QString::fromLatin1(QByteArray::fromHex(hex.toLatin1()).toHex(':').toUpper());
}

QList<QSslCertificate> EnvironmentCaCertificates()
{
    QList<QSslCertificate> found;
    const QString file = qEnvironmentVariable("SSL_CERT_FILE");
    if (!file.isEmpty())
        found += QSslCertificate::fromPath(file, QSsl::Pem);
    for (const QString &folder : qEnvironmentVariable("SSL_CERT_DIR").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        found += QSslCertificate::fromPath(folder + QStringLiteral("/*"), QSsl::Pem, QSslCertificate::PatternSyntax::Wildcard);
    return found;
}

// One request on its way, with what came of it so far.
struct DavClient::Exchange {
    QByteArray verb;
    QByteArray body;
    Headers headers;
    Done done;
    int redirects = 0;
    QByteArray answer;
    bool tooLarge = false;
    bool late = false;
    QStringList certificateProblems;  // why the server's certificate was not trusted
    QString certificate;              // its fingerprint
};

DavClient::DavClient(QString user, QString password, Failed failed, QObject *parent)
    : QObject(parent), m_user(std::move(user)), m_password(std::move(password)), m_failed(std::move(failed)),
      m_extraCas(EnvironmentCaCertificates())
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
    if (m_stopped)
        return;
    if (m_origin.isEmpty() || UrlOrigin(url) != m_origin) {
        // Refused as an answer would be: later, from the event loop.
        const QString error = QStringLiteral("Refused to send the password to %1: the sync server is %2")
                                  .arg(UrlOrigin(url).isEmpty() ? url.toString() : UrlOrigin(url), m_origin);
        QTimer::singleShot(0, this, [this, error] { fail(error); });
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_limits.silenceMs);
    if (url.scheme() == u"https" && !m_extraCas.isEmpty()) {
        QSslConfiguration tls = request.sslConfiguration();
        tls.addCaCertificates(m_extraCas);
        request.setSslConfiguration(tls);
    }
    request.setRawHeader("Authorization", "Basic " + (m_user + QLatin1Char(':') + m_password).toUtf8().toBase64());
    if (!body.isEmpty() && !request.hasRawHeader("Content-Type"))
        request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);

    auto exchange = std::make_shared<Exchange>();
    exchange->verb = verb;
    exchange->body = body;
    exchange->headers = headers;
    exchange->done = std::move(done);
    exchange->redirects = redirects;
    QNetworkReply *reply = m_network.sendCustomRequest(request, verb, body);

    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [reply, exchange] {
        exchange->late = true;
        reply->abort();
    });
    deadline->start(m_limits.deadlineMs);
    // The answer is taken as it comes and cut off once it is too long, never held whole first.
    const qint64 limit = m_limits.maxAnswerBytes;
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, exchange, limit] {
        // Set once the request is under way (before, the network thread never hears of it):
        // the rest waits in the socket until it is taken.
        reply->setReadBufferSize(ReadBufferBytes);
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limit) {
            exchange->tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, reply, [reply, exchange, limit] {
        if (exchange->tooLarge || exchange->late)
            return;
        QByteArray &answer = exchange->answer;
        const qint64 needed = answer.size() + reply->bytesAvailable();
        if (needed > limit) {
            exchange->tooLarge = true;
            reply->abort();
            return;
        }
        // A long answer gets room up to the limit at once: growing step by step would hold
        // the old copy and the new one together. Pages not written take no memory.
        if (needed > ReadBufferBytes && answer.capacity() < limit)
            answer.reserve(limit);
        answer += reply->readAll();
    });
    connect(reply, &QNetworkReply::sslErrors, reply, [this, reply, exchange](const QList<QSslError> &errors) {
        QSslCertificate certificate = reply->sslConfiguration().peerCertificate();
        if (certificate.isNull() && !errors.isEmpty())
            certificate = errors.front().certificate();
        exchange->certificate = CertificateFingerprint(certificate);
        if (!m_trusted.isEmpty() && exchange->certificate == m_trusted) {
            reply->ignoreSslErrors(errors);
            return;
        }
        for (const QSslError &error : errors)
            if (!exchange->certificateProblems.contains(error.errorString()))
                exchange->certificateProblems.append(error.errorString());
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, exchange] {
        reply->deleteLater();
        if (!m_stopped)
            answered(reply, *exchange);
    });
}

void DavClient::answered(QNetworkReply *reply, Exchange &exchange)
{
    const QString host = reply->url().host();
    if (exchange.late)
        return fail(QStringLiteral("%1 did not answer in full within %2 seconds").arg(host, Seconds(m_limits.deadlineMs)));
    QByteArray answer = std::move(exchange.answer);
    if (!exchange.tooLarge && reply->error() == QNetworkReply::NoError) {
        const QByteArray rest = reply->readAll();
        exchange.tooLarge = answer.size() + rest.size() > m_limits.maxAnswerBytes;
        answer += rest;
    }
    if (exchange.tooLarge)
        return fail(QStringLiteral("The answer of %1 was longer than %2, more than any task collection needs")
                        .arg(host, Size(m_limits.maxAnswerBytes)));
    if (!exchange.certificateProblems.isEmpty() && reply->error() != QNetworkReply::NoError) {
        m_refused = exchange.certificate;
        return fail(QStringLiteral("The certificate of %1 is not trusted: %2. Its SHA-256 fingerprint is %3")
                        .arg(host, exchange.certificateProblems.join(QStringLiteral("; ")), exchange.certificate));
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray location = reply->rawHeader("Location");
    if ((status == 301 || status == 302 || status == 307 || status == 308) && !location.isEmpty()) {
        if (exchange.redirects >= MaxRedirects)
            return fail(QStringLiteral("%1 sent the sync on more than %2 times").arg(host).arg(MaxRedirects));
        const QUrl target = reply->url().resolved(QUrl(QString::fromUtf8(location)));
        if (UrlOrigin(target) != m_origin)
            return fail(QStringLiteral("%1 sent the sync on to %2, another server; the password goes only to the "
                                       "server set for the sync. If %2 is right, set it as the server")
                            .arg(m_origin, UrlOrigin(target).isEmpty() ? target.toString() : UrlOrigin(target)));
        return send(exchange.verb, target, exchange.body, exchange.headers, std::move(exchange.done), exchange.redirects + 1);
    }
    if (status == 401)
        return fail(QStringLiteral("The server refused the user name or password"));
    if (status == 0 && reply->error() == QNetworkReply::OperationCanceledError)
        return fail(QStringLiteral("No answer from %1 for %2 seconds").arg(host, Seconds(m_limits.silenceMs)));
    if (status == 0 && reply->error() == QNetworkReply::SslHandshakeFailedError)
        return fail(QStringLiteral("No secure connection with %1: %2").arg(host, reply->errorString()));
    if (status == 0)
        return fail(QStringLiteral("No answer from %1: %2").arg(host, reply->errorString()));
    exchange.done(status, answer, reply);
}

void DavClient::fail(const QString &error)
{
    if (!m_stopped)
        m_failed(error);
}

}  // namespace quillpad
