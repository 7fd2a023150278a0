// The comma-path helper: paths, attributes, and the compressed file it reads and writes.

#include "store/AppError.h"
#include "support/ScriptedPrompter.h"
#include "interchange/pU_XmlTry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

using namespace quillpad;

namespace {

// Seven tasks and one memo, lines separated by CR alone as the writers' template is.
QString Fixture()
{
    QStringList lines{QStringLiteral(R"(<ambrel app="Plumcrest" appversion="" dataversion="1.1" time="">)"),
                      QStringLiteral("  <tasks>")};
    for (int i = 0; i < 7; ++i)
        lines.append(QStringLiteral(R"(    <task tid="t%1" content="task %1"/>)").arg(i));
    lines << QStringLiteral("  </tasks>") << QStringLiteral("  <memos>")
          << QStringLiteral(R"(    <memo mid="m0"/>)") << QStringLiteral("  </memos>")
          << QStringLiteral("  <notes>") << QStringLiteral("  </notes>")
          << QStringLiteral("  <peers>") << QStringLiteral("  </peers>") << QStringLiteral("</ambrel>");
    return lines.join(QLatin1Char('\r'));
}

// "task:t3", "memo:m0", "tasks", ...: which node a path reached.
QString Label(const pugi::xml_node &node)
{
    QString label = QString::fromUtf8(node.name());
    for (const char *id : {"tid", "mid"}) {
        if (const auto attribute = node.attribute(id))
            label += QLatin1Char(':') + QString::fromUtf8(attribute.value());
    }
    return label;
}

// A container made with zlib directly, so the reader is not checked against itself.
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

QByteArray Container(const QByteArray &xml)
{
    return Container(xml.size(), xml);
}

QByteArray Inflate(const QByteArray &packed, qint64 length)
{
    QByteArray text(static_cast<qsizetype>(length), Qt::Uninitialized);
    uLongf size = static_cast<uLongf>(length);
    if (uncompress(reinterpret_cast<Bytef *>(text.data()), &size, reinterpret_cast<const Bytef *>(packed.constData()),
                   static_cast<uLong>(packed.size())) != Z_OK)
        return QByteArray();
    text.truncate(static_cast<qsizetype>(size));
    return text;
}

QByteArray ReadAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QByteArray SmallXml = QByteArrayLiteral(R"(<ambrel app="Other"><tasks><task tid="x"/></tasks></ambrel>)");

}  // namespace

class TestXmlTry : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stepCount_data();
    void stepCount();
    void nodeAt_data();
    void nodeAt();
    void positionMustBeAnInteger_data();
    void positionMustBeAnInteger();
    void positionsInAnyOrderAndAfterChanges();
    void countChildren_data();
    void countChildren();
    void readAttr_data();
    void readAttr();
    void writeAttr();
    void textThatDoesNotParse_data();
    void textThatDoesNotParse();
    void entitiesAreNotExpanded();

    void saveAndLoad_data();
    void saveAndLoad();
    void containerLayout();
    void storedLengthShorterThanTheStream();
    void badFilesChangeNothing_data();
    void badFilesChangeNothing();
    void fileThatCannotBeCreated();

private:
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Txmltry> m_xml;
};

void TestXmlTry::init()
{
    m_prompter = std::make_unique<ScriptedPrompter>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_xml = std::make_unique<Txmltry>();
    m_xml->LoadXmlText(Fixture());
}

void TestXmlTry::cleanup()
{
    m_xml.reset();
    m_dir.reset();
    m_prompter.reset();
}

void TestXmlTry::stepCount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("one step") << QStringLiteral("ambrel") << 0;
    QTest::newRow("three steps") << QStringLiteral("ambrel,tasks,task#3") << 2;
    QTest::newRow("empty steps count too") << QStringLiteral(",,") << 2;
}

void TestXmlTry::stepCount()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QCOMPARE(Txmltry::StepCount(text), count);
}

