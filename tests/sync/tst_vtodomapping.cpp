// A task record as a VTODO and back, in the local time zone CET/CEST that CTest sets.

#include "store/Clock.h"
#include "sync/IcsFile.h"
#include "sync/VTodoMapping.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <ctime>

using namespace quillpad;

namespace {

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0)
{
    return EncodeDateTime(QDate(year, month, day), QTime(hour, minute, second, ms));
}

// What the clock says through the tests: when a field changes, and when an object without
// times arrives.
TDateTime Now()
{
    return At(2026, 12, 1, 12, 0);
}

TTaskInfo Plain()
{
    TTaskInfo task;
    task.tid = QStringLiteral("{0F4E2C8A-6B1D-4E3F-9A7C-5D2B8E1F0A36}");
    task.pid = RootPid;
    task.content = QStringLiteral("Water the plants");
    task.createTime = At(2026, 1, 12, 9, 30, 5, 123);
    task.editTime = At(2026, 7, 3, 18, 2, 44, 987);
    return task;
}

// One line of the text, or an empty string: lines are unfolded, their ends dropped.
QStringList Lines(const QByteArray &ics)
{
    QString text = QString::fromUtf8(ics);
    text.replace(QStringLiteral("\r\n "), QString());
    return text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

// The first VTODO of a calendar, or the component itself.
icalcomponent *TodoOf(icalcomponent *root)
{
    return icalcomponent_isa(root) == ICAL_VTODO_COMPONENT
               ? root
               : icalcomponent_get_first_component(root, ICAL_VTODO_COMPONENT);
}

QByteArray Fixture(const char *name)
{
    QFile file(QStringLiteral(FIXTURES "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A VTODO another client wrote: properties and components we do not map, a due date in
// a named zone, a reminder relative to it, and a second reminder.
const QByteArray Foreign = QByteArrayLiteral(
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Client//EN\r\n"
    "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\n"
    "BEGIN:STANDARD\r\nDTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
    "BEGIN:VTODO\r\n"
    "UID:other-1\r\n"
    "DTSTAMP:20260401T080000Z\r\n"
    "CREATED:20260401T080000Z\r\n"
    "LAST-MODIFIED:20260401T080000Z\r\n"
    "SUMMARY;LANGUAGE=en;X-OTHER-PARAM=kept:Pay the rent\r\n"
    "DUE;TZID=America/New_York:20260415T170000\r\n"
    "RELATED-TO;RELTYPE=PARENT:other-parent\r\n"
    "RELATED-TO;RELTYPE=SIBLING:other-sibling\r\n"
    "RRULE:FREQ=WEEKLY;COUNT=4\r\n"
    "PRIORITY:1\r\n"
    "CATEGORIES:Home\r\n"
    "X-OTHER-FLAG:yes\r\n"
    "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:soon\r\nTRIGGER;RELATED=END:-PT1H\r\nEND:VALARM\r\n"
    "BEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\n"
    "END:VTODO\r\nEND:VCALENDAR\r\n");

// 17:00 in New York in April is 21:00 UTC, 23:00 here.
TDateTime ForeignDue()
{
    return At(2026, 4, 15, 23, 0);
}

}  // namespace

Q_DECLARE_METATYPE(TTaskInfo)

class TestVTodoMapping : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void roundTrip_data();
    void roundTrip();
    void wireTimes_data();
    void wireTimes();
    void foreignPropertiesSurviveOurEdit_data();
    void foreignPropertiesSurviveOurEdit();
    void contentFromOtherClients_data();
    void contentFromOtherClients();
    void titleRenamedElsewhere_data();
    void titleRenamedElsewhere();
    void olderFormWrittenAnew();
    void cancelled_data();
    void cancelled();
    void changesStampTheRevision_data();
    void changesStampTheRevision();
    void missingTimes_data();
    void missingTimes();
    void deeperNestingShownAtTwoLevels();
    void deeperNestingKeepsItsLinkOnEdit();
    void fixtures_data();
    void fixtures();
    void timesBeyondTheYear3000();
    void notICalendar();

private:
    ManualClock m_clock{DateTimeToQt(Now())};
};

// The expected local times are Central European ones, in whatever zone the test is run.
const bool InCentralEuropeanTime = [] {
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
    return true;
}();

void TestVTodoMapping::initTestCase()
{
    QVERIFY(InCentralEuropeanTime);
    Clock::install(&m_clock);
}

void TestVTodoMapping::cleanupTestCase()
{
    Clock::install(nullptr);
}

// Field by field, so a failure names the field; times as Qt shows them.
#define COMPARE_TASKS(actual, wanted)                                                     \
    do {                                                                                  \
        const TTaskInfo &a_ = (actual), &w_ = (wanted);                                   \
        QCOMPARE(a_.tid, w_.tid);                                                         \
        QCOMPARE(a_.pid, w_.pid);                                                         \
        QCOMPARE(a_.content, w_.content);                                                 \
        QCOMPARE(a_.checkFlag, w_.checkFlag);                                             \
        QCOMPARE(DateTimeToQt(a_.checkTime), DateTimeToQt(w_.checkTime));                 \
        QCOMPARE(a_.dueFlag, w_.dueFlag);                                                 \
        QCOMPARE(DateTimeToQt(a_.dueTime), DateTimeToQt(w_.dueTime));                     \
        QCOMPARE(a_.alarmFlag, w_.alarmFlag);                                             \
        QCOMPARE(DateTimeToQt(a_.alarmTime), DateTimeToQt(w_.alarmTime));                 \
        QCOMPARE(DateTimeToQt(a_.createTime), DateTimeToQt(w_.createTime));               \
        QCOMPARE(DateTimeToQt(a_.editTime), DateTimeToQt(w_.editTime));                   \
        QCOMPARE(a_.textColor, w_.textColor);                                             \
        QCOMPARE(a_.backgroundColor, w_.backgroundColor);                                 \
        QCOMPARE(a_.expandFlag, w_.expandFlag);                                           \
        QVERIFY(a_ == w_); /* the doubles themselves */                                   \
    } while (false)

void TestVTodoMapping::roundTrip_data()
{
    QTest::addColumn<TTaskInfo>("task");
    QTest::addColumn<QStringList>("wire");  // lines the calendar text holds

    QTest::newRow("plain") << Plain()
                           << QStringList{"UID:{0F4E2C8A-6B1D-4E3F-9A7C-5D2B8E1F0A36}", "SUMMARY:Water the plants",
                                          "CREATED;X-QUILLPAD-MS=123:20260112T083005Z",
                                          "LAST-MODIFIED;X-QUILLPAD-MS=987:20260703T160244Z",
                                          "DTSTAMP:20260703T160244Z"};
    TTaskInfo lines = Plain();
    lines.content = QStringLiteral("  first line \r\nsecond; with, specials\\\r\n\r\n\tlast");
    QTest::newRow("lines") << lines
                           << QStringList{"SUMMARY;X-QUILLPAD-INDENT=SS;X-QUILLPAD-TRAIL=S:  first line ",
                                          "DESCRIPTION:second\\; with\\, specials\\\\\\n\\n\tlast"};
    TTaskInfo indentedRest = Plain();
    indentedRest.content = QStringLiteral("Title\r\n\t  indented");
    QTest::newRow("the rest indented") << indentedRest
                                       << QStringList{"SUMMARY:Title", "DESCRIPTION;X-QUILLPAD-INDENT=TSS:\t  indented"};
    TTaskInfo sub = Plain();
    sub.pid = QStringLiteral("{7A0C1E52-3D4B-4F6A-8B9C-0D1E2F3A4B5C}");
    QTest::newRow("sub-task") << sub
                              << QStringList{"RELATED-TO;RELTYPE=PARENT:{7A0C1E52-3D4B-4F6A-8B9C-0D1E2F3A4B5C}"};
    TTaskInfo checked = Plain();
    checked.checkFlag = true;
    checked.checkTime = At(2026, 7, 4, 10, 0, 0, 5);
    QTest::newRow("checked") << checked
                             << QStringList{"STATUS:COMPLETED", "COMPLETED;X-QUILLPAD-MS=5:20260704T080000Z",
                                            "PERCENT-COMPLETE:100"};
    TTaskInfo unchecked = Plain();
    unchecked.checkTime = At(2026, 7, 5, 11, 0);
    QTest::newRow("unchecked, the time kept") << unchecked << QStringList{"X-QUILLPAD-CHECK-TIME:20260705T090000Z"};
    TTaskInfo dueDay = Plain();
    dueDay.dueFlag = true;
    dueDay.dueTime = At(2026, 12, 24);
    QTest::newRow("due at midnight: a date") << dueDay << QStringList{"DUE;VALUE=DATE:20261224"};
    TTaskInfo dueTime = Plain();
    dueTime.dueFlag = true;
    dueTime.dueTime = At(2026, 6, 30, 17, 45, 0, 250);
    QTest::newRow("due with a time: UTC") << dueTime << QStringList{"DUE;X-QUILLPAD-MS=250:20260630T154500Z"};
    TTaskInfo dueOff = Plain();
    dueOff.dueTime = At(2026, 6, 30, 17, 45);
    QTest::newRow("due off, the date kept") << dueOff << QStringList{"X-QUILLPAD-DUE-TIME:20260630T154500Z"};
    TTaskInfo alarm = Plain();
    alarm.alarmFlag = true;
    alarm.alarmTime = At(2026, 2, 1, 7, 15, 30, 1);
    QTest::newRow("reminder") << alarm
                              << QStringList{"BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:Water the plants",
                                             "TRIGGER;VALUE=DATE-TIME;X-QUILLPAD-MS=1:20260201T061530Z"};
    TTaskInfo alarmOff = Plain();
    alarmOff.alarmTime = At(2026, 2, 1, 7, 15);
    QTest::newRow("reminder off, the time kept") << alarmOff
                                                 << QStringList{"X-QUILLPAD-ALARM-TIME:20260201T061500Z"};
    TTaskInfo looks = Plain();
    looks.textColor = 0x0000FF;
    looks.backgroundColor = -16777211;
    looks.expandFlag = true;
    QTest::newRow("colours and expansion") << looks
                                           << QStringList{"X-QUILLPAD-TEXT-COLOR:255",
                                                          "X-QUILLPAD-BACKGROUND-COLOR:-16777211",
                                                          "X-QUILLPAD-EXPANDED:1"};
    TTaskInfo ambiguous = Plain();
    ambiguous.dueFlag = true;
    ambiguous.dueTime = At(2026, 10, 25, 2, 30);  // the hour the clocks go back: there twice
    ambiguous.editTime = At(2026, 3, 29, 3, 30);  // just after the hour skipped in spring
    QTest::newRow("around daylight saving") << ambiguous << QStringList();
    TTaskInfo farOff = Plain();
    farOff.content = QStringLiteral("\tindented");
    farOff.createTime = At(1601, 1, 1, 12, 0);
    farOff.dueFlag = true;
    farOff.dueTime = At(3000, 12, 31, 23, 59, 59, 999);
    QTest::newRow("far dates, a tab first") << farOff
                                            << QStringList{"CREATED:16010101T110000Z",
                                                           "DUE;X-QUILLPAD-MS=999:30001231T225959Z",
                                                           "SUMMARY;X-QUILLPAD-INDENT=T:\tindented"};
    TTaskInfo bare = Plain();
    bare.createTime = bare.editTime = ZeroDateTime;
    bare.content.clear();
    QTest::newRow("no times, no text") << bare << QStringList();
    TTaskInfo blankFirst = Plain();
    blankFirst.content = QStringLiteral("  \r\nsecond");
    QTest::newRow("a blank first line") << blankFirst << QStringList{"SUMMARY;X-QUILLPAD-INDENT=SSN:second"};
}

void TestVTodoMapping::roundTrip()
{
    QFETCH(TTaskInfo, task);
    QFETCH(QStringList, wire);
    const QByteArray text = TasksAsIcs({task});
    const QStringList lines = Lines(text);
    QVERIFY(lines.contains(QStringLiteral("VERSION:2.0")));
    QVERIFY(lines.contains(QStringLiteral("PRODID:-//Ambrel//Quillpad//EN")));
    for (const QString &line : wire)
        QVERIFY2(lines.contains(line), qPrintable(line + QStringLiteral(" not in\n") + lines.join(QLatin1Char('\n'))));
    const std::optional<std::vector<TTaskInfo>> read = TasksFromIcs(text);
    QVERIFY(read && read->size() == 1);
    TTaskInfo expected = task;
    if (task.createTime == ZeroDateTime)
        expected.createTime = expected.editTime = Now();  // none written: the DTSTAMP, when it was written
    IcalComponentPtr root = ParseIcal(text);
    COMPARE_TASKS(ReadVTodo(TodoOf(root.get())), expected);  // the wire pid, unflattened
    expected.pid = RootPid;  // its parent is not in the file
    COMPARE_TASKS(read->front(), expected);
    // libical's own check of what RFC 5545 requires (it notes each fault as X-LIC-ERROR).
    QVERIFY(icalrestriction_check(root.get()));
    QCOMPARE(icalcomponent_count_errors(root.get()), 0);
}

void TestVTodoMapping::wireTimes_data()
{
    QTest::addColumn<QByteArray>("due");
    QTest::addColumn<TDateTime>("local");
    QTest::newRow("UTC") << QByteArray("DUE:20260115T100000Z") << At(2026, 1, 15, 11, 0);
    QTest::newRow("UTC in summer") << QByteArray("DUE:20260715T100000Z") << At(2026, 7, 15, 12, 0);
    QTest::newRow("floating: local as it is") << QByteArray("DUE:20260715T100000") << At(2026, 7, 15, 10, 0);
    QTest::newRow("date") << QByteArray("DUE;VALUE=DATE:20260715") << At(2026, 7, 15);
    QTest::newRow("zone of the calendar") << QByteArray("DUE;TZID=America/New_York:20260415T170000") << ForeignDue();
    QTest::newRow("zone the calendar lacks") << QByteArray("DUE;TZID=Asia/Tokyo:20260115T090000")
                                             << At(2026, 1, 15, 1, 0);
    QTest::newRow("unknown zone: local") << QByteArray("DUE;TZID=Nowhere/Land:20260115T090000")
                                         << At(2026, 1, 15, 9, 0);
}

void TestVTodoMapping::wireTimes()
{
    QFETCH(QByteArray, due);
    QFETCH(TDateTime, local);
    QByteArray text = Foreign;
    text.replace("DUE;TZID=America/New_York:20260415T170000", due);
    IcalComponentPtr root = ParseIcal(text);
    const TTaskInfo task = ReadVTodo(TodoOf(root.get()));
    QVERIFY(task.dueFlag);
    QCOMPARE(DateTimeToQt(task.dueTime), DateTimeToQt(local));
    // The reminder is an hour before the due time.
    QVERIFY(task.alarmFlag);
    QCOMPARE(DateTimeToQt(task.alarmTime), DateTimeToQt(local).addSecs(-3600));
}

void TestVTodoMapping::foreignPropertiesSurviveOurEdit_data()
{
    QTest::addColumn<int>("edit");
    QTest::addColumn<QStringList>("gone");   // lines our edit replaces
    QTest::addColumn<QStringList>("added");  // and what it writes instead
    QTest::newRow("text") << 0 << QStringList{"SUMMARY;LANGUAGE=en;X-OTHER-PARAM=kept:Pay the rent"}
                          << QStringList{"SUMMARY:Pay the rent", "DESCRIPTION:and the phone bill"};
    // A repeating task is completed as a whole: its rule and due date stay.
    QTest::newRow("check") << 1 << QStringList() << QStringList{"STATUS:COMPLETED", "COMPLETED:20260416T070000Z"};
    // The reminder, an hour before the due time, stays where it was.
    QTest::newRow("due") << 2 << QStringList{"DUE;TZID=America/New_York:20260415T170000", "TRIGGER;RELATED=END:-PT1H"}
                         << QStringList{"DUE:20260416T070000Z", "TRIGGER;VALUE=DATE-TIME:20260415T200000Z"};
    QTest::newRow("reminder moved") << 3 << QStringList{"TRIGGER;RELATED=END:-PT1H"}
                                    << QStringList{"TRIGGER;VALUE=DATE-TIME:20260416T070000Z", "TRIGGER:-PT5M"};
    // The second alarm comes to no time (there is no DTSTART): not a reminder of ours.
    QTest::newRow("reminder off") << 4 << QStringList{"TRIGGER;RELATED=END:-PT1H", "ACTION:DISPLAY", "DESCRIPTION:soon"}
                                  << QStringList{"X-QUILLPAD-ALARM-TIME:20260415T200000Z", "TRIGGER:-PT5M"};
    QTest::newRow("made top-level") << 5 << QStringList{"RELATED-TO;RELTYPE=PARENT:other-parent"} << QStringList();
    QTest::newRow("colour") << 6 << QStringList() << QStringList{"X-QUILLPAD-TEXT-COLOR:42"};
}

void TestVTodoMapping::foreignPropertiesSurviveOurEdit()
{
    QFETCH(int, edit);
    QFETCH(QStringList, gone);
    QFETCH(QStringList, added);
    IcalComponentPtr root = ParseIcal(Foreign);
    icalcomponent *todo = TodoOf(root.get());
    const QStringList before = Lines(IcalText(root.get()));
    TTaskInfo task = ReadVTodo(todo);
    QCOMPARE(task.content, QStringLiteral("Pay the rent"));
    QCOMPARE(task.dueTime, ForeignDue());
    QCOMPARE(task.pid, QStringLiteral("other-parent"));

    const TDateTime moment = At(2026, 4, 16, 9, 0);
    task.editTime = moment;
    switch (edit) {
    case 0: task.content += QStringLiteral("\r\nand the phone bill"); break;
    case 1: task.checkFlag = true, task.checkTime = moment; break;
    case 2: task.dueTime = moment; break;
    case 3: task.alarmTime = moment; break;
    case 4: task.alarmFlag = false; break;
    case 5: task.pid = RootPid; break;
    case 6: task.textColor = 42; break;
    }
    WriteVTodo(todo, task);
    const QStringList after = Lines(IcalText(root.get()));
    for (const QString &line : before) {
        if (line.startsWith(QLatin1String("LAST-MODIFIED")) || line.startsWith(QLatin1String("DTSTAMP")))
            continue;
        QVERIFY2(after.contains(line) != gone.contains(line), qPrintable(line));
    }
    for (const QString &line : added)
        QVERIFY2(after.contains(line), qPrintable(line + QStringLiteral(" not in\n") + after.join(QLatin1Char('\n'))));
    QVERIFY(after.contains(QStringLiteral("LAST-MODIFIED:20260416T070000Z")));
    QVERIFY(after.contains(QStringLiteral("DTSTAMP:20260416T070000Z")));
    // What we wrote reads back as our record, also through the text.
    COMPARE_TASKS(ReadVTodo(todo), task);
    IcalComponentPtr reread = ParseIcal(IcalText(root.get()));
    COMPARE_TASKS(ReadVTodo(TodoOf(reread.get())), task);
}

void TestVTodoMapping::contentFromOtherClients_data()
{
    QTest::addColumn<QByteArray>("properties");
    QTest::addColumn<QString>("content");
    QTest::newRow("summary only") << QByteArray("SUMMARY:Title") << QStringLiteral("Title");
    QTest::newRow("a note under the title") << QByteArray("SUMMARY:Title\r\nDESCRIPTION:a note\\nof two lines")
                                            << QStringLiteral("Title\r\na note\r\nof two lines");
    QTest::newRow("the whole text, as we wrote it before")
        << QByteArray("SUMMARY:Title\r\nDESCRIPTION:Title\\nmore") << QStringLiteral("Title\r\nmore");
    QTest::newRow("the rest repeating the title")
        << QByteArray("SUMMARY:Title\r\nDESCRIPTION;X-QUILLPAD-REST=1:Title\\nmore")
        << QStringLiteral("Title\r\nTitle\r\nmore");
    QTest::newRow("description only") << QByteArray("DESCRIPTION:only\\nthis") << QStringLiteral("only\r\nthis");
    QTest::newRow("trailing blanks dropped") << QByteArray("SUMMARY:Title \\n\r\n") << QStringLiteral("Title");
}

void TestVTodoMapping::contentFromOtherClients()
{
    QFETCH(QByteArray, properties);
    QFETCH(QString, content);
    IcalComponentPtr todo = ParseIcal("BEGIN:VTODO\r\nUID:x\r\n" + properties + "\r\nEND:VTODO\r\n");
    QVERIFY(todo);
    QCOMPARE(ReadVTodo(todo.get()).content, content);
}

void TestVTodoMapping::deeperNestingShownAtTwoLevels()
{
    // uid, its parent on the wire, the parent shown
    const QList<QStringList> cases{
        {"a", "root", "root"},     {"b", "a", "a"},       {"c", "b", "a"},       {"d", "c", "a"},
        {"lost", "gone", "root"},  {"e", "lost", "lost"}, {"f", "g", "root"},    {"g", "f", "root"},
        {"h", "g", "root"},        {"self", "self", "root"},
        // a second task with a taken uid: under its own parent, round when that is below the first
        {"b", "d", "root"},        {"c", "lost", "lost"},
    };
    std::vector<TTaskInfo> tasks;
    for (const QStringList &row : cases) {
        TTaskInfo task;
        task.tid = row.at(0);
        task.pid = row.at(1);
        tasks.push_back(task);
    }
    ShowAtTwoLevels(tasks);
    for (size_t i = 0; i < tasks.size(); ++i)
        QCOMPARE(tasks.at(i).pid, cases.at(i).at(2));
}

void TestVTodoMapping::deeperNestingKeepsItsLinkOnEdit()
{
    IcalComponentPtr root = ParseIcal(Fixture("thunderbird.ics"));
    const std::optional<std::vector<TTaskInfo>> shown = TasksFromIcs(Fixture("thunderbird.ics"));
    QVERIFY(shown && shown->size() == 3);
    icalcomponent *grandchild = icalcomponent_get_first_component(root.get(), ICAL_VTODO_COMPONENT);
    grandchild = icalcomponent_get_next_component(root.get(), ICAL_VTODO_COMPONENT);
    grandchild = icalcomponent_get_next_component(root.get(), ICAL_VTODO_COMPONENT);
    TTaskInfo task = shown->at(2);
    QCOMPARE(task.pid, shown->at(0).tid);  // shown under the top-level ancestor

    task.content = QStringLiteral("Compare prices twice");
    WriteVTodo(grandchild, task, task.pid);
    QVERIFY(Lines(IcalText(grandchild))
                .contains(QStringLiteral("RELATED-TO;RELTYPE=PARENT:6a1d2f4c-0b9e-4c3a-8f21-7d5e6c4b3a29")));
    // Moved by us under another task, it links to that one.
    task.pid = QStringLiteral("elsewhere");
    WriteVTodo(grandchild, task, shown->at(2).pid);
    const QStringList moved = Lines(IcalText(grandchild));
    QVERIFY(moved.contains(QStringLiteral("RELATED-TO;RELTYPE=PARENT:elsewhere")));
    QCOMPARE(moved.filter(QStringLiteral("RELATED-TO")).size(), 1);
}

void TestVTodoMapping::fixtures_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<TTaskInfo>>("expected");

    // Local time is CET/CEST: the UTC times on the wire are one or two hours earlier.
    TTaskInfo garden;
    garden.tid = QStringLiteral("1f0b3c2e-8d7a-4b7e-9a55-3c1f2d4e5a60");
    garden.pid = RootPid;
    garden.content = QStringLiteral("Plan the garden\r\nSeeds from the market\r\nand new gloves");
    garden.dueFlag = true;
    garden.dueTime = At(2024, 7, 5, 18, 0);
    garden.alarmFlag = true;
    garden.alarmTime = At(2024, 7, 5, 17, 30);
    garden.createTime = At(2024, 3, 1, 10, 15);
    garden.editTime = At(2024, 3, 2, 11, 10, 10);
    TTaskInfo seeds;
    seeds.tid = QStringLiteral("6a1d2f4c-0b9e-4c3a-8f21-7d5e6c4b3a29");
    seeds.pid = garden.tid;
    seeds.content = QStringLiteral("Buy seeds");
    seeds.checkFlag = true;
    seeds.checkTime = At(2024, 3, 3, 13, 0);
    seeds.createTime = At(2024, 3, 1, 10, 16);
    seeds.editTime = At(2024, 3, 3, 13, 0);
    TTaskInfo prices;
    prices.tid = QStringLiteral("9c8b7a6d-5e4f-4a3b-2c1d-0e9f8a7b6c5d");
    prices.pid = garden.tid;
    prices.content = QStringLiteral("Compare prices");
    prices.dueFlag = true;
    prices.dueTime = At(2024, 7, 10);
    prices.createTime = prices.editTime = At(2024, 3, 1, 10, 17);
    QTest::newRow("Thunderbird") << QByteArray("thunderbird.ics") << QList<TTaskInfo>{garden, seeds, prices};

    TTaskInfo plumber;
    plumber.tid = QStringLiteral("20240411T083000Z-4521-1000-1-12@laptop");
    plumber.pid = RootPid;
    plumber.content = QStringLiteral("Call the plumber");
    plumber.dueFlag = true;
    plumber.dueTime = At(2024, 4, 15, 23, 0);
    plumber.alarmFlag = true;
    plumber.alarmTime = At(2024, 4, 15, 22, 0);
    plumber.createTime = At(2024, 4, 11, 10, 30);
    plumber.editTime = At(2024, 4, 11, 10, 35);
    TTaskInfo invoice;
    invoice.tid = QStringLiteral("20240411T083100Z-4521-1000-1-14@laptop");
    invoice.pid = plumber.tid;
    invoice.content = QStringLiteral("Find the invoice\r\nIn the blue folder");
    invoice.dueFlag = true;
    invoice.dueTime = At(2024, 4, 14);
    invoice.checkFlag = true;
    invoice.checkTime = At(2024, 4, 12, 17, 0);
    invoice.createTime = At(2024, 4, 11, 10, 31);
    invoice.editTime = At(2024, 4, 12, 17, 0);
    QTest::newRow("Evolution") << QByteArray("evolution.ics") << QList<TTaskInfo>{plumber, invoice};
}

void TestVTodoMapping::fixtures()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<TTaskInfo>, expected);
    const std::optional<std::vector<TTaskInfo>> tasks = TasksFromIcs(Fixture(file.constData()));
    QVERIFY(tasks);
    QCOMPARE(tasks->size(), size_t(expected.size()));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        COMPARE_TASKS(tasks->at(size_t(i)), expected.at(i));
    }
}

