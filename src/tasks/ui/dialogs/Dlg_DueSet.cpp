#include "tasks/ui/dialogs/Dlg_DueSet.h"

#include "store/GuardedConnect.h"
#include "store/Clock.h"
#include "store/DateText.h"
#include "components/ui/IconLists.h"
#include "store/pU_Funcs.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quillpad {

TDueSetDlg::TDueSetDlg(const DueDateChoice &start, QWidget *parent) : QDialog(parent), m_start(start)
{
    setObjectName(QStringLiteral("DueSetDlg"));
    setWindowTitle(QStringLiteral("Set Due Date"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(IconList::small().icon(IconRole::Calendar).pixmap(32, 32));
    Image1->setFixedSize(32, 32);

    cb_due = new QCheckBox(QStringLiteral("Enable Due Date"), this);
    cb_due->setObjectName(QStringLiteral("cb_due"));
    edt_due = new QDateEdit(this);
    edt_due->setObjectName(QStringLiteral("edt_due"));
    edt_due->setDisplayFormat(ShortDateFormat());
    edt_due->setCalendarPopup(true);
    edt_due->setAccessibleName(QStringLiteral("Due Date"));

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    Btn_Ok = new QPushButton(QStringLiteral("OK"), this);
    Btn_Ok->setObjectName(QStringLiteral("Btn_Ok"));
    Btn_Ok->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto *top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addWidget(cb_due);
    top->addWidget(edt_due, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Btn_Ok);
    buttons->addWidget(Button2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addStretch();
    layout->addWidget(line);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed border

    ConnectGuarded(edt_due, &QDateEdit::dateChanged, cb_due, [this] { cb_due->setChecked(true); });
    ConnectGuarded(Btn_Ok, &QPushButton::clicked, this, &TDueSetDlg::Btn_OkClick);
    ConnectGuarded(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

TDateTime TDueSetDlg::pickedDateTime() const
{
    return EncodeDateTime(edt_due->date(), m_timeOfDay);
}

void TDueSetDlg::showEvent(QShowEvent *event)
{
    {
        // Filling the picker is not the user changing it.
        const QSignalBlocker blockDate(edt_due);
        cb_due->setChecked(m_start.enabled);
        const QDateTime shown = m_start.enabled ? DateTimeToQt(m_start.date) : Clock::now();
        edt_due->setDate(shown.date());
        m_timeOfDay = shown.time();
    }
    edt_due->setFocus();
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TDueSetDlg::Btn_OkClick()
{
    if (cb_due->isChecked() && edt_due->date() <= Clock::now().date()
        && AskBox(QStringLiteral("Date may be incorrect, are you sure?")) != 1)
        return;  // the user goes on choosing
    m_result.enabled = cb_due->isChecked();
    m_result.date = pickedDateTime();  // kept even when the due date is switched off
    accept();
}

}  // namespace quillpad
