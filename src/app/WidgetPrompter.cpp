#include "app/WidgetPrompter.h"

#include "app/Dlg_About.h"
#include "app/Dlg_Options.h"
#include "app/Dlg_Update.h"
#include "app/settings/AppSettings.h"

#include "tasks/ui/dialogs/Dlg_ColorSet.h"
#include "tasks/ui/dialogs/Dlg_DueSet.h"
#include "tasks/ui/dialogs/Dlg_ReminderSet.h"
#include "interchange/ui/Dlg_ReplaceAsk.h"
#include "tasks/ui/dialogs/Dlg_taskReminder.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QMessageBox>
#include <QPushButton>

#include <map>

namespace quillpad {

namespace {

// Shows one of the program's dialogs modally from the given choice; on OK the dialog's
// answer becomes the choice.
template <typename Dialog, typename Choice>
bool AskModal(Choice &choice)
{
    Dialog dialog(choice, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice = dialog.answer();
    return true;
}

QMessageBox::Icon ToIcon(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::Warning: return QMessageBox::Warning;
    case PromptIcon::Error: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    case PromptIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::ButtonRole ToRole(PromptButton button)
{
    switch (button) {
    case PromptButton::Ok:
    case PromptButton::Yes:
    case PromptButton::All:
    case PromptButton::YesToAll: return QMessageBox::AcceptRole;
    case PromptButton::No:
    case PromptButton::NoToAll: return QMessageBox::NoRole;
    case PromptButton::Cancel:
    case PromptButton::Abort: return QMessageBox::RejectRole;
    default: break;
    }
    return QMessageBox::ActionRole;
}

}  // namespace

PromptButton WidgetPrompter::message(const PromptMessage &box)
{
    if (box.form == PromptForm::ReplaceAsk)
        return TReplaceAskDlg::Ask(box, QApplication::activeWindow());
    QMessageBox dialog(ToIcon(box.icon), box.caption, box.text, QMessageBox::NoButton,
                       QApplication::activeWindow());
    dialog.setTextFormat(Qt::PlainText);
    std::map<QAbstractButton *, PromptButton> answers;
    const PromptButton defaultButton =
        box.defaultButton != PromptButton::None ? box.defaultButton
                                                : (box.buttons.isEmpty() ? PromptButton::None : box.buttons.front());
    const PromptButton closeAnswer = box.closeAnswer();
    for (PromptButton button : box.buttons) {
        QPushButton *push = dialog.addButton(PromptButtonText(button), ToRole(button));
        answers[push] = button;
        if (button == defaultButton)
            dialog.setDefaultButton(push);
        if (button == closeAnswer)
            dialog.setEscapeButton(push);
    }
    dialog.exec();
    const auto found = answers.find(dialog.clickedButton());
    return found != answers.end() ? found->second : closeAnswer;
}

QString WidgetPrompter::openFileName(const FileRequest &request)
{
    const QString chosen = QFileDialog::getOpenFileName(QApplication::activeWindow(), request.caption,
                                                        FileDialogStart(request, m_lastFolder), request.filter);
    if (!chosen.isEmpty())
        m_lastFolder = QFileInfo(chosen).absolutePath();
    return chosen;
}

QString WidgetPrompter::saveFileName(const FileRequest &request)
{
    const QString start = FileDialogStart(request, m_lastFolder);
    QFileDialog dialog(QApplication::activeWindow(), request.caption,
                       request.fileName.isEmpty() ? start : QFileInfo(start).absolutePath(), request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (request.selectedFilter)
        *request.selectedFilter = dialog.selectedNameFilter();
    m_lastFolder = QFileInfo(dialog.selectedFiles().front()).absolutePath();
    return dialog.selectedFiles().front();
}

bool WidgetPrompter::choosePrinter(QPrinter &printer)
{
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

bool WidgetPrompter::askReminder(ReminderChoice &choice)
{
    return AskModal<TReminderSetDlg>(choice);
}

bool WidgetPrompter::askDueDate(DueDateChoice &choice)
{
    return AskModal<TDueSetDlg>(choice);
}

bool WidgetPrompter::askColors(ColorChoice &choice)
{
    return AskModal<TColorSetDlg>(choice);
}

AlarmAnswer WidgetPrompter::ringAlarm(const QString &text, const QString &soundPath)
{
    return TtaskReminderDlg::Ring(text, soundPath);
}

bool WidgetPrompter::askOptions(OptionsChoice &choice)
{
    return AskModal<TOptionsDlg>(choice);
}

void WidgetPrompter::showAbout(WebLinks &links, const QString &version)
{
    TAboutDlg dialog(links, version, QApplication::activeWindow());
    dialog.exec();
}

void WidgetPrompter::offerUpdate(WebLinks &links, AppSettings &settings)
{
    // Beside the list, not over it: the user goes on typing and answers when they like
    // (the offer closes itself after a few seconds).
    auto *dialog = new TupdateDlg(links, settings, QApplication::activeWindow());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(&settings, &QObject::destroyed, dialog, [dialog] { delete dialog; });
    dialog->show();
}

}  // namespace quillpad
