#include "components/DesktopServices.h"

#include "store/AppError.h"

namespace quillpad {

namespace {

// Before the program installs the desktop's services (and in programs without one):
// silent, and every hand-off fails.
class NoDesktop final : public DesktopServices {
public:
    void playSound(const QString &) override {}
    bool openUrl(const QUrl &) override { return false; }
    void sendMail(const MailMessage &) override { throw MailUnavailable(QStringLiteral("No mail program is available")); }
    bool isAutoStart() const override { return false; }
    void setAutoStart(bool) override { throw AppError(QStringLiteral("Starting with the desktop is not available")); }
    bool hasNotificationArea() const override { return false; }
};

NoDesktop g_noDesktop;
DesktopServices *g_services = &g_noDesktop;

}  // namespace

DesktopServices &DesktopServices::instance()
{
    return *g_services;
}

void DesktopServices::install(DesktopServices *services)
{
    g_services = services ? services : &g_noDesktop;
}

}  // namespace quillpad
