#pragma once
// "Confirm Replace": whether the record of the file replaces the row of the database
// with the same id. Yes, All (yes to all), No, Abort; closing the window answers Cancel.
// Neither Enter nor Esc has a button of its own: Enter presses the focused button, Esc
// does nothing.

#include "store/Prompter.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillpad {

class TReplaceAskDlg : public QDialog {
    Q_OBJECT

public:
    explicit TReplaceAskDlg(QWidget *parent = nullptr);

    // The six label texts, top to bottom (PromptMessage::labels of the question).
    void Fill(const QStringList &labels);
    PromptButton answer() const { return m_answer; }

    // Shows the question modally and gives the answer.
    static PromptButton Ask(const PromptMessage &box, QWidget *parent);

    QLabel *Label_Caption;
    QLabel *Label_oldTitle;
    QLabel *Label_oldTime;
    QLabel *Label2;
    QLabel *Label_newTitle;
    QLabel *Label_newTime;
    QPushButton *Button1;  // &Yes
    QPushButton *Button4;  // &All
    QPushButton *Button2;  // &No
    QPushButton *noToAllButton;  // N&o to All
    QPushButton *Button3;  // A&bort

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QPushButton *AddButton(const QString &text, PromptButton result);
    PromptButton m_answer = PromptButton::Cancel;
};

}  // namespace quillpad
