#include "components/ui/ActionFactory.h"

namespace quillpad {

QAction *MakeAction(QObject *owner, const ActionInfo &info)
{
    auto *action = new QAction(info.text, owner);
    action->setObjectName(QString::fromLatin1(info.name));
    if (!info.hint.isEmpty()) {
        action->setToolTip(info.hint);
        action->setStatusTip(info.hint);
    }
    action->setIcon(info.icon);
    if (!info.shortcut.isEmpty())
        action->setShortcut(info.shortcut);
    action->setCheckable(info.checkable);
    return action;
}

}  // namespace quillpad
