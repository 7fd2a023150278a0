// The desktop's services as the program installs them: the autostart entry in a
// temporary configuration folder, the hand-off to xdg-email (a stand-in script on the
// PATH), the sound with its fallback, and what answers before anything is installed.

#include "components/AutostartEntry.h"
#include "components/ui/FreedesktopServices.h"
#include "components/ui/SoundEffectPlayer.h"
#include "store/AppError.h"
#include "support/ScriptedPrompter.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <optional>
#include <utility>
#include <vector>

using namespace quillpad;

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString &path, const QByteArray &content, QFile::Permissions permissions = {})
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    if (permissions)
        QVERIFY(file.setPermissions(permissions));
}

// A short mono 16-bit PCM wave file.
void WriteWave(const QString &path)
{
    const QByteArray samples(1600, '\0');
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + samples.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(samples.size());
    out.writeRawData(samples.constData(), samples.size());
}

// Sets environment variables for one test and puts them back afterwards.
class Environment {
public:
    void set(const char *name, const QByteArray &value)
    {
        remember(name);
        qputenv(name, value);
    }
    void unset(const char *name)
    {
        remember(name);
        qunsetenv(name);
    }
    ~Environment()
    {
        for (const auto &[name, value] : m_saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }

private:
    void remember(const char *name)
    {
        m_saved.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    }
    std::vector<std::pair<const char *, std::optional<QByteArray>>> m_saved;
};

}  // namespace

class TestDesktopServices : public QObject {
    Q_OBJECT

private slots:
    void autostartPath();
    void autostartOnAndOff();
    void autostartHiddenCountsAsOff();
    void autostartKeepsAnExistingEntry();
    void autostartWriteFails();
    void execValue_data();
    void execValue();

    void mailGoesToXdgEmail();
    void mailFailures();
    void openFailuresAreSaid_data();
    void openFailuresAreSaid();

    void soundFallsBack();
    void nothingInstalled();
};

