#pragma once
// "Ambrel Update": the offer to open the maker's page about updates. It answers No by
// itself after five seconds, whatever the user is doing.

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

namespace quillpad {

class AppSettings;
class WebLinks;

class TupdateDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int TimeoutMs = 5000;

    TupdateDlg(WebLinks &links, AppSettings &settings, QWidget *parent = nullptr);

    QLabel *Image1;
    QLabel *Label1;
    QLabel *Label2;
    QPushButton *btn_Yes;
    QPushButton *Button2;
    QCheckBox *cb_ask;
    QTimer *Timer1;
};

}  // namespace quillpad
