#pragma once
// Owning handles and text conversions for libical's C objects.

#include <libical/ical.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

namespace quillpad {

struct IcalComponentFree {
    void operator()(icalcomponent *component) const { icalcomponent_free(component); }
};
using IcalComponentPtr = std::unique_ptr<icalcomponent, IcalComponentFree>;

// The content lines of iCalendar text, unfolded, in one pass over it: libical's own
// reading of a string goes over the rest of a long line again for every 80 bytes of it.
// Lines end in LF or CR LF (a lone CR where the text has no LF); one that starts with a
// blank or a tab continues the line before. Byte-order marks at the start of a line, NUL
// bytes (libical reads C strings) and trailing blanks are dropped.
class IcalLineReader {
public:
    explicit IcalLineReader(QByteArrayView text) : m_text(text), m_crEndsLines(!text.contains('\n')) {}
    // The next line into `line`; false at the end of the text.
    bool next(QByteArray &line);

private:
    QByteArrayView m_text;
    qsizetype m_pos = 0;
    bool m_crEndsLines;
};

// libical's parser, fed one unfolded line at a time.
class IcalLineParser {
public:
    IcalLineParser();
    ~IcalLineParser();
    IcalLineParser(const IcalLineParser &) = delete;
    IcalLineParser &operator=(const IcalLineParser &) = delete;
    // The top-level component the line ends, or none.
    IcalComponentPtr add(QByteArray &line);

private:
    icalparser *m_parser;
    icalerrorstate m_errorState;
};

// BEGIN and END lines as libical tells them: the word, blanks, then ':' or ';'. `name`
// receives the name of the component the line opens or closes, upper-case.
enum class IcalMarker { None, Begin, End };
IcalMarker MarkerOf(const QByteArray &line, QByteArray *name = nullptr);
// Components nested deeper are refused: libical frees them recursively, and a nesting
// many thousands deep overflows the stack.
inline constexpr size_t IcalMaxDepth = 64;

// Parses iCalendar text; none when it holds no component or nests components deeper
// than IcalMaxDepth, an XROOT around them when it holds several. Parameters libical does
// not know are kept (by default it drops them). A property name that is neither standard
// nor X- becomes an X-LIC-ERROR note: libical 3.0 cannot keep it.
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
