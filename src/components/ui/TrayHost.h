#pragma once
// The notification area as the tray icon component sees it: add, change and remove one
// icon, show a balloon, and report what the user does with the icon. The desktop's own
// is QtTrayHost; tests give the component a recording one.

#include <QIcon>
#include <QPoint>
#include <QString>

#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace quillpad {

class NotificationAreaWatcher;

// The balloon's icon kinds, numbered as stored by callers.
enum class TQvBalloonHintIcon { bhiNone = 0, bhiInfo = 1, bhiWarning = 2, bhiError = 3 };

class TrayHost {
public:
    // What the icon shows: the picture, and the tooltip when showTip is set. The tooltip
    // reaches the host already cut to the platform's length.
    struct IconData {
        QIcon icon;
        QString tip;
        bool showTip = true;
    };

    // What the user did with the icon, reported through the callbacks below.
    struct Events {
        std::function<void(Qt::MouseButton, Qt::KeyboardModifiers)> click;
        std::function<void(Qt::MouseButton, Qt::KeyboardModifiers)> doubleClick;
        std::function<void(const QPoint &)> contextMenu;  // the right button went down
        std::function<void()> balloonClick;
        // The notification area came (true) or went (false).
        std::function<void(bool)> availabilityChanged;
    };

    virtual ~TrayHost() = default;

    // Whether the desktop has a notification area right now.
    virtual bool available() const = 0;
    // Whether the host reports the notification area coming and going through
    // events.availabilityChanged; otherwise available() must be asked again now and then.
    virtual bool tellsAvailability() const { return false; }
    virtual bool add(const IconData &data) = 0;
    virtual bool modify(const IconData &data) = 0;
    virtual void remove() = 0;
    virtual void balloon(const QString &title, const QString &text, TQvBalloonHintIcon kind, int timeoutMs) = 0;
    // Hosts that open the menu themselves (a StatusNotifierItem host does) get it here.
    virtual void setMenu(QMenu *menu) = 0;

    Events events;
};

// The desktop's notification area through QSystemTrayIcon: a StatusNotifierItem over
// D-Bus where the desktop offers one, the XEmbed tray otherwise. The icon is made when a
// notification area first exists: Qt chooses between the two then, once for the process.
class QtTrayHost final : public TrayHost {
public:
    QtTrayHost();
    ~QtTrayHost() override;

    bool available() const override;
    bool tellsAvailability() const override;
    bool add(const IconData &data) override;
    bool modify(const IconData &data) override;
    void remove() override;
    void balloon(const QString &title, const QString &text, TQvBalloonHintIcon kind, int timeoutMs) override;
    void setMenu(QMenu *menu) override;

    // Null until a notification area has been seen.
    QSystemTrayIcon *icon() const { return m_icon; }

private:
    void makeIcon();
    void apply(const IconData &data);
    std::unique_ptr<NotificationAreaWatcher> m_area;
    QSystemTrayIcon *m_icon = nullptr;
    QMenu *m_menu = nullptr;
};

}  // namespace quillpad
