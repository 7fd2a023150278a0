// The task tree as data: loading from the table, the tray summary, the view filter,
// the sort order, and sibling positions through changes.

#include "store/AppError.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/TaskStore.h"
#include "tasks/TaskLoading.h"
#include "tasks/TaskTree.h"
#include "support/TestDataFolder.h"
#include "store/pU_Funcs.h"

#include <QRandomGenerator>
#include <QTest>

using namespace quillpad;

namespace {

struct Row {
    QString tid;
    QString pid;
    QString content;
    bool checked = false;
    bool expanded = false;
};

class Database {
public:
    Database() { connection.open(folder.file(QStringLiteral("qvData.qvb"))); }

    void add(const Row &row)
    {
        OpenSql(query, QStringLiteral("select * from tasks where 1=0"));
        query.insert();
        query.field(u"tid").setString(row.tid);
        query.field(u"pid").setString(row.pid);
        query.field(u"content").setString(row.content);
        query.field(u"checkFlag").setBoolean(row.checked);
        query.field(u"expandFlag").setBoolean(row.expanded);
        query.post();
    }

    TestDataFolder folder;
    Connection connection;
    Query query{connection};
    TaskStore store{connection};
};

TTaskInfo Info(const QString &content, bool checked = false)
{
    TTaskInfo info;
    info.content = content;
    info.checkFlag = checked;
    return info;
}

QStringList Visible(const TaskTree &tree)
{
    QStringList shown;
    tree.forEach([&shown](const TaskNode *node) {
        if (node->visible && (node->isTopLevel() || node->parent->visible))
            shown.append(node->info.content);
    });
    return shown;
}

QStringList Order(const TaskTree &tree)
{
    QStringList order;
    tree.forEach([&order](const TaskNode *node) {
        order.append((node->isTopLevel() ? QString() : QStringLiteral("  ")) + node->info.content);
    });
    return order;
}

}  // namespace

class TestTaskTree : public QObject {
    Q_OBJECT

private slots:
    void emptyTable();
    void loadsTwoLevelsOnly();
    void treeHoldsWhatTheStoreLoads();
    void summary_data();
    void summary();
    void filter_data();
    void filter();
    void typingNarrowsWithoutMissingAnything();
    void narrowingTestsAgainWhatChangedSince();
    void searchFindsTheTextAtEveryPlace();
    void passThatShowsEverythingIsSkippedOnlyWhenAllIsShown();
    void compare_data();
    void compare();
    void sortTwiceReturnsToTheFirstOrder();
    void positionsFollowChanges();
    void dueReminderIsTheFirstInTreeOrder();
};

void TestTaskTree::emptyTable()
{
    Database db;
    TaskTree tree;
    LoadTaskTree(tree, db.store);
    QVERIFY(tree.isEmpty());
    QCOMPARE(db.store.count(), 0);
    QCOMPARE(IncompleteTasksSummary(db.store, 20), QStringLiteral("Incomplete Tasks:\rNone"));
    QVERIFY(!tree.applyFilter(ViewRange::All, false, QString()).anyVisible);
}

void TestTaskTree::loadsTwoLevelsOnly()
{
    Database db;
    db.add({"{P1}", "root", "parent one", false, true});
    db.add({"{C1}", "{P1}", "child one", true, true});
    db.add({"{P2}", "root", "expanded but childless", false, true});
    db.add({"{G1}", "{C1}", "grandchild", false, false});
    db.add({"{O1}", "{MISSING}", "orphan", false, false});
    db.add({"{C2}", "{P1}", "child two", false, false});

    TaskTree tree;
    LoadTaskTree(tree, db.store);
    QCOMPARE(Order(tree), (QStringList{"parent one", "  child one", "  child two", "expanded but childless"}));
    QCOMPARE(tree.nodeCount(), 4);
    QCOMPARE(db.store.count(), 6);  // what is not shown still counts

    const TaskNode *parent = tree.roots().at(0).get();
    QVERIFY(parent->expanded);
    QVERIFY(parent->info.expandFlag);
    QVERIFY(!parent->children.at(0)->info.expandFlag);  // read for top-level tasks only
    QVERIFY(parent->children.at(0)->info.checkFlag);
    QCOMPARE(parent->children.at(1)->position, 1);
    QVERIFY(!tree.roots().at(1)->expanded);
    QCOMPARE(tree.findByTid(QStringLiteral("{C2}")), parent->children.at(1).get());
    QVERIFY(!tree.findByTid(QStringLiteral("{O1}")));
    // The orphan and the grandchild are incomplete, so the summary lists them.
    QCOMPARE(IncompleteTasksSummary(db.store, 20),
             QStringLiteral("Incomplete Tasks:\r(1) child two\r(2) expanded but childle...\r(3) grandchild\r(4) orphan\r ..."));
}