void TestVTodoMapping::timesBeyondTheYear3000()
{
    TTaskInfo task = Plain();
    task.dueFlag = true;
    task.dueTime = At(9999, 12, 31, 23, 59, 59, 999);
    const QByteArray text = TasksAsIcs({task});
    QVERIFY(Lines(text).contains(QStringLiteral("DUE:30001231T235959Z")));
    const std::optional<std::vector<TTaskInfo>> read = TasksFromIcs(text);
    QVERIFY(read && read->size() == 1);
    QCOMPARE(DateTimeToQt(read->front().dueTime), DateTimeToQt(At(3001, 1, 1, 0, 59, 59)));
}

void TestVTodoMapping::notICalendar()
{
    QVERIFY(!TasksFromIcs(QByteArray()));
    QVERIFY(!TasksFromIcs("<ambrel app=\"Ambrel Quillpad\"><tasks/></ambrel>"));
    QVERIFY(!TasksFromIcs("BEGIN:VEVENT\r\nUID:e\r\nEND:VEVENT\r\n"));
    const auto none = TasksFromIcs("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nEND:VCALENDAR\r\n");
    QVERIFY(none && none->empty());
}

void TestVTodoMapping::titleRenamedElsewhere_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<QString>("renamed");  // after another client renames the title
    QTest::newRow("title and notes") << QStringLiteral("Plan trip\r\nBook flights\r\nand a hotel")
                                     << QStringList{"SUMMARY:Plan trip", "DESCRIPTION:Book flights\\nand a hotel"}
                                     << QStringLiteral("Plan holiday\r\nBook flights\r\nand a hotel");
    QTest::newRow("title alone") << QStringLiteral("Plan trip") << QStringList{"SUMMARY:Plan trip"}
                                 << QStringLiteral("Plan holiday");
    QTest::newRow("blank lines before the title")
        << QStringLiteral("\r\n \t\r\nPlan trip\r\nBook flights")
        << QStringList{"SUMMARY;X-QUILLPAD-INDENT=NSTN:Plan trip", "DESCRIPTION:Book flights"}
        << QStringLiteral("\r\n \t\r\nPlan holiday\r\nBook flights");
    QTest::newRow("the second line repeats the title")
        << QStringLiteral("Milk\r\nMilk\r\nEggs")
        << QStringList{"SUMMARY:Milk", "DESCRIPTION;X-QUILLPAD-REST=1:Milk\\nEggs"}
        << QStringLiteral("Plan holiday\r\nMilk\r\nEggs");
}

