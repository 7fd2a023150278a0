// Writes that fail: a batch over a selection whose statement or commit fails, an edit
// and a tick refused by the database. The list always shows what is stored, and typed
// text is never lost.

#include "FrameFixture.h"
#include "store/TaskStore.h"
#include "tasks/ui/TaskDialogs.h"

#include <QAction>
#include <QAbstractItemModel>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>

using namespace quillpad;

namespace {

// Every write of a batch succeeds, and its commit fails, as on a full disk.
const QString FailingCommits = QStringLiteral(
    "PRAGMA foreign_keys=ON;"
    "CREATE TEMP TABLE guard_parent (id PRIMARY KEY);"
    "CREATE TEMP TABLE guard (x REFERENCES guard_parent(id) DEFERRABLE INITIALLY DEFERRED);"
    "CREATE TEMP TRIGGER full_update AFTER UPDATE ON main.tasks BEGIN INSERT INTO guard VALUES (1); END;"
    "CREATE TEMP TRIGGER full_delete AFTER DELETE ON main.tasks BEGIN INSERT INTO guard VALUES (1); END;");

// Every write touching the task with this text fails.
QString FailingWrites(const QString &content, const QString &message)
{
    const QString when = QStringLiteral("WHEN OLD.content=%1 BEGIN SELECT RAISE(ABORT, '%2'); END;")
                             .arg(QuoteSql(content), message);
    return QStringLiteral("CREATE TEMP TRIGGER refuse_update BEFORE UPDATE ON main.tasks ") + when +
           QStringLiteral("CREATE TEMP TRIGGER refuse_delete BEFORE DELETE ON main.tasks ") + when;
}

class ColorAnswer : public TaskDialogs {
public:
    bool askColors(ColorChoice &choice) override
    {
        choice = {0x00112233, 0x00445566};
        return true;
    }
};

// The list against the database: every node carries its stored row, sits under the
// task its row names, and shows expanded as its row says; every loadable row is a node.
void CompareListWithDatabase(EditFixture &f)
{
    TaskStore store(f.connection);
    TaskSnapshot snapshot;
    store.load(snapshot);
    int rows = 0;
    for (const TaskWithSubTasks &entry : snapshot)
        rows += 1 + static_cast<int>(entry.subTasks.size());
    QCOMPARE(f.frame->tree().nodeCount(), rows);
    f.frame->tree().forEach([&](const TaskNode *node) {
        const std::optional<TTaskInfo> row = store.find(node->info.tid);
        QVERIFY2(row.has_value(), qPrintable(node->info.content));
        QCOMPARE(node->info, *row);
        QCOMPARE(node->parent ? node->parent->info.tid : RootPid, row->pid);
        if (node->isTopLevel() && !node->children.empty()) {
            QCOMPARE(node->expanded, row->expandFlag);
            const QModelIndex at = f.frame->model()->indexOf(const_cast<TaskNode *>(node));
            if (at.isValid())
                QCOMPARE(f.frame->treeView()->isExpanded(at), row->expandFlag);
        }
        const QModelIndex at = f.frame->model()->indexOf(const_cast<TaskNode *>(node));
        if (at.isValid())
            QCOMPARE(at.data(Qt::CheckStateRole).toInt(), int(row->checkFlag ? Qt::Checked : Qt::Unchecked));
    });
}

}  // namespace

class TestFailedWrites : public QObject {
    Q_OBJECT

private slots:
    void aFailedBatchLeavesTheListAsStored_data();
    void aFailedBatchLeavesTheListAsStored();
    void aRefusedEditOpensAgainWithTheTypedText_data();
    void aRefusedEditOpensAgainWithTheTypedText();
    void aRefusedTickShowsAsNotStored();
    void aReadOnlyDatabaseShowsEveryTaskAndOffersNoChange();
};

void TestFailedWrites::aFailedBatchLeavesTheListAsStored_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("atCommit");  // otherwise a statement half-way fails
    QTest::addColumn<QString>("refused");  // the task whose write fails half-way
    for (const char *action : {"complete", "delete", "expand all", "colours", "move"}) {
        const QString name = QString::fromLatin1(action);
        QTest::newRow(qPrintable(name + QStringLiteral(", commit fails"))) << name << true << QString();
        const QString refused = name == QLatin1String("expand all") ? QStringLiteral("B") : QStringLiteral("C");
        QTest::newRow(qPrintable(name + QStringLiteral(", a write half-way fails"))) << name << false << refused;
    }
}

