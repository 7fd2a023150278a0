// quillpad-cli as a user runs it: a separate process on a data folder of its own.

#include "store/Connection.h"
#include "store/Query.h"
#include "store/TaskStore.h"
#include "components/SingleInstance.h"
#include "store/pU_Funcs.h"
#include "interchange/pU_XmlTry.h"

#include <algorithm>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace quillpad;

namespace {

struct Result {
    int code = -1;
    QString out;
    QString err;
};

}  // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void help_data();
    void help();
    void usageErrors_data();
    void usageErrors();
    void addAndList();
    void addUnderASubTaskFails();
    void addKeepsLineBreaksAsCrLf();
    void listJsonIsQtsCompactJson();
    void exportSelection();
    void saveDocuments();
    void restoreAnswers_data();
    void restoreAnswers();
    void importTwiceAndBadFiles();
    void icsExportAndImportBack();
    void icsImportFromOtherPrograms_data();
    void icsImportFromOtherPrograms();
    void reloadRequestedAfterChanges();
    void readOnlyDataCanBeReadAndRescued_data();
    void readOnlyDataCanBeReadAndRescued();
    void changes_data();
    void changes();
    void tidsThatNameNoOneTask_data();
    void tidsThatNameNoOneTask();
    void listFilters_data();
    void listFilters();
    void listWrapsToTheWidth();
    void editInTheEditor();
    void completionsAndManualNameEveryOption();

private:
    QProcess *start(const QStringList &arguments);
    Result run(const QStringList &arguments, const QByteArray &input = QByteArray());
    QHash<QString, QString> family();
    QString field(const QString &tid, const QString &name);
    QByteArray allRows();
    QString add(const QString &text, const QString &parent = QString());
    QStringList contents();
    QStringList exportedPids(const QString &fileName);
    QJsonArray listed();
    QString file(const QString &name) const { return m_data->filePath(name); }

    QTemporaryDir m_runtime;  // where the test's "running program" listens
    std::unique_ptr<QTemporaryDir> m_data;
    bool m_asAnotherUser = false;  // run as nobody when the test runs as root, which may write anything
    QHash<QString, QString> m_environment;  // more for the next commands
    bool m_throughTerminal = false;
};

void TestCli::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The CLI and the listener below meet here, never at a program the user is running.
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
}

void TestCli::init()
{
    m_data = std::make_unique<QTemporaryDir>();
    m_asAnotherUser = false;
    m_environment.clear();
    m_throughTerminal = false;
}

QProcess *TestCli::start(const QStringList &arguments)
{
    auto *process = new QProcess(this);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLPAD_HOME"), m_data->path());
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC0"));
    environment.remove(QStringLiteral("COLUMNS"));
    for (auto it = m_environment.cbegin(); it != m_environment.cend(); ++it)
        environment.insert(it.key(), it.value());
    process->setProcessEnvironment(environment);
    if (m_throughTerminal) {
        // script gives the command a terminal for its standard input.
        QStringList quoted{QStringLiteral(QUILLPAD_CLI)};
        quoted += arguments;
        for (QString &word : quoted)
            word = QLatin1Char('\'') + word.replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
        process->start(QStringLiteral("script"), {"-qec", quoted.join(QLatin1Char(' ')), "/dev/null"});
        return process;
    }
    if (m_asAnotherUser && ::geteuid() == 0) {
        process->setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(127);
        });
    }
    process->start(QStringLiteral(QUILLPAD_CLI), arguments);
    return process;
}

Result TestCli::run(const QStringList &arguments, const QByteArray &input)
{
    std::unique_ptr<QProcess> process(start(arguments));
    process->write(input);
    process->closeWriteChannel();
    Result result;
    if (!process->waitForFinished(60000))
        return result;
    result.code = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -2;
    result.out = QString::fromUtf8(process->readAllStandardOutput());
    result.err = QString::fromUtf8(process->readAllStandardError());
    return result;
}

QString TestCli::add(const QString &text, const QString &parent)
{
    QStringList arguments{QStringLiteral("add"), text};
    if (!parent.isEmpty())
        arguments << QStringLiteral("--parent") << parent;
    const Result result = run(arguments);
    if (result.code != 0)
        return QString();
    return result.out.trimmed();
}

// The text of every task, ordered by text.
QStringList TestCli::contents()
{
    Connection connection;
    connection.open(file(QStringLiteral("qvData.qvb")));
    Query query(connection);
    OpenSql(query, QStringLiteral("select content from tasks order by content"));
    QStringList texts;
    for (; !query.eof(); query.next())
        texts.append(query.field(u"content").asString());
    return texts;
}

// The pid of every task element of an interchange file, with the content: "pid content".
QStringList TestCli::exportedPids(const QString &fileName)
{
    Txmltry xml;
    xml.LoadDocument(fileName, true);
    QStringList tasks;
    for (const pugi::xml_node &task : xml.NodeAt(QStringLiteral("ambrel,tasks")).children())
        tasks.append(QString::fromUtf8(task.attribute("pid").value()) + QLatin1Char(' ') +
                     QString::fromUtf8(task.attribute("content").value()));
    return tasks;
}

void TestCli::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("usage");
    QTest::newRow("program") << QStringList{"--help"} << QStringLiteral("Usage: quillpad-cli COMMAND [ARGUMENTS]");
    QTest::newRow("backup") << QStringList{"backup", "--help"} << QStringLiteral("Usage: quillpad-cli backup FILE");
    QTest::newRow("restore") << QStringList{"restore", "--help"}
                             << QStringLiteral("Usage: quillpad-cli restore FILE [--answer yes|no|all|no-to-all|abort]");
    QTest::newRow("import") << QStringList{"import", "--help"} << QStringLiteral("Usage: quillpad-cli import FILE");
    QTest::newRow("export") << QStringList{"export", "--help"}
                            << QStringLiteral("Usage: quillpad-cli export FILE [TID...]");
    QTest::newRow("save") << QStringList{"save", "--help"}
                          << QStringLiteral("Usage: quillpad-cli save [--all] FILE [TID...]");
    QTest::newRow("add") << QStringList{"add", "-h"} << QStringLiteral("Usage: quillpad-cli add TEXT [--parent TID]");
    QTest::newRow("list") << QStringList{"list", "--help"}
                          << QStringLiteral("Usage: quillpad-cli list [--json] [--incomplete|--completed] [--overdue] "
                                            "[--due today|week] [--search TEXT] [--reminders]");
    QTest::newRow("show") << QStringList{"show", "--help"} << QStringLiteral("Usage: quillpad-cli show TID");
    QTest::newRow("done") << QStringList{"done", "--help"} << QStringLiteral("Usage: quillpad-cli done TID...");
    QTest::newRow("undone") << QStringList{"undone", "-h"} << QStringLiteral("Usage: quillpad-cli undone TID...");
    QTest::newRow("edit") << QStringList{"edit", "--help"} << QStringLiteral("Usage: quillpad-cli edit TID [TEXT|-]");
    QTest::newRow("remove") << QStringList{"remove", "--help"} << QStringLiteral("Usage: quillpad-cli remove TID...");
    QTest::newRow("due") << QStringList{"due", "--help"} << QStringLiteral("Usage: quillpad-cli due TID WHEN|none");
    QTest::newRow("remind") << QStringList{"remind", "--help"}
                            << QStringLiteral("Usage: quillpad-cli remind TID WHEN|none");
    QTest::newRow("color") << QStringList{"color", "--help"}
                           << QStringLiteral("Usage: quillpad-cli color TID [--text COLOR] [--background COLOR]");
    QTest::newRow("move") << QStringList{"move", "--help"}
                          << QStringLiteral("Usage: quillpad-cli move TID --parent TID | move TID --top");
    QTest::newRow("ics") << QStringList{"ics", "--help"}
                         << QStringLiteral("Usage: quillpad-cli ics export FILE [TID...] | ics import FILE");
}

