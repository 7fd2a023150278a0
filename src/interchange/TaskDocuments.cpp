#include "interchange/TaskDocuments.h"

#include "components/MakerAddresses.h"
#include "components/QvVersionInfo.h"
#include "store/AtomicFile.h"
#include "store/Clock.h"
#include "store/DateText.h"
#include "store/Prompter.h"
#include "store/Paths.h"
#include "store/pU_Funcs.h"

#include <QFileInfo>

namespace quillpad {

const QString ProductPageAddress = MakerAddresses::ProductPage();

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString Rule = QString(33, QLatin1Char('-'));

QString FileVersionText()
{
    return TQvVersionInfo().GetValue(TQvVersionInfo::FileVersion);
}

QString CountsText(const TaskSnapshot &selected, TDateTime moment)
{
    qsizetype subTasks = 0;
    for (const TaskWithSubTasks &entry : selected)
        subTasks += qsizetype(entry.subTasks.size());
    return QStringLiteral("Tasks %1, Sub-Tasks %2 - %3")
        .arg(qsizetype(selected.size()))
        .arg(subTasks)
        .arg(DateTimeText(moment));
}

QString TextEntry(const TTaskInfo &task, const QString &lead, const QString &indent)
{
    QString line = lead + QString(task.content).replace(CrLf, CrLf + indent);
    line += task.checkFlag ? QStringLiteral(" - completed at ") + ShortDateText(task.checkTime)
                           : QStringLiteral(" - Incomplete");
    if (task.dueFlag)
        line += QStringLiteral(" - Due Date ") + ShortDateText(task.dueTime);
    return line;
}

// Task text inside the page: markup characters escaped, line breaks as <br>.
QString HtmlText(const QString &content)
{
    return content.toHtmlEscaped().replace(CrLf, QStringLiteral("<br> "));
}

const QString HeadCell = QStringLiteral(
    "<th scope=\"col\" style=\"color: #4f6b72; border-right: 1px solid #C1DAD7;\tborder-bottom: 1px solid "
    "#C1DAD7; border-top: 1px solid #C1DAD7;\ttext-align: left;\tpadding: 6px 6px 6px 12px;\tbackground: "
    "#CAE8EA;\" >");

struct Shading {
    QString rowStart;
    QString cellStart;
};

const Shading Shadings[2] = {
    {QStringLiteral("<tr><th scope=\"row\" style=\"color: #000000; border-right: 1px solid #C1DAD7;\tborder-bottom: "
                    "1px solid #C1DAD7; border-left: 1px solid #C1DAD7;\tborder-top: 0; text-align: "
                    "left;\tpadding: 6px 6px 6px 12px;\tbackground: #F3F3FA; font-weight: normal;\">"),
     QStringLiteral("<td style=\"border-right: 1px solid #C1DAD7;\tborder-bottom: 1px solid #C1DAD7;\tpadding: "
                    "6px 6px 6px 12px; background: #F3F3FA;\">")},
    {QStringLiteral("<tr><th scope=\"row\" style=\"color: #000000; border-right: 1px solid #C1DAD7;\tborder-bottom: "
                    "1px solid #C1DAD7; border-left: 1px solid #C1DAD7;\tborder-top: 0; text-align: "
                    "left;\tpadding: 6px 6px 6px 12px;\tbackground: #F5FFE8; font-weight: normal;\">"),
     QStringLiteral("<td style=\"border-right: 1px solid #C1DAD7;\tborder-bottom: 1px solid #C1DAD7;\tpadding: "
                    "6px 6px 6px 12px; background: #F5FFE8;\">")},
};

const Shading SubTaskShading = {
    QStringLiteral("<tr><th scope=\"row\" style=\"color: #797268; border-right: 1px solid #C1DAD7;\tborder-bottom: "
                   "1px solid #C1DAD7; border-left: 1px solid #C1DAD7;\tborder-top: 0; text-align: "
                   "left;\tpadding: 6px 6px 6px 32px;\tbackground: #ffffff; font-size: 90%; font-weight: "
                   "normal;\">"),
    QStringLiteral("<td style=\"border-right: 1px solid #C1DAD7;\tborder-bottom: 1px solid #C1DAD7;\tpadding: 6px "
                   "6px 6px 12px; background: #ffffff; color: #797268; font-size: 90%;\">"),
};

void AppendHtmlRow(QStringList &lines, const TTaskInfo &task, const Shading &shading)
{
    lines << shading.rowStart << HtmlText(task.content) + QStringLiteral("</th>")
          << shading.cellStart + (task.checkFlag ? QStringLiteral("completed at ") + ShortDateText(task.checkTime)
                                                 : QStringLiteral("Incomplete"))
                 + QStringLiteral("</td>")
          << shading.cellStart + (task.dueFlag ? ShortDateText(task.dueTime) : QStringLiteral(" - "))
                 + QStringLiteral("</td>")
          << QStringLiteral("</tr>");
}

// UTF-8, every line followed by CR LF, no byte-order mark.
bool WriteLines(const QString &fileName, const QStringList &lines)
{
    if (Paths::IsOwnDataFile(fileName)) {
        ErrorBox(QStringLiteral("\"%1\" is the program's own task database or settings file. Choose another file.")
                     .arg(fileName));
        return false;
    }
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += (line + CrLf).toUtf8();
    if (AtomicFile::writeWhole(fileName, bytes))
        return true;
    ErrorBox(QStringLiteral("File write failure!"));
    return false;
}

const QString TextFilter = QStringLiteral("Text file (*.txt)");
const QString HtmlFilter = QStringLiteral("HTML file (*.htm *.html)");

}  // namespace

