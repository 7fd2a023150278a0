// Moving tasks through the "Move to" menus and by drag and drop, copy and paste,
// Select All and Deselect; and what each leaves in the database.

#include "FrameFixture.h"
#include "store/WriteBatch.h"
#include "app/settings/IniFile.h"
#include "components/ui/QvStatusBar.h"

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace quillpad;

namespace {

class MoveFixture : public EditFixture {
public:
    // Parent A with a1, a2; parent B with b1; C without sub-tasks.
    MoveFixture()
    {
        add({"{A}", "", "A", false, false});
        add({"{A1}", "{A}", "a1", false, false});
        add({"{A2}", "{A}", "a2", false, false});
        add({"{B}", "", "B", false, false});
        add({"{B1}", "{B}", "b1", false, false});
        add({"{C}", "", "C", false, false});
        openActive();
        frame->treeView()->expandAll();
    }

    void selectNodes(const QStringList &contents)
    {
        QList<TaskNode *> nodes;
        for (const QString &content : contents)
            nodes.append(node(content));
        frame->treeView()->selectNodes(nodes, nodes.front());
    }

    QStringList menuEntries(const char *name)
    {
        frame->UpdateActions();
        auto *menu = window.findChild<QMenu *>(QString::fromLatin1(name));
        if (!menu->isEnabled())
            return {QStringLiteral("(disabled)")};
        emit menu->aboutToShow();
        QStringList entries;
        for (QAction *entry : menu->actions())
            entries.append(entry->isSeparator() ? QStringLiteral("-") : entry->text());
        return entries;
    }

    void chooseMoveTarget(const QString &caption)
    {
        auto *menu = window.findChild<QMenu *>(QStringLiteral("MainMoveTo"));
        emit menu->aboutToShow();
        for (QAction *entry : menu->actions()) {
            if (entry->text() == caption) {
                entry->trigger();
                return;
            }
        }
        QFAIL("no such entry");
    }

    QString pidOf(const QString &tid) const
    {
        Query query(const_cast<Connection &>(connection));
        OpenSql(query, QStringLiteral("select * from tasks where tid=") + QuoteSql(tid));
        return query.field(u"pid").asString();
    }

    // The tree as shown, each sub-task indented, whatever is expanded.
    QStringList order() const
    {
        QStringList rows;
        frame->tree().forEach([&rows](const TaskNode *node) {
            rows.append((node->isTopLevel() ? QString() : QStringLiteral("  ")) + node->info.content);
        });
        return rows;
    }
};

}  // namespace

class TestTaskMoving : public QObject {
    Q_OBJECT

private slots:
    void moveMenus();
    void moveMenuEntriesAreReadable();
    void aLongMoveMenuScrollsInOneColumn();
    void moveToHeadInReverseOrder();
    void moveToRoot();
    void movingATaskWithSubTasksTakesThemAlong();
    void aMoveKeepsTheOtherRowsAsTheyAre();
    void dragOverRules();
    void dropRules();
    void copyAndPaste();
    void pasteCancelsAnEditAndKeepsTheView();
    void selectAllKeepsSiblings();
    void theStatusBarForgetsTasksThatLeaveTheSelection_data();
    void theStatusBarForgetsTasksThatLeaveTheSelection();
};

void TestTaskMoving::moveMenus()
{
    MoveFixture f;
    f.selectNodes({QStringLiteral("A")});
    QCOMPARE(f.menuEntries("MainMoveTo"), (QStringList{"B", "C"}));
    QCOMPARE(f.menuEntries("Menu_Moveto"), (QStringList{"B", "C"}));
    f.selectNodes({QStringLiteral("a1")});
    QCOMPARE(f.menuEntries("MainMoveTo"), (QStringList{"Root", "-", "B", "C"}));

    EditFixture lone;
    lone.add({"", "", "only one", false, false});
    lone.openActive();
    lone.frame->treeView()->selectNodes({lone.node(QStringLiteral("only one"))}, nullptr);
    lone.frame->UpdateActions();
    QVERIFY(!lone.window.findChild<QMenu *>(QStringLiteral("MainMoveTo"))->isEnabled());
    QVERIFY(!lone.window.findChild<QMenu *>(QStringLiteral("Menu_Moveto"))->isEnabled());
}

