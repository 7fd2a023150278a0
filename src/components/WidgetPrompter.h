#pragma once
// The desktop's Prompter: real message boxes and file dialogs.

#include "Prompter.h"

class WidgetPrompter final : public Prompter {
public:
    PromptButton message(const PromptMessage &box) override;
    QString openFileName(const FileRequest &request) override;
    QString saveFileName(const FileRequest &request) override;
};
