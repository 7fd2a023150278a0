#pragma once
// Every modal question, message and file choice goes through the Prompter, so that
// the desktop shows real dialogs, the command-line companion writes to stderr and
// tests answer from a script. The task dialogs have their own seam (tasks/ui).

#include <QList>
#include <QString>
#include <QStringList>

class QPrinter;

namespace quillpad {

enum class PromptIcon { None, Information, Warning, Error, Question };

// Which window asks: a plain message box, or one of the program's own dialogs that lays
// out the texts of PromptMessage::labels itself. The text stays the one-line version
// that prompters without windows show.
enum class PromptForm { Box, ReplaceAsk };

// Values follow the classic modal results, so a box's answer can be compared with
// the numbers callers expect (OK = 1, Cancel = 2, ...).
enum class PromptButton {
    None = 0,
    Ok = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7,
    All = 8,
    NoToAll = 9,
    YesToAll = 10,
};

QString PromptButtonText(PromptButton button);  // "OK", "Cancel", "Yes", ...

struct PromptMessage {
    QString caption;
    QString text;
    PromptIcon icon = PromptIcon::None;
    QList<PromptButton> buttons{PromptButton::Ok};
    PromptButton defaultButton = PromptButton::None;  // None: the first button
    // What closing the box without a button (Esc, the close button) answers.
    // None: Cancel when offered, otherwise No, otherwise the only button.
    PromptButton escapeButton = PromptButton::None;
    PromptForm form = PromptForm::Box;
    QStringList labels;  // the texts of a dialog's labels, top to bottom

    PromptButton closeAnswer() const;
};

struct FileRequest {
    QString caption;
    QString directory;
    QString fileName;       // proposed name
    QString filter;         // e.g. "Quillpad files (*.qvx);;All files (*)"
    QString defaultSuffix;  // appended to a name typed without one
    // When set, receives the filter the user chose (one of `filter`'s, as written there).
    QString *selectedFilter = nullptr;
};

// Where a file dialog opens: the request's folder, else the folder last chosen in one,
// else the user's documents folder (the home folder when there is none); with the
// proposed name in it when there is one.
QString FileDialogStart(const FileRequest &request, const QString &lastFolder);
// A proposed file name with today's date: "Tasks 2026-12-11" + suffix.
QString DatedFileName(const QString &suffix);

class Prompter {
public:
    virtual ~Prompter() = default;

    virtual PromptButton message(const PromptMessage &box) = 0;
    // An empty result means the user cancelled.
    virtual QString openFileName(const FileRequest &request) = 0;
    virtual QString saveFileName(const FileRequest &request) = 0;
    // The print dialog: true when the user confirmed it, with the printer set up.
    // Prompters without windows offer no printer.
    virtual bool choosePrinter(QPrinter &) { return false; }

    static Prompter &instance();
    static void install(Prompter *prompter);  // nullptr restores the stderr prompter
};

// Writes each message as one line "<caption>: <text>" to stderr and answers as if the
// box were closed; offers no files. The fallback when nothing else is installed.
class StderrPrompter : public Prompter {
public:
    PromptButton message(const PromptMessage &box) override;
    QString openFileName(const FileRequest &request) override;
    QString saveFileName(const FileRequest &request) override;

    static QString oneLineReport(const PromptMessage &box);
};

}  // namespace quillpad
