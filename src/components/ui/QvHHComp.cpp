#include "components/ui/QvHHComp.h"

#include "components/DesktopServices.h"
#include "store/Paths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTabWidget>
#include <QUrl>
#include <QWidget>

namespace quillpad {

namespace {

bool IsPlainF1(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    return key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier;
}

}  // namespace

TQVHHComp::TQVHHComp(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("QVHHComp1"));
    // Every window of the program, dialogs too: F1 asks about the control it reaches.
    QCoreApplication::instance()->installEventFilter(this);
}

TQVHHComp::~TQVHHComp()
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

int TQVHHComp::contextOf(const QWidget *control) const
{
    const auto own = [this](const QWidget *widget) {
        const int context = widget->property(ContextProperty).toInt();
        return context != 0 ? context : m_contextNames.value(widget->objectName());
    };
    for (const QWidget *widget = control; widget; widget = widget->parentWidget()) {
        int context = own(widget);
        // From the tabs themselves, the page they show has the topic.
        if (const auto *tabs = qobject_cast<const QTabWidget *>(widget); tabs && tabs->currentWidget())
            context = own(tabs->currentWidget());
        if (context != 0)
            return context;
        if (widget->isWindow())
            break;
    }
    return 0;
}

QUrl TQVHHComp::topicUrl(int context) const
{
    // The program folder is taken at every request, not once: the start page is known
    // only after the owner has been set up.
    const QFileInfo start(Paths::ProgramFolder() + m_helpFile);
    const QString topic = m_topics.value(context);
    if (topic.isEmpty())
        return QUrl::fromLocalFile(start.absoluteFilePath());
    const QString page = topic.section(QLatin1Char('#'), 0, 0);
    QUrl url = QUrl::fromLocalFile(start.absolutePath() + QLatin1Char('/') + page);
    const QString anchor = topic.section(QLatin1Char('#'), 1);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url;
}

void TQVHHComp::showTopic(int context) const
{
    if (m_helpFile.isEmpty())
        return;
    // A missing manual or browser is the desktop's to report.
    DesktopServices::instance().openUrl(topicUrl(context));
}

bool TQVHHComp::eventFilter(QObject *watched, QEvent *event)
{
    if (!IsPlainF1(event) || !watched->isWidgetType())
        return false;
    // Taking the shortcut check keeps the key for us: F1 here is context help, not the
    // menu's "Contents".
    event->accept();
    if (event->type() == QEvent::KeyPress)
        showTopic(contextOf(static_cast<QWidget *>(watched)));
    return true;
}

}  // namespace quillpad