void TestVTodoMapping::titleRenamedElsewhere()
{
    QFETCH(QString, content);
    QFETCH(QStringList, wire);
    QFETCH(QString, renamed);
    TTaskInfo task = Plain();
    task.content = content;
    IcalComponentPtr todo = NewVTodo(task);
    const QStringList lines = Lines(IcalText(todo.get()));
    for (const QString &line : wire)
        QVERIFY2(lines.contains(line), qPrintable(line + QStringLiteral(" not in\n") + lines.join(QLatin1Char('\n'))));
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^(SUMMARY|DESCRIPTION)"))).size(), wire.size());
    IcalComponentPtr reread = ParseIcal(IcalText(todo.get()));
    QCOMPARE(ReadVTodo(reread.get()).content, content);

    icalproperty_set_summary(icalcomponent_get_first_property(reread.get(), ICAL_SUMMARY_PROPERTY), "Plan holiday");
    QCOMPARE(ReadVTodo(reread.get()).content, renamed);
}

void TestVTodoMapping::olderFormWrittenAnew()
{
    // Written by an older version: the whole text in DESCRIPTION.
    IcalComponentPtr todo = ParseIcal("BEGIN:VTODO\r\nUID:x\r\nDTSTAMP:20260401T080000Z\r\nSUMMARY:Plan trip\r\n"
                                      "DESCRIPTION:Plan trip\\nBook flights\r\nEND:VTODO\r\n");
    TTaskInfo task = ReadVTodo(todo.get());
    QCOMPARE(task.content, QStringLiteral("Plan trip\r\nBook flights"));
    task.checkFlag = true;
    WriteVTodo(todo.get(), task);
    const QStringList lines = Lines(IcalText(todo.get()));
    QVERIFY(lines.contains(QStringLiteral("SUMMARY:Plan trip")));
    QVERIFY(lines.contains(QStringLiteral("DESCRIPTION:Book flights")));
    QCOMPARE(ReadVTodo(todo.get()).content, task.content);
}

