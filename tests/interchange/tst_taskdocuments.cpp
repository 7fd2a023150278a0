// The text and HTML documents of the selected tasks: their lines, the file's bytes,
// the failure report and the choice of file and format.

#include "interchange/TaskDocuments.h"

#include "components/QvVersionInfo.h"
#include "store/Clock.h"
#include "store/DateText.h"
#include "support/ScriptedPrompter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillpad;

namespace {

TDateTime Day(int year, int month, int day)
{
    return EncodeDateTime(QDate(year, month, day), QTime(0, 0));
}

TTaskInfo Task(const QString &content)
{
    TTaskInfo task;
    task.content = content;
    return task;
}

// Two top-level tasks: the first with a two-line text and a completed, due sub-task.
TaskSnapshot Fixture()
{
    TTaskInfo child = Task(QStringLiteral("Call the plumber"));
    child.checkFlag = true;
    child.checkTime = Day(2026, 3, 2) + 0.5;
    child.dueFlag = true;
    child.dueTime = Day(2026, 3, 4);
    TaskSnapshot snapshot;
    snapshot.push_back({Task(QStringLiteral("Fix the house\r\nbefore spring")), {child}});
    snapshot.push_back({Task(QStringLiteral("Read")), {}});
    return snapshot;
}

const TDateTime Moment = Day(2026, 3, 5) + 0.25;  // 06:00

QString Version()
{
    return TQvVersionInfo().GetValue(TQvVersionInfo::FileVersion);
}

const QString Cell = QStringLiteral("<td style=\"border-right: 1px solid #C1DAD7;\tborder-bottom: 1px solid "
                                    "#C1DAD7;\tpadding: 6px 6px 6px 12px; background: #%1;\">");
const QString SubCell = QStringLiteral("<td style=\"border-right: 1px solid #C1DAD7;\tborder-bottom: 1px solid "
                                       "#C1DAD7;\tpadding: 6px 6px 6px 12px; background: #ffffff; color: #797268; "
                                       "font-size: 90%;\">");
const QString RowA = QStringLiteral(
    "<tr><th scope=\"row\" style=\"color: #000000; border-right: 1px solid #C1DAD7;\tborder-bottom: 1px solid "
    "#C1DAD7; border-left: 1px solid #C1DAD7;\tborder-top: 0; text-align: left;\tpadding: 6px 6px 6px "
    "12px;\tbackground: #F3F3FA; font-weight: normal;\">");
const QString RowB = QStringLiteral(
    "<tr><th scope=\"row\" style=\"color: #000000; border-right: 1px solid #C1DAD7;\tborder-bottom: 1px solid "
    "#C1DAD7; border-left: 1px solid #C1DAD7;\tborder-top: 0; text-align: left;\tpadding: 6px 6px 6px "
    "12px;\tbackground: #F5FFE8; font-weight: normal;\">");
const QString SubRow = QStringLiteral(
    "<tr><th scope=\"row\" style=\"color: #797268; border-right: 1px solid #C1DAD7;\tborder-bottom: 1px solid "
    "#C1DAD7; border-left: 1px solid #C1DAD7;\tborder-top: 0; text-align: left;\tpadding: 6px 6px 6px "
    "32px;\tbackground: #ffffff; font-size: 90%; font-weight: normal;\">");
const QString Head = QStringLiteral(
    "<th scope=\"col\" style=\"color: #4f6b72; border-right: 1px solid #C1DAD7;\tborder-bottom: 1px solid "
    "#C1DAD7; border-top: 1px solid #C1DAD7;\ttext-align: left;\tpadding: 6px 6px 6px 12px;\tbackground: "
    "#CAE8EA;\" >");

}  // namespace

class TestTaskDocuments : public QObject {
    Q_OBJECT

private slots:
    void textLayout();
    void htmlLayout();
    void shadingSkipsSubTasks();
    void htmlEscapesTaskText_data();
    void htmlEscapesTaskText();
    void fileBytes();
    void writeFailure();
    void fileChoice_data();
    void fileChoice();
    void formatOfFileName();
};

