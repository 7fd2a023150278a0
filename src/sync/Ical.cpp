#include "sync/Ical.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace quillpad {

IcalComponentPtr ParseIcal(const QByteArray &text)
{
    ical_set_unknown_token_handling_setting(ICAL_ASSUME_IANA_TOKEN);
    return IcalComponentPtr(icalparser_parse_string(text.constData()));
}

QByteArray IcalText(icalcomponent *component)
{
    char *text = icalcomponent_as_ical_string_r(component);
    const QByteArray result(text);
    std::free(text);
    return result;
}

icalproperty *FirstXProperty(icalcomponent *component, const char *name)
{
    for (icalproperty *property = icalcomponent_get_first_property(component, ICAL_X_PROPERTY); property;
         property = icalcomponent_get_next_property(component, ICAL_X_PROPERTY)) {
        const char *xName = icalproperty_get_x_name(property);
        if (xName && std::strcmp(xName, name) == 0)
            return property;
    }
    return nullptr;
}

void RemoveProperties(icalcomponent *component, icalproperty_kind kind)
{
    // Collected first: removing while iterating skips properties.
    std::vector<icalproperty *> found;
    for (icalproperty *property = icalcomponent_get_first_property(component, kind); property;
         property = icalcomponent_get_next_property(component, kind))
        found.push_back(property);
    for (icalproperty *property : found) {
        icalcomponent_remove_property(component, property);
        icalproperty_free(property);
    }
}

}  // namespace quillpad
