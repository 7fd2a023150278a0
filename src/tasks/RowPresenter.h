#pragma once
// What a row of the task list shows, from a task's record and the state of the view:
// its text, icon, font, colours, background and height. The list's delegate paints
// with it; anything else that shows tasks as the list does (printing, HTML) asks it
// too. No widget: Qt Gui value types only, so it needs a QGuiApplication for fonts.

#include "store/TaskInfo.h"

#include <QColor>
#include <QDate>
#include <QFont>
#include <QList>
#include <QPalette>
#include <QString>

#include <utility>

namespace quillpad {

struct TaskNode;

// Where a row sits: sub-tasks and top-level tasks at even and odd positions look different.
struct RowPlace {
    bool topLevel = true;
    int position = 0;  // among all siblings, hidden ones included (0 for the first)

    static RowPlace of(const TaskNode &node);
};

// The colours each row picture paints, top to bottom, as laid onto the palette. A
// picture without colours paints the palette's Base.
struct RowShades {
    QList<QColor> subTask, topLevelEven, topLevelOdd;
};

// The state of the view, the same for every row.
struct RowView {
    bool listView = false;  // numbered rows, one line high
    bool dateView = false;  // dates after the text
    QDate today;            // a due date before it is overdue
    QFont font;
    QPalette palette;
    RowShades shades;
    int viewHeight = 1 << 20;  // the edited row grows no higher than this, less a line
};

// The state of one row.
struct RowState {
    bool editing = false;   // open in the text editor
    bool expanded = false;  // the list view's hover shows its whole text
    bool hot = false;       // under the mouse
    bool selected = false;
    bool enabled = true;
};

enum class RowIcon { None, Alarm, Due, Overdue };

// What fills a row's background. The pictures are the widget layer's to choose.
enum class RowBackground {
    None,           // the editor covers the row
    Hot,            // under the mouse: the tooltip colour
    Stored,         // the task's own background colour
    SubTask,        // picture for sub-task rows
    TopLevelEven,   // picture for top-level rows at even positions (the first is 0)
    TopLevelOdd,    // picture for top-level rows at odd positions
};

struct RowFill {
    RowBackground kind = RowBackground::None;
    QColor color;  // for Hot and Stored
};

class RowPresenter {
public:
    explicit RowPresenter(RowView view) : m_view(std::move(view)) {}

    const RowView &view() const { return m_view; }

    // The due date is a day before today (complete or not).
    bool isOverdue(const TTaskInfo &info) const;

    QString text(const TTaskInfo &info, const RowPlace &place, const RowState &state) const;
    RowIcon icon(const TTaskInfo &info) const;
    QFont font(const TTaskInfo &info, const RowState &state) const;
    // The pen for the text. Unless the task stores its own text colour, or the row is
    // selected (the desktop's selection colours are its own pair), it reads on the
    // row's background.
    QColor textColor(const TTaskInfo &info, const RowPlace &place, const RowState &state) const;
    RowFill background(const TTaskInfo &info, const RowPlace &place, const RowState &state) const;
    // The row's height when its text wraps at the given width.
    int height(const TTaskInfo &info, const RowPlace &place, const RowState &state, int textWidth) const;

private:
    // What the text is painted on.
    QList<QColor> backgroundColours(const TTaskInfo &info, const RowPlace &place, const RowState &state) const;

    RowView m_view;
};

}  // namespace quillpad
