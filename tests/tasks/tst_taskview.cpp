// The list view over long lists: scrolling by pixels whatever the length, rows that
// keep their selection, expansion and place through a filter pass and an edit, and
// the rows as screen readers see them.

#include "FrameFixture.h"
#include "store/WriteBatch.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

using namespace quillpad;

class TestTaskView : public QObject {
    Q_OBJECT

private slots:
    void tallLastRowOfALongListCanBeRead();
    void filterAndEditKeepSelectionExpansionAndPlace();
    void rowsAreExposedToScreenReaders();
    void aTickIsPaintedWhenEveryRowStaysShown();
    void rowChangesKeepTheModelWhole();
    void theListOpensAtItsFirstTask();
};

namespace {

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

void AddMany(Fixture &f, int count, const QString &prefix)
{
    WriteBatch batch(f.connection);
    for (int i = 0; i < count; ++i)
        f.add({"", "", QStringLiteral("%1 %2").arg(prefix).arg(i, 5, 10, QLatin1Char('0')), false, false});
    batch.commit();
}

// The rows as the model gives them, each sub-task indented, against the tree's own
// visible nodes.
QStringList ModelRows(const TaskTreeModel &model)
{
    QStringList rows;
    for (int r = 0; r < model.rowCount(); ++r) {
        const QModelIndex top = model.index(r, 0);
        rows.append(model.nodeAt(top)->info.content);
        for (int c = 0; c < model.rowCount(top); ++c) {
            const QModelIndex child = model.index(c, 0, top);
            if (child.parent() != top || model.indexOf(model.nodeAt(child)) != child)
                rows.append(QStringLiteral("(lost its way)"));
            rows.append(QStringLiteral("  ") + model.nodeAt(child)->info.content);
        }
    }
    return rows;
}

QStringList TreeRows(const TaskTree &tree)
{
    QStringList rows;
    tree.forEach([&](const TaskNode *node) {
        if (node->visible && (node->isTopLevel() || node->parent->visible))
            rows.append((node->isTopLevel() ? QString() : QStringLiteral("  ")) + node->info.content);
    });
    return rows;
}

}  // namespace

void TestTaskView::theListOpensAtItsFirstTask()
{
    // The first task stored sorts last: the start-up sort must not take the view with it.
    Fixture f;
    f.add({"", "", QStringLiteral("zz stored first"), false, false});
    AddMany(f, 200, QStringLiteral("task"));
    TqvTasksFrame &frame = f.open();
    QCOMPARE(frame.treeView()->verticalScrollBar()->value(), 0);
    QCOMPARE(frame.treeView()->shownRowCount(), 201);
    QCOMPARE(frame.treeView()->indexAt(QPoint(30, 2)), frame.treeView()->shownRow(0));
}

void TestTaskView::rowChangesKeepTheModelWhole()
{
    // Rows that come and go one by one: the sub-task rows of all parents lie in one list,
    // so a change under one parent moves every later parent's rows.
    TaskTree tree;
    TaskTreeModel model(tree);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const auto info = [](const QString &text) {
        TTaskInfo record;
        record.content = text;
        return record;
    };
    std::vector<TaskNode *> parents;
    model.beginRebuild();
    for (int p = 0; p < 5; ++p) {
        parents.push_back(tree.append(info(QStringLiteral("p%1").arg(p))));
        for (int c = 0; c < 3; ++c)
            tree.append(info(QStringLiteral("p%1 c%2").arg(p).arg(c)), parents.back());
    }
    model.endRebuild();
    QCOMPARE(ModelRows(model), TreeRows(tree));

    model.appendTask(info(QStringLiteral("p1 new")), parents[1]);
    model.appendTask(info(QStringLiteral("p4 new")), parents[4]);
    model.appendTask(info(QStringLiteral("p5")), nullptr);
    QCOMPARE(ModelRows(model), TreeRows(tree));

    const auto child = [&](int p, int c) { return parents[p]->children[static_cast<std::size_t>(c)].get(); };
    model.removeTasks({child(2, 0), child(2, 2)});
    QCOMPARE(ModelRows(model), TreeRows(tree));
    model.removeTasks({parents[1], parents[3]});  // with their sub-tasks
    QCOMPARE(ModelRows(model), TreeRows(tree));
    model.appendTask(info(QStringLiteral("p2 new")), parents[2]);
    QCOMPARE(ModelRows(model), TreeRows(tree));

    model.beginLayoutChange();
    tree.applyFilter(ViewRange::All, true, QStringLiteral("new"));
    model.endLayoutChange();
    QCOMPARE(ModelRows(model), TreeRows(tree));
    QCOMPARE(ModelRows(model), (QStringList{"p2", "  p2 new", "p4", "  p4 new"}));
    model.beginLayoutChange();
    tree.applyFilter(ViewRange::All, false, QString());
    model.endLayoutChange();
    model.removeTasks({parents[0]});
    QCOMPARE(ModelRows(model), TreeRows(tree));
    QCOMPARE(ModelRows(model), (QStringList{"p2", "  p2 c1", "  p2 new", "p4", "  p4 c0", "  p4 c1", "  p4 c2",
                                            "  p4 new", "p5"}));

    // Tasks of different parents go as one change of layout: what the selection held of
    // them is held no more, the rest stays on its task.
    const QPersistentModelIndex kept(model.indexOf(child(4, 1))), gone(model.indexOf(child(4, 0))),
        goneWithParent(model.indexOf(child(2, 0)));
    model.removeTasks({parents[2], child(4, 0), child(4, 2)});
    QCOMPARE(ModelRows(model), (QStringList{"p4", "  p4 c1", "  p4 new", "p5"}));
    QCOMPARE(model.nodeAt(kept), child(4, 0));
    QVERIFY(!gone.isValid() && !goneWithParent.isValid());
}

