#pragma once
// "Options": start at login, run minimised, add a new task whenever the window opens.
// The dialog only shows and collects the choices; storing them is the caller's.

#include "app/ShellDialogs.h"

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace quillpad {

class TOptionsDlg : public QDialog {
    Q_OBJECT

public:
    explicit TOptionsDlg(const OptionsChoice &start, QWidget *parent = nullptr);

    OptionsChoice answer() const;

    QCheckBox *cb_AutoStart;
    QCheckBox *cb_AutoMinimized;
    QCheckBox *cb_AddOpen;
    QPushButton *Btn_Ok;
    QPushButton *Button2;
};

}  // namespace quillpad
