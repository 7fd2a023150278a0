#pragma once
// The program's error type and its one standard error report.

#include <QString>

#include <exception>
#include <utility>

namespace quillpad {

inline const QString ApplicationTitle = QStringLiteral("Ambrel Quillpad");

class AppError : public std::exception {
public:
    explicit AppError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// An error that ends an operation the user chose to end: the standard report stays silent.
class AbortError : public AppError {
public:
    using AppError::AppError;
};

// The error's text as the report shows it: a full stop is appended when the last
// character sorts after "." (so "Failed!" stays, "Failed" becomes "Failed.").
QString StandardErrorText(const QString &message);

// Shows the standard error report (caption: the application title, error icon, OK).
void ReportError(const QString &message);

// The text of any exception as the user is told it: an AppError's message, "Out of
// memory", another exception's what(), or "Unexpected error".
QString ExceptionText(const std::exception_ptr &error);

// Reports whatever the current exception is, except an AbortError; call only inside a
// catch block.
void ReportCurrentException();

// Every action handler runs inside this guard: an error ends the handler, is reported
// once and the program goes on. Returns false when the handler ended with an error.
template <typename Handler>
bool RunGuarded(Handler &&handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (...) {
        ReportCurrentException();
        return false;
    }
}

}  // namespace quillpad
