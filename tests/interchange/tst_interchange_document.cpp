// The interchange document: its template and root, the element writers, and how each
// kind of value is read back.

#include "store/AppError.h"
#include "InterchangeFixture.h"
#include "components/QvVersionInfo.h"
#include "interchange/QvxContainer.h"
#include "interchange/QvxDocument.h"
#include "interchange/QvxRecords.h"
#include "interchange/QvxStream.h"
#include "interchange/pU_XmlTry.h"

#include <optional>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QFile>
#include <QTest>

using namespace quillpad;

class TestInterchangeDocument : public QObject {
    Q_OBJECT

private slots:
    void templateText();
    void rootAttributes();
    void taskAttributesInOrder();
    void lineBreaksSurviveTheFile_data();
    void lineBreaksSurviveTheFile();
    void readBoolean_data();
    void readBoolean();
    void readInteger_data();
    void readInteger();
    void readTimeAcrossZones();
    void readTimeRejects_data();
    void readTimeRejects();
    void readTimeAgreesWithTheFullReader();
    void checkApp_data();
    void checkApp();
    void streamReadsWhatTheDocumentReads_data();
    void streamReadsWhatTheDocumentReads();
    void valuesReadFromBytesAsFromText_data();
    void valuesReadFromBytesAsFromText();
};

void TestInterchangeDocument::templateText()
{
    const QByteArray text(Qvx::Template);
    QCOMPARE(text.size(), 149);
    QVERIFY(!text.contains('\n'));
    QCOMPARE(text.count('\r'), 9);
    QVERIFY(text.startsWith(R"(<ambrel app="" appversion="" dataversion="1.1" time="">)" "\r  <tasks>\r"));
    QVERIFY(text.endsWith("  </peers>\r</ambrel>"));
}

void TestInterchangeDocument::rootAttributes()
{
    InterchangeFixture fixture;
    Txmltry xml;
    Qvx::BeginDocument(xml);
    QStringList names;
    for (const pugi::xml_attribute &attribute : xml.NodeAt(QStringLiteral("ambrel")).attributes())
        names.append(QString::fromUtf8(attribute.name()) + QLatin1Char('=') + QString::fromUtf8(attribute.value()));
    const QString version = TQvVersionInfo().GetValue(TQvVersionInfo::FileVersion);
    QVERIFY(!version.isEmpty());
    QCOMPARE(names, QStringList({QStringLiteral("app=Plumcrest"), QStringLiteral("appversion=") + version,
                                 QStringLiteral("dataversion=1.1"),
                                 QStringLiteral("time=2026-03-05T07:04:09.000Z")}));
    QCOMPARE(xml.CountChildren(QStringLiteral("ambrel")), 4);
    QVERIFY(fixture.prompter.messages.isEmpty());
}

void TestInterchangeDocument::taskAttributesInOrder()
{
    InterchangeFixture fixture;
    Txmltry xml;
    Qvx::BeginDocument(xml);
    TTaskInfo task = FullTask(QStringLiteral("{A}"), QStringLiteral("{P}"), QStringLiteral("x"));
    Qvx::AppendElement(xml.NodeAt(Qvx::TasksPath), "task", Qvx::TaskAttributes(task, RootPid, LocalBias()));
    QStringList written;
    for (const pugi::xml_attribute &attribute : xml.NodeAt(QStringLiteral("ambrel,tasks,task#0")).attributes())
        written.append(QString::fromUtf8(attribute.name()) + QLatin1Char('=') + QString::fromUtf8(attribute.value()));
    QCOMPARE(written, QStringList({
                          QStringLiteral("tid={A}"),
                          QStringLiteral("pid=root"),
                          QStringLiteral("content=x"),
                          QStringLiteral("check-flag=True"),
                          QStringLiteral("alarm-flag=False"),
                          QStringLiteral("due-flag=True"),
                          QStringLiteral("text-color=3368601"),
                          QStringLiteral("background-color=-16777211"),
                          QStringLiteral("create-time=2025-01-02T03:04:05.000Z"),
                          QStringLiteral("edit-time=2025-02-03T04:05:06.000Z"),
                          QStringLiteral("check-time=2025-03-04T05:06:07.000Z"),
                          QStringLiteral("alarm-time=1899-12-30T00:00:00.000Z"),
                          QStringLiteral("due-time=2025-04-05T00:00:00.000Z"),
                      }));
}

