#pragma once

namespace quillpad {

// Every key the program keeps in qvConf.ini, with its section and default.

struct IntegerKey {
    const char *section;
    const char *name;
    int defaultValue;
};

struct BooleanKey {
    const char *section;
    const char *name;
    bool defaultValue;
};

struct TextKey {  // date-time texts; empty by default
    const char *section;
    const char *name;
};

// Keys whose default depends on the window they belong to.
struct FormKey {
    const char *name;
};

namespace SettingsKeys {

inline constexpr IntegerKey HintSize{"option", "hintSize", 20};
inline constexpr BooleanKey AddOpenEn{"option", "addOpenEn", false};
inline constexpr BooleanKey RunMinimizedEn{"option", "runMinimizedEn", false};
inline constexpr BooleanKey VisitWebEn{"option", "visitWebEn", true};
inline constexpr TextKey VisitWeb{"option", "visitWeb"};
// Whether the note "it keeps running" was shown, the first time the window hid without a tray.
inline constexpr BooleanKey KeepsRunningToldEn{"option", "keepsRunningToldEn", false};

inline constexpr BooleanKey ViewListEn{"task", "viewListEn", false};
inline constexpr BooleanKey ViewDateEn{"task", "viewDateEn", false};
inline constexpr IntegerKey ViewRange{"task", "viewRange", 0};
inline constexpr BooleanKey ViewAscEn{"task", "viewAscEn", true};

// Written at every loading of the task tree, never read back.
inline constexpr IntegerKey PrivateTasks{"log", "privateTasks", 0};
inline constexpr IntegerKey PublicTasks{"log", "publicTasks", 0};

// The main window keeps its place under this section.
inline constexpr const char *FormSection = "form";
inline constexpr FormKey FormSaved{"Saved"};
inline constexpr FormKey FormLeft{"Left"};
inline constexpr FormKey FormTop{"Top"};
inline constexpr FormKey FormRight{"Right"};
inline constexpr FormKey FormBottom{"Bottom"};
inline constexpr FormKey FormMaximized{"Maximized"};

}  // namespace SettingsKeys

}  // namespace quillpad
