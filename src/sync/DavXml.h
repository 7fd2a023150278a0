#pragma once
// The parts of a WebDAV multistatus answer the sync reads.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace quillpad {

struct DavResponse {
    QString href;           // as the server wrote it (a path)
    int status = 0;         // of the response itself, when it has one (a deleted member)
    QString etag;
    QString calendarData;
    bool isCalendar = false;
    QStringList components;  // supported-calendar-component-set
    QString principal;       // current-user-principal
    QString calendarHome;    // calendar-home-set
    QString displayName;
};

struct DavMultiStatus {
    std::vector<DavResponse> responses;
    QString syncToken;
    bool ok = false;  // well-formed
};

DavMultiStatus ParseMultiStatus(const QByteArray &xml);

}  // namespace quillpad