void TestTaskMoving::moveMenuEntriesAreReadable()
{
    EditFixture f;
    const QString longText = QString(70, QLatin1Char('x'));
    f.add({"", "", "first", false, false});
    f.add({"", "", "before\tafter", false, false});
    f.add({"", "", "two\r\nlines & more", false, false});
    f.add({"", "", longText, false, false});
    f.add({"", "", QString(59, QLatin1Char('y')) + QStringLiteral("\U0001F600z"), false, false});
    f.openActive();
    f.frame->treeView()->selectNodes({f.node(QStringLiteral("first"))}, nullptr);
    f.frame->UpdateActions();
    auto *menu = f.window.findChild<QMenu *>(QStringLiteral("MainMoveTo"));
    emit menu->aboutToShow();
    QStringList entries;
    for (QAction *entry : menu->actions())
        entries.append(entry->text());
    QCOMPARE(entries, (QStringList{"before after", "two  lines && more", QString(60, QLatin1Char('x')) + "...",
                                   QString(59, QLatin1Char('y')) + "..."}));
}

void TestTaskMoving::aLongMoveMenuScrollsInOneColumn()
{
    EditFixture f;
    {
        WriteBatch batch(f.connection);
        for (int i = 0; i < 1000; ++i)
            f.add({"", "", QStringLiteral("task %1").arg(i, 4, 10, QLatin1Char('0')), false, false});
        batch.commit();
    }
    f.openActive();
    f.frame->treeView()->selectNodes({f.node(QStringLiteral("task 0000"))}, nullptr);
    f.frame->UpdateActions();
    for (const char *name : {"MainMoveTo", "Menu_Moveto"}) {
        auto *menu = f.window.findChild<QMenu *>(QString::fromLatin1(name));
        const QRect screen = menu->screen()->availableGeometry();
        menu->popup(screen.topLeft());
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        const QList<QAction *> entries = menu->actions();
        QCOMPARE(entries.size(), 999);
        QVERIFY(menu->height() <= screen.height());
        QVERIFY(menu->width() <= screen.width());
        // One column: every entry is reached by going down the menu.
        QCOMPARE(menu->actionGeometry(entries.back()).left(), menu->actionGeometry(entries.front()).left());
        menu->setActiveAction(entries.back());
        QVERIFY(menu->rect().contains(menu->actionGeometry(entries.back())));
        menu->hide();
    }
}

void TestTaskMoving::moveToHeadInReverseOrder()
{
    MoveFixture f;
    f.selectNodes({QStringLiteral("a1"), QStringLiteral("a2")});
    f.chooseMoveTarget(QStringLiteral("C"));
    QCOMPARE(f.order(), (QStringList{"A", "B", "  b1", "C", "  a2", "  a1"}));
    QCOMPARE(f.pidOf(QStringLiteral("{A1}")), QStringLiteral("{C}"));
    QCOMPARE(f.pidOf(QStringLiteral("{A2}")), QStringLiteral("{C}"));
    QVERIFY(f.frame->treeView()->selectedNodes().isEmpty());
    QVERIFY(f.frame->treeView()->isExpanded(f.frame->model()->indexOf(f.node(QStringLiteral("C")))));
    QCOMPARE(f.stored(QStringLiteral("tid='{C}' and expandFlag=True")), QStringList{"C"});
}

void TestTaskMoving::moveToRoot()
{
    MoveFixture f;
    f.selectNodes({QStringLiteral("b1")});
    f.chooseMoveTarget(QStringLiteral("Root"));
    QCOMPARE(f.order().front(), QStringLiteral("b1"));
    QCOMPARE(f.pidOf(QStringLiteral("{B1}")), RootPid);
}

void TestTaskMoving::movingATaskWithSubTasksTakesThemAlong()
{
    MoveFixture f;
    f.selectNodes({QStringLiteral("A")});
    f.chooseMoveTarget(QStringLiteral("C"));
    QCOMPARE(f.order(), (QStringList{"B", "  b1", "C", "  A", "  a1", "  a2"}));
    for (const char *tid : {"{A}", "{A1}", "{A2}"})
        QCOMPARE(f.pidOf(QString::fromLatin1(tid)), QStringLiteral("{C}"));
    // No stored task has a sub-task for a parent.
    QCOMPARE(f.stored(QStringLiteral("pid in (select tid from tasks where pid<>'root')")), QStringList{});
    // And the loader reads back the same two levels.
    f.frame->ReloadTasks();
    QCOMPARE(f.order(), (QStringList{"B", "  b1", "C", "  A", "  a1", "  a2"}));
}

