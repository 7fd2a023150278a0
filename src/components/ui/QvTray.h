#pragma once
// The tray icon component: one icon in the notification area for its owner window,
// with a hint, a picture or an animation over a list of pictures, balloon tips, click
// events and a popup menu. It turns the owner's minimise and close commands into hiding
// the window while only the icon stays.
//
// Where the desktop has no notification area, the icon cannot go in: the owner's
// minimise acts as it always does, and its close too unless HideWithoutTray asks to hide
// the window all the same (the program keeps running; starting it again brings the
// window back). The notification area is followed as it comes and goes: when it goes,
// the icon is taken out and a window hidden there shows again; when it comes, the icon
// goes in. A host that cannot tell is asked again now and then.

#include "components/ui/TrayHost.h"

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <memory>

namespace quillpad {

class TQvTrayIcon : public QObject {
    Q_OBJECT

public:
    // The platform takes at most this many characters of a hint, of a balloon's title
    // and of its text.
    static constexpr int MaxHint = 127;
    static constexpr int MaxBalloonTitle = 63;
    static constexpr int MaxBalloonText = 255;
    // How often a wanted icon looks for a notification area that was missing.
    static constexpr int TrayRetryMs = 3000;

    using ClickEvent = std::function<void(TQvTrayIcon *sender, Qt::MouseButton, Qt::KeyboardModifiers)>;
    using DblClickEvent =
        std::function<void(TQvTrayIcon *sender, Qt::MouseButton, Qt::KeyboardModifiers, bool &restoreApp)>;
    using NotifyEvent = std::function<void(TQvTrayIcon *sender)>;

    // The owner is the window the icon stands for. Without a host the desktop's own is
    // used. The icon goes in at once while Active (as after loading a form).
    explicit TQvTrayIcon(QWidget *owner, std::unique_ptr<TrayHost> host = nullptr);
    ~TQvTrayIcon() override;

    bool Active() const { return m_active; }
    void setActive(bool value);
    bool Animate() const { return m_animate; }
    void setAnimate(bool value);
    bool CloseToTray() const { return m_closeToTray; }
    void setCloseToTray(bool value) { m_closeToTray = value; }
    bool HideWithoutTray() const { return m_hideWithoutTray; }
    void setHideWithoutTray(bool value) { m_hideWithoutTray = value; }
    bool HideOnRestore() const { return m_hideOnRestore; }
    void setHideOnRestore(bool value) { m_hideOnRestore = value; }
    const QString &Hint() const { return m_hint; }
    void setHint(const QString &value);
    const QIcon &Icon() const { return m_icon; }
    void setIcon(const QIcon &value);
    // The image list. Until one is set there is none, which differs from an empty one.
    const QList<QIcon> &Images() const { return m_images; }
    void setImages(const QList<QIcon> &images);
    int ImageIndex() const { return m_imageIndex; }
    void setImageIndex(int value);
    int Interval() const { return m_interval; }
    void setInterval(int value);
    bool MinimizeToTray() const { return m_minimizeToTray; }
    void setMinimizeToTray(bool value) { m_minimizeToTray = value; }
    QMenu *PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu *menu);
    bool ShowHint() const { return m_showHint; }
    void setShowHint(bool value);

    ClickEvent OnClick;
    DblClickEvent OnDblClick;
    NotifyEvent OnMinimize;
    NotifyEvent OnRestore;
    NotifyEvent OnHideWithoutTray;   // the close box hid the window with no tray to go to
    NotifyEvent OnBalloonHintHide;   // the desktop does not report these two: never called
    NotifyEvent OnBalloonHintClose;
    NotifyEvent OnBalloonHintClick;

    // Shows and activates the owner window; with the activation token a launcher gave
    // (XDG_ACTIVATION_TOKEN), a Wayland compositor lets it come to the front.
    void Restore(const QString &activationToken = {});
    // Minimises the owner window; with MinimizeToTray on and the icon in the tray, that
    // hides it to the tray straight away.
    void Minimize();
    // A balloon at the icon; timeoutSeconds from 0 to 255.
    void ShowBalloonHint(const QString &title, const QString &text, TQvBalloonHintIcon kind, int timeoutSeconds);

    bool shown() const { return m_shown; }
    // The owner is hidden in the tray (as opposed to shown, or hidden without one).
    bool ownerInTray() const { return m_ownerInTray; }
    // A restore on Wayland hides and shows the owner to bring it out of a minimise Qt
    // never learnt of; the owner's hide and show then are no user's.
    bool remapping() const { return m_remapping; }
    QMenu *ownMenu() const { return m_ownMenu.get(); }
    // The picture the icon shows now (before the application's icon stands in for none).
    const QIcon &currentIcon() const { return m_currentIcon; }
    QTimer *animationTimer() const { return m_animationTimer.get(); }
    QTimer &trayRetryTimer() { return m_trayRetry; }

    // The host's events: what the user did with the icon.
    void iconClicked(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void iconDoubleClicked(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void iconContextMenu(const QPoint &position);
    void balloonClicked();

    void AnimateTick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TrayHost::IconData iconData() const;
    bool NotifyIcon(bool add);
    void AddToTray();
    void RemoveFromTray();
    void ResetIcon();
    void hideOwner();
    void hideMinimizedOwner();
    void minimizeNowExposed();
    void setCurrentFromImages();
    void showError(const QString &text) const;
    void retryTray();
    void lookAgainLater();
    void areaChanged(bool present);

    QPointer<QWidget> m_owner;
    QPointer<QWindow> m_minimizeOnExpose;  // a minimise waiting for the window to show
    std::unique_ptr<TrayHost> m_host;
    std::unique_ptr<QMenu> m_ownMenu;
    std::unique_ptr<QTimer> m_animationTimer;
    QTimer m_trayRetry;

    bool m_active = true;
    bool m_animate = false;
    bool m_closeToTray = true;
    bool m_hideOnRestore = false;
    bool m_hideWithoutTray = false;
    bool m_ownerInTray = false;
    bool m_remapping = false;
    quint64 m_restores = 0;  // a minimise waiting for the event loop gives way to a restore
    QString m_hint;
    QIcon m_icon;
    QList<QIcon> m_images;
    bool m_hasImages = false;
    int m_imageIndex = 0;
    int m_interval = 250;
    bool m_minimizeToTray = false;
    QPointer<QMenu> m_popupMenu;
    bool m_showHint = true;

    bool m_shown = false;
    bool m_animationWanted = false;
    int m_nextFrame = 0;
    QIcon m_currentIcon;
};

}  // namespace quillpad