void TestVTodoMapping::cancelled_data()
{
    QTest::addColumn<int>("edit");
    QTest::addColumn<QString>("status");
    QTest::newRow("text edited: still cancelled") << 0 << QStringLiteral("STATUS:CANCELLED");
    QTest::newRow("reopened") << 1 << QStringLiteral("STATUS:NEEDS-ACTION");
    QTest::newRow("reopened and done again") << 2 << QStringLiteral("STATUS:COMPLETED");
}

void TestVTodoMapping::cancelled()
{
    QFETCH(int, edit);
    QFETCH(QString, status);
    IcalComponentPtr todo = ParseIcal("BEGIN:VTODO\r\nUID:x\r\nDTSTAMP:20260401T080000Z\r\nSUMMARY:Old plan\r\n"
                                      "STATUS:CANCELLED\r\nEND:VTODO\r\n");
    TTaskInfo task = ReadVTodo(todo.get());
    QVERIFY(task.checkFlag);
    QCOMPARE(DateTimeToQt(task.checkTime), DateTimeToQt(At(2026, 4, 1, 10, 0)));  // by its DTSTAMP
    if (edit == 0) {
        task.content = QStringLiteral("Old plan, dropped");
        task.editTime = Now();
    } else {
        task.checkFlag = false;
        WriteVTodo(todo.get(), task);
    }
    if (edit == 2)
        task.checkFlag = true, task.checkTime = Now();
    WriteVTodo(todo.get(), task);
    const QStringList lines = Lines(IcalText(todo.get()));
    QCOMPARE(lines.filter(QStringLiteral("STATUS:")), QStringList{status});
    const TTaskInfo reread = ReadVTodo(todo.get());
    QCOMPARE(reread.checkFlag, task.checkFlag);
    QCOMPARE(DateTimeToQt(reread.checkTime), DateTimeToQt(task.checkTime));
}

