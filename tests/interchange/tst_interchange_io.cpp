// Export, backup, restore and import against a real database file.

#include "store/AppError.h"
#include "store/DateText.h"
#include "interchange/Dm_Io.h"
#include "interchange/ExportTasks.h"
#include "InterchangeFixture.h"
#include "interchange/QvxContainer.h"
#include "interchange/QvxDocument.h"
#include "interchange/TaskDocuments.h"
#include "store/TaskStore.h"
#include "tasks/TaskLoading.h"
#include "tasks/TaskTree.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFile>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

#include <algorithm>

#include <zlib.h>

using namespace quillpad;

namespace {

const QString Parent = QStringLiteral("{00000000-0000-0000-0000-00000000000A}");
const QString ChildOne = QStringLiteral("{00000000-0000-0000-0000-0000000000B1}");
const QString ChildTwo = QStringLiteral("{00000000-0000-0000-0000-0000000000B2}");
const QString Other = QStringLiteral("{00000000-0000-0000-0000-00000000000C}");

// A parent with two sub-tasks and another top-level task.
void AddFamily(InterchangeFixture &fixture)
{
    fixture.insertTask(FullTask(Parent, RootPid, QStringLiteral("parent")));
    fixture.insertTask(FullTask(ChildOne, Parent, QStringLiteral("child one")));
    fixture.insertTask(FullTask(ChildTwo, Parent, QStringLiteral("child two\r\nsecond line")));
    fixture.insertTask(FullTask(Other, RootPid, QStringLiteral("other")));
}

QByteArray ReadAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray XmlOf(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ReadQvxContainer(file);
}

// "tid pid" of every task element, in document order.
QStringList TaskElements(const QString &fileName)
{
    Txmltry xml;
    xml.LoadDocument(fileName, true);
    QStringList elements;
    for (const pugi::xml_node &task : xml.NodeAt(Qvx::TasksPath).children())
        elements.append(QString::fromUtf8(task.attribute("tid").value()) + QLatin1Char(' ') +
                        QString::fromUtf8(task.attribute("pid").value()));
    return elements;
}

QString Root(const QString &tasks, const QString &memos = QString())
{
    return QStringLiteral(R"(<ambrel app="Plumcrest" appversion="1" dataversion="1.1" time="">)"
                          "<tasks>%1</tasks><memos>%2</memos><notes/><peers/></ambrel>")
        .arg(tasks, memos);
}

QString TaskXml(const QString &tid, const QString &pid, const QString &content, const QString &checkFlag = "False")
{
    return QStringLiteral(R"(<task tid="%1" pid="%2" content="%3" check-flag="%4" alarm-flag="False" )"
                          R"(due-flag="False" text-color="0" background-color="0" )"
                          R"(create-time="2025-01-01T10:00:00.000Z" edit-time="2025-01-02T10:00:00.000Z" )"
                          R"(check-time="1899-12-30T00:00:00.000Z" alarm-time="1899-12-30T00:00:00.000Z" )"
                          R"(due-time="1899-12-30T00:00:00.000Z"/>)")
        .arg(tid, pid, content, checkFlag);
}

QByteArray Container(qint64 storedLength, const QByteArray &xml)
{
    uLongf size = compressBound(static_cast<uLong>(xml.size()));
    QByteArray packed(static_cast<qsizetype>(size), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef *>(packed.data()), &size, reinterpret_cast<const Bytef *>(xml.constData()),
              static_cast<uLong>(xml.size()), Z_BEST_COMPRESSION);
    packed.truncate(static_cast<qsizetype>(size));
    const qint64 header = qToLittleEndian(storedLength);
    return QByteArray(reinterpret_cast<const char *>(&header), 8) + packed;
}

// Takes the first `room` bytes, then refuses every write.
class FillingDevice : public QBuffer {
public:
    explicit FillingDevice(qint64 room) : m_room(room) {}

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        if (size > m_room)
            return -1;
        m_room -= size;
        return QBuffer::writeData(data, size);
    }

private:
    qint64 m_room;
};

QString WriteBytes(InterchangeFixture &fixture, const QByteArray &bytes)
{
    const QString name = fixture.file(QStringLiteral("bad.qvx"));
    QFile file(name);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return name;
}

}  // namespace

class TestInterchangeIo : public QObject {
    Q_OBJECT

private slots:
    void exportSelection_data();
    void exportSelection();
    void exportCannotWrite();
    void exportCommand();

    void backupAndRestoreIntoEmpty();
    void nullFlagsRoundTrip();
    void backupCannotWrite();
    void backupIsTheSavedDocument();
    void containerIsOneDeflateOfThePieces_data();
    void containerIsOneDeflateOfThePieces();
    void containerReportsARefusedWrite_data();
    void containerReportsARefusedWrite();
    void fileDialogs();

    void badFilesChangeNothing_data();
    void badFilesChangeNothing();
    void aSmallFileCannotClaimGigabytes();
    void noFileIsWrittenOverTheDatabase_data();
    void noFileIsWrittenOverTheDatabase();
    void foreignFileIsRefused();

    void restoreAnswers_data();
    void restoreAnswers();
    void replaceQuestionTexts();
    void restoreSkipsIdenticalRecords();
    void restoreStopsAtConversionError();
    void restoreAcrossZones();
    void timesAtTheEndsOfTheRangeRoundTrip();
    void backupsAreXmlAndKeepEveryXmlCharacter();

    void importTwice();
    void importSubTaskBeforeParent();
    void importOrphanSubTask();
    void importMemos();
    void importKeepsLineBreaksAsCrLf();
    void manyTasksEndAsIfTheFileWereReadFirst_data();
    void manyTasksEndAsIfTheFileWereReadFirst();
    void anIdMetTwiceEndsAsWhenReadFirst_data();
    void anIdMetTwiceEndsAsWhenReadFirst();
    void missingAttributesAreReportedAsWhenReadFirst_data();
    void missingAttributesAreReportedAsWhenReadFirst();
};

void TestInterchangeIo::exportSelection_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("elements");
    QTest::newRow("task with two sub-tasks")
        << QStringList{Parent}
        << QStringList{Parent + " root", ChildOne + ' ' + Parent, ChildTwo + ' ' + Parent};
    QTest::newRow("one sub-task travels as a top-level task") << QStringList{ChildTwo} << QStringList{ChildTwo + " root"};
    QTest::newRow("two top-level tasks") << QStringList{Parent, Other}
                                         << QStringList{Parent + " root", ChildOne + ' ' + Parent,
                                                        ChildTwo + ' ' + Parent, Other + " root"};
    QTest::newRow("nothing selected") << QStringList() << QStringList();
}

void TestInterchangeIo::exportSelection()
{
    QFETCH(QStringList, selected);
    QFETCH(QStringList, elements);
    InterchangeFixture fixture;
    AddFamily(fixture);
    TaskTree tree;
    TaskStore store(fixture.connection);
    LoadTaskTree(tree, store);
    // A sub-task hidden by the view filter still travels with its parent.
    tree.findByTid(ChildOne)->visible = false;
    QList<TaskNode *> nodes;
    for (const QString &tid : selected)
        nodes.append(tree.findByTid(tid));

    const QString name = fixture.file(QStringLiteral("export.qvx"));
    QVERIFY(ExportTasksXml(name, SnapshotOf(nodes)));
    QCOMPARE(TaskElements(name), elements);
    QVERIFY(fixture.prompter.messages.isEmpty());
    const QByteArray xml = XmlOf(name);
    QVERIFY(xml.contains("<memos"));
    QVERIFY(!xml.contains("<memo "));

    // Read back into an empty database, the file gives the same tasks.
    InterchangeFixture empty;
    QVERIFY(TIoDm(empty.connection).RestoreDatabaseFrom(name));
    QCOMPARE(empty.tasks().size(), elements.size());
    for (const QString &tid : selected) {
        TTaskInfo expected = fixture.task(tid);
        expected.pid = RootPid;
        QCOMPARE(empty.task(tid), expected);
    }
}

