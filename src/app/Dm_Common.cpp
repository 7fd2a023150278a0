#include "app/Dm_Common.h"

#include "components/ui/ActionFactory.h"

namespace quillpad {

namespace {

QAction *Make(QObject *owner, const char *name, const QString &caption, const QString &hint = {},
              const QKeySequence &shortcut = {})
{
    ActionInfo info(name, caption, hint);
    info.shortcut = shortcut;
    return MakeAction(owner, info);
}

}  // namespace

TcommonDm::TcommonDm(QObject *parent)
    : QObject(parent),
      Action_UiOpen(Make(this, "Action_UiOpen", QStringLiteral("&Open Ambrel Quillpad"))),
      Action_UiClose(Make(this, "Action_UiClose", QStringLiteral("&Close            Ctrl+F12"))),
      Action_UiStayOnTop(Make(this, "Action_UiStayOnTop", QStringLiteral("S&tay on top"))),
      Action_Options(Make(this, "Action_Options", QStringLiteral("&Options..."))),
      Action_AddTask(Make(this, "Action_AddTask", QStringLiteral("&Add Task"))),
      Action_PasteTask(Make(this, "Action_PasteTask", QStringLiteral("Paste to &Task"))),
      Action_Exit(Make(this, "Action_Exit", QStringLiteral("E&xit"), {}, QKeySequence(Qt::CTRL | Qt::Key_Q))),
      HelpContents1(Make(this, "HelpContents1", QStringLiteral("&Contents"), QStringLiteral("Help Contents"),
                         QKeySequence(Qt::Key_F1))),
      Action_Contact(Make(this, "Action_Contact", QStringLiteral("C&ontact Technical Support"))),
      Action_Suggestion(Make(this, "Action_Suggestion", QStringLiteral("&Make a Suggestion"))),
      Action_Website(Make(this, "Action_Website", QStringLiteral("&Visit Ambrel Website"))),
      Action_Update(Make(this, "Action_Update", QStringLiteral("Check for &Update"))),
      Action_Resources(Make(this, "Action_Resources", QStringLiteral("Get Free Resources"))),
      Action_About(Make(this, "Action_About", QStringLiteral("&About")))
{
    Action_UiStayOnTop->setCheckable(true);
}

QList<QAction *> TcommonDm::helpMenu() const
{
    return {HelpContents1, nullptr,         Action_Contact, Action_Suggestion, nullptr, Action_Website,
            Action_Update, nullptr,         Action_Resources, nullptr,         Action_About};
}

}  // namespace quillpad
