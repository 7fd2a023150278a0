#include "store/WhenText.h"

#include "store/Clock.h"

#include <QRegularExpression>
#include <QStringList>

namespace quillpad {

namespace {

// Offsets longer than this many digits are no date in the range anyway, and would
// overflow the arithmetic.
constexpr int MaxOffsetDigits = 9;

bool InRange(const QDate &date)
{
    return date.isValid() && date >= FirstDate() && date <= LastDate();
}

std::optional<When> At(const QDate &date, const QTime &time)
{
    if (!InRange(date) || !time.isValid())
        return std::nullopt;
    return When{false, EncodeDateTime(date, time)};
}

std::optional<When> At(const QDateTime &local)
{
    if (!local.isValid() || !InRange(local.date()))
        return std::nullopt;
    return When{false, DateTimeFromQt(local)};
}

// 1 for Monday ... 7 for Sunday: a name of three letters or more that starts a day's name.
int Weekday(const QString &word)
{
    static const char *const names[] = {"monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};
    if (word.size() < 3)
        return 0;
    for (int day = 1; day <= 7; ++day) {
        if (QLatin1String(names[day - 1]).startsWith(word))
            return day;
    }
    return 0;
}

// 9:00, 14:30:15, 9am, 2:30pm, 12am (midnight).
std::optional<QTime> TimeOfDay(const QString &word)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,2})(?::(\\d{2})(?::(\\d{2}))?)?(am|pm)?$"));
    const QRegularExpressionMatch match = form.match(word);
    if (!match.hasMatch())
        return std::nullopt;
    const bool half = match.hasCaptured(4);
    if (!half && !match.hasCaptured(2))
        return std::nullopt;  // a bare number is no time
    int hour = match.captured(1).toInt();
    const int minute = match.hasCaptured(2) ? match.captured(2).toInt() : 0;
    const int second = match.hasCaptured(3) ? match.captured(3).toInt() : 0;
    if (half) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (match.captured(4) == QLatin1String("pm") ? 12 : 0);
    }
    const QTime time(hour, minute, second);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

// The date a word (or "next" and a word) names, from today.
std::optional<QDate> DayWord(const QStringList &words, qsizetype &at, const QDate &today)
{
    const QString &word = words.at(at);
    const bool next = word == QLatin1String("next");
    if (next) {
        if (++at == words.size())
            return std::nullopt;
        const int day = Weekday(words.at(at));
        if (!day)
            return std::nullopt;
        ++at;
        const int ahead = (day - today.dayOfWeek() + 7) % 7;
        return today.addDays(ahead == 0 ? 7 : ahead);
    }
    ++at;
    if (word == QLatin1String("today"))
        return today;
    if (word == QLatin1String("tomorrow"))
        return today.addDays(1);
    if (word == QLatin1String("yesterday"))
        return today.addDays(-1);
    if (const int day = Weekday(word))
        return today.addDays((day - today.dayOfWeek() + 7) % 7);
    static const QRegularExpression isoDate(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (isoDate.match(word).hasMatch())
        return QDate::fromString(word, Qt::ISODate);
    --at;
    return std::nullopt;
}

}  // namespace

std::optional<When> ReadWhen(const QString &text, WhenNone none)
{
    const QString simple = text.simplified().toLower();
    if (simple.isEmpty())
        return std::nullopt;
    if (simple == QLatin1String("none"))
        return none == WhenNone::Allowed ? std::optional<When>(When{true, ZeroDateTime}) : std::nullopt;
    const QDateTime now = Clock::now();
    if (simple == QLatin1String("now"))
        return At(now);

    // ISO date-times, with a T or a space, perhaps seconds, fractions and a zone.
    static const QRegularExpression isoDateTime(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}[t ]\\d{2}:\\d{2}"));
    if (isoDateTime.match(simple).hasMatch()) {
        QString iso = simple.toUpper();
        iso[10] = QLatin1Char('T');
        const QDateTime read = QDateTime::fromString(iso, Qt::ISODateWithMs);
        if (read.isValid())
            return At(read.timeSpec() == Qt::LocalTime ? read : read.toLocalTime());
        if (simple.size() > 16 && simple.indexOf(QLatin1Char(' '), 11) < 0)
            return std::nullopt;
        // otherwise a date and a time of the other forms: 2025-03-01 2:30pm
    }

    const QStringList words = simple.split(QLatin1Char(' '));
    // +2d, +1w, +3h, +45min; a sign of minus counts back.
    static const QRegularExpression offset(QStringLiteral("^([+-])(\\d{1,%1})(d|w|h|min)$").arg(MaxOffsetDigits));
    const QRegularExpressionMatch moved = offset.match(words.front());
    if (moved.hasMatch()) {
        const qint64 amount = moved.captured(2).toLongLong() * (moved.captured(1) == QLatin1String("-") ? -1 : 1);
        const QString unit = moved.captured(3);
        if (unit == QLatin1String("h") || unit == QLatin1String("min")) {
            if (words.size() > 1)
                return std::nullopt;
            return At(now.addSecs(amount * (unit == QLatin1String("h") ? 3600 : 60)));
        }
        const QDate date = now.date().addDays(amount * (unit == QLatin1String("w") ? 7 : 1));
        if (words.size() == 1)
            return At(date, now.time());
        const std::optional<QTime> time = TimeOfDay(words.mid(1).join(QString()));
        return time ? At(date, *time) : std::nullopt;
    }

    qsizetype at = 0;
    const std::optional<QDate> date = DayWord(words, at, now.date());
    if (!date && at != 0)
        return std::nullopt;  // "next" and no weekday
    if (at == words.size())
        return date ? At(*date, QTime(0, 0)) : std::nullopt;
    // What is left is a time of day, its am or pm perhaps a word of its own.
    const std::optional<QTime> time = TimeOfDay(words.mid(at).join(QString()));
    if (!time || words.size() - at > 2)
        return std::nullopt;
    return At(date.value_or(now.date()), *time);
}

}  // namespace quillpad
