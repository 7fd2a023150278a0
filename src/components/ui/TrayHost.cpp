#include "components/ui/TrayHost.h"

#include "components/ui/NotificationAreaWatcher.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace quillpad {

namespace {

// The tooltip keeps its line breaks: our texts break lines with CR (or CR LF), which a
// desktop tooltip would show as one run-on line.
QString TooltipText(const QString &tip)
{
    QString text = tip;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QSystemTrayIcon::MessageIcon MessageIconOf(TQvBalloonHintIcon kind)
{
    switch (kind) {
    case TQvBalloonHintIcon::bhiInfo:
        return QSystemTrayIcon::Information;
    case TQvBalloonHintIcon::bhiWarning:
        return QSystemTrayIcon::Warning;
    case TQvBalloonHintIcon::bhiError:
        return QSystemTrayIcon::Critical;
    case TQvBalloonHintIcon::bhiNone:
        break;
    }
    return QSystemTrayIcon::NoIcon;
}

}  // namespace

QtTrayHost::QtTrayHost() : m_area(std::make_unique<NotificationAreaWatcher>())
{
    QObject::connect(m_area.get(), &NotificationAreaWatcher::changed, m_area.get(), [this](bool present) {
        if (events.availabilityChanged)
            events.availabilityChanged(present);
    });
    if (m_area->present())
        makeIcon();
}

QtTrayHost::~QtTrayHost()
{
    delete m_icon;
}

void QtTrayHost::makeIcon()
{
    if (m_icon)
        return;
    m_icon = new QSystemTrayIcon;
    m_icon->setContextMenu(m_menu);
    QObject::connect(m_icon, &QSystemTrayIcon::activated, m_icon, [this](QSystemTrayIcon::ActivationReason reason) {
        const Qt::KeyboardModifiers modifiers = QApplication::queryKeyboardModifiers();
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            if (events.click)
                events.click(Qt::LeftButton, modifiers);
            break;
        case QSystemTrayIcon::MiddleClick:
            if (events.click)
                events.click(Qt::MiddleButton, modifiers);
            break;
        case QSystemTrayIcon::DoubleClick:
            if (events.doubleClick)
                events.doubleClick(Qt::LeftButton, modifiers);
            break;
        case QSystemTrayIcon::Context:
            // With a menu set, the icon opens it itself; without one nothing shows.
            if (!m_icon->contextMenu() && events.contextMenu)
                events.contextMenu(QCursor::pos());
            break;
        case QSystemTrayIcon::Unknown:
            break;
        }
    });
    QObject::connect(m_icon, &QSystemTrayIcon::messageClicked, m_icon, [this] {
        if (events.balloonClick)
            events.balloonClick();
    });
}

bool QtTrayHost::available() const
{
    return m_area->present();
}

bool QtTrayHost::tellsAvailability() const
{
    return m_area->tellsChanges();
}

void QtTrayHost::apply(const IconData &data)
{
    m_icon->setIcon(data.icon);
    m_icon->setToolTip(data.showTip ? TooltipText(data.tip) : QString());
}

bool QtTrayHost::add(const IconData &data)
{
    if (!available())
        return false;
    makeIcon();
    apply(data);
    m_icon->show();
    return m_icon->isVisible();
}

bool QtTrayHost::modify(const IconData &data)
{
    if (m_icon)
        apply(data);
    return true;
}

void QtTrayHost::remove()
{
    if (m_icon)
        m_icon->hide();
}

void QtTrayHost::balloon(const QString &title, const QString &text, TQvBalloonHintIcon kind, int timeoutMs)
{
    if (m_icon)
        m_icon->showMessage(title, text, MessageIconOf(kind), timeoutMs);
}

void QtTrayHost::setMenu(QMenu *menu)
{
    m_menu = menu;
    if (m_icon)
        m_icon->setContextMenu(menu);
}

}  // namespace quillpad