void TestVTodoMapping::changesStampTheRevision_data()
{
    QTest::addColumn<int>("edit");
    QTest::addColumn<bool>("stamped");
    QTest::newRow("nothing") << 0 << false;
    QTest::newRow("completed") << 1 << true;
    QTest::newRow("due date moved") << 2 << true;
    QTest::newRow("reminder off") << 3 << true;
    QTest::newRow("colour") << 4 << true;
    QTest::newRow("made top-level") << 5 << true;
}

// The store leaves the edit time as it is for all but the text; other clients still see the change.
void TestVTodoMapping::changesStampTheRevision()
{
    QFETCH(int, edit);
    QFETCH(bool, stamped);
    IcalComponentPtr root = ParseIcal(Foreign);
    icalcomponent *todo = TodoOf(root.get());
    const QByteArray before = IcalText(root.get());
    TTaskInfo task = ReadVTodo(todo);
    switch (edit) {
    case 1: task.checkFlag = true, task.checkTime = At(2026, 11, 30); break;
    case 2: task.dueTime = At(2026, 11, 30); break;
    case 3: task.alarmFlag = false; break;
    case 4: task.backgroundColor = 7; break;
    case 5: task.pid = RootPid; break;
    }
    WriteVTodo(todo, task);
    const QStringList lines = Lines(IcalText(root.get()));
    const QString revised = stamped ? QStringLiteral("20261201T110000Z") : QStringLiteral("20260401T080000Z");
    QVERIFY2(lines.contains(QStringLiteral("LAST-MODIFIED:") + revised), qPrintable(lines.join(QLatin1Char('\n'))));
    QVERIFY(lines.contains(QStringLiteral("DTSTAMP:") + revised));
    if (!stamped)
        QCOMPARE(IcalText(root.get()), before);
}