void TestXmlTry::nodeAt_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reached");
    QTest::newRow("document element") << QStringLiteral("ambrel") << QStringLiteral("ambrel");
    QTest::newRow("first step is never compared") << QStringLiteral("anything") << QStringLiteral("ambrel");
    QTest::newRow("any first step, then a name") << QStringLiteral("zzz,tasks") << QStringLiteral("tasks");
    QTest::newRow("by name") << QStringLiteral("ambrel,memos") << QStringLiteral("memos");
    QTest::newRow("first position") << QStringLiteral("ambrel,tasks,task#0") << QStringLiteral("task:t0");
    QTest::newRow("last position") << QStringLiteral("ambrel,tasks,task#6") << QStringLiteral("task:t6");
    QTest::newRow("name before # ignored") << QStringLiteral("ambrel,tasks,memo#3") << QStringLiteral("task:t3");
    QTest::newRow("no name before #") << QStringLiteral("ambrel,#1") << QStringLiteral("memos");
    QTest::newRow("position past the end stays") << QStringLiteral("ambrel,tasks,task#7") << QStringLiteral("tasks");
    QTest::newRow("negative position stays") << QStringLiteral("ambrel,tasks,task#-1") << QStringLiteral("tasks");
    QTest::newRow("letter case counts") << QStringLiteral("ambrel,Tasks") << QStringLiteral("ambrel");
    QTest::newRow("walk goes on where it stopped") << QStringLiteral("ambrel,Tasks,task#1") << QStringLiteral("memos");
    QTest::newRow("unknown step in the middle") << QStringLiteral("ambrel,nothing,memos,memo#0")
                                                << QStringLiteral("memo:m0");
    QTest::newRow("empty last step") << QStringLiteral("ambrel,tasks,") << QStringLiteral("tasks");
    QTest::newRow("whitespace text is not a child") << QStringLiteral("ambrel,notes,#0") << QStringLiteral("notes");
    QTest::newRow("too deep stays at the leaf") << QStringLiteral("ambrel,tasks,task#2,x,#0")
                                                << QStringLiteral("task:t2");
}

void TestXmlTry::nodeAt()
{
    QFETCH(QString, path);
    QFETCH(QString, reached);
    QCOMPARE(Label(m_xml->NodeAt(path)), reached);
}

void TestXmlTry::positionMustBeAnInteger_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("nothing after #") << QStringLiteral("ambrel,tasks,task#");
    QTest::newRow("letters") << QStringLiteral("ambrel,tasks,task#x");
    QTest::newRow("second #") << QStringLiteral("ambrel,tasks,task#1#2");
    QTest::newRow("on a step that matches nothing") << QStringLiteral("ambrel,none,#a");
}

void TestXmlTry::positionMustBeAnInteger()
{
    QFETCH(QString, path);
    try {
        m_xml->NodeAt(path);
        QFAIL("no error raised");
    } catch (const AppError &error) {
        QVERIFY2(error.message().endsWith(QLatin1String("is not a valid integer value")), qPrintable(error.message()));
    }
    QVERIFY_THROWS_EXCEPTION(AppError, m_xml->ReadAttr(path, QStringLiteral("tid")));
    QVERIFY(m_prompter->messages.isEmpty());
}

