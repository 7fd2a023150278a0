#pragma once
// Helpers every part of the program uses: the message boxes, the query operations,
// text flattening and the ISO-8601 time text.

#include "store/DateTime.h"

#include <QString>

namespace quillpad {

class Query;

// The four message boxes. AskBox answers 1 for OK and 2 for Cancel (also when closed).
int AskBox(const QString &text);
void ErrorBox(const QString &text);
void WarningBox(const QString &text);
void TipBox(const QString &text);

// Closes the query, makes the text its only statement and opens it as a row result
// (OpenSql) or executes it (ExecSql). Errors are not caught here.
void OpenSql(Query &query, const QString &sql);
void ExecSql(Query &query, const QString &sql);

// The text in single quotes with every quote inside doubled: it's -> 'it''s'.
QString QuoteSql(const QString &text);

// Every LF, then every CR, becomes one blank; the length stays the same.
QString OneLine(const QString &text);
// "1 task", "3 tasks": the number with the word that fits it.
QString Counted(qsizetype count, const char *one, const char *many);

// The text without the characters an XML 1.0 document cannot hold: control characters
// other than tab, LF and CR, U+FFFE, U+FFFF and unpaired surrogates. Text that comes
// into the program loses them, so whatever is stored can travel in an interchange file.
QString KeepXmlCharacters(const QString &text);

// UTC minus local time in minutes, as in force now (daylight saving included):
// 300 at UTC-5, -480 at UTC+8, -330 at UTC+5:30.
int LocalBias();

// "2009-03-05T07:04:09.000+01:00": the date-time to the second, ".000", and the zone
// suffix of the offset in force now ("Z" at UTC), whatever the date of the value. A
// value outside the kept range is written as its nearest end, so IsoToDateTime reads
// back every text written here.
QString IsoTime(TDateTime value);
// The same with a given bias, for writers of many times that read the zone once.
QString IsoTime(TDateTime value, int bias);

// Reads an XML Schema dateTime and gives the same instant in local time by the offset
// in force now. A text without a zone is taken as local time. Raises on anything else,
// and on a year outside 1 to 9999; an instant that the zone shift carries just past an
// end of the range is read as that end. With the same bias, it undoes IsoTime exactly
// (to the second) over the whole range.
TDateTime IsoToDateTime(const QString &text);
TDateTime IsoToDateTime(const QString &text, int bias);

// A new task id: a GUID in braces, upper-case, 38 characters.
QString NewGuid();

}  // namespace quillpad
