// Every file the program writes, on a disk that fills up while it is written: the old
// file stays whole, nothing is left beside it, and the failure is reported.

#include "InterchangeFixture.h"

#include "app/settings/IniFile.h"
#include "app/settings/LoadSettings.h"
#include "components/AutostartEntry.h"
#include "interchange/Dm_Io.h"
#include "interchange/ExportTasks.h"
#include "interchange/TaskDocuments.h"
#include "store/AppError.h"
#include "store/AtomicFile.h"
#include "sync/IcsFile.h"
#include "sync/SyncPassword.h"
#include "sync/SyncRunner.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace quillpad;

namespace {

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

struct SpaceLimit {
    explicit SpaceLimit(qint64 bytes) { AtomicFile::setSpaceForTesting(bytes); }
    ~SpaceLimit() { AtomicFile::setSpaceForTesting(-1); }
};

// The failure as the user learns it: the error boxes shown, or the error raised or
// returned.
QString Reported(InterchangeFixture &fixture, const std::function<QString()> &write)
{
    QString result;
    try {
        result = write();
    } catch (const AppError &error) {
        result = error.message();
    }
    return (fixture.prompter.lines() + QStringList(result)).join(QLatin1Char('|'));
}

}  // namespace

class TestWriteFailures : public QObject {
    Q_OBJECT

private slots:
    void oldFileStaysWhole_data();
    void oldFileStaysWhole();
};

void TestWriteFailures::oldFileStaysWhole_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("report");  // %1: the file
    QTest::addColumn<qint64>("space");
    const QString box = QStringLiteral("Error: File write failure!|");
    const QStringList rows{"backup|b.qvx|" + box,
                           "export|e.qvx|Error: File Write Failure !|",
                           "save text|s.txt|" + box,
                           "save page|s.html|" + box,
                           "ics export|t.ics|" + box,
                           "settings at start|qvConf.ini|Unable to write to %1",
                           "sync settings|qvConf.ini|Unable to write to %1",
                           "autostart entry|ambrel-quillpad.desktop|Cannot write %1: No space left on device",
                           "sync password|ambrel-quillpad/sync-password|"
                           "Unable to store the sync password in %1: No space left on device"};
    for (const qint64 space : {0, 40}) {
        for (const QString &row : rows) {
            const QStringList parts = row.split(QLatin1Char('|'));
            QTest::addRow("%s, room for %lld bytes", qPrintable(parts[0]), space)
                << parts[0] << parts[1] << QStringList(parts.mid(2)).join(QLatin1Char('|')) << space;
        }
    }
}

void TestWriteFailures::oldFileStaysWhole()
{
    QFETCH(QString, writer);
    QFETCH(QString, fileName);
    QFETCH(QString, report);
    QFETCH(qint64, space);
    InterchangeFixture fixture;
    TTaskInfo task = FullTask(QStringLiteral("{T1}"), RootPid, QString(300, QLatin1Char('t')));
    fixture.insertTask(task);
    const TaskSnapshot snapshot{{task, {}}};

    QTemporaryDir target;
    qputenv("XDG_CONFIG_HOME", target.path().toUtf8());
    const QString path = target.filePath(fileName);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    // Settings without a visit time, as on a first start; an entry switched off by the user.
    const QByteArray old = "[Desktop Entry]\nHidden=true\n[option]\nrunMinimizedEn=1\n" + QByteArray(2000, '#') + '\n';
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(old), old.size());
    }

    const SpaceLimit limit(space);
    const QString succeeded = QStringLiteral("written");
    const QString reported = Reported(fixture, [&]() -> QString {
        if (writer == QLatin1String("backup"))
            return TIoDm(fixture.connection).BackupDatabaseTo(path) ? succeeded : QString();
        if (writer == QLatin1String("export"))
            return ExportTasksXml(path, snapshot) ? succeeded : QString();
        if (writer.startsWith(QLatin1String("save")))
            return WriteTaskDocument(*FormatOfFileName(path), path, snapshot) ? succeeded : QString();
        if (writer == QLatin1String("ics export"))
            return ExportIcsFile(path, {task}) ? succeeded : QString();
        if (writer == QLatin1String("settings at start")) {
            StartupSettings settings;
            settings.settingsPath = path;
            LoadSettings(settings);
        } else if (writer == QLatin1String("sync settings")) {
            StoreFoundCollection(path, QStringLiteral("/alice/tasks/"));
        } else if (writer == QLatin1String("autostart entry")) {
            AutostartEntry(path).setOn(true, QStringLiteral("/usr/bin/quillpad"));
        } else if (writer == QLatin1String("sync password")) {
            const QString error = StoreSyncPasswordFile(QString(64, QLatin1Char('p')));
            return error.isEmpty() ? succeeded : error;
        }
        return succeeded;
    });
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(reported, QString(report).replace(QStringLiteral("%1"), path));
    QCOMPARE(ReadFile(path), old);
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QFileInfo(path).fileName()});
}

QTEST_GUILESS_MAIN(TestWriteFailures)
#include "tst_writefailures.moc"