void TestXmlTry::positionsInAnyOrderAndAfterChanges()
{
    const auto tidAt = [this](int position) {
        return m_xml->ReadAttr(QStringLiteral("ambrel,tasks,task#%1").arg(position), QStringLiteral("tid"));
    };
    for (int position : {0, 1, 2, 6, 5, 5, 1, 4, 0, 3, 6}) {
        QCOMPARE(tidAt(position), QStringLiteral("t%1").arg(position));
        // A position under another parent in between must not confuse the next one.
        QCOMPARE(m_xml->ReadAttr(QStringLiteral("ambrel,memos,memo#0"), QStringLiteral("mid")), QStringLiteral("m0"));
    }

    // Writers append under a section they got from NodeAt; positions stay valid.
    m_xml->NodeAt(QStringLiteral("ambrel,tasks")).append_child("task").append_attribute("tid") = "t7";
    QCOMPARE(tidAt(6), QStringLiteral("t6"));
    QCOMPARE(tidAt(7), QStringLiteral("t7"));

    // A child removed through a node from NodeAt: the following ones move up.
    QCOMPARE(tidAt(3), QStringLiteral("t3"));
    pugi::xml_node second = m_xml->NodeAt(QStringLiteral("ambrel,tasks,task#2"));
    second.parent().remove_child(second);
    QCOMPARE(tidAt(2), QStringLiteral("t3"));
    QCOMPARE(tidAt(6), QStringLiteral("t7"));
    QCOMPARE(m_xml->CountChildren(QStringLiteral("ambrel,tasks")), 7);
    QVERIFY(m_prompter->messages.isEmpty());
}

void TestXmlTry::countChildren_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("count");
    QTest::newRow("root") << QStringLiteral("ambrel") << 4;
    QTest::newRow("tasks") << QStringLiteral("ambrel,tasks") << 7;
    QTest::newRow("memos") << QStringLiteral("ambrel,memos") << 1;
    QTest::newRow("indented but empty") << QStringLiteral("ambrel,notes") << 0;
    QTest::newRow("a task") << QStringLiteral("ambrel,tasks,task#0") << 0;
    QTest::newRow("unmatched step counts where it stopped") << QStringLiteral("ambrel,Memos") << 4;
}

void TestXmlTry::countChildren()
{
    QFETCH(QString, path);
    QFETCH(int, count);
    QCOMPARE(m_xml->CountChildren(path), count);
}

void TestXmlTry::readAttr_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("reports");
    const QStringList none;
    QTest::newRow("root attribute") << QStringLiteral("ambrel") << QStringLiteral("app") << QStringLiteral("Plumcrest")
                                    << none;
    QTest::newRow("empty value, no report") << QStringLiteral("ambrel") << QStringLiteral("appversion") << QString()
                                            << none;
    QTest::newRow("by position") << QStringLiteral("ambrel,tasks,task#4") << QStringLiteral("content")
                                 << QStringLiteral("task 4") << none;
    QTest::newRow("past the end reports the path as given")
        << QStringLiteral("ambrel,tasks,task#7") << QStringLiteral("tid") << QString()
        << QStringList{QStringLiteral("Error: ambrel,tasks,task#7: tid not Exist !")};
    QTest::newRow("name letter case counts") << QStringLiteral("ambrel") << QStringLiteral("App") << QString()
                                             << QStringList{QStringLiteral("Error: ambrel: App not Exist !")};
    QTest::newRow("first step as written") << QStringLiteral("root,memos,memo#0") << QStringLiteral("tid") << QString()
                                           << QStringList{QStringLiteral("Error: root,memos,memo#0: tid not Exist !")};
}

void TestXmlTry::readAttr()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QStringList, reports);
    QCOMPARE(m_xml->ReadAttr(path, name), value);
    QCOMPARE(m_prompter->lines(), reports);
}

void TestXmlTry::writeAttr()
{
    QVERIFY(m_xml->WriteAttr(QStringLiteral("ambrel"), QStringLiteral("app"), QStringLiteral("Plumcrest")));
    QVERIFY(m_xml->WriteAttr(QStringLiteral("ambrel,tasks,task#5"), QStringLiteral("content"), QStringLiteral("new")));
    QCOMPARE(m_xml->ReadAttr(QStringLiteral("ambrel,tasks,task#5"), QStringLiteral("content")), QStringLiteral("new"));
    QVERIFY(m_prompter->messages.isEmpty());

    QVERIFY(!m_xml->WriteAttr(QStringLiteral("ambrel,tasks"), QStringLiteral("tid"), QStringLiteral("x")));
    QCOMPARE(m_prompter->lines(), QStringList{QStringLiteral("Error: ambrel,tasks: tid not Exist !")});
    QVERIFY(!m_xml->NodeAt(QStringLiteral("ambrel,tasks")).attribute("tid"));
}