void TestCli::help()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, usage);
    const Result result = run(arguments);
    QCOMPARE(result.code, 0);
    QVERIFY2(result.out.startsWith(usage + QLatin1Char('\n')), qPrintable(result.out));
    QVERIFY(!QFile::exists(file(QStringLiteral("qvData.qvb"))));  // help opens nothing
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no command") << QStringList();
    QTest::newRow("unknown command") << QStringList{"frobnicate"};
    QTest::newRow("backup without a file") << QStringList{"backup"};
    QTest::newRow("import with two files") << QStringList{"import", "a", "b"};
    QTest::newRow("an answer that is none") << QStringList{"restore", "f.qvx", "--answer", "maybe"};
    QTest::newRow("--answer without a value") << QStringList{"restore", "f.qvx", "--answer"};
    QTest::newRow("unknown option") << QStringList{"list", "--xml"};
    QTest::newRow("list takes no argument") << QStringList{"list", "all"};
    QTest::newRow("empty text") << QStringList{"add", " \t\n"};
    QTest::newRow("unknown tid to export") << QStringList{"export", "x.qvx", "{NOT-THERE}"};
    QTest::newRow("save to a file of no known kind") << QStringList{"save", "x.qvx"};
    QTest::newRow("save --all with tids") << QStringList{"save", "--all", "x.txt", "{A}"};
    QTest::newRow("save without a file") << QStringList{"save", "--all"};
    QTest::newRow("ics without a file") << QStringList{"ics", "export"};
    QTest::newRow("ics with neither export nor import") << QStringList{"ics", "send", "x.ics"};
    QTest::newRow("ics import of two files") << QStringList{"ics", "import", "a.ics", "b.ics"};
    QTest::newRow("unknown tid to ics export") << QStringList{"ics", "export", "x.ics", "{NOT-THERE}"};
    QTest::newRow("an unreadable due date") << QStringList{"due", "{A}", "soon"};
    QTest::newRow("an unreadable reminder") << QStringList{"remind", "{A}", "tomorrow 25:00"};
    QTest::newRow("due without a date") << QStringList{"due", "{A}"};
    QTest::newRow("done without a tid") << QStringList{"done"};
    QTest::newRow("an empty tid") << QStringList{"done", ""};
    QTest::newRow("an empty text to edit") << QStringList{"edit", "{A}", " "};
    QTest::newRow("edit with no text and no terminal") << QStringList{"edit", "{A}"};
    QTest::newRow("color without a colour") << QStringList{"color", "{A}"};
    QTest::newRow("an unknown colour") << QStringList{"color", "{A}", "--text", "ultraviolet"};
    QTest::newRow("move to nowhere") << QStringList{"move", "{A}"};
    QTest::newRow("move both ways") << QStringList{"move", "{A}", "--top", "--parent", "{B}"};
    QTest::newRow("list due this month") << QStringList{"list", "--due", "month"};
    QTest::newRow("list complete and incomplete") << QStringList{"list", "--completed", "--incomplete"};
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    const Result result = run(arguments);
    QCOMPARE(result.code, 2);
    QVERIFY(result.err.contains(QLatin1String("Usage: quillpad-cli")));
    QVERIFY(result.out.isEmpty());
}

void TestCli::addAndList()
{
    const QString parent = add(QStringLiteral("first line\nsecond line \t\n"));
    QCOMPARE(parent.size(), 38);
    const QString child = add(QStringLiteral("a sub-task"), parent);
    QVERIFY(!child.isEmpty());
    QVERIFY(!add(QStringLiteral("it's another")).isEmpty());

    // A table: the short ids, the lines of a text one under the other, sub-tasks indented.
    const Result text = run({QStringLiteral("list")});
    QCOMPARE(text.code, 0);
    const QString table = QStringLiteral("ID          Task\n"
                                         "%1    [ ] first line\n"
                                         "                second line\n"
                                         "  %2    [ ] a sub-task\n")
                              .arg(parent.mid(1, 8), child.mid(1, 8));
    QVERIFY2(text.out.startsWith(table), qPrintable(text.out));

    const Result json = run({QStringLiteral("list"), QStringLiteral("--json")});
    QCOMPARE(json.code, 0);
    const QJsonObject list = QJsonDocument::fromJson(json.out.toUtf8()).object();
    QCOMPARE(list.value(QStringLiteral("count")).toInt(), 3);
    const QJsonArray tasks = list.value(QStringLiteral("tasks")).toArray();
    QCOMPARE(tasks.size(), 2);
    QJsonObject first = tasks.at(0).toObject();
    if (first.value(QStringLiteral("tid")).toString() != parent)
        first = tasks.at(1).toObject();
    QCOMPARE(first.value(QStringLiteral("content")).toString(), QStringLiteral("first line\r\nsecond line"));
    QCOMPARE(first.value(QStringLiteral("pid")).toString(), QStringLiteral("root"));
    for (const char *flag : {"checkFlag", "dueFlag", "alarmFlag", "expandFlag"})
        QCOMPARE(first.value(QLatin1String(flag)), QJsonValue(false));
    QCOMPARE(first.value(QStringLiteral("textColor")), QJsonValue(0));
    QCOMPARE(first.value(QStringLiteral("backgroundColor")), QJsonValue(0));
    QCOMPARE(first.value(QStringLiteral("checkTime")).toString(), QStringLiteral("1899-12-30T00:00:00.000Z"));
    const QString created = first.value(QStringLiteral("createTime")).toString();
    QVERIFY(QDateTime::fromString(created, Qt::ISODateWithMs).isValid());
    QVERIFY(created <= first.value(QStringLiteral("editTime")).toString());
    QCOMPARE(first.keys().size(), 15);  // the fourteen fields and the children

    const QJsonArray children = first.value(QStringLiteral("children")).toArray();
    QCOMPARE(children.size(), 1);
    QCOMPARE(children.at(0).toObject().value(QStringLiteral("pid")).toString(), parent);
    QCOMPARE(children.at(0).toObject().keys().size(), 14);
}

void TestCli::addKeepsLineBreaksAsCrLf()
{
    // A lone CR and a plain LF are line breaks too.
    QVERIFY(!add(QStringLiteral("one\rtwo\r\nthree\nfour\r")).isEmpty());
    QCOMPARE(contents(), QStringList{"one\r\ntwo\r\nthree\r\nfour"});
}

