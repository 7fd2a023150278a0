// Date-time arithmetic, the ISO time text, text helpers, the boxes and the error report.

#include "store/AppError.h"
#include "store/Clock.h"
#include "store/DateTime.h"
#include "store/GuardedConnect.h"
#include "store/IsoTimeText.h"
#include "support/ScriptedPrompter.h"
#include "store/pU_Funcs.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QSet>
#include <QRegularExpression>
#include <QTest>

#include <ctime>
#include <limits>

using namespace quillpad;

namespace {

// Sets the process's zone with a POSIX TZ rule, so no zone database is needed.
class ZoneScope {
public:
    explicit ZoneScope(const char *tz) : m_old(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", tz);
        tzset();
    }
    ~ZoneScope()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_old;
    bool m_had;
};

class ClockScope {
public:
    explicit ClockScope(const QDateTime &utc) : m_clock(utc) { Clock::install(&m_clock); }
    ~ClockScope() { Clock::install(nullptr); }

private:
    ManualClock m_clock;
};

const char *const BerlinRule = "CET-1CEST,M3.5.0,M10.5.0/3";
const char *const NewYorkRule = "EST5EDT,M3.2.0,M11.1.0";

}  // namespace

class TestHelpers : public QObject {
    Q_OBJECT

private slots:
    void fileDialogStart();
    void dateTimeEncoding_data();
    void dateTimeEncoding();
    void dateTimeRoundTripsEveryMillisecondPattern();
    void oneLine_data();
    void oneLine();
    void stderrReportIsOneLine_data();
    void stderrReportIsOneLine();
    void quoteSql_data();
    void quoteSql();
    void localBias_data();
    void localBias();
    void isoTime_data();
    void isoTime();
    void isoTimeUsesTheOffsetInForceNow();
    void isoTimeWrittenIntoABuffer();
    void isoToDateTime_data();
    void isoToDateTime();
    void isoToDateTimeRejects_data();
    void isoToDateTimeRejects();
    void isoRoundTripInAnyZone();
    void isoTimeAndIsoToDateTimeAreInverses_data();
    void isoTimeAndIsoToDateTimeAreInverses();
    void outOfRangeValuesAreKeptAtTheNearestEnd_data();
    void outOfRangeValuesAreKeptAtTheNearestEnd();
    void boxes();
    void standardErrorText_data();
    void standardErrorText();
    void guardReportsOnceAndGoesOn();
    void guardedConnectionsReportWhatTheirHandlersRaise();
    void newGuidIsBracedUpperCase();
};

void TestHelpers::dateTimeEncoding_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<double>("value");
    QTest::newRow("epoch") << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << 0.0;
    QTest::newRow("noon next day") << QDateTime(QDate(1899, 12, 31), QTime(12, 0)) << 1.5;
    QTest::newRow("before epoch, time runs forward") << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << -1.25;
    QTest::newRow("2000-01-01") << QDateTime(QDate(2000, 1, 1), QTime(0, 0)) << 36526.0;
    QTest::newRow("2009-03-05 18:00") << QDateTime(QDate(2009, 3, 5), QTime(18, 0)) << 39877.75;
}

void TestHelpers::dateTimeEncoding()
{
    QFETCH(QDateTime, when);
    QFETCH(double, value);
    QCOMPARE(DateTimeFromQt(when), value);
    QCOMPARE(DateTimeToQt(value), when);
}

