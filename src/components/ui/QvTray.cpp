#include "components/ui/QvTray.h"

#include "store/AppError.h"
#include "store/Prompter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QStyle>
#include <QWidget>
#include <QWindow>

namespace quillpad {

namespace {

const QString TrayErrorCaption = QStringLiteral("Ambrel TrayIcon Error");

bool IsWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace

TQvTrayIcon::TQvTrayIcon(QWidget *owner, std::unique_ptr<TrayHost> host)
    : QObject(owner), m_owner(owner), m_host(host ? std::move(host) : std::make_unique<QtTrayHost>()),
      m_ownMenu(std::make_unique<QMenu>())
{
    m_ownMenu->setObjectName(QStringLiteral("TrayOwnMenu"));
    m_ownMenu->addAction(QStringLiteral("&Close"), qApp, &QCoreApplication::quit);
    m_ownMenu->addAction(QStringLiteral("&Restore"), this, [this] { Restore(); });
    setPopupMenu(m_ownMenu.get());

    m_host->events.click = [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
        iconClicked(button, modifiers);
    };
    m_host->events.doubleClick = [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
        iconDoubleClicked(button, modifiers);
    };
    m_host->events.contextMenu = [this](const QPoint &position) { iconContextMenu(position); };
    m_host->events.balloonClick = [this] { balloonClicked(); };
    m_host->events.availabilityChanged = [this](bool present) { areaChanged(present); };

    m_trayRetry.setInterval(TrayRetryMs);
    connect(&m_trayRetry, &QTimer::timeout, this, &TQvTrayIcon::retryTray);

    // The owner's close and minimise are seen through its events, which survive the
    // native window being made anew (as "stay on top" does).
    if (m_owner)
        m_owner->installEventFilter(this);
    if (m_active)
        AddToTray();
}

TQvTrayIcon::~TQvTrayIcon()
{
    RemoveFromTray();
    if (m_owner)
        m_owner->removeEventFilter(this);
}

// --- the platform ----------------------------------------------------------------------

TrayHost::IconData TQvTrayIcon::iconData() const
{
    TrayHost::IconData data;
    data.icon = m_currentIcon;
    if (data.icon.isNull())
        data.icon = QApplication::windowIcon();
    if (data.icon.isNull())
        data.icon = QApplication::style()->standardIcon(QStyle::SP_DesktopIcon);
    data.tip = m_hint.left(MaxHint);
    data.showTip = m_showHint;
    return data;
}

bool TQvTrayIcon::NotifyIcon(bool add)
{
    return add ? m_host->add(iconData()) : m_host->modify(iconData());
}

void TQvTrayIcon::AddToTray()
{
    if (m_shown)
        return;
    if (!m_host->available()) {
        // No notification area (yet): nothing to report, look again later.
        if (m_active)
            lookAgainLater();
        return;
    }
    m_trayRetry.stop();
    m_host->setMenu(m_popupMenu);
    m_shown = NotifyIcon(true);
    if (!m_shown)
        showError(QStringLiteral("AddToTray can not add icon to the tray"));
}

void TQvTrayIcon::RemoveFromTray()
{
    m_trayRetry.stop();
    if (!m_shown)
        return;
    m_host->remove();
    m_shown = false;
}

void TQvTrayIcon::ResetIcon()
{
    // Only an icon that is in the tray can change there; one still waiting for a
    // notification area takes the new picture when it goes in.
    if (m_active && m_shown && !NotifyIcon(false))
        showError(QStringLiteral("ResetIcon Error"));
}

void TQvTrayIcon::retryTray()
{
    if (!m_active || m_shown) {
        m_trayRetry.stop();
        return;
    }
    AddToTray();
    if (m_shown && m_animationWanted)
        setAnimate(true);
}

void TQvTrayIcon::lookAgainLater()
{
    // A host that tells when the notification area comes needs no asking.
    if (!m_host->tellsAvailability())
        m_trayRetry.start();
}

void TQvTrayIcon::areaChanged(bool present)
{
    if (!m_active)
        return;
    if (present) {
        AddToTray();
        if (m_shown && m_animationWanted)
            setAnimate(true);
        return;
    }
    if (m_shown) {
        m_host->remove();
        m_shown = false;
    }
    // The place the window was hidden in is gone: the window comes back.
    if (m_ownerInTray && m_owner && !m_owner->isVisible())
        Restore();
    lookAgainLater();
}

void TQvTrayIcon::showError(const QString &text) const
{
    PromptMessage box;
    box.caption = TrayErrorCaption;
    box.text = text;
    box.icon = PromptIcon::Error;
    Prompter::instance().message(box);
}

// --- properties ------------------------------------------------------------------------

void TQvTrayIcon::setActive(bool value)
{
    if (value) {
        m_active = true;
        AddToTray();
        if (m_animationWanted)
            setAnimate(true);
    } else {
        if (m_animate) {
            setAnimate(false);
            m_animationWanted = true;
        }
        m_active = false;
        RemoveFromTray();
    }
}

void TQvTrayIcon::setHint(const QString &value)
{
    if (value == m_hint)
        return;
    m_hint = value;
    if (m_showHint && m_shown && !NotifyIcon(false))
        showError(QStringLiteral("SetHint Error"));
}

void TQvTrayIcon::setShowHint(bool value)
{
    m_showHint = value;
    if (m_shown && !NotifyIcon(false))
        showError(QStringLiteral("SetShowHint Error"));
}

void TQvTrayIcon::setIcon(const QIcon &value)
{
    m_icon = value;
    m_currentIcon = value;
    if (m_shown)
        ResetIcon();
}

void TQvTrayIcon::setCurrentFromImages()
{
    m_currentIcon = m_images.value(m_imageIndex);
}

void TQvTrayIcon::setImages(const QList<QIcon> &images)
{
    m_images = images;
    m_hasImages = true;
    if (!m_icon.isNull())
        return;
    setCurrentFromImages();
    ResetIcon();
}

void TQvTrayIcon::setImageIndex(int value)
{
    m_imageIndex = value;
    if (!m_shown)
        return;
    if (!m_hasImages) {
        showError(QStringLiteral("SetImageIndex: No image list assigned"));
        return;
    }
    setCurrentFromImages();
    ResetIcon();
}

void TQvTrayIcon::setInterval(int value)
{
    m_interval = value;
    if (m_animationTimer)
        m_animationTimer->setInterval(value);
}

void TQvTrayIcon::setAnimate(bool value)
{
    if (value == m_animate)
        return;
    m_animate = value;
    if (!m_active)
        return;
    m_animationWanted = value;
    if (value) {
        if (!m_animationTimer) {
            m_animationTimer = std::make_unique<QTimer>();
            connect(m_animationTimer.get(), &QTimer::timeout, this, &TQvTrayIcon::AnimateTick);
        }
        if (m_interval == 0)
            m_interval = 200;
        m_animationTimer->setInterval(m_interval);
        m_animationTimer->start();
    } else {
        if (m_animationTimer)
            m_animationTimer->stop();
        if (!m_icon.isNull())
            m_currentIcon = m_icon;
        else if (m_hasImages)
            setCurrentFromImages();
        ResetIcon();
    }
}

void TQvTrayIcon::setPopupMenu(QMenu *menu)
{
    m_popupMenu = menu;
    if (m_shown)
        m_host->setMenu(menu);
}

void TQvTrayIcon::AnimateTick()
{
    if (!m_hasImages || !m_shown || m_images.isEmpty())
        return;
    m_currentIcon = m_images.value(m_nextFrame);
    ResetIcon();
    ++m_nextFrame;
    if (m_nextFrame >= m_images.size())
        m_nextFrame = 0;
}

// --- operations ------------------------------------------------------------------------

void TQvTrayIcon::Restore(const QString &activationToken)
{
    ++m_restores;
    if (m_minimizeOnExpose) {
        m_minimizeOnExpose->removeEventFilter(this);
        m_minimizeOnExpose = nullptr;
    }
    if (OnRestore)
        OnRestore(this);
    if (m_owner) {
        m_ownerInTray = false;
        // A window hidden while minimised comes back in its normal (or maximised) state.
        if (m_owner->windowState() & Qt::WindowMinimized)
            m_owner->setWindowState(m_owner->windowState() & ~Qt::WindowMinimized);
        // Wayland never tells a client that its window was minimised, and a shown window
        // cannot be raised there: a window that is shown but not active may sit minimised
        // in the compositor, and only showing it anew brings it back.
        if (m_owner->isVisible() && !m_owner->isActiveWindow() && IsWayland()) {
            m_remapping = true;
            m_owner->hide();
            m_remapping = false;
        }
        m_owner->show();
        m_owner->raise();
        // Qt's Wayland plugin takes a token for an activation only from the environment,
        // and only when the compositor offers activation; a token is good for one
        // activation, so ours is not left behind for a later one or a started program.
        if (!activationToken.isEmpty())
            qputenv("XDG_ACTIVATION_TOKEN", activationToken.toLatin1());
        m_owner->activateWindow();
        if (!activationToken.isEmpty())
            qunsetenv("XDG_ACTIVATION_TOKEN");
    }
    if (m_hideOnRestore)
        RemoveFromTray();
}

void TQvTrayIcon::Minimize()
{
    if (!m_owner)
        return;
    if (m_minimizeToTray && m_active && m_shown) {
        // Hidden without asking the window manager to iconify first: its answer comes
        // late, after a quick restore, and minimised the window again (the first click
        // on the icon seemed lost). Hidden once the event loop runs, as this may come
        // while the window is being shown.
        if (OnMinimize)
            OnMinimize(this);
        const quint64 restores = m_restores;
        QMetaObject::invokeMethod(
            this,
            [this, restores] {
                if (restores == m_restores && m_owner && m_owner->isVisible())
                    hideOwner();
            },
            Qt::QueuedConnection);
        return;
    }
    // A Wayland compositor ignores a minimise asked before the window is on the screen (a
    // start with "Run program minimized"): it is asked again once the window shows.
    QWindow *window = m_owner->windowHandle();
    if (window && !window->isExposed() && IsWayland()) {
        m_minimizeOnExpose = window;
        window->installEventFilter(this);
    }
    m_owner->setWindowState(m_owner->windowState() | Qt::WindowMinimized);
}

void TQvTrayIcon::minimizeNowExposed()
{
    if (m_minimizeOnExpose)
        m_minimizeOnExpose->removeEventFilter(this);
    m_minimizeOnExpose = nullptr;
    // After the drawing that goes with the expose, so the window is on the screen.
    const quint64 restores = m_restores;
    QMetaObject::invokeMethod(
        this,
        [this, restores] {
            if (restores == m_restores && m_owner && m_owner->isVisible())
                m_owner->setWindowState(m_owner->windowState() | Qt::WindowMinimized);
        },
        Qt::QueuedConnection);
}

void TQvTrayIcon::ShowBalloonHint(const QString &title, const QString &text, TQvBalloonHintIcon kind,
                                  int timeoutSeconds)
{
    m_host->balloon(title.left(MaxBalloonTitle), text.left(MaxBalloonText), kind, timeoutSeconds * 1000);
}

void TQvTrayIcon::hideOwner()
{
    AddToTray();
    if (m_shown && m_owner) {
        m_ownerInTray = true;
        m_owner->hide();
    }
}

void TQvTrayIcon::hideMinimizedOwner()
{
    if (m_owner && (m_owner->windowState() & Qt::WindowMinimized) && m_minimizeToTray && m_active)
        hideOwner();
}

// --- events ----------------------------------------------------------------------------

void TQvTrayIcon::iconClicked(Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    if (OnClick)
        OnClick(this, button, modifiers);
}

void TQvTrayIcon::iconDoubleClicked(Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    bool restoreApp = true;
    if (OnDblClick)
        OnDblClick(this, button, modifiers, restoreApp);
    if (restoreApp)
        Restore();
}

void TQvTrayIcon::iconContextMenu(const QPoint &position)
{
    if (m_popupMenu)
        m_popupMenu->popup(position);
}

void TQvTrayIcon::balloonClicked()
{
    if (OnBalloonHintClick)
        OnBalloonHintClick(this);
}

bool TQvTrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    if (m_minimizeOnExpose && watched == m_minimizeOnExpose) {
        if (event->type() == QEvent::Expose && m_minimizeOnExpose->isExposed())
            minimizeNowExposed();
        return false;
    }
    if (watched != m_owner)
        return false;
    bool handled = false;
    RunGuarded([&] {
        if (event->type() == QEvent::Close && event->spontaneous()) {
            // The close box (or the window manager's close): hide to the tray instead.
            // The program's own close() is not spontaneous and goes through.
            if (m_closeToTray && m_active) {
                hideOwner();
                if (m_shown) {
                    event->ignore();
                    handled = true;
                } else if (m_hideWithoutTray) {
                    m_owner->hide();
                    event->ignore();
                    handled = true;
                    if (OnHideWithoutTray)
                        OnHideWithoutTray(this);
                }
            }
        } else if (event->type() == QEvent::WindowStateChange && m_owner &&
                   (m_owner->windowState() & Qt::WindowMinimized) &&
                   !(static_cast<QWindowStateChangeEvent *>(event)->oldState() & Qt::WindowMinimized)) {
            if (OnMinimize)
                OnMinimize(this);
            // Hidden once the minimising is done: a window being shown minimised would
            // otherwise come back at once.
            if (m_minimizeToTray && m_active)
                QMetaObject::invokeMethod(this, &TQvTrayIcon::hideMinimizedOwner, Qt::QueuedConnection);
        }
    });
    return handled;
}

}  // namespace quillpad
