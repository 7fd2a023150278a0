#pragma once
// "Task Reminder": the alarm window of a reminder that fell due. Shows the task's text,
// plays the alarm sound once and waits for Snooze (ring again after the chosen time) or
// Dismiss (switch the reminder off). It comes to the front over other programs, also
// while the main window is hidden. Closed any other way (the window manager's close, for
// one) it keeps the values it started with: the reminder stays set, with the zero
// date-time, and rings again at once.

#include "tasks/ui/TaskDialogs.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quillpad {

class TtaskReminderDlg : public QDialog {
    Q_OBJECT

public:
    TtaskReminderDlg(const QString &text, const QString &soundPath, QWidget *parent = nullptr);

    AlarmAnswer answer() const { return m_answer; }

    // Shows the window modally and gives the user's answer.
    static AlarmAnswer Ring(const QString &text, const QString &soundPath);

    QPlainTextEdit *Memo1;
    QLabel *Image1;
    QPushButton *btn_dismiss;
    QComboBox *comb_Snooze;
    QPushButton *btn_snooze;

public slots:
    void btn_snoozeClick();
    void btn_dismissClick();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_text;
    QString m_soundPath;
    AlarmAnswer m_answer;  // dismissed false, next zero until a button says otherwise
};

}  // namespace quillpad