void TestInterchangeIo::exportCannotWrite()
{
    InterchangeFixture fixture;
    QVERIFY(!ExportTasksXml(fixture.file(QStringLiteral("no/such/folder/x.qvx")), {}));
    QCOMPARE(fixture.prompter.lines(), QStringList{QStringLiteral("Error: File Write Failure !")});
}

void TestInterchangeIo::exportCommand()
{
    InterchangeFixture fixture;
    AddFamily(fixture);
    ExportSelectedTasks({});
    QCOMPARE(fixture.prompter.lines(), QStringList{QStringLiteral("Warning: Please select a task!")});
    QVERIFY(fixture.prompter.fileRequests.isEmpty());

    TaskTree tree;
    TaskStore store(fixture.connection);
    LoadTaskTree(tree, store);
    const QString name = fixture.file(QStringLiteral("chosen.qvx"));
    fixture.prompter.setNextFileName(name);
    ExportSelectedTasks(SnapshotOf({tree.findByTid(Other)}));
    QCOMPARE(fixture.prompter.fileRequests.size(), 1);
    QCOMPARE(fixture.prompter.fileRequests.front().filter, QStringLiteral("Ambrel Database,  (*.qvx)"));
    QCOMPARE(TaskElements(name), QStringList{Other + " root"});
}

