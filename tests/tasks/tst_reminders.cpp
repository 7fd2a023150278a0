// Reminders, due dates and colours set on the selected tasks, and the reminder check
// ringing due reminders one at a time in tree order. Time comes from a manual clock.

#include "store/Clock.h"
#include "FrameFixture.h"

#include <QAction>
#include <QTest>

using namespace quillpad;

namespace {

const QDateTime Now(QDate(2026, 12, 10), QTime(9, 0));

class ReminderFixture : public EditFixture {
public:
    ReminderFixture() : clock(Now) { Clock::install(&clock); }
    ~ReminderFixture() { Clock::install(nullptr); }

    void addReminder(const QString &tid, const QString &pid, const QString &content, const QDateTime &when,
                     bool complete = false)
    {
        add({tid, pid, content, complete, false});
        Query query(connection);
        ExecSql(query, QStringLiteral("update tasks set alarmFlag=True, alarmTime=%1 where tid=%2")
                           .arg(Sql(DateTimeFromQt(when)), QuoteSql(tid)));
    }

    void tick() { QVERIFY(QMetaObject::invokeMethod(&frame->reminderTimer(), "timeout")); }

    QString field(const QString &tid, const char16_t *name) const
    {
        Query query(const_cast<Connection &>(connection));
        OpenSql(query, QStringLiteral("select * from tasks where tid=") + QuoteSql(tid));
        return query.field(QStringView(name)).asString();
    }

    ManualClock clock;
};

}  // namespace

class TestReminders : public QObject {
    Q_OBJECT

private slots:
    void dueRemindersRingOneAfterAnotherInTreeOrder();
    void snoozeAndDismissAreStored();
    void completeTasksNeverRing();
    void setReminderOnSeveralTasks();
    void setDueDateDeselects();
    void setColorKeepsTheSelection();
};

void TestReminders::dueRemindersRingOneAfterAnotherInTreeOrder()
{
    ReminderFixture f;
    // Fell due while the program was off; a sub-task's comes in tree order after its parent.
    f.addReminder(QStringLiteral("{B}"), RootPid, QStringLiteral("b second"), Now.addDays(-2));
    f.addReminder(QStringLiteral("{A}"), RootPid, QStringLiteral("a first"), Now.addSecs(-60));
    f.addReminder(QStringLiteral("{A1}"), QStringLiteral("{A}"), QStringLiteral("a's sub-task"), Now);
    f.addReminder(QStringLiteral("{L}"), RootPid, QStringLiteral("later"), Now.addSecs(60));
    f.openActive();
    QVERIFY(f.frame->reminderTimer().isActive());
    QCOMPARE(f.frame->reminderTimer().interval(), 500);
    f.prompter.alarmAnswers.enqueue({false, DateTimeFromQt(Now.addSecs(3600))});
    f.prompter.alarmAnswers.enqueue({true, ZeroDateTime});
    f.prompter.alarmAnswers.enqueue({true, ZeroDateTime});
    f.tick();
    f.tick();
    f.tick();
    f.tick();  // nothing left that is due
    QCOMPARE(f.prompter.alarms, (QStringList{"a first", "a's sub-task", "b second"}));
    QVERIFY(f.prompter.alarmSounds.front().endsWith(QStringLiteral("Alarm.wav")) ||
            f.prompter.alarmSounds.front().isEmpty());
    f.clock.set(Now.addSecs(61));
    f.tick();
    QCOMPARE(f.prompter.alarms.back(), QStringLiteral("later"));
}

void TestReminders::snoozeAndDismissAreStored()
{
    ReminderFixture f;
    f.addReminder(QStringLiteral("{S}"), RootPid, QStringLiteral("a snoozed"), Now);
    f.addReminder(QStringLiteral("{D}"), RootPid, QStringLiteral("b dismissed"), Now);
    f.openActive();
    const TDateTime inAWeek = DateTimeFromQt(Now.addDays(7));
    f.prompter.alarmAnswers.enqueue({false, inAWeek});
    f.prompter.alarmAnswers.enqueue({true, ZeroDateTime});
    f.tick();
    f.tick();
    QCOMPARE(f.field(QStringLiteral("{S}"), u"alarmFlag"), QStringLiteral("1"));
    QCOMPARE(f.node(QStringLiteral("a snoozed"))->info.alarmTime, inAWeek);
    QCOMPARE(f.field(QStringLiteral("{D}"), u"alarmFlag"), QStringLiteral("0"));
    QCOMPARE(f.field(QStringLiteral("{D}"), u"alarmTime").toDouble(), 0.0);
    // A window closed without either button: still set, the zero time, rings next tick.
    f.addReminder(QStringLiteral("{C}"), RootPid, QStringLiteral("closed"), Now);
    f.frame->ReloadTasks();
    f.tick();
    QCOMPARE(f.field(QStringLiteral("{C}"), u"alarmFlag"), QStringLiteral("1"));
    f.tick();
    QCOMPARE(f.prompter.alarms.count(QStringLiteral("closed")), 2);
}

