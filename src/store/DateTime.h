#pragma once
// Date-times as the task records hold them: local time without a zone, counted in
// days since 30 December 1899 00:00, the time of day as the fraction. The zero value
// means "not set". Before the epoch the whole part counts days back while the
// fraction still runs forward through the day, so -1.25 is 29 December 1899 06:00.

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace quillpad {

using TDateTime = double;

inline constexpr TDateTime ZeroDateTime = 0.0;
inline constexpr qint64 MsPerDay = 86'400'000;

// Exact to the millisecond in both directions for every date from year 1 to 9999.
TDateTime EncodeDateTime(const QDate &date, const QTime &time = QTime(0, 0));
TDateTime DateTimeFromQt(const QDateTime &local);
QDateTime DateTimeToQt(TDateTime value);        // Qt::LocalTime, no zone conversion
QDate DateOf(TDateTime value);
QTime TimeOf(TDateTime value);                   // to the millisecond

// Whole milliseconds since 1899-12-30 00:00 (signed); the basis of exact comparison.
qint64 DateTimeToMs(TDateTime value);
TDateTime MsToDateTime(qint64 ms);

// Two date-times are the same when they fall in the same millisecond.
bool SameDateTime(TDateTime a, TDateTime b);

}  // namespace quillpad
