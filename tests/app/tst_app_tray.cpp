// End to end: the real program on a private X server with a window manager, once with a
// notification area (trayer) and once without one. The window is driven as a person
// would drive it: the close box through the window manager, a click on the tray icon,
// Exit from the icon's menu.

#include "store/Connection.h"
#include "store/Query.h"
#include "store/TaskInfo.h"
#include "store/pU_Funcs.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillpad;

namespace {

// An X server of our own with a window manager and, when asked, a tray host, so no other
// test shares its screen.
class PrivateDesktop {
public:
    explicit PrivateDesktop(bool withTray)
    {
        m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                                QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                                QStringLiteral("tcp")});
        QString number;
        for (int tries = 0; tries < 100 && number.isEmpty(); ++tries) {
            m_server.waitForReadyRead(100);
            number = QString::fromLatin1(m_server.readAllStandardOutput()).trimmed();
        }
        if (number.isEmpty())
            return;
        m_display = QLatin1Char(':') + number;
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("DISPLAY"), m_display);
        m_environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));  // the XEmbed tray, not a bus
        startHelper(QStringLiteral("openbox"), {});
        // A window mapped while the window manager is still starting may never be managed:
        // wait until it answers before anything else starts.
        bool managed = false;
        for (int tries = 0; tries < 100 && !managed; ++tries) {
            managed = runs(QStringLiteral("wmctrl"), {QStringLiteral("-m")});
            if (!managed)
                QTest::qWait(100);
        }
        if (!managed) {
            m_display.clear();
            return;
        }
        if (withTray)
            startHelper(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("bottom"), QStringLiteral("--align"),
                                                   QStringLiteral("right"), QStringLiteral("--widthtype"),
                                                   QStringLiteral("request")});
    }

    ~PrivateDesktop()
    {
        for (auto &helper : m_helpers) {
            helper->kill();
            helper->waitForFinished(3000);
        }
        m_server.kill();
        m_server.waitForFinished(3000);
    }

    bool ready() const { return !m_display.isEmpty(); }
    const QProcessEnvironment &environment() const { return m_environment; }

    QString run(const QString &tool, const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start(tool, arguments);
        process.waitForFinished(15000);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    bool runs(const QString &tool, const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start(tool, arguments);
        return process.waitForFinished(15000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QString visibleWindow(const QString &name) const
    {
        return run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                               name})
            .section(QLatin1Char('\n'), 0, 0);
    }

    // The centre of the program's icon in the notification area, in screen coordinates;
    // null while the tray holds none. The embedded icon is a small window of the program.
    QPoint trayIconCentre() const
    {
        const QString tree = run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
        // Lines such as '0x600006 "name": ("quillpad" "ambrel-quillpad")  22x24+0+0  +1001+743':
        // the size, the corner in the parent, then the absolute corner.
        static const QRegularExpression icon(
            QStringLiteral(R"re(\("quillpad" [^)]*\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))re"));
        auto matches = icon.globalMatch(tree);
        while (matches.hasNext()) {
            const auto match = matches.next();
            const int width = match.captured(1).toInt();
            const int height = match.captured(2).toInt();
            if (width >= 8 && width <= 64 && height >= 8 && height <= 64)
                return {match.captured(3).toInt() + width / 2, match.captured(4).toInt() + height / 2};
        }
        return {};
    }

private:
    void startHelper(const QString &program, const QStringList &arguments)
    {
        auto helper = std::make_unique<QProcess>();
        helper->setProcessEnvironment(m_environment);
        helper->start(program, arguments);
        helper->waitForStarted(5000);
        m_helpers.push_back(std::move(helper));
    }

    QProcess m_server;
    QString m_display;
    QProcessEnvironment m_environment;
    std::vector<std::unique_ptr<QProcess>> m_helpers;
};

class Program {
public:
    explicit Program(const PrivateDesktop &desktop) : m_desktop(desktop)
    {
        Connection connection;
        connection.open(m_data.filePath(QStringLiteral("qvData.qvb")));
        Query query(connection);
        OpenSql(query, QStringLiteral("select * from tasks where 1=0"));
        query.insert();
        query.field(u"tid").setString(NewGuid());
        query.field(u"pid").setString(RootPid);
        query.field(u"content").setString(QStringLiteral("Water the plants"));
        query.post();
    }
    ~Program()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = m_desktop.environment();
        environment.insert(QStringLiteral("QUILLPAD_HOME"), m_data.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_runtime.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return environment;
    }

