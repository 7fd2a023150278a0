// The settings file: the value encodings, the INI rules, writes that keep the rest of
// the file, refused writes, the start-up read, and the settings owner.

#include "store/AppError.h"
#include "store/Clock.h"
#include "app/settings/AppSettings.h"
#include "app/settings/IniFile.h"
#include "app/settings/LoadSettings.h"
#include "support/TestDataFolder.h"
#include "store/pU_Funcs.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace quillpad;

namespace {

void WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void valueEncodings_data();
    void valueEncodings();
    void iniRules();
    void longValuesAreCutAt2047();
    void writesChangeOneLineAndKeepTheRest();
    void writesKeepEveryOtherByte_data();
    void writesKeepEveryOtherByte();
    void writeCreatesTheFileAndKeepsValuesOnOneLine();
    void refusedWriteNamesTheFile();
    void loadSettingsOnAFreshInstall();
    void loadSettingsReadsStoredValues();
    void loadSettingsStopsAtABadVisitTime();
    void theOwnerWritesEachChangeAtOnce();
    void theOwnerReadsTheViewAfreshAndReportsRefusals();
    void theOwnerStoresTheShellsChoices();
};

void TestSettings::valueEncodings_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("asInteger");  // with default 99
    QTest::addColumn<bool>("asBoolean");  // with default true
    QTest::newRow("1") << QByteArray("1") << 1 << true;
    QTest::newRow("0") << QByteArray("0") << 0 << false;
    QTest::newRow("2 is true") << QByteArray("2") << 2 << true;
    QTest::newRow("-1 is true") << QByteArray("-1") << -1 << true;
    QTest::newRow("true is no integer") << QByteArray("true") << 99 << true;
    QTest::newRow("yes is no integer") << QByteArray("yes") << 99 << true;
    QTest::newRow("hex") << QByteArray("0x10") << 16 << true;
    QTest::newRow("upper hex") << QByteArray("0X1f") << 31 << true;
    QTest::newRow("hex wraps to 32 bits") << QByteArray("0xFFFFFFFF") << -1 << true;
    QTest::newRow("hex too long") << QByteArray("0x100000000") << 99 << true;
    QTest::newRow("bare 0x") << QByteArray("0x") << 99 << true;
    QTest::newRow("hex zero") << QByteArray("0x0") << 0 << false;
    QTest::newRow("blanks around") << QByteArray("  42  ") << 42 << true;
    QTest::newRow("quoted") << QByteArray("\"7\"") << 7 << true;
    QTest::newRow("trailing junk") << QByteArray("12abc") << 99 << true;
    QTest::newRow("too large") << QByteArray("2147483648") << 99 << true;
    QTest::newRow("smallest") << QByteArray("-2147483648") << -2147483647 - 1 << true;
    QTest::newRow("empty") << QByteArray("") << 99 << true;
}

void TestSettings::valueEncodings()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, asInteger);
    QFETCH(bool, asBoolean);
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvConf.ini"));
    WriteFile(path, "[option]\nvalue=" + stored + "\n");
    const IniFile ini(path);
    QCOMPARE(ini.readInteger(QStringLiteral("option"), QStringLiteral("value"), 99), asInteger);
    QCOMPARE(ini.readBool(QStringLiteral("option"), QStringLiteral("value"), true), asBoolean);
    // A missing key gives the default whatever the encoding.
    QCOMPARE(ini.readInteger(QStringLiteral("option"), QStringLiteral("missing"), 99), 99);
    QCOMPARE(ini.read(SettingsKeys::HintSize), 20);
    QCOMPARE(ini.read(SettingsKeys::VisitWebEn), true);
}

void TestSettings::iniRules()
{
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvConf.ini"));
    WriteFile(path, "; a comment\r\n"
                    "[Option]\r\n"
                    "  HintSize = 35 \r\n"
                    "junk line without equals\r\n"
                    "quoted='  kept  '\r\n"
                    "empty=\r\n"
                    "[task]\r\n"
                    "viewRange=2\r\n"
                    "[option]\r\n"
                    "hintSize=50\r\n"
                    "later=only in the second section\r\n");
    const IniFile ini(path);
    QCOMPARE(ini.read(SettingsKeys::HintSize), 35);  // names ignore case; first section wins
    QCOMPARE(ini.readString(QStringLiteral("option"), QStringLiteral("quoted")), QStringLiteral("  kept  "));
    QVERIFY(ini.keyExists(QStringLiteral("option"), QStringLiteral("empty")));
    QCOMPARE(ini.readString(QStringLiteral("option"), QStringLiteral("empty"), QStringLiteral("d")), QString());
    QCOMPARE(ini.readInteger(QStringLiteral("option"), QStringLiteral("empty"), 7), 7);
    QCOMPARE(ini.read(SettingsKeys::ViewRange), 2);
    QVERIFY(!ini.keyExists(QStringLiteral("option"), QStringLiteral("junk line without equals")));
    QVERIFY(!ini.keyExists(QStringLiteral("nosection"), QStringLiteral("hintSize")));
}

