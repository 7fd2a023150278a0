#pragma once
// The in-place editor of a task's text: several lines, Enter makes a new line, Tab
// types a tab, Ctrl+Enter finishes. Esc and leaving the editor are the item view's own
// business.

#include <QPlainTextEdit>

namespace quillpad {

class TaskTextEditor : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TaskTextEditor(QWidget *parent = nullptr);

    // The text as stored: line breaks as CR LF.
    QString storedText() const;
    void setStoredText(const QString &text);
    // Any typing counts, even when the text ends as it began.
    bool typedIn() const { return document()->isModified(); }

signals:
    void finishRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

}  // namespace quillpad
