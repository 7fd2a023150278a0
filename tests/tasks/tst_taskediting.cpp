// Adding, editing, completing and deleting tasks, driven through the list with real
// key events, and what each leaves in the database.

#include "store/Clock.h"
#include "FrameFixture.h"
#include "app/settings/IniFile.h"
#include "tasks/ui/TaskTextEditor.h"
#include "tasks/ui/TipPanel.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

using namespace quillpad;

namespace {

bool AllFrameActionsOff(TqvTasksFrame &frame)
{
    for (const char *name : {"Action_TaskAdd", "Action_SubTaskAdd", "Action_TaskEdit", "Action_TaskDelete",
                             "Action_TaskComplete", "Action_ViewAsc", "Action_ViewList", "Action_ViewDate",
                             "Action_ExpandAll", "Action_CollapseAll", "Action_CopyTask", "Action_PasteTask",
                             "Action_SelectAll", "Action_Deselect", "Action_Print", "Action_SaveAll"}) {
        if (frame.action(QString::fromLatin1(name))->isEnabled())
            return false;
    }
    return !frame.findChild<QComboBox *>(QStringLiteral("Comb_ViewRange"))->isEnabled();
}

}  // namespace

class TestTaskEditing : public QObject {
    Q_OBJECT

private slots:
    void enterAddsAndCtrlEnterStores();
    void editorKeys();
    void tabIsTypedIntoTheText();
    void tallTasksCanBeReadAndEdited();
    void unchangedOrCancelledNewTaskLeavesNoRow_data();
    void unchangedOrCancelledNewTaskLeavesNoRow();
    void blanksOnlyAndTrailingBreaks();
    void editingAStoredTask();
    void everythingIsOffDuringAnEdit();
    void everyWayIntoAnEditTurnsTheCommandsOff_data();
    void everyWayIntoAnEditTurnsTheCommandsOff();
    void addSubTask();
    void addTaskLeavesViewComplete();
    void deleteTasks();
    void deleteKeepsTheOtherRowsAsTheyAre();
    void markComplete();
    void storedTaskLeavesTheSearch();
    void sortExpandAndViewSettings();
    void subTaskUnderAHiddenTaskOpensTheEditor();
    void aFilterPassDuringAnEditKeepsTheText();
    void aReloadWaitsForAnOpenDialog();
};

void TestTaskEditing::enterAddsAndCtrlEnterStores()
{
    EditFixture f;
    ManualClock clock(QDateTime(QDate(2026, 12, 10), QTime(10, 0)));
    Clock::install(&clock);
    TqvTasksFrame &frame = f.openActive();
    f.key(Qt::Key_Return);
    QVERIFY(frame.editNode());
    QVERIFY(f.editor());
    QCOMPARE(frame.tipText(), QStringLiteral("Click here to finish Edit. Press Esc cancel."));
    QVERIFY(f.stored().isEmpty());  // no row before the text is stored
    f.type(QStringLiteral("Water the plants"));
    f.finish();
    Clock::install(nullptr);

    QVERIFY(!frame.editNode());
    QVERIFY(!f.editor());
    QCOMPARE(f.stored(), QStringList{"Water the plants"});
    const TaskNode *node = f.node(QStringLiteral("Water the plants"));
    QVERIFY(node);
    QCOMPARE(node->info.tid.size(), 38);
    QCOMPARE(node->info.pid, RootPid);
    QCOMPARE(DateTimeToQt(node->info.createTime), QDateTime(QDate(2026, 12, 10), QTime(10, 0)));
    QCOMPARE(frame.treeView()->selectedNodes(), QList<TaskNode *>{const_cast<TaskNode *>(node)});
    QCOMPARE(frame.tipKind(), 0);
    Query query(f.connection);
    OpenSql(query, QStringLiteral("select * from tasks"));
    QVERIFY(query.field(u"checkTime").isNull());  // not written on insert
    QVERIFY(query.field(u"dueTime").isNull());
    QCOMPARE(query.field(u"editTime").asDateTime(), node->info.editTime);
}

