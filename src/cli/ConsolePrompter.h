#pragma once
// The command line's Prompter: every message the program would show in a box becomes
// one line "<caption>: <text>" on stderr. A question takes the answer given on the
// command line; without one it is asked on the terminal, and with no terminal it is
// answered No.

#include "store/Prompter.h"

namespace quillpad {

class ConsolePrompter final : public Prompter {
public:
    // The answer to every question that offers it; None to ask.
    void setAnswer(PromptButton answer) { m_answer = answer; }

    PromptButton message(const PromptMessage &box) override;
    // Files are named on the command line; nothing is asked for.
    QString openFileName(const FileRequest &request) override;
    QString saveFileName(const FileRequest &request) override;

private:
    PromptButton askTerminal(const PromptMessage &box);
    PromptButton m_answer = PromptButton::None;
};

}  // namespace quillpad
