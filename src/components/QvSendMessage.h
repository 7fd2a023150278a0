#pragma once
// The mail component: composes a message and hands it to the user's mail program
// through the desktop's services, where the user reviews and sends it.
//
// Failures come as the classic mail-interface results: EMapiUserAbort for result 1
// (silent in the standard error report), EMapiError with the result's text and code for
// the others. How the desktop's failures map:
//   no mail program (no xdg-email, or none it can start), or one that did not take the
//     message                                                  -> 2, General Failure,
//     saying what failed and what to install or check;
//   an attachment that does not exist                           -> 11, Attachment Not Found.

#include "store/AppError.h"

#include <QString>
#include <QStringList>

namespace quillpad {

class EMapiUserAbort : public AbortError {
public:
    EMapiUserAbort() : AbortError(QStringLiteral("User Abort")) {}
};

class EMapiError : public AppError {
public:
    explicit EMapiError(int errorCode);
    // A failure the desktop explained: its words instead of the result's text.
    EMapiError(int errorCode, const QString &reason);
    int ErrorCode() const { return m_errorCode; }

private:
    int m_errorCode;
};

// Raises the exception of a mail-interface result; nothing for 0.
void RaiseMapiResult(int result);

class TQvSendMessage {
public:
    QStringList Attachments;  // relative paths are taken against the current folder
    QStringList ToRecipients;
    QStringList CcRecipients;
    QStringList BccRecipients;
    QStringList MessageText;  // one entry a line
    QString Subject;
    // The mail program always shows the message first here: there is no way to send
    // without the user, so turning this off changes nothing.
    bool Review = true;

    // Empties the lists; the subject stays.
    void Clear();
    void Send();
};

}  // namespace quillpad
