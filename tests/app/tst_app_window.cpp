// End to end: the real program under an X server, looked at as a person would, by
// rules about what the screen shows rather than by exact pixels.

#include "store/Connection.h"
#include "store/Query.h"
#include "store/TaskInfo.h"
#include "store/pU_Funcs.h"

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace quillpad;

namespace {

struct Window {
    QRect geometry;
    QImage shot;
    QString id;
};

QString Xdotool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(15000);
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// Counts the pixels of the window that satisfy a rule.
template <typename Rule>
int Count(const QImage &shot, Rule rule)
{
    int count = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            count += rule(QColor(shot.pixel(x, y))) ? 1 : 0;
    return count;
}

class Program {
public:
    Program()
    {
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("QUILLPAD_HOME"), m_data.path());
        m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_connection.open(m_data.filePath(QStringLiteral("qvData.qvb")));
    }
    ~Program()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QString add(const QString &content, const QString &pid = RootPid, qint32 background = 0, bool expanded = false,
                TDateTime alarm = ZeroDateTime)
    {
        Query query(m_connection);
        OpenSql(query, QStringLiteral("select * from tasks where 1=0"));
        query.insert();
        const QString tid = NewGuid();
        query.field(u"tid").setString(tid);
        query.field(u"pid").setString(pid);
        query.field(u"content").setString(content);
        query.field(u"backgroundColor").setInteger(background);
        query.field(u"expandFlag").setBoolean(expanded);
        query.field(u"alarmFlag").setBoolean(alarm != ZeroDateTime);
        query.field(u"alarmTime").setDateTime(alarm);
        query.post();
        return tid;
    }

    // The title of the first visible window whose title starts with the given text.
    static QString titleStartingWith(const QString &start)
    {
        const QString id = Xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--name"), QLatin1Char('^') + start})
                               .section(QLatin1Char('\n'), 0, 0);
        return id.isEmpty() ? QString() : Xdotool({QStringLiteral("getwindowname"), id});
    }

    // Starts the program and photographs its window once it has drawn its list.
    Window start()
    {
        m_connection.close();
        m_process.setProcessEnvironment(m_environment);
        m_process.start(QStringLiteral(QUILLPAD_EXECUTABLE), {});
        Window window;
        const QString id = Xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--name"), QStringLiteral("^Ambrel Quillpad$")})
                               .section(QLatin1Char('\n'), 0, 0);
        if (id.isEmpty())
            return window;
        window.id = id;
        const QStringList shell =
            Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id}).split(QLatin1Char('\n'));
        QMap<QString, int> values;
        for (const QString &line : shell)
            values[line.section(QLatin1Char('='), 0, 0)] = line.section(QLatin1Char('='), 1).toInt();
        window.geometry = QRect(values[QStringLiteral("X")], values[QStringLiteral("Y")],
                                values[QStringLiteral("WIDTH")], values[QStringLiteral("HEIGHT")]);
        return window;
    }

    static QImage grab(const Window &window)
    {
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, window.geometry.x(), window.geometry.y(), window.geometry.width(), window.geometry.height())
            .toImage();
    }

    QProcess &process() { return m_process; }

    // The task texts stored, once the program has ended.
    QStringList stored()
    {
        m_connection.open(m_data.filePath(QStringLiteral("qvData.qvb")));
        Query query(m_connection);
        OpenSql(query, QStringLiteral("select content from tasks"));
        QStringList texts;
        for (; !query.eof(); query.next())
            texts.append(query.field(u"content").asString());
        return texts;
    }

private:
    QTemporaryDir m_data;
    QTemporaryDir m_runtime;
    QProcessEnvironment m_environment;
    Connection m_connection;
    QProcess m_process;
};

}  // namespace

class TestAppWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void emptyListInvitesTheFirstTask();
    void tasksShowWithTheirBackgrounds();
    void dialogsShowTheirOwnCaptionOnly();
    void aSignalEndsTheProgramKeepingTheEdit_data();
    void aSignalEndsTheProgramKeepingTheEdit();
};

void TestAppWindow::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (the test suite runs under xvfb-run)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs xdotool");
}