void TestTaskTree::treeHoldsWhatTheStoreLoads()
{
    // The tree is made from the rows as they come, the store's own list of them apart:
    // both must hold the same tasks, also where ids repeat and sub-tasks come first.
    Database db;
    ExecSql(db.query, QStringLiteral("insert into tasks (tid, pid, content, expandFlag) values "
                                     "('c1', 'p2', 'child before its parent', 1), ('p1', 'root', 'first', 1), "
                                     "('', 'root', 'empty id', 1), ('e1', '', 'under an empty id', 0), "
                                     "(null, 'root', 'no id', 0), ('p2', 'root', 'second', 0), "
                                     "('root', 'root', 'named root', 0), ('c2', 'p2', 'last', 0)"));
    TaskSnapshot snapshot;
    db.store.load(snapshot);
    TaskTree tree;
    LoadTaskTree(tree, db.store);
    QCOMPARE(tree.roots().size(), snapshot.size());
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        const TaskNode &node = *tree.roots()[i];
        QVERIFY(node.info == snapshot[i].task);
        QCOMPARE(node.children.size(), snapshot[i].subTasks.size());
        QCOMPARE(node.expanded, node.info.expandFlag && !node.children.empty());
        for (std::size_t c = 0; c < node.children.size(); ++c) {
            TTaskInfo expected = snapshot[i].subTasks[c];
            expected.expandFlag = false;  // kept for top-level tasks only
            QVERIFY(node.children[c]->info == expected);
            QCOMPARE(node.children[c]->parent, &node);
        }
    }
    QCOMPARE(tree.roots()[1]->children.size(), size_t(1));  // a null id reads as empty: each has a copy
    QCOMPARE(tree.roots()[3]->children.size(), size_t(2));
    QCOMPARE(tree.roots()[4]->children.size(), size_t(5));  // "root": every top-level task
}

void TestTaskTree::summary_data()
{
    QTest::addColumn<QStringList>("incomplete");
    QTest::addColumn<int>("hintSize");
    QTest::addColumn<QString>("hint");
    QTest::newRow("three") << QStringList{"c", "a", "b"} << 20 << QStringLiteral("Incomplete Tasks:\r(1) a\r(2) b\r(3) c");
    QTest::newRow("exactly four") << QStringList{"d", "c", "b", "a"} << 20
                                  << QStringLiteral("Incomplete Tasks:\r(1) a\r(2) b\r(3) c\r(4) d\r ...");
    QTest::newRow("five") << QStringList{"e", "d", "c", "b", "a"} << 20
                          << QStringLiteral("Incomplete Tasks:\r(1) a\r(2) b\r(3) c\r(4) d\r ...");
    QTest::newRow("lines flattened and cut") << QStringList{"line one\r\nline two"} << 10
                                             << QStringLiteral("Incomplete Tasks:\r(1) line one  ...");
    QTest::newRow("exactly hintSize is not cut") << QStringList{"1234567890"} << 10
                                                 << QStringLiteral("Incomplete Tasks:\r(1) 1234567890");
}

void TestTaskTree::summary()
{
    QFETCH(QStringList, incomplete);
    QFETCH(int, hintSize);
    QFETCH(QString, hint);
    Database db;
    db.add({NewGuid(), "root", "done", true, false});
    for (const QString &text : incomplete)
        db.add({NewGuid(), "root", text, false, false});
    QCOMPARE(IncompleteTasksSummary(db.store, hintSize), hint);
}

