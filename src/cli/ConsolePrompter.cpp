#include "cli/ConsolePrompter.h"

#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace quillpad {

namespace {

// The letter that picks a button, as the underlined letter of the dialog's buttons.
QChar Key(PromptButton button)
{
    switch (button) {
    case PromptButton::Abort: return QLatin1Char('b');
    case PromptButton::NoToAll: return QLatin1Char('o');
    default: return PromptButtonText(button).front().toLower();
    }
}

}  // namespace

PromptButton ConsolePrompter::message(const PromptMessage &box)
{
    std::fprintf(stderr, "%s\n", StderrPrompter::oneLineReport(box).toUtf8().constData());
    std::fflush(stderr);
    if (box.buttons.size() < 2)
        return box.closeAnswer();
    if (m_answer != PromptButton::None && box.buttons.contains(m_answer))
        return m_answer;
    if (isatty(STDIN_FILENO))
        return askTerminal(box);
    return box.buttons.contains(PromptButton::No) ? PromptButton::No : box.closeAnswer();
}

PromptButton ConsolePrompter::askTerminal(const PromptMessage &box)
{
    QStringList names;
    QString keys;
    for (PromptButton button : box.buttons) {
        names.append(PromptButtonText(button));
        keys.append(Key(button));
    }
    const QByteArray prompt = QStringLiteral("%1? [%2] ").arg(names.join(QStringLiteral(", ")), keys).toUtf8();
    QTextStream in(stdin);
    for (;;) {
        std::fputs(prompt.constData(), stderr);
        std::fflush(stderr);
        QString line;
        if (!in.readLineInto(&line))
            return box.closeAnswer();  // end of input: as if the window were closed
        line = line.trimmed();
        for (PromptButton button : box.buttons) {
            if (line.compare(PromptButtonText(button), Qt::CaseInsensitive) == 0 ||
                (line.size() == 1 && line.front().toLower() == Key(button)))
                return button;
        }
    }
}

QString ConsolePrompter::openFileName(const FileRequest &)
{
    return {};
}

QString ConsolePrompter::saveFileName(const FileRequest &)
{
    return {};
}

}  // namespace quillpad
