#pragma once
// The desktop's services on a freedesktop desktop: Qt Multimedia for the sound, the
// desktop's URL handlers, xdg-email for the mail program, the per-user autostart
// folder and Qt's view of the notification area.

#include "components/DesktopServices.h"
#include "components/ui/SoundEffectPlayer.h"

namespace quillpad {

class FreedesktopServices final : public DesktopServices {
public:
    void playSound(const QString &path) override;
    bool openUrl(const QUrl &url) override;
    void sendMail(const MailMessage &message) override;
    bool isAutoStart() const override;
    void setAutoStart(bool on) override;
    bool hasNotificationArea() const override;

    // The arguments xdg-email is started with.
    static QStringList mailArguments(const MailMessage &message);

private:
    SoundEffectPlayer m_sound;
};

}  // namespace quillpad