void TestTaskTree::filter_data()
{
    QTest::addColumn<int>("range");
    QTest::addColumn<bool>("searchOn");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("visible");
    QTest::addColumn<QStringList>("expanded");
    // Tree: "Open task" (incomplete) with "done child" (complete) and "open child";
    // "Closed task" (complete) with "Pending child" (incomplete); "Alone" (incomplete).
    QTest::newRow("all") << 0 << false << QString()
                         << QStringList{"Open task", "done child", "open child", "Closed task", "Pending child", "Alone"}
                         << QStringList{};
    QTest::newRow("complete keeps an incomplete parent for its complete child")
        << 1 << false << QString() << QStringList{"Open task", "done child", "Closed task"} << QStringList{};
    QTest::newRow("incomplete shows a complete parent of an incomplete child")
        << 2 << false << QString() << QStringList{"Open task", "open child", "Closed task", "Pending child", "Alone"}
        << QStringList{};
    QTest::newRow("search matching a sub-task only expands its parent")
        << 0 << true << QStringLiteral("Pending") << QStringList{"Closed task", "Pending child"}
        << QStringList{"Closed task"};
    QTest::newRow("search is case-sensitive") << 0 << true << QStringLiteral("alone") << QStringList{} << QStringList{};
    QTest::newRow("a matching parent does not show its children")
        << 0 << true << QStringLiteral("Open") << QStringList{"Open task"} << QStringList{};
    QTest::newRow("search and range together") << 2 << true << QStringLiteral("child")
                                               << QStringList{"Open task", "open child", "Closed task", "Pending child"}
                                               << QStringList{"Open task", "Closed task"};
    QTest::newRow("empty search text filters nothing") << 0 << true << QString()
        << QStringList{"Open task", "done child", "open child", "Closed task", "Pending child", "Alone"} << QStringList{};
}

void TestTaskTree::filter()
{
    QFETCH(int, range);
    QFETCH(bool, searchOn);
    QFETCH(QString, search);
    QFETCH(QStringList, visible);
    QFETCH(QStringList, expanded);
    TaskTree tree;
    TaskNode *open = tree.append(Info(QStringLiteral("Open task")));
    tree.append(Info(QStringLiteral("done child"), true), open);
    tree.append(Info(QStringLiteral("open child")), open);
    TaskNode *closed = tree.append(Info(QStringLiteral("Closed task"), true));
    tree.append(Info(QStringLiteral("Pending child")), closed);
    tree.append(Info(QStringLiteral("Alone")));

    const FilterOutcome outcome = tree.applyFilter(static_cast<ViewRange>(range), searchOn, search);
    QCOMPARE(Visible(tree), visible);
    QCOMPARE(outcome.anyVisible, !visible.isEmpty());
    QStringList toExpand;
    for (const TaskNode *node : outcome.parentsToExpand)
        toExpand.append(node->info.content);
    QCOMPARE(toExpand, expanded);
}

void TestTaskTree::typingNarrowsWithoutMissingAnything()
{
    // A longer search text tests again only the tasks that held the shorter one; every
    // other change of text, range or content must still find what it should.
    TaskTree tree;
    TaskNode *done = tree.append(Info(QStringLiteral("abc done"), true));
    TaskNode *open = tree.append(Info(QStringLiteral("xyz")));
    tree.append(Info(QStringLiteral("ab only")));
    tree.applyFilter(ViewRange::Incomplete, true, QStringLiteral("a"));
    QCOMPARE(Visible(tree), QStringList{"ab only"});
    tree.applyFilter(ViewRange::All, true, QStringLiteral("abc"));  // the range hid it before
    QCOMPARE(Visible(tree), QStringList{"abc done"});
    tree.applyFilter(ViewRange::All, true, QStringLiteral("xyz"));  // not a longer "abc"
    QCOMPARE(Visible(tree), QStringList{"xyz"});
    tree.setContent(open, QStringLiteral("xyz and abc"));
    tree.setContent(done, QStringLiteral("done"));
    tree.applyFilter(ViewRange::All, true, QStringLiteral("xyz a"));
    QCOMPARE(Visible(tree), QStringList{"xyz and abc"});
    tree.applyFilter(ViewRange::All, false, QString());
    tree.applyFilter(ViewRange::All, true, QStringLiteral("b"));
    QCOMPARE(Visible(tree), (QStringList{"xyz and abc", "ab only"}));
    tree.applyFilter(ViewRange::All, true, QStringLiteral("é"));  // a character past the first byte range
    QCOMPARE(Visible(tree), QStringList{});
    tree.setContent(open, QStringLiteral("caf\u00e9 \u00e9t\u00e9"));
    tree.applyFilter(ViewRange::All, true, QStringLiteral("\u00e9t\u00e9"));
    QCOMPARE(Visible(tree), QStringList{QStringLiteral("caf\u00e9 \u00e9t\u00e9")});
    tree.applyFilter(ViewRange::All, true, QStringLiteral("\u01e9t"));  // same low byte as é, not the same letter
    QCOMPARE(Visible(tree), QStringList{});
}

