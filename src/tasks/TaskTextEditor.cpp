#include "TaskTextEditor.h"

#include <QKeyEvent>

TaskTextEditor::TaskTextEditor(QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("TaskTextEditor"));
    setTabChangesFocus(true);
    setFrameShape(QFrame::Box);
}

QString TaskTextEditor::storedText() const
{
    QString text = toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
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
    QPlainTextEdit::keyPressEvent(event);
}
