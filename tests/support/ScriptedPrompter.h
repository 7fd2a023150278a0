#pragma once
// A Prompter for tests: records every message and file request and answers from a
// script. Unscripted messages answer as if the box were closed; unscripted file
// requests answer "cancelled".

#include "Prompter.h"

#include <QList>
#include <QQueue>

class ScriptedPrompter final : public Prompter {
public:
    ScriptedPrompter() { Prompter::install(this); }
    ~ScriptedPrompter() override { Prompter::install(nullptr); }

    PromptButton message(const PromptMessage &box) override
    {
        messages.append(box);
        return answers.isEmpty() ? box.closeAnswer() : answers.dequeue();
    }
    QString openFileName(const FileRequest &request) override
    {
        fileRequests.append(request);
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
    QString saveFileName(const FileRequest &request) override { return openFileName(request); }

    void setNextAnswer(PromptButton answer) { answers.enqueue(answer); }
    void setNextFileName(const QString &name) { fileNames.enqueue(name); }

    // "<caption>: <text>" of every message so far, for compact assertions.
    QStringList lines() const
    {
        QStringList result;
        for (const PromptMessage &box : messages)
            result.append(box.caption + QStringLiteral(": ") + box.text);
        return result;
    }

    QList<PromptMessage> messages;
    QList<FileRequest> fileRequests;
    QQueue<PromptButton> answers;
    QQueue<QString> fileNames;
};