void TestTaskView::tallLastRowOfALongListCanBeRead()
{
    Fixture f;
    AddMany(f, 3000, QStringLiteral("task"));
    QStringList lines;
    for (int i = 1; i <= 60; ++i)
        lines.append(QStringLiteral("zz tall line %1").arg(i));
    const QString tall = lines.join(QStringLiteral("\r\n"));
    f.add({"", "", tall, false, false});
    TqvTasksFrame &frame = f.open();
    TaskTreeView *view = frame.treeView();
    const QRect shown = view->viewport()->rect();
    const auto rowOfTall = [&] { return view->visualRect(frame.model()->indexOf(f.node(tall))); };

    // At the end of the bar the tall row ends at the bottom of the view; a step back
    // shows lines above, still of the same row.
    QScrollBar *bar = view->verticalScrollBar();
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    bar->setValue(bar->maximum());
    QVERIFY(rowOfTall().height() > shown.height());
    QCOMPARE(rowOfTall().bottom(), shown.bottom());
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QVERIFY(rowOfTall().top() < 0);
    QVERIFY(rowOfTall().bottom() > shown.bottom());
    QCOMPARE(bar->singleStep(), view->fontMetrics().height());
}

void TestTaskView::filterAndEditKeepSelectionExpansionAndPlace()
{
    EditFixture f;
    AddMany(f, 300, QStringLiteral("row"));
    f.add({"{P}", "", "row 00150 parent", false, true});
    f.add({"", "{P}", "row child", false, false});
    TqvTasksFrame &frame = f.openActive();
    TaskTreeView *view = frame.treeView();
    TaskNode *parent = f.node(QStringLiteral("row 00150 parent"));
    QVERIFY(view->isExpanded(frame.model()->indexOf(parent)));
    f.select(QStringLiteral("row 00151"));
    view->scrollTo(frame.model()->indexOf(parent), QAbstractItemView::PositionAtTop);
    const int top = view->visualRect(frame.model()->indexOf(parent)).top();

    // A search that narrows, one that shows the same rows, then clearing it.
    auto *search = frame.findChild<QLineEdit *>(QStringLiteral("Edt_Search"));
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("row 0015"));
    QCOMPARE(view->selectedNodes(), QList<TaskNode *>{f.node(QStringLiteral("row 00151"))});
    QVERIFY(view->isExpanded(frame.model()->indexOf(parent)));
    search->clear();
    view->scrollTo(frame.model()->indexOf(parent), QAbstractItemView::PositionAtTop);
    QTest::keyClicks(search, QStringLiteral("row"));
    QCOMPARE(view->visualRect(frame.model()->indexOf(parent)).top(), top);
    search->clear();
    QCOMPARE(view->selectedNodes(), QList<TaskNode *>{f.node(QStringLiteral("row 00151"))});
    QVERIFY(view->isExpanded(frame.model()->indexOf(parent)));
    QCOMPARE(view->visualRect(frame.model()->indexOf(parent)).top(), top);

    // Completing the selected task leaves everything where it was.
    frame.action(QStringLiteral("Action_TaskComplete"))->trigger();
    QVERIFY(f.node(QStringLiteral("row 00151"))->info.checkFlag);
    QCOMPARE(view->selectedNodes(), QList<TaskNode *>{f.node(QStringLiteral("row 00151"))});
    QVERIFY(view->isExpanded(frame.model()->indexOf(parent)));
    QCOMPARE(view->visualRect(frame.model()->indexOf(parent)).top(), top);

    // So does a pasted task, one row in at the end; and a new task dropped on its
    // editor's Esc (the editor itself is scrolled to).
    frame.PasteText(QStringLiteral("zz pasted"));
    QCOMPARE(view->visualRect(frame.model()->indexOf(parent)).top(), top);
    f.key(Qt::Key_Return);
    QVERIFY(f.editor());
    f.cancel();
    QCOMPARE(frame.model()->rowCount(), 302);
    QCOMPARE(view->selectedNodes(), QList<TaskNode *>{f.node(QStringLiteral("row 00151"))});
    QVERIFY(view->isExpanded(frame.model()->indexOf(parent)));
}

