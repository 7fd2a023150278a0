// The main window's Help menu, the web and mail links, the About box and the update
// offer that a start-up makes when the maker's site has not been visited for long.

#include "app/Fm_Main.h"

#include "app/Dm_Common.h"
#include "app/ShellDialogs.h"
#include "components/MakerAddresses.h"
#include "components/ui/QvHHComp.h"
#include "store/Clock.h"
#include "store/GuardedConnect.h"
#include "tasks/ui/FrameMessages.h"

#include <QAction>

namespace quillpad {

void TmainFm::connectHelp(TcommonDm *common)
{
    using F = TmainFm;
    ConnectGuarded(common->HelpContents1, &QAction::triggered, this, &F::HelpContents1Execute);
    const auto mailSupport = [this] { m_links.OpenMail(MakerAddresses::SupportMail()); };
    ConnectGuarded(common->Action_Contact, &QAction::triggered, this, mailSupport);
    ConnectGuarded(common->Action_Suggestion, &QAction::triggered, this, mailSupport);
    const auto homePage = [this] { m_links.OpenWebPage(QStringLiteral("index.htm")); };
    ConnectGuarded(common->Action_Website, &QAction::triggered, this, homePage);
    ConnectGuarded(common->Action_Update, &QAction::triggered, this, homePage);
    ConnectGuarded(common->Action_Resources, &QAction::triggered, this,
                   [this] { m_links.OpenWebPage(QStringLiteral("resources.htm")); });
    ConnectGuarded(common->Action_About, &QAction::triggered, this, &F::Action_AboutExecute);
}

void TmainFm::HelpContents1Execute()
{
    QVHHComp1->showTopic(0);  // the start page
}

void TmainFm::Action_AboutExecute()
{
    ShellDialogs::instance().showAbout(m_links, QvVersionInfo1.GetValue(TQvVersionInfo::FileVersion));
}

bool TmainFm::updateOfferDue() const
{
    // Whole days either way: a visit "in the future" (a clock set back) counts too.
    const qint64 elapsedMs = DateTimeToMs(Clock::nowDateTime()) - DateTimeToMs(m_settings.startup().visitWeb);
    return qAbs(elapsedMs) / MsPerDay > UpdateOfferDays;
}

bool TmainFm::event(QEvent *event)
{
    if (event->type() == static_cast<QEvent::Type>(MsgUpdateOffer))
        RunGuarded([this] { ShellDialogs::instance().offerUpdate(m_links, m_settings); });
    return QMainWindow::event(event);
}

}  // namespace quillpad
