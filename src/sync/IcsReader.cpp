#include "sync/IcsReader.h"

#include "sync/Ical.h"
#include "sync/VTodoMapping.h"

namespace quillpad {

namespace {

const QByteArray Calendar = QByteArrayLiteral("VCALENDAR");
const QByteArray Todo = QByteArrayLiteral("VTODO");

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
        switch (MarkerOf(line, &name)) {
        case IcalMarker::Begin:
            if (name == Todo)
                ++found;
            if (m_stack.empty() && (name == Calendar || name == Todo))
                calendarOrTask = true;
            if (m_stack.size() > IcalMaxDepth) {
                ++m_deeper;  // inside a component already dropped: only the depth counts
                return;
            }
            m_stack.push_back(name);
            if (m_unit < 0 && (name != Calendar || m_stack.size() > IcalMaxDepth)) {
                m_unit = int(m_stack.size()) - 1;
                m_damaged = false;
            }
            if (m_stack.size() > IcalMaxDepth)
                m_damaged = true;
            pass(line);
            return;
        case IcalMarker::End: {
            if (m_deeper > 0) {
                --m_deeper;
                return;
            }
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
        case IcalMarker::None:
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

    std::vector<QByteArray> m_stack;  // the names of the open components, IcalMaxDepth + 1 at most
    int m_deeper = 0;                 // the open components beyond those
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
