#pragma once
// Desktop services for tests: records every call and answers as the test sets it.
// Installs itself for its lifetime.

#include "components/DesktopServices.h"
#include "store/AppError.h"

#include <QList>
#include <QUrl>

namespace quillpad {

class RecordingDesktopServices final : public DesktopServices {
public:
    RecordingDesktopServices() { DesktopServices::install(this); }
    ~RecordingDesktopServices() override { DesktopServices::install(nullptr); }

    void playSound(const QString &path) override { sounds.append(path); }
    bool openUrl(const QUrl &url) override
    {
        openedUrls.append(url);
        return openAnswer;
    }
    void sendMail(const MailMessage &message) override
    {
        mails.append(message);
        if (!mailError.isEmpty())
            throw AppError(mailError);
    }
    bool isAutoStart() const override
    {
        ++autoStartQuestions;
        return autoStart;
    }
    void setAutoStart(bool on) override
    {
        autoStartWrites.append(on);
        if (!autoStartError.isEmpty())
            throw AppError(autoStartError);
        autoStart = on;
    }
    bool hasNotificationArea() const override
    {
        ++notificationAreaQuestions;
        return notificationArea;
    }

    // What was asked.
    QStringList sounds;
    QList<QUrl> openedUrls;
    QList<MailMessage> mails;
    QList<bool> autoStartWrites;
    mutable int autoStartQuestions = 0;
    mutable int notificationAreaQuestions = 0;

    // What is answered. A non-empty error text makes the call throw it.
    bool openAnswer = true;
    QString mailError;
    bool autoStart = false;
    QString autoStartError;
    bool notificationArea = true;
};

}  // namespace quillpad
