#include "components/ui/NotificationAreaWatcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>

namespace quillpad {

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString WatcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
constexpr int BusTimeoutMs = 2000;

QDBusMessage HostQuestion()
{
    QDBusMessage call = QDBusMessage::createMethodCall(WatcherService, WatcherPath,
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << WatcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    return call;
}

bool HostAnswer(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

bool HostRegisteredNow(const QDBusConnection &bus)
{
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(WatcherService))
        return false;
    return HostAnswer(bus.call(HostQuestion(), QDBus::Block, BusTimeoutMs));
}

xcb_connection_t *X11Connection()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The screen DISPLAY names (":0.1"); the first when it names none.
int ScreenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon + 1);
    return colon >= 0 && dot > colon ? display.mid(dot + 1).toInt() : 0;
}

xcb_screen_t *Screen(xcb_connection_t *connection, int number)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem > 0; xcb_screen_next(&it), ++i)
        if (i == number)
            return it.data;
    return nullptr;
}

xcb_atom_t TrayAtom(xcb_connection_t *connection)
{
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(ScreenNumber());
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

bool SelectionOwned(xcb_connection_t *connection, xcb_atom_t atom)
{
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom), nullptr);
    const bool owned = reply && reply->owner != XCB_NONE;
    std::free(reply);
    return owned;
}

}  // namespace

NotificationAreaWatcher::NotificationAreaWatcher(QObject *parent) : QObject(parent)
{
    watchBus();
    watchX11();
}

NotificationAreaWatcher::~NotificationAreaWatcher()
{
    if (m_xWatched && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool NotificationAreaWatcher::presentNow()
{
    if (HostRegisteredNow(QDBusConnection::sessionBus()))
        return true;
    xcb_connection_t *connection = X11Connection();
    if (!connection)
        return false;
    const xcb_atom_t atom = TrayAtom(connection);
    return atom != XCB_ATOM_NONE && SelectionOwned(connection, atom);
}

// --- the StatusNotifierItem host -------------------------------------------------------

void NotificationAreaWatcher::watchBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    m_busWatched = true;
    // The watcher coming, going or changing hands (a panel restarting).
    auto *serviceWatcher = new QDBusServiceWatcher(WatcherService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(serviceWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                if (newOwner.isEmpty()) {
                    ++m_askGeneration;
                    setStatusNotifierHost(false);
                } else {
                    askStatusNotifierHost();
                }
            });
    // A host coming or going under the same watcher; any sender, as the watcher's
    // owner changes with the panel.
    for (const char *signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus.connect(QString(), WatcherPath, WatcherInterface, QLatin1String(signal), this,
                    SLOT(askStatusNotifierHost()));
    m_statusNotifierHost = HostRegisteredNow(bus);
}

void NotificationAreaWatcher::askStatusNotifierHost()
{
    const quint64 generation = ++m_askGeneration;
    auto *pending = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(HostQuestion(), BusTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, generation] {
        pending->deleteLater();
        if (generation == m_askGeneration)
            setStatusNotifierHost(HostAnswer(pending->reply()));
    });
}

void NotificationAreaWatcher::setStatusNotifierHost(bool value)
{
    const bool before = present();
    m_statusNotifierHost = value;
    announce(before);
}

// --- the XEmbed tray -------------------------------------------------------------------

void NotificationAreaWatcher::watchX11()
{
    xcb_connection_t *connection = X11Connection();
    if (!connection)
        return;
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    const xcb_screen_t *screen = Screen(connection, ScreenNumber());
    m_trayAtom = TrayAtom(connection);
    m_xembedTray = m_trayAtom != XCB_ATOM_NONE && SelectionOwned(connection, m_trayAtom);
    if (!xfixes || !xfixes->present || !screen || m_trayAtom == XCB_ATOM_NONE)
        return;
    std::free(xcb_xfixes_query_version_reply(connection, xcb_xfixes_query_version(connection, 1, 0), nullptr));
    m_xfixesFirstEvent = xfixes->first_event;
    // The server says when the selection gets an owner, and when its owner goes away.
    xcb_xfixes_select_selection_input(connection, screen->root, m_trayAtom,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(connection);
    QCoreApplication::instance()->installNativeEventFilter(this);
    m_xWatched = true;
}

bool NotificationAreaWatcher::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != m_xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY)
        return false;
    const auto *notify = static_cast<const xcb_xfixes_selection_notify_event_t *>(message);
    if (notify->selection != m_trayAtom)
        return false;
    setXembedTray(notify->owner != XCB_NONE);
    return true;  // ours alone: not a selection Qt knows
}

void NotificationAreaWatcher::setXembedTray(bool value)
{
    const bool before = present();
    m_xembedTray = value;
    announce(before);
}

void NotificationAreaWatcher::announce(bool before)
{
    if (present() != before)
        emit changed(present());
}

}  // namespace quillpad
