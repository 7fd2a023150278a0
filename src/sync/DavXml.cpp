#include "sync/DavXml.h"

#include <QXmlStreamReader>

namespace quillpad {

namespace {

int StatusCode(const QString &line)  // "HTTP/1.1 200 OK"
{
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    return parts.size() >= 2 ? parts.at(1).toInt() : 0;
}

}  // namespace

DavMultiStatus ParseMultiStatus(const QByteArray &xml)
{
    DavMultiStatus result;
    QXmlStreamReader reader(xml);
    DavResponse current;
    DavResponse pending;  // the props of one propstat, kept when its status is 2xx
    QString prop;         // the property being read, a child of <prop>
    bool inResponse = false;
    bool inPropStat = false;
    int propStatStatus = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        const QStringView name = reader.name();
        if (reader.isStartElement()) {
            if (name == u"response") {
                current = {};
                inResponse = true;
            } else if (name == u"propstat") {
                pending = {};
                inPropStat = true;
                propStatStatus = 0;
            } else if (inPropStat && name == u"status") {
                propStatStatus = StatusCode(reader.readElementText());
            } else if (inResponse && !inPropStat && name == u"status") {
                current.status = StatusCode(reader.readElementText());
            } else if (inResponse && !inPropStat && name == u"href") {
                current.href = reader.readElementText().trimmed();
            } else if (!inResponse && name == u"sync-token") {
                result.syncToken = reader.readElementText().trimmed();
            } else if (inPropStat && prop.isEmpty() && name != u"prop") {
                prop = name.toString();
                if (prop == u"getetag")
                    pending.etag = reader.readElementText().trimmed();
                else if (prop == u"calendar-data")
                    pending.calendarData = reader.readElementText();
                else if (prop == u"displayname")
                    pending.displayName = reader.readElementText().trimmed();
                if (reader.isEndElement())
                    prop.clear();
            } else if (prop == u"resourcetype" && name == u"calendar") {
                pending.isCalendar = true;
            } else if (prop == u"supported-calendar-component-set" && name == u"comp") {
                pending.components.append(reader.attributes().value(QStringLiteral("name")).toString().toUpper());
            } else if (name == u"href" && (prop == u"current-user-principal" || prop == u"calendar-home-set")) {
                (prop == u"current-user-principal" ? pending.principal : pending.calendarHome) =
                    reader.readElementText().trimmed();
            }
        } else if (reader.isEndElement()) {
            if (name == prop) {
                prop.clear();
            } else if (name == u"propstat") {
                inPropStat = false;
                if (propStatStatus / 100 == 2) {
                    current.etag += pending.etag;
                    current.calendarData += pending.calendarData;
                    current.isCalendar = current.isCalendar || pending.isCalendar;
                    current.components += pending.components;
                    current.principal += pending.principal;
                    current.calendarHome += pending.calendarHome;
                    current.displayName += pending.displayName;
                }
            } else if (name == u"response") {
                inResponse = false;
                result.responses.push_back(current);
            }
        }
    }
    result.ok = !reader.hasError();
    return result;
}

}  // namespace quillpad