void TestInterchangeIo::backupAndRestoreIntoEmpty()
{
    InterchangeFixture fixture;
    AddFamily(fixture);
    // A sub-task whose parent is gone still travels in a backup.
    fixture.insertTask(FullTask(QStringLiteral("{ORPHAN}"), QStringLiteral("{GONE}"), QStringLiteral("orphan")));
    fixture.insertMemo(QStringLiteral("{M1}"), RootPid, QStringLiteral("memo\r\ntext"), At(2024, 5, 6, 7, 8, 9));
    fixture.insertMemo(QStringLiteral("{M2}"), QStringLiteral("{M1}"), QStringLiteral("sub memo"), At(2024, 5, 7));
    const QString name = fixture.file(QStringLiteral("backup.qvx"));
    QVERIFY(TIoDm(fixture.connection).BackupDatabaseTo(name));
    const QByteArray xml = XmlOf(name);
    QVERIFY(xml.contains(R"(<memo mid="{M1}" pid="root" content="memo&#10;text" assign-time="2024-05-06T07:08:09.000Z")"));

    InterchangeFixture empty;
    QVERIFY(TIoDm(empty.connection).RestoreDatabaseFrom(name));
    QVERIFY(empty.prompter.messages.isEmpty());
    // expandFlag is not carried: the rows restored here have the table's default.
    fixture.execute(QStringLiteral("update tasks set expandFlag=False"));
    QCOMPARE(empty.dump(), fixture.dump());
}

void TestInterchangeIo::nullFlagsRoundTrip()
{
    InterchangeFixture fixture;
    fixture.insertTask(FullTask(Parent, RootPid, QStringLiteral("p")));
    fixture.execute(QStringLiteral("update tasks set checkFlag=NULL, textColor=NULL"));
    const QString name = fixture.file(QStringLiteral("nulls.qvx"));
    QVERIFY(TIoDm(fixture.connection).BackupDatabaseTo(name));
    const QByteArray xml = XmlOf(name);
    QVERIFY(xml.contains(R"(check-flag="" alarm-flag="False" due-flag="True" text-color="" )"));

    InterchangeFixture empty;
    QVERIFY(TIoDm(empty.connection).RestoreDatabaseFrom(name));
    QCOMPARE(empty.dump(), fixture.dump());
    QVERIFY(empty.dump().front().contains(QStringLiteral("|<null>|")));
}

void TestInterchangeIo::backupCannotWrite()
{
    InterchangeFixture fixture;
    QVERIFY(!TIoDm(fixture.connection).BackupDatabaseTo(fixture.file(QStringLiteral("missing/b.qvx"))));
    QCOMPARE(fixture.prompter.lines(), QStringList{QStringLiteral("Error: File write failure!")});
}

// The streamed backup against the template document filled in through pugixml and
// saved, byte for byte: every kind of value, null columns, both tables, and enough rows
// to take many pieces of the stream.
void TestInterchangeIo::backupIsTheSavedDocument()
{
    InterchangeFixture fixture;
    ZoneScope::set("IST-5:30");
    AddFamily(fixture);
    fixture.insertMemo(QStringLiteral("m1"), RootPid, QStringLiteral("memo <&> \"'\r\nnext\rline\ttab"), -1.25);
    fixture.execute(QStringLiteral(
        "insert into tasks values ('n1', null, null, null, null, null, null, null, null, null, null, null, null, null), "
        "('c1', 'root', 'nul' || char(0) || 'after, bell' || char(7) || char(31) || ' > ü 😀', 2, 'x', 0.5, 1, "
        "2147483648, -1, 2958465.99999, -693593, 1e9, 'text', 7)"));
    const QString body = QStringLiteral("a longer text ünïcode — 日本語 😀 & <b> \"quoted\"\r\nsecond line ");
    for (int i = 0; i < 3000; ++i) {
        TTaskInfo task = FullTask(QStringLiteral("{T-%1}").arg(i), i % 5 ? QStringLiteral("{T-%1}").arg(i - i % 5) : RootPid,
                                  body.repeated(1 + i % 4) + QString::number(i));
        task.createTime += i * 0.37;
        fixture.insertTask(task);
    }
    const QString name = fixture.file(QStringLiteral("streamed.qvx"));
    QVERIFY(TIoDm(fixture.connection).BackupDatabaseTo(name));

    const int bias = LocalBias();
    const auto boolean = [](const Query::Field &field) {
        return field.isNull() ? QString() : Qvx::BooleanText(field.asBoolean());
    };
    const auto integer = [](const Query::Field &field) {
        return field.isNull() ? QString() : QString::number(field.asInteger());
    };
    const auto time = [bias](const Query::Field &field) { return Qvx::TimeText(field.asDateTime(), bias); };
    Txmltry xml;
    Qvx::BeginDocument(xml);
    Query query(fixture.connection);
    OpenSql(query, QStringLiteral("select * from tasks"));
    for (; !query.eof(); query.next()) {
        Qvx::AppendElement(xml.NodeAt(Qvx::TasksPath), "task",
                           {{"tid", query.field(u"tid").asString()},
                            {"pid", query.field(u"pid").asString()},
                            {"content", Qvx::ContentText(query.field(u"content").asString())},
                            {"check-flag", boolean(query.field(u"checkFlag"))},
                            {"alarm-flag", boolean(query.field(u"alarmFlag"))},
                            {"due-flag", boolean(query.field(u"dueFlag"))},
                            {"text-color", integer(query.field(u"textColor"))},
                            {"background-color", integer(query.field(u"backgroundColor"))},
                            {"create-time", time(query.field(u"createTime"))},
                            {"edit-time", time(query.field(u"editTime"))},
                            {"check-time", time(query.field(u"checkTime"))},
                            {"alarm-time", time(query.field(u"alarmTime"))},
                            {"due-time", time(query.field(u"dueTime"))}});
    }
    OpenSql(query, QStringLiteral("select * from memos"));
    for (; !query.eof(); query.next()) {
        Qvx::AppendElement(xml.NodeAt(Qvx::MemosPath), "memo",
                           {{"mid", query.field(u"mid").asString()},
                            {"pid", query.field(u"pid").asString()},
                            {"content", Qvx::ContentText(query.field(u"content").asString())},
                            {"assign-time", time(query.field(u"assignTime"))},
                            {"create-time", time(query.field(u"createTime"))},
                            {"edit-time", time(query.field(u"editTime"))}});
    }
    query.close();
    const QString expected = fixture.file(QStringLiteral("saved.qvx"));
    xml.SaveDocument(expected, true);
    QCOMPARE(ReadAll(name).size(), ReadAll(expected).size());
    QVERIFY(ReadAll(name) == ReadAll(expected));

    // Empty tables: every section empty.
    InterchangeFixture empty;
    QVERIFY(TIoDm(empty.connection).BackupDatabaseTo(name));
    Txmltry blank;
    Qvx::BeginDocument(blank);
    blank.SaveDocument(expected, true);
    QVERIFY(ReadAll(name) == ReadAll(expected));
    QVERIFY(empty.prompter.lines().isEmpty() && fixture.prompter.lines().isEmpty());
}

// Pieces of any size, the header's length right or patched at the end: the bytes are
// those of zlib level 9 over the whole text at once.
void TestInterchangeIo::containerIsOneDeflateOfThePieces_data()
{
    QTest::addColumn<QList<int>>("pieces");
    QTest::addColumn<bool>("announced");
    QTest::newRow("nothing") << QList<int>{} << true;
    QTest::newRow("one byte") << QList<int>{1} << false;
    QTest::newRow("many small pieces") << QList<int>(3000, 97) << false;
    QTest::newRow("uneven pieces") << QList<int>{1, 70000, 5, 300000, 65536, 131073} << false;
    QTest::newRow("one large piece, announced") << QList<int>{1500000} << true;
}

void TestInterchangeIo::containerIsOneDeflateOfThePieces()
{
    QFETCH(QList<int>, pieces);
    QFETCH(bool, announced);
    QByteArray text;
    quint32 state = 12345;
    for (const int size : pieces) {
        for (int i = 0; i < size; ++i) {
            state = state * 1103515245 + 12345;
            text.append("abcde <fghij> \"klm\"\r\n"[(state >> 16) % 21]);
        }
    }
    QBuffer out;
    QVERIFY(out.open(QIODevice::ReadWrite));
    {
        QvxContainerWriter writer(out, announced ? text.size() : 0);
        qsizetype at = 0;
        for (const int size : pieces) {
            writer.write(QByteArrayView(text).sliced(at, size));
            at += size;
        }
        writer.finish();
    }
    QVERIFY(out.data() == Container(text.size(), text));
}

// A device that stops taking data is reported as an error, by the write that finds it
// or by finish(), and nothing waits for ever.
void TestInterchangeIo::containerReportsARefusedWrite_data()
{
    QTest::addColumn<qint64>("room");
    QTest::addColumn<bool>("finished");  // false: the writer is dropped without finishing
    QTest::newRow("refused at once, finished") << qint64(8) << true;
    QTest::newRow("refused midway, finished") << qint64(200000) << true;
    QTest::newRow("refused midway, dropped") << qint64(200000) << false;
}

void TestInterchangeIo::containerReportsARefusedWrite()
{
    QFETCH(qint64, room);
    QFETCH(bool, finished);
    QByteArray text;
    for (qint64 i = 0; i < 400000; ++i)
        text.append(QByteArray::number(i * 7919 % 100003));
    FillingDevice out(room);
    QVERIFY(out.open(QIODevice::ReadWrite));
    bool raised = false;
    try {
        QvxContainerWriter writer(out);
        for (qsizetype at = 0; at < text.size(); at += 4096)
            writer.write(QByteArrayView(text).sliced(at, std::min<qsizetype>(4096, text.size() - at)));
        if (finished)
            writer.finish();
    } catch (const AppError &error) {
        raised = true;
        QVERIFY(error.message().startsWith(QLatin1String("Cannot write the file")));
    }
    QVERIFY(raised || !finished);
}

// Cancelled dialogs change nothing; a name typed without an extension means the .qvx.
void TestInterchangeIo::fileDialogs()
{
    InterchangeFixture fixture;
    AddFamily(fixture);
    TIoDm io(fixture.connection);
    QVERIFY(!io.BackupDatabase());
    QVERIFY(!io.RestoreDatabase());
    QVERIFY(!io.ImportDatabase());
    QCOMPARE(fixture.prompter.fileRequests.size(), 3);
    QCOMPARE(fixture.prompter.fileRequests.at(0).filter, QStringLiteral("Ambrel Database,  (*.qvx)"));
    QCOMPARE(fixture.prompter.fileRequests.at(1).filter, QStringLiteral("Ambrel Database, (*.qvx)"));
    QVERIFY(fixture.prompter.messages.isEmpty());

    fixture.prompter.setNextFileName(fixture.file(QStringLiteral("typed")));
    QVERIFY(io.BackupDatabase());
    QVERIFY(QFile::exists(fixture.file(QStringLiteral("typed.qvx"))));
    fixture.prompter.setNextFileName(fixture.file(QStringLiteral("typed")));
    QVERIFY(io.ImportDatabase());
    QCOMPARE(fixture.tasks().size(), 8);
}

void TestInterchangeIo::badFilesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("restore");
    const QByteArray xml = Root(TaskXml(Other, RootPid, QStringLiteral("x"))).toUtf8();
    const struct {
        const char *name;
        QByteArray bytes;
    } files[] = {
        {"empty file", QByteArray()},
        {"plain XML", xml},
        {"not compressed data", QByteArray(8, '\0') + "garbage that is not a zlib stream"},
        {"negative length", Container(-1, xml)},
        {"huge length", Container(Q_INT64_C(1) << 60, xml)},
        {"length beyond the data", Container(xml.size() + 1, xml)},
        {"truncated stream", Container(xml.size(), xml).left(20)},
        {"XML that does not parse", Container(5, QByteArrayLiteral("<ambr"))},
    };
    for (const auto &file : files) {
        QTest::addRow("restore, %s", file.name) << file.bytes << true;
        QTest::addRow("import, %s", file.name) << file.bytes << false;
    }
}

void TestInterchangeIo::badFilesChangeNothing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, restore);
    InterchangeFixture fixture;
    AddFamily(fixture);
    const QStringList before = fixture.dump();
    const QString name = WriteBytes(fixture, bytes);
    TIoDm io(fixture.connection);
    QVERIFY(!(restore ? io.RestoreDatabaseFrom(name) : io.ImportDatabaseFrom(name)));
    QCOMPARE(fixture.prompter.lines(), QStringList{QStringLiteral("Error: File read failure!")});
    QCOMPARE(fixture.dump(), before);
}