// The streamed list against Qt's own JSON of the same records, byte for byte, on rows
// with every kind of awkward value.
void TestCli::listJsonIsQtsCompactJson()
{
    QVERIFY(!add(QStringLiteral("made by the program")).isEmpty());
    {
        Connection connection;
        connection.open(file(QStringLiteral("qvData.qvb")));
        Query query(connection);
        ExecSql(query, QStringLiteral(
            "insert into tasks values "
            "('p1', 'root', 'quote \" back\\slash / tab\t bell' || char(7) || char(1) || char(31) || char(127), "
            "1, 0, 1, 1, -16777211, 255, 45000.5, -1.25, 2958465.99999, 0, -693593), "
            "('c1', 'p1', 'line' || char(13) || char(10) || 'break ünïcode — 日本語 😀', 0, 1, 0, 1, 0, 0, "
            "null, null, 1e9, -1e9, 1.0000001), "
            "('p2', 'root', null, null, null, null, null, null, null, null, null, null, null, null), "
            "('c2', 'p1', cast(x'ff41c328' as text), 2, 3, 4, 5, 2147483647, -2147483648, 1, 2, 3, 4, 5), "
            "('o1', 'gone', 'orphan', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), "
            "('c3', 'c1', 'under a sub-task', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)"));
        // Ids as only a damaged or foreign file holds them: none, empty, "root", stored as
        // a blob, bytes that are not UTF-8 (two of them read as the same text).
        ExecSql(query, QStringLiteral(
            "insert into tasks values "
            "(null, 'root', 'no id', 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0), "
            "('', 'root', 'an empty id', 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0), "
            "('e1', '', 'under an empty id', 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0), "
            "('root', 'root', 'named root', 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0), "
            "('c4', 'p1', char(65279) || 'mark and nul' || char(0) || 'after', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), "
            "('c5', cast('p2' as blob), 'under a blob pid', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), "
            "(cast(x'ff70' as text), 'root', 'not UTF-8', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), "
            "(cast(x'fe70' as text), 'root', 'not UTF-8 either', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), "
            "('c6', cast(x'fe70' as text), 'under the first that reads so', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)"));
    }
    const Result listed = run({"list", "--json"});
    QCOMPARE(listed.code, 0);

    Connection connection;
    connection.open(file(QStringLiteral("qvData.qvb")));
    TaskStore store(connection);
    TaskSnapshot snapshot;
    store.load(snapshot);
    QCOMPARE(snapshot.size(), size_t(8));
    const auto object = [](const TTaskInfo &task, bool expandFlag) {
        const int bias = 0;  // the program runs at UTC here
        return QJsonObject{
            {QStringLiteral("tid"), task.tid},
            {QStringLiteral("pid"), task.pid},
            {QStringLiteral("content"), task.content},
            {QStringLiteral("checkFlag"), task.checkFlag},
            {QStringLiteral("dueFlag"), task.dueFlag},
            {QStringLiteral("alarmFlag"), task.alarmFlag},
            {QStringLiteral("expandFlag"), expandFlag},
            {QStringLiteral("textColor"), task.textColor},
            {QStringLiteral("backgroundColor"), task.backgroundColor},
            {QStringLiteral("createTime"), IsoTime(task.createTime, bias)},
            {QStringLiteral("editTime"), IsoTime(task.editTime, bias)},
            {QStringLiteral("checkTime"), IsoTime(task.checkTime, bias)},
            {QStringLiteral("alarmTime"), IsoTime(task.alarmTime, bias)},
            {QStringLiteral("dueTime"), IsoTime(task.dueTime, bias)},
        };
    };
    QJsonArray tasks;
    for (const TaskWithSubTasks &entry : snapshot) {
        QJsonObject task = object(entry.task, entry.task.expandFlag);
        QJsonArray children;
        for (const TTaskInfo &child : entry.subTasks)
            children.append(object(child, false));
        task.insert(QStringLiteral("children"), children);
        tasks.append(task);
    }
    const QJsonObject result{{QStringLiteral("count"), store.count()}, {QStringLiteral("tasks"), tasks}};
    const QByteArray expected = QJsonDocument(result).toJson(QJsonDocument::Compact) + '\n';
    QCOMPARE(listed.out.toUtf8(), expected);
}

void TestCli::addUnderASubTaskFails()
{
    const QString parent = add(QStringLiteral("parent"));
    const QString child = add(QStringLiteral("child"), parent);
    for (const QString &notTopLevel : {child, QStringLiteral("{NOT-THERE}")}) {
        const Result result = run({QStringLiteral("add"), QStringLiteral("grandchild"), QStringLiteral("--parent"),
                                   notTopLevel});
        QCOMPARE(result.code, 1);
        QVERIFY(result.err.contains(notTopLevel + QStringLiteral(" is not the tid of a top-level task")));
    }
    QCOMPARE(contents(), (QStringList{"child", "parent"}));
}

void TestCli::exportSelection()
{
    const QString parent = add(QStringLiteral("parent"));
    const QString one = add(QStringLiteral("one"), parent);
    const QString two = add(QStringLiteral("two"), parent);
    const QString other = add(QStringLiteral("other"));
    const QString name = file(QStringLiteral("out.qvx"));

    QCOMPARE(run({"export", name, parent}).code, 0);
    QCOMPARE(exportedPids(name), (QStringList{"root parent", parent + " one", parent + " two"}));
    QCOMPARE(run({"export", name, two}).code, 0);
    QCOMPARE(exportedPids(name), QStringList{"root two"});
    QCOMPARE(run({"export", name, other, parent}).code, 0);  // written in tree order
    QCOMPARE(exportedPids(name), (QStringList{"root parent", parent + " one", parent + " two", "root other"}));
    QCOMPARE(run({"export", name}).code, 0);
    QCOMPARE(exportedPids(name), QStringList());

    const Result mixed = run({"export", name, parent, one});
    QCOMPARE(mixed.code, 2);
    QVERIFY(mixed.err.contains(QLatin1String("must be siblings")));
    const Result unwritable = run({"export", file(QStringLiteral("no/folder.qvx")), parent});
    QCOMPARE(unwritable.code, 1);
    QCOMPARE(unwritable.err, QStringLiteral("Error: File Write Failure !\n"));
}

void TestCli::saveDocuments()
{
    const QString parent = add(QStringLiteral("parent"));
    add(QStringLiteral("one"), parent);
    const QString other = add(QStringLiteral("a < b"));
    const auto lines = [this](const QString &name) {
        QFile document(file(name));
        return document.open(QIODevice::ReadOnly) ? QString::fromUtf8(document.readAll()).split(QStringLiteral("\r\n"))
                                                  : QStringList();
    };

    QCOMPARE(run({"save", file(QStringLiteral("out.txt")), parent}).code, 0);
    const QStringList text = lines(QStringLiteral("out.txt"));
    QCOMPARE(text.mid(0, 6), (QStringList{"To-Do List", QString(33, QLatin1Char('-')), "", " * parent - Incomplete",
                                          "   - one - Incomplete", ""}));
    QVERIFY(text.at(7).startsWith(QLatin1String(" Tasks 1, Sub-Tasks 1 - ")));

    QCOMPARE(run({"save", "--all", file(QStringLiteral("all.htm"))}).code, 0);
    const QStringList page = lines(QStringLiteral("all.htm"));
    QVERIFY(page.contains(QStringLiteral("parent</th>")));
    QVERIFY(page.contains(QStringLiteral("a &lt; b</th>")));
    QVERIFY(std::any_of(page.begin(), page.end(), [](const QString &line) {
        return line.startsWith(QLatin1String("<p>Tasks 2, Sub-Tasks 1 - "));
    }));

    const Result mixed = run({"save", file(QStringLiteral("x.txt")), other, parent, add(QStringLiteral("two"), parent)});
    QCOMPARE(mixed.code, 2);
    QVERIFY(mixed.err.contains(QLatin1String("must be siblings")));
    const Result unwritable = run({"save", file(QStringLiteral("no/folder.html")), parent});
    QCOMPARE(unwritable.code, 1);
    QCOMPARE(unwritable.err, QStringLiteral("Error: File write failure!\n"));
}

