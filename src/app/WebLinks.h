#pragma once
// The maker's web pages and mail addresses as the Help menu, the About box and the
// update offer open them. Everything goes to the desktop; the program contacts no server.

#include <QString>

namespace quillpad {

class AppSettings;

class WebLinks {
public:
    explicit WebLinks(AppSettings &settings) : m_settings(settings) {}

    // The address with the visit's query, counting the tasks of the last loading.
    QString AddUrlQuery(const QString &address) const;
    // Opens one of the maker's pages ("index.htm"), then records the visit in the
    // settings file. A refused write raises after the page has been opened.
    void OpenWebPage(const QString &page);
    void OpenMail(const QString &address);

    AppSettings &settings() { return m_settings; }

private:
    AppSettings &m_settings;
};

}  // namespace quillpad
