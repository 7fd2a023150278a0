#pragma once
// The snooze choices of the alarm window and how long each one waits.

#include "store/DateTime.h"

#include <QStringList>

namespace quillpad {

// The entries of the list, top to bottom.
const QStringList &SnoozeEntries();

// How long the entry at an index waits, in milliseconds: minutes and hours are exact
// parts of a day, days and weeks whole days, with no calendar or daylight-saving
// adjustment. Any index outside the list waits one day.
qint64 SnoozeDurationMs(int index);

// When a reminder snoozed at `now` with the entry at `index` rings again.
TDateTime SnoozeUntil(TDateTime now, int index);

}  // namespace quillpad
