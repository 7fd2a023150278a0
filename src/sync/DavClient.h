#pragma once
// The HTTP side of the sync: one user's requests to one server, with the password, the
// redirect rule and the time limits in one place. Answers come from the event loop.

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkReply;

namespace quillpad {

// Plain http is allowed to this machine alone.
bool IsLocalHost(const QString &host);
// https, or http to this machine.
bool MayCarryPassword(const QUrl &url);

class DavClient : public QObject {
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    // status 0 never reaches done: a request without an answer goes to the failure handler.
    using Done = std::function<void(int status, const QByteArray &body, QNetworkReply *reply)>;
    using Failed = std::function<void(const QString &error)>;

    DavClient(QString user, QString password, Failed failed, QObject *parent = nullptr);

    void send(const QByteArray &verb, const QUrl &url, const QByteArray &body, const Headers &headers, Done done);
    // A PROPFIND asking for the given DAV: / caldav: properties.
    void propfind(const QUrl &url, int depth, const char *props, Done done);
    // Answers that come after this are dropped.
    void stop() { m_stopped = true; }

    static QString StatusText(int status);

private:
    void send(const QByteArray &verb, const QUrl &url, const QByteArray &body, const Headers &headers, Done done,
              int redirects);

    QString m_user;
    QString m_password;
    Failed m_failed;
    QNetworkAccessManager m_network;
    bool m_stopped = false;
};

}  // namespace quillpad
