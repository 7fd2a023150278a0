#include "pU_Funcs.h"

#include "AppError.h"
#include "Clock.h"
#include "Prompter.h"
#include "Query.h"

#include <QRegularExpression>
#include <QUuid>

#include <cstdio>
#include <ctime>

namespace {

PromptButton ShowBox(const QString &caption, const QString &text, QList<PromptButton> buttons)
{
    PromptMessage box;
    box.caption = caption;
    box.text = text;
    box.icon = PromptIcon::None;
    box.buttons = std::move(buttons);
    return Prompter::instance().message(box);
}

}  // namespace

int AskBox(const QString &text)
{
    const PromptButton answer = ShowBox(QStringLiteral("Ask"), text, {PromptButton::Ok, PromptButton::Cancel});
    return answer == PromptButton::Ok ? 1 : 2;
}

void ErrorBox(const QString &text)
{
    ShowBox(QStringLiteral("Error"), text, {PromptButton::Ok});
}

void WarningBox(const QString &text)
{
    ShowBox(QStringLiteral("Warning"), text, {PromptButton::Ok});
}

void TipBox(const QString &text)
{
    ShowBox(QStringLiteral("Tip"), text, {PromptButton::Ok});
}

void OpenSql(Query &query, const QString &sql)
{
    query.close();
    query.setSql(sql);
    query.open();
}

void ExecSql(Query &query, const QString &sql)
{
    query.close();
    query.setSql(sql);
    query.execute();
}

QString QuoteSql(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString OneLine(const QString &text)
{
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return flat;
}

int LocalBias()
{
    // The zone may have changed under us (TZ, a new system zone): ask libc afresh.
    tzset();
    const std::time_t now = Clock::now().toSecsSinceEpoch();
    std::tm local{};
    if (!localtime_r(&now, &local))
        return 0;
    return static_cast<int>(-local.tm_gmtoff / 60);
}

QString IsoTime(TDateTime value)
{
    return IsoTime(value, LocalBias());
}

QString IsoTime(TDateTime value, int bias)
{
    // The clock value as stored, without a detour through the local zone's rules.
    const QDate date = DateOf(value);
    const QTime time = TimeOf(value);
    char text[48];
    int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.000", date.year(), date.month(),
                               date.day(), time.hour(), time.minute(), time.second());
    if (bias == 0) {
        text[length++] = 'Z';
    } else {
        const int magnitude = bias < 0 ? -bias : bias;
        length += std::snprintf(text + length, sizeof text - length, "%c%02d:%02d", bias < 0 ? '+' : '-',
                                magnitude / 60, magnitude % 60);
    }
    return QString::fromLatin1(text, length);
}

TDateTime IsoToDateTime(const QString &text)
{
    return IsoToDateTime(text, LocalBias());
}

TDateTime IsoToDateTime(const QString &text, int bias)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*(\d{4,})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)(?:\.(\d+))?(Z|[+-]\d\d:\d\d)?\s*$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    const auto invalid = [&text]() {
        return AppError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    };
    if (!match.hasMatch())
        throw invalid();

    const int year = match.captured(1).toInt();
    const int month = match.captured(2).toInt();
    const int day = match.captured(3).toInt();
    const int hour = match.captured(4).toInt();
    const int minute = match.captured(5).toInt();
    const int second = match.captured(6).toInt();
    // Milliseconds from the fraction, rounded; more digits than that are precision we drop.
    const QString fraction = match.captured(7);
    const int millisecond = fraction.isEmpty()
                                ? 0
                                : static_cast<int>(std::lround((fraction.left(4) + QStringLiteral("0000")).left(4).toInt() / 10.0));

    const QDate date(year, month, day);
    // 24:00:00 is the end of the day in XML Schema; nothing else past 23:59:59.
    const bool endOfDay = hour == 24 && minute == 0 && second == 0 && millisecond == 0;
    if (!date.isValid() || (!endOfDay && (hour > 23 || minute > 59 || second > 59)))
        throw invalid();

    qint64 ms = DateTimeToMs(EncodeDateTime(date)) +
                (((static_cast<qint64>(hour) * 60 + minute) * 60 + second) * 1000) + millisecond;

    const QString zone = match.captured(8);
    if (!zone.isEmpty()) {
        int offsetMinutes = 0;  // positive east of UTC
        if (zone != QLatin1String("Z")) {
            const int zoneHours = zone.mid(1, 2).toInt();
            const int zoneMinutes = zone.mid(4, 2).toInt();
            if (zoneHours > 14 || zoneMinutes > 59)
                throw invalid();
            offsetMinutes = (zoneHours * 60 + zoneMinutes) * (zone.front() == QLatin1Char('-') ? -1 : 1);
        }
        ms -= (static_cast<qint64>(offsetMinutes) + bias) * 60'000;
    }
    return MsToDateTime(ms);
}

QString NewGuid()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}