// In View All a tick shows and hides no row, so no layout change repaints the list:
// the ticked box must still be painted, by Space and by Mark Complete alike.
void TestTaskView::aTickIsPaintedWhenEveryRowStaysShown()
{
    EditFixture f;
    f.add({"", "", "first", false, false});
    f.add({"", "", "second", false, false});
    TqvTasksFrame &frame = f.openActive();
    TaskTreeView *view = frame.treeView();
    QApplication::processEvents();
    PaintCounter counter(view->viewport());

    view->setCurrentIndex(frame.model()->indexOf(f.node(QStringLiteral("first"))));
    QApplication::processEvents();
    counter.paints = 0;
    f.key(Qt::Key_Space);
    QApplication::processEvents();
    QVERIFY(f.node(QStringLiteral("first"))->info.checkFlag);
    QVERIFY(counter.paints > 0);

    f.select(QStringLiteral("second"));
    QApplication::processEvents();
    counter.paints = 0;
    frame.action(QStringLiteral("Action_TaskComplete"))->trigger();
    QApplication::processEvents();
    QVERIFY(f.node(QStringLiteral("second"))->info.checkFlag);
    QVERIFY(counter.paints > 0);
}

void TestTaskView::rowsAreExposedToScreenReaders()
{
    EditFixture f;
    f.add({"{P}", "", "a parent", false, true});
    f.add({"", "{P}", "child", true, false});
    f.add({"", "", "b other", false, false});
    TqvTasksFrame &frame = f.openActive();
    TaskTreeView *view = frame.treeView();
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view);
    QVERIFY(list);
    QCOMPARE(list->role(), QAccessible::Tree);
    QCOMPARE(list->childCount(), 2);  // the top-level rows; sub-tasks are one level down

    QAccessibleInterface *parentRow = list->child(0);
    QVERIFY(parentRow);
    QCOMPARE(parentRow->childCount(), 1);
    QAccessibleInterface *childRow = parentRow->child(0);
    QVERIFY(childRow);
    QCOMPARE(parentRow->role(), QAccessible::TreeItem);
    QCOMPARE(parentRow->text(QAccessible::Name), frame.VtTasksGetText(*f.node(QStringLiteral("a parent"))));
    QCOMPARE(childRow->text(QAccessible::Name), frame.VtTasksGetText(*f.node(QStringLiteral("child"))));
    QVERIFY(parentRow->state().expanded);
    QVERIFY(parentRow->state().checkable);
    QVERIFY(!parentRow->state().checked);
    QVERIFY(childRow->state().checked);
    QCOMPARE(list->indexOfChild(childRow), -1);
    QCOMPARE(parentRow->indexOfChild(childRow), 0);
    QCOMPARE(childRow->parent(), parentRow);
    QCOMPARE(parentRow->parent(), list);
    QVERIFY(childRow->rect().isValid());
    const QPoint onChild = childRow->rect().center();
    QCOMPARE(list->childAt(onChild.x(), onChild.y()), parentRow);
    QCOMPARE(parentRow->childAt(onChild.x(), onChild.y()), childRow);

    // The reader's actions: focus and select a row, open and close it, tick its box.
    f.select(QStringLiteral("b other"));
    QVERIFY(list->child(1)->state().focused);
    QVERIFY(list->child(1)->state().selected);
    QCOMPARE(list->focusChild(), list->child(1));
    parentRow->actionInterface()->doAction(QAccessibleActionInterface::decreaseAction());
    QVERIFY(!view->isExpanded(frame.model()->indexOf(f.node(QStringLiteral("a parent")))));
    QCOMPARE(parentRow->childCount(), 0);
    QCOMPARE(list->childCount(), 2);
    list->child(1)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(f.node(QStringLiteral("b other"))->info.checkFlag);
}

QTEST_MAIN(TestTaskView)
#include "tst_taskview.moc"
