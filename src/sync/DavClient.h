#pragma once
// The HTTP side of the sync: one user's requests to one server, with the password, the
// redirect rule, the certificate trust and the limits in one place. Answers come from the
// event loop.

#include "sync/DavLimits.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPair>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkReply;

namespace quillpad {

// Plain http is allowed to this machine alone.
bool IsLocalHost(const QString &host);
// https, or http to this machine.
bool MayCarryPassword(const QUrl &url);
// "https://host:port": where the password may go.
QString UrlOrigin(const QUrl &url);

// A certificate's SHA-256 fingerprint as the sync shows and stores it: "AB:CD:...".
QString CertificateFingerprint(const QSslCertificate &certificate);
// A fingerprint as the user typed it (hex, with or without colons or blanks, any case), in
// the form above; empty when it is not 32 bytes of hex.
QString NormalizedFingerprint(const QString &typed);
// The CA certificates of SSL_CERT_FILE and the folders of SSL_CERT_DIR, as OpenSSL reads them.
QList<QSslCertificate> EnvironmentCaCertificates();

class DavClient : public QObject {
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    // status 0 never reaches done: a request without an answer goes to the failure handler.
    using Done = std::function<void(int status, const QByteArray &body, QNetworkReply *reply)>;
    using Failed = std::function<void(const QString &error)>;

    DavClient(QString user, QString password, Failed failed, QObject *parent = nullptr);

    // The one origin (scheme, host, port) requests and the password go to.
    void setServer(const QUrl &server) { m_origin = UrlOrigin(server); }
    void setLimits(const DavLimits &limits) { m_limits = limits; }
    // A certificate the user chose to trust by its fingerprint, whatever vouches for it.
    void setTrustedCertificate(const QString &fingerprint) { m_trusted = NormalizedFingerprint(fingerprint); }

    void send(const QByteArray &verb, const QUrl &url, const QByteArray &body, const Headers &headers, Done done);
    // A PROPFIND asking for the given DAV: / caldav: properties.
    void propfind(const QUrl &url, int depth, const char *props, Done done);
    // Answers that come after this are dropped.
    void stop() { m_stopped = true; }

    // The fingerprint of the certificate the last failure refused; empty when none was.
    const QString &refusedCertificate() const { return m_refused; }

    static QString StatusText(int status);

private:
    struct Exchange;
    void send(const QByteArray &verb, const QUrl &url, const QByteArray &body, const Headers &headers, Done done,
              int redirects);
    void answered(QNetworkReply *reply, Exchange &exchange);
    void fail(const QString &error);

    QString m_user;
    QString m_password;
    Failed m_failed;
    QNetworkAccessManager m_network;
    QString m_origin;
    DavLimits m_limits;
    QString m_trusted;
    QString m_refused;
    QList<QSslCertificate> m_extraCas;
    bool m_stopped = false;
};

}  // namespace quillpad
