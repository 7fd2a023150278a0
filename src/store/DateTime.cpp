#include "store/DateTime.h"

#include <cmath>

namespace quillpad {

namespace {
const QDate Epoch(1899, 12, 30);

struct DayAndTime {
    qint64 days;    // day offset from the epoch
    qint64 timeMs;  // 0 .. MsPerDay-1
};

DayAndTime Split(TDateTime value)
{
    const double whole = std::trunc(value);
    qint64 days = static_cast<qint64>(whole);
    qint64 timeMs = std::llround(std::fabs(value - whole) * MsPerDay);
    if (timeMs >= MsPerDay) {  // rounded up to the next midnight
        ++days;
        timeMs = 0;
    }
    return {days, timeMs};
}

TDateTime Join(qint64 days, qint64 timeMs)
{
    const double fraction = static_cast<double>(timeMs) / MsPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

// The days just outside the range: anything beyond them is clamped before it is split,
// so no value from a file or a foreign row can overflow the whole milliseconds.
constexpr double DayBeforeFirst = static_cast<double>(FirstDateTimeMs / MsPerDay - 1);
constexpr double DayAfterLast = static_cast<double>((LastDateTimeMs + 1) / MsPerDay);

qint64 SplitMs(TDateTime value)
{
    const DayAndTime parts = Split(value);
    return parts.days * MsPerDay + parts.timeMs;
}
}  // namespace

QDate FirstDate()
{
    return QDate(1, 1, 1);
}

QDate LastDate()
{
    return QDate(9999, 12, 31);
}

bool DateTimeMsInRange(qint64 ms)
{
    return ms >= FirstDateTimeMs && ms <= LastDateTimeMs;
}

TDateTime ClampDateTime(TDateTime value)
{
    if (std::isnan(value))
        return ZeroDateTime;
    if (value <= DayBeforeFirst)
        return MsToDateTime(FirstDateTimeMs);
    if (value >= DayAfterLast)
        return MsToDateTime(LastDateTimeMs);
    const qint64 ms = SplitMs(value);  // rounding may still carry it past an end
    if (ms < FirstDateTimeMs)
        return MsToDateTime(FirstDateTimeMs);
    if (ms > LastDateTimeMs)
        return MsToDateTime(LastDateTimeMs);
    return value;
}

bool DateTimeInRange(TDateTime value)
{
    return !std::isnan(value) && ClampDateTime(value) == value;
}

qint64 DateTimeToMs(TDateTime value)
{
    return SplitMs(ClampDateTime(value));
}

TDateTime MsToDateTime(qint64 ms)
{
    qint64 days = ms / MsPerDay;
    qint64 timeMs = ms % MsPerDay;
    if (timeMs < 0) {
        --days;
        timeMs += MsPerDay;
    }
    return Join(days, timeMs);
}

TDateTime EncodeDateTime(const QDate &date, const QTime &time)
{
    const qint64 timeMs = time.isValid() ? time.msecsSinceStartOfDay() : 0;
    return Join(Epoch.daysTo(date), timeMs);
}

TDateTime DateTimeFromQt(const QDateTime &local)
{
    return EncodeDateTime(local.date(), local.time());
}

QDate DateOf(TDateTime value)
{
    return Epoch.addDays(Split(ClampDateTime(value)).days);
}

QTime TimeOf(TDateTime value)
{
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(Split(ClampDateTime(value)).timeMs));
}

QDateTime DateTimeToQt(TDateTime value)
{
    return QDateTime(DateOf(value), TimeOf(value));
}

bool SameDateTime(TDateTime a, TDateTime b)
{
    return DateTimeToMs(a) == DateTimeToMs(b);
}

}  // namespace quillpad
