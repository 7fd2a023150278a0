#include "store/Prompter.h"

#include "store/Clock.h"
#include "store/pU_Funcs.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdio>

namespace quillpad {

namespace {
StderrPrompter g_stderrPrompter;
Prompter *g_prompter = &g_stderrPrompter;
}

QString PromptButtonText(PromptButton button)
{
    switch (button) {
    case PromptButton::Ok: return QStringLiteral("OK");
    case PromptButton::Cancel: return QStringLiteral("Cancel");
    case PromptButton::Abort: return QStringLiteral("Abort");
    case PromptButton::Retry: return QStringLiteral("Retry");
    case PromptButton::Ignore: return QStringLiteral("Ignore");
    case PromptButton::Yes: return QStringLiteral("Yes");
    case PromptButton::No: return QStringLiteral("No");
    case PromptButton::All: return QStringLiteral("All");
    case PromptButton::NoToAll: return QStringLiteral("No to All");
    case PromptButton::YesToAll: return QStringLiteral("Yes to All");
    case PromptButton::None: break;
    }
    return {};
}

PromptButton PromptMessage::closeAnswer() const
{
    if (escapeButton != PromptButton::None)
        return escapeButton;
    if (buttons.contains(PromptButton::Cancel))
        return PromptButton::Cancel;
    if (buttons.contains(PromptButton::No))
        return PromptButton::No;
    if (buttons.size() == 1)
        return buttons.front();
    return PromptButton::None;
}

Prompter &Prompter::instance()
{
    return *g_prompter;
}

void Prompter::install(Prompter *prompter)
{
    g_prompter = prompter ? prompter : &g_stderrPrompter;
}

QString StderrPrompter::oneLineReport(const PromptMessage &box)
{
    // A line break of two characters reads as one blank here, not two.
    QString text = box.text;
    return box.caption + QLatin1String(": ") + OneLine(text.replace(QLatin1String("\r\n"), QLatin1String(" ")));
}

PromptButton StderrPrompter::message(const PromptMessage &box)
{
    std::fprintf(stderr, "%s\n", oneLineReport(box).toUtf8().constData());
    std::fflush(stderr);
    return box.closeAnswer();
}

QString StderrPrompter::openFileName(const FileRequest &)
{
    return {};
}

QString StderrPrompter::saveFileName(const FileRequest &)
{
    return {};
}

QString FileDialogStart(const FileRequest &request, const QString &lastFolder)
{
    QString folder = request.directory;
    if (folder.isEmpty())
        folder = lastFolder;
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return request.fileName.isEmpty() ? folder : QDir(folder).filePath(request.fileName);
}

QString DatedFileName(const QString &suffix)
{
    return QStringLiteral("Tasks ") + Clock::now().date().toString(Qt::ISODate) + suffix;
}

}  // namespace quillpad