void TestInterchangeIo::aSmallFileCannotClaimGigabytes()
{
    // 32 MiB of blanks deflate to a few kilobytes: a real length, but far more than such
    // a file can hold, so it is refused before anything is inflated.
    InterchangeFixture fixture;
    const QByteArray blanks(32 * 1024 * 1024, ' ');
    const QString name = WriteBytes(fixture, Container(blanks.size(), blanks));
    QVERIFY(QFileInfo(name).size() < 200 * 1024);
    QVERIFY_THROWS_EXCEPTION(AppError, XmlOf(name));

    // Within the limits the same kind of file reads whole.
    const QByteArray fewBlanks(4 * 1024 * 1024, ' ');
    const QString small = WriteBytes(fixture, Container(fewBlanks.size(), fewBlanks));
    QCOMPARE(XmlOf(small).size(), fewBlanks.size());
}

void TestInterchangeIo::noFileIsWrittenOverTheDatabase_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("the database") << QStringLiteral("qvData.qvb") << false;
    QTest::newRow("the database through a link") << QStringLiteral("qvData.qvb") << true;
    QTest::newRow("its write-ahead log") << QStringLiteral("qvData.qvb-wal") << false;
    QTest::newRow("the settings file") << QStringLiteral("qvConf.ini") << false;
}

void TestInterchangeIo::noFileIsWrittenOverTheDatabase()
{
    QFETCH(QString, target);
    QFETCH(bool, throughLink);
    InterchangeFixture fixture;
    AddFamily(fixture);
    QFile settings(fixture.file(QStringLiteral("qvConf.ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[option]\nhintSize=20\n");
    settings.close();
    QString name = fixture.file(target);
    QVERIFY(QFile::exists(name));
    if (throughLink) {
        const QString link = fixture.file(QStringLiteral("backup.qvx"));
        QVERIFY(QFile::link(name, link));
        name = link;
    }
    QFile original(fixture.file(target));
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    TIoDm io(fixture.connection);
    QVERIFY(!io.BackupDatabaseTo(name));
    QVERIFY(!ExportTasksXml(name, TaskSnapshot{}));
    QVERIFY(!WriteTasksText(name, {}));
    QCOMPARE(fixture.prompter.messages.size(), 3);
    for (const PromptMessage &box : fixture.prompter.messages)
        QVERIFY2(box.text.contains(QStringLiteral("the program's own task database or settings file")),
                 qPrintable(box.text));
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), before);
    QCOMPARE(fixture.tasks().size(), 4);
}

void TestInterchangeIo::foreignFileIsRefused()
{
    InterchangeFixture fixture;
    AddFamily(fixture);
    const QStringList before = fixture.dump();
    QString xml = Root(TaskXml(Parent, RootPid, QStringLiteral("changed")));
    xml.replace(QStringLiteral("app=\"Plumcrest\""), QStringLiteral("app=\"abc\""));
    const QString name = fixture.writeQvx(QStringLiteral("foreign.qvx"), xml);
    QVERIFY(!TIoDm(fixture.connection).RestoreDatabaseFrom(name));
    QVERIFY(!TIoDm(fixture.connection).ImportDatabaseFrom(name));
    QCOMPARE(fixture.prompter.lines(), QStringList(2, QStringLiteral("Error: Data mismatch: abcPlumcrest")));
    QCOMPARE(fixture.dump(), before);
}

// Restoring a backup over changed rows: what each answer replaces, keeps or asks next.
void TestInterchangeIo::restoreAnswers_data()
{
    QTest::addColumn<QList<PromptButton>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QStringList>("contents");  // memo first, then the tasks by tid
    QTest::addColumn<QList<int>>("outcome");  // tasks added, replaced, kept

    const QString m = QStringLiteral("memo"), p = QStringLiteral("parent"), c1 = QStringLiteral("child one"),
                  c2 = QStringLiteral("child two\r\nsecond line"), o = QStringLiteral("other");
    const QString e = QStringLiteral("edited");
    // Rows in the table's order: memo, then Parent, ChildOne, ChildTwo, Other, New.
    QTest::newRow("All on the first question replaces the rest without asking, across both passes")
        << QList<PromptButton>{PromptButton::All} << 1 << QStringList{m, p, c1, c2, o, QStringLiteral("new")}
        << QList<int>{1, 4, 0};
    QTest::newRow("Yes each time")
        << QList<PromptButton>(5, PromptButton::Yes) << 5 << QStringList{m, p, c1, c2, o, QStringLiteral("new")}
        << QList<int>{1, 4, 0};
    QTest::newRow("No keeps the row; the new record after it is still added")
        << QList<PromptButton>(5, PromptButton::No) << 5 << QStringList{e, e, e, e, e, QStringLiteral("new")}
        << QList<int>{1, 0, 4};
    QTest::newRow("No to All keeps this and every later row without asking; new records are still added")
        << QList<PromptButton>{PromptButton::Yes, PromptButton::NoToAll} << 2
        << QStringList{m, e, e, e, e, QStringLiteral("new")} << QList<int>{1, 0, 4};
    QTest::newRow("Abort on the first question leaves every task untouched")
        << QList<PromptButton>{PromptButton::Abort} << 1 << QStringList{e, e, e, e, e} << QList<int>{0, 0, 0};
    QTest::newRow("Abort in the task pass keeps what came before")
        << QList<PromptButton>{PromptButton::Yes, PromptButton::Yes, PromptButton::Abort} << 3
        << QStringList{m, p, e, e, e} << QList<int>{0, 1, 0};
    QTest::newRow("closing the window keeps that row and asks again at the next")
        << QList<PromptButton>{PromptButton::Cancel, PromptButton::Yes, PromptButton::Cancel, PromptButton::All}
        << 4 << QStringList{e, p, e, c2, o, QStringLiteral("new")} << QList<int>{1, 3, 1};
}

void TestInterchangeIo::restoreAnswers()
{
    QFETCH(QList<PromptButton>, answers);
    QFETCH(int, questions);
    QFETCH(QStringList, contents);
    QFETCH(QList<int>, outcome);
    InterchangeFixture fixture;
    fixture.insertMemo(QStringLiteral("{M}"), RootPid, QStringLiteral("memo"), At(2024, 1, 1));
    AddFamily(fixture);
    const QString name = fixture.file(QStringLiteral("backup.qvx"));
    QVERIFY(TIoDm(fixture.connection).BackupDatabaseTo(name));
    // The backup also gets a task the database does not have; then every row is edited.
    {
        Txmltry xml;
        xml.LoadDocument(name, true);
        TTaskInfo added = FullTask(QStringLiteral("{NEW}"), RootPid, QStringLiteral("new"));
        Qvx::AppendElement(xml.NodeAt(Qvx::TasksPath), "task", Qvx::TaskAttributes(added, RootPid, LocalBias()));
        xml.SaveDocument(name, true);
    }
    fixture.execute(QStringLiteral("update tasks set content='edited'"));
    fixture.execute(QStringLiteral("update memos set content='edited'"));

    for (PromptButton answer : answers)
        fixture.prompter.setNextAnswer(answer);
    TIoDm io(fixture.connection);
    QVERIFY(io.RestoreDatabaseFrom(name));
    QCOMPARE(fixture.prompter.messages.size(), questions);
    QCOMPARE((QList<int>{io.outcome().added, io.outcome().replaced, io.outcome().kept}), outcome);
    for (const PromptMessage &box : fixture.prompter.messages)
        QCOMPARE(box.caption, QStringLiteral("Confirm Replace"));
    QVERIFY(fixture.prompter.messages.front().labels.front().endsWith(QStringLiteral(" memo")));

    QStringList stored;
    Query query(fixture.connection);
    OpenSql(query, QStringLiteral("select content from memos"));
    stored.append(query.field(u"content").asString());
    for (const QString &tid : {Parent, ChildOne, ChildTwo, Other, QStringLiteral("{NEW}")}) {
        const TTaskInfo task = fixture.task(tid);
        if (!task.tid.isEmpty())
            stored.append(task.content);
    }
    QCOMPARE(stored, contents);
}

