#pragma once
// Whether the desktop shows a notification area right now, and word the moment that
// changes: a StatusNotifierItem host behind org.kde.StatusNotifierWatcher on the session
// bus, or on X11 an XEmbed tray (the owner of the _NET_SYSTEM_TRAY_S<n> selection). Both
// are followed by what the bus and the X server tell, so nothing is polled.
//
// Asking Qt instead would not do: QSystemTrayIcon decides once per process, at the first
// icon or question, whether a StatusNotifierItem host exists, and keeps that answer.

#include <QAbstractNativeEventFilter>
#include <QObject>

namespace quillpad {

class NotificationAreaWatcher : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit NotificationAreaWatcher(QObject *parent = nullptr);
    ~NotificationAreaWatcher() override;

    bool present() const { return m_statusNotifierHost || m_xembedTray; }
    bool statusNotifierHost() const { return m_statusNotifierHost; }
    bool xembedTray() const { return m_xembedTray; }
    // Whether a change is told at all (a session bus or an X server to listen to);
    // without either, present() stays as it was first found.
    bool tellsChanges() const { return m_busWatched || m_xWatched; }

    // Pictures the answer once, without following it.
    static bool presentNow();

signals:
    void changed(bool present);

protected:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private slots:
    void askStatusNotifierHost();

private:
    void watchBus();
    void watchX11();
    void setStatusNotifierHost(bool value);
    void setXembedTray(bool value);
    void announce(bool before);

    bool m_statusNotifierHost = false;
    bool m_xembedTray = false;
    bool m_busWatched = false;
    bool m_xWatched = false;
    quint32 m_trayAtom = 0;
    quint8 m_xfixesFirstEvent = 0;
    quint64 m_askGeneration = 0;  // only the latest answer about the host counts
};

}  // namespace quillpad