QStringList TaskTextLines(const TaskSnapshot &selected, TDateTime moment)
{
    QStringList lines{QStringLiteral("To-Do List"), Rule, QString()};
    for (const TaskWithSubTasks &entry : selected) {
        lines << TextEntry(entry.task, QStringLiteral(" * "), QStringLiteral("   "));
        for (const TTaskInfo &child : entry.subTasks)
            lines << TextEntry(child, QStringLiteral("   - "), QStringLiteral("     "));
    }
    lines << QString() << Rule << QLatin1Char(' ') + CountsText(selected, moment)
          << QStringLiteral(" By Ambrel Quillpad ") + FileVersionText() << QLatin1Char(' ') + ProductPageAddress;
    return lines;
}

QStringList TaskHtmlLines(const TaskSnapshot &selected, TDateTime moment)
{
    // The page says it is UTF-8 itself, so a browser opening the file reads it so.
    QStringList lines{QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>"),
                      QStringLiteral("<h1>To-Do List</h1>"),
                      QStringLiteral("<table style=\"width: 100%; padding: 0; margin: 0;\" cellspacing=\"0\">"),
                      QStringLiteral("<tr>") + HeadCell + QStringLiteral("Task Content</th>"),
                      HeadCell + QStringLiteral("Status</th>"),
                      HeadCell + QStringLiteral("Due Date</th></tr>")};
    int row = 0;
    for (const TaskWithSubTasks &entry : selected) {
        AppendHtmlRow(lines, entry.task, Shadings[row++ % 2]);
        for (const TTaskInfo &child : entry.subTasks)
            AppendHtmlRow(lines, child, SubTaskShading);
    }
    lines << QStringLiteral("</table>") << QStringLiteral("<p>") + CountsText(selected, moment) + QStringLiteral("</p>")
          << QStringLiteral("<p>By Ambrel Quillpad ") + FileVersionText() + QStringLiteral("</p>")
          << QStringLiteral("<p><a href=\"%1?t-f\">%1</a></p>").arg(ProductPageAddress)
          << QStringLiteral("</body></html>");
    return lines;
}

bool WriteTasksText(const QString &fileName, const TaskSnapshot &selected)
{
    return WriteLines(fileName, TaskTextLines(selected, Clock::nowDateTime()));
}

bool WriteTasksHtml(const QString &fileName, const TaskSnapshot &selected)
{
    return WriteLines(fileName, TaskHtmlLines(selected, Clock::nowDateTime()));
}

bool WriteTaskDocument(TaskDocumentFormat format, const QString &fileName, const TaskSnapshot &selected)
{
    return format == TaskDocumentFormat::Html ? WriteTasksHtml(fileName, selected)
                                              : WriteTasksText(fileName, selected);
}

QString WithExtension(const QString &name, const QString &extension)
{
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? name.left(dot) : name) + extension;
}

std::optional<TaskDocumentFormat> FormatOfFileName(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("txt"))
        return TaskDocumentFormat::Text;
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return TaskDocumentFormat::Html;
    return std::nullopt;
}

TaskDocumentChoice AskTaskDocumentFile()
{
    QString chosenFilter;
    FileRequest request;
    request.filter = TextFilter + QStringLiteral(";;") + HtmlFilter;
    request.selectedFilter = &chosenFilter;
    request.fileName = DatedFileName({});  // the extension follows the format chosen
    TaskDocumentChoice choice;
    const QString fileName = Prompter::instance().saveFileName(request);
    if (fileName.isEmpty())
        return choice;
    if (chosenFilter == HtmlFilter) {
        choice.format = TaskDocumentFormat::Html;
        choice.fileName = WithExtension(fileName, QStringLiteral(".html"));
    } else {
        choice.fileName = WithExtension(fileName, QStringLiteral(".txt"));
    }
    return choice;
}

}  // namespace quillpad
