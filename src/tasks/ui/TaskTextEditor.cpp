#include "tasks/ui/TaskTextEditor.h"

#include <QKeyEvent>
#include <QTextDocument>

namespace quillpad {

TaskTextEditor::TaskTextEditor(QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("TaskTextEditor"));
    setAccessibleName(QStringLiteral("Task Text"));
    // Tab is typed into the text: moving on would end the edit and carry the keys
    // that follow somewhere else.
    setTabChangesFocus(false);
    setFrameShape(QFrame::Box);
}

QString TaskTextEditor::storedText() const
{
    // The raw text keeps what the plain text would change (no-break spaces, line
    // separators); only the breaks between paragraphs become CR LF.
    QString text = document()->toRawText();
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1String("\r\n"));
    return text;
}

void TaskTextEditor::setStoredText(const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setPlainText(plain);
    moveCursor(QTextCursor::End);
    document()->setModified(false);
}

void TaskTextEditor::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & Qt::ControlModifier)) {
        emit finishRequested();
        return;
    }
    if (enter) {
        insertPlainText(QStringLiteral("\n"));  // a line break, whatever else is held
        return;
    }
    if (event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ControlModifier)) {
        insertPlainText(QStringLiteral("\t"));
        return;
    }
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        return;  // nothing to type, and nowhere to go
    QPlainTextEdit::keyPressEvent(event);
}

}  // namespace quillpad
