#pragma once
// The dates and times people type for a due date or a reminder, read against the Clock:
//   2025-03-01, 2025-03-01 14:30, 2025-03-01T14:30:00Z (ISO; a zone is taken to local time)
//   now, today, tomorrow, yesterday, mon ... sun, next fri (a date at midnight, or at a time
//   given after it: tomorrow 9:00, fri 2:30pm)
//   14:30 (today), +2d, +1w (from now, or at a time given after it), +3h, +45min
// A weekday alone is the nearest such day from today on (today included); "next" skips
// today. Words are read in any case.

#include "store/DateTime.h"

#include <QString>

#include <optional>

namespace quillpad {

enum class WhenNone { Refused, Allowed };

struct When {
    bool none = false;  // "none": the date is to be switched off
    TDateTime at = ZeroDateTime;
};

// None when the text is no date the program can keep (years 1 to 9999).
std::optional<When> ReadWhen(const QString &text, WhenNone none = WhenNone::Refused);

}  // namespace quillpad
