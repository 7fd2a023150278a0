#include "store/AppError.h"

#include "store/Prompter.h"

#include <new>

namespace quillpad {

QString StandardErrorText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ReportError(const QString &message)
{
    PromptMessage box;
    box.caption = ApplicationTitle;
    box.text = StandardErrorText(message);
    box.icon = PromptIcon::Error;
    box.buttons = {PromptButton::Ok};
    try {
        Prompter::instance().message(box);
    } catch (...) {
        // A report that cannot be shown must not take the program down with it.
    }
}

QString ExceptionText(const std::exception_ptr &error)
{
    if (!error)
        return QStringLiteral("Unexpected error");
    try {
        std::rethrow_exception(error);
    } catch (const AppError &e) {
        return e.message();
    } catch (const std::bad_alloc &) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unexpected error");
    }
}

void ReportCurrentException()
{
    try {
        throw;
    } catch (const AbortError &) {
        return;
    } catch (...) {
    }
    ReportError(ExceptionText(std::current_exception()));
}

}  // namespace quillpad