void TestXmlTry::textThatDoesNotParse_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("unclosed") << QStringLiteral("<ambrel><tasks></ambrel>");
    QTest::newRow("not XML") << QStringLiteral("just words");
}

void TestXmlTry::textThatDoesNotParse()
{
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(AppError, m_xml->LoadXmlText(text));
    QCOMPARE(m_xml->ReadAttr(QStringLiteral("ambrel"), QStringLiteral("app")), QStringLiteral("Plumcrest"));
}

void TestXmlTry::entitiesAreNotExpanded()
{
    const QString secret = m_dir->filePath(QStringLiteral("secret.txt"));
    WriteAll(secret, "secret");
    m_xml->LoadXmlText(QStringLiteral(R"(<!DOCTYPE ambrel [<!ENTITY big "ha"><!ENTITY file SYSTEM "file://%1">]>)"
                                      R"(<ambrel app="&big;&file;" appversion="&lt;&#10;&gt;"/>)")
                           .arg(secret));
    QCOMPARE(m_xml->ReadAttr(QStringLiteral("ambrel"), QStringLiteral("app")), QStringLiteral("&big;&file;"));
    // The predefined entities and character references are plain text, of course.
    QCOMPARE(m_xml->ReadAttr(QStringLiteral("ambrel"), QStringLiteral("appversion")), QStringLiteral("<\n>"));
}

void TestXmlTry::saveAndLoad_data()
{
    QTest::addColumn<bool>("compressed");
    QTest::newRow("compressed") << true;
    QTest::newRow("plain") << false;
}

void TestXmlTry::saveAndLoad()
{
    QFETCH(bool, compressed);
    const QStringList values{QStringLiteral("two\nlines"),
                             QStringLiteral("cr\r\nlf"),
                             QStringLiteral("\ttab and  blanks "),
                             QStringLiteral("<&>\"'"),
                             QStringLiteral("Grüße, 日本, 🙂"),
                             QString()};
    pugi::xml_node tasks = m_xml->NodeAt(QStringLiteral("ambrel,tasks"));
    for (const QString &value : values)
        tasks.append_child("task").append_attribute("content") = value.toUtf8().constData();

    const QString fileName = m_dir->filePath(QStringLiteral("saved.qvx"));
    m_xml->SaveDocument(fileName, compressed);
    QCOMPARE(ReadAll(fileName).startsWith('<'), !compressed);

    Txmltry loaded;
    loaded.LoadDocument(fileName, compressed);
    QCOMPARE(loaded.CountChildren(QStringLiteral("ambrel,tasks")), 7 + values.size());
    QCOMPARE(loaded.ReadAttr(QStringLiteral("ambrel,tasks,task#0"), QStringLiteral("tid")), QStringLiteral("t0"));
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(loaded.ReadAttr(QStringLiteral("ambrel,tasks,task#%1").arg(7 + i), QStringLiteral("content")), values[i]);
    QCOMPARE(loaded.CountChildren(QStringLiteral("ambrel")), 4);
    QVERIFY(m_prompter->messages.isEmpty());
}

void TestXmlTry::containerLayout()
{
    const QString fileName = m_dir->filePath(QStringLiteral("layout.qvx"));
    WriteAll(fileName, "an older file that a save replaces, however long it was");
    m_xml->SaveDocument(fileName, true);
    const QByteArray bytes = ReadAll(fileName);
    QVERIFY(bytes.size() > 10);

    const qint64 length = qFromLittleEndian<qint64>(bytes.constData());
    const QByteArray packed = bytes.mid(8);
    QCOMPARE(static_cast<unsigned char>(packed[0]), 0x78u);
    QCOMPARE(static_cast<unsigned char>(packed[1]) >> 6, 3u);  // the header's level field: best compression
    const QByteArray xml = Inflate(packed, length);
    QCOMPARE(xml.size(), length);

    Txmltry plain;
    plain.LoadXmlText(QString::fromUtf8(xml));
    QCOMPARE(plain.ReadAttr(QStringLiteral("ambrel,tasks,task#6"), QStringLiteral("tid")), QStringLiteral("t6"));
}

void TestXmlTry::storedLengthShorterThanTheStream()
{
    const QByteArray xml = SmallXml;
    const QString fileName = m_dir->filePath(QStringLiteral("short.qvx"));
    WriteAll(fileName, Container(xml.size(), xml + "<this is not XML at all"));
    m_xml->LoadDocument(fileName, true);
    QCOMPARE(m_xml->ReadAttr(QStringLiteral("ambrel,tasks,task#0"), QStringLiteral("tid")), QStringLiteral("x"));
}

void TestXmlTry::badFilesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("compressed");
    const QByteArray good = Container(SmallXml);
    QByteArray badChecksum = good;
    badChecksum[badChecksum.size() - 1] = static_cast<char>(badChecksum.back() ^ 0x55);
    QByteArray badData = good;
    badData[12] = static_cast<char>(badData[12] ^ 0xff);

    QTest::newRow("plain XML") << SmallXml << true;
    QTest::newRow("empty file") << QByteArray() << true;
    QTest::newRow("shorter than the length") << QByteArray("\x05\0\0", 3) << true;
    QTest::newRow("length only") << good.left(8) << true;
    QTest::newRow("negative length") << Container(-1, SmallXml) << true;
    QTest::newRow("huge length") << Container(Q_INT64_C(1) << 62, SmallXml) << true;
    QTest::newRow("length larger than the data") << Container(SmallXml.size() + 1, SmallXml) << true;
    QTest::newRow("truncated stream") << good.left(good.size() - 3) << true;
    QTest::newRow("damaged checksum") << badChecksum << true;
    QTest::newRow("damaged data") << badData << true;
    QTest::newRow("zero length") << Container(QByteArray()) << true;
    QTest::newRow("XML that does not parse") << Container("<ambrel><tasks>") << true;
    QTest::newRow("plain file that does not parse") << QByteArray("<ambrel") << false;
    QTest::newRow("plain empty file") << QByteArray() << false;
}