void TestCli::restoreAnswers_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QStringList>("contents");
    const QStringList edited{"edited a", "edited b", "edited c"};
    QTest::newRow("all") << QStringList{"--answer", "all"} << 1 << QStringList{"a", "b", "c"};
    QTest::newRow("yes") << QStringList{"--answer=YES"} << 3 << QStringList{"a", "b", "c"};
    QTest::newRow("no") << QStringList{"--answer", "no"} << 3 << edited;
    QTest::newRow("abort") << QStringList{"--answer", "abort"} << 1 << edited;
    QTest::newRow("no terminal: no") << QStringList() << 3 << edited;
}

void TestCli::restoreAnswers()
{
    QFETCH(QStringList, options);
    QFETCH(int, questions);
    QFETCH(QStringList, contents);
    for (const char *text : {"a", "b", "c"})
        QVERIFY(!add(QLatin1String(text)).isEmpty());
    const QString backup = file(QStringLiteral("backup.qvx"));
    const Result written = run({"backup", backup});
    QCOMPARE(written.code, 0);
    QVERIFY(written.err.isEmpty());
    {
        Connection connection;
        connection.open(file(QStringLiteral("qvData.qvb")));
        Query query(connection);
        ExecSql(query, QStringLiteral("update tasks set content='edited ' || content"));
    }

    const Result restored = run(QStringList{"restore", backup} + options);
    QCOMPARE(restored.code, 0);
    const QStringList lines = restored.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), questions);
    for (const QString &line : lines)
        QVERIFY2(line.startsWith(QLatin1String("Confirm Replace: Would you like to replace the existing task edited ")),
                 qPrintable(line));
    QCOMPARE(this->contents(), contents);
}

