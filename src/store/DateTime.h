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
// Values outside the range are read as its nearest end.
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

// The date-times the program keeps: years 1 to 9999, to the millisecond. Every way in
// (interchange files, rows read from the database, the pickers) stays inside it, so
// whatever is written can be read back.
inline constexpr qint64 FirstDateTimeMs = -693'593 * MsPerDay;      // 0001-01-01 00:00:00.000
inline constexpr qint64 LastDateTimeMs = 2'958'466 * MsPerDay - 1;  // 9999-12-31 23:59:59.999
QDate FirstDate();
QDate LastDate();
bool DateTimeInRange(TDateTime value);
bool DateTimeMsInRange(qint64 ms);
// The nearest date-time in the range; not a number is the zero date-time.
TDateTime ClampDateTime(TDateTime value);

}  // namespace quillpad
