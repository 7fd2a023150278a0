#include "cli/TaskTable.h"

#include "cli/TaskIds.h"

#include <QStringList>

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quillpad {

namespace {

constexpr int DefaultWidth = 80;
constexpr int LeastTextWidth = 20;
constexpr int SubTaskIndent = 2;
const char DueFormat[] = "yyyy-MM-dd";
const char ReminderFormat[] = "yyyy-MM-dd HH:mm";

int CharWidth(char32_t c)
{
    if (c == 0x200B || c == 0x200C || c == 0x200D || c == 0x2060 || c == 0xFEFF)
        return 0;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return 0;
    default:
        break;
    }
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
                      (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                      (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) ||
                      (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x1F900 && c <= 0x1F9FF) ||
                      (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

// Blanks for tabs and other control characters: a table row is one line per line.
QString Printable(QStringView line)
{
    QString text = line.toString();
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }))
        return text;
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return text;
}

// Pads to a width in columns.
QString Padded(const QString &text, int width)
{
    return text + QString(std::max(0, width - TextWidth(text)), QLatin1Char(' '));
}

}  // namespace

int OutputWidth(std::FILE *out)
{
    winsize size{};
    if (::isatty(::fileno(out)) && ::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? columns : DefaultWidth;
}

namespace {

// The columns of the character at `at`, which moves past it (a surrogate pair is one).
int Advance(QStringView text, qsizetype &at)
{
    const char16_t c = text[at].unicode();
    ++at;
    if (c < 0x300)
        return 1;  // control characters are blanks by now
    char32_t point = c;
    if (QChar::isHighSurrogate(c) && at < text.size() && text[at].isLowSurrogate())
        point = QChar::surrogateToUcs4(c, text[at++].unicode());
    return CharWidth(point);
}

}  // namespace

int TextWidth(QStringView text)
{
    int width = 0;
    for (qsizetype at = 0; at < text.size();)
        width += Advance(text, at);
    return width;
}

QStringList WrapText(const QString &text, int width)
{
    width = std::max(width, 1);
    QStringList lines;
    // The text's own lines: a task keeps its line breaks as CR LF, a damaged one perhaps otherwise.
    qsizetype from = 0;
    const auto wrap = [&](QStringView source) {
        const QString line = Printable(source);
        const qsizetype size = line.size();
        qsizetype start = 0;
        do {
            // As far as the width goes; the last blank on the way is where the line breaks,
            // else it is cut where it is full.
            int used = 0;
            qsizetype at = start, lastBlank = -1;
            while (at < size) {
                qsizetype next = at;
                const int columns = Advance(line, next);
                if (used + columns > width && at > start)
                    break;
                if (line.at(at) == u' ')
                    lastBlank = at;
                used += columns;
                at = next;
            }
            if (at >= size) {
                lines.append(line.mid(start));
                break;
            }
            if (line.at(at) == u' ') {  // a blank at the break is the break
                lines.append(line.mid(start, at - start));
                start = at + 1;
            } else if (lastBlank > start) {
                lines.append(line.mid(start, lastBlank - start));
                start = lastBlank + 1;
            } else {
                lines.append(line.mid(start, at - start));
                start = at;
            }
        } while (start < size);
    };
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text.at(at);
        if (c != u'\r' && c != u'\n')
            continue;
        wrap(QStringView(text).sliced(from, at - from));
        if (c == u'\r' && at + 1 < text.size() && text.at(at + 1) == u'\n')
            ++at;
        from = at + 1;
    }
    wrap(QStringView(text).sliced(from));
    return lines;
}

void WriteTaskTable(std::FILE *out, const TaskSnapshot &tasks, const ShortTaskIds &ids, const QDate &today,
                    int width)
{
    if (tasks.empty())
        return;
    bool anyDue = false, anyReminder = false;
    int idWidth = 2;
    std::vector<QString> shortIds;  // in the order the rows come
    const auto measure = [&](const TTaskInfo &task, int indent) {
        anyDue = anyDue || task.dueFlag;
        anyReminder = anyReminder || task.alarmFlag;
        shortIds.push_back(ids.of(task.tid));
        idWidth = std::max(idWidth, indent + int(shortIds.back().size()));
    };
    for (const TaskWithSubTasks &entry : tasks) {
        measure(entry.task, 0);
        for (const TTaskInfo &child : entry.subTasks)
            measure(child, SubTaskIndent);
    }
    const int dueWidth = anyDue ? int(sizeof DueFormat) : 0;  // and a mark for overdue
    const int reminderWidth = anyReminder ? int(sizeof ReminderFormat) - 1 : 0;
    int textColumn = idWidth + 2;
    if (anyDue)
        textColumn += dueWidth + 2;
    if (anyReminder)
        textColumn += reminderWidth + 2;
    const int textWidth = std::max(LeastTextWidth, width - textColumn - 4);  // the box and a blank
    const QString continuation(textColumn + 4, QLatin1Char(' '));

    std::string buffer;
    const auto flush = [&] {
        std::fwrite(buffer.data(), 1, buffer.size(), out);
        buffer.clear();
    };
    const auto line = [&](const QString &text) {
        buffer += text.toStdString();
        buffer += '\n';
        if (buffer.size() > 64 * 1024)
            flush();
    };
    QString header = Padded(QStringLiteral("ID"), idWidth + 2);
    if (anyDue)
        header += Padded(QStringLiteral("Due"), dueWidth + 2);
    if (anyReminder)
        header += Padded(QStringLiteral("Reminder"), reminderWidth + 2);
    line(header + QStringLiteral("Task"));

    std::size_t rowNumber = 0;
    const auto row = [&](const TTaskInfo &task, int indent) {
        QString start = Padded(QString(indent, QLatin1Char(' ')) + shortIds[rowNumber++], idWidth + 2);
        if (anyDue) {
            QString due;
            if (task.dueFlag) {
                due = DateOf(task.dueTime).toString(QLatin1String(DueFormat));
                if (!task.checkFlag && IsOverdue(task, today))
                    due += QLatin1Char('!');
            }
            start += Padded(due, dueWidth + 2);
        }
        if (anyReminder)
            start += Padded(task.alarmFlag ? DateTimeToQt(task.alarmTime).toString(QLatin1String(ReminderFormat))
                                           : QString(),
                            reminderWidth + 2);
        start += QString(indent, QLatin1Char(' '));
        start += task.checkFlag ? QStringLiteral("[x] ") : QStringLiteral("[ ] ");
        const QStringList lines = WrapText(task.content, textWidth - indent);
        line(start + lines.value(0));
        const QString more = continuation + QString(indent, QLatin1Char(' '));
        for (qsizetype i = 1; i < lines.size(); ++i)
            line(more + lines.at(i));
    };
    for (const TaskWithSubTasks &entry : tasks) {
        row(entry.task, 0);
        for (const TTaskInfo &child : entry.subTasks)
            row(child, SubTaskIndent);
    }
    flush();
}

}  // namespace quillpad