void TestTaskMoving::aMoveKeepsTheOtherRowsAsTheyAre()
{
    // Rows change places without the model being made again: B stays open without being
    // opened again, the target opens, and the moved tasks end deselected.
    MoveFixture f;
    TaskTreeView *view = f.frame->treeView();
    view->collapse(f.frame->model()->indexOf(f.node(QStringLiteral("C"))));
    QSignalSpy resets(f.frame->model(), &QAbstractItemModel::modelReset);
    f.selectNodes({QStringLiteral("a1")});
    f.chooseMoveTarget(QStringLiteral("C"));
    QCOMPARE(f.shownRows(), (QStringList{"A", "  a2", "B", "  b1", "C", "  a1"}));
    QVERIFY(view->selectedNodes().isEmpty());

    // An open task that becomes a sub-task takes its own along, under the target.
    f.selectNodes({QStringLiteral("A")});
    f.chooseMoveTarget(QStringLiteral("B"));
    QCOMPARE(f.shownRows(), (QStringList{"B", "  A", "  a2", "  b1", "C", "  a1"}));
    QCOMPARE(resets.size(), 0);
}

void TestTaskMoving::dragOverRules()
{
    MoveFixture f;
    f.frame->treeView()->collapseAll();
    f.selectNodes({QStringLiteral("A"), QStringLiteral("C")});
    TaskTreeView *view = f.frame->treeView();
    QVERIFY(view->dragOver(nullptr));                          // blank space
    QVERIFY(!view->dragOver(f.node(QStringLiteral("A"))));      // the first selected task
    QVERIFY(view->dragOver(f.node(QStringLiteral("C"))));       // another selected task
    QVERIFY(view->dragOver(f.node(QStringLiteral("B"))));
    QVERIFY(view->isExpanded(f.frame->model()->indexOf(f.node(QStringLiteral("B")))));  // hovering opens it
    QVERIFY(view->dragOver(f.node(QStringLiteral("b1"))));
}

void TestTaskMoving::dropRules()
{
    {
        MoveFixture f;  // on a sub-task of another parent: last under that parent
        f.selectNodes({QStringLiteral("a1")});
        f.frame->treeView()->dropOn(f.node(QStringLiteral("b1")));
        QCOMPARE(f.order(), (QStringList{"A", "  a2", "B", "  b1", "  a1", "C"}));
        QCOMPARE(f.pidOf(QStringLiteral("{A1}")), QStringLiteral("{B}"));
    }
    {
        MoveFixture f;  // on blank space: last at the top level
        f.selectNodes({QStringLiteral("a1")});
        f.frame->treeView()->dropOn(nullptr);
        QCOMPARE(f.order().back(), QStringLiteral("a1"));
        QCOMPARE(f.pidOf(QStringLiteral("{A1}")), RootPid);
    }
    {
        MoveFixture f;  // on its own sub-task: stays put
        f.selectNodes({QStringLiteral("A")});
        f.frame->treeView()->dropOn(f.node(QStringLiteral("a2")));
        QCOMPARE(f.order(), (QStringList{"A", "  a1", "  a2", "B", "  b1", "C"}));
        QCOMPARE(f.pidOf(QStringLiteral("{A}")), RootPid);
    }
    {
        MoveFixture f;  // several on one of them: the others go under it
        f.selectNodes({QStringLiteral("B"), QStringLiteral("C")});
        f.frame->treeView()->dropOn(f.node(QStringLiteral("C")));
        QCOMPARE(f.order(), (QStringList{"A", "  a1", "  a2", "C", "  B", "  b1"}));
        QCOMPARE(f.pidOf(QStringLiteral("{C}")), RootPid);
        QCOMPARE(f.pidOf(QStringLiteral("{B1}")), QStringLiteral("{C}"));
    }
}