void TestAppWindow::emptyListInvitesTheFirstTask()
{
    Program program;
    Window window = program.start();
    QVERIFY2(window.geometry.width() > 200 && window.geometry.height() > 200, "no window titled Ambrel Quillpad");
    // The list loads right after the first show: look until the tip panel's light yellow shows.
    const auto yellow = [](const QColor &c) { return c == QColor(255, 255, 225); };
    QTRY_VERIFY_WITH_TIMEOUT(Count(window.shot = Program::grab(window), yellow) > 1000, 15000);
    // The tip's blue text on it.
    QVERIFY(Count(window.shot, [](const QColor &c) { return c.blue() > 150 && c.red() < 100 && c.green() < 100; }) > 20);
}

void TestAppWindow::tasksShowWithTheirBackgrounds()
{
    Program program;
    program.add(QStringLiteral("Alpha"));
    const QString parent = program.add(QStringLiteral("Bravo"), RootPid, 0, true);
    program.add(QStringLiteral("Bravo's child"), parent);
    program.add(QStringLiteral("Charlie"), RootPid, 0x000000FF);  // red, stored as 0x00BBGGRR
    Window window = program.start();
    QVERIFY2(window.geometry.width() > 200, "no window titled Ambrel Quillpad");
    // Charlie's own red background, a row high and most of the width, once the list loaded.
    const auto red = [](const QColor &c) { return c.red() > 240 && c.green() < 30 && c.blue() < 30; };
    QTRY_VERIFY_WITH_TIMEOUT(Count(window.shot = Program::grab(window), red) > window.geometry.width() * 10, 15000);
    // No tip panel when there are tasks.
    QCOMPARE(Count(window.shot, [](const QColor &c) { return c == QColor(255, 255, 225); }), 0);
    // The odd top-level stripe is a light blue-grey; the sub-task rows a light green-grey.
    QVERIFY(Count(window.shot, [](const QColor &c) { return c.blue() - c.red() >= 5 && c.red() > 230; }) > 1000);
    QVERIFY(Count(window.shot, [](const QColor &c) { return c.green() - c.blue() >= 4 && c.green() > 230; }) > 1000);
    // Text is drawn: dark pixels in the list.
    QVERIFY(Count(window.shot, [](const QColor &c) { return c.lightness() < 80; }) > 200);
}

void TestAppWindow::dialogsShowTheirOwnCaptionOnly()
{
    Program program;
    program.add(QStringLiteral("Call the plumber"), RootPid, 0, false,
                EncodeDateTime(QDate(2026, 1, 1), QTime(8, 0)));  // long due: it rings at once
    Window window = program.start();
    QVERIFY2(window.geometry.width() > 200, "no window titled Ambrel Quillpad");
    QCOMPARE(Program::titleStartingWith(QStringLiteral("Task Reminder")), QStringLiteral("Task Reminder"));
}

void TestAppWindow::aSignalEndsTheProgramKeepingTheEdit_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestAppWindow::aSignalEndsTheProgramKeepingTheEdit()
{
    QFETCH(int, signal);
    Program program;
    program.add(QStringLiteral("Alpha"));
    Window window = program.start();
    QVERIFY2(!window.id.isEmpty(), "no window titled Ambrel Quillpad");
    const auto dark = [](const QColor &c) { return c.lightness() < 80; };
    QTRY_VERIFY_WITH_TIMEOUT(Count(window.shot = Program::grab(window), dark) > 50, 15000);

    // Enter adds a task and opens its editor; the typed text shows in it.
    Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window.id});
    Xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(Program::grab(window) != window.shot, 15000);
    const QImage editing = Program::grab(window);
    Xdotool({QStringLiteral("type"), QStringLiteral("typed before logout")});
    QTRY_VERIFY_WITH_TIMEOUT(Program::grab(window) != editing, 15000);

    QCOMPARE(::kill(static_cast<pid_t>(program.process().processId()), signal), 0);
    QVERIFY(program.process().waitForFinished(15000));
    QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.process().exitCode(), 0);
    QCOMPARE(program.stored(), (QStringList{"Alpha", "typed before logout"}));
}

int main(int argc, char *argv[])
{
    // The photographs need the X server that xvfb-run provides; without one, skip.
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication app(argc, argv);
    TestAppWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_window.moc"