void TestHelpers::dateTimeRoundTripsEveryMillisecondPattern()
{
    // Far dates leave the fewest bits for the fraction: the millisecond must survive.
    const QList<QDate> dates{QDate(1, 1, 1), QDate(1899, 12, 29), QDate(1970, 1, 1), QDate(2026, 12, 10),
                             QDate(9999, 12, 31)};
    const QList<QTime> times{QTime(0, 0), QTime(0, 0, 0, 1), QTime(12, 34, 56, 789), QTime(23, 59, 59, 999)};
    for (const QDate &date : dates) {
        for (const QTime &time : times) {
            const TDateTime value = EncodeDateTime(date, time);
            QCOMPARE(DateOf(value), date);
            QCOMPARE(TimeOf(value), time);
            QCOMPARE(MsToDateTime(DateTimeToMs(value)), value);
        }
    }
    const TDateTime a = EncodeDateTime(QDate(2026, 1, 1), QTime(8, 0, 0, 1));
    QVERIFY(SameDateTime(a, a + 0.4 / MsPerDay));
    QVERIFY(!SameDateTime(a, a + 1.0 / MsPerDay));
}

void TestHelpers::oneLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("flat");
    QTest::newRow("CR LF gives two blanks") << QStringLiteral("a\r\nb") << QStringLiteral("a  b");
    QTest::newRow("unchanged") << QStringLiteral("plain text") << QStringLiteral("plain text");
    QTest::newRow("lone LF and CR") << QStringLiteral("\na\rb\n") << QStringLiteral(" a b ");
    QTest::newRow("empty") << QString() << QString();
}

void TestHelpers::oneLine()
{
    QFETCH(QString, text);
    QFETCH(QString, flat);
    QCOMPARE(OneLine(text), flat);
}

void TestHelpers::stderrReportIsOneLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("report");
    QTest::newRow("CR LF gives one blank") << QStringLiteral("a\r\nb") << QStringLiteral("Ask: a b");
    QTest::newRow("LF CR gives two") << QStringLiteral("a\n\rb") << QStringLiteral("Ask: a  b");
    QTest::newRow("lone LF and CR") << QStringLiteral("\na\rb\n") << QStringLiteral("Ask:  a b ");
}

void TestHelpers::stderrReportIsOneLine()
{
    QFETCH(QString, text);
    QFETCH(QString, report);
    PromptMessage box;
    box.caption = QStringLiteral("Ask");
    box.text = text;
    QCOMPARE(StderrPrompter::oneLineReport(box), report);
}

void TestHelpers::quoteSql_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("empty") << QString() << QStringLiteral("''");
    QTest::newRow("one quote") << QStringLiteral("'") << QStringLiteral("''''");
    QTest::newRow("it's") << QStringLiteral("it's") << QStringLiteral("'it''s'");
    QTest::newRow("two quotes") << QStringLiteral("a''b") << QStringLiteral("'a''''b'");
}

void TestHelpers::quoteSql()
{
    QFETCH(QString, text);
    QFETCH(QString, quoted);
    QCOMPARE(QuoteSql(text), quoted);
}

void TestHelpers::localBias_data()
{
    QTest::addColumn<QByteArray>("tz");
    QTest::addColumn<QDateTime>("nowUtc");
    QTest::addColumn<int>("bias");
    const QDateTime winter(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC);
    const QDateTime summer(QDate(2026, 7, 15), QTime(12, 0), Qt::UTC);
    QTest::newRow("UTC") << QByteArray("UTC0") << winter << 0;
    QTest::newRow("UTC+8") << QByteArray("XST-8") << winter << -480;
    QTest::newRow("UTC+5:30") << QByteArray("IST-5:30") << winter << -330;
    QTest::newRow("UTC-5") << QByteArray("XST5") << winter << 300;
    QTest::newRow("New York winter") << QByteArray(NewYorkRule) << winter << 300;
    QTest::newRow("New York summer") << QByteArray(NewYorkRule) << summer << 240;
    QTest::newRow("Berlin summer") << QByteArray(BerlinRule) << summer << -120;
}

void TestHelpers::localBias()
{
    QFETCH(QByteArray, tz);
    QFETCH(QDateTime, nowUtc);
    QFETCH(int, bias);
    ZoneScope zone(tz.constData());
    ClockScope clock(nowUtc);
    QCOMPARE(LocalBias(), bias);
}

