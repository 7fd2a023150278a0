#pragma once
// "Set Reminder": whether a task has a reminder, and its date and time. Without one the
// dialog proposes the same time tomorrow. A time that has passed is accepted; the
// warning only says so.

#include "tasks/ui/TaskDialogs.h"

#include <QDialog>

class QCheckBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTimeEdit;

namespace quillpad {

class TReminderSetDlg : public QDialog {
    Q_OBJECT

public:
    // Starts from the given choice; the pickers are filled when the dialog is shown.
    explicit TReminderSetDlg(const ReminderChoice &start, QWidget *parent = nullptr);

    // The flag and the combined date-time; meaningful after OK.
    ReminderChoice answer() const { return m_result; }
    // The time of day of the time picker on the date of the date picker.
    TDateTime combinedDateTime() const;

    QCheckBox *cb_reminder;
    QDateEdit *edt_date;
    QTimeEdit *edt_time;
    QLabel *Image1;
    QLabel *lbl_warning;
    QPushButton *btn_ok;
    QPushButton *Button2;

public slots:
    void btn_okClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void pickerChanged();
    void UpdateWarning();

    ReminderChoice m_start;
    ReminderChoice m_result;
};

}  // namespace quillpad
