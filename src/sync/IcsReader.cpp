#include "sync/IcsReader.h"

#include "sync/Ical.h"
#include "sync/VTodoMapping.h"

#include <cstring>

namespace quillpad {

namespace {

const QByteArray Calendar = QByteArrayLiteral("VCALENDAR");
const QByteArray Todo = QByteArrayLiteral("VTODO");
// Deeper than this, nesting is damage: libical frees components recursively.
constexpr size_t MaxDepth = 64;

enum class Marker { None, Begin, End };

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// A BEGIN or END line as libical tells one (the word, blanks, then ':' or ';'), with
// the name of the component it opens or closes, upper-case.
Marker MarkerOf(const QByteArray &line, QByteArray &name)
{
    Marker marker = Marker::None;
    qsizetype pos = 0;
    if (line.size() >= 5 && qstrnicmp(line.constData(), "BEGIN", 5) == 0) {
        marker = Marker::Begin;
        pos = 5;
    } else if (line.size() >= 3 && qstrnicmp(line.constData(), "END", 3) == 0) {
        marker = Marker::End;
        pos = 3;
    } else {
        return Marker::None;
    }
    while (pos < line.size() && IsBlank(line.at(pos)))
        ++pos;
    if (pos == line.size() || (line.at(pos) != ':' && line.at(pos) != ';'))
        return Marker::None;
    name = line.mid(pos + 1);
    const qsizetype comma = name.indexOf(',');
    if (comma >= 0)
        name.truncate(comma);
    name = name.trimmed().toUpper();
    return marker;
}

void ReadTasks(icalcomponent *component, std::vector<TTaskInfo> &tasks)
{
    const icalcomponent_kind kind = icalcomponent_isa(component);
    if (kind == ICAL_VTODO_COMPONENT) {
        tasks.push_back(ReadVTodo(component));
    } else if (kind == ICAL_VCALENDAR_COMPONENT) {
        for (icalcomponent *child = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); child;
             child = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT))
            ReadTasks(child, tasks);
    }
}

// Follows the nesting of the components itself and hands libical only the parts that are
// whole. Calendars go to libical line by line; any other component (a task, an event, a
// time zone) is held back until its END line, then handed over whole or, when damaged,
// dropped. A calendar left open is closed where the text or its enclosing calendar ends.
class ComponentWalker {
public:
    std::vector<TTaskInfo> tasks;
    int found = 0;
    bool calendarOrTask = false;

    void line(QByteArray &line)
    {
        QByteArray name;
        switch (MarkerOf(line, name)) {
        case Marker::Begin:
            if (name == Todo)
                ++found;
            if (m_stack.empty() && (name == Calendar || name == Todo))
                calendarOrTask = true;
            m_stack.push_back(name);
            if (m_unit < 0 && (name != Calendar || m_stack.size() > MaxDepth)) {
                m_unit = int(m_stack.size()) - 1;
                m_damaged = false;
            }
            if (m_stack.size() > MaxDepth)
                m_damaged = true;
            pass(line);
            return;
        case Marker::End: {
            int closed = int(m_stack.size()) - 1;
            while (closed >= 0 && m_stack.at(size_t(closed)) != name)
                --closed;
            if (closed < 0) {
                m_damaged = m_damaged || m_unit >= 0;  // closes nothing: outside a held component, dropped
                return;
            }
            closeDownTo(size_t(closed) + 1);
            m_stack.pop_back();
            pass(line);
            if (closed == m_unit)
                endUnit();
            return;
        }
        case Marker::None:
            if (!m_stack.empty())
                pass(line);  // outside every component libical reads nothing either
            return;
        }
    }

    void end() { closeDownTo(0); }

private:
    void pass(QByteArray &line)
    {
        if (m_unit < 0)
            feed(line);
        else if (!m_damaged)
            m_held.push_back(line);
    }

    void feed(QByteArray &line)
    {
        if (IcalComponentPtr done = m_parser.add(line))
            ReadTasks(done.get(), tasks);
    }

    // Components above the depth that were never closed: a held one is damaged, a
    // calendar is closed here.
    void closeDownTo(size_t depth)
    {
        while (m_stack.size() > depth) {
            if (m_unit >= 0) {
                m_damaged = true;
                if (size_t(m_unit) == m_stack.size() - 1)
                    endUnit();
            } else {
                QByteArray end = "END:" + m_stack.back();
                feed(end);
            }
            m_stack.pop_back();
        }
    }

    void endUnit()
    {
        if (!m_damaged) {
            for (QByteArray &held : m_held)
                feed(held);
        }
        m_held.clear();
        m_unit = -1;
        m_damaged = false;
    }

    std::vector<QByteArray> m_stack;  // the names of the open components
    int m_unit = -1;                  // the held component's place in m_stack, or -1
    bool m_damaged = false;
    std::vector<QByteArray> m_held;
    IcalLineParser m_parser;
};

}  // namespace

std::optional<std::vector<TTaskInfo>> TasksFromIcs(const QByteArray &text, IcsCounts *counts)
{
    ComponentWalker walker;
    IcalLineReader lines(text);
    QByteArray line;
    while (lines.next(line))
        walker.line(line);
    walker.end();
    if (counts)
        *counts = {walker.found, walker.found - int(walker.tasks.size())};
    if (!walker.calendarOrTask)
        return std::nullopt;
    ShowAtTwoLevels(walker.tasks);
    return std::move(walker.tasks);
}

}  // namespace quillpad
