#include "tasks/ui/dialogs/Dlg_taskReminder.h"

#include "components/DesktopServices.h"
#include "store/Clock.h"
#include "store/GuardedConnect.h"
#include "components/ui/IconLists.h"
#include "tasks/ui/dialogs/SnoozeChoices.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace quillpad {

TtaskReminderDlg::TtaskReminderDlg(const QString &text, const QString &soundPath, QWidget *parent)
    : QDialog(parent), m_text(text), m_soundPath(soundPath)
{
    setObjectName(QStringLiteral("taskReminderDlg"));
    setWindowTitle(QStringLiteral("Task Reminder"));
    // No close box and no maximise box, and above other programs' windows. A title bar
    // that names none of its boxes leaves X window managers free to grant them all, the
    // close box included: the minimise box is the one asked for.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowStaysOnTopHint);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setMinimumSize(340, 110);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(IconList::small().icon(IconRole::AlarmClock).pixmap(48, 48));
    Image1->setFixedSize(48, 48);

    btn_dismiss = new QPushButton(QStringLiteral("Dismiss"), this);
    btn_dismiss->setObjectName(QStringLiteral("btn_dismiss"));
    btn_dismiss->setToolTip(QStringLiteral("Dismiss reminder"));

    auto *snoozeLabel = new QLabel(QStringLiteral("Click \"Snooze\" to be alarmed again in:"), this);
    comb_Snooze = new QComboBox(this);
    comb_Snooze->setObjectName(QStringLiteral("comb_Snooze"));
    comb_Snooze->addItems(SnoozeEntries());
    comb_Snooze->setCurrentIndex(0);
    btn_snooze = new QPushButton(QStringLiteral("Snooze"), this);
    btn_snooze->setObjectName(QStringLiteral("btn_snooze"));

    auto *layout = new QGridLayout(this);
    layout->addWidget(Memo1, 0, 0, 1, 2);
    layout->addWidget(Image1, 0, 2, Qt::AlignTop | Qt::AlignHCenter);
    layout->addWidget(snoozeLabel, 1, 0, 1, 2);
    layout->addWidget(btn_dismiss, 1, 2);
    layout->addWidget(comb_Snooze, 2, 0);
    layout->addWidget(btn_snooze, 2, 2);
    layout->setColumnStretch(0, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed border

    ConnectGuarded(btn_snooze, &QPushButton::clicked, this, &TtaskReminderDlg::btn_snoozeClick);
    ConnectGuarded(btn_dismiss, &QPushButton::clicked, this, &TtaskReminderDlg::btn_dismissClick);
}

void TtaskReminderDlg::showEvent(QShowEvent *event)
{
    QString shown = m_text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Memo1->setPlainText(shown);
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    // The program may be hidden in the tray and another program in front.
    raise();
    activateWindow();
    QApplication::alert(this);
    DesktopServices::instance().playSound(m_soundPath);
}

void TtaskReminderDlg::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();  // a stray Esc must not make a reminder go away unanswered
        return;
    }
    QDialog::keyPressEvent(event);
}

void TtaskReminderDlg::btn_snoozeClick()
{
    m_answer.dismissed = false;
    m_answer.next = SnoozeUntil(Clock::nowDateTime(), comb_Snooze->currentIndex());
    accept();
}

void TtaskReminderDlg::btn_dismissClick()
{
    m_answer.dismissed = true;  // the next alarm time stays zero
    accept();
}

AlarmAnswer TtaskReminderDlg::Ring(const QString &text, const QString &soundPath)
{
    // No parent: the main window may be hidden, and the alarm must show regardless.
    TtaskReminderDlg dialog(text, soundPath);
    dialog.exec();
    return dialog.answer();
}

}  // namespace quillpad
