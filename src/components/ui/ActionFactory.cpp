#include "components/ui/ActionFactory.h"

namespace quillpad {

QAction *MakeAction(QObject *owner, const ActionSpec &spec)
{
    auto *action = new QAction(spec.text, owner);
    action->setObjectName(QString::fromLatin1(spec.name));
    if (!spec.hint.isEmpty()) {
        action->setToolTip(spec.hint);
        action->setStatusTip(spec.hint);
    }
    action->setIcon(spec.icon);
    if (!spec.shortcut.isEmpty())
        action->setShortcut(spec.shortcut);
    action->setCheckable(spec.checkable);
    return action;
}

}  // namespace quillpad