void TestInterchangeDocument::lineBreaksSurviveTheFile_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("two lines") << QStringLiteral("first\r\nsecond");
    QTest::newRow("empty lines and a trailing break") << QStringLiteral("a\r\n\r\nb\r\n");
    QTest::newRow("a lone CR stays a CR") << QStringLiteral("a\rb");
    QTest::newRow("tab, quotes, markup, non-ASCII") << QStringLiteral("\t\"<&>'\u00e9\u4e2d");
}

// Written, saved, loaded and read as the readers do: the stored text comes back.
void TestInterchangeDocument::lineBreaksSurviveTheFile()
{
    QFETCH(QString, stored);
    InterchangeFixture fixture;
    {
        Txmltry xml;
        Qvx::BeginDocument(xml);
        Qvx::AppendElement(xml.NodeAt(Qvx::TasksPath), "task", {{"content", Qvx::ContentText(stored)}});
        xml.SaveDocument(fixture.file(QStringLiteral("t.qvx")), true);
    }
    Txmltry xml;
    xml.LoadDocument(fixture.file(QStringLiteral("t.qvx")), true);
    QCOMPARE(Qvx::ReadContent(xml.ReadAttr(QStringLiteral("ambrel,tasks,task#0"), QStringLiteral("content"))), stored);
}

void TestInterchangeDocument::readBoolean_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");  // 0 false, 1 true, -1 null, -2 error
    QTest::newRow("True") << QStringLiteral("True") << 1;
    QTest::newRow("FALSE") << QStringLiteral("FALSE") << 0;
    QTest::newRow("t") << QStringLiteral("t") << 1;
    QTest::newRow("fal") << QStringLiteral("fal") << 0;
    QTest::newRow("empty is null") << QString() << -1;
    QTest::newRow("yes") << QStringLiteral("yes") << -2;
    QTest::newRow("longer than the word") << QStringLiteral("truely") << -2;
    QTest::newRow("a number") << QStringLiteral("1") << -2;
}

void TestInterchangeDocument::readBoolean()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    try {
        const std::optional<bool> value = Qvx::ReadBoolean(text, QStringLiteral("checkFlag"));
        QCOMPARE(value.has_value() ? int(*value) : -1, expected);
    } catch (const AppError &error) {
        QCOMPARE(expected, -2);
        QCOMPARE(error.message(), QStringLiteral("'%1' is not a valid boolean value for field 'checkFlag'").arg(text));
    }
}

void TestInterchangeDocument::readInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("expected");
    QTest::newRow("system colour") << QStringLiteral("-16777211") << true << -16777211;
    QTest::newRow("zero") << QStringLiteral("0") << true << 0;
    QTest::newRow("empty is null") << QString() << true << -1;
    QTest::newRow("hex") << QStringLiteral("0xFF") << false << 0;
    QTest::newRow("beyond 32 bits") << QStringLiteral("4278190085") << false << 0;
    QTest::newRow("word") << QStringLiteral("red") << false << 0;
}

void TestInterchangeDocument::readInteger()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, expected);
    try {
        const std::optional<qint32> value = Qvx::ReadInteger(text, QStringLiteral("textColor"));
        QVERIFY(valid);
        QCOMPARE(value.value_or(-1), expected);
    } catch (const AppError &error) {
        QVERIFY(!valid);
        QCOMPARE(error.message(), QStringLiteral("'%1' is not a valid integer value for field 'textColor'").arg(text));
    }
}

// A time written at +02:00 and read at UTC is the same instant, two hours earlier on the
// clock; the zero date-time ("not set") stays zero instead of becoming a date in 1899.
void TestInterchangeDocument::readTimeAcrossZones()
{
    QString written, zero;
    {
        ZoneScope zone("XST-2");
        written = Qvx::TimeText(At(2025, 6, 1, 1, 30), LocalBias());
        zero = Qvx::TimeText(ZeroDateTime, LocalBias());
    }
    QCOMPARE(written, QStringLiteral("2025-06-01T01:30:00.000+02:00"));
    QCOMPARE(zero, QStringLiteral("1899-12-30T00:00:00.000+02:00"));
    ZoneScope zone("UTC0");
    QCOMPARE(Qvx::ReadTime(written, LocalBias()), At(2025, 5, 31, 23, 30));
    QCOMPARE(Qvx::ReadTime(zero, LocalBias()), ZeroDateTime);
    QCOMPARE(Qvx::ReadTime(QStringLiteral("1899-12-30T00:00:01.000+02:00"), LocalBias()), At(1899, 12, 29, 22, 0, 1));
}

