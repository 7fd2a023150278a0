#include "cli/TaskTable.h"

#include "cli/TaskIds.h"

#include <QStringList>

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <string>

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

int TextWidth(QStringView text)
{
    int width = 0;
    for (const char32_t c : text.toUcs4())
        width += CharWidth(c);
    return width;
}

QStringList WrapText(const QString &text, int width)
{
    width = std::max(width, 1);
    QStringList lines;
    // The text's own lines: a task keeps its line breaks as CR LF, a damaged one perhaps otherwise.
    QStringList sources;
    qsizetype from = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text.at(at);
        if (c != u'\r' && c != u'\n')
            continue;
        sources.append(text.mid(from, at - from));
        if (c == u'\r' && at + 1 < text.size() && text.at(at + 1) == u'\n')
            ++at;
        from = at + 1;
    }
    sources.append(text.mid(from));
    for (const QString &source : std::as_const(sources)) {
        const QString line = Printable(source);
        if (TextWidth(line) <= width) {
            lines.append(line);
            continue;
        }
        // Character by character: the last blank seen is where the line breaks, else
        // the line is cut where it is full.
        QString current;
        int currentWidth = 0;
        qsizetype lastBlank = -1;
        const QList<uint> characters = line.toUcs4();
        for (const uint c : characters) {
            const int w = CharWidth(c);
            if (currentWidth + w > width && !current.isEmpty()) {
                if (lastBlank > 0) {
                    lines.append(current.left(lastBlank));
                    current = current.mid(lastBlank + 1);
                } else {
                    lines.append(current);
                    current.clear();
                }
                currentWidth = TextWidth(current);
                lastBlank = -1;
                if (c == ' ' && current.isEmpty())
                    continue;  // a blank at a break is the break
            }
            if (c == ' ')
                lastBlank = current.size();
            current += QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
            currentWidth += w;
        }
        lines.append(current);
    }
    return lines;
}

void WriteTaskTable(std::FILE *out, const TaskSnapshot &tasks, const ShortTaskIds &ids, const QDate &today,
                    int width)
{
    if (tasks.empty())
        return;
    bool anyDue = false, anyReminder = false;
    int idWidth = 2;
    const auto measure = [&](const TTaskInfo &task, int indent) {
        anyDue = anyDue || task.dueFlag;
        anyReminder = anyReminder || task.alarmFlag;
        idWidth = std::max(idWidth, indent + int(ids.of(task.tid).size()));
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

    const auto row = [&](const TTaskInfo &task, int indent) {
        QString start = Padded(QString(indent, QLatin1Char(' ')) + ids.of(task.tid), idWidth + 2);
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
