#include "components/QvSendMessage.h"

#include "components/DesktopServices.h"

#include <QFileInfo>

#include <iterator>

namespace quillpad {

namespace {

enum MapiResult { UserAbort = 1, GeneralFailure = 2, AttachmentNotFound = 11 };

QString ResultText(int code)
{
    static const char *const Texts[] = {
        nullptr,                  "User Abort",           "General Failure",      "Login Failure",
        "Disk Full",              "Insufficient Memory",  "Access Denied",        nullptr,
        "Too Many Sessions",      "Too Many Files",       "Too Many Recipients",  "Attachment Not Found",
        "Attachment Open Failure", "Attachment Write Failure", "Unknown Recipient", "Bad Recipient Type",
        "No Messages",            "Invalid Message",      "Text Too Large",       "Invalid Session",
        "Type Not Supported",     "Ambiguous Recipient",  "Message In Use",       "Network Failure",
        "Invalid Edit Fields",    "Invalid Recipients",   "Feature Not Supported",
    };
    if (code > 0 && code < int(std::size(Texts)) && Texts[code])
        return QString::fromLatin1(Texts[code]);
    return QStringLiteral("Unknown Error");
}

}  // namespace

EMapiError::EMapiError(int errorCode)
    : AppError(QStringLiteral("MAPI: %1. ErrorCode = %2").arg(ResultText(errorCode)).arg(errorCode)),
      m_errorCode(errorCode)
{
}

EMapiError::EMapiError(int errorCode, const QString &reason) : AppError(reason), m_errorCode(errorCode)
{
}

void RaiseMapiResult(int result)
{
    if (result == UserAbort)
        throw EMapiUserAbort();
    if (result > 0)
        throw EMapiError(result);
}

void TQvSendMessage::Clear()
{
    Attachments.clear();
    ToRecipients.clear();
    CcRecipients.clear();
    BccRecipients.clear();
    MessageText.clear();
}

void TQvSendMessage::Send()
{
    MailMessage message;
    message.subject = Subject;
    for (const QString &line : MessageText)
        message.body += line + QStringLiteral("\r\n");
    for (const QString &file : Attachments) {
        const QFileInfo info(file);
        if (!info.isFile())
            RaiseMapiResult(AttachmentNotFound);
        message.attachments.append(info.absoluteFilePath());
    }
    message.to = ToRecipients;
    message.cc = CcRecipients;
    message.bcc = BccRecipients;
    try {
        DesktopServices::instance().sendMail(message);
    } catch (const AppError &error) {
        throw EMapiError(GeneralFailure, error.message());
    }
}

}  // namespace quillpad