void TestHelpers::isoTime_data()
{
    QTest::addColumn<QByteArray>("tz");
    QTest::addColumn<QString>("text");
    QTest::newRow("bias -60") << QByteArray("XST-1") << QStringLiteral("2009-03-05T07:04:09.000+01:00");
    QTest::newRow("bias 0") << QByteArray("UTC0") << QStringLiteral("2009-03-05T07:04:09.000Z");
    QTest::newRow("bias 300") << QByteArray("XST5") << QStringLiteral("2009-03-05T07:04:09.000-05:00");
    QTest::newRow("bias -330") << QByteArray("IST-5:30") << QStringLiteral("2009-03-05T07:04:09.000+05:30");
}

void TestHelpers::isoTime()
{
    QFETCH(QByteArray, tz);
    QFETCH(QString, text);
    ZoneScope zone(tz.constData());
    // The milliseconds are dropped, never rounded into the next second.
    QCOMPARE(IsoTime(EncodeDateTime(QDate(2009, 3, 5), QTime(7, 4, 9, 876))), text);
}

void TestHelpers::isoTimeUsesTheOffsetInForceNow()
{
    ZoneScope zone(BerlinRule);
    ClockScope clock(QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC));
    const TDateTime summerDay = EncodeDateTime(QDate(2026, 7, 1), QTime(9, 30));
    QCOMPARE(IsoTime(summerDay), QStringLiteral("2026-07-01T09:30:00.000+01:00"));
}

// The writers' text is IsoTime's, for every kind of value and offset.
void TestHelpers::isoTimeWrittenIntoABuffer()
{
    std::vector<TDateTime> values{ZeroDateTime, -1.25, -0.25, 0.999999999, 1.5, 45000.123456789, 45000.99999999,
                                  EncodeDateTime(QDate(1, 1, 1)), EncodeDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999)),
                                  EncodeDateTime(QDate(2024, 2, 29), QTime(12, 0)), -700000.5, 3000000.75, 1e12, -1e12};
    QRandomGenerator random(15);
    for (int i = 0; i < 2000; ++i)
        values.push_back(random.bounded(3700000.0) - 700000.0);
    char text[IsoTimeCapacity];
    for (const int bias : {0, -60, 300, -330, 720, -840, 6000}) {
        for (const TDateTime value : values) {
            const int length = WriteIsoTime(text, value, bias);
            QCOMPARE(QString::fromLatin1(text, length), IsoTime(value, bias));
        }
    }
}

void TestHelpers::isoToDateTime_data()
{
    QTest::addColumn<QByteArray>("tz");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("local");
    QTest::newRow("+02:00 read at UTC") << QByteArray("UTC0") << QStringLiteral("2026-05-01T10:00:00.000+02:00")
                                        << QDateTime(QDate(2026, 5, 1), QTime(8, 0));
    QTest::newRow("Z read at UTC+8") << QByteArray("XST-8") << QStringLiteral("2026-05-01T20:00:00.000Z")
                                     << QDateTime(QDate(2026, 5, 2), QTime(4, 0));
    QTest::newRow("-05:00 read at +05:30") << QByteArray("IST-5:30") << QStringLiteral("2026-01-01T00:00:00-05:00")
                                           << QDateTime(QDate(2026, 1, 1), QTime(10, 30));
    QTest::newRow("fraction kept to the ms") << QByteArray("UTC0") << QStringLiteral("2026-01-01T00:00:00.1234Z")
                                             << QDateTime(QDate(2026, 1, 1), QTime(0, 0, 0, 123));
    QTest::newRow("no zone is local") << QByteArray("XST-8") << QStringLiteral("2026-01-01T06:07:08")
                                      << QDateTime(QDate(2026, 1, 1), QTime(6, 7, 8));
    QTest::newRow("24:00 ends the day") << QByteArray("UTC0") << QStringLiteral("2026-02-28T24:00:00Z")
                                        << QDateTime(QDate(2026, 3, 1), QTime(0, 0));
}