void TestFailedWrites::aFailedBatchLeavesTheListAsStored()
{
    QFETCH(QString, action);
    QFETCH(bool, atCommit);
    QFETCH(QString, refused);
    EditFixture f;
    f.add({"{A}", "", "A", false, false});
    f.add({"{A1}", "{A}", "A1", false, false});
    f.add({"{B}", "", "B", false, false});
    f.add({"{B1}", "{B}", "B1", false, false});
    f.add({"{C}", "", "C", false, false});
    TqvTasksFrame &frame = f.openActive();
    ColorAnswer colors;
    TaskDialogs::install(&colors);
    const QStringList before = f.stored(QStringLiteral("1=1 order by tid"));

    QSignalSpy resets(frame.model(), &QAbstractItemModel::modelReset);
    f.connection.execute(atCommit ? FailingCommits : FailingWrites(refused, QStringLiteral("database or disk is full")));
    const auto select = [&](const QStringList &texts) {
        QList<TaskNode *> nodes;
        for (const QString &text : texts)
            nodes.append(f.node(text));
        frame.treeView()->selectNodes(nodes, nodes.front());
    };
    if (action == QLatin1String("complete")) {
        select({"A", "B", "C"});
        frame.action(QStringLiteral("Action_TaskComplete"))->trigger();
    } else if (action == QLatin1String("delete")) {
        select({"A", "B", "C"});
        f.prompter.setNextAnswer(PromptButton::Ok);
        frame.action(QStringLiteral("Action_TaskDelete"))->trigger();
    } else if (action == QLatin1String("expand all")) {
        frame.action(QStringLiteral("Action_ExpandAll"))->trigger();
    } else if (action == QLatin1String("colours")) {
        select({"A", "B", "C"});
        frame.action(QStringLiteral("Action_SetColor"))->trigger();
    } else {
        select({"B", "C"});
        frame.treeView()->dropOn(f.node(QStringLiteral("A")));
    }
    f.settle();
    TaskDialogs::install(nullptr);

    const QString error = f.prompter.lines().isEmpty() ? QString() : f.prompter.lines().back();
    QVERIFY2(error.contains(atCommit ? QStringLiteral("FOREIGN KEY constraint failed")
                                     : QStringLiteral("database or disk is full")),
             qPrintable(f.prompter.lines().join(QLatin1Char('\n'))));
    f.connection.execute(QStringLiteral("DROP TRIGGER IF EXISTS temp.full_update; DROP TRIGGER IF EXISTS temp.full_delete;"
                                        "DROP TRIGGER IF EXISTS temp.refuse_update; DROP TRIGGER IF EXISTS temp.refuse_delete;"
                                        "PRAGMA foreign_keys=OFF;"));
    if (atCommit) {
        QCOMPARE(f.stored(QStringLiteral("1=1 order by tid")), before);  // the batch was rolled back
        QCOMPARE(f.stored(QStringLiteral("checkFlag=True or expandFlag=True or textColor<>0 or pid='{A}'")),
                 QStringList{"A1"});
    } else {
        // What was written before the failure stays, and the list shows it.
        QVERIFY(f.stored(QStringLiteral("checkFlag=True or expandFlag=True or textColor<>0 or pid='{A}'")).size() > 1 ||
                f.stored().size() < before.size());
    }
    CompareListWithDatabase(f);
    // Row by row: only a move that went part of the way makes the list again.
    if (action != QLatin1String("move"))
        QCOMPARE(resets.size(), 0);
}

void TestFailedWrites::aRefusedEditOpensAgainWithTheTypedText_data()
{
    QTest::addColumn<bool>("newTask");
    QTest::newRow("a stored task") << false;
    QTest::newRow("a new task") << true;
}

void TestFailedWrites::aRefusedEditOpensAgainWithTheTypedText()
{
    QFETCH(bool, newTask);
    EditFixture f;
    f.add({"{T}", "", "before", false, false});
    TqvTasksFrame &frame = f.openActive();
    // Another program holds the database for longer than a write waits.
    f.connection.execute(FailingWrites(QStringLiteral("before"), QStringLiteral("database is locked")) +
                         QStringLiteral("CREATE TEMP TRIGGER refuse_insert BEFORE INSERT ON main.tasks BEGIN "
                                        "SELECT RAISE(ABORT, 'database is locked'); END;"));
    if (newTask) {
        f.key(Qt::Key_Return);
    } else {
        f.select(QStringLiteral("before"));
        frame.action(QStringLiteral("Action_TaskEdit"))->trigger();
        f.settle();
        f.editor()->selectAll();
    }
    f.type(QStringLiteral("typed"));
    QTest::keyClick(f.editor(), Qt::Key_Return);  // a line break
    f.type(QStringLiteral("with care"));
    f.finish();
    QVERIFY2(f.prompter.lines().join(QLatin1Char('\n')).contains(QStringLiteral("database is locked")),
             qPrintable(f.prompter.lines().join(QLatin1Char('\n'))));
    f.settle();
    QVERIFY(f.editor());
    QCOMPARE(f.editor()->storedText(), QStringLiteral("typed\r\nwith care"));
    QVERIFY(f.editor()->typedIn());
    QVERIFY(frame.editNode());
    QCOMPARE(f.stored(), QStringList{"before"});

    // Once the database is free again, finishing stores the text.
    f.connection.execute(QStringLiteral("DROP TRIGGER temp.refuse_update; DROP TRIGGER temp.refuse_delete;"
                                        "DROP TRIGGER temp.refuse_insert;"));
    f.finish();
    QVERIFY(!frame.editNode());
    QVERIFY(f.stored().contains(QStringLiteral("typed\r\nwith care")));
    QVERIFY(f.node(QStringLiteral("typed\r\nwith care")));
    QCOMPARE(f.stored().contains(QStringLiteral("before")), newTask);
}