void TestTaskEditing::editorKeys()
{
    EditFixture f;
    TqvTasksFrame &frame = f.openActive();
    // Enter makes a new line; Ctrl+Enter (either key) finishes.
    f.key(Qt::Key_Return);
    f.type(QStringLiteral("one"));
    QTest::keyClick(f.editor(), Qt::Key_Return);
    f.type(QStringLiteral("two"));
    f.finish(Qt::Key_Enter);
    QCOMPARE(f.stored(), QStringList{"one\r\ntwo"});

    // Leaving the editor keeps the text.
    f.key(Qt::Key_Return);
    f.type(QStringLiteral("left by focus"));
    frame.findChild<QLineEdit *>(QStringLiteral("Edt_Search"))->setFocus();
    f.settle();
    QVERIFY(!frame.editNode());
    QVERIFY(f.stored().contains(QStringLiteral("left by focus")));

    // A click on the tip finishes too.
    frame.treeView()->setFocus();
    f.key(Qt::Key_Return);
    f.type(QStringLiteral("by the tip"));
    QCOMPARE(frame.tipKind(), 2);
    QTest::mouseClick(frame.findChild<QWidget *>(QStringLiteral("label_tip")), Qt::LeftButton);
    f.settle();
    QVERIFY(f.stored().contains(QStringLiteral("by the tip")));
    QVERIFY(!frame.editNode());
}

void TestTaskEditing::tabIsTypedIntoTheText()
{
    EditFixture f;
    f.add({"", "", "first", false, false});
    TqvTasksFrame &frame = f.openActive();
    auto *search = frame.findChild<QLineEdit *>(QStringLiteral("Edt_Search"));
    f.key(Qt::Key_Return);
    f.type(QStringLiteral("second"));
    QTest::keyClick(f.editor(), Qt::Key_Tab);
    f.settle();
    QVERIFY(f.editor());
    QVERIFY(f.editor()->hasFocus());
    f.type(QStringLiteral("tab"));
    // Shift+Tab goes nowhere either.
    QTest::keyClick(f.editor(), Qt::Key_Backtab, Qt::ShiftModifier);
    f.settle();
    QVERIFY(f.editor());
    f.finish();
    QCOMPARE(f.stored(), (QStringList{"first", "second\ttab"}));
    QVERIFY(!frame.searchOn());
    QCOMPARE(search->text(), QStringLiteral("  Search..."));
    QCOMPARE(f.shownRows().size(), 2);
}