void TestHelpers::isoToDateTime()
{
    QFETCH(QByteArray, tz);
    QFETCH(QString, text);
    QFETCH(QDateTime, local);
    ZoneScope zone(tz.constData());
    ClockScope clock(QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC));
    QCOMPARE(DateTimeToQt(IsoToDateTime(text)), local);
}

void TestHelpers::isoToDateTimeRejects_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("words") << QStringLiteral("yesterday");
    QTest::newRow("no time") << QStringLiteral("2026-01-01");
    QTest::newRow("month 13") << QStringLiteral("2026-13-01T00:00:00Z");
    QTest::newRow("30 February") << QStringLiteral("2026-02-30T00:00:00Z");
    QTest::newRow("25 o'clock") << QStringLiteral("2026-01-01T25:00:00Z");
    QTest::newRow("24:00:01") << QStringLiteral("2026-01-01T24:00:01Z");
    QTest::newRow("bad zone") << QStringLiteral("2026-01-01T00:00:00+1:00");
    QTest::newRow("trailing junk") << QStringLiteral("2026-01-01T00:00:00Zjunk");
    QTest::newRow("year 0") << QStringLiteral("0000-06-01T00:00:00Z");
    QTest::newRow("year 10000") << QStringLiteral("10000-01-01T00:00:00Z");
    QTest::newRow("a year that overflows the milliseconds") << QStringLiteral("974610692-01-01T10:00:00Z");
}

void TestHelpers::isoToDateTimeRejects()
{
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(AppError, IsoToDateTime(text));
}

void TestHelpers::isoRoundTripInAnyZone()
{
    for (const char *tz : {"UTC0", "XST-8", "IST-5:30", NewYorkRule, BerlinRule}) {
        ZoneScope zone(tz);
        ClockScope clock(QDateTime(QDate(2026, 7, 15), QTime(3, 0), Qt::UTC));
        const TDateTime value = EncodeDateTime(QDate(2024, 2, 29), QTime(23, 59, 58));
        QCOMPARE(IsoToDateTime(IsoTime(value)), value);
    }
}

void TestHelpers::isoTimeAndIsoToDateTimeAreInverses_data()
{
    QTest::addColumn<TDateTime>("value");
    QTest::addColumn<int>("bias");
    const TDateTime first = MsToDateTime(FirstDateTimeMs);
    const TDateTime last = EncodeDateTime(LastDate(), QTime(23, 59, 59));
    for (int bias : {-840, -330, 0, 720}) {
        const QByteArray zone = QByteArray::number(bias);
        QTest::newRow("first instant, bias " + zone) << first << bias;
        QTest::newRow("last second, bias " + zone) << last << bias;
        QTest::newRow("zero, bias " + zone) << ZeroDateTime << bias;
        QTest::newRow("before the epoch, bias " + zone) << EncodeDateTime(QDate(1066, 10, 14), QTime(9, 0, 1)) << bias;
    }
}

void TestHelpers::isoTimeAndIsoToDateTimeAreInverses()
{
    QFETCH(TDateTime, value);
    QFETCH(int, bias);
    QVERIFY(DateTimeInRange(value));
    const QString text = IsoTime(value, bias);
    QCOMPARE(DateTimeToMs(IsoToDateTime(text, bias)), DateTimeToMs(value));
    QCOMPARE(IsoTime(IsoToDateTime(text, bias), bias), text);
}