void TestCli::importTwiceAndBadFiles()
{
    const QString parent = add(QStringLiteral("parent"));
    add(QStringLiteral("child"), parent);
    const QString name = file(QStringLiteral("family.qvx"));
    QCOMPARE(run({"export", name, parent}).code, 0);
    QCOMPARE(run({"import", name}).code, 0);
    QCOMPARE(run({"import", name}).code, 0);
    QCOMPARE(contents(), (QStringList{"child", "child", "child", "parent", "parent", "parent"}));
    const Result listed = run({"list", "--json"});
    const QJsonArray tasks = QJsonDocument::fromJson(listed.out.toUtf8()).object().value("tasks").toArray();
    QCOMPARE(tasks.size(), 3);
    for (const QJsonValue &task : tasks)
        QCOMPARE(task.toObject().value("children").toArray().size(), 1);

    QFile bad(file(QStringLiteral("bad.qvx")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("<ambrel app=\"Plumcrest\"><tasks/></ambrel>");
    bad.close();
    for (const char *command : {"restore", "import"}) {
        const Result result = run({QLatin1String(command), bad.fileName()});
        QCOMPARE(result.code, 1);
        QCOMPARE(result.err, QStringLiteral("Error: File read failure!\n"));
    }
    const Result missing = run({"restore", file(QStringLiteral("missing.qvx"))});
    QCOMPARE(missing.code, 1);
    QCOMPARE(contents().size(), 6);
}

// The tasks of "list --json".
QJsonArray TestCli::listed()
{
    const Result result = run({"list", "--json"});
    return QJsonDocument::fromJson(result.out.toUtf8()).object().value(QStringLiteral("tasks")).toArray();
}

void TestCli::icsExportAndImportBack()
{
    const QString parent = add(QStringLiteral("parent\nwith a second line"));
    const QString child = add(QStringLiteral("child"), parent);
    const QString other = add(QStringLiteral("other"));
    const QString name = file(QStringLiteral("tasks.ics"));
    const auto vtodos = [&name] {
        QFile ics(name);
        if (!ics.open(QIODevice::ReadOnly))
            return QStringList();
        const QStringList lines = QString::fromUtf8(ics.readAll()).split(QStringLiteral("\r\n"));
        if (lines.value(0) != QLatin1String("BEGIN:VCALENDAR") || !lines.contains(QStringLiteral("VERSION:2.0")) ||
            !lines.filter(QRegularExpression(QStringLiteral("^PRODID:."))).size())
            return QStringList{"not a calendar"};
        return lines.filter(QRegularExpression(QStringLiteral("^UID:")));
    };

    QCOMPARE(run({"ics", "export", name, child}).code, 0);
    QCOMPARE(vtodos(), QStringList{"UID:" + child});
    QCOMPARE(run({"ics", "export", name, parent}).code, 0);
    QCOMPARE(vtodos(), (QStringList{"UID:" + parent, "UID:" + child}));
    QCOMPARE(run({"ics", "export", name}).code, 0);  // every task
    QCOMPARE(vtodos().size(), 3);
    QVERIFY(vtodos().contains("UID:" + other));

    const QJsonArray before = listed();
    const Result imported = run({"ics", "import", name});
    QCOMPARE(imported.code, 0);
    QVERIFY(imported.err.isEmpty());
    const QJsonArray after = listed();
    QCOMPARE(after.size(), 4);
    QCOMPARE(contents(), (QStringList{"child", "child", "other", "other", "parent\r\nwith a second line",
                                      "parent\r\nwith a second line"}));
    // The copies are the tasks under new ids, field for field.
    QSet<QString> ids;
    for (const QJsonValue &value : after) {
        const QJsonObject task = value.toObject();
        ids.insert(task.value(QStringLiteral("tid")).toString());
        for (const QJsonValue &sub : task.value(QStringLiteral("children")).toArray())
            ids.insert(sub.toObject().value(QStringLiteral("tid")).toString());
    }
    QCOMPARE(ids.size(), 6);
    const auto withoutIds = [](QJsonObject task) {
        task.remove(QStringLiteral("tid"));
        task.remove(QStringLiteral("pid"));
        QJsonArray children = task.take(QStringLiteral("children")).toArray();
        for (qsizetype i = 0; i < children.size(); ++i) {
            QJsonObject sub = children.at(i).toObject();
            sub.remove(QStringLiteral("tid"));
            sub.remove(QStringLiteral("pid"));
            children[i] = sub;
        }
        task.insert(QStringLiteral("children"), children);
        return task;
    };
    for (const QJsonValue &original : before) {
        const QJsonObject want = withoutIds(original.toObject());
        QCOMPARE(std::count_if(after.begin(), after.end(),
                               [&](const QJsonValue &task) { return withoutIds(task.toObject()) == want; }),
                 2);
    }

    QFile notIcs(file(QStringLiteral("tasks.txt")));
    QVERIFY(notIcs.open(QIODevice::WriteOnly));
    notIcs.write("To-Do List\r\n");
    notIcs.close();
    for (const QString &unreadable : {notIcs.fileName(), file(QStringLiteral("missing.ics"))}) {
        const Result result = run({"ics", "import", unreadable});
        QCOMPARE(result.code, 1);
        QCOMPARE(result.err, QStringLiteral("Error: File read failure!\n"));
    }
    const Result unwritable = run({"ics", "export", file(QStringLiteral("no/folder.ics"))});
    QCOMPARE(unwritable.code, 1);
    QCOMPARE(unwritable.err, QStringLiteral("Error: File write failure!\n"));
    QCOMPARE(contents().size(), 6);
}

void TestCli::icsImportFromOtherPrograms_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QStringList>("tasks");  // "content | sub-tasks' contents", top-level tasks in order
    QTest::addColumn<QStringList>("times");  // the top-level tasks' due and reminder times (UTC here)
    QTest::newRow("Thunderbird") << QStringLiteral("thunderbird.ics")
                                 << QStringList{"Plan the garden\r\nSeeds from the market\r\nand new gloves | "
                                                "Buy seeds, Compare prices"}
                                 << QStringList{"2024-07-05T16:00:00.000Z 2024-07-05T15:30:00.000Z"};
    QTest::newRow("Evolution") << QStringLiteral("evolution.ics")
                               << QStringList{"Call the plumber | Find the invoice\r\nIn the blue folder"}
                               << QStringList{"2024-04-15T21:00:00.000Z 2024-04-15T20:00:00.000Z"};
}

void TestCli::icsImportFromOtherPrograms()
{
    QFETCH(QString, fixture);
    QFETCH(QStringList, tasks);
    QFETCH(QStringList, times);
    const Result result = run({"ics", "import", QStringLiteral(ICS_FIXTURES "/") + fixture});
    QCOMPARE(result.code, 0);
    QStringList shown, due;
    for (const QJsonValue &value : listed()) {
        const QJsonObject task = value.toObject();
        QStringList children;
        for (const QJsonValue &sub : task.value(QStringLiteral("children")).toArray())
            children.append(sub.toObject().value(QStringLiteral("content")).toString());
        shown.append(task.value(QStringLiteral("content")).toString() + " | " + children.join(QStringLiteral(", ")));
        due.append(task.value(QStringLiteral("dueTime")).toString() + ' ' +
                   task.value(QStringLiteral("alarmTime")).toString());
    }
    QCOMPARE(shown, tasks);
    QCOMPARE(due, times);
}

// A running program is asked to reload after a command that changed the database, and
// only then.
void TestCli::reloadRequestedAfterChanges()
{
    SingleInstance running;
    QCOMPARE(running.listen(), SingleInstance::ListenResult::Listening);
    QSignalSpy reloads(&running, &SingleInstance::reloadRequested);

    // The event loop runs while each process works, so the listener can answer.
    const auto runHere = [this](const QStringList &arguments) {
        std::unique_ptr<QProcess> process(start(arguments));
        process->closeWriteChannel();
        QSignalSpy finished(process.get(), &QProcess::finished);
        return finished.wait(60000) && process->exitCode() == 0;
    };
    QVERIFY(runHere({"add", "task"}));
    QCOMPARE(reloads.size(), 1);
    const QString name = file(QStringLiteral("b.qvx"));
    QVERIFY(runHere({"backup", name}));
    QVERIFY(runHere({"list"}));
    QVERIFY(runHere({"restore", name, "--answer", "no"}));  // asked, nothing replaced
    QCOMPARE(reloads.size(), 1);
    QVERIFY(runHere({"import", name}));
    QCOMPARE(reloads.size(), 2);
    QVERIFY(runHere({"add", "to do"}));
    QCOMPARE(reloads.size(), 3);
    const QString tid = listed().last().toObject().value(QStringLiteral("tid")).toString();
    QVERIFY(runHere({"show", tid}));
    QCOMPARE(reloads.size(), 3);
    QVERIFY(runHere({"done", tid}));
    QCOMPARE(reloads.size(), 4);
}

void TestCli::readOnlyDataCanBeReadAndRescued_data()
{
    QTest::addColumn<QFile::Permissions>("folderMode");
    QTest::addColumn<QFile::Permissions>("fileMode");
    const QFile::Permissions read = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const QFile::Permissions enter = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    const QFile::Permissions write = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    QTest::newRow("read-only folder") << (read | enter) << (read | QFile::WriteOwner);
    QTest::newRow("read-only file") << (read | enter | write) << read;
}

void TestCli::readOnlyDataCanBeReadAndRescued()
{
    QFETCH(QFile::Permissions, folderMode);
    QFETCH(QFile::Permissions, fileMode);
    const QString exportedTid = add(QStringLiteral("rescue me"));
    QVERIFY(!exportedTid.isEmpty());
    QTemporaryDir rescue;
    QVERIFY(QFile::setPermissions(rescue.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                     QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    const QString database = file(QStringLiteral("qvData.qvb"));
    const QByteArray before = [&] {
        QFile data(database);
        return data.open(QIODevice::ReadOnly) ? data.readAll() : QByteArray();
    }();
    QVERIFY(QFile::setPermissions(database, fileMode));
    QVERIFY(QFile::setPermissions(m_data->path(), folderMode));
    m_asAnotherUser = true;

    const Result list = run({QStringLiteral("list")});
    const QString backupFile = rescue.filePath(QStringLiteral("rescued.qvx"));
    const Result backup = run({QStringLiteral("backup"), backupFile});
    const Result addition = run({QStringLiteral("add"), QStringLiteral("not stored")});
    const Result import = run({QStringLiteral("import"), backupFile});
    const QString tid = exportedTid.mid(1, 8);
    QList<Result> changes{addition, import};
    for (const QStringList &change : QList<QStringList>{{"done", tid}, {"undone", tid}, {"remove", tid},
                                                         {"edit", tid, "new text"}, {"due", tid, "tomorrow"},
                                                         {"remind", tid, "none"}, {"color", tid, "--text", "red"},
                                                         {"move", tid, "--top"}})
        changes.append(run(change));

    m_asAnotherUser = false;
    QFile::setPermissions(m_data->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(list.code, 0);
    QVERIFY2(list.out.contains(QStringLiteral("rescue me")), qPrintable(list.err));
    QCOMPARE(backup.code, 0);
    QVERIFY(exportedPids(backupFile).contains(QStringLiteral("root rescue me")));
    for (const Result &change : std::as_const(changes)) {
        QCOMPARE(change.code, 1);
        QVERIFY2(change.err.contains(QStringLiteral("is read-only")), qPrintable(change.err));
    }
    QFile data(database);
    QVERIFY(data.open(QIODevice::ReadOnly));
    QCOMPARE(data.readAll(), before);
    QCOMPARE(contents(), QStringList{QStringLiteral("rescue me")});
}

// Father, child and another: "P" (top-level) with its sub-task "C", and "O" (top-level).
QHash<QString, QString> TestCli::family()
{
    const QString parent = add(QStringLiteral("parent"));
    return {{"P", parent}, {"C", add(QStringLiteral("child"), parent)}, {"O", add(QStringLiteral("other"))}};
}

// One field of a stored task as the rows of changes() name it.
QString TestCli::field(const QString &tid, const QString &name)
{
    Connection connection;
    connection.open(file(QStringLiteral("qvData.qvb")));
    TaskStore store(connection);
    const std::optional<TTaskInfo> task = store.find(tid);
    if (name == QLatin1String("gone"))
        return QLatin1String(task ? "no" : "yes");
    if (!task)
        return QStringLiteral("(gone)");
    const auto dated = [](bool on, TDateTime when) {
        return QLatin1String(on ? "on " : "off ") + DateTimeToQt(when).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    };
    if (name == QLatin1String("pid"))
        return task->pid;
    if (name == QLatin1String("content"))
        return task->content;
    if (name == QLatin1String("done"))
        return QString::number(task->checkFlag);
    if (name == QLatin1String("doneToday"))  // the program runs at UTC here
        return QLatin1String(DateOf(task->checkTime) == QDateTime::currentDateTimeUtc().date() ? "yes" : "no");
    if (name == QLatin1String("due"))
        return dated(task->dueFlag, task->dueTime);
    if (name == QLatin1String("reminder"))
        return dated(task->alarmFlag, task->alarmTime);
    if (name == QLatin1String("colors"))
        return QStringLiteral("%1/%2").arg(task->textColor).arg(task->backgroundColor);
    if (name == QLatin1String("expand"))
        return QString::number(task->expandFlag);
    return QStringLiteral("(no field %1)").arg(name);
}

// Every row of every task, to see that nothing changed.
QByteArray TestCli::allRows()
{
    Connection connection;
    connection.open(file(QStringLiteral("qvData.qvb")));
    Query query(connection);
    OpenSql(query, QStringLiteral("select * from tasks order by tid"));
    QByteArray rows;
    for (; !query.eof(); query.next()) {
        for (int i = 0; i < query.fieldCount(); ++i)
            rows += query.field(i).asString().toUtf8() + '|';
        rows += '\n';
    }
    return rows;
}

void TestCli::changes_data()
{
    // Words P, C and O name the family's tasks by the first eight digits of their ids in
    // lower case; {P} and the like by the whole id; {P8 by the brace and eight digits.
    QTest::addColumn<QStringList>("before");  // commands, their words joined by |
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("expected");  // "O.field=value"; a value P, C or O is that id

    QTest::newRow("done") << QStringList() << QStringList{"done", "P", "{O}"} << QByteArray() << 0
                          << "Completed " << QStringList{"P.done=1", "P.doneToday=yes", "O.done=1", "C.done=0"};
    QTest::newRow("done again") << QStringList{"done|O"} << QStringList{"done", "O"} << QByteArray() << 0
                                << "\"other\" was complete already" << QStringList{"O.done=1"};
    QTest::newRow("undone") << QStringList{"done|C"} << QStringList{"undone", "{C8"} << QByteArray() << 0
                            << "Marked incomplete: " << QStringList{"C.done=0"};
    QTest::newRow("remove with its sub-task")
        << QStringList() << QStringList{"remove", "P"} << QByteArray() << 0
        << "Removed 1 task and 1 sub-task under it.\n" << QStringList{"P.gone=yes", "C.gone=yes", "O.gone=no"};
    QTest::newRow("remove a sub-task") << QStringList() << QStringList{"remove", "C"} << QByteArray() << 0
                                       << "Removed 1 task.\n" << QStringList{"C.gone=yes", "P.gone=no"};
    QTest::newRow("remove a task and the sub-task gone with it")
        << QStringList() << QStringList{"remove", "P", "C", "O"} << QByteArray() << 0
        << "Removed 2 tasks and 1 sub-task under them.\n" << QStringList{"P.gone=yes", "C.gone=yes", "O.gone=yes"};
    QTest::newRow("edit") << QStringList() << QStringList{"edit", "O", "new\ntext \n"} << QByteArray() << 0
                          << "Edited " << QStringList{"O.content=new\r\ntext"};
    QTest::newRow("edit from standard input") << QStringList() << QStringList{"edit", "O", "-"}
                                              << QByteArray("from input\r\n") << 0 << "Edited "
                                              << QStringList{"O.content=from input"};
    QTest::newRow("edit to the same text") << QStringList() << QStringList{"edit", "O", "other"} << QByteArray() << 0
                                           << "is unchanged" << QStringList{"O.content=other"};
    QTest::newRow("due") << QStringList() << QStringList{"due", "O", "2030-01-02"} << QByteArray() << 0
                         << "Due 2030-01-02: " << QStringList{"O.due=on 2030-01-02 00:00", "P.due=off 1899-12-30 00:00"};
    QTest::newRow("due none keeps the date")
        << QStringList{"due|O|2030-01-02 13:00"} << QStringList{"due", "O", "none"} << QByteArray() << 0
        << "No due date: " << QStringList{"O.due=off 2030-01-02 13:00"};
    QTest::newRow("remind") << QStringList() << QStringList{"remind", "C", "2030-01-02 9:15"} << QByteArray() << 0
                            << "Reminder 2030-01-02 09:15: " << QStringList{"C.reminder=on 2030-01-02 09:15"};
    QTest::newRow("remind none") << QStringList{"remind|C|2030-01-02 9:15"} << QStringList{"remind", "C", "none"}
                                 << QByteArray() << 0 << "No reminder: "
                                 << QStringList{"C.reminder=off 2030-01-02 09:15"};
    QTest::newRow("color") << QStringList() << QStringList{"color", "O", "--text", "RED", "--background", "skyblue"}
                           << QByteArray() << 0 << "Colours text Red, background Sky Blue: "
                           << QStringList{"O.colors=255/15780518"};
    QTest::newRow("color one of two")
        << QStringList{"color|O|--text|#102030|--background|navy"} << QStringList{"color", "O", "--background=default"}
        << QByteArray() << 0 << "Colours text #102030, background default: " << QStringList{"O.colors=3153936/0"};
    QTest::newRow("move under a task") << QStringList() << QStringList{"move", "O", "--parent", "P"} << QByteArray()
                                       << 0 << "Moved " << QStringList{"O.pid=P", "P.expand=1", "C.pid=P"};
    QTest::newRow("move a task with its sub-tasks")
        << QStringList() << QStringList{"move", "P", "--parent", "O"} << QByteArray() << 0 << ", with 1 sub-task\n"
        << QStringList{"P.pid=O", "C.pid=O", "O.expand=1"};
    QTest::newRow("move to the top") << QStringList() << QStringList{"move", "C", "--top"} << QByteArray() << 0
                                     << "to the top level" << QStringList{"C.pid=root", "P.pid=root"};
    QTest::newRow("move where it is") << QStringList() << QStringList{"move", "O", "--top"} << QByteArray() << 0
                                      << "is a top-level task already" << QStringList{"O.pid=root"};
    QTest::newRow("move under a sub-task") << QStringList() << QStringList{"move", "O", "--parent", "C"}
                                           << QByteArray() << 1 << QString() << QStringList{"O.pid=root", "P.expand=0"};
    QTest::newRow("move under itself") << QStringList() << QStringList{"move", "P", "--parent", "P"} << QByteArray()
                                       << 1 << QString() << QStringList{"P.pid=root"};
}

void TestCli::changes()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QStringList, expected);
    const QHash<QString, QString> tids = family();
    QCOMPARE(tids.size(), 3);
    const auto named = [&tids](QStringList words) {
        for (QString &word : words) {
            const QString label = word.startsWith(QLatin1Char('{')) ? word.mid(1, 1) : word;
            if (!tids.contains(label))
                continue;
            const QString tid = tids.value(label);
            word = word == label                  ? tid.mid(1, 8).toLower()
                   : word.endsWith(QLatin1Char('}')) ? tid
                                                   : tid.left(9);
        }
        return words;
    };
    for (const QString &command : before)
        QCOMPARE(run(named(command.split(QLatin1Char('|')))).code, 0);

    const Result result = run(named(arguments), input);
    QVERIFY2(result.code == code, qPrintable(result.err));
    QVERIFY2(result.out.contains(out), qPrintable(result.out));
    if (code != 0)
        QVERIFY(result.err.startsWith(QStringLiteral("quillpad-cli %1: ").arg(arguments.front())));
    for (const QString &check : expected) {
        const QString label = check.section(QLatin1Char('.'), 0, 0);
        const QString name = check.section(QLatin1Char('.'), 1).section(QLatin1Char('='), 0, 0);
        const QString value = check.section(QLatin1Char('='), 1);
        QCOMPARE(check.section(QLatin1Char('='), 0, 0) + QLatin1Char('=') + field(tids.value(label), name),
                 check.section(QLatin1Char('='), 0, 0) + QLatin1Char('=') + tids.value(value, value));
    }
}

void TestCli::tidsThatNameNoOneTask_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("err");  // each in the error

    const QList<QStringList> commands{
        {"show"}, {"done"}, {"undone"}, {"remove"}, {"edit", "#", "text"}, {"due", "#", "today"},
        {"remind", "#", "today"}, {"color", "#", "--text", "red"}, {"move", "#", "--top"},
        {"move", "p10", "--parent", "#"}};
    for (const QStringList &command : commands) {
        const auto with = [&command](const char *tid) {
            QStringList words = command;
            if (words.size() == 1)
                words.append(QStringLiteral("#"));
            words.replace(words.indexOf(QStringLiteral("#")), QLatin1String(tid));
            return words;
        };
        const QByteArray name = command.join(QLatin1Char(' ')).toUtf8();
        QTest::newRow(name + ": unknown") << with("0bad") << 1 << QStringList{"no task's id starts with 0bad"};
        QTest::newRow(name + ": two ids") << with("aaaa") << 1
                                          << QStringList{"aaaa starts the ids of several tasks",
                                                         "{AAAA0001-0000-4000-8000-000000000001}  first twin",
                                                         "{AAAA0002-0000-4000-8000-000000000002}  second twin"};
    }
    QTest::newRow("an id that starts another") << QStringList{"show", "p1"} << 0 << QStringList();
    QTest::newRow("the start of both") << QStringList{"show", "p"} << 1 << QStringList{"p1  short", "p10  longer"};
    QTest::newRow("in lower case") << QStringList{"show", "aaaa0001"} << 0 << QStringList();
    QTest::newRow("with the brace") << QStringList{"show", "{aaaa0002"} << 0 << QStringList();
    QTest::newRow("export by the start") << QStringList{"export", "x.qvx", "aaaa0001"} << 0 << QStringList();
    QTest::newRow("export, two ids") << QStringList{"export", "x.qvx", "aaaa"} << 1
                                     << QStringList{"several tasks"};
}

// Unknown, ambiguous and unique starts of ids; nothing changes when a TID names no one task.
void TestCli::tidsThatNameNoOneTask()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QStringList, err);
    QVERIFY(!add(QStringLiteral("made by the program")).isEmpty());
    {
        Connection connection;
        connection.open(file(QStringLiteral("qvData.qvb")));
        Query query(connection);
        ExecSql(query, QStringLiteral(
            "insert into tasks (tid, pid, content) values "
            "('{AAAA0001-0000-4000-8000-000000000001}', 'root', 'first twin'), "
            "('{AAAA0002-0000-4000-8000-000000000002}', 'root', 'second twin'), "
            "('p1', 'root', 'short'), ('p10', 'root', 'longer')"));
    }
    const QByteArray rows = allRows();
    for (QString &word : arguments) {
        if (word == QLatin1String("x.qvx"))
            word = file(word);
    }
    const Result result = run(arguments);
    QVERIFY2(result.code == code, qPrintable(result.err));
    for (const QString &part : err)
        QVERIFY2(result.err.contains(part), qPrintable(result.err));
    if (code != 0)
        QCOMPARE(allRows(), rows);
}

