#pragma once
// "Confirm Replace": whether a record of the file replaces the row of the same id. The
// desktop shows it as its own dialog; the texts also travel as one line for prompters
// without windows.

#include "store/DateTime.h"
#include "store/Prompter.h"

#include <QString>

namespace quillpad {

struct ReplaceQuestion {
    QString kind;  // "memo" or "task"
    QString rowContent;
    TDateTime rowEditTime = ZeroDateTime;
    QString fileContent;
    TDateTime fileEditTime = ZeroDateTime;
};

// Label texts in dialog order: the question, the row in the database (the one that would
// be replaced), its time, "with this one?", the record in the file, its time.
PromptMessage ReplacePrompt(const ReplaceQuestion &question);

// Yes, All, No, No to All or Abort; Cancel when the window is closed.
PromptButton AskReplace(const ReplaceQuestion &question);

}  // namespace quillpad