namespace {

QString Lines(const QString &name, int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines.append(QStringLiteral("%1 line %2").arg(name).arg(i));
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace

void TestTaskEditing::tallTasksCanBeReadAndEdited()
{
    EditFixture f;
    const QString first = Lines(QStringLiteral("first"), 60);
    const QString second = Lines(QStringLiteral("second"), 60);
    f.add({"", "", first, false, false});
    f.add({"", "", second, false, false});
    f.add({"", "", QStringLiteral("short"), false, false});
    TqvTasksFrame &frame = f.openActive();
    TaskTreeView *tree = frame.treeView();
    QWidget *viewport = tree->viewport();
    const QRect view = viewport->rect();
    const auto rowOf = [&](const QString &content) { return tree->visualRect(frame.model()->indexOf(f.node(content))); };
    QVERIFY(rowOf(first).height() > view.height());

    // The wheel moves a few lines, not past the tall row.
    QWheelEvent wheel(QPointF(view.center()), viewport->mapToGlobal(QPointF(view.center())), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    QVERIFY(rowOf(first).top() < 0);
    QVERIFY(rowOf(first).bottom() > view.height() / 2);

    // Somewhere on the scroll bar the tall row's last line shows.
    QScrollBar *bar = tree->verticalScrollBar();
    bool lastLineShown = false;
    for (int value = bar->minimum(); value <= bar->maximum() && !lastLineShown; ++value) {
        bar->setValue(value);
        const QRect row = rowOf(first);
        lastLineShown = row.top() < 0 && row.bottom() < view.height() && row.bottom() > view.height() / 2;
    }
    QVERIFY(lastLineShown);

    // Down to the next tall row shows it from its first line.
    bar->setValue(0);
    f.select(first);
    f.key(Qt::Key_Down);
    QCOMPARE(frame.model()->nodeAt(tree->currentIndex()), f.node(second));
    QCOMPARE(rowOf(second).top(), 0);

    // F2 opens the editor where it can be seen, all of it, and typing keeps the caret in view.
    f.select(first);
    bar->setValue(bar->maximum());
    QVERIFY(rowOf(first).bottom() < 0);
    f.key(Qt::Key_F2);
    QVERIFY(f.editor());
    QVERIFY(view.contains(f.editor()->geometry()));
    QTest::keyClick(f.editor(), Qt::Key_End, Qt::ControlModifier);
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(f.editor(), Qt::Key_Return);
        f.type(QStringLiteral("more"));
    }
    QVERIFY(view.contains(f.editor()->geometry()));
    QVERIFY(f.editor()->viewport()->rect().contains(f.editor()->cursorRect()));
    f.finish();
    QVERIFY(f.stored().contains(first + QString(QStringLiteral("\r\nmore")).repeated(5)));
}

void TestTaskEditing::unchangedOrCancelledNewTaskLeavesNoRow_data()
{
    QTest::addColumn<bool>("typeFirst");
    QTest::addColumn<bool>("escape");
    QTest::newRow("Ctrl+Enter untouched") << false << false;
    QTest::newRow("Esc untouched") << false << true;
    QTest::newRow("Esc after typing") << true << true;
}

void TestTaskEditing::unchangedOrCancelledNewTaskLeavesNoRow()
{
    QFETCH(bool, typeFirst);
    QFETCH(bool, escape);
    EditFixture f;
    f.add({"", "", "existing", false, false});
    TqvTasksFrame &frame = f.openActive();
    f.key(Qt::Key_Return);
    QCOMPARE(frame.tree().nodeCount(), 2);
    if (typeFirst)
        f.type(QStringLiteral("never mind"));
    if (escape)
        f.cancel();
    else
        f.finish();
    QVERIFY(!frame.editNode());
    QCOMPARE(frame.tree().nodeCount(), 1);
    QCOMPARE(f.stored(), QStringList{"existing"});
    QCOMPARE(frame.tipKind(), 0);
}

void TestTaskEditing::blanksOnlyAndTrailingBreaks()
{
    EditFixture f;
    TqvTasksFrame &frame = f.openActive();
    f.key(Qt::Key_Return);
    f.type(QStringLiteral("   "));
    f.finish();
    QCOMPARE(f.stored(), QStringList{""});  // typing counts; the blanks go
    QCOMPARE(frame.tree().nodeCount(), 1);
    QCOMPARE(frame.VtTasksGetText(*frame.tree().roots().front()), QStringLiteral("Input content here"));

    f.key(Qt::Key_Return);
    f.type(QStringLiteral("  indented"));
    QTest::keyClick(f.editor(), Qt::Key_Return);
    f.type(QStringLiteral("second  "));
    QTest::keyClick(f.editor(), Qt::Key_Return);
    QTest::keyClick(f.editor(), Qt::Key_Return);
    f.type(QStringLiteral(" \t "));
    f.finish();
    QCOMPARE(f.stored(QStringLiteral("content<>''")), QStringList{"  indented\r\nsecond"});

    // Characters the plain-text view would change come through an edit as they are.
    f.key(Qt::Key_Return);
    f.type(QStringLiteral("no\u00a0break"));
    f.finish();
    QVERIFY(f.stored().contains(QStringLiteral("no\u00a0break")));
}

void TestTaskEditing::editingAStoredTask()
{
    EditFixture f;
    f.add({"{T}", "", "old text", false, false});
    TqvTasksFrame &frame = f.openActive();
    Query query(f.connection);
    OpenSql(query, QStringLiteral("select * from tasks"));
    const TDateTime before = query.field(u"editTime").asDateTime();
    query.close();

    f.select(QStringLiteral("old text"));
    f.key(Qt::Key_F2);  // the tree's own edit key goes through the edit check
    QVERIFY(f.editor());
    QCOMPARE(f.editor()->storedText(), QStringLiteral("old text"));
    f.finish();  // nothing typed: nothing written
    OpenSql(query, QStringLiteral("select * from tasks"));
    QCOMPARE(query.field(u"editTime").asDateTime(), before);

    frame.action(QStringLiteral("Action_TaskEdit"))->trigger();
    f.settle();
    f.type(QStringLiteral(" changed"));
    f.cancel();  // Esc after typing keeps the stored text
    QCOMPARE(f.stored(), QStringList{"old text"});
    QCOMPARE(f.node(QStringLiteral("old text"))->info.tid, QStringLiteral("{T}"));

    QVERIFY(frame.action(QStringLiteral("Action_TaskEdit"))->isEnabled());
    frame.action(QStringLiteral("Action_TaskEdit"))->trigger();
    f.settle();
    QVERIFY(f.editor());
    f.type(QStringLiteral(" changed"));
    f.finish();
    QCOMPARE(f.stored(), QStringList{"old text changed"});
    OpenSql(query, QStringLiteral("select * from tasks"));
    QVERIFY(query.field(u"editTime").asDateTime() > before);
}

void TestTaskEditing::everythingIsOffDuringAnEdit()
{
    EditFixture f;
    f.add({"", "", "a task", false, false});
    TqvTasksFrame &frame = f.openActive();
    f.select(QStringLiteral("a task"));
    frame.action(QStringLiteral("Action_TaskEdit"))->trigger();
    QVERIFY(frame.editNode());  // pending: the editor opens from the posted message
    QVERIFY(AllFrameActionsOff(frame));
    f.settle();
    QVERIFY(f.editor());
    QVERIFY(AllFrameActionsOff(frame));
    // The tree's keys do nothing meanwhile.
    const int nodes = frame.tree().nodeCount();
    QTest::keyClick(frame.treeView(), Qt::Key_Return);
    QTest::keyClick(frame.treeView(), Qt::Key_Delete);
    QTest::keyClick(frame.treeView(), Qt::Key_Return, Qt::ControlModifier);
    f.settle();
    QCOMPARE(frame.tree().nodeCount(), nodes);
    QVERIFY(f.prompter.messages.isEmpty());
    f.cancel();
    QVERIFY(frame.action(QStringLiteral("Action_TaskAdd"))->isEnabled());
}

void TestTaskEditing::everyWayIntoAnEditTurnsTheCommandsOff_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("F2") << QStringLiteral("F2");
    QTest::newRow("Edit") << QStringLiteral("Edit");
    QTest::newRow("Enter") << QStringLiteral("Enter");
    QTest::newRow("Ctrl+Enter") << QStringLiteral("Ctrl+Enter");
    QTest::newRow("tip panel") << QStringLiteral("tip panel");
}

void TestTaskEditing::everyWayIntoAnEditTurnsTheCommandsOff()
{
    QFETCH(QString, way);
    EditFixture f;
    if (way != QLatin1String("tip panel"))  // the panel invites the first task
        f.add({"", "", "a task", false, false});
    TqvTasksFrame &frame = f.openActive();
    if (way == QLatin1String("tip panel")) {
        QCOMPARE(frame.tipKind(), 1);
        emit frame.findChild<TipPanel *>()->clicked();
    } else {
        f.select(QStringLiteral("a task"));
        if (way == QLatin1String("F2"))
            QTest::keyClick(frame.treeView(), Qt::Key_F2);
        else if (way == QLatin1String("Edit"))
            frame.action(QStringLiteral("Action_TaskEdit"))->trigger();
        else
            QTest::keyClick(frame.treeView(), Qt::Key_Return,
                            way == QLatin1String("Enter") ? Qt::NoModifier : Qt::ControlModifier);
    }
    QVERIFY(frame.editNode());
    QVERIFY(AllFrameActionsOff(frame));
    f.settle();
    QVERIFY(f.editor());
    QVERIFY(AllFrameActionsOff(frame));
    f.cancel();
    QVERIFY(!AllFrameActionsOff(frame));
}

void TestTaskEditing::addSubTask()
{
    EditFixture f;
    TqvTasksFrame &frame = f.openActive();
    f.key(Qt::Key_Return, Qt::ControlModifier);  // nothing to put it under
    QCOMPARE(f.prompter.lines(), QStringList{"Tip: Please select a task!"});
    QCOMPARE(frame.tree().nodeCount(), 0);

    f.add({"{P}", "", "parent", false, false});
    f.add({"", "{P}", "first child", false, false});
    f.add({"{L}", "", "zz last", false, false});
    frame.ReloadTasks();
    frame.treeView()->setFocus();
    // With a sub-task selected: a sibling, last under the same parent; the parent opens.
    f.select(QStringLiteral("parent"));
    frame.treeView()->expand(frame.model()->indexOf(f.node(QStringLiteral("parent"))));
    f.select(QStringLiteral("first child"));
    f.key(Qt::Key_Return, Qt::ControlModifier);
    f.type(QStringLiteral("second child"));
    f.finish();
    TaskNode *parent = f.node(QStringLiteral("parent"));
    QCOMPARE(parent->children.size(), 2u);
    QCOMPARE(parent->children.back()->info.content, QStringLiteral("second child"));
    QCOMPARE(f.stored(QStringLiteral("pid='{P}'")), (QStringList{"first child", "second child"}));

    // With nothing selected: under the last top-level task, whose collapsed row opens.
    frame.treeView()->clearSelection();
    frame.findChild<QAction *>(QStringLiteral("Action_SubTaskAdd"))->trigger();
    f.settle();
    f.type(QStringLiteral("under the last"));
    f.finish();
    QCOMPARE(f.stored(QStringLiteral("pid='{L}'")), QStringList{"under the last"});
    QVERIFY(frame.treeView()->isExpanded(frame.model()->indexOf(f.node(QStringLiteral("zz last")))));
    QCOMPARE(f.stored(QStringLiteral("tid='{L}' and expandFlag=True")), QStringList{"zz last"});

    // Under a task the search hides: it shows, open, for its new sub-task, and the rows
    // shown before stay as they are.
    auto *search = frame.findChild<QLineEdit *>(QStringLiteral("Edt_Search"));
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("first"));
    QCOMPARE(f.shownRows(), (QStringList{"parent", "  first child"}));
    frame.treeView()->clearSelection();
    QSignalSpy resets(frame.model(), &QAbstractItemModel::modelReset);
    frame.findChild<QAction *>(QStringLiteral("Action_SubTaskAdd"))->trigger();
    f.settle();
    QVERIFY(f.editor());
    QCOMPARE(f.shownRows(), (QStringList{"parent", "  first child", "zz last", "  "}));
    f.type(QStringLiteral("first of the last"));
    f.finish();
    QCOMPARE(f.stored(QStringLiteral("pid='{L}'")), (QStringList{"under the last", "first of the last"}));
    QCOMPARE(resets.size(), 0);
}