// A backup restored over the rows it was made from asks nothing; a changed row among
// them is the only question, whatever the zone of the times.
void TestInterchangeIo::restoreSkipsIdenticalRecords()
{
    InterchangeFixture fixture;
    fixture.insertMemo(QStringLiteral("{M}"), RootPid, QStringLiteral("memo"), At(2024, 1, 1));
    AddFamily(fixture);
    const QString name = fixture.file(QStringLiteral("backup.qvx"));
    QVERIFY(TIoDm(fixture.connection).BackupDatabaseTo(name));
    const QStringList before = fixture.dump();

    TIoDm same(fixture.connection);
    QVERIFY(same.RestoreDatabaseFrom(name));
    QCOMPARE(fixture.prompter.messages.size(), 0);
    QCOMPARE((QList<int>{same.outcome().added, same.outcome().replaced, same.outcome().kept}), (QList<int>{0, 0, 4}));
    QCOMPARE(same.outcomeText(), QStringLiteral("Restored: 0 tasks added, 0 replaced, 4 kept as they were."));
    QCOMPARE(fixture.dump(), before);

    fixture.execute(QStringLiteral("update tasks set content='edited' where tid='%1'").arg(ChildOne));
    fixture.prompter.setNextAnswer(PromptButton::Yes);
    TIoDm changed(fixture.connection);
    QVERIFY(changed.RestoreDatabaseFrom(name));
    QCOMPARE(fixture.prompter.messages.size(), 1);
    QCOMPARE(fixture.prompter.messages.front().labels.at(1), QStringLiteral("edited"));
    QCOMPARE((QList<int>{changed.outcome().added, changed.outcome().replaced, changed.outcome().kept}),
             (QList<int>{0, 1, 3}));
    QCOMPARE(fixture.dump(), before);
}

// The question names the row that would be replaced first, then the file's record.
void TestInterchangeIo::replaceQuestionTexts()
{
    InterchangeFixture fixture;
    TTaskInfo task = FullTask(Parent, RootPid, QStringLiteral("in the file\r\nline two"));
    const QString name = fixture.writeQvx(QStringLiteral("one.qvx"), Root(QString()));
    {
        Txmltry xml;
        xml.LoadDocument(name, true);
        Qvx::AppendElement(xml.NodeAt(Qvx::TasksPath), "task", Qvx::TaskAttributes(task, RootPid, LocalBias()));
        xml.SaveDocument(name, true);
    }
    task.content = QStringLiteral("in the database");
    task.editTime = At(2026, 1, 2, 13, 14, 15);
    fixture.insertTask(task);

    fixture.prompter.setNextAnswer(PromptButton::No);
    QVERIFY(TIoDm(fixture.connection).RestoreDatabaseFrom(name));
    QCOMPARE(fixture.prompter.messages.size(), 1);
    const PromptMessage &box = fixture.prompter.messages.front();
    QCOMPARE(box.form, PromptForm::ReplaceAsk);
    QCOMPARE(box.buttons, (QList<PromptButton>{PromptButton::Yes, PromptButton::All, PromptButton::No,
                                               PromptButton::NoToAll, PromptButton::Abort}));
    QCOMPARE(box.closeAnswer(), PromptButton::Cancel);
    QCOMPARE(box.labels, (QStringList{QStringLiteral("Would you like to replace the existing task"),
                                      QStringLiteral("in the database"),
                                      QStringLiteral("modified: ") + DateTimeText(At(2026, 1, 2, 13, 14, 15)),
                                      QStringLiteral("with this one?"), QStringLiteral("in the file  line two"),
                                      QStringLiteral("modified: ") + DateTimeText(At(2025, 2, 3, 4, 5, 6))}));
    QCOMPARE(box.text, box.labels.join(QLatin1Char('\n')));
    QCOMPARE(fixture.task(Parent).content, QStringLiteral("in the database"));
}

// "yes" as a flag ends the restore at that record; the records before it stay stored.
void TestInterchangeIo::restoreStopsAtConversionError()
{
    InterchangeFixture fixture;
    QString tasks;
    for (int i = 1; i <= 6; ++i)
        tasks += TaskXml(QStringLiteral("{T%1}").arg(i), RootPid, QStringLiteral("task %1").arg(i),
                         i == 5 ? QStringLiteral("yes") : QStringLiteral("False"));
    const QString name = fixture.writeQvx(QStringLiteral("bad5.qvx"), Root(tasks));
    QVERIFY(!TIoDm(fixture.connection).RestoreDatabaseFrom(name));
    QCOMPARE(fixture.prompter.lines(),
             QStringList{QStringLiteral("Error: 'yes' is not a valid boolean value for field 'checkFlag'")});
    QStringList stored;
    for (const TTaskInfo &task : fixture.tasks())
        stored.append(task.tid);
    QCOMPARE(stored, (QStringList{"{T1}", "{T2}", "{T3}", "{T4}"}));

    // An import stops the same way.
    InterchangeFixture other;
    QVERIFY(!TIoDm(other.connection).ImportDatabaseFrom(name));
    QCOMPARE(other.tasks().size(), 4);
}

// Written at +02:00, read at UTC: the same instants, two hours earlier on the clock; times
// that were never set stay unset.
void TestInterchangeIo::restoreAcrossZones()
{
    InterchangeFixture fixture;
    const QString name = fixture.file(QStringLiteral("zone.qvx"));
    TTaskInfo task = FullTask(Parent, RootPid, QStringLiteral("p"));
    {
        ZoneScope::set("XST-2");
        fixture.insertTask(task);
        const bool written = TIoDm(fixture.connection).BackupDatabaseTo(name);
        ZoneScope::set("UTC0");
        QVERIFY(written);
    }
    QVERIFY(XmlOf(name).contains("create-time=\"2025-01-02T03:04:05.000+02:00\""));
    InterchangeFixture empty;
    QVERIFY(TIoDm(empty.connection).RestoreDatabaseFrom(name));
    const TTaskInfo read = empty.task(Parent);
    QCOMPARE(read.createTime, At(2025, 1, 2, 1, 4, 5));
    QCOMPARE(read.editTime, At(2025, 2, 3, 2, 5, 6));
    QCOMPARE(read.dueTime, At(2025, 4, 4, 22, 0));
    QCOMPARE(read.alarmTime, ZeroDateTime);
}