void TestXmlTry::badFilesChangeNothing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, compressed);
    const QString fileName = m_dir->filePath(QStringLiteral("bad.qvx"));
    WriteAll(fileName, bytes);
    QVERIFY_THROWS_EXCEPTION(AppError, m_xml->LoadDocument(fileName, compressed));
    QCOMPARE(m_xml->ReadAttr(QStringLiteral("ambrel"), QStringLiteral("app")), QStringLiteral("Plumcrest"));
    QCOMPARE(m_xml->CountChildren(QStringLiteral("ambrel,tasks")), 7);
    QCOMPARE(ReadAll(fileName), bytes);

    QVERIFY_THROWS_EXCEPTION(AppError, m_xml->LoadDocument(m_dir->filePath(QStringLiteral("missing.qvx")), compressed));
    QVERIFY(m_prompter->messages.isEmpty());
}

void TestXmlTry::fileThatCannotBeCreated()
{
    QVERIFY_THROWS_EXCEPTION(AppError, m_xml->SaveDocument(m_dir->filePath(QStringLiteral("no/such/folder.qvx")), true));
    // A folder where the file should go: nothing is written in its place.
    const QString folder = m_dir->filePath(QStringLiteral("folder.qvx"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY_THROWS_EXCEPTION(AppError, m_xml->SaveDocument(folder, true));
    QVERIFY(QFileInfo(folder).isDir());
}

QTEST_GUILESS_MAIN(TestXmlTry)
#include "tst_xmltry.moc"