void TestTaskDocuments::textLayout()
{
    const QString footer = QStringLiteral(" Tasks 2, Sub-Tasks 1 - ") + DateTimeText(Moment);
    const QStringList expected{
        "To-Do List",
        "---------------------------------",
        "",
        " * Fix the house\r\n   before spring - Incomplete",
        "   - Call the plumber - completed at " + ShortDateText(Day(2026, 3, 2)) + " - Due Date "
            + ShortDateText(Day(2026, 3, 4)),
        " * Read - Incomplete",
        "",
        "---------------------------------",
        footer,
        " By Ambrel Quillpad " + Version(),
        " " + ProductPageAddress,
    };
    QCOMPARE(TaskTextLines(Fixture(), Moment), expected);
    QVERIFY(ProductPageAddress.endsWith(QLatin1String("/quillpad")));
    QVERIFY(!DateTimeText(Moment).isEmpty() && DateTimeText(Moment) != ShortDateText(Moment));
}

void TestTaskDocuments::htmlLayout()
{
    const QString a = QStringLiteral("F3F3FA");
    const QString b = QStringLiteral("F5FFE8");
    const QStringList expected{
        "<html><head><meta charset=\"utf-8\"></head><body>",
        "<h1>To-Do List</h1>",
        "<table style=\"width: 100%; padding: 0; margin: 0;\" cellspacing=\"0\">",
        "<tr>" + Head + "Task Content</th>",
        Head + "Status</th>",
        Head + "Due Date</th></tr>",
        RowA,
        "Fix the house<br> before spring</th>",
        Cell.arg(a) + "Incomplete</td>",
        Cell.arg(a) + " - </td>",
        "</tr>",
        SubRow,
        "Call the plumber</th>",
        SubCell + "completed at " + ShortDateText(Day(2026, 3, 2)) + "</td>",
        SubCell + ShortDateText(Day(2026, 3, 4)) + "</td>",
        "</tr>",
        RowB,
        "Read</th>",
        Cell.arg(b) + "Incomplete</td>",
        Cell.arg(b) + " - </td>",
        "</tr>",
        "</table>",
        "<p>Tasks 2, Sub-Tasks 1 - " + DateTimeText(Moment) + "</p>",
        "<p>By Ambrel Quillpad " + Version() + "</p>",
        "<p><a href=\"" + ProductPageAddress + "?t-f\">" + ProductPageAddress + "</a></p>",
        "</body></html>",
    };
    const QStringList lines = TaskHtmlLines(Fixture(), Moment);
    for (qsizetype i = 0; i < qMin(lines.size(), expected.size()); ++i)
        QCOMPARE(lines.at(i), expected.at(i));
    QCOMPARE(lines.size(), expected.size());
}

void TestTaskDocuments::shadingSkipsSubTasks()
{
    TaskSnapshot snapshot;
    snapshot.push_back({Task(QStringLiteral("one")), {Task(QStringLiteral("a")), Task(QStringLiteral("b"))}});
    snapshot.push_back({Task(QStringLiteral("two")), {Task(QStringLiteral("c"))}});
    snapshot.push_back({Task(QStringLiteral("three")), {}});
    QStringList starts;
    for (const QString &line : TaskHtmlLines(snapshot, Moment)) {
        if (line == RowA || line == RowB || line == SubRow)
            starts.append(line == RowA ? "A" : line == RowB ? "B" : "sub");
    }
    QCOMPARE(starts, (QStringList{"A", "sub", "sub", "B", "sub", "A"}));
}

void TestTaskDocuments::htmlEscapesTaskText_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("cell");
    QTest::newRow("script") << "<script>alert(1)</script>" << "&lt;script&gt;alert(1)&lt;/script&gt;</th>";
    QTest::newRow("ampersand") << "a < b & c" << "a &lt; b &amp; c</th>";
    QTest::newRow("quote") << "say \"hi\"" << "say &quot;hi&quot;</th>";
    QTest::newRow("break after markup") << "x>\r\ny" << "x&gt;<br> y</th>";
    QTest::newRow("entity stays text") << "&amp;" << "&amp;amp;</th>";
}

