// The sync section of the settings file and where the password comes from.

#include "app/settings/IniFile.h"
#include "support/TestDataFolder.h"
#include "sync/SyncPassword.h"
#include "sync/SyncRunner.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/prctl.h>
#include <sys/stat.h>

using namespace quillpad;

namespace {
constexpr int FifoMode = -2;
constexpr int FolderMode = -3;
}  // namespace

class TestSyncSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void settingsRoundTripBesideOtherKeys();
    void passwordFileOnlyOfItsOwner_data();
    void passwordFileOnlyOfItsOwner();
    void environmentComesFirstAndStoringMakesAPrivateFile();
};

void TestSyncSettings::initTestCase()
{
    // No keyring within reach (a desktop's is never written by a test): the file is used.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

void TestSyncSettings::settingsRoundTripBesideOtherKeys()
{
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvConf.ini"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[form]\r\nSaved=1\r\n");
    }
    IniFile ini(path);
    QCOMPARE(ReadSyncSettings(ini).intervalMinutes, 15);
    SyncSettings settings{QStringLiteral("https://dav.example.org"), QStringLiteral("ann"),
                          QStringLiteral("/ann/tasks/"), 5, true, QStringLiteral("AB:CD"), {}};
    WriteSyncSettings(ini, settings);
    const SyncSettings back = ReadSyncSettings(IniFile(path));
    QCOMPARE(back.server, settings.server);
    QCOMPARE(back.user, settings.user);
    QCOMPARE(back.collection, settings.collection);
    QCOMPARE(back.intervalMinutes, 5);
    QCOMPARE(back.enabled, true);
    QCOMPARE(back.trustedCertificate, QStringLiteral("AB:CD"));
    QCOMPARE(IniFile(path).readInteger(QStringLiteral("form"), QStringLiteral("Saved"), 0), 1);
}

void TestSyncSettings::passwordFileOnlyOfItsOwner_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("password");
    QTest::newRow("owner only") << QByteArray("s3cret \r\nignored\n") << 0600 << QStringLiteral("s3cret ");
    QTest::newRow("readable by the group") << QByteArray("s3cret\n") << 0640 << QString();
    QTest::newRow("readable by all") << QByteArray("s3cret\n") << 0644 << QString();
    QTest::newRow("empty") << QByteArray() << 0600 << QString();
    QTest::newRow("missing") << QByteArray() << -1 << QString();
    // Read without waiting for a writer, and refused.
    QTest::newRow("a FIFO") << QByteArray() << FifoMode << QString();
    QTest::newRow("a folder") << QByteArray() << FolderMode << QString();
}

void TestSyncSettings::passwordFileOnlyOfItsOwner()
{
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(QString, password);
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("sync-password"));
    if (mode == FifoMode) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (mode == FolderMode) {
        QVERIFY(QDir().mkdir(path));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    } else if (mode >= 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
    }
    QString error;
    QCOMPARE(ReadSyncPasswordFile(path, error), password);
    QCOMPARE(error.isEmpty(), !password.isEmpty());
    if (mode == FifoMode || mode == FolderMode)
        QCOMPARE(error, QStringLiteral("The sync password file %1 is not a regular file").arg(path));
    if (!password.isEmpty()) {
        // Held from here on: no core dump may show it.
        QCOMPARE(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
        return;
    }
    QVERIFY2(error.contains(path), qPrintable(error));
}

void TestSyncSettings::environmentComesFirstAndStoringMakesAPrivateFile()
{
    TestDataFolder folder;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.file(QStringLiteral("config"))));
    qputenv(SyncPasswordVariable, "from-env");
    QString error = QStringLiteral("not called");
    StoreSyncPassword({}, QStringLiteral("from-file"), [&](const QString &e) { error = e; });
    QTRY_VERIFY(error != QStringLiteral("not called"));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(SyncPasswordFile()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);

    QString got;
    bool answered = false;
    ReadSyncPassword({}, [&](const QString &password, const QString &) { got = password; answered = true; });
    QVERIFY(!answered);  // never before the event loop
    QTRY_VERIFY(answered);
    QCOMPARE(got, QStringLiteral("from-env"));

    qunsetenv(SyncPasswordVariable);
    answered = false;
    ReadSyncPassword({}, [&](const QString &password, const QString &) { got = password; answered = true; });
    QTRY_VERIFY(answered);
    QCOMPARE(got, QStringLiteral("from-file"));
}

QTEST_GUILESS_MAIN(TestSyncSettings)
#include "tst_syncsettings.moc"
