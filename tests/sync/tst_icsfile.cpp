// Reading other programs' iCalendar files: every calendar in a file, damaged tasks left
// out and counted, and input of any size read in time proportional to it.

#include "support/ScriptedPrompter.h"

#include "store/Connection.h"
#include "store/TaskStore.h"
#include "sync/Ical.h"
#include "sync/IcsFile.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quillpad;

namespace {

const QByteArray Begin = QByteArrayLiteral("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Client//EN\r\n");
const QByteArray End = QByteArrayLiteral("END:VCALENDAR\r\n");

QByteArray Todo(const QByteArray &uid, const QByteArray &parent = {})
{
    QByteArray text = "BEGIN:VTODO\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\n";
    if (!parent.isEmpty())
        text += "RELATED-TO:" + parent + "\r\n";
    return text + "END:VTODO\r\n";
}

// The top-level tasks as "content | sub-tasks' contents".
QStringList Shown(const TaskSnapshot &snapshot)
{
    QStringList shown;
    for (const TaskWithSubTasks &top : snapshot) {
        QStringList children;
        for (const TTaskInfo &sub : top.subTasks)
            children.append(sub.content);
        shown.append(top.task.content + " | " + children.join(QStringLiteral(", ")));
    }
    return shown;
}

}  // namespace

class TestIcsFile : public QObject {
    Q_OBJECT

private slots:
    void import_data();
    void import();
    void largeInput_data();
    void largeInput();
    void deepNestingRefused();
};

void TestIcsFile::import_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("message");  // as the command line writes it; empty: none
    QTest::addColumn<bool>("result");

    QTest::newRow("several calendars") << Begin + Todo("a") + End + Begin + Todo("b") + Todo("c", "b") + End
                                       << QStringList{"a | ", "b | c"} << QString() << true;
    QTest::newRow("a NUL byte") << Begin + Todo("a") +
                                       QByteArrayLiteral("BEGIN:VTODO\r\nUID:b\r\nSUMMARY:b\0c\r\nEND:VTODO\r\n") + End
                                << QStringList{"a | ", "bc | "} << QString() << true;
    QTest::newRow("a calendar inside a calendar") << Begin + Todo("a") + Begin + Todo("b", "a") + End + End
                                                  << QStringList{"a | b"} << QString() << true;
    const QByteArray mark = QByteArrayLiteral("\xEF\xBB\xBF");
    QTest::newRow("two files put together") << mark + Begin + Todo("a") + End + mark + Begin + Todo("b") + End
                                            << QStringList{"a | ", "b | "} << QString() << true;
    QTest::newRow("lines ending in CR alone") << QByteArray(Begin + Todo("a") + End).replace("\r\n", "\r")
                                              << QStringList{"a | "} << QString() << true;
    QTest::newRow("a lone CR inside a line") << Begin + "BEGIN:VTODO\r\nUID:a\r\nSUMMARY:a\rb\r\nEND:VTODO\r\n" + End
                                             << QStringList{"a\r\nb | "} << QString() << true;
    QTest::newRow("events only") << Begin + "BEGIN:VEVENT\r\nUID:e\r\nSUMMARY:Meeting\r\nEND:VEVENT\r\n" + End
                                 << QStringList{}
                                 << QStringLiteral("Warning: There are no tasks in this file: nothing was imported.")
                                 << true;
    QTest::newRow("damaged tasks among good ones")
        << Begin + Todo("a") + "BEGIN:VTODO\r\nUID:no end\r\n" + End +              // closed by the calendar
               Begin + "BEGIN:VTODO\r\nUID:alarm\r\nBEGIN:VALARM\r\nEND:VTODO\r\n" +  // a part not closed
               Todo("b") + "BEGIN:VTODO\r\nUID:stray\r\nEND:VTDOO\r\n" + End +        // an END of nothing
               Begin + "BEGIN:VEVENT\r\nUID:e\r\n" + Todo("in event") + "END:VEVENT\r\n" + Todo("c") + End +
               Begin + Todo("d") + "BEGIN:VTODO\r\nUID:cut\r\nSUMMARY:cu"  // the file ends
        << QStringList{"a | ", "b | ", "c | ", "d | "}
        << QStringLiteral("Warning: Skipped 5 of 9 tasks that could not be read.") << true;
    // libical frees nested components recursively: nesting this deep is dropped before it.
    QTest::newRow("a task nested 100,000 deep")
        << Begin + Todo("a") + QByteArray("BEGIN:VEVENT\r\n").repeated(100000) + Todo("b") +
               QByteArray("END:VEVENT\r\n").repeated(100000) + End
        << QStringList{"a | "} << QStringLiteral("Warning: Skipped 1 of 2 tasks that could not be read.") << true;
    QTest::newRow("nothing readable") << Begin + "BEGIN:VTODO\r\nUID:a\r\n" + End + "BEGIN:VTODO\r\nUID:b\r\n"
                                      << QStringList{}
                                      << QStringLiteral("Error: None of the 2 tasks in this file could be read: "
                                                        "nothing was imported.")
                                      << false;
}