void TestVTodoMapping::missingTimes_data()
{
    QTest::addColumn<QByteArray>("properties");
    QTest::addColumn<TDateTime>("created");
    QTest::addColumn<TDateTime>("edited");
    QTest::addColumn<TDateTime>("completed");  // zero: not done
    const TDateTime stamp = At(2026, 4, 1, 10, 0), modified = At(2026, 3, 2, 9, 0);
    QTest::newRow("no CREATED: DTSTAMP") << QByteArray("DTSTAMP:20260401T080000Z") << stamp << stamp << ZeroDateTime;
    QTest::newRow("no CREATED: the earlier of DTSTAMP and LAST-MODIFIED")
        << QByteArray("DTSTAMP:20260401T080000Z\r\nLAST-MODIFIED:20260302T080000Z") << modified << modified
        << ZeroDateTime;
    QTest::newRow("no times at all: when it arrived") << QByteArray() << Now() << Now() << ZeroDateTime;
    QTest::newRow("done without COMPLETED: when last changed")
        << QByteArray("STATUS:COMPLETED\r\nDTSTAMP:20260401T080000Z\r\nLAST-MODIFIED:20260302T080000Z\r\n"
                      "CREATED:20260101T080000Z")
        << At(2026, 1, 1, 9, 0) << modified << modified;
}

