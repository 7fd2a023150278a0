// A task changed on both sides since the last sync, merged field by field.

#include "sync/TaskMerge.h"

#include <QTest>

#include <functional>

using namespace quillpad;

namespace {

TDateTime At(int day, int hour = 12, int minute = 0)
{
    return EncodeDateTime(QDate(2026, 5, day), QTime(hour, minute));
}

TTaskInfo Base()
{
    TTaskInfo task;
    task.tid = QStringLiteral("plan");
    task.pid = RootPid;
    task.content = QStringLiteral("Plan trip\r\nBook flights");
    task.createTime = At(1);
    task.editTime = At(2);
    task.dueTime = At(20, 0, 0);  // kept while the due date is off
    return task;
}

using Edit = std::function<void(TTaskInfo &)>;

TTaskInfo Edited(const Edit &edit)
{
    TTaskInfo task = Base();
    edit(task);
    return task;
}

const Edit Nothing = [](TTaskInfo &) {};

}  // namespace

Q_DECLARE_METATYPE(TTaskInfo)

class TestTaskMerge : public QObject {
    Q_OBJECT

private slots:
    void merge_data();
    void merge();
};

void TestTaskMerge::merge_data()
{
    QTest::addColumn<TTaskInfo>("local");
    QTest::addColumn<TTaskInfo>("remote");
    QTest::addColumn<TTaskInfo>("merged");
    QTest::addColumn<bool>("conflict");

    const Edit text = [](TTaskInfo &t) { t.content = QStringLiteral("Plan holiday\r\nBook flights"); };
    const Edit otherText = [](TTaskInfo &t) { t.content = QStringLiteral("Plan trip\r\nBook trains"); };
    const Edit complete = [](TTaskInfo &t) { t.checkFlag = true, t.checkTime = At(5); };
    const Edit completeLater = [](TTaskInfo &t) { t.checkFlag = true, t.checkTime = At(6); };
    const Edit due = [](TTaskInfo &t) { t.dueFlag = true, t.dueTime = At(21, 0, 0); };
    const Edit otherDue = [](TTaskInfo &t) { t.dueFlag = true, t.dueTime = At(22, 0, 0); };
    const Edit edited = [](TTaskInfo &t) { t.editTime = At(7); };
    const auto both = [](const Edit &a, const Edit &b) { return Edit([=](TTaskInfo &t) { a(t), b(t); }); };
    const auto row = [](const char *name, const Edit &local, const Edit &remote, const Edit &merged, bool conflict) {
        QTest::newRow(name) << Edited(local) << Edited(remote) << Edited(merged) << conflict;
    };

    // What the server changed and we do not map (PRIORITY, CATEGORIES) leaves its record as it was.
    row("text here, nothing we map there", both(text, edited), Nothing, both(text, edited), false);
    row("text there, nothing here", Nothing, both(text, edited), both(text, edited), false);
    row("completed on both sides: the earlier time", completeLater, complete, complete, false);
    row("completed on both sides, ours first", complete, completeLater, complete, false);
    row("completed here, due date moved there", complete, due, both(complete, due), false);
    row("the same due date on both sides", due, due, due, false);
    row("the text changed differently: the server's", text, otherText, otherText, true);
    row("the due date changed differently: the server's", due, otherDue, otherDue, true);
    row("a kept completion time here, completed there", [](TTaskInfo &t) { t.checkTime = At(3); },
        complete, complete, false);
    row("a kept due date moved here only", [](TTaskInfo &t) { t.dueTime = At(25); }, Nothing,
        [](TTaskInfo &t) { t.dueTime = At(25); }, false);
    row("moved here, recoloured there", [](TTaskInfo &t) { t.pid = QStringLiteral("trips"); },
        [](TTaskInfo &t) { t.textColor = 0xff0000; t.backgroundColor = 0xffffff; },
        [](TTaskInfo &t) { t.pid = QStringLiteral("trips"); t.textColor = 0xff0000; t.backgroundColor = 0xffffff; },
        false);
    row("expanded here, collapsed nowhere else", [](TTaskInfo &t) { t.expandFlag = true; }, Nothing,
        [](TTaskInfo &t) { t.expandFlag = true; }, false);
    // A flag that is off is off, whatever time it keeps.
    row("reminder off on both sides, kept times apart",
        [](TTaskInfo &t) { t.alarmTime = At(9); },
        [](TTaskInfo &t) { t.alarmTime = At(10); t.editTime = At(8); },
        [](TTaskInfo &t) { t.alarmTime = At(10); t.editTime = At(8); }, false);
    row("a reminder set on both sides, apart", [](TTaskInfo &t) { t.alarmFlag = true, t.alarmTime = At(9); },
        [](TTaskInfo &t) { t.alarmFlag = true, t.alarmTime = At(10); },
        [](TTaskInfo &t) { t.alarmFlag = true, t.alarmTime = At(10); }, true);
    row("reminder on here, due date off there", [](TTaskInfo &t) { t.alarmFlag = true, t.alarmTime = At(9); },
        [](TTaskInfo &t) { t.dueTime = At(25); },
        [](TTaskInfo &t) { t.alarmFlag = true, t.alarmTime = At(9); t.dueTime = At(25); }, false);
    row("the later edit time, the server's creation time", edited,
        [](TTaskInfo &t) { t.createTime = At(1, 9); },
        [](TTaskInfo &t) { t.editTime = At(7); t.createTime = At(1, 9); }, false);
}

void TestTaskMerge::merge()
{
    QFETCH(TTaskInfo, local);
    QFETCH(TTaskInfo, remote);
    QFETCH(TTaskInfo, merged);
    QFETCH(bool, conflict);
    const TaskMerge result = MergeTask(Base(), local, remote);
    QCOMPARE(result.conflict, conflict);
    QCOMPARE(result.merged.content, merged.content);
    QCOMPARE(result.merged.checkFlag, merged.checkFlag);
    QCOMPARE(DateTimeToQt(result.merged.checkTime), DateTimeToQt(merged.checkTime));
    QCOMPARE(result.merged.dueFlag, merged.dueFlag);
    QCOMPARE(DateTimeToQt(result.merged.dueTime), DateTimeToQt(merged.dueTime));
    QCOMPARE(result.merged.alarmFlag, merged.alarmFlag);
    QCOMPARE(DateTimeToQt(result.merged.alarmTime), DateTimeToQt(merged.alarmTime));
    QCOMPARE(result.merged.pid, merged.pid);
    QCOMPARE(DateTimeToQt(result.merged.editTime), DateTimeToQt(merged.editTime));
    QCOMPARE(DateTimeToQt(result.merged.createTime), DateTimeToQt(merged.createTime));
    QVERIFY(result.merged == merged);
}

QTEST_GUILESS_MAIN(TestTaskMerge)
#include "tst_taskmerge.moc"
