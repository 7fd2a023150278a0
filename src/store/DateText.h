#pragma once
// Dates and date-times as the program shows them: the user's short date format, and
// the long time format without a zone name, the time left out at exactly midnight.

#include "store/DateTime.h"

#include <QString>

namespace quillpad {

QString ShortDateText(TDateTime value);
QString DateTimeText(TDateTime value);

// The formats behind those texts, for the date and time pickers.
QString ShortDateFormat();
QString LongTimeFormat();

}  // namespace quillpad