void TestTaskEditing::addTaskLeavesViewComplete()
{
    EditFixture f;
    IniFile(f.settings.path()).write(SettingsKeys::ViewRange, 1);
    f.add({"", "", "done", true, false});
    TqvTasksFrame &frame = f.openActive();
    auto *range = frame.findChild<QComboBox *>(QStringLiteral("Comb_ViewRange"));
    QCOMPARE(range->currentIndex(), 1);
    f.key(Qt::Key_Return);
    QCOMPARE(range->currentIndex(), 0);
    QCOMPARE(IniFile(f.settings.path()).read(SettingsKeys::ViewRange), 0);
    f.type(QStringLiteral("new"));
    f.finish();
    QCOMPARE(f.shownRows(), (QStringList{"done", "new"}));
}

void TestTaskEditing::deleteTasks()
{
    EditFixture f;
    f.add({"{P}", "", "parent", false, false});
    f.add({"", "{P}", "child one", false, false});
    f.add({"", "{P}", "child two", false, false});
    f.add({"{Q}", "", "other", false, false});
    f.add({"", "{Q}", "other's child", false, false});
    TqvTasksFrame &frame = f.openActive();

    f.select(QStringLiteral("parent"));
    f.key(Qt::Key_Delete);  // answered Cancel: nothing changes
    QCOMPARE(f.prompter.lines(), QStringList{"Ask: Are you sure you want to delete this task?"});
    QCOMPARE(f.stored().size(), 5);

    f.prompter.setNextAnswer(PromptButton::Ok);
    f.key(Qt::Key_Delete);
    QCOMPARE(f.stored(), (QStringList{"other", "other's child"}));
    QCOMPARE(frame.tree().nodeCount(), 2);

    frame.treeView()->expandAll();
    f.select(QStringLiteral("other's child"));
    f.prompter.setNextAnswer(PromptButton::Ok);
    frame.action(QStringLiteral("Action_TaskDelete"))->trigger();
    QCOMPARE(f.stored(), QStringList{"other"});

    f.add({"", "", "third", false, false});
    frame.ReloadTasks();
    frame.treeView()->selectAll();
    f.prompter.setNextAnswer(PromptButton::Ok);
    frame.action(QStringLiteral("Action_TaskDelete"))->trigger();
    QCOMPARE(f.prompter.lines().back(), QStringLiteral("Ask: Are you sure you want to delete these tasks?"));
    QVERIFY(f.stored().isEmpty());
    QCOMPARE(frame.tipKind(), 1);
}