void TestCli::listFilters_data()
{
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<QStringList>("tasks");  // first words of the texts, in order
    QTest::newRow("none") << QStringList() << QStringList{"A", "B", "B1", "C", "C1", "D", "E"};
    QTest::newRow("incomplete") << QStringList{"--incomplete"} << QStringList{"A", "B", "C", "C1"};
    QTest::newRow("completed: a task shows for its sub-task")
        << QStringList{"--completed"} << QStringList{"B", "B1", "D", "E"};
    QTest::newRow("overdue") << QStringList{"--overdue"} << QStringList{"A", "C", "C1"};
    QTest::newRow("due today") << QStringList{"--due", "today"} << QStringList{"B"};
    QTest::newRow("due this week") << QStringList{"--due=week"} << QStringList{"B", "C"};
    QTest::newRow("search, any case") << QStringList{"--search", "CHILD"} << QStringList{"B", "B1", "C", "C1"};
    QTest::newRow("reminders") << QStringList{"--reminders"} << QStringList{"B"};
    QTest::newRow("incomplete and due this week")
        << QStringList{"--incomplete", "--due", "week"} << QStringList{"B", "C"};
    QTest::newRow("overdue and a search") << QStringList{"--overdue", "--search", "alpha"} << QStringList{"A"};
    QTest::newRow("completed and a search") << QStringList{"--completed", "--search", "bravo"}
                                            << QStringList{"B", "B1"};
    QTest::newRow("nothing passes") << QStringList{"--reminders", "--completed"} << QStringList();
}

