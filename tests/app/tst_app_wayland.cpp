// End to end on Wayland: the real program on a headless weston of its own, with no
// notification area (weston has none). A headless compositor shows nothing to look at,
// so the program is watched through the requests it makes of the compositor
// (WAYLAND_DEBUG=client on its stderr): the name the compositor finds the icon by, the
// minimise, and the window mapped anew when it is brought back.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

bool Tool(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

bool QtWaylandPlugin()
{
    const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath);
    return QFileInfo::exists(plugins + u"/platforms/libqwayland-generic.so"_s);
}

// A headless weston in a runtime folder of its own.
class Weston {
public:
    Weston()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        m_process.setProcessEnvironment(environment);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(u"weston"_s, {u"--backend=headless-backend.so"_s, u"--socket="_s + SocketName, u"--no-config"_s,
                                      u"--idle-time=0"_s});
    }
    ~Weston()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool ready()
    {
        // The socket appears once weston listens; it says nothing on its own.
        return m_process.waitForStarted(5000) &&
               QTest::qWaitFor([this] { return QFileInfo::exists(m_runtime.filePath(SocketName)); }, 10000);
    }
    QString runtime() const { return m_runtime.path(); }

    static inline const QString SocketName = u"quillpad-test"_s;

private:
    QTemporaryDir m_runtime;
    QProcess m_process;
};

class Program {
public:
    explicit Program(const Weston &weston) : m_weston(weston) {}
    ~Program()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
        environment.insert(u"WAYLAND_DISPLAY"_s, Weston::SocketName);
        environment.insert(u"XDG_RUNTIME_DIR"_s, m_weston.runtime());
        environment.insert(u"QUILLPAD_HOME"_s, m_data.path());
        environment.insert(u"XDG_CONFIG_HOME"_s, m_data.filePath(u"config"_s));
        // No X server and no session bus: no notification area of any kind.
        environment.remove(u"DISPLAY"_s);
        environment.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
        environment.remove(u"XDG_ACTIVATION_TOKEN"_s);
        return environment;
    }

    void runMinimized()
    {
        QDir().mkpath(m_data.path());
        QFile ini(m_data.filePath(u"qvConf.ini"_s));
        QVERIFY(ini.open(QIODevice::Append));
        ini.write("[option]\r\nrunMinimizedEn=1\r\n");
    }

    void launch()
    {
        QProcessEnvironment traced = environment();
        traced.insert(u"WAYLAND_DEBUG"_s, u"client"_s);
        m_process.setProcessEnvironment(traced);
        m_process.start(QStringLiteral(QUILLPAD_EXECUTABLE), {});
    }

    // Waits for a request to the compositor matching pattern, made after the request at
    // index from; its index, or -1.
    qsizetype waitForRequest(const QString &pattern, qsizetype from = 0, int timeoutMs = 15000)
    {
        const QRegularExpression wanted(u" -> "_s + pattern);
        qsizetype found = -1;
        (void)QTest::qWaitFor(
            [&] {
                read();
                for (qsizetype i = from; i < m_requests.size() && found < 0; ++i)
                    if (wanted.match(m_requests.at(i)).hasMatch())
                        found = i;
                return found >= 0 || m_process.state() == QProcess::NotRunning;
            },
            timeoutMs);
        if (found < 0)
            qWarning().noquote() << "no request" << pattern << "after" << from << "of" << m_requests.size()
                                 << (m_process.state() == QProcess::Running ? "(running)" : "(ended)")
                                 << "; the program said:" << m_said.join(u'\n');
        return found;
    }

    // The requests made so far that match pattern, from index from on.
    qsizetype countRequests(const QString &pattern, qsizetype from = 0)
    {
        read();
        const QRegularExpression wanted(u" -> "_s + pattern);
        qsizetype count = 0;
        for (qsizetype i = from; i < m_requests.size(); ++i)
            count += wanted.match(m_requests.at(i)).hasMatch() ? 1 : 0;
        return count;
    }

    // Starts the program again, as from the applications menu; true when it handed
    // over to the running copy and ended.
    bool startAgain(const QString &activationToken = {}) const
    {
        QProcess second;
        QProcessEnvironment environment = this->environment();
        if (!activationToken.isEmpty())
            environment.insert(u"XDG_ACTIVATION_TOKEN"_s, activationToken);
        second.setProcessEnvironment(environment);
        second.start(QStringLiteral(QUILLPAD_EXECUTABLE), {});
        return second.waitForFinished(10000) && second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0;
    }

    bool running() const { return m_process.state() == QProcess::Running; }

private:
    void read()
    {
        m_pending += m_process.readAllStandardError();
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = m_pending.left(end);
            m_pending.remove(0, end + 1);
            if (line.contains(" -> "))
                m_requests.append(QString::fromUtf8(line));
            else if (!line.startsWith('['))  // its own words, not the compositor's events
                m_said.append(QString::fromUtf8(line));
        }
    }

    const Weston &m_weston;
    QTemporaryDir m_data;
    QProcess m_process;
    QByteArray m_pending;
    QStringList m_requests;
    QStringList m_said;
};

// A buffer given to a surface and committed: the window is on the screen from there on.
const QString Attach = uR"(wl_surface@\d+\.attach\(wl_buffer@\d+)"_s;

}  // namespace

class TestAppWayland : public QObject {
    Q_OBJECT

private slots:
    // "Run program minimized" on Wayland: the window is shown, then minimised (weston
    // ignores a minimise asked before the window is on the screen); starting the program
    // again shows it anew, as Wayland has no other way back from a minimise.
    void minimisedStartAndStartingAgain()
    {
        Weston weston;
        QVERIFY(weston.ready());
        Program program(weston);
        program.runMinimized();
        program.launch();

        // The compositor finds the icon and name through the desktop entry's name.
        const qsizetype named = program.waitForRequest(uR"(xdg_toplevel@\d+\.set_app_id\("ambrel-quillpad"\))"_s);
        QVERIFY2(named >= 0, "the window never told the compositor its desktop entry");
        const qsizetype shown = program.waitForRequest(Attach, named);
        QVERIFY2(shown >= 0, "the window never showed");
        const qsizetype minimised = program.waitForRequest(uR"(xdg_toplevel@\d+\.set_minimized\(\))"_s, shown);
        QVERIFY2(minimised >= 0, "the window was not minimised once shown");

        QVERIFY(program.startAgain(u"token-from-the-launcher"_s));
        const qsizetype remade = program.waitForRequest(uR"(xdg_surface@\d+\.get_toplevel\()"_s, minimised);
        QVERIFY2(remade >= 0, "starting again did not bring the minimised window back");
        QVERIFY2(program.waitForRequest(Attach, remade) >= 0, "the window brought back was never drawn");
        QVERIFY(program.running());
        QCOMPARE(program.countRequests(uR"(set_minimized\(\))"_s, remade), 0);
    }
};

// Skipped (77 for CTest) only where weston or Qt's Wayland plugin is missing.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!Tool(u"weston"_s) || !QtWaylandPlugin()) {
        qInfo("SKIP: needs weston and Qt's Wayland plugin (qt6-wayland)");
        return 77;
    }
    TestAppWayland test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_app_wayland.moc"
