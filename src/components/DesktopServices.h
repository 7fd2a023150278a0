#pragma once
// Everything the program asks of the desktop it runs on: a sound, opening an address
// or a file, the mail program, starting with the session and the notification area.
// One replaceable instance: the program installs the desktop's at start, the tests a
// recording one; without either, nothing reaches a desktop.

#include "store/AppError.h"

#include <QString>
#include <QStringList>

class QUrl;

namespace quillpad {

struct MailMessage {
    QString subject;
    QString body;
    QStringList attachments;  // paths of files
    QStringList to, cc, bcc;  // addresses; none: the user fills them in
};

// No mail program could be reached at all (as opposed to one that refused the message).
class MailUnavailable : public AppError {
public:
    using AppError::AppError;
};

class DesktopServices {
public:
    virtual ~DesktopServices() = default;

    // Plays a sound file once without waiting for it; the desktop's beep stands in
    // when the file cannot be played.
    virtual void playSound(const QString &path) = 0;
    // Opens a web address, or a file (a file: URL) with the program the desktop
    // chooses. False when nothing took it. What failed, now or when the desktop's
    // opener gives up, goes to the standard error report.
    virtual bool openUrl(const QUrl &url) = 0;
    // Hands a message to the user's mail program to finish and send. Throws
    // MailUnavailable when there is none to hand it to, AppError when it was not taken.
    virtual void sendMail(const MailMessage &message) = 0;
    // Whether the program starts with the user's desktop session.
    virtual bool isAutoStart() const = 0;
    // Throws AppError when the setting cannot be written.
    virtual void setAutoStart(bool on) = 0;
    // Whether the desktop shows a notification area (the tray).
    virtual bool hasNotificationArea() const = 0;

    static DesktopServices &instance();
    static void install(DesktopServices *services);  // nullptr: no desktop
};

}  // namespace quillpad