// The same tasks in the table as in the JSON, for each filter.
void TestCli::listFilters()
{
    QFETCH(QStringList, filters);
    QFETCH(QStringList, tasks);
    QVERIFY(!add(QStringLiteral("made by the program")).isEmpty());
    {
        Connection connection;
        connection.open(file(QStringLiteral("qvData.qvb")));
        TaskStore store(connection);
        Query query(connection);
        ExecSql(query, QStringLiteral("delete from tasks"));
        const QDate today = QDateTime::currentDateTimeUtc().date();  // the program runs at UTC here
        const auto task = [&](const char *text, const QString &pid, bool done, int dueIn, bool reminder = false) {
            TTaskInfo info;
            info.pid = pid;
            info.content = QLatin1String(text);
            store.insertNew(info);
            info.checkFlag = done;
            info.dueFlag = dueIn != 0;
            info.dueTime = EncodeDateTime(today.addDays(dueIn == 99 ? 0 : dueIn), QTime(12, 0));
            info.alarmFlag = reminder;
            info.alarmTime = EncodeDateTime(today.addDays(1), QTime(9, 0));
            store.storeRecord(info);
            return info.tid;
        };
        task("A alpha overdue", RootPid, false, -2);
        const QString bravo = task("B bravo due today", RootPid, false, 99, true);
        task("B1 bravo child done", bravo, true, 0);
        const QString charlie = task("C charlie in three days", RootPid, false, 3);
        task("C1 charlie child overdue", charlie, false, -1);
        task("D delta far and done", RootPid, true, 10);
        task("E echo done long ago", RootPid, true, -5);
    }

    const Result json = run(QStringList{"list", "--json"} + filters);
    QCOMPARE(json.code, 0);
    QStringList shown, ids;
    for (const QJsonValue &value : QJsonDocument::fromJson(json.out.toUtf8()).object().value("tasks").toArray()) {
        QJsonArray family{value};
        for (const QJsonValue &sub : value.toObject().value(QStringLiteral("children")).toArray())
            family.append(sub);
        for (const QJsonValue &each : family) {
            shown.append(each.toObject().value(QStringLiteral("content")).toString().section(QLatin1Char(' '), 0, 0));
            ids.append(each.toObject().value(QStringLiteral("tid")).toString().mid(1, 8));
        }
    }
    QCOMPARE(shown, tasks);

    const Result table = run(QStringList{"list"} + filters);
    QCOMPARE(table.code, 0);
    QStringList rows;
    for (const QString &line : table.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1)) {
        if (!line.startsWith(QLatin1String("   ")))  // not a text's next line
            rows.append(line.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty));
    }
    QCOMPARE(rows, ids);
}