void TestTaskMoving::copyAndPaste()
{
    EditFixture f;
    f.add({"", "", "a", false, false});
    f.add({"", "", "b\r\nsecond line", false, false});
    f.add({"", "", "", false, false});
    TqvTasksFrame &frame = f.openActive();
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("untouched"));
    frame.treeView()->selectNodes({f.node(QString())}, nullptr);
    frame.action(QStringLiteral("Action_CopyTask"))->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("untouched"));  // an empty result leaves it

    // On the clipboard lines end as they do in every other Linux program: LF.
    frame.treeView()->selectNodes({f.node(QStringLiteral("a")), f.node(QStringLiteral("b\r\nsecond line"))}, nullptr);
    f.key(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("a\nb\nsecond line"));
    // A pasted text keeps its line breaks as every stored text does: CR LF.
    f.key(Qt::Key_V, Qt::ControlModifier);
    QVERIFY(f.stored().contains(QStringLiteral("a\r\nb\r\nsecond line")));
    QCOMPARE(f.frame->tree().roots().back()->info.content, QStringLiteral("a\r\nb\r\nsecond line"));
    clipboard->setText(QStringLiteral("copied\nfrom the editor\r\nor\relsewhere"));
    f.key(Qt::Key_V, Qt::ControlModifier);
    QVERIFY(f.stored().contains(QStringLiteral("copied\r\nfrom the editor\r\nor\r\nelsewhere")));

    clipboard->setText(QStringLiteral("pasted\r\n\r\n  "));
    frame.action(QStringLiteral("Action_PasteTask"))->trigger();
    QVERIFY(f.stored().contains(QStringLiteral("pasted")));
    // Nothing to paste, or only blanks: no task.
    const int before = f.stored().size();
    clipboard->clear();
    frame.action(QStringLiteral("Action_PasteTask"))->trigger();
    clipboard->setText(QStringLiteral(" \r\n\t"));
    frame.action(QStringLiteral("Action_PasteTask"))->trigger();
    QCOMPARE(f.stored().size(), before);
}

void TestTaskMoving::pasteCancelsAnEditAndKeepsTheView()
{
    EditFixture f;
    f.add({"", "", "done", true, false});
    IniFile(f.settings.path()).write(SettingsKeys::ViewRange, 1);
    TqvTasksFrame &frame = f.openActive();
    frame.treeView()->selectNodes({f.node(QStringLiteral("done"))}, nullptr);
    frame.action(QStringLiteral("Action_TaskEdit"))->trigger();
    f.settle();
    QVERIFY(f.editor());
    frame.PasteText(QStringLiteral("from the tray"));
    f.settle();
    QVERIFY(!frame.editNode());
    QCOMPARE(f.stored(), (QStringList{"done", "from the tray"}));
    // Shown at the end even under "View Complete", until the next filter run.
    QCOMPARE(f.shownRows(), (QStringList{"done", "from the tray"}));
    QCOMPARE(frame.treeView()->selectedNodes(), QList<TaskNode *>{f.node(QStringLiteral("done"))});
    frame.ApplyViewFilter();
    QCOMPARE(f.shownRows(), QStringList{"done"});
}

void TestTaskMoving::selectAllKeepsSiblings()
{
    MoveFixture f;
    f.frame->treeView()->setCurrentIndex(f.frame->model()->indexOf(f.node(QStringLiteral("a1"))));
    f.frame->action(QStringLiteral("Action_SelectAll"))->trigger();
    QList<TaskNode *> expected{f.node(QStringLiteral("a1")), f.node(QStringLiteral("a2"))};
    QCOMPARE(f.frame->treeView()->selectedNodes(), expected);
    f.frame->action(QStringLiteral("Action_Deselect"))->trigger();
    QVERIFY(f.frame->treeView()->selectedNodes().isEmpty());
    f.frame->treeView()->setCurrentIndex(f.frame->model()->indexOf(f.node(QStringLiteral("B"))));
    f.key(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(f.frame->treeView()->selectedNodes().size(), 3);  // the top-level tasks
}

void TestTaskMoving::theStatusBarForgetsTasksThatLeaveTheSelection_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("delete") << QStringLiteral("delete");
    QTest::newRow("move to") << QStringLiteral("move to");
    QTest::newRow("drop") << QStringLiteral("drop");
}

void TestTaskMoving::theStatusBarForgetsTasksThatLeaveTheSelection()
{
    QFETCH(QString, how);
    MoveFixture f;
    const QLabel *bulb = f.frame->findChild<TQvStatusBar *>()->picture();
    f.selectNodes({QStringLiteral("b1")});
    QVERIFY(f.frame->statusText().endsWith(QStringLiteral(" created")));
    QVERIFY(!bulb->isVisibleTo(f.frame));

    if (how == QLatin1String("delete")) {
        f.prompter.setNextAnswer(PromptButton::Ok);
        f.frame->action(QStringLiteral("Action_TaskDelete"))->trigger();
    } else if (how == QLatin1String("move to")) {
        f.chooseMoveTarget(QStringLiteral("C"));
    } else {
        f.frame->treeView()->dropOn(f.node(QStringLiteral("a1")));
    }
    QVERIFY(f.frame->treeView()->selectedNodes().isEmpty());
    QVERIFY(TqvTasksFrame::StatusTips().contains(f.frame->statusText()));
    QVERIFY(bulb->isVisibleTo(f.frame));
}

QTEST_MAIN(TestTaskMoving)
#include "tst_taskmoving.moc"
