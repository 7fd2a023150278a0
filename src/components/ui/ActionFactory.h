#pragma once
// The one factory for the program's actions: caption, hint, icon, shortcut and object
// name in one place, and the handler connected through the guard (store/GuardedConnect.h).

#include "store/GuardedConnect.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QString>

#include <utility>

namespace quillpad {

struct ActionInfo {
    ActionInfo(const char *name, QString text, QString hint = {}, QIcon icon = {})
        : name(name), text(std::move(text)), hint(std::move(hint)), icon(std::move(icon))
    {
    }

    const char *name;  // the object name, by which menus and tests find it
    QString text;      // menu captions carry their shortcut text after blanks
    QString hint;      // tool tip and status tip; none when empty
    QIcon icon;
    QKeySequence shortcut;
    bool checkable = false;
};

QAction *MakeAction(QObject *owner, const ActionInfo &info);

// A caption as a name for screen readers: without its padding, shortcut text and "&"
// ("Add &Task        Enter" is "Add Task").
QString CaptionOf(const QString &text);
// The action's key as text: its shortcut, or the text after a menu caption's padding.
QString ShortcutTextOf(const QAction *action);

// The same, with the handler run guarded on every trigger.
template <typename Owner, typename Handler>
QAction *MakeAction(Owner *owner, const ActionInfo &info, Handler handler)
{
    QAction *action = MakeAction(static_cast<QObject *>(owner), info);
    ConnectGuarded(action, &QAction::triggered, owner, std::move(handler));
    return action;
}

}  // namespace quillpad
