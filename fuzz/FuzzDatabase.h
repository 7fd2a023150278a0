#pragma once
// What the fuzzer and its seed writer share: a data folder of their own for the run,
// a Prompter that answers every question without a window, and a fresh database.

#include "store/Connection.h"
#include "store/Prompter.h"

#include <QString>
#include <QTemporaryDir>

namespace quillpad::fuzz {

class Answers : public Prompter {
public:
    PromptButton answer = PromptButton::All;
    PromptButton message(const PromptMessage &box) override
    {
        return box.buttons.contains(answer) ? answer : box.buttons.front();
    }
    QString openFileName(const FileRequest &) override { return {}; }
    QString saveFileName(const FileRequest &) override { return {}; }
};

// A data folder in memory where the machine has one (no disk flushes to wait for).
class FuzzFolder {
public:
    FuzzFolder();
    QString file(const QString &name) const { return m_dir.filePath(name); }
    // An empty task database under the name, whatever was there before.
    void openEmpty(Connection &connection, const QString &name) const;

private:
    QTemporaryDir m_dir;
};

}  // namespace quillpad::fuzz
