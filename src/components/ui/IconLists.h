#pragma once
// The program's two icon lists: 16 pixels for the tree, the menus, the actions and the
// bottom toolbar, 22 pixels for the top toolbar. Both hold the same icons at the same
// positions. Each icon comes from the desktop's icon theme when the theme has it, and
// from our own drawing otherwise, so the program looks right on a bare desktop too.
// Needs a QGuiApplication.

#include <QIcon>

namespace quillpad {

// Positions in the icon lists. The numbers are fixed: the frame addresses icons by them.
enum class IconRole : int {
    Application = 0,  // the program itself, also in the tray
    Copy = 1,
    Paste = 2,
    AddSubTask = 3,
    EditTask = 4,
    DeleteTask = 5,
    MarkComplete = 6,
    SetReminder = 7,
    DateView = 8,
    SortAscending = 9,   // arrow up
    SortDescending = 10, // arrow down
    ListView = 11,
    SetColor = 12,
    ExpandAll = 13,
    CollapseAll = 14,
    AddTask = 15,  // green plus
    Pencil = 16,
    Save = 17,
    Print = 18,
    Information = 19,
    Magnifier = 20,
    BackArrow = 21,
    AlarmClock = 22,      // a task with a reminder
    CalendarOverdue = 23, // calendar with a red exclamation mark
    Calendar = 24,        // a task with a due date
    Email = 25,
    Export = 26,
    Import = 27,
    Backup = 28,
    Restore = 29,
    Options = 30,
    Help = 31,
    About = 32,
    Exit = 33,
    LightBulb = 34,  // status bar
};
inline constexpr int IconRoleCount = 35;  // positions 0 .. IconRoleCount - 1 are all in use

class IconList {
public:
    enum class Size { Small16 = 16, Large22 = 22 };

    explicit IconList(Size size);

    // The icon at a position; a null icon for a position outside the list.
    QIcon icon(int position) const;
    QIcon icon(IconRole role) const { return icon(static_cast<int>(role)); }
    // Our own drawing of the icon, whatever the desktop theme offers.
    QIcon ownIcon(int position) const;
    QIcon ownIcon(IconRole role) const { return ownIcon(static_cast<int>(role)); }
    // The icon's pixmap at the list's size.
    QPixmap pixmap(int position) const;

    int size() const { return m_size; }

    static const IconList &small();
    static const IconList &large();

private:
    int m_size;
    QList<QIcon> m_icons;
    QList<QIcon> m_ownIcons;
};

}  // namespace quillpad