void TestCli::listWrapsToTheWidth()
{
    const QString words = QStringLiteral("the quick brown fox jumps over the lazy dog and then "
                                         "Pneumonoultramicroscopicsilicovolcanoconiosis again");
    const QString parent = add(words);
    QVERIFY(!add(QStringLiteral("日本語のタスクです。日本語のタスクです。"), parent).isEmpty());
    m_environment.insert(QStringLiteral("COLUMNS"), QStringLiteral("40"));
    const Result result = run({QStringLiteral("list")});
    QCOMPARE(result.code, 0);
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.value(1).left(16), parent.mid(1, 8) + QStringLiteral("    [ ] "));
    QStringList text;
    for (const QString &line : lines.mid(1)) {
        if (line.contains(QStringLiteral("日本語")))
            break;
        QVERIFY2(line.size() <= 40, qPrintable(line));
        text.append(line.mid(16));
    }
    QCOMPARE(text.join(QString()).remove(QLatin1Char(' ')), QString(words).remove(QLatin1Char(' ')));
    // Wide characters take two columns each: the sub-task's 22 columns of text are 11 of them.
    const QStringList wide = lines.filter(QStringLiteral("タスク"));
    QCOMPARE(wide.size(), 2);
    QCOMPARE(wide.at(0).section(QStringLiteral("[ ] "), 1), QStringLiteral("日本語のタスクです。日"));
    QCOMPARE(wide.at(1), QString(18, QLatin1Char(' ')) + QStringLiteral("本語のタスクです。"));
}

void TestCli::editInTheEditor()
{
    const QString tid = add(QStringLiteral("first\nsecond"));
    QTemporaryDir scripts;
    const QString editor = scripts.filePath(QStringLiteral("editor.sh"));
    {
        // Shows what it was given on stdout, then writes a new text or fails.
        QFile script(editor);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ntest -t 0 || exit 9\ncat \"$2\"\n[ \"$1\" = fail ] && exit 1\n"
                     "printf 'edited\\nin the editor\\n' > \"$2\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
    }
    m_throughTerminal = true;
    m_environment.insert(QStringLiteral("EDITOR"), editor + QStringLiteral(" fail"));
    const Result failed = run({"edit", tid.mid(1, 8)});
    QCOMPARE(failed.code, 1);
    QVERIFY2(failed.out.contains(QStringLiteral("first\r\nsecond\r\n")), qPrintable(failed.out));
    QVERIFY2(failed.out.contains(QStringLiteral("ended with an error")), qPrintable(failed.out));
    QCOMPARE(contents(), QStringList{"first\r\nsecond"});

    m_environment.insert(QStringLiteral("EDITOR"), editor + QStringLiteral(" write"));
    const Result edited = run({"edit", tid.mid(1, 8)});
    QVERIFY2(edited.code == 0, qPrintable(edited.out));
    QCOMPARE(contents(), QStringList{"edited\r\nin the editor"});
}

// Each command and each option its usage names, in the bash, zsh and fish completions and
// the manual page.
void TestCli::completionsAndManualNameEveryOption()
{
    const auto read = [](const char *name) {
        QFile text(QStringLiteral(RESOURCES "/") + QLatin1String(name));
        return text.open(QIODevice::ReadOnly) ? QString::fromUtf8(text.readAll()) : QString();
    };
    struct Place {
        const char *name;
        QString text;
        QString command, option;  // what names a command and an option there; %1 the name
    };
    const QList<Place> places{
        {"bash", read("completion/quillpad-cli"), QStringLiteral("\\b%1\\b"), QStringLiteral("--%1\\b")},
        {"zsh", read("completion/_quillpad-cli"), QStringLiteral("\\b%1\\b"), QStringLiteral("--%1\\b")},
        {"fish", read("completion/quillpad-cli.fish"), QStringLiteral("-a %1 "), QStringLiteral("-l %1 ")},
        {"man", read("man/quillpad-cli.1"), QStringLiteral("(\\\\fB|\\.B[IR]? )%1\\b"), QStringLiteral("\\\\-\\\\-%1\\b")},
    };
    const Result help = run({QStringLiteral("--help")});
    QCOMPARE(help.code, 0);
    const QStringList lines = help.out.section(QStringLiteral("Commands:\n"), 1).section(QStringLiteral("\n\n"), 0, 0)
                                  .split(QLatin1Char('\n'));
    QVERIFY(lines.size() >= 18);
    for (const QString &line : lines) {
        const QString command = line.trimmed().section(QLatin1Char(' '), 0, 0);
        const Result usage = run({command, QStringLiteral("--help")});
        QCOMPARE(usage.code, 0);
        QStringList options;
        const QString synopsis = usage.out.section(QLatin1Char('\n'), 0, 0);
        for (const QRegularExpressionMatch &match : QRegularExpression(QStringLiteral("--([a-z]+)")).globalMatch(synopsis))
            options.append(match.captured(1));
        for (const Place &place : places) {
            QVERIFY2(!place.text.isEmpty(), place.name);
            QVERIFY2(place.text.contains(QRegularExpression(place.command.arg(command))),
                     qPrintable(QStringLiteral("%1 lacks %2").arg(QLatin1String(place.name), command)));
            for (const QString &option : std::as_const(options))
                QVERIFY2(place.text.contains(QRegularExpression(place.option.arg(option))),
                         qPrintable(QStringLiteral("%1 lacks %2 --%3").arg(QLatin1String(place.name), command, option)));
        }
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
