// The main window's creation: a step that fails is reported once and creation stops.

#include "app/Fm_Main.h"
#include "store/AtomicFile.h"
#include "support/ScriptedPrompter.h"
#include "support/TestDataFolder.h"

#include <QApplication>
#include <QFile>
#include <QTest>

using namespace quillpad;

class TestAppMainWindow : public QObject {
    Q_OBJECT

private slots:
    void createsAndOpensTheDatabase();
    void aDatabaseThatIsNotOneIsReportedOnce();
    void settingsThatCannotBeWrittenAreReportedAndTheWindowComes();
};

void TestAppMainWindow::createsAndOpensTheDatabase()
{
    TestDataFolder folder;
    ScriptedPrompter prompter;
    TmainFm window;
    QVERIFY(window.FormCreate());
    QVERIFY(window.connection().isOpen());
    QCOMPARE(window.settings().hintSize, 20);
    QVERIFY(!window.settings().addOpenEn);
    QVERIFY(window.settings().visitWebEn);
    QVERIFY(QFile::exists(folder.file(QStringLiteral("qvData.qvb"))));
    QVERIFY(window.alarmSoundPath().endsWith(QStringLiteral("Sounds/Alarm.wav")));
    QVERIFY(prompter.messages.isEmpty());
}

void TestAppMainWindow::aDatabaseThatIsNotOneIsReportedOnce()
{
    TestDataFolder folder;
    ScriptedPrompter prompter;
    QFile junk(folder.file(QStringLiteral("qvData.qvb")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("my shopping list, not a database\n");
    junk.close();
    TmainFm window;
    QVERIFY(!window.FormCreate());
    QCOMPARE(prompter.messages.size(), 1);
    QCOMPARE(prompter.messages.front().caption, QStringLiteral("Ambrel Quillpad"));
    QCOMPARE(prompter.messages.front().icon, PromptIcon::Error);
    QVERIFY(!window.connection().isOpen());
    // Settings that come after the database were never read.
    QVERIFY(!QFile::exists(folder.file(QStringLiteral("qvConf.ini"))));
    QFile check(folder.file(QStringLiteral("qvData.qvb")));
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), QByteArray("my shopping list, not a database\n"));
}

// A first start on a full disk: the visit time cannot be stored.
void TestAppMainWindow::settingsThatCannotBeWrittenAreReportedAndTheWindowComes()
{
    TestDataFolder folder;
    ScriptedPrompter prompter;
    const QString settings = folder.file(QStringLiteral("qvConf.ini"));
    QFile file(settings);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[option]\nrunMinimizedEn=1\n");
    file.close();
    AtomicFile::setSpaceForTesting(0);
    TmainFm window;
    const bool created = window.FormCreate();
    QVERIFY(created);
    QVERIFY(window.connection().isOpen());
    // The list loads and logs its counts, the view changes: all refused, said once.
    window.show();
    QCoreApplication::processEvents();
    window.appSettings().setViewAscEn(false);
    window.appSettings().logTaskCounts(3, 0);
    AtomicFile::setSpaceForTesting(-1);
    QCOMPARE(prompter.lines(), QStringList{"Ambrel Quillpad: Unable to write to " + settings + "."});
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[option]\nrunMinimizedEn=1\n"));
}

QTEST_MAIN(TestAppMainWindow)
#include "tst_app_mainwindow.moc"