void TestHelpers::outOfRangeValuesAreKeptAtTheNearestEnd_data()
{
    // What the database or another zone's file may hand us, and the end it is kept as.
    QTest::addColumn<TDateTime>("value");
    QTest::addColumn<QString>("text");
    const QString first = QStringLiteral("0001-01-01T00:00:00.000Z");
    const QString last = QStringLiteral("9999-12-31T23:59:59.000Z");
    QTest::newRow("1e15") << 1e15 << last;
    QTest::newRow("-1e15") << -1e15 << first;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << last;
    QTest::newRow("year -1") << EncodeDateTime(QDate(-1, 12, 31), QTime(10, 0)) << first;
    QTest::newRow("year 10000") << EncodeDateTime(QDate(10000, 1, 1)) << last;
    QTest::newRow("the last millisecond rounded up") << MsToDateTime(LastDateTimeMs) + 0.6 / MsPerDay << last;
    QTest::newRow("not a number is not set") << std::numeric_limits<double>::quiet_NaN()
                                             << QStringLiteral("1899-12-30T00:00:00.000Z");
}

void TestHelpers::outOfRangeValuesAreKeptAtTheNearestEnd()
{
    QFETCH(TDateTime, value);
    QFETCH(QString, text);
    QVERIFY(!DateTimeInRange(value));
    QCOMPARE(IsoTime(value, 0), text);
    QVERIFY(DateTimeInRange(IsoToDateTime(text, 0)));
    QVERIFY(DateTimeInRange(ClampDateTime(value)));
    QCOMPARE(IsoTime(ClampDateTime(value), 0), text);

    // Another zone's time at the ends of the range is read as the end.
    QCOMPARE(DateTimeToMs(IsoToDateTime(QStringLiteral("0001-01-01T00:00:00+14:00"), 0)), FirstDateTimeMs);
    QCOMPARE(DateTimeToMs(IsoToDateTime(QStringLiteral("9999-12-31T23:00:00-10:00"), 0)), LastDateTimeMs);
    QCOMPARE(FirstDate(), DateOf(MsToDateTime(FirstDateTimeMs)));
    QCOMPARE(LastDate(), DateOf(MsToDateTime(LastDateTimeMs)));
}

void TestHelpers::boxes()
{
    ScriptedPrompter prompter;
    prompter.setNextAnswer(PromptButton::Ok);
    QCOMPARE(AskBox(QStringLiteral("Go on?")), 1);
    prompter.setNextAnswer(PromptButton::Cancel);
    QCOMPARE(AskBox(QStringLiteral("Go on?")), 2);
    QCOMPARE(AskBox(QStringLiteral("Closed?")), 2);  // closing the box is Cancel
    ErrorBox(QStringLiteral("e"));
    WarningBox(QStringLiteral("w"));
    TipBox(QStringLiteral("line one\r\nline two"));
    QCOMPARE(prompter.lines(), (QStringList{"Ask: Go on?", "Ask: Go on?", "Ask: Closed?", "Error: e", "Warning: w",
                                            "Tip: line one\r\nline two"}));
    for (const PromptMessage &box : prompter.messages)
        QCOMPARE(box.icon, PromptIcon::None);
    QCOMPARE(prompter.messages.at(0).buttons, (QList<PromptButton>{PromptButton::Ok, PromptButton::Cancel}));
    QCOMPARE(prompter.messages.at(3).buttons, QList<PromptButton>{PromptButton::Ok});
}

void TestHelpers::standardErrorText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter gets a stop") << QStringLiteral("Disk full") << QStringLiteral("Disk full.");
    QTest::newRow("stop stays single") << QStringLiteral("Disk full.") << QStringLiteral("Disk full.");
    QTest::newRow("! sorts before .") << QStringLiteral("Failed!") << QStringLiteral("Failed!");
    QTest::newRow(") sorts before .") << QStringLiteral("(x)") << QStringLiteral("(x)");
    QTest::newRow("/ sorts after .") << QStringLiteral("a/") << QStringLiteral("a/.");
    QTest::newRow("digit") << QStringLiteral("code 5") << QStringLiteral("code 5.");
    QTest::newRow("empty") << QString() << QString();
}

void TestHelpers::standardErrorText()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(StandardErrorText(message), shown);
}