void TestInterchangeIo::timesAtTheEndsOfTheRangeRoundTrip()
{
    // Whatever a backup writes, a restore reads: times another zone carries past year 1,
    // and numbers in the database that are no date-time at all.
    InterchangeFixture fixture;
    QString task = TaskXml(Parent, RootPid, QStringLiteral("p"));
    task.replace(QStringLiteral("check-time=\"1899-12-30T00:00:00.000Z\""),
                 QStringLiteral("check-time=\"0001-01-01T00:00:00+14:00\""));
    task.replace(QStringLiteral("due-time=\"1899-12-30T00:00:00.000Z\""),
                 QStringLiteral("due-time=\"9999-12-31T23:30:00-10:00\""));
    QVERIFY(TIoDm(fixture.connection).RestoreDatabaseFrom(fixture.writeQvx(QStringLiteral("edge.qvx"), Root(task))));
    QVERIFY2(fixture.prompter.messages.isEmpty(), qPrintable(fixture.prompter.lines().join('\n')));
    fixture.insertTask(FullTask(Other, RootPid, QStringLiteral("o")));
    fixture.execute(QStringLiteral("update tasks set createTime=1e15, editTime=-1e15, alarmTime=-694000 where tid=") +
                    QuoteSql(Other));

    const QString name = fixture.file(QStringLiteral("backup.qvx"));
    QVERIFY(TIoDm(fixture.connection).BackupDatabaseTo(name));
    InterchangeFixture empty;
    QVERIFY(TIoDm(empty.connection).RestoreDatabaseFrom(name));
    QVERIFY2(empty.prompter.messages.isEmpty(), qPrintable(empty.prompter.lines().join('\n')));
    QCOMPARE(empty.tasks().size(), 2);
    const TTaskInfo edge = empty.task(Parent);
    QCOMPARE(DateTimeToMs(edge.checkTime), FirstDateTimeMs);
    QCOMPARE(DateTimeToMs(edge.dueTime), LastDateTimeMs / 1000 * 1000);  // the backup keeps whole seconds
    const TTaskInfo other = empty.task(Other);
    QCOMPARE(DateTimeToMs(other.createTime), LastDateTimeMs / 1000 * 1000);
    QCOMPARE(DateTimeToMs(other.editTime), FirstDateTimeMs);
    QCOMPARE(DateTimeToMs(other.alarmTime), FirstDateTimeMs);
}

void TestInterchangeIo::backupsAreXmlAndKeepEveryXmlCharacter()
{
    // Rows from before the rule may hold controls no XML document may: they stay out of
    // the file. Everything XML can carry comes back as it was.
    InterchangeFixture fixture;
    const QString everything = QStringLiteral("tab\t CR LF\r\n & < > \" ' \u0085 \u00A0 \uD7FF \uE000 \uFFFD ") +
                               QString::fromUcs4(U"\U0001F600 \U0010FFFF");
    fixture.insertTask(FullTask(Parent, RootPid, everything));
    fixture.insertTask(FullTask(Other, RootPid, QStringLiteral("a\x01" "b\x0b\x1f\uFFFEc")));
    fixture.insertMemo(QStringLiteral("{M\x02}"), RootPid, QStringLiteral("memo\x07"), At(2024, 5, 6));
    const QString name = fixture.file(QStringLiteral("backup.qvx"));
    QVERIFY(TIoDm(fixture.connection).BackupDatabaseTo(name));
    QXmlStreamReader reader(XmlOf(name));
    while (!reader.atEnd())
        reader.readNext();
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));

    InterchangeFixture empty;
    QVERIFY(TIoDm(empty.connection).RestoreDatabaseFrom(name));
    QCOMPARE(empty.task(Parent).content, everything);
    QCOMPARE(empty.task(Other).content, QStringLiteral("abc"));
    QCOMPARE(empty.dump().first().section(QLatin1Char('|'), 0, 2), QStringLiteral("{M}|root|memo"));

    // A file that brings them in as character references loses them on the way in.
    const QString foreign = empty.writeQvx(
        QStringLiteral("foreign.qvx"), Root(TaskXml(QStringLiteral("{F}"), RootPid, QStringLiteral("x&#1;y&#x1F;z"))));
    QVERIFY(TIoDm(empty.connection).ImportDatabaseFrom(foreign));
    QVERIFY(!empty.tasks().isEmpty());
    QStringList contents;
    for (const TTaskInfo &task : empty.tasks())
        contents.append(task.content);
    QVERIFY2(contents.contains(QStringLiteral("xyz")), qPrintable(contents.join(QLatin1Char('/'))));
}

void TestInterchangeIo::importTwice()
{
    InterchangeFixture fixture;
    AddFamily(fixture);
    TaskTree tree;
    TaskStore store(fixture.connection);
    LoadTaskTree(tree, store);
    const QString name = fixture.file(QStringLiteral("family.qvx"));
    QVERIFY(ExportTasksXml(name, SnapshotOf({tree.findByTid(Parent)})));
    const QStringList before = fixture.dump();

    QVERIFY(TIoDm(fixture.connection).ImportDatabaseFrom(name));
    QVERIFY(TIoDm(fixture.connection).ImportDatabaseFrom(name));
    QVERIFY(fixture.prompter.messages.isEmpty());

    QList<TTaskInfo> all = fixture.tasks();
    QCOMPARE(all.size(), 4 + 2 * 3);
    // The originals are untouched.
    for (const QString &row : before)
        QVERIFY(fixture.dump().contains(row));
    // Two new parents, each with its own two sub-tasks carrying the original values.
    TaskTree after;
    LoadTaskTree(after, store);
    int copies = 0;
    for (const auto &root : after.roots()) {
        if (root->info.content != QStringLiteral("parent") || root->info.tid == Parent)
            continue;
        ++copies;
        QCOMPARE(root->children.size(), size_t(2));
        TTaskInfo expected = fixture.task(ChildTwo);
        expected.tid = root->children.back()->info.tid;
        expected.pid = root->info.tid;
        QCOMPARE(root->children.back()->info, expected);
    }
    QCOMPARE(copies, 2);
}

void TestInterchangeIo::importSubTaskBeforeParent()
{
    InterchangeFixture fixture;
    const QString name = fixture.writeQvx(
        QStringLiteral("order.qvx"), Root(TaskXml(ChildOne, Parent, QStringLiteral("child")) +
                                          TaskXml(Parent, RootPid, QStringLiteral("parent")) +
                                          TaskXml(ChildTwo, Parent, QStringLiteral("child 2"))));
    QVERIFY(TIoDm(fixture.connection).ImportDatabaseFrom(name));
    const QList<TTaskInfo> rows = fixture.tasks();
    QCOMPARE(rows.size(), 3);
    const TTaskInfo child = rows.at(0), parent = rows.at(1), child2 = rows.at(2);
    QCOMPARE(parent.pid, RootPid);
    QVERIFY(parent.tid != Parent);
    QCOMPARE(child.pid, parent.tid);
    QCOMPARE(child2.pid, parent.tid);
    QVERIFY(child.tid != ChildOne && child.tid != child2.tid);
    QCOMPARE(parent.tid.size(), 38);
    QCOMPARE(child.content, QStringLiteral("child"));
}

void TestInterchangeIo::importOrphanSubTask()
{
    InterchangeFixture fixture;
    AddFamily(fixture);
    const QString name =
        fixture.writeQvx(QStringLiteral("orphan.qvx"), Root(TaskXml(ChildOne, Parent, QStringLiteral("orphan"))));
    QVERIFY(TIoDm(fixture.connection).ImportDatabaseFrom(name));
    TaskTree tree;
    TaskStore store(fixture.connection);
    QCOMPARE(store.count(), 5);
    LoadTaskTree(tree, store);
    QCOMPARE(tree.nodeCount(), 4);  // stored, not shown: its parent id names no task
}

