#include "sync/Ical.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace quillpad {

bool IcalLineReader::next(QByteArray &line)
{
    line.resize(0);
    const qsizetype size = m_text.size();
    if (m_pos >= size)
        return false;
    const char *text = m_text.data();
    // A lone CR ends lines only in a text without LF (old Mac files); elsewhere it is text.
    const char lineEnd = m_crEndsLines ? '\r' : '\n';
    while (true) {
        const char *found = static_cast<const char *>(std::memchr(text + m_pos, lineEnd, size_t(size - m_pos)));
        const qsizetype end = found ? found - text : size;
        const qsizetype kept = end > m_pos && !m_crEndsLines && text[end - 1] == '\r' ? end - 1 : end;
        for (qsizetype from = m_pos; from < kept;) {
            const char *nul = static_cast<const char *>(std::memchr(text + from, '\0', size_t(kept - from)));
            const qsizetype stop = nul ? nul - text : kept;
            line.append(text + from, stop - from);
            from = stop + 1;
        }
        m_pos = found ? end + 1 : size;
        if (m_pos >= size || (text[m_pos] != ' ' && text[m_pos] != '\t'))
            break;
        ++m_pos;  // the blank that marks a continuation
    }
    if (line.startsWith("\xEF\xBB\xBF"))  // a byte-order mark, also of files put one after another
        line.remove(0, 3);
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; };
    qsizetype kept = line.size();
    while (kept > 0 && blank(line.at(kept - 1)))
        --kept;
    line.truncate(kept);
    return true;
}

IcalMarker MarkerOf(const QByteArray &line, QByteArray *name)
{
    IcalMarker marker = IcalMarker::None;
    qsizetype pos = 0;
    if (line.size() >= 5 && qstrnicmp(line.constData(), "BEGIN", 5) == 0) {
        marker = IcalMarker::Begin;
        pos = 5;
    } else if (line.size() >= 3 && qstrnicmp(line.constData(), "END", 3) == 0) {
        marker = IcalMarker::End;
        pos = 3;
    } else {
        return IcalMarker::None;
    }
    while (pos < line.size() && (line.at(pos) == ' ' || line.at(pos) == '\t' || line.at(pos) == '\v' ||
                                 line.at(pos) == '\f'))
        ++pos;
    if (pos == line.size() || (line.at(pos) != ':' && line.at(pos) != ';'))
        return IcalMarker::None;
    if (name) {
        *name = line.mid(pos + 1);
        const qsizetype comma = name->indexOf(',');
        if (comma >= 0)
            name->truncate(comma);
        *name = name->trimmed().toUpper();
    }
    return marker;
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
    size_t depth = 0;
    while (lines.next(line)) {
        const IcalMarker marker = MarkerOf(line);
        if (marker == IcalMarker::Begin && ++depth > IcalMaxDepth)
            return nullptr;
        if (marker == IcalMarker::End && depth > 0)
            --depth;
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