void TestTaskTree::searchFindsTheTextAtEveryPlace()
{
    // The text is looked for several places at a time: a match at the start, across
    // and after each block, and in the last places a block no longer covers, must all be
    // found, and a near miss (same first and last character) must not be.
    const QStringList parts{QStringLiteral("re"), QStringLiteral("rep"), QStringLiteral("r\u00e9port long"),
                            QStringLiteral("abcdefghijklmnopqrst")};
    for (const QString &part : parts) {
        QString nearMiss = part;
        if (part.size() > 2)
            nearMiss[1] = QLatin1Char('#');
        TaskTree tree;
        QStringList expected;
        for (int length = 0; length <= 40; ++length) {
            const QString filler(length, QLatin1Char('e'));
            for (int at = 0; at + part.size() <= length; ++at) {
                QString hit = filler;
                hit.replace(at, part.size(), part);
                tree.append(Info(hit));
                expected.append(hit);
                if (part.size() > 2) {
                    QString miss = filler;
                    miss.replace(at, part.size(), nearMiss);
                    tree.append(Info(miss));
                }
            }
            tree.append(Info(filler + part.left(part.size() - 1)));  // cut short at the end
        }
        tree.applyFilter(ViewRange::All, true, part);
        QCOMPARE(Visible(tree), expected);
    }
}

void TestTaskTree::narrowingTestsAgainWhatChangedSince()
{
    // A longer text tests again only the tasks that held the last one; a task added,
    // moved or given another text since must be tested all the same. Each pass is
    // checked against what the text alone says.
    TaskTree tree;
    TaskNode *alpha = tree.append(Info(QStringLiteral("alpha")));
    TaskNode *beta = tree.append(Info(QStringLiteral("beta")));
    TaskNode *gamma = tree.append(Info(QStringLiteral("gamma")));
    TaskNode *child = tree.append(Info(QStringLiteral("alphabet")), gamma);
    const auto pass = [&](const QString &text) {
        const FilterOutcome outcome = tree.applyFilter(ViewRange::All, true, text);
        QStringList expected;
        QList<TaskNode *> parents;
        for (const auto &root : tree.roots()) {
            QStringList children;
            for (const auto &sub : root->children) {
                if (sub->info.content.contains(text))
                    children.append(sub->info.content);
            }
            if (!children.isEmpty())
                parents.append(root.get());
            if (!children.isEmpty() || root->info.content.contains(text))
                expected << root->info.content << children;
        }
        QCOMPARE(Visible(tree), expected);
        QCOMPARE(QList<TaskNode *>(outcome.parentsToExpand.begin(), outcome.parentsToExpand.end()), parents);
        QCOMPARE(outcome.anyVisible, !expected.isEmpty());
    };
    pass(QStringLiteral("a"));
    pass(QStringLiteral("al"));
    tree.setContent(beta, QStringLiteral("salt"));  // hidden by "al", now holds it
    pass(QStringLiteral("al"));
    tree.append(Info(QStringLiteral("falcon")));
    pass(QStringLiteral("alc"));
    pass(QStringLiteral("al"));
    tree.move(child, beta, 0);
    pass(QStringLiteral("alp"));
    gamma->info.content = QStringLiteral("alpine");  // a record replaced outside the tree
    pass(QStringLiteral("alp"));
    tree.removeMany({alpha});
    pass(QStringLiteral("alph"));
    pass(QStringLiteral("alphab"));
}