void TestSettings::longValuesAreCutAt2047()
{
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvConf.ini"));
    WriteFile(path, "[s]\nk=" + QByteArray(3000, 'x') + "\n");
    QCOMPARE(IniFile(path).readString(QStringLiteral("s"), QStringLiteral("k")).size(), 2047);
}

void TestSettings::writesChangeOneLineAndKeepTheRest()
{
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvConf.ini"));
    WriteFile(path, "; mine\r\n[option]\r\nhintSize=30\r\nother=x\r\n\r\n[form]\r\nLeft=10\r\n");
    IniFile ini(path);
    ini.write(SettingsKeys::HintSize, 40);
    ini.write(SettingsKeys::AddOpenEn, true);
    ini.write(SettingsKeys::ViewAscEn, false);
    QCOMPARE(ReadFile(path), QByteArray("; mine\r\n[option]\r\nhintSize=40\r\nother=x\r\naddOpenEn=1\r\n\r\n"
                                        "[form]\r\nLeft=10\r\n\r\n[task]\r\nviewAscEn=0\r\n"));
    // A new accessor sees what the last one wrote.
    const IniFile again(path);
    QCOMPARE(again.read(SettingsKeys::AddOpenEn), true);
    QCOMPARE(again.read(SettingsKeys::ViewAscEn), false);
}

void TestSettings::writesKeepEveryOtherByte_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("binary line") << QByteArrayLiteral("[option]\n\xff\xfe\x00junk\x80\nhintSize=30\n")
                                 << QByteArrayLiteral("[option]\n\xff\xfe\x00junk\x80\nhintSize=40\n");
    QTest::newRow("not UTF-8 in another value") << QByteArray("[form]\nname=\xc3\x28\xa0\n[option]\nhintSize=1\n")
                                                << QByteArray("[form]\nname=\xc3\x28\xa0\n[option]\nhintSize=40\n");
    QTest::newRow("no final break") << QByteArray("[option]\r\nhintSize=30") << QByteArray("[option]\r\nhintSize=40");
    QTest::newRow("added after a last line without a break")
        << QByteArray("[option]\nother=\xff") << QByteArray("[option]\nother=\xff\nhintSize=40\n");
    QTest::newRow("mixed line ends") << QByteArray("[form]\nLeft=1\r\n[option]\nhintSize=30\n")
                                     << QByteArray("[form]\nLeft=1\r\n[option]\nhintSize=40\n");
}

void TestSettings::writesKeepEveryOtherByte()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvConf.ini"));
    WriteFile(path, before);
    IniFile(path).write(SettingsKeys::HintSize, 40);
    QCOMPARE(ReadFile(path), after);
}

void TestSettings::writeCreatesTheFileAndKeepsValuesOnOneLine()
{
    TestDataFolder folder;
    const QString path = folder.file(QStringLiteral("qvConf.ini"));
    QVERIFY(!QFile::exists(path));
    IniFile ini(path);
    ini.writeString(QStringLiteral("option"), QStringLiteral("note"), QStringLiteral("a\n[evil]\nx=1"));
    QCOMPARE(ReadFile(path), QByteArray("[option]\nnote=a [evil] x=1\n"));
    QVERIFY(!IniFile(path).keyExists(QStringLiteral("evil"), QStringLiteral("x")));
}

void TestSettings::refusedWriteNamesTheFile()
{
    TestDataFolder folder;
    // A folder where the file should be: no user, root included, can write it.
    const QString path = folder.file(QStringLiteral("qvConf.ini"));
    QVERIFY(QDir().mkdir(path));
    IniFile ini(path);
    try {
        ini.write(SettingsKeys::PrivateTasks, 3);
        QFAIL("the write was not refused");
    } catch (const AppError &error) {
        QCOMPARE(error.message(), QStringLiteral("Unable to write to ") + path);
    }
}

void TestSettings::loadSettingsOnAFreshInstall()
{
    TestDataFolder folder;
    ManualClock clock(QDateTime(QDate(2026, 12, 10), QTime(9, 15, 30, 500)));
    Clock::install(&clock);
    StartupSettings settings;
    settings.settingsPath = folder.file(QStringLiteral("qvConf.ini"));
    LoadSettings(settings);
    Clock::install(nullptr);

    QCOMPARE(settings.visitWebEn, true);
    QCOMPARE(settings.runMinimizedEn, false);
    QCOMPARE(DateTimeToQt(settings.visitWeb), QDateTime(QDate(2026, 12, 10), QTime(9, 15, 30, 500)));
    const QString stored = IniFile(settings.settingsPath).read(SettingsKeys::VisitWeb);
    QCOMPARE(stored, IsoTime(settings.visitWeb));
    QVERIFY2(stored.startsWith(QStringLiteral("2026-12-10T09:15:30.000")), qPrintable(stored));
}