void TestDesktopServices::autostartPath()
{
    Environment environment;
    QTemporaryDir home;
    QVERIFY(home.isValid());
    environment.set("HOME", QFile::encodeName(home.path()));
    environment.unset("XDG_CONFIG_HOME");
    QCOMPARE(AutostartEntry().path(), home.filePath(QStringLiteral(".config/autostart/ambrel-quillpad.desktop")));
    environment.set("XDG_CONFIG_HOME", "relative/config");  // not absolute: ignored
    QCOMPARE(AutostartEntry().path(), home.filePath(QStringLiteral(".config/autostart/ambrel-quillpad.desktop")));
    environment.set("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("cfg"))));
    QCOMPARE(AutostartEntry().path(), home.filePath(QStringLiteral("cfg/autostart/ambrel-quillpad.desktop")));
}

void TestDesktopServices::autostartOnAndOff()
{
    Environment environment;
    QTemporaryDir config;
    QVERIFY(config.isValid());
    environment.set("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString path = config.filePath(QStringLiteral("autostart/ambrel-quillpad.desktop"));

    FreedesktopServices desktop;
    QVERIFY(!desktop.isAutoStart());
    desktop.setAutoStart(false);  // off and off again: nothing to do
    QVERIFY(!QFile::exists(path));

    desktop.setAutoStart(true);
    QVERIFY(desktop.isAutoStart());
    const QString entry = QString::fromUtf8(ReadAll(path));
    QVERIFY2(entry.startsWith(QStringLiteral("[Desktop Entry]\n")), qPrintable(entry));
    QVERIFY(entry.contains(QStringLiteral("\nType=Application\n")));
    QVERIFY(entry.contains(QStringLiteral("\nName=Ambrel Quillpad\n")));
    // The running program by its full path, without arguments.
    const QString executable = QCoreApplication::applicationFilePath();
    QVERIFY(QDir::isAbsolutePath(executable));
    QVERIFY2(entry.contains(QStringLiteral("\nExec=") + AutostartEntry::execValue(executable) + QLatin1Char('\n')),
             qPrintable(entry));
    QVERIFY(!entry.contains(QStringLiteral("Hidden")));

    desktop.setAutoStart(false);
    QVERIFY(!desktop.isAutoStart());
    QVERIFY(!QFile::exists(path));
}

void TestDesktopServices::autostartHiddenCountsAsOff()
{
    Environment environment;
    QTemporaryDir config;
    QVERIFY(config.isValid());
    environment.set("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString path = config.filePath(QStringLiteral("autostart/ambrel-quillpad.desktop"));
    WriteFile(path, "[Desktop Entry]\nType=Application\nExec=/somewhere/else\nHidden = true\n");

    FreedesktopServices desktop;
    QVERIFY(!desktop.isAutoStart());
    // Hidden in another group does not count.
    WriteFile(path, "[Desktop Entry]\nType=Application\nExec=/somewhere/else\n[Desktop Action x]\nHidden=true\n");
    QVERIFY(desktop.isAutoStart());
    WriteFile(path, "[Desktop Entry]\nHidden=false\nExec=/somewhere/else\n");
    QVERIFY(desktop.isAutoStart());

    // Switched on, a hidden entry gives way to ours.
    WriteFile(path, "[Desktop Entry]\nType=Application\nExec=/somewhere/else\nHidden=true\n");
    desktop.setAutoStart(true);
    QVERIFY(desktop.isAutoStart());
    const QString entry = QString::fromUtf8(ReadAll(path));
    QVERIFY(!entry.contains(QStringLiteral("Hidden")));
    QVERIFY(entry.contains(QStringLiteral("\nExec=") + AutostartEntry::execValue(QCoreApplication::applicationFilePath())));
}

void TestDesktopServices::autostartKeepsAnExistingEntry()
{
    Environment environment;
    QTemporaryDir config;
    QVERIFY(config.isValid());
    environment.set("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString path = config.filePath(QStringLiteral("autostart/ambrel-quillpad.desktop"));
    const QByteArray own = "[Desktop Entry]\n# the user's own\nType=Application\nExec=/opt/quillpad --quiet\n"
                           "X-GNOME-Autostart-Delay=30\n";
    WriteFile(path, own);

    FreedesktopServices desktop;
    QVERIFY(desktop.isAutoStart());
    desktop.setAutoStart(true);
    QCOMPARE(ReadAll(path), own);
}

void TestDesktopServices::autostartWriteFails()
{
    Environment environment;
    QTemporaryDir config;
    QVERIFY(config.isValid());
    environment.set("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    WriteFile(config.filePath(QStringLiteral("autostart")), "a file where the folder belongs");

    FreedesktopServices desktop;
    QVERIFY_THROWS_EXCEPTION(AppError, desktop.setAutoStart(true));
    QVERIFY(!desktop.isAutoStart());
}

void TestDesktopServices::execValue_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/usr/bin/quillpad" << "/usr/bin/quillpad";
    QTest::newRow("space") << "/opt/my apps/quillpad" << "\"/opt/my apps/quillpad\"";
    QTest::newRow("percent") << "/opt/100%/quillpad" << "/opt/100%%/quillpad";
    QTest::newRow("dollar and quote") << "/opt/$x\"y/q" << "\"/opt/\\\\$x\\\\\"y/q\"";
    QTest::newRow("backslash") << "/opt/a\\b/q" << "\"/opt/a\\\\\\\\b/q\"";
}

void TestDesktopServices::execValue()
{
    QFETCH(QString, executable);
    QFETCH(QString, exec);
    QCOMPARE(AutostartEntry::execValue(executable), exec);
}

void TestDesktopServices::mailGoesToXdgEmail()
{
    Environment environment;
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString record = bin.filePath(QStringLiteral("arguments"));
    WriteFile(bin.filePath(QStringLiteral("xdg-email")),
              "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$MAIL_RECORD\"\nexit 0\n",
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment.set("PATH", QFile::encodeName(bin.path()) + ":/usr/bin:/bin");
    environment.set("MAIL_RECORD", QFile::encodeName(record));

    FreedesktopServices desktop;
    desktop.sendMail({QStringLiteral("Tasks"), QStringLiteral("two tasks"),
                      {QStringLiteral("/tmp/a b.qvx"), QStringLiteral("/tmp/c.txt")},
                      {QStringLiteral("to@example.org")},
                      {QStringLiteral("cc@example.org")},
                      {QStringLiteral("bcc@example.org")}});
    QCOMPARE(QString::fromUtf8(ReadAll(record)).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList{"--subject", "Tasks", "--body", "two tasks", "--attach", "/tmp/a b.qvx", "--attach",
                          "/tmp/c.txt", "--cc", "cc@example.org", "--bcc", "bcc@example.org", "to@example.org"}));
}

void TestDesktopServices::mailFailures()
{
    Environment environment;
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    FreedesktopServices desktop;
    MailMessage message;
    message.subject = QStringLiteral("s");
    message.body = QStringLiteral("b");

    // No xdg-email on the PATH.
    environment.set("PATH", QFile::encodeName(bin.path()));
    try {
        desktop.sendMail(message);
        QFAIL("no error without xdg-email");
    } catch (const MailUnavailable &error) {
        QVERIFY2(error.message().contains(QStringLiteral("xdg-email was not found")), error.what());
        QVERIFY2(error.message().contains(QStringLiteral("Thunderbird")), error.what());
        QVERIFY2(error.message().contains(QStringLiteral("xdg-utils")), error.what());
    }

    // No mail program found by xdg-email (3), or one that failed (4).
    for (const int code : {3, 4}) {
        WriteFile(bin.filePath(QStringLiteral("xdg-email")), "#!/bin/sh\nexit " + QByteArray::number(code) + "\n",
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        try {
            desktop.sendMail(message);
            QFAIL("no error for a failing xdg-email");
        } catch (const MailUnavailable &error) {
            QCOMPARE(code, 3);
            QVERIFY2(error.message().contains(QStringLiteral("code 3")), error.what());
            QVERIFY2(error.message().contains(QStringLiteral("Install a mail program such as Thunderbird")),
                     error.what());
        } catch (const AppError &error) {
            QCOMPARE(code, 4);
            QVERIFY2(error.message().contains(QStringLiteral("code 4")), error.what());
            QVERIFY2(error.message().contains(QStringLiteral("Check that the desktop's default mail program")),
                     error.what());
        }
    }
}

void TestDesktopServices::openFailuresAreSaid_data()
{
    QTest::addColumn<QByteArray>("script");  // empty: no xdg-open on the PATH
    QTest::addColumn<QString>("url");
    QTest::addColumn<QStringList>("said");  // nothing: no message

    const QString page = QStringLiteral("https://example.org/index.htm");
    const QString mail = QStringLiteral("mailto:someone@example.org");
    QTest::newRow("no xdg-open") << QByteArray() << page
                                 << QStringList{"https://example.org/index.htm", "xdg-open was not found",
                                                "Install the package xdg-utils"};
    QTest::newRow("no browser") << QByteArray("exit 3") << page
                                << QStringList{"code 3", "Install a web browser such as Firefox"};
    QTest::newRow("no mail program") << QByteArray("exit 3") << mail
                                     << QStringList{"someone@example.org", "Install a mail program such as Thunderbird"};
    QTest::newRow("the browser failed") << QByteArray("exit 4") << page
                                        << QStringList{"code 4", "Check that the default web browser starts"};
    QTest::newRow("missing file") << QByteArray("exit 2") << QStringLiteral("file:///nowhere/manual/index.html")
                                  << QStringList{"/nowhere/manual/index.html", "the file is missing"};
    QTest::newRow("opened") << QByteArray("exit 0") << page << QStringList{};
}

void TestDesktopServices::openFailuresAreSaid()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, url);
    QFETCH(QStringList, said);
    Environment environment;
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString record = bin.filePath(QStringLiteral("opened"));
    if (!script.isEmpty()) {
        WriteFile(bin.filePath(QStringLiteral("xdg-open")),
                  "#!/bin/sh\nprintf '%s' \"$1\" > \"$OPEN_RECORD\"\n" + script + "\n",
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The script's own tools (printf is built in) need no PATH.
    environment.set("PATH", QFile::encodeName(bin.path()));
    environment.set("OPEN_RECORD", QFile::encodeName(record));

    ScriptedPrompter prompter;
    FreedesktopServices desktop;
    QCOMPARE(desktop.openUrl(QUrl(url)), !script.isEmpty());
    if (!script.isEmpty()) {
        QTRY_VERIFY(QFile::exists(record));
        QCOMPARE(QString::fromUtf8(ReadAll(record)), url);
    }
    if (said.isEmpty()) {
        // The process is gone and nothing was said.
        QTRY_VERIFY(QCoreApplication::instance()->findChildren<QProcess *>().isEmpty());
        QVERIFY(prompter.messages.isEmpty());
        return;
    }
    QTRY_COMPARE(prompter.messages.size(), 1);
    for (const QString &part : said)
        QVERIFY2(prompter.messages.front().text.contains(part), qPrintable(prompter.messages.front().text));
}

void TestDesktopServices::soundFallsBack()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString good = folder.filePath(QStringLiteral("good.wav"));
    WriteWave(good);
    const QString garbage = folder.filePath(QStringLiteral("garbage.wav"));
    WriteFile(garbage, QByteArray(512, 'x'));
    const QString missing = folder.filePath(QStringLiteral("missing.wav"));

    QStringList fellBack, started;
    const SoundEffectPlayer sound([&](const QString &path) { fellBack.append(path); },
                                  [&](const QString &path) { started.append(path); });

    sound.play(missing);
    QCOMPARE(fellBack, QStringList{missing});  // at once: nothing to read

    sound.play(garbage);
    QTRY_COMPARE(fellBack, (QStringList{missing, garbage}));

    sound.play(good);
    QTRY_COMPARE(started, QStringList{good});
    QCOMPARE(fellBack.size(), 2);
}

void TestDesktopServices::nothingInstalled()
{
    // Nothing reaches a desktop, and every hand-off says so.
    DesktopServices::install(nullptr);
    DesktopServices &none = DesktopServices::instance();
    QVERIFY(!none.openUrl(QUrl(QStringLiteral("https://example.org/"))));
    QVERIFY_THROWS_EXCEPTION(AppError, none.sendMail({}));
    QVERIFY(!none.isAutoStart());
    QVERIFY_THROWS_EXCEPTION(AppError, none.setAutoStart(true));
    QVERIFY(!none.hasNotificationArea());

    FreedesktopServices desktop;
    DesktopServices::install(&desktop);
    QCOMPARE(&DesktopServices::instance(), &desktop);
    DesktopServices::install(nullptr);
    QCOMPARE(&DesktopServices::instance(), &none);
}

QTEST_MAIN(TestDesktopServices)
#include "tst_desktopservices.moc"
