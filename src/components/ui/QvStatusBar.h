#pragma once
// A status bar with two panels: a small picture, then a text.

#include <QStatusBar>

class QLabel;

namespace quillpad {

class TQvStatusBar : public QStatusBar {
    Q_OBJECT

public:
    explicit TQvStatusBar(QWidget *parent = nullptr);
    QLabel *picture() const { return m_picture; }  // panel 0
    void setPanelText(const QString &text);        // panel 1
    QString panelText() const;

private:
    QLabel *m_picture;
    QLabel *m_text;
};

}  // namespace quillpad
