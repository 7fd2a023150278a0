#include "components/ui/ActionFactory.h"

namespace quillpad {

namespace {

// Where a menu caption's padding before its shortcut text starts; -1 when it has none.
qsizetype PaddingAt(const QString &text)
{
    const qsizetype at = text.indexOf(QLatin1String("  "));
    return at > 0 && !text.mid(at).trimmed().isEmpty() ? at : -1;
}

// "Add &Task" reads "Add Task"; "&&" stays one "&".
QString WithoutMnemonic(const QString &caption)
{
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        plain.append(caption.at(i));
    }
    return plain;
}

}  // namespace

QString CaptionOf(const QString &text)
{
    const qsizetype padding = PaddingAt(text);
    return WithoutMnemonic(padding < 0 ? text.trimmed() : text.left(padding).trimmed());
}

QString ShortcutTextOf(const QAction *action)
{
    if (!action->shortcut().isEmpty())
        return action->shortcut().toString(QKeySequence::NativeText);
    const QString text = action->text();
    const qsizetype padding = PaddingAt(text);
    return padding < 0 ? QString() : text.mid(padding).trimmed();
}

QAction *MakeAction(QObject *owner, const ActionInfo &info)
{
    auto *action = new QAction(info.text, owner);
    action->setObjectName(QString::fromLatin1(info.name));
    // A button made from the action (a toolbar's) is named by the caption alone: the
    // padding and the shortcut text are for menus.
    if (PaddingAt(info.text) >= 0)
        action->setIconText(CaptionOf(info.text));
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
