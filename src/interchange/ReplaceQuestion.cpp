#include "interchange/ReplaceQuestion.h"

#include "store/DateText.h"
#include "store/pU_Funcs.h"

namespace quillpad {

PromptMessage ReplacePrompt(const ReplaceQuestion &question)
{
    PromptMessage box;
    box.caption = QStringLiteral("Confirm Replace");
    box.form = PromptForm::ReplaceAsk;
    box.buttons = {PromptButton::Yes, PromptButton::All, PromptButton::No, PromptButton::NoToAll, PromptButton::Abort};
    box.defaultButton = PromptButton::Yes;
    box.escapeButton = PromptButton::Cancel;
    const QString modified = QStringLiteral("modified: ");
    box.labels = {
        QStringLiteral("Would you like to replace the existing ") + question.kind,
        OneLine(question.rowContent),
        modified + DateTimeText(question.rowEditTime),
        QStringLiteral("with this one?"),
        OneLine(question.fileContent),
        modified + DateTimeText(question.fileEditTime),
    };
    box.text = box.labels.join(QLatin1Char('\n'));
    return box;
}

PromptButton AskReplace(const ReplaceQuestion &question)
{
    return Prompter::instance().message(ReplacePrompt(question));
}

}  // namespace quillpad
