#include "tasks/ui/dialogs/Dlg_ReminderSet.h"

#include "store/GuardedConnect.h"
#include "store/Clock.h"
#include "store/DateText.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace quillpad {

TReminderSetDlg::TReminderSetDlg(const ReminderChoice &start, QWidget *parent) : QDialog(parent), m_start(start)
{
    setObjectName(QStringLiteral("ReminderSetDlg"));
    setWindowTitle(QStringLiteral("Set Reminder"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    cb_reminder = new QCheckBox(QStringLiteral("Enable Reminder"), this);
    cb_reminder->setObjectName(QStringLiteral("cb_reminder"));

    edt_date = new QDateEdit(this);
    edt_date->setObjectName(QStringLiteral("edt_date"));
    edt_date->setDisplayFormat(ShortDateFormat());
    edt_date->setCalendarPopup(true);
    edt_time = new QTimeEdit(this);
    edt_time->setObjectName(QStringLiteral("edt_time"));
    edt_time->setDisplayFormat(LongTimeFormat());

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16, 16));
    lbl_warning = new QLabel(QStringLiteral("Date or time may be incorrect!"), this);
    lbl_warning->setObjectName(QStringLiteral("lbl_warning"));
    QFont bold = lbl_warning->font();
    bold.setBold(true);
    lbl_warning->setFont(bold);
    QPalette palette = lbl_warning->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    lbl_warning->setPalette(palette);
    // The warning's place is kept while it is hidden: the dialog does not change size.
    for (QWidget *part : {static_cast<QWidget *>(Image1), static_cast<QWidget *>(lbl_warning)}) {
        QSizePolicy policy = part->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        part->setSizePolicy(policy);
        part->hide();
    }

    btn_ok = new QPushButton(QStringLiteral("&OK"), this);
    btn_ok->setObjectName(QStringLiteral("btn_ok"));
    btn_ok->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("&Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto *pickers = new QGridLayout;
    auto *dateLabel = new QLabel(QStringLiteral("Date:"), this);
    dateLabel->setBuddy(edt_date);
    edt_date->setAccessibleName(QStringLiteral("Reminder Date"));
    auto *timeLabel = new QLabel(QStringLiteral("Time:"), this);
    timeLabel->setBuddy(edt_time);
    edt_time->setAccessibleName(QStringLiteral("Reminder Time"));
    pickers->addWidget(dateLabel, 0, 0);
    pickers->addWidget(edt_date, 0, 1);
    pickers->addWidget(timeLabel, 1, 0);
    pickers->addWidget(edt_time, 1, 1);
    pickers->setColumnStretch(1, 1);

    auto *warning = new QHBoxLayout;
    warning->addWidget(Image1);
    warning->addWidget(lbl_warning, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_ok);
    buttons->addWidget(Button2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(cb_reminder);
    layout->addLayout(pickers);
    layout->addLayout(warning);
    layout->addStretch();
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed border

    ConnectGuarded(edt_date, &QDateEdit::dateChanged, this, &TReminderSetDlg::pickerChanged);
    ConnectGuarded(edt_time, &QTimeEdit::timeChanged, this, &TReminderSetDlg::pickerChanged);
    ConnectGuarded(cb_reminder, &QCheckBox::toggled, this, &TReminderSetDlg::UpdateWarning);
    ConnectGuarded(btn_ok, &QPushButton::clicked, this, &TReminderSetDlg::btn_okClick);
    ConnectGuarded(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

TDateTime TReminderSetDlg::combinedDateTime() const
{
    return EncodeDateTime(edt_date->date(), edt_time->time());
}

void TReminderSetDlg::showEvent(QShowEvent *event)
{
    {
        // Filling the pickers is not the user changing them.
        const QSignalBlocker blockDate(edt_date);
        const QSignalBlocker blockTime(edt_time);
        const QSignalBlocker blockCheck(cb_reminder);
        cb_reminder->setChecked(m_start.enabled);
        if (m_start.enabled) {
            const QDateTime when = DateTimeToQt(m_start.when);
            edt_date->setDate(when.date());
            edt_time->setTime(when.time());
        } else {
            const QDateTime now = Clock::now();
            edt_date->setDate(now.addDays(1).date());
            edt_time->setTime(now.time());
        }
    }
    cb_reminder->setFocus();
    UpdateWarning();
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TReminderSetDlg::pickerChanged()
{
    if (cb_reminder->isChecked())
        UpdateWarning();
    else
        cb_reminder->setChecked(true);  // runs the warning rule through toggled
}

void TReminderSetDlg::UpdateWarning()
{
    const bool warn =
        cb_reminder->isChecked() && DateTimeToMs(combinedDateTime()) <= DateTimeToMs(Clock::nowDateTime());
    Image1->setVisible(warn);
    lbl_warning->setVisible(warn);
}

void TReminderSetDlg::btn_okClick()
{
    m_result.enabled = cb_reminder->isChecked();
    m_result.when = combinedDateTime();  // kept even when the reminder is switched off
    accept();
}

}  // namespace quillpad