void TestSettings::loadSettingsReadsStoredValues()
{
    TestDataFolder folder;
    StartupSettings settings;
    settings.settingsPath = folder.file(QStringLiteral("qvConf.ini"));
    const TDateTime visited = EncodeDateTime(QDate(2026, 1, 2), QTime(3, 4, 5));
    WriteFile(settings.settingsPath, "[option]\nvisitWebEn=0\nrunMinimizedEn=-1\nvisitWeb=" + IsoTime(visited).toUtf8() + "\n");
    const QByteArray before = ReadFile(settings.settingsPath);
    LoadSettings(settings);
    QCOMPARE(settings.visitWebEn, false);
    QCOMPARE(settings.runMinimizedEn, true);
    QCOMPARE(settings.visitWeb, visited);
    QCOMPARE(ReadFile(settings.settingsPath), before);  // nothing written when the time is there
}

void TestSettings::loadSettingsStopsAtABadVisitTime()
{
    TestDataFolder folder;
    StartupSettings settings;
    settings.settingsPath = folder.file(QStringLiteral("qvConf.ini"));
    const QByteArray file = "[option]\nvisitWebEn=1\nrunMinimizedEn=1\nvisitWeb=last tuesday\n";
    WriteFile(settings.settingsPath, file);
    LoadSettings(settings);  // no error: every start would fail with one
    QCOMPARE(ReadFile(settings.settingsPath), file);
    QCOMPARE(settings.visitWebEn, true);
    QCOMPARE(settings.visitWeb, ZeroDateTime);     // long ago: the update offer comes
    QCOMPARE(settings.runMinimizedEn, false);      // never reached
}

void TestSettings::theOwnerWritesEachChangeAtOnce()
{
    TestDataFolder folder;
    AppSettings settings;
    settings.setPath(folder.file(QStringLiteral("qvConf.ini")));
    QSignalSpy changed(&settings, &AppSettings::changed);
    settings.setViewRange(2);
    QCOMPARE(ReadFile(settings.path()), QByteArray("[task]\nviewRange=2\n"));
    settings.setViewAscEn(false);
    settings.setViewListEn(true);
    settings.setViewDateEn(false);  // unchanged, written all the same
    settings.logTaskCounts(5, 0);
    settings.logTaskCounts(5, 0);
    QCOMPARE(ReadFile(settings.path()), QByteArray("[task]\nviewRange=2\nviewAscEn=0\nviewListEn=1\nviewDateEn=0\n\n"
                                                   "[log]\nprivateTasks=5\npublicTasks=0\n"));
    QStringList keys;
    for (const QList<QVariant> &signal : changed)
        keys.append(signal.front().toString());
    QCOMPARE(keys, (QStringList{"viewRange", "viewAscEn", "viewListEn", "privateTasks"}));
    QCOMPARE(settings.view().range, 2);
    QCOMPARE(settings.startup().privateTasks, 5);
}

void TestSettings::theOwnerReadsTheViewAfreshAndReportsRefusals()
{
    TestDataFolder folder;
    AppSettings settings;
    settings.setPath(folder.file(QStringLiteral("qvConf.ini")));
    settings.setViewRange(1);
    WriteFile(settings.path(), "[task]\nviewListEn=1\nviewAscEn=0\n");  // changed behind our back
    const ViewSettings &view = settings.readView();
    QCOMPARE(view.range, 0);
    QVERIFY(view.listEn);
    QVERIFY(!view.dateEn);
    QVERIFY(!view.ascEn);

    QVERIFY(QFile::remove(settings.path()));
    QVERIFY(QDir().mkdir(settings.path()));
    try {
        settings.setViewDateEn(true);
        QFAIL("the write was not refused");
    } catch (const AppError &error) {
        QCOMPARE(error.message(), QStringLiteral("Unable to write to ") + settings.path());
    }
    QVERIFY(settings.view().dateEn);  // the copy follows what the list now shows
}

void TestSettings::theOwnerStoresTheShellsChoices()
{
    TestDataFolder folder;
    AppSettings settings;
    settings.setPath(folder.file(QStringLiteral("qvConf.ini")));
    settings.storeOptions(true, false);
    settings.setVisitWebEn(false);
    const TDateTime visited = EncodeDateTime(QDate(2026, 1, 2), QTime(3, 4, 5));
    settings.recordVisitWeb(visited);
    QCOMPARE(ReadFile(settings.path()), "[option]\nrunMinimizedEn=1\naddOpenEn=0\nvisitWebEn=0\nvisitWeb=" +
                                            IsoTime(visited).toUtf8() + "\n");
    QVERIFY(settings.startup().runMinimizedEn);
    QVERIFY(!settings.startup().addOpenEn);
    QVERIFY(!settings.startup().visitWebEn);
    QCOMPARE(settings.startup().visitWeb, ZeroDateTime);  // a visit is recorded in the file only
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
