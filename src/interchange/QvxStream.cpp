#include "interchange/QvxStream.h"

#include "interchange/QvxContainer.h"
#include "store/AppError.h"

#include <QFile>

#include <cstring>

namespace quillpad {

namespace {

// What a value's characters are taken one by one for: markup, entities and blanks
// that turn into a space.
bool IsSpecialInValue(char c)
{
    return c == '<' || c == '&' || c == '\r' || c == '\n' || c == '\t';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameStart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

bool IsNameChar(char c)
{
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

void AppendUtf8(QByteArray &out, char32_t code)
{
    if (code < 0x80) {
        out.append(char(code));
    } else if (code < 0x800) {
        out.append(char(0xC0 | (code >> 6)));
        out.append(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.append(char(0xE0 | (code >> 12)));
        out.append(char(0x80 | ((code >> 6) & 0x3F)));
        out.append(char(0x80 | (code & 0x3F)));
    } else {
        out.append(char(0xF0 | (code >> 18)));
        out.append(char(0x80 | ((code >> 12) & 0x3F)));
        out.append(char(0x80 | ((code >> 6) & 0x3F)));
        out.append(char(0x80 | (code & 0x3F)));
    }
}

// The markup of the file, a piece at a time. Anything outside the common form sets
// outOfForm and ends the reading of markup.
class Scanner {
public:
    enum class Section { None, Tasks, Memos };
    // Called for each element directly inside a section.
    std::function<void(Section, const QvxAttributes &, int position)> onRecord;
    // Called for the root element's attributes.
    std::function<void(const QvxAttributes &)> onRoot;

    void feed(QByteArrayView piece)
    {
        if (outOfForm)
            return;
        m_pending.append(piece);
        qsizetype at = 0;
        while (!outOfForm && at < m_pending.size()) {
            const qsizetype used = step(at);
            if (used == 0)
                break;  // an incomplete construct: wait for more
            at += used;
        }
        m_pending.remove(0, at);
    }

    // True when the whole text was in the form and well formed.
    bool finish()
    {
        if (!outOfForm && (!m_pending.isEmpty() || !m_rootClosed || !m_sawTasks || !m_sawMemos))
            outOfForm = true;
        return !outOfForm;
    }

    bool outOfForm = false;

private:
    // Reads one construct at `at`; 0 when it is not complete yet.
    qsizetype step(qsizetype at)
    {
        const char *text = m_pending.constData() + at;
        const qsizetype size = m_pending.size() - at;
        if (text[0] != '<') {
            qsizetype end = 0;
            while (end < size && text[end] != '<') {
                if (!IsBlank(text[end]))
                    return reject();
                ++end;
            }
            m_started = true;
            return end;
        }
        // The end of the tag: the first '>' outside quotes.
        char quote = 0;
        qsizetype end = 1;
        for (; end < size; ++end) {
            const char c = text[end];
            if (c == '\0')
                return reject();
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (end == size)
            return 0;
        const QByteArrayView tag(text, end + 1);
        const bool first = !m_started;
        m_started = true;
        if (tag.startsWith("<?"))
            return first && tag.startsWith("<?xml") && tag.size() > 7 && IsBlank(tag[5]) && tag.endsWith("?>")
                       ? tag.size()
                       : reject();
        if (tag.startsWith("<!"))
            return reject();
        if (tag.startsWith("</"))
            return endTag(tag) ? tag.size() : reject();
        return startTag(tag) ? tag.size() : reject();
    }

    qsizetype reject()
    {
        outOfForm = true;
        return 0;
    }

    bool endTag(QByteArrayView tag)
    {
        qsizetype i = 2;
        while (i < tag.size() - 1 && IsNameChar(tag[i]))
            ++i;
        const QByteArrayView name = tag.sliced(2, i - 2);
        while (i < tag.size() - 1 && IsBlank(tag[i]))
            ++i;
        if (i != tag.size() - 1 || m_open.empty() || m_open.back() != name)
            return false;
        close();
        return true;
    }

    bool startTag(QByteArrayView tag)
    {
        if (m_rootClosed || tag.size() < 3 || !IsNameStart(tag[1]))
            return false;
        qsizetype i = 1;
        while (IsNameChar(tag[i]))
            ++i;
        const QByteArray name = tag.sliced(1, i - 1).toByteArray();
        m_values.clear();
        m_ranges.clear();
        bool selfClosing = false;
        for (;;) {
            const qsizetype blanks = i;
            while (IsBlank(tag[i]))
                ++i;
            if (tag[i] == '>')
                break;
            if (tag[i] == '/') {
                if (tag[i + 1] != '>')
                    return false;
                selfClosing = true;
                break;
            }
            if (i == blanks || !IsNameStart(tag[i]))
                return false;
            const qsizetype nameStart = i;
            while (IsNameChar(tag[i]))
                ++i;
            const qsizetype nameEnd = i;
            while (IsBlank(tag[i]))
                ++i;
            if (tag[i++] != '=')
                return false;
            while (IsBlank(tag[i]))
                ++i;
            const char quote = tag[i++];
            if (quote != '"' && quote != '\'')
                return false;
            const qsizetype valueStart = m_values.size();
            while (tag[i] != quote) {
                // Plain characters go over as one run; the others one by one.
                qsizetype run = i;
                while (tag[run] != quote && !IsSpecialInValue(tag[run]))
                    ++run;
                if (run > i) {
                    m_values.append(tag.sliced(i, run - i));
                    i = run;
                    continue;
                }
                if (!value(tag, i))
                    return false;
                ++i;
            }
            ++i;
            m_ranges.push_back({nameStart, nameEnd, valueStart, m_values.size()});
        }
        // The views point into the tag and the decoded values, both stable from here.
        m_attributes.clear();
        for (const Range &range : m_ranges)
            m_attributes.emplace_back(tag.sliced(range.nameStart, range.nameEnd - range.nameStart),
                                      QByteArrayView(m_values).sliced(range.valueStart, range.valueEnd - range.valueStart));
        open(name);
        if (selfClosing)
            close();
        return true;
    }

    // One character of a value at i (moved on past an entity); false when outside the form.
    bool value(QByteArrayView tag, qsizetype &i)
    {
        const char c = tag[i];
        if (c == '<')
            return false;
        if (c == '\r') {  // CR LF, CR, LF and TAB each become one blank
            m_values.append(' ');
            if (tag[i + 1] == '\n')
                ++i;
            return true;
        }
        if (c == '\n' || c == '\t') {
            m_values.append(' ');
            return true;
        }
        if (c != '&') {
            m_values.append(c);
            return true;
        }
        const qsizetype semicolon = tag.indexOf(';', i);
        if (semicolon < 0 || semicolon - i > 10)
            return false;
        const QByteArrayView entity = tag.sliced(i + 1, semicolon - i - 1);
        i = semicolon;
        static const struct {
            const char *name;
            char value;
        } named[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
        for (const auto &known : named) {
            if (entity == known.name) {
                m_values.append(known.value);
                return true;
            }
        }
        if (entity.size() < 2 || entity[0] != '#')
            return false;
        const bool hex = entity[1] == 'x';
        const QByteArrayView digits = entity.sliced(hex ? 2 : 1);
        if (digits.isEmpty() || digits.size() > 7)
            return false;
        char32_t code = 0;
        for (const char d : digits) {
            int v = -1;
            if (d >= '0' && d <= '9')
                v = d - '0';
            else if (hex && d >= 'a' && d <= 'f')
                v = d - 'a' + 10;
            else if (hex && d >= 'A' && d <= 'F')
                v = d - 'A' + 10;
            if (v < 0)
                return false;
            code = code * (hex ? 16 : 10) + char32_t(v);
        }
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            return false;
        AppendUtf8(m_values, code);
        return true;
    }

    void open(const QByteArray &name)
    {
        const int depth = int(m_open.size());
        if (depth == 0) {
            if (onRoot)
                onRoot(m_attributes);
        } else if (depth == 1) {
            // The first element of each section's name is the section, as a path finds it.
            m_section = Section::None;
            if (name == "tasks" && !m_sawTasks) {
                m_sawTasks = true;
                m_section = Section::Tasks;
            } else if (name == "memos" && !m_sawMemos) {
                m_sawMemos = true;
                m_section = Section::Memos;
            }
            m_position = 0;
        } else if (depth == 2 && m_section != Section::None) {
            if (onRecord)
                onRecord(m_section, m_attributes, m_position);
            ++m_position;
        }
        m_open.push_back(name);
    }

    void close()
    {
        m_open.pop_back();
        if (m_open.empty())
            m_rootClosed = true;
    }

    struct Range {
        qsizetype nameStart, nameEnd, valueStart, valueEnd;
    };

    QByteArray m_pending;
    bool m_started = false;
    std::vector<QByteArray> m_open;
    bool m_rootClosed = false;
    bool m_sawTasks = false;
    bool m_sawMemos = false;
    Section m_section = Section::None;
    int m_position = 0;
    QByteArray m_values;
    std::vector<Range> m_ranges;
    QvxAttributes m_attributes;
};

void Read(const QString &fileName, Scanner &scanner, const std::function<void()> &afterPiece = {})
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()));
    InflateQvxContainer(file, [&](QByteArrayView piece) {
        scanner.feed(piece);
        if (afterPiece)
            afterPiece();
    });
}

}  // namespace

QvxAttributes QvxStream::Record::view() const
{
    QvxAttributes view;
    for (const auto &[name, value] : attributes)
        view.emplace_back(name, value);
    return view;
}

QvxStream::Survey QvxStream::survey(const QString &fileName, const Handlers &handlers)
{
    Survey survey;
    Scanner scanner;
    scanner.onRoot = [&survey, &handlers](const QvxAttributes &attributes) {
        for (const auto &[name, value] : attributes) {
            if (name == "app") {
                survey.app = value.toByteArray();
                break;
            }
        }
        if (handlers.root)
            handlers.root(survey.app);
    };
    scanner.onRecord = [&survey, &handlers](Scanner::Section section, const QvxAttributes &attributes,
                                            int position) {
        if (section == Scanner::Section::Tasks) {
            if (handlers.task)
                handlers.task(attributes, position);
            return;
        }
        if (section != Scanner::Section::Memos)
            return;
        Record &record = survey.memos.emplace_back();
        for (const auto &[name, value] : attributes)
            record.attributes.emplace_back(name.toByteArray(), value.toByteArray());
    };
    Read(fileName, scanner, handlers.piece);
    survey.inForm = scanner.finish();
    return survey;
}

void QvxStream::forEachTask(const QString &fileName, const Visit &visit)
{
    Scanner scanner;
    bool stopped = false;
    scanner.onRecord = [&](Scanner::Section section, const QvxAttributes &attributes, int position) {
        if (section == Scanner::Section::Tasks && !stopped && !visit(attributes, position))
            stopped = true;
    };
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()));
    struct Stop {};
    try {
        InflateQvxContainer(file, [&](QByteArrayView piece) {
            scanner.feed(piece);
            if (stopped)
                throw Stop{};
        });
    } catch (const Stop &) {
        return;
    }
    if (!scanner.finish())
        throw AppError(QStringLiteral("The file changed while it was read"));
}

}  // namespace quillpad
