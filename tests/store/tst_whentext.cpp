// The dates and times typed for a due date or a reminder, read against a fixed clock.

#include "store/Clock.h"
#include "store/WhenText.h"

#include <QTest>

using namespace quillpad;

class TestWhenText : public QObject {
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
};

void TestWhenText::reads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("noneAllowed");
    QTest::addColumn<QString>("expected");  // local wall time; "none"; empty: refused

    // now is Wednesday 2025-03-05 10:15:30
    const struct {
        const char *text;
        const char *expected;
    } rows[] = {
        {"2025-03-01", "2025-03-01 00:00:00"},
        {"2025-03-01 14:30", "2025-03-01 14:30:00"},
        {"2025-03-01t14:30:15", "2025-03-01 14:30:15"},
        {"2025-03-01 2:30pm", "2025-03-01 14:30:00"},
        {"now", "2025-03-05 10:15:30"},
        {"today", "2025-03-05 00:00:00"},
        {"  TOMORROW   9:00 ", "2025-03-06 09:00:00"},
        {"tomorrow 9 am", "2025-03-06 09:00:00"},
        {"yesterday", "2025-03-04 00:00:00"},
        {"14:30", "2025-03-05 14:30:00"},
        {"12am", "2025-03-05 00:00:00"},
        {"12pm", "2025-03-05 12:00:00"},
        {"+2d", "2025-03-07 10:15:30"},
        {"+1w 8:00", "2025-03-12 08:00:00"},
        {"-1d", "2025-03-04 10:15:30"},
        {"+3h", "2025-03-05 13:15:30"},
        {"+45min", "2025-03-05 11:00:30"},
        {"+24h", "2025-03-06 10:15:30"},
        {"mon", "2025-03-10 00:00:00"},
        {"wed", "2025-03-05 00:00:00"},  // today is one
        {"Wednesday 18:00", "2025-03-05 18:00:00"},
        {"next wed", "2025-03-12 00:00:00"},
        {"friday", "2025-03-07 00:00:00"},
        {"next friday 14:30", "2025-03-07 14:30:00"},
        {"9999-12-31 23:59", "9999-12-31 23:59:00"},
        {"", ""},
        {"soon", ""},
        {"mo", ""},  // too short to tell a day
        {"2025-02-30", ""},
        {"2025-03-01 25:00", ""},
        {"tomorrow 24:00", ""},
        {"tomorrow 9", ""},  // a bare number is no time
        {"13pm", ""},
        {"0am", ""},
        {"next", ""},
        {"next week", ""},
        {"tomorrow tomorrow", ""},
        {"+3h 9:00", ""},
        {"+2x", ""},
        {"+2", ""},
        {"+999999999d", ""},  // past the year 9999
        {"+9999999999d", ""},
        {"10000-01-01", ""},
        {"2025-03-01 14:30 extra", ""},
        {"none", ""},  // only where it is allowed
    };
    for (const auto &row : rows)
        QTest::newRow(row.text[0] ? row.text : "(empty)")
            << QString::fromUtf8(row.text) << false << QString::fromUtf8(row.expected);
    QTest::newRow("none allowed") << QStringLiteral("None") << true << QStringLiteral("none");
    QTest::newRow("a date where none is allowed") << QStringLiteral("today") << true
                                                   << QStringLiteral("2025-03-05 00:00:00");
    // A zone is taken to local time.
    QTest::newRow("UTC") << QStringLiteral("2025-03-01T14:30:00Z") << false
                         << QDateTime(QDate(2025, 3, 1), QTime(14, 30), Qt::UTC)
                                .toLocalTime()
                                .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QTest::newRow("offset") << QStringLiteral("2025-03-01T14:30:00+02:00") << false
                            << QDateTime(QDate(2025, 3, 1), QTime(12, 30), Qt::UTC)
                                   .toLocalTime()
                                   .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void TestWhenText::reads()
{
    QFETCH(QString, text);
    QFETCH(bool, noneAllowed);
    QFETCH(QString, expected);
    ManualClock clock(QDateTime(QDate(2025, 3, 5), QTime(10, 15, 30)));
    Clock::install(&clock);
    const std::optional<When> when = ReadWhen(text, noneAllowed ? WhenNone::Allowed : WhenNone::Refused);
    Clock::install(nullptr);
    QString got;
    if (when)
        got = when->none ? QStringLiteral("none") : DateTimeToQt(when->at).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestWhenText)
#include "tst_whentext.moc"
