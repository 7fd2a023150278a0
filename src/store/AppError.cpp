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

void ReportCurrentException()
{
    try {
        throw;
    } catch (const AppError &error) {
        ReportError(error.message());
    } catch (const std::bad_alloc &) {
        ReportError(QStringLiteral("Out of memory"));
    } catch (const std::exception &error) {
        ReportError(QString::fromUtf8(error.what()));
    } catch (...) {
        ReportError(QStringLiteral("Unexpected error"));
    }
}

}  // namespace quillpad
