#include "components/MakerAddresses.h"

#include "components/MakerAddressValues.h"

namespace quillpad {

namespace MakerAddresses {

QString WebSite()
{
    QString site = QStringLiteral(QUILLPAD_WEB_SITE);
    while (site.endsWith(QLatin1Char('/')))
        site.chop(1);
    return site;
}

QString SupportMail()
{
    return QStringLiteral(QUILLPAD_SUPPORT_MAIL);
}

QString SalesMail()
{
    return QStringLiteral(QUILLPAD_SALES_MAIL);
}

QString ProductPage()
{
    return WebSite() + QStringLiteral("/quillpad");
}

QString WebPage(const QString &page)
{
    // The site is kept without its closing "/", so one goes between it and the page.
    return WebSite() + QLatin1Char('/') + page;
}

QString AddUrlQuery(const QString &address, int privateTasks, int publicTasks)
{
    return address + QStringLiteral("?id=t-p-") + QLatin1String(UsageCode) + QStringLiteral("&t=") +
           QString::number(privateTasks) + QLatin1Char('-') + QString::number(publicTasks);
}

QString MailLink(const QString &address)
{
    return QStringLiteral("mailto:") + address;
}

}  // namespace MakerAddresses

}  // namespace quillpad