void TestTaskTree::passThatShowsEverythingIsSkippedOnlyWhenAllIsShown()
{
    TaskTree tree;
    TaskNode *parent = tree.append(Info(QStringLiteral("parent")));
    tree.append(Info(QStringLiteral("done child"), true), parent);
    QVERIFY(tree.filterKeepsAll(ViewRange::All, false, QString()));
    QVERIFY(tree.filterKeepsAll(ViewRange::All, true, QString()));  // an empty search is none
    QVERIFY(!tree.filterKeepsAll(ViewRange::All, true, QStringLiteral("x")));
    QVERIFY(!tree.filterKeepsAll(ViewRange::Incomplete, false, QString()));

    for (const auto &hide : {std::pair(ViewRange::Incomplete, QString()), std::pair(ViewRange::All, QStringLiteral("x"))}) {
        tree.applyFilter(hide.first, !hide.second.isEmpty(), hide.second);
        QVERIFY(!tree.filterKeepsAll(ViewRange::All, false, QString()));
        tree.append(Info(QStringLiteral("new")));  // a new node does not show the hidden ones
        QVERIFY(!tree.filterKeepsAll(ViewRange::All, false, QString()));
        QVERIFY(tree.applyFilter(ViewRange::All, false, QString()).anyVisible);
        QCOMPARE(Visible(tree).size(), tree.nodeCount());
        QVERIFY(tree.filterKeepsAll(ViewRange::All, false, QString()));
    }
    tree.append(Info(QStringLiteral("added while all shown")), parent);
    const FilterOutcome outcome = tree.applyFilter(ViewRange::All, false, QString());
    QVERIFY(outcome.anyVisible);
    QVERIFY(outcome.parentsToExpand.empty());
    QCOMPARE(Visible(tree).size(), tree.nodeCount());
    tree.clear();
    QVERIFY(!tree.applyFilter(ViewRange::All, false, QString()).anyVisible);
}

void TestTaskTree::compare_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("ASCII case folds") << QStringLiteral("Buy milk") << QStringLiteral("buy MILK") << 0;
    QTest::newRow("prefix first") << QStringLiteral("ab") << QStringLiteral("abc") << -1;
    QTest::newRow("folded to upper: a before [") << QStringLiteral("a") << QStringLiteral("[") << -1;
    QTest::newRow("underscore after folded letters") << QStringLiteral("_") << QStringLiteral("z") << 1;
    QTest::newRow("no folding beyond ASCII") << QStringLiteral("é") << QStringLiteral("É") << 1;
    QTest::newRow("accented after Z") << QStringLiteral("é") << QStringLiteral("z") << 1;
    QTest::newRow("astral after the basic plane") << QStringLiteral("😀") << QStringLiteral("\uFFFD") << 1;
    QTest::newRow("empty first") << QString() << QStringLiteral("a") << -1;
}

void TestTaskTree::compare()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);
    const auto signOf = [](int value) { return (value > 0) - (value < 0); };
    QCOMPARE(signOf(CompareTaskText(a, b)), sign);
    QCOMPARE(signOf(CompareTaskText(b, a)), -sign);
}

void TestTaskTree::sortTwiceReturnsToTheFirstOrder()
{
    TaskTree tree;
    for (const char *text : {"pear", "Apple", "apple", "fig", "banana"}) {
        TaskNode *node = tree.append(Info(QString::fromUtf8(text)));
        if (QByteArray(text) == "fig") {
            tree.append(Info(QStringLiteral("z")), node);
            tree.append(Info(QStringLiteral("A")), node);
        }
    }
    tree.sort(true);
    const QStringList ascending = Order(tree);
    QCOMPARE(ascending, (QStringList{"Apple", "apple", "banana", "fig", "  A", "  z", "pear"}));
    tree.sort(false);
    QCOMPARE(Order(tree), (QStringList{"pear", "fig", "  z", "  A", "banana", "Apple", "apple"}));
    tree.sort(true);
    QCOMPARE(Order(tree), ascending);
    for (const auto &root : tree.roots())
        QCOMPARE(tree.roots().at(root->position).get(), root.get());
}

