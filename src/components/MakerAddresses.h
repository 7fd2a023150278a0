#pragma once
// The maker's web site and mail addresses, fixed when the program is built, and the
// addresses the program hands to the browser and the mail program.

#include <QString>

namespace quillpad {

namespace MakerAddresses {

// Tells the maker's pages that a visit came from this program (the "id" of the query).
inline constexpr const char *UsageCode = "qpl";

QString WebSite();      // without a closing "/"
QString SupportMail();  // a bare address
QString SalesMail();
QString ProductPage();  // the product's page, named in saved documents

// The address of one of the maker's pages ("index.htm"), without the query.
QString WebPage(const QString &page);
// The address with the visit's query: "?id=t-p-", the usage code, "&t=", then the two
// task counts joined by "-".
QString AddUrlQuery(const QString &address, int privateTasks, int publicTasks = 0);
// A "mailto:" link to the address.
QString MailLink(const QString &address);

}  // namespace MakerAddresses

}  // namespace quillpad
