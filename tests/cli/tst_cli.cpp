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

private:
    QProcess *start(const QStringList &arguments);
    Result run(const QStringList &arguments);
    QString add(const QString &text, const QString &parent = QString());
    QStringList contents();
    QStringList exportedPids(const QString &fileName);
    QJsonArray listed();
    QString file(const QString &name) const { return m_data->filePath(name); }

    QTemporaryDir m_runtime;  // where the test's "running program" listens
    std::unique_ptr<QTemporaryDir> m_data;
    bool m_asAnotherUser = false;  // run as nobody when the test runs as root, which may write anything
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
}

QProcess *TestCli::start(const QStringList &arguments)
{
    auto *process = new QProcess(this);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLPAD_HOME"), m_data->path());
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC0"));
    process->setProcessEnvironment(environment);
    if (m_asAnotherUser && ::geteuid() == 0) {
        process->setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(127);
        });
    }
    process->start(QStringLiteral(QUILLPAD_CLI), arguments);
    return process;
}

Result TestCli::run(const QStringList &arguments)
{
    std::unique_ptr<QProcess> process(start(arguments));
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
    QTest::newRow("list") << QStringList{"list", "--help"} << QStringLiteral("Usage: quillpad-cli list [--json]");
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

    const Result text = run({QStringLiteral("list")});
    QCOMPARE(text.code, 0);
    QVERIFY(text.out.contains(parent + QStringLiteral(" [ ] first line  second line\n    ") + child +
                              QStringLiteral(" [ ] a sub-task\n")));

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
    QVERIFY(!add(QStringLiteral("rescue me")).isEmpty());
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

    m_asAnotherUser = false;
    QFile::setPermissions(m_data->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(list.code, 0);
    QVERIFY2(list.out.contains(QStringLiteral("rescue me")), qPrintable(list.err));
    QCOMPARE(backup.code, 0);
    QVERIFY(exportedPids(backupFile).contains(QStringLiteral("root rescue me")));
    for (const Result &change : {addition, import}) {
        QCOMPARE(change.code, 1);
        QVERIFY2(change.err.contains(QStringLiteral("is read-only")), qPrintable(change.err));
    }
    QFile data(database);
    QVERIFY(data.open(QIODevice::ReadOnly));
    QCOMPARE(data.readAll(), before);
    QCOMPARE(contents(), QStringList{QStringLiteral("rescue me")});
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