void TestInterchangeDocument::readTimeRejects_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("date only") << QStringLiteral("2025-06-01");
    QTest::newRow("no month 13") << QStringLiteral("2025-13-01T00:00:00.000Z");
    QTest::newRow("no 29 February 2025") << QStringLiteral("2025-02-29T00:00:00.000Z");
    QTest::newRow("no 31 April") << QStringLiteral("2025-04-31T00:00:00.000+01:00");
    QTest::newRow("no year 0") << QStringLiteral("0000-01-01T00:00:00.000Z");
    QTest::newRow("no hour 24:30") << QStringLiteral("2025-01-01T24:30:00.000Z");
    QTest::newRow("no zone +15:00") << QStringLiteral("2025-01-01T00:00:00.000+15:00");
    QTest::newRow("no zone +01:60") << QStringLiteral("1899-12-30T00:00:00.000+01:60");
    QTest::newRow("no letters") << QStringLiteral("2025-01-0xT00:00:00.000Z");
}

void TestInterchangeDocument::readTimeRejects()
{
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(AppError, Qvx::ReadTime(text, LocalBias()));
}

// The hand reader of the common form against the full reader and the zero rule, on
// texts as writers make them in any zone, and on near misses the full reader takes.
void TestInterchangeDocument::readTimeAgreesWithTheFullReader()
{
    const auto reference = [](const QString &text, int bias) {
        const TDateTime time = IsoToDateTime(text, bias);
        static const QRegularExpression zero(QStringLiteral(R"(^1899-12-30T00:00:00(\.0+)?(Z|[+-]\d\d:\d\d)?$)"));
        return zero.match(text.trimmed()).hasMatch() ? ZeroDateTime : time;
    };
    QStringList texts{QStringLiteral("1899-12-30T00:00:00.000Z"), QStringLiteral("1899-12-30T00:00:00.000-14:00"),
                      QStringLiteral("1899-12-30T00:00:01.000+02:00"), QStringLiteral("0001-01-01T00:00:00.000+00:30"),
                      QStringLiteral("9999-12-31T23:59:59.000-05:00"), QStringLiteral("2024-02-29T12:00:00.000Z"),
                      QStringLiteral("2000-02-29T00:00:00.000+14:00"), QStringLiteral(" 2025-01-01T00:00:00.000Z"),
                      QStringLiteral("2025-01-01T00:00:00.5Z"), QStringLiteral("2025-01-01T24:00:00.000Z"),
                      QStringLiteral("1899-12-30T00:00:00"), QStringLiteral("12025-01-01T00:00:00.000Z")};
    QRandomGenerator random(15);
    for (int i = 0; i < 3000; ++i)
        texts.append(IsoTime(random.bounded(3652058.0) - 693593.0, random.bounded(-14 * 60, 14 * 60 + 1)));
    // Both readers refuse what lies outside the years 1 to 9999, or neither does.
    const auto read = [](const auto &reader, const QString &text, int bias) -> std::optional<qint64> {
        try {
            return DateTimeToMs(reader(text, bias));
        } catch (const AppError &) {
            return std::nullopt;
        }
    };
    for (const int bias : {0, -60, 330, -840}) {
        for (const QString &text : texts)
            QCOMPARE(read(Qvx::ReadTime, text, bias), read(reference, text, bias));
    }
}

