// The main window's Backup, Restore and Import commands: the file asked for, and the
// task list reloaded after a restore or an import that succeeded, and only then.

#include "InterchangeFixture.h"
#include "interchange/ui/IoActions.h"

#include <QAction>
#include <QFile>
#include <QTest>

using namespace quillpad;

class TestIoActions : public QObject {
    Q_OBJECT

private slots:
    void reloadOnlyAfterSuccess();
};

void TestIoActions::reloadOnlyAfterSuccess()
{
    InterchangeFixture fixture;
    fixture.insertTask(FullTask(QStringLiteral("{T}"), RootPid, QStringLiteral("task")));
    QAction backup, restore, import;
    int reloads = 0;
    ConnectIoActions(fixture.connection, &backup, &restore, &import, [&reloads](const QString &) { ++reloads; });

    const QString name = fixture.file(QStringLiteral("actions.qvx"));
    fixture.prompter.setNextFileName(name);
    backup.trigger();
    QVERIFY(QFile::exists(name));

    restore.trigger();  // the open dialog cancelled
    fixture.prompter.setNextFileName(fixture.file(QStringLiteral("missing.qvx")));
    import.trigger();
    QCOMPARE(reloads, 0);
    QCOMPARE(fixture.prompter.lines(), QStringList{QStringLiteral("Error: File read failure!")});

    fixture.prompter.setNextFileName(name);
    fixture.prompter.setNextAnswer(PromptButton::Abort);  // still a success: the list reloads
    restore.trigger();
    QCOMPARE(reloads, 1);
    fixture.prompter.setNextFileName(name);
    import.trigger();
    QCOMPARE(reloads, 2);
    QCOMPARE(fixture.tasks().size(), 2);
    QCOMPARE(fixture.prompter.fileRequests.size(), 5);
}

QTEST_MAIN(TestIoActions)
#include "tst_interchange_actions.moc"