void TestIcsFile::import()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, shown);
    QFETCH(QString, message);
    QFETCH(bool, result);
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("tasks.ics"));
    QFile ics(name);
    QVERIFY(ics.open(QIODevice::WriteOnly));
    ics.write(file);
    ics.close();
    Connection db;
    db.open(dir.filePath(QStringLiteral("qvData.qvb")));
    TaskStore store(db);
    ScriptedPrompter prompter;

    QCOMPARE(ImportIcsFile(name, store), result);
    QStringList messages;
    for (const PromptMessage &box : std::as_const(prompter.messages))
        messages.append(StderrPrompter::oneLineReport(box));
    QCOMPARE(messages, message.isEmpty() ? QStringList() : QStringList{message});
    TaskSnapshot snapshot;
    store.load(snapshot);
    QCOMPARE(Shown(snapshot), shown);
}

void TestIcsFile::largeInput_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("topLevel");
    QTest::addColumn<int>("subTasks");
    QTest::addColumn<QString>("longest");  // the longest text read

    const QString letters = QStringLiteral("abcdefghij").repeated(200000);
    QTest::newRow("one long line") << Begin + "BEGIN:VTODO\r\nUID:long\r\nSUMMARY:" + letters.toLatin1() +
                                          "\r\nEND:VTODO\r\n" + End
                                   << 1 << 0 << letters;
    QByteArray folded = "SUMMARY:";
    for (qsizetype at = 0; at < letters.size(); at += 73)
        folded += (at ? "\r\n " : "") + letters.mid(at, 73).toLatin1();
    QTest::newRow("one long folded line") << Begin + "BEGIN:VTODO\r\nUID:long\r\n" + folded + "\r\nEND:VTODO\r\n" + End
                                          << 1 << 0 << letters;

    // 20,000 tasks, each the sub-task of the one before: all under the first.
    constexpr int Depth = 20000;
    QByteArray chain = Begin + Todo("t0");
    for (int i = 1; i < Depth; ++i)
        chain += Todo("t" + QByteArray::number(i), "t" + QByteArray::number(i - 1));
    QTest::newRow("a deep chain") << chain + End << 1 << Depth - 1 << QStringLiteral("t10000");
    // The same chain with its first task under the last: they go round, all are top-level.
    QByteArray circle = chain;
    circle.replace("UID:t0\r\nSUMMARY:t0\r\n",
                   "UID:t0\r\nSUMMARY:t0\r\nRELATED-TO:t" + QByteArray::number(Depth - 1) + "\r\n");
    QTest::newRow("a deep circle") << circle + End << Depth << 0 << QStringLiteral("t10000");
    // A second task with a taken tid, under a task below the first one: it goes round too.
    QTest::newRow("a deep chain and a taken tid")
        << chain + Todo("t5", "t" + QByteArray::number(Depth - 1)) + Todo("x", "t0") + End << 2 << Depth
        << QStringLiteral("t10000");
}

void TestIcsFile::largeInput()
{
    QFETCH(QByteArray, file);
    QFETCH(int, topLevel);
    QFETCH(int, subTasks);
    QFETCH(QString, longest);
    const std::optional<std::vector<TTaskInfo>> tasks = TasksFromIcs(file);
    QVERIFY(tasks);
    int tops = 0, subs = 0;
    QString longestRead;
    for (const TTaskInfo &task : *tasks) {
        if (task.pid == RootPid)
            ++tops;
        else if (task.pid == tasks->front().tid)
            ++subs;
        if (task.content.size() > longestRead.size())
            longestRead = task.content;
    }
    QCOMPARE(tops, topLevel);
    QCOMPARE(subs, subTasks);
    QCOMPARE(longestRead, longest);
}

// A server's object is parsed whole (ParseIcal): one nested too deep is refused, not a crash.
void TestIcsFile::deepNestingRefused()
{
    const auto nested = [](int depth) {
        return Begin + "BEGIN:VTODO\r\nUID:a\r\n" + QByteArray("BEGIN:VALARM\r\n").repeated(depth) +
               QByteArray("END:VALARM\r\n").repeated(depth) + "END:VTODO\r\n" + End;
    };
    QVERIFY(ParseIcal(nested(5)));
    QVERIFY(!ParseIcal(nested(100000)));
}

QTEST_GUILESS_MAIN(TestIcsFile)
#include "tst_icsfile.moc"
