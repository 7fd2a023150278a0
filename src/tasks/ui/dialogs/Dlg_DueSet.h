#pragma once
// "Set Due Date": whether a task has a due date, and which day. Only the day counts;
// the time of day of the date first shown goes along with it. A day that is today or
// earlier is accepted only after the user confirms it.

#include "tasks/ui/TaskDialogs.h"

#include <QDialog>
#include <QTime>

class QCheckBox;
class QDateEdit;
class QLabel;
class QPushButton;

namespace quillpad {

class TDueSetDlg : public QDialog {
    Q_OBJECT

public:
    // Starts from the given choice; the picker is filled when the dialog is shown.
    explicit TDueSetDlg(const DueDateChoice &start, QWidget *parent = nullptr);

    DueDateChoice answer() const { return m_result; }  // meaningful after OK
    TDateTime pickedDateTime() const;

    QLabel *Image1;
    QCheckBox *cb_due;
    QDateEdit *edt_due;
    QPushButton *Btn_Ok;
    QPushButton *Button2;

public slots:
    void Btn_OkClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    DueDateChoice m_start;
    DueDateChoice m_result;
    QTime m_timeOfDay;  // carried along with the picked day
};

}  // namespace quillpad