void TestTaskEditing::deleteKeepsTheOtherRowsAsTheyAre()
{
    EditFixture f;
    for (const char *name : {"a", "b", "c", "d", "e"})
        f.add({"", "", name, false, false});
    f.add({"{F}", "", "f", false, false});
    f.add({"", "{F}", "f's child", false, false});
    TqvTasksFrame &frame = f.openActive();
    frame.treeView()->expand(frame.model()->indexOf(f.node(QStringLiteral("f"))));
    QSignalSpy resets(frame.model(), &QAbstractItemModel::modelReset);
    QSignalSpy removed(frame.model(), &QAbstractItemModel::rowsRemoved);

    // Two runs of neighbouring rows: b and c, then e. What the view measured of them goes
    // with them, before another task can take their place in memory.
    const QList<TaskNode *> going{f.node(QStringLiteral("b")), f.node(QStringLiteral("c")), f.node(QStringLiteral("e"))};
    std::vector<quintptr> goingIds;
    for (TaskNode *node : going) {
        goingIds.push_back(TaskTreeModel::idOf(node));
        QVERIFY(frame.treeView()->keepsHeightOf(goingIds.back()));
    }
    frame.treeView()->selectNodes(going, nullptr);
    f.prompter.setNextAnswer(PromptButton::Ok);
    frame.action(QStringLiteral("Action_TaskDelete"))->trigger();
    for (const quintptr id : goingIds)
        QVERIFY(!frame.treeView()->keepsHeightOf(id));
    QCOMPARE(f.stored(), (QStringList{"a", "d", "f", "f's child"}));
    QCOMPARE(f.shownRows(), (QStringList{"a", "d", "f", "  f's child"}));
    QCOMPARE(removed.size(), 2);
    QCOMPARE(resets.size(), 0);  // the open parent stays open without being opened again

    // A parent goes with its sub-task; a sub-task alone leaves its parent open.
    f.add({"", "{F}", "f's second", false, false});
    frame.ReloadTasks();
    frame.treeView()->expand(frame.model()->indexOf(f.node(QStringLiteral("f"))));
    frame.treeView()->selectNodes({f.node(QStringLiteral("f's child"))}, nullptr);
    f.prompter.setNextAnswer(PromptButton::Ok);
    frame.action(QStringLiteral("Action_TaskDelete"))->trigger();
    QCOMPARE(f.shownRows(), (QStringList{"a", "d", "f", "  f's second"}));
    frame.treeView()->selectNodes({f.node(QStringLiteral("f"))}, nullptr);
    f.prompter.setNextAnswer(PromptButton::Ok);
    frame.action(QStringLiteral("Action_TaskDelete"))->trigger();
    QCOMPARE(f.stored(), (QStringList{"a", "d"}));
    QCOMPARE(f.shownRows(), (QStringList{"a", "d"}));
    QCOMPARE(frame.tree().nodeCount(), 2);

    // Rows in more runs than are worth removing one by one go as one change, the other
    // rows as they are.
    f.add({"{G}", "", "g", false, false});
    f.add({"", "{G}", "g's child", false, false});
    QList<TaskNode *> everyOther;
    for (int i = 0; i < 140; ++i)
        f.add({"", "", QStringLiteral("n%1").arg(i, 3, 10, QLatin1Char('0')), false, false});
    frame.ReloadTasks();
    frame.treeView()->expand(frame.model()->indexOf(f.node(QStringLiteral("g"))));
    for (int i = 0; i < 140; i += 2)
        everyOther.append(f.node(QStringLiteral("n%1").arg(i, 3, 10, QLatin1Char('0'))));
    const qsizetype resetsBefore = resets.size();
    goingIds.clear();
    for (TaskNode *node : everyOther)
        goingIds.push_back(TaskTreeModel::idOf(node));
    frame.treeView()->selectNodes(everyOther, nullptr);
    f.prompter.setNextAnswer(PromptButton::Ok);
    frame.action(QStringLiteral("Action_TaskDelete"))->trigger();
    for (const quintptr id : goingIds)
        QVERIFY(!frame.treeView()->keepsHeightOf(id));
    QCOMPARE(f.stored().size(), 2 + 2 + 70);
    const QStringList shown = f.shownRows();
    QCOMPARE(shown.size(), 2 + 2 + 70);
    QCOMPARE(shown.mid(0, 5), (QStringList{"a", "d", "g", "  g's child", "n001"}));
    QCOMPARE(shown.back(), QStringLiteral("n139"));
    QCOMPARE(resets.size(), resetsBefore);
    QVERIFY(frame.treeView()->selectedNodes().isEmpty());
}