void TestInterchangeIo::importMemos()
{
    InterchangeFixture fixture;
    const QString memos = QStringLiteral(
        R"(<memo mid="{S}" pid="{R}" content="sub" assign-time="2025-01-01T00:00:00.000Z" create-time="2025-01-01T00:00:00.000Z" edit-time="2025-01-01T00:00:00.000Z"/>)"
        R"(<memo mid="{R}" pid="root" content="top" assign-time="2025-01-01T00:00:00.000Z" create-time="2025-01-01T00:00:00.000Z" edit-time="2025-01-01T00:00:00.000Z"/>)");
    const QString name = fixture.writeQvx(QStringLiteral("memos.qvx"),
                                          Root(TaskXml(QStringLiteral("{R}"), RootPid, QStringLiteral("t")), memos));
    QVERIFY(TIoDm(fixture.connection).ImportDatabaseFrom(name));
    Query query(fixture.connection);
    OpenSql(query, QStringLiteral("select * from memos"));
    const QString subPid = query.field(u"pid").asString();
    query.next();
    QCOMPARE(query.field(u"pid").asString(), RootPid);
    QCOMPARE(subPid, query.field(u"mid").asString());
    // Ids map within one pass only: the task {R} gets an id of its own.
    QVERIFY(fixture.tasks().front().tid != subPid);
}

void TestInterchangeIo::importKeepsLineBreaksAsCrLf()
{
    // A file written elsewhere: a plain line end, a lone CR and a CR LF, each as the
    // file may spell it.
    InterchangeFixture fixture;
    const QString tasks = TaskXml(QStringLiteral("{A}"), RootPid, QStringLiteral("lf&#10;end")) +
                          TaskXml(QStringLiteral("{B}"), RootPid, QStringLiteral("cr&#13;end")) +
                          TaskXml(QStringLiteral("{C}"), RootPid, QStringLiteral("crlf&#13;&#10;end"));
    const QString name = fixture.writeQvx(QStringLiteral("elsewhere.qvx"), Root(tasks));
    QVERIFY(TIoDm(fixture.connection).ImportDatabaseFrom(name));
    QStringList contents;
    for (const TTaskInfo &task : fixture.tasks())
        contents.append(task.content);
    contents.sort();
    QCOMPARE(contents, (QStringList{"cr\r\nend", "crlf\r\nend", "lf\r\nend"}));
}

namespace {

// 1300 tasks, task 1299 a sub-task of task 0, batches of rows apart; task `repeat`, when
// set, takes the id of task 3. Then three memos, the last under the first one's id when
// `repeatMemo`.
QByteArray ManyTasksXml(const QString &badTask, const QString &badMemo, int repeat = -1, bool repeatMemo = false)
{
    QString taskXml;
    for (int i = 0; i < 1300; ++i) {
        const QString pid = i == 1299 ? QStringLiteral("{T0}") : RootPid;
        taskXml += TaskXml(QStringLiteral("{T%1}").arg(i == repeat ? 3 : i), pid, QStringLiteral("task %1").arg(i),
                           i == 1100 ? badTask : QStringLiteral("False"));
    }
    QString memoXml;
    for (int i = 0; i < 3; ++i)
        memoXml += QStringLiteral(R"(<memo mid="{M%1}" pid="root" content="memo %2" assign-time="%3" )"
                                  R"(create-time="2025-01-01T00:00:00.000Z" edit-time="2025-01-01T00:00:00.000Z"/>)")
                       .arg(repeatMemo && i == 2 ? 0 : i)
                       .arg(i)  // a repeated id with its own text: not the same record twice
                       .arg(i == 1 ? badMemo : QStringLiteral("2025-01-01T00:00:00.000Z"));
    return Root(taskXml, memoXml).toUtf8();
}

int MemoCount(Connection &connection)
{
    Query query(connection);
    OpenSql(query, QStringLiteral("select count(*) as n from memos"));
    return query.field(u"n").asInteger();
}

}  // namespace

void TestInterchangeIo::manyTasksEndAsIfTheFileWereReadFirst_data()
{
    // An import, or a restore into an empty database, writes a file of many tasks while
    // it is still reading it, so the file's faults come to light after rows went in: the
    // end must still be what a reading before the writing gives.
    QTest::addColumn<bool>("restore");
    QTest::addColumn<QString>("badTask");  // the check flag of task 1100
    QTest::addColumn<QString>("badMemo");  // the assign time of the second memo
    QTest::addColumn<QByteArray>("after");  // what follows the root element
    QTest::addColumn<QString>("app");
    QTest::addColumn<int>("tasks");
    QTest::addColumn<int>("memos");
    QTest::addColumn<QString>("error");
    const QString good = QStringLiteral("False"), time = QStringLiteral("2025-01-01T00:00:00.000Z");
    const QString badTask = QStringLiteral("Error: 'maybe' is not a valid boolean value for field 'checkFlag'");
    const QByteArray comment("<!-- written elsewhere -->");
    for (const bool restore : {false, true}) {
        const char *const mode = restore ? "restore" : "import";
        QTest::addRow("%s, in the form", mode) << restore << good << time << QByteArray() << "Plumcrest" << 1300 << 3
                                               << QString();
        QTest::addRow("%s, a task's bad value", mode)
            << restore << "maybe" << time << QByteArray() << "Plumcrest" << 1100 << 3 << badTask;
        QTest::addRow("%s, a memo's bad value", mode) << restore << "maybe" << "soon" << QByteArray() << "Plumcrest"
                                                      << 0 << 1 << "Error: 'soon' is not a valid date and time";
        QTest::addRow("%s, outside the form, read as a document", mode)
            << restore << good << time << comment << "Plumcrest" << 1300 << 3 << QString();
        QTest::addRow("%s, outside the form, with a task's bad value", mode)
            << restore << "maybe" << time << comment << "Plumcrest" << 1100 << 3 << badTask;
        QTest::addRow("%s, not well formed at its end", mode)
            << restore << "maybe" << time << QByteArray("<extra") << "Plumcrest" << 0 << 0
            << "Error: File read failure!";
        QTest::addRow("%s, another program's file", mode)
            << restore << "maybe" << time << QByteArray() << "Plumwood" << 0 << 0
            << "Error: Data mismatch: PlumwoodPlumcrest";
    }
}

void TestInterchangeIo::manyTasksEndAsIfTheFileWereReadFirst()
{
    QFETCH(bool, restore);
    QFETCH(QString, badTask);
    QFETCH(QString, badMemo);
    QFETCH(QByteArray, after);
    QFETCH(QString, app);
    QFETCH(int, tasks);
    QFETCH(int, memos);
    QFETCH(QString, error);
    QByteArray xml = ManyTasksXml(badTask, badMemo) + after;
    xml.replace("app=\"Plumcrest\"", "app=\"" + app.toUtf8() + '"');
    InterchangeFixture fixture;
    const QString name = WriteBytes(fixture, Container(xml.size(), xml));

    TIoDm io(fixture.connection);
    QCOMPARE(restore ? io.RestoreDatabaseFrom(name) : io.ImportDatabaseFrom(name), error.isEmpty());
    QCOMPARE(fixture.prompter.lines(), error.isEmpty() ? QStringList() : QStringList{error});
    const QList<TTaskInfo> stored = fixture.tasks();
    QCOMPARE(stored.size(), tasks);
    for (int i = 0; i < tasks; ++i) {
        QCOMPARE(stored.at(i).content, QStringLiteral("task %1").arg(i));
        QCOMPARE(stored.at(i).tid == QStringLiteral("{T%1}").arg(i), restore);
    }
    if (tasks == 1300)
        QCOMPARE(stored.at(1299).pid, stored.at(0).tid);
    QCOMPARE(MemoCount(fixture.connection), memos);
}

