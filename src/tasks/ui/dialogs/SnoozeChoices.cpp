#include "tasks/ui/dialogs/SnoozeChoices.h"

#include <array>

namespace quillpad {

namespace {

constexpr qint64 Minute = 60'000;
constexpr qint64 Hour = 60 * Minute;
constexpr qint64 Day = MsPerDay;

struct Choice {
    const char *entry;
    qint64 duration;
};

constexpr std::array<Choice, 22> Choices{{
    {"5 Minutes", 5 * Minute},  {"10 Minutes", 10 * Minute}, {"15 Minutes", 15 * Minute},
    {"30 Minutes", 30 * Minute}, {"45 Minutes", 45 * Minute}, {"1 Hour", Hour},
    {"2 Hours", 2 * Hour},       {"3 Hours", 3 * Hour},       {"4 Hours", 4 * Hour},
    {"5 Hours", 5 * Hour},       {"6 Hours", 6 * Hour},       {"7 Hours", 7 * Hour},
    {"8 Hours", 8 * Hour},       {"1 Day", Day},              {"2 Days", 2 * Day},
    {"3 Days", 3 * Day},         {"4 Days", 4 * Day},         {"5 Days", 5 * Day},
    {"6 Days", 6 * Day},         {"1 Week", 7 * Day},         {"2 Weeks", 14 * Day},
    {"3 Weeks", 21 * Day},
}};

}  // namespace

const QStringList &SnoozeEntries()
{
    static const QStringList entries = [] {
        QStringList list;
        for (const Choice &choice : Choices)
            list.append(QLatin1String(choice.entry));
        return list;
    }();
    return entries;
}

qint64 SnoozeDurationMs(int index)
{
    if (index < 0 || index >= static_cast<int>(Choices.size()))
        return Day;
    return Choices[static_cast<size_t>(index)].duration;
}

TDateTime SnoozeUntil(TDateTime now, int index)
{
    // Added in whole milliseconds, so a week is exactly seven days later.
    return MsToDateTime(DateTimeToMs(now) + SnoozeDurationMs(index));
}

}  // namespace quillpad