void TestInterchangeDocument::streamReadsWhatTheDocumentReads_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("inForm");
    const QByteArray head = "<?xml version=\"1.0\"?>\n<ambrel app=\"Plumcrest\" appversion=\"1\" time=\"\">\n";
    QTest::newRow("as written") << head + "  <tasks>\n    <task tid=\"a\" pid=\"root\" content=\"x&#10;y &amp;&lt;&gt;&quot;&apos; &#x1F600;&#233; >\" />\n"
                                          "  </tasks>\n  <memos>\n    <memo mid=\"m\" content=\"memo\" />\n  </memos>\n  <notes />\n</ambrel>\n"
                                << true;
    QTest::newRow("other spellings") << QByteArray("<ambrel app='Plumcrest'><tasks><item  tid = 'b'\tcontent=\"tab\there\r\nCR LF\rCR\nLF\" "
                                                   "tid=\"second\"><sub a=\"1\"/></item ><task/></tasks><tasks><task tid=\"ignored\"/>"
                                                   "</tasks><memos/></ambrel>")
                                     << true;
    QTest::newRow("no app") << QByteArray("<ambrel><tasks><task tid=\"a\"/></tasks><memos></memos></ambrel>") << true;
    QTest::newRow("comment") << head + "<!-- note --><tasks/><memos/></ambrel>" << false;
    QTest::newRow("no memos") << head + "<tasks><task tid=\"a\"/></tasks></ambrel>" << false;
    QTest::newRow("other entity") << head + "<tasks><task tid=\"&foo;\"/></tasks><memos/></ambrel>" << false;
    QTest::newRow("bare ampersand") << head + "<tasks><task tid=\"a & b\"/></tasks><memos/></ambrel>" << false;
    QTest::newRow("reference to 0") << head + "<tasks><task tid=\"a&#0;b\"/></tasks><memos/></ambrel>" << false;
    QTest::newRow("text in a section") << head + "<tasks>words<task tid=\"a\"/></tasks><memos/></ambrel>" << false;
    QTest::newRow("mismatched end") << head + "<tasks><task tid=\"a\"></tusk></tasks><memos/></ambrel>" << false;
    QTest::newRow("cut short") << head + "<tasks><task tid=\"a\"/></tasks><memos/>" << false;
    QTest::newRow("after the root") << head + "<tasks/><memos/></ambrel><more/>" << false;
    QTest::newRow("blank before the declaration") << " " + head + "<tasks/><memos/></ambrel>" << false;
    QTest::newRow("attributes run together") << head + "<tasks><task a=\"1\"b=\"2\"/></tasks><memos/></ambrel>" << false;
    QTest::newRow("less-than in a value") << head + "<tasks><task a=\"1<2\"/></tasks><memos/></ambrel>" << false;
    QTest::newRow("CDATA") << head + "<tasks><![CDATA[x]]></tasks><memos/></ambrel>" << false;
}

// The record reader of the common form against the document reader (pugixml) on the
// same text: a file is in the form only when every element of both sections and the
// root's app read exactly as the document reads them; anything else is left to it.
void TestInterchangeDocument::streamReadsWhatTheDocumentReads()
{
    QFETCH(QByteArray, xml);
    QFETCH(bool, inForm);
    InterchangeFixture fixture;
    const QString name = fixture.file(QStringLiteral("form.qvx"));
    {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        WriteQvxContainer(file, xml);
    }
    const QvxStream::Survey survey = QvxStream::survey(name);
    QCOMPARE(survey.inForm, inForm);
    if (!inForm)
        return;

    Txmltry document;
    document.LoadDocument(name, true);
    const pugi::xml_node root = document.NodeAt(QStringLiteral("ambrel"));
    QCOMPARE(survey.app.has_value(), bool(root.attribute("app")));
    if (survey.app)
        QCOMPARE(*survey.app, QByteArray(root.attribute("app").value()));
    const auto attributes = [](const pugi::xml_node &node) {
        QList<QByteArray> list{"<record>"};
        for (const pugi::xml_attribute &attribute : node.attributes())
            list << QByteArray(attribute.name()) << QByteArray(attribute.value());
        return list;
    };
    const auto streamed = [](const QvxAttributes &view) {
        QList<QByteArray> list{"<record>"};
        for (const auto &[attribute, value] : view)
            list << attribute.toByteArray() << value.toByteArray();
        return list;
    };
    QList<QByteArray> expected, read;
    for (const pugi::xml_node &node : document.NodeAt(Qvx::TasksPath).children())
        expected << attributes(node);
    int next = 0;
    QvxStream::forEachTask(name, [&](const QvxAttributes &view, int position) {
        read << streamed(view);
        return position == next++;
    });
    QCOMPARE(read, expected);
    expected.clear();
    read.clear();
    for (const pugi::xml_node &node : document.NodeAt(Qvx::MemosPath).children())
        expected << attributes(node);
    for (const QvxStream::Record &record : survey.memos)
        read << streamed(record.view());
    QCOMPARE(read, expected);
}

void TestInterchangeDocument::checkApp_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("ours") << QStringLiteral(R"(<ambrel app="Plumcrest"/>)") << QStringList();
    QTest::newRow("another") << QStringLiteral(R"(<ambrel app="abc"/>)")
                             << QStringList{QStringLiteral("Data mismatch: abcPlumcrest")};
    QTest::newRow("letter case") << QStringLiteral(R"(<ambrel app="plumcrest"/>)")
                                 << QStringList{QStringLiteral("Data mismatch: plumcrestPlumcrest")};
    QTest::newRow("missing") << QStringLiteral(R"(<ambrel appversion="1"/>)")
                             << QStringList{QStringLiteral("Error: ambrel: app not Exist !"),
                                            QStringLiteral("Data mismatch: Plumcrest")};
}

