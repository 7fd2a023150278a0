// End to end: the real program on a private X server with a window manager, with an
// XEmbed notification area (trayer), with the Xfce panel's status tray on a session bus
// of its own (a StatusNotifierItem host and an XEmbed tray), and without any. The window
// is driven as a person would drive it: the close box through the window manager, a
// click on the tray icon, Exit from the icon's menu, the panel going and coming.

#include "store/Connection.h"
#include "store/Query.h"
#include "store/TaskInfo.h"
#include "store/pU_Funcs.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillpad;

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

// The Xfce panel with nothing but its status tray.
const char PanelConfig[] = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
)xml";

enum class Tray { None, Trayer, XfcePanel };

// An X server of our own with a window manager and, when asked, a tray host, so no other
// test shares its screen. The Xfce panel comes with a session bus of its own.
class PrivateDesktop {
public:
    explicit PrivateDesktop(Tray tray)
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
        if (tray == Tray::Trayer)
            startHelper(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("bottom"), QStringLiteral("--align"),
                                                   QStringLiteral("right"), QStringLiteral("--widthtype"),
                                                   QStringLiteral("request")});
        if (tray == Tray::XfcePanel && !startBusAndPanel())
            m_display.clear();
    }

    ~PrivateDesktop()
    {
        if (m_panel) {
            m_panel->kill();
            m_panel->waitForFinished(3000);
        }
        if (m_bus)
            QDBusConnection::disconnectFromBus(m_busName);
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

    // Whether one window is mapped and shown (the tray's balloon has the same name as the
    // main window, so a search by name may find the balloon instead).
    bool viewable(const QString &id) const
    {
        return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id}).contains(QStringLiteral("IsViewable"));
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

    // The session bus the panel and the program share; only with the Xfce panel.
    QDBusConnection bus() const { return QDBusConnection(m_busName); }

    // Starts the panel; true once its status tray's watcher is on the bus.
    bool startPanel()
    {
        QDBusServiceWatcher watcher(WatcherService, bus(), QDBusServiceWatcher::WatchForRegistration);
        QSignalSpy registered(&watcher, &QDBusServiceWatcher::serviceRegistered);
        m_panel = std::make_unique<QProcess>();
        m_panel->setProcessEnvironment(m_panelEnvironment);
        m_panel->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_panel->start(QStringLiteral("xfce4-panel"), {});
        return m_panel->waitForStarted(5000) && (bus().interface()->isServiceRegistered(WatcherService) || registered.wait(15000));
    }

    // Kills the panel, as a crash would; true once its watcher has left the bus.
    bool killPanel()
    {
        QDBusServiceWatcher watcher(WatcherService, bus(), QDBusServiceWatcher::WatchForUnregistration);
        QSignalSpy unregistered(&watcher, &QDBusServiceWatcher::serviceUnregistered);
        m_panel->kill();
        m_panel->waitForFinished(5000);
        m_panel.reset();
        return !bus().interface()->isServiceRegistered(WatcherService) || unregistered.wait(10000);
    }