void TestInterchangeIo::anIdMetTwiceEndsAsWhenReadFirst_data()
{
    QTest::addColumn<bool>("restore");
    QTest::addColumn<int>("repeatedTask");
    QTest::addColumn<bool>("repeatedMemo");
    QTest::addColumn<PromptButton>("answer");
    QTest::addColumn<int>("tasks");
    QTest::addColumn<int>("memos");
    QTest::addColumn<QString>("said");  // the caption of the one message
    QTest::newRow("restore, a task, replaced") << true << 1200 << false << PromptButton::Yes << 1299 << 3
                                               << "Confirm Replace";
    // Memos are restored before tasks: an Abort there leaves no task.
    QTest::newRow("restore, a memo, then Abort") << true << -1 << true << PromptButton::Abort << 0 << 2
                                                 << "Confirm Replace";
    // An import gives a top-level id one new id, so the second task under it fails.
    QTest::newRow("import, a task") << false << 1200 << false << PromptButton::Yes << 1200 << 3 << "Error";
    QTest::newRow("import, a memo") << false << -1 << true << PromptButton::Yes << 0 << 2 << "Error";
}

void TestInterchangeIo::anIdMetTwiceEndsAsWhenReadFirst()
{
    // The second record under one id meets a row the database holds by then; an empty
    // database to start from, and nothing may be written twice.
    QFETCH(bool, restore);
    QFETCH(int, repeatedTask);
    QFETCH(bool, repeatedMemo);
    QFETCH(PromptButton, answer);
    QFETCH(int, tasks);
    QFETCH(int, memos);
    QFETCH(QString, said);
    InterchangeFixture fixture;
    const QByteArray xml = ManyTasksXml(QStringLiteral("False"), QStringLiteral("2025-01-01T00:00:00.000Z"),
                                        repeatedTask, repeatedMemo);
    const QString name = WriteBytes(fixture, Container(xml.size(), xml));
    fixture.prompter.setNextAnswer(answer);
    TIoDm io(fixture.connection);
    QCOMPARE(restore ? io.RestoreDatabaseFrom(name) : io.ImportDatabaseFrom(name), restore);
    QCOMPARE(fixture.prompter.messages.size(), 1);
    QCOMPARE(fixture.prompter.messages.front().caption, said);
    if (!restore)
        QCOMPARE(fixture.prompter.messages.front().text,
                 QStringLiteral("UNIQUE constraint failed: %1").arg(repeatedMemo ? "memos.mid" : "tasks.tid"));
    const QList<TTaskInfo> stored = fixture.tasks();
    QCOMPARE(stored.size(), tasks);
    for (int i = 0; i < std::min(tasks, 1200); ++i)
        QCOMPARE(stored.at(i).content, QStringLiteral("task %1").arg(restore && i == 3 ? repeatedTask : i));
    if (restore && repeatedTask >= 0)
        QCOMPARE(fixture.task(QStringLiteral("{T3}")).content, QStringLiteral("task %1").arg(repeatedTask));
    QCOMPARE(MemoCount(fixture.connection), memos);
}

void TestInterchangeIo::missingAttributesAreReportedAsWhenReadFirst_data()
{
    // A missing attribute is reported and its value read as empty; the reports of a file
    // read while it is written come when, and as often as, a reading before the writing
    // shows them, and from the thread of the window.
    QTest::addColumn<bool>("restore");
    QTest::addColumn<QStringList>("dropped");  // attributes taken out of the file
    QTest::addColumn<QString>("badMemo");      // the assign time of the second memo
    QTest::addColumn<QByteArray>("after");     // what follows the root element
    QTest::addColumn<QString>("app");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("tasks");
    QTest::addColumn<int>("memos");
    const QString time = QStringLiteral("2025-01-01T00:00:00.000Z");
    const QString noContent = QStringLiteral(" content=\"task 700\"");
    const QString taskReport = QStringLiteral("Error: ambrel,tasks,task#700: content not Exist !");
    const QByteArray comment("<!-- written elsewhere -->");
    for (const bool restore : {false, true}) {
        const char *const mode = restore ? "restore" : "import";
        QTest::addRow("%s, a task without content", mode)
            << restore << QStringList{noContent} << time << QByteArray() << "Plumcrest" << QStringList{taskReport}
            << 1300 << 3;
        QTest::addRow("%s, the same in another program's file", mode)
            << restore << QStringList{noContent} << time << QByteArray() << "Plumwood"
            << QStringList{"Error: Data mismatch: PlumwoodPlumcrest"} << 0 << 0;
        QTest::addRow("%s, the same outside the form", mode)
            << restore << QStringList{noContent} << time << comment << "Plumcrest" << QStringList{taskReport} << 1300
            << 3;
        QTest::addRow("%s, the same with a damaged end", mode)
            << restore << QStringList{noContent} << time << QByteArray("<extra") << "Plumcrest"
            << QStringList{"Error: File read failure!"} << 0 << 0;
        QTest::addRow("%s, a memo without content before a memo's bad value", mode)
            << restore << QStringList{noContent, QStringLiteral(" content=\"memo 0\"")} << "soon" << QByteArray()
            << "Plumcrest"
            << QStringList{"Error: ambrel,memos,memo#0: content not Exist !",
                           "Error: 'soon' is not a valid date and time"}
            << 0 << 1;
        QTest::addRow("%s, a root without an app", mode)
            << restore << QStringList{QStringLiteral(" app=\"Plumcrest\"")} << time << QByteArray() << "Plumcrest"
            << QStringList{"Error: ambrel: app not Exist !", "Error: Data mismatch: Plumcrest"} << 0 << 0;
        QTest::addRow("%s, a root without an app, with a damaged end", mode)
            << restore << QStringList{QStringLiteral(" app=\"Plumcrest\"")} << time << QByteArray("<extra")
            << "Plumcrest" << QStringList{"Error: File read failure!"} << 0 << 0;
        QTest::addRow("%s, a memo without an id", mode)
            << restore << QStringList{QStringLiteral(" mid=\"{M0}\"")} << time << QByteArray() << "Plumcrest"
            << QStringList{"Error: ambrel,memos,memo#0: mid not Exist !"} << 1300 << 3;
    }
}

void TestInterchangeIo::missingAttributesAreReportedAsWhenReadFirst()
{
    QFETCH(bool, restore);
    QFETCH(QStringList, dropped);
    QFETCH(QString, badMemo);
    QFETCH(QByteArray, after);
    QFETCH(QString, app);
    QFETCH(QStringList, lines);
    QFETCH(int, tasks);
    QFETCH(int, memos);
    QByteArray xml = ManyTasksXml(QStringLiteral("False"), badMemo) + after;
    xml.replace("app=\"Plumcrest\"", "app=\"" + app.toUtf8() + '"');
    for (const QString &attribute : dropped) {
        QVERIFY(xml.contains(attribute.toUtf8()));
        xml.replace(attribute.toUtf8(), QByteArray());
    }
    InterchangeFixture fixture;
    const QString name = WriteBytes(fixture, Container(xml.size(), xml));

    TIoDm io(fixture.connection);
    const bool done = restore ? io.RestoreDatabaseFrom(name) : io.ImportDatabaseFrom(name);
    QCOMPARE(fixture.prompter.lines(), lines);
    QVERIFY(!fixture.prompter.offMainThread);
    QCOMPARE(done, lines.size() == 1 && lines.front().contains(QStringLiteral("not Exist")));
    QCOMPARE(fixture.tasks().size(), tasks);
    QCOMPARE(MemoCount(fixture.connection), memos);
}

QTEST_GUILESS_MAIN(TestInterchangeIo)
#include "tst_interchange_io.moc"