void TestTaskDocuments::htmlEscapesTaskText()
{
    QFETCH(QString, content);
    QFETCH(QString, cell);
    TaskSnapshot snapshot;
    snapshot.push_back({Task(QStringLiteral("parent")), {Task(content)}});
    snapshot.front().task.content = content;
    const QStringList lines = TaskHtmlLines(snapshot, Moment);
    QCOMPARE(lines.at(7), cell);   // the task's cell
    QCOMPARE(lines.at(12), cell);  // the sub-task's cell
}

void TestTaskDocuments::fileBytes()
{
    ManualClock clock(QDateTime(QDate(2026, 3, 5), QTime(6, 0)));
    Clock::install(&clock);
    QTemporaryDir dir;
    TaskSnapshot snapshot;
    snapshot.push_back({Task(QStringLiteral("Grüße\r\nzwei")), {}});
    for (const bool html : {false, true}) {
        const QString name = dir.filePath(html ? QStringLiteral("t.html") : QStringLiteral("t.txt"));
        QVERIFY(html ? WriteTasksHtml(name, snapshot) : WriteTasksText(name, snapshot));
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QStringList lines = html ? TaskHtmlLines(snapshot, Clock::nowDateTime())
                                       : TaskTextLines(snapshot, Clock::nowDateTime());
        QCOMPARE(bytes, (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
        QVERIFY(bytes.contains("Gr\xc3\xbc\xc3\x9f" "e"));
        QVERIFY(!bytes.startsWith("\xef\xbb\xbf"));
    }
    Clock::install(nullptr);
}

void TestTaskDocuments::writeFailure()
{
    ScriptedPrompter prompter;
    QTemporaryDir dir;
    // A plain file where the folder should be: no one can write below it.
    QFile blocker(dir.filePath(QStringLiteral("folder")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(!WriteTasksText(blocker.fileName() + QStringLiteral("/tasks.txt"), Fixture()));
    QVERIFY(!WriteTasksHtml(blocker.fileName() + QStringLiteral("/tasks.html"), Fixture()));
    QCOMPARE(prompter.lines(), (QStringList{"Error: File write failure!", "Error: File write failure!"}));
}

void TestTaskDocuments::fileChoice_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("html");
    const QString text = QStringLiteral("Text file (*.txt)");
    const QString html = QStringLiteral("HTML file (*.htm *.html)");
    QTest::newRow("text, no extension") << "/d/list" << text << "/d/list.txt" << false;
    QTest::newRow("text, other extension") << "/d/list.html" << text << "/d/list.txt" << false;
    QTest::newRow("html, no extension") << "/d/list" << html << "/d/list.html" << true;
    QTest::newRow("html, .htm typed") << "/d/list.htm" << html << "/d/list.html" << true;
    QTest::newRow("html, last extension only") << "/d/my.list.txt" << html << "/d/my.list.html" << true;
    QTest::newRow("dot in a folder's name") << "/d.x/list" << html << "/d.x/list.html" << true;
}

void TestTaskDocuments::fileChoice()
{
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(QString, fileName);
    QFETCH(bool, html);
    ScriptedPrompter prompter;
    prompter.setNextFileName(typed, filter);
    const TaskDocumentChoice choice = AskTaskDocumentFile();
    QCOMPARE(choice.fileName, fileName);
    QCOMPARE(choice.format == TaskDocumentFormat::Html, html);
    QCOMPARE(prompter.fileRequests.size(), 1);
    QCOMPARE(prompter.fileRequests.front().filter, QStringLiteral("Text file (*.txt);;HTML file (*.htm *.html)"));

    ScriptedPrompter cancelled;
    QVERIFY(AskTaskDocumentFile().fileName.isEmpty());
}

void TestTaskDocuments::formatOfFileName()
{
    QCOMPARE(FormatOfFileName(QStringLiteral("a/b.TXT")), TaskDocumentFormat::Text);
    QCOMPARE(FormatOfFileName(QStringLiteral("b.htm")), TaskDocumentFormat::Html);
    QCOMPARE(FormatOfFileName(QStringLiteral("b.html")), TaskDocumentFormat::Html);
    QVERIFY(!FormatOfFileName(QStringLiteral("b.qvx")));
    QVERIFY(!FormatOfFileName(QStringLiteral("b")));
}

QTEST_GUILESS_MAIN(TestTaskDocuments)
#include "tst_taskdocuments.moc"
