#include "app/WebLinks.h"

#include "app/settings/AppSettings.h"
#include "components/DesktopServices.h"
#include "components/MakerAddresses.h"
#include "store/Clock.h"

#include <QUrl>

namespace quillpad {

QString WebLinks::AddUrlQuery(const QString &address) const
{
    return MakerAddresses::AddUrlQuery(address, m_settings.startup().privateTasks, m_settings.startup().publicTasks);
}

void WebLinks::OpenWebPage(const QString &page)
{
    // What the browser makes of it is the desktop's to report.
    DesktopServices::instance().openUrl(QUrl(AddUrlQuery(MakerAddresses::WebPage(page))));
    m_settings.recordVisitWeb(Clock::nowDateTime());
}

void WebLinks::OpenMail(const QString &address)
{
    DesktopServices::instance().openUrl(QUrl(MakerAddresses::MailLink(address)));
}

}  // namespace quillpad
