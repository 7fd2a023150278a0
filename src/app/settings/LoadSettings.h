#pragma once
// The settings the main window copies into memory at start-up.

#include "store/DateTime.h"

#include <QString>

namespace quillpad {

struct StartupSettings {
    QString settingsPath;
    int hintSize = 20;
    bool addOpenEn = false;
    bool runMinimizedEn = false;
    bool visitWebEn = true;
    TDateTime visitWeb = ZeroDateTime;  // zero: long ago
    int privateTasks = 0;
    int publicTasks = 0;
};

// Fills visitWebEn, visitWeb and runMinimizedEn from the settings file, in that order.
// A missing or empty "visitWeb" becomes now and is written back at once. A "visitWeb"
// that is not a date-time leaves it and runMinimizedEn as they were (long ago, off).
void LoadSettings(StartupSettings &settings);

}  // namespace quillpad