    // Starts the program; the id of its window once it shows, empty when it never does.
    QString start()
    {
        m_process.setProcessEnvironment(environment());
        m_process.start(QStringLiteral(QUILLPAD_EXECUTABLE), {});
        QString id;
        for (int tries = 0; tries < 150 && id.isEmpty(); ++tries) {
            QTest::qWait(100);
            id = m_desktop.visibleWindow(QStringLiteral("^Ambrel Quillpad$"));
        }
        if (id.isEmpty())  // what the program said helps more than the bare failure
            qWarning().noquote() << "program" << (running() ? "still running" : "ended") << "said:"
                                 << QString::fromLocal8Bit(m_process.readAllStandardError())
                                 << "windows:" << m_desktop.run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral(".")});
        return id;
    }

    bool running() { return m_process.state() == QProcess::Running; }
    bool ended(int timeoutMs) { return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs); }
    int exitCode() const { return m_process.exitCode(); }

    int taskCount()
    {
        Connection connection;
        connection.open(m_data.filePath(QStringLiteral("qvData.qvb")));
        Query query(connection);
        OpenSql(query, QStringLiteral("select count(*) as cnt from tasks"));
        return query.field(u"cnt").asInteger();
    }

private:
    const PrivateDesktop &m_desktop;
    QTemporaryDir m_data;
    QTemporaryDir m_runtime;
    QProcess m_process;
};

bool Tool(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

}  // namespace

class TestAppTray : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const char *tool : {"Xvfb", "openbox", "trayer", "xdotool", "wmctrl", "xwininfo"})
            if (!Tool(QLatin1String(tool)))
                QSKIP(qPrintable(QStringLiteral("needs %1").arg(QLatin1String(tool))));
    }

    void closeBoxHidesToTheTrayAndTheIconBringsItBack()
    {
        PrivateDesktop desktop(true);
        QVERIFY(desktop.ready());
        Program program(desktop);
        QVERIFY2(!program.start().isEmpty(), "the window never showed");

        QPoint icon;
        QTRY_VERIFY_WITH_TIMEOUT(!(icon = desktop.trayIconCentre()).isNull(), 10000);

        // The close box, through the window manager: the window goes, the program stays.
        desktop.run(QStringLiteral("wmctrl"), {QStringLiteral("-c"), QStringLiteral("Ambrel Quillpad")});
        QTRY_VERIFY_WITH_TIMEOUT(desktop.visibleWindow(QStringLiteral("^Ambrel Quillpad$")).isEmpty(), 10000);
        QTest::qWait(300);
        QVERIFY(program.running());

        // A second start brings the hidden window back and ends at once.
        QProcess second;
        second.setProcessEnvironment(program.environment());
        second.start(QStringLiteral(QUILLPAD_EXECUTABLE), {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!desktop.visibleWindow(QStringLiteral("^Ambrel Quillpad$")).isEmpty(), 10000);
        desktop.run(QStringLiteral("wmctrl"), {QStringLiteral("-c"), QStringLiteral("Ambrel Quillpad")});
        QTRY_VERIFY_WITH_TIMEOUT(desktop.visibleWindow(QStringLiteral("^Ambrel Quillpad$")).isEmpty(), 10000);

        // A click on the icon brings the window back.
        desktop.run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(icon.x()),
                                                QString::number(icon.y()), QStringLiteral("click"), QStringLiteral("1")});
        QTRY_VERIFY_WITH_TIMEOUT(!desktop.visibleWindow(QStringLiteral("^Ambrel Quillpad$")).isEmpty(), 10000);

        // Exit, the last entry of the icon's menu, ends the program.
        desktop.run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(icon.x()),
                                                QString::number(icon.y()), QStringLiteral("click"), QStringLiteral("3")});
        QTest::qWait(500);
        desktop.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Return")});
        QVERIFY(program.ended(10000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.taskCount(), 1);
    }

    void withoutTrayTheCloseBoxEndsTheProgram()
    {
        PrivateDesktop desktop(false);
        QVERIFY(desktop.ready());
        Program program(desktop);
        QVERIFY2(!program.start().isEmpty(), "the window never showed");
        desktop.run(QStringLiteral("wmctrl"), {QStringLiteral("-c"), QStringLiteral("Ambrel Quillpad")});
        QVERIFY(program.ended(10000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.taskCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAppTray)
#include "tst_app_tray.moc"