void TestTaskEditing::markComplete()
{
    EditFixture f;
    f.add({"{A}", "", "a complete one", true, false});
    f.add({"{B}", "", "b open one", false, false});
    f.add({"", "{B}", "b's child", false, false});
    TqvTasksFrame &frame = f.openActive();
    frame.treeView()->selectNodes({f.node(QStringLiteral("a complete one")), f.node(QStringLiteral("b open one"))},
                                  f.node(QStringLiteral("a complete one")));
    QCOMPARE(frame.action(QStringLiteral("Action_TaskComplete"))->text(), QStringLiteral("Unmark Complete"));
    frame.action(QStringLiteral("Action_TaskComplete"))->trigger();
    QCOMPARE(f.stored(QStringLiteral("checkFlag=True")), QStringList{});  // both incomplete now
    QVERIFY(!f.stored(QStringLiteral("tid='{A}' and checkTime is not null")).isEmpty());  // unchecking writes a time
    QVERIFY(f.stored(QStringLiteral("tid='{B}' and checkTime is not null")).isEmpty());   // unchanged: untouched

    // Space on the focused task ticks it; its sub-task keeps its own box.
    frame.treeView()->setCurrentIndex(frame.model()->indexOf(f.node(QStringLiteral("b open one"))));
    f.key(Qt::Key_Space);
    QCOMPARE(f.stored(QStringLiteral("checkFlag=True")), QStringList{"b open one"});
    QVERIFY(!f.node(QStringLiteral("b's child"))->info.checkFlag);
}