void TestFailedWrites::aRefusedTickShowsAsNotStored()
{
    EditFixture f;
    f.add({"{T}", "", "tick me", false, false});
    TqvTasksFrame &frame = f.openActive();
    f.connection.execute(FailingWrites(QStringLiteral("tick me"), QStringLiteral("database is locked")));
    const QModelIndex at = frame.model()->indexOf(f.node(QStringLiteral("tick me")));
    QSignalSpy repainted(frame.model(), &QAbstractItemModel::dataChanged);
    frame.model()->setData(at, Qt::Checked, Qt::CheckStateRole);
    QVERIFY(!f.prompter.lines().isEmpty());
    QVERIFY(f.stored(QStringLiteral("checkFlag=True")).isEmpty());
    QCOMPARE(at.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    // The click's tick is painted over with the stored state.
    QVERIFY(std::any_of(repainted.begin(), repainted.end(), [&](const QList<QVariant> &change) {
        return change.at(0).toModelIndex() == at;
    }));
}

// A disk that can only be read (mounted so, as even root cannot write there): needs the
// right to mount, skipped without it.
class ReadOnlyDisk {
public:
    ReadOnlyDisk()
    {
        if (geteuid() != 0 || !m_dir.isValid())
            return;
        m_mounted = QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                                QStringLiteral("-o"), QStringLiteral("size=8m"),
                                                                QStringLiteral("quillpad-read-only"), m_dir.path()}) == 0;
    }
    ~ReadOnlyDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_dir.path()});
    }
    bool mounted() const { return m_mounted; }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    bool makeReadOnly() const
    {
        return QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"),
                                                           m_dir.path()}) == 0;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

void TestFailedWrites::aReadOnlyDatabaseShowsEveryTaskAndOffersNoChange()
{
    ReadOnlyDisk disk;
    if (!disk.mounted())
        QSKIP("no read-only disk can be mounted here");
    EditFixture f;
    f.add({"{A}", "", "A", false, false});
    f.add({"{A1}", "{A}", "A1", false, false});
    f.add({"{B}", "", "B", false, false});
    f.connection.close();
    QVERIFY(QFile::copy(f.folder.file(QStringLiteral("qvData.qvb")), disk.file(QStringLiteral("qvData.qvb"))));
    QVERIFY(disk.makeReadOnly());
    f.connection.open(disk.file(QStringLiteral("qvData.qvb")));
    QVERIFY(f.connection.isReadOnly());

    TqvTasksFrame &frame = f.openActive();
    f.settle();
    QCOMPARE(f.frame->tree().nodeCount(), 3);
    QCOMPARE(frame.statusNote(), QStringLiteral("Changes cannot be stored: the task database can only be read, as the "
                                                "file or its folder cannot be written."));
    frame.treeView()->selectNodes({f.node(QStringLiteral("B"))}, nullptr);
    frame.UpdateActions();
    for (const char *name : {"Action_TaskAdd", "Action_SubTaskAdd", "Action_TaskEdit", "Action_TaskDelete",
                             "Action_TaskComplete", "Action_PasteTask", "Action_SetColor"})
        QVERIFY2(!frame.action(QString::fromLatin1(name))->isEnabled(), name);
    for (const char *name : {"Action_CopyTask", "Action_Save", "Action_SaveAll", "Action_Print"})
        QVERIFY2(frame.action(QString::fromLatin1(name))->isEnabled(), name);
    // Keys and the check box change nothing and raise no error box.
    f.key(Qt::Key_Return);
    f.key(Qt::Key_Delete);
    const QModelIndex b = frame.model()->indexOf(f.node(QStringLiteral("B")));
    frame.model()->setData(b, Qt::Checked, Qt::CheckStateRole);
    f.settle();
    QVERIFY(!f.editor());
    QCOMPARE(f.prompter.messages.size(), 0);
    QCOMPARE(f.frame->tree().nodeCount(), 3);
    QCOMPARE(frame.model()->data(b, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    f.connection.close();
}

QTEST_MAIN(TestFailedWrites)
#include "tst_failedwrites.moc"