void TestReminders::completeTasksNeverRing()
{
    ReminderFixture f;
    f.addReminder(QStringLiteral("{X}"), RootPid, QStringLiteral("done already"), Now.addDays(-1), true);
    TqvTasksFrame &frame = f.openActive();
    f.tick();
    QVERIFY(f.prompter.alarms.isEmpty());
    frame.treeView()->selectNodes({f.node(QStringLiteral("done already"))}, nullptr);
    frame.action(QStringLiteral("Action_TaskComplete"))->trigger();  // incomplete again
    f.tick();
    QCOMPARE(f.prompter.alarms, QStringList{"done already"});
}

void TestReminders::setReminderOnSeveralTasks()
{
    ReminderFixture f;
    f.add({"{1}", "", "one", false, false});
    f.add({"{2}", "", "two", false, false});
    f.add({"{3}", "", "three", false, false});
    TqvTasksFrame &frame = f.openActive();
    frame.treeView()->selectAll();
    const TDateTime when = DateTimeFromQt(Now.addDays(1));
    f.prompter.reminderAnswers.enqueue({false, when});  // unchecked: off, yet the time is kept
    frame.action(QStringLiteral("Action_TaskReminderSet"))->trigger();
    QCOMPARE(f.prompter.reminderAsked.size(), 1);
    QCOMPARE(f.prompter.reminderAsked.front().enabled, false);
    QVERIFY(frame.treeView()->selectedNodes().isEmpty());
    for (const char *tid : {"{1}", "{2}", "{3}"}) {
        QCOMPARE(f.field(QString::fromLatin1(tid), u"alarmFlag"), QStringLiteral("0"));
        QCOMPARE(f.field(QString::fromLatin1(tid), u"alarmTime").toDouble(), when);
    }
    // Cancel changes nothing.
    frame.treeView()->selectAll();
    frame.action(QStringLiteral("Action_TaskReminderSet"))->trigger();
    QCOMPARE(frame.treeView()->selectedNodes().size(), 3);
}

void TestReminders::setDueDateDeselects()
{
    ReminderFixture f;
    f.add({"{1}", "", "one", false, false});
    f.add({"{2}", "", "two", false, false});
    TqvTasksFrame &frame = f.openActive();
    frame.treeView()->selectAll();
    const TDateTime tomorrow = DateTimeFromQt(Now.addDays(1));
    f.prompter.dueDateAnswers.enqueue({true, tomorrow});
    frame.action(QStringLiteral("Action_TaskDueSet"))->trigger();
    QVERIFY(frame.treeView()->selectedNodes().isEmpty());
    QCOMPARE(f.stored(QStringLiteral("dueFlag=True")), (QStringList{"one", "two"}));
    QCOMPARE(f.node(QStringLiteral("two"))->info.dueTime, tomorrow);
    QCOMPARE(frame.VtTasksGetImageIndex(*f.node(QStringLiteral("two"))), 24);
}

void TestReminders::setColorKeepsTheSelection()
{
    ReminderFixture f;
    f.add({"{1}", "", "one", false, false});
    f.add({"{2}", "", "two", false, false});
    TqvTasksFrame &frame = f.openActive();
    frame.treeView()->selectAll();
    f.prompter.colorAnswers.enqueue({0x000000FF, -16777211});  // red text, a system colour behind
    frame.action(QStringLiteral("Action_SetColor"))->trigger();
    QCOMPARE(frame.treeView()->selectedNodes().size(), 2);
    QCOMPARE(f.field(QStringLiteral("{2}"), u"backgroundColor"), QStringLiteral("-16777211"));
    QCOMPARE(f.field(QStringLiteral("{1}"), u"textColor"), QStringLiteral("255"));
    f.prompter.colorAnswers.enqueue({0, 0});  // Default
    frame.action(QStringLiteral("Action_SetColor"))->trigger();
    QCOMPARE(f.prompter.colorsAsked.back().text, 0x000000FF);  // opened with the first task's colours
    QCOMPARE(f.stored(QStringLiteral("textColor=0 and backgroundColor=0")), (QStringList{"one", "two"}));
}

QTEST_MAIN(TestReminders)
#include "tst_reminders.moc"