void TestTaskEditing::storedTaskLeavesTheSearch()
{
    EditFixture f;
    f.add({"", "", "report draft", false, false});
    TqvTasksFrame &frame = f.openActive();
    auto *search = frame.findChild<QLineEdit *>(QStringLiteral("Edt_Search"));
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("report"));
    QCOMPARE(f.shownRows(), QStringList{"report draft"});
    f.select(QStringLiteral("report draft"));
    frame.action(QStringLiteral("Action_TaskEdit"))->trigger();
    f.settle();
    f.editor()->selectAll();
    f.type(QStringLiteral("memo"));
    f.finish();
    QCOMPARE(f.stored(), QStringList{"memo"});
    QCOMPARE(f.shownRows(), QStringList{});  // it no longer matches
    // The end of the edit puts the tip back: with nothing shown, the invitation to add.
    QCOMPARE(frame.tipKind(), 1);
    QVERIFY(frame.searchOn());
}

void TestTaskEditing::sortExpandAndViewSettings()
{
    EditFixture f;
    f.add({"{B}", "", "banana", false, false});
    f.add({"", "{B}", "b2", false, false});
    f.add({"", "", "Apple", false, false});
    f.add({"", "", "cherry", false, false});
    TqvTasksFrame &frame = f.openActive();
    QCOMPARE(f.shownRows(), (QStringList{"Apple", "banana", "cherry"}));
    QAction *sort = frame.action(QStringLiteral("Action_ViewAsc"));
    sort->trigger();
    QCOMPARE(f.shownRows(), (QStringList{"cherry", "banana", "Apple"}));
    QCOMPARE(sort->toolTip(), QStringLiteral("Ascending Sort"));
    QCOMPARE(IniFile(f.settings.path()).read(SettingsKeys::ViewAscEn), false);
    sort->trigger();
    QCOMPARE(f.shownRows(), (QStringList{"Apple", "banana", "cherry"}));
    QCOMPARE(IniFile(f.settings.path()).read(SettingsKeys::ViewAscEn), true);

    frame.action(QStringLiteral("Action_ExpandAll"))->trigger();
    QCOMPARE(f.shownRows(), (QStringList{"Apple", "banana", "  b2", "cherry"}));
    QCOMPARE(f.stored(QStringLiteral("expandFlag=True")), QStringList{"banana"});  // childless tasks unchanged
    frame.action(QStringLiteral("Action_CollapseAll"))->trigger();
    QCOMPARE(f.stored(QStringLiteral("expandFlag=True")), QStringList{});

    frame.action(QStringLiteral("Action_ViewList"))->trigger();
    frame.action(QStringLiteral("Action_ViewDate"))->trigger();
    QCOMPARE(IniFile(f.settings.path()).read(SettingsKeys::ViewListEn), true);
    QCOMPARE(IniFile(f.settings.path()).read(SettingsKeys::ViewDateEn), true);
}

