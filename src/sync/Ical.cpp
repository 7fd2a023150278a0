#include "sync/Ical.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace quillpad {

namespace {

bool IsLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

}  // namespace

bool IcalLineReader::next(QByteArray &line)
{
    line.resize(0);
    if (m_pos == 0 && m_text.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
    const qsizetype size = m_text.size();
    if (m_pos >= size)
        return false;
    const char *text = m_text.data();
    while (true) {
        qsizetype end = m_pos;
        while (end < size && !IsLineEnd(text[end]))
            ++end;
        for (qsizetype from = m_pos; from < end;) {
            const char *nul = static_cast<const char *>(std::memchr(text + from, '\0', size_t(end - from)));
            const qsizetype stop = nul ? nul - text : end;
            line.append(text + from, stop - from);
            from = stop + 1;
        }
        m_pos = end;
        if (m_pos < size && text[m_pos] == '\r')
            ++m_pos;
        if (m_pos < size && text[m_pos] == '\n')
            ++m_pos;
        if (m_pos >= size || (text[m_pos] != ' ' && text[m_pos] != '\t'))
            break;
        ++m_pos;  // the blank that marks a continuation
    }
    qsizetype kept = line.size();
    while (kept > 0 && (line.at(kept - 1) == ' ' || line.at(kept - 1) == '\t' || line.at(kept - 1) == '\v' ||
                        line.at(kept - 1) == '\f'))
        --kept;
    line.truncate(kept);
    return true;
}

IcalLineParser::IcalLineParser()
    : m_parser(icalparser_new()), m_errorState(icalerror_get_error_state(ICAL_MALFORMEDDATA_ERROR))
{
    ical_set_unknown_token_handling_setting(ICAL_ASSUME_IANA_TOKEN);
    icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, ICAL_ERROR_NONFATAL);
}

IcalLineParser::~IcalLineParser()
{
    icalparser_free(m_parser);
    icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, m_errorState);
}

IcalComponentPtr IcalLineParser::add(QByteArray &line)
{
    if (line.isEmpty())
        return nullptr;
    return IcalComponentPtr(icalparser_add_line(m_parser, line.data()));
}

IcalComponentPtr ParseIcal(const QByteArray &text)
{
    IcalLineReader lines(text);
    IcalLineParser parser;
    IcalComponentPtr root;
    QByteArray line;
    while (lines.next(line)) {
        IcalComponentPtr component = parser.add(line);
        if (!component)
            continue;
        if (!root) {
            root = std::move(component);
            continue;
        }
        if (icalcomponent_isa(root.get()) != ICAL_XROOT_COMPONENT) {
            IcalComponentPtr several(icalcomponent_new(ICAL_XROOT_COMPONENT));
            icalcomponent_add_component(several.get(), root.release());
            root = std::move(several);
        }
        icalcomponent_add_component(root.get(), component.release());
    }
    return root;
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