void TestInterchangeDocument::checkApp()
{
    QFETCH(QString, root);
    QFETCH(QStringList, lines);
    ScriptedPrompter prompter;
    Txmltry xml;
    xml.LoadXmlText(root);
    try {
        Qvx::CheckApp(xml);
        QVERIFY(lines.isEmpty());
    } catch (const AppError &error) {
        QVERIFY(!lines.isEmpty());
        QCOMPARE(prompter.lines() + QStringList{error.message()}, lines);
    }
}

void TestInterchangeDocument::valuesReadFromBytesAsFromText_data()
{
    // Values in the plain form are read from their bytes; every value must come out as
    // the reading through text makes it, errors included.
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QByteArray>("bytes");
    const char *const flags[] = {"True", "False", "true", "FALSE", "T", "f", "", "Truth", "1", " True"};
    for (const char *value : flags)
        QTest::addRow("flag \"%s\"", value) << "check-flag" << QByteArray(value);
    const char *const integers[] = {"0", "-0", "7", "007", "-123456789", "123456789", "2147483647", "-2147483648",
                                    "2147483648", "99999999999", "+5", "-", "", "1e3", " 5", "0x10"};
    for (const char *value : integers)
        QTest::addRow("integer \"%s\"", value) << "text-color" << QByteArray(value);
    const char *const times[] = {"2025-01-01T10:00:00.000Z",      "2025-01-01T10:00:00.000+02:00",
                                 "2025-01-01T10:00:00.000-14:00", "1899-12-30T00:00:00.000Z",
                                 "1899-12-30T00:00:00.000+05:30", "9999-12-31T23:59:59.000-14:00",
                                 "0100-01-01T00:00:00.000+14:00", "2024-02-29T12:00:00.000Z",
                                 "2025-02-29T12:00:00.000Z",      "2025-01-01T10:00:00Z",
                                 "2025-01-01T10:00:00.000",       "2025-01-01T24:00:00.000Z",
                                 "2025-01-01T10:00:00.000+15:00", "2025-01-01 10:00:00.000Z",
                                 "yesterday",                     ""};
    for (const char *value : times)
        QTest::addRow("time \"%s\"", value) << "due-time" << QByteArray(value);
    QTest::addRow("time with a non-ASCII digit") << "due-time" << QByteArray("2025-01-01T10:00:00.00\xd9\xa0Z");
}

void TestInterchangeDocument::valuesReadFromBytesAsFromText()
{
    QFETCH(QString, attribute);
    QFETCH(QByteArray, bytes);
    const QByteArray name = attribute.toLatin1();
    const auto column = std::find_if(TaskRecords.columns.begin(), TaskRecords.columns.end(),
                                     [&](const Column &each) { return name == each.attribute; });
    QVERIFY(column != TaskRecords.columns.end());
    const int bias = -120;  // two hours east
    const QvxAttributes attributes{{QByteArrayView(name), QByteArrayView(bytes)}};
    const auto outcome = [&](const std::function<Query::Value()> &read) -> QString {
        try {
            const Query::Value value = read();
            return QStringLiteral("value %1 %2").arg(value.index()).arg(Query::toString(value));
        } catch (const AppError &error) {
            return QStringLiteral("error ") + error.message();
        }
    };
    RecordReader record(attributes, TaskRecords, 0);
    const QString fromBytes = outcome([&] { return DecodeValue(*column, record, bias, Breaks::AsRead); });
    const QString text = QString::fromUtf8(bytes);
    const QString fromText = outcome([&]() -> Query::Value {
        switch (column->codec) {
        case Codec::Boolean:
            if (const std::optional<bool> value = Qvx::ReadBoolean(text, QLatin1String(column->name)))
                return qint64(*value);
            return std::monostate();
        case Codec::Integer:
            if (const std::optional<qint32> value = Qvx::ReadInteger(text, QLatin1String(column->name)))
                return qint64(*value);
            return std::monostate();
        default:
            return ClampDateTime(Qvx::ReadTime(text, bias));
        }
    });
    QCOMPARE(fromBytes, fromText);
}

QTEST_GUILESS_MAIN(TestInterchangeDocument)
#include "tst_interchange_document.moc"