void TestVTodoMapping::missingTimes()
{
    QFETCH(QByteArray, properties);
    QFETCH(TDateTime, created);
    QFETCH(TDateTime, edited);
    QFETCH(TDateTime, completed);
    IcalComponentPtr todo =
        ParseIcal("BEGIN:VTODO\r\nUID:x\r\nSUMMARY:Found\r\n" + properties + "\r\nEND:VTODO\r\n");
    TTaskInfo task = ReadVTodo(todo.get());
    QCOMPARE(DateTimeToQt(task.createTime), DateTimeToQt(created));
    QCOMPARE(DateTimeToQt(task.editTime), DateTimeToQt(edited));
    QCOMPARE(task.checkFlag, completed != ZeroDateTime);
    QCOMPARE(DateTimeToQt(task.checkTime), DateTimeToQt(completed));
    // Our next change writes them: they stay as they were read, later revisions aside.
    m_clock.set(DateTimeToQt(Now()).addDays(1));
    task.content = QStringLiteral("Found again");
    WriteVTodo(todo.get(), task);
    m_clock.set(DateTimeToQt(Now()));
    const TTaskInfo reread = ReadVTodo(todo.get());
    QCOMPARE(DateTimeToQt(reread.createTime), DateTimeToQt(created));
    QCOMPARE(DateTimeToQt(reread.checkTime), DateTimeToQt(completed));
}

QTEST_GUILESS_MAIN(TestVTodoMapping)
#include "tst_vtodomapping.moc"
