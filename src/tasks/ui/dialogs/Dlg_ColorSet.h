#pragma once
// "Set Color": a task's text and background colours, each either the default look or a
// colour picked from a list of named colours, with a preview of the two together.
// Default resets both.

#include "tasks/ui/TaskDialogs.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quillpad {

class TColorSetDlg : public QDialog {
    Q_OBJECT

public:
    explicit TColorSetDlg(const ColorChoice &start, QWidget *parent = nullptr);

    ColorChoice answer() const { return m_result; }  // meaningful after OK or Default

    // The stored value of the colour a colour box shows.
    static qint32 ChosenColor(const QComboBox *box);

    QLabel *Image1;
    QCheckBox *cb_text;
    QComboBox *cbox_text;
    QCheckBox *cb_bg;
    QComboBox *cbox_bg;
    QPlainTextEdit *Memo1;
    QPushButton *btn_Default;
    QPushButton *btn_Ok;
    QPushButton *Button2;

public slots:
    void btn_OkClick();
    void btn_DefaultClick();

private:
    QComboBox *MakeColorBox(const char *name);
    void SelectColor(QComboBox *box, qint32 value);
    void UpdateControls();

    ColorChoice m_result;
};

}  // namespace quillpad
