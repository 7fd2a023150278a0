#include "app/QuitOnSignal.h"

#include "app/Fm_Main.h"
#include "components/QuitSignals.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>

namespace quillpad {

namespace {

// A dialog's code runs on when its loop ends: the exit waits for that.
constexpr int DialogRounds = 20;

void EndAfterDialogs(QPointer<TmainFm> window, int rounds)
{
    if (!window)
        return;
    bool open = false;
    while (QWidget *modal = QApplication::activeModalWidget()) {
        auto *dialog = qobject_cast<QDialog *>(modal);
        if (!dialog || !dialog->isVisible())
            break;
        dialog->done(QDialog::Rejected);
        open = true;
    }
    if (open && rounds > 0) {
        QTimer::singleShot(0, window, [window, rounds] { EndAfterDialogs(window, rounds - 1); });
        return;
    }
    window->Action_ExitExecute();
}

}  // namespace

void QuitOnSignal(TmainFm &window)
{
    QPointer<TmainFm> guarded(&window);
    new QuitSignals([guarded] { EndAfterDialogs(guarded, DialogRounds); }, &window);
}

}  // namespace quillpad