void TestTaskTree::positionsFollowChanges()
{
    TaskTree tree;
    TaskNode *a = tree.append(Info(QStringLiteral("a")));
    TaskNode *b = tree.append(Info(QStringLiteral("b")));
    TaskNode *c = tree.insert(Info(QStringLiteral("c")), nullptr, 0);
    QCOMPARE((QList<int>{c->position, a->position, b->position}), (QList<int>{0, 1, 2}));
    TaskNode *child = tree.append(Info(QStringLiteral("child")), a);
    QVERIFY_THROWS_EXCEPTION(AppError, tree.append(Info(QStringLiteral("grandchild")), child));
    QVERIFY_THROWS_EXCEPTION(AppError, tree.move(a, b, 0));  // a has sub-tasks
    tree.move(c, b, 0);
    QCOMPARE(c->parent, b);
    QCOMPARE((QList<int>{a->position, b->position, c->position}), (QList<int>{0, 1, 0}));
    tree.move(child, nullptr, 0);
    QCOMPARE(Order(tree), (QStringList{"child", "a", "b", "  c"}));
    QCOMPARE(b->position, 2);
    tree.removeMany({b});
    QCOMPARE(Order(tree), (QStringList{"child", "a"}));
    QCOMPARE(tree.nodeCount(), 2);
}


// The reminder index against a walk over every node, through random edits of every
// kind the tree takes, reminders switched on and off, tasks completed, and the time.
void TestTaskTree::dueReminderIsTheFirstInTreeOrder()
{
    QRandomGenerator random(4);
    TaskTree tree;
    const auto task = [&random](int i) {
        TTaskInfo info;
        info.tid = QString::number(i);
        info.content = QString::number(random.bounded(50));
        info.alarmFlag = random.bounded(4) == 0;
        info.checkFlag = random.bounded(5) == 0;
        info.alarmTime = random.bounded(100);
        return info;
    };
    const auto walk = [&tree](qint64 now) {
        TaskNode *due = nullptr;
        tree.forEach([&](const TaskNode *node) {
            if (!due && node->info.alarmFlag && !node->info.checkFlag && DateTimeToMs(node->info.alarmTime) <= now)
                due = const_cast<TaskNode *>(node);
        });
        return due;
    };
    const auto anyNode = [&]() -> TaskNode * {
        std::vector<TaskNode *> nodes;
        tree.forEach([&](const TaskNode *node) { nodes.push_back(const_cast<TaskNode *>(node)); });
        return nodes.empty() ? nullptr : nodes[random.bounded(int(nodes.size()))];
    };
    int made = 0;
    for (int step = 0; step < 3000; ++step) {
        TaskNode *node = anyNode();
        switch (random.bounded(9)) {
        case 0:
        case 1:
            tree.insert(task(made++), node && node->isTopLevel() && random.bounded(2) ? node : nullptr,
                        random.bounded(-1, 5));
            break;
        case 2:
            if (node)
                tree.removeMany({node});
            break;
        case 3:
            if (node) {
                std::vector<TaskNode *> some{node};
                if (TaskNode *other = anyNode(); other && other != node && other->parent != node && node->parent != other)
                    some.push_back(other);
                tree.removeMany(some);
            }
            break;
        case 4:
            if (node && node->children.empty() && random.bounded(2)) {
                TaskNode *target = anyNode();
                if (target && target != node && target->isTopLevel())
                    tree.move(node, target, random.bounded(-1, 3));
            } else if (node && !node->isTopLevel()) {
                tree.move(node, nullptr, random.bounded(-1, 3));
            }
            break;
        case 5:
            tree.sort(random.bounded(2));
            break;
        case 6:
            if (node) {  // a reminder set or dismissed, as the frame does it
                node->info.alarmFlag = !node->info.alarmFlag;
                node->info.alarmTime = random.bounded(100);
                tree.noteReminder(node);
            }
            break;
        case 7:
            if (node)
                node->info.checkFlag = !node->info.checkFlag;
            break;
        case 8:
            if (random.bounded(50) == 0)
                tree.clear();
            break;
        }
        const qint64 now = DateTimeToMs(random.bounded(110));
        QCOMPARE(tree.firstDueReminder(now), walk(now));
    }
}

QTEST_GUILESS_MAIN(TestTaskTree)
#include "tst_tasktree.moc"
