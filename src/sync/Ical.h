#pragma once
// Owning handles and text conversions for libical's C objects.

#include <libical/ical.h>

#include <QByteArray>
#include <QString>

#include <memory>

namespace quillpad {

struct IcalComponentFree {
    void operator()(icalcomponent *component) const { icalcomponent_free(component); }
};
using IcalComponentPtr = std::unique_ptr<icalcomponent, IcalComponentFree>;

// Parses iCalendar text; none when it holds no component. Parameters libical does not know
// are kept (by default it drops them). A property name that is neither standard nor X-
// becomes an X-LIC-ERROR note: libical 3.0 cannot keep it.
IcalComponentPtr ParseIcal(const QByteArray &text);
// The component as iCalendar text (CR LF line ends, folded lines).
QByteArray IcalText(icalcomponent *component);

inline QString FromIcal(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// The first X- property of the name, or none.
icalproperty *FirstXProperty(icalcomponent *component, const char *name);
// Removes every property of the kind.
void RemoveProperties(icalcomponent *component, icalproperty_kind kind);

}  // namespace quillpad
