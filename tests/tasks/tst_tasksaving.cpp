// Save Task and Save All from the task list: which tasks each writes, and the
// selection they leave.

#include "FrameFixture.h"

#include "app/settings/IniFile.h"
#include "app/settings/SettingsKeys.h"

#include <QFile>

using namespace quillpad;

namespace {

const QString TextFilter = QStringLiteral("Text file (*.txt)");

// A list shown with "View Incomplete": B's completed, due sub-task is hidden.
class SavingFixture : public EditFixture {
public:
    explicit SavingFixture(int viewRange = 2)
    {
        IniFile(settings.path()).write(SettingsKeys::ViewRange, viewRange);
        add({"{A}", "", "A", false, true});
        add({"{A1}", "{A}", "a1", false, false});
        add({"{A2}", "{A}", "a2", false, false});
        add({"{B}", "", "B", false, true});
        add({"{B1}", "{B}", "b1 done", true, false});
        Query query(connection);
        ExecSql(query, QStringLiteral("update tasks set dueFlag=True, dueTime=%1 where tid='{B1}'")
                           .arg(Sql(EncodeDateTime(QDate(2026, 12, 24), QTime(0, 0)))));
        openActive();
    }

    void selectNodes(const QStringList &contents)
    {
        QList<TaskNode *> nodes;
        for (const QString &content : contents)
            nodes.append(node(content));
        frame->treeView()->selectNodes(nodes, nodes.front());
    }

    // Saves through the action as text and returns the written entries and count line.
    QStringList save(const char *action)
    {
        const QString name = folder.file(QStringLiteral("out"));
        prompter.setNextFileName(name, TextFilter);
        frame->action(QString::fromLatin1(action))->trigger();
        QFile file(name + QStringLiteral(".txt"));
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("not written")};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        QStringList kept;
        for (const QString &line : lines) {
            if (line.startsWith(QLatin1String(" * ")))
                kept.append(QStringLiteral("* ") + line.mid(3).section(QStringLiteral(" - "), 0, 0));
            else if (line.startsWith(QLatin1String("   - ")))
                kept.append(QStringLiteral("- ") + line.mid(5).section(QStringLiteral(" - "), 0, 0));
            else if (line.startsWith(QLatin1String(" Tasks ")))
                kept.append(line.section(QStringLiteral(" - "), 0, 0).trimmed());
        }
        return kept;
    }
};

}  // namespace

class TestTaskSaving : public QObject {
    Q_OBJECT

private slots:
    void saveTask_data();
    void saveTask();
    void saveAllSelectsAllAndDeselects_data();
    void saveAllSelectsAllAndDeselects();
    void cancelWritesNothing();
    void nothingWhileEditing();
};

void TestTaskSaving::saveTask_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("nothing selected") << QStringList{} << QStringList{"Tasks 0, Sub-Tasks 0"};
    QTest::newRow("two sub-tasks of one parent")
        << QStringList{"a1", "a2"} << QStringList{"* a1", "* a2", "Tasks 2, Sub-Tasks 0"};
    QTest::newRow("hidden sub-tasks still written")
        << QStringList{"B"} << QStringList{"* B", "- b1 done", "Tasks 1, Sub-Tasks 1"};
}

void TestTaskSaving::saveTask()
{
    QFETCH(QStringList, selected);
    QFETCH(QStringList, written);
    SavingFixture f;
    QVERIFY(!f.shownRows().contains(QStringLiteral("  b1 done")));
    if (selected.isEmpty())
        f.frame->treeView()->clearSelection();
    else
        f.selectNodes(selected);
    QCOMPARE(f.save("Action_Save"), written);
    QCOMPARE(f.frame->treeView()->selectedNodes().size(), selected.size());
}

void TestTaskSaving::saveAllSelectsAllAndDeselects_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("a top-level task selected")
        << "B" << QStringList{"* A", "- a1", "- a2", "* B", "- b1 done", "Tasks 2, Sub-Tasks 3"};
    // Select All keeps to the siblings of the selected sub-task.
    QTest::newRow("a sub-task selected") << "a1" << QStringList{"* a1", "* a2", "Tasks 2, Sub-Tasks 0"};
}

void TestTaskSaving::saveAllSelectsAllAndDeselects()
{
    QFETCH(QString, before);
    QFETCH(QStringList, written);
    SavingFixture f;
    f.selectNodes({before});
    QCOMPARE(f.save("Action_SaveAll"), written);
    QVERIFY(f.frame->treeView()->selectedNodes().isEmpty());
}

void TestTaskSaving::cancelWritesNothing()
{
    SavingFixture f;
    f.selectNodes({"A"});
    f.frame->action(QStringLiteral("Action_SaveAll"))->trigger();  // no file scripted: cancelled
    QCOMPARE(f.prompter.fileRequests.size(), 1);
    QCOMPARE(f.frame->treeView()->selectedNodes(), QList<TaskNode *>{f.node(QStringLiteral("A"))});
}

void TestTaskSaving::nothingWhileEditing()
{
    SavingFixture f;
    f.select(QStringLiteral("A"));
    f.key(Qt::Key_F2);
    QVERIFY(f.frame->editNode());
    f.frame->action(QStringLiteral("Action_Save"))->trigger();
    f.frame->action(QStringLiteral("Action_SaveAll"))->trigger();
    QVERIFY(f.prompter.fileRequests.isEmpty());
    f.cancel();
}

QTEST_MAIN(TestTaskSaving)
#include "tst_tasksaving.moc"