private:
    bool startBusAndPanel()
    {
        if (!m_panelHome.isValid())
            return false;
        const QString channels = m_panelHome.filePath(QStringLiteral("config/xfce4/xfconf/xfce-perchannel-xml"));
        QDir().mkpath(channels);
        QFile config(channels + QStringLiteral("/xfce4-panel.xml"));
        if (!config.open(QIODevice::WriteOnly) || config.write(PanelConfig) < 0)
            return false;
        config.close();
        // The panel's settings daemon is started by the bus, with the bus's environment.
        m_panelEnvironment = m_environment;
        for (const char *folder : {"config", "cache", "data"})
            m_panelEnvironment.insert(QStringLiteral("XDG_%1_HOME").arg(QString::fromLatin1(folder).toUpper()),
                                      m_panelHome.filePath(QLatin1String(folder)));
        m_bus = std::make_unique<QProcess>();
        m_bus->setProcessEnvironment(m_panelEnvironment);
        m_bus->start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address=1")});
        QString address;
        for (int tries = 0; tries < 100 && address.isEmpty(); ++tries) {
            m_bus->waitForReadyRead(100);
            address = QString::fromLatin1(m_bus->readLine()).trimmed();
        }
        if (address.isEmpty())
            return false;
        m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        m_panelEnvironment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        m_busName = QStringLiteral("panel-bus-") + m_display;
        if (!QDBusConnection::connectToBus(address, m_busName).isConnected())
            return false;
        return startPanel();
    }

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
    QTemporaryDir m_panelHome;
    QProcessEnvironment m_panelEnvironment;
    std::unique_ptr<QProcess> m_bus;
    std::unique_ptr<QProcess> m_panel;
    QString m_busName;
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

    // Settings as the Options dialog writes them, before the start.
    void runMinimized()
    {
        QFile ini(m_data.filePath(QStringLiteral("qvConf.ini")));
        QVERIFY(ini.open(QIODevice::Append));
        ini.write("[option]\r\nrunMinimizedEn=1\r\n");
    }

    QString settings() const
    {
        QFile ini(m_data.filePath(QStringLiteral("qvConf.ini")));
        return ini.open(QIODevice::ReadOnly) ? QString::fromUtf8(ini.readAll()) : QString();
    }

    // Starts the program a second time, as from the applications menu: it hands over to
    // the running copy and ends.
    bool startAgain() const
    {
        QProcess second;
        second.setProcessEnvironment(environment());
        second.start(QStringLiteral(QUILLPAD_EXECUTABLE), {});
        return second.waitForFinished(10000) && second.exitCode() == 0;
    }

    // Starts the program without waiting for its window.
    void launch()
    {
        m_process.setProcessEnvironment(environment());
        m_process.start(QStringLiteral(QUILLPAD_EXECUTABLE), {});
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

const QString Title = QStringLiteral("^Ambrel Quillpad$");

// The window is shown, and stays so once the window manager's answers are in.
bool StaysShown(const PrivateDesktop &desktop)
{
    if (!QTest::qWaitFor([&] { return !desktop.visibleWindow(Title).isEmpty(); }, 10000))
        return false;
    QTest::qWait(700);
    return !desktop.visibleWindow(Title).isEmpty();
}

// The StatusNotifierItems the panel's watcher knows, as "service/path" or "service".
QStringList RegisteredItems(const PrivateDesktop &desktop)
{
    QDBusInterface watcher(WatcherService, QStringLiteral("/StatusNotifierWatcher"), WatcherService, desktop.bus());
    return watcher.property("RegisteredStatusNotifierItems").toStringList();
}

// The item's object on the bus, from the watcher's "service/path" (or "service").
std::unique_ptr<QDBusInterface> Item(const PrivateDesktop &desktop, const QString &registered)
{
    const qsizetype slash = registered.indexOf(QLatin1Char('/'));
    const QString service = slash < 0 ? registered : registered.left(slash);
    const QString path = slash < 0 ? QStringLiteral("/StatusNotifierItem") : registered.mid(slash);
    return std::make_unique<QDBusInterface>(service, path, QStringLiteral("org.kde.StatusNotifierItem"), desktop.bus());
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
        PrivateDesktop desktop(Tray::Trayer);
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

    // Without a tray the close box hides the window and the program keeps running for
    // its reminders; the first time, the user is told how to come back. Starting it again
    // shows the window; File › Exit (Ctrl+Q) ends it.
    void withoutTrayTheCloseBoxHidesAndTheProgramKeepsRunning()
    {
        PrivateDesktop desktop(Tray::None);
        QVERIFY(desktop.ready());
        Program program(desktop);
        QVERIFY2(!program.start().isEmpty(), "the window never showed");
        desktop.run(QStringLiteral("wmctrl"), {QStringLiteral("-c"), QStringLiteral("Ambrel Quillpad")});
        QTRY_VERIFY_WITH_TIMEOUT(desktop.visibleWindow(Title).isEmpty(), 10000);
        QVERIFY(program.running());
        QTRY_VERIFY_WITH_TIMEOUT(program.settings().contains(QStringLiteral("keepsRunningToldEn=1")), 10000);

        QVERIFY(program.startAgain());
        QVERIFY(StaysShown(desktop));
        const QString id = desktop.visibleWindow(Title);
        desktop.run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), id});
        desktop.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+q")});
        QVERIFY(program.ended(10000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.taskCount(), 1);
    }

    // The first restore after "Run program minimized", and after Ctrl+F12, brings the
    // window back for good: the window manager's late answer to an iconify used to
    // minimise it again, so a second click was needed.
    void firstRestoreIsEnough()
    {
        PrivateDesktop desktop(Tray::Trayer);
        QVERIFY(desktop.ready());
        Program program(desktop);
        program.runMinimized();
        program.launch();
        QPoint icon;
        QTRY_VERIFY_WITH_TIMEOUT(!(icon = desktop.trayIconCentre()).isNull(), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(desktop.visibleWindow(Title).isEmpty(), 10000);
        QVERIFY(program.startAgain());
        QVERIFY2(StaysShown(desktop), "the first start again after a minimised start was lost");

        for (int round = 0; round < 4; ++round) {
            const QString id = desktop.visibleWindow(Title);
            desktop.run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), id});
            desktop.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+F12")});
            QTRY_VERIFY_WITH_TIMEOUT(!desktop.viewable(id), 10000);
            desktop.run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(icon.x()),
                                                    QString::number(icon.y()), QStringLiteral("click"), QStringLiteral("1")});
            QVERIFY2(StaysShown(desktop), qPrintable(QStringLiteral("the first click after Ctrl+F12 was lost in round %1").arg(round + 1)));
        }
    }

    // The Xfce panel's status tray: the program's item registers with the title, Activate
    // shows the window, the panel going brings a hidden window back, and the item
    // registers again when the panel comes back.
    void statusNotifierItemFollowsThePanel()
    {
        if (!Tool(QStringLiteral("xfce4-panel")) || !Tool(QStringLiteral("dbus-daemon")))
            QSKIP("needs xfce4-panel and dbus-daemon");
        PrivateDesktop desktop(Tray::XfcePanel);
        QVERIFY(desktop.ready());
        Program program(desktop);
        QVERIFY2(!program.start().isEmpty(), "the window never showed");
        QTRY_VERIFY_WITH_TIMEOUT(RegisteredItems(desktop).size() == 1, 10000);
        auto item = Item(desktop, RegisteredItems(desktop).constFirst());
        QCOMPARE(item->property("Title").toString(), QStringLiteral("Ambrel Quillpad"));

        desktop.run(QStringLiteral("wmctrl"), {QStringLiteral("-c"), QStringLiteral("Ambrel Quillpad")});
        QTRY_VERIFY_WITH_TIMEOUT(desktop.visibleWindow(Title).isEmpty(), 10000);
        QVERIFY(item->call(QStringLiteral("Activate"), 0, 0).type() == QDBusMessage::ReplyMessage);
        QVERIFY(StaysShown(desktop));

        // The panel goes while the window is hidden in it: the window comes back.
        desktop.run(QStringLiteral("wmctrl"), {QStringLiteral("-c"), QStringLiteral("Ambrel Quillpad")});
        QTRY_VERIFY_WITH_TIMEOUT(desktop.visibleWindow(Title).isEmpty(), 10000);
        QVERIFY(desktop.killPanel());
        QVERIFY2(StaysShown(desktop), "the window stayed hidden in a tray that is gone");
        QVERIFY(program.running());

        // The panel comes back: the item registers again.
        QVERIFY(desktop.startPanel());
        QTRY_VERIFY_WITH_TIMEOUT(RegisteredItems(desktop).size() == 1, 10000);
        desktop.run(QStringLiteral("wmctrl"), {QStringLiteral("-c"), QStringLiteral("Ambrel Quillpad")});
        QTRY_VERIFY_WITH_TIMEOUT(desktop.visibleWindow(Title).isEmpty(), 10000);
        item = Item(desktop, RegisteredItems(desktop).constFirst());
        QVERIFY(item->call(QStringLiteral("Activate"), 0, 0).type() == QDBusMessage::ReplyMessage);
        QVERIFY(StaysShown(desktop));
        QVERIFY(!program.settings().contains(QStringLiteral("keepsRunningToldEn=1")));
    }
};

QTEST_GUILESS_MAIN(TestAppTray)
#include "tst_app_tray.moc"