void TestHelpers::guardReportsOnceAndGoesOn()
{
    ScriptedPrompter prompter;
    bool after = false;
    QVERIFY(!RunGuarded([&] {
        throw AppError(QStringLiteral("Unable to write to x"));
        after = true;
    }));
    QVERIFY(!after);
    QVERIFY(!RunGuarded([] { throw std::runtime_error("plain"); }));
    QVERIFY(RunGuarded([] {}));
    QCOMPARE(prompter.messages.size(), 2);
    QCOMPARE(prompter.messages.at(0).caption, QStringLiteral("Ambrel Quillpad"));
    QCOMPARE(prompter.messages.at(0).text, QStringLiteral("Unable to write to x."));
    QCOMPARE(prompter.messages.at(0).icon, PromptIcon::Error);
    QCOMPARE(prompter.messages.at(1).text, QStringLiteral("plain."));
}

void TestHelpers::guardedConnectionsReportWhatTheirHandlersRaise()
{
    ScriptedPrompter prompter;
    QObject sender;
    QStringList heard;
    // With the signal's arguments, without them, and a member function of the context.
    ConnectGuarded(&sender, &QObject::objectNameChanged, &sender, [&](const QString &name) {
        heard.append(name);
        throw AppError(QStringLiteral("Failed"));
    });
    ConnectGuarded(&sender, &QObject::objectNameChanged, &sender, [&] { heard.append(QStringLiteral("no arguments")); });
    QObject receiver;
    ConnectGuarded(&sender, &QObject::objectNameChanged, &receiver, &QObject::deleteLater);
    sender.setObjectName(QStringLiteral("x"));
    QCOMPARE(heard, (QStringList{"x", "no arguments"}));
    QCOMPARE(prompter.lines(), QStringList{"Ambrel Quillpad: Failed."});
}

void TestHelpers::newGuidIsBracedUpperCase()
{
    static const QRegularExpression shape(
        QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"));
    const QString a = NewGuid();
    QCOMPARE(a.size(), 38);
    QVERIFY2(shape.match(a).hasMatch(), qPrintable(a));
    QVERIFY(a != NewGuid());
    // Random ids of version 4: the version digit and the variant bits are fixed.
    QSet<QString> seen;
    for (int i = 0; i < 20000; ++i) {
        const QString id = NewGuid();
        QCOMPARE(id.at(15), QLatin1Char('4'));
        QVERIFY2(QStringLiteral("89AB").contains(id.at(20)), qPrintable(id));
        seen.insert(id);
    }
    QCOMPARE(seen.size(), 20000);
}

// A file dialog opens where the user last was, else in the documents folder; never in
// whatever folder the program happened to be started from.
void TestHelpers::fileDialogStart()
{
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Documents")));
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("last")));
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());  // no user-dirs.dirs
    const QString documents = home.path() + QStringLiteral("/Documents");
    const QString last = home.path() + QStringLiteral("/last");
    FileRequest request;
    QCOMPARE(FileDialogStart(request, {}), documents);
    QCOMPARE(FileDialogStart(request, last), last);
    QCOMPARE(FileDialogStart(request, home.path() + QStringLiteral("/gone")), documents);
    request.fileName = QStringLiteral("Tasks.qvx");
    QCOMPARE(FileDialogStart(request, last), last + QStringLiteral("/Tasks.qvx"));
    request.directory = home.path();
    QCOMPARE(FileDialogStart(request, last), home.path() + QStringLiteral("/Tasks.qvx"));

    const ClockScope clock(QDateTime(QDate(2026, 12, 11), QTime(23, 30), QTimeZone::utc()));
    QCOMPARE(DatedFileName(QStringLiteral(".qvx")),
             QStringLiteral("Tasks ") + Clock::now().date().toString(Qt::ISODate) + QStringLiteral(".qvx"));
    qputenv("HOME", savedHome);
    if (savedConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedConfig);
}

QTEST_GUILESS_MAIN(TestHelpers)
#include "tst_helpers.moc"