void TestTaskEditing::subTaskUnderAHiddenTaskOpensTheEditor()
{
    EditFixture f;
    f.add({"", "", "a open", false, false});
    f.add({"{Z}", "", "z done", true, false});
    IniFile(f.settings.path()).write(SettingsKeys::ViewRange, 2);  // incomplete only
    TqvTasksFrame &frame = f.openActive();
    QCOMPARE(f.shownRows(), QStringList{"a open"});
    frame.treeView()->clearSelection();
    f.key(Qt::Key_Return, Qt::ControlModifier);  // under the last top-level task, hidden
    QVERIFY(f.editor());
    f.type(QStringLiteral("new sub-task"));
    f.finish();
    QVERIFY(!frame.editNode());
    QCOMPARE(f.stored(QStringLiteral("pid='{Z}'")), QStringList{"new sub-task"});
    QVERIFY(frame.action(QStringLiteral("Action_TaskAdd"))->isEnabled());
}

void TestTaskEditing::aFilterPassDuringAnEditKeepsTheText()
{
    EditFixture f;
    f.add({"", "", "first", false, false});
    TqvTasksFrame &frame = f.openActive();
    f.key(Qt::Key_Return);
    f.type(QStringLiteral("typed before the filter"));
    frame.ApplyViewFilter();  // e.g. text dropped on the search box
    f.settle();
    QVERIFY(!frame.editNode());
    QVERIFY(f.stored().contains(QStringLiteral("typed before the filter")));
}

void TestTaskEditing::aReloadWaitsForAnOpenDialog()
{
    EditFixture f;
    f.add({"", "", "before", false, false});
    TqvTasksFrame &frame = f.openActive();
    TaskNode *before = f.node(QStringLiteral("before"));
    QDialog dialog(&f.window);
    dialog.setModal(true);
    dialog.show();
    QVERIFY(QApplication::activeModalWidget());
    f.add({"", "", "added meanwhile", false, false});
    frame.requestReload();
    f.settle();
    QCOMPARE(f.node(QStringLiteral("before")), before);  // the tree the dialog's action holds stays
    QCOMPARE(frame.tree().nodeCount(), 1);
    dialog.close();
    QVERIFY(QMetaObject::invokeMethod(&frame.reminderTimer(), "timeout"));
    f.settle();
    QCOMPARE(frame.tree().nodeCount(), 2);
}

QTEST_MAIN(TestTaskEditing)
#include "tst_taskediting.moc"
