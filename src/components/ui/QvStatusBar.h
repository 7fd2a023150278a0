#pragma once
// A status bar with two panels, a small picture and then a text, and on the right a
// note of work the program does on its own (a sync).

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
    void setNoteText(const QString &text);         // empty: the note is hidden
    QString noteText() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elideNote();

    QLabel *m_picture;
    QLabel *m_text;
    QLabel *m_note;
    QString m_noteText;  // in full; the label shows what fits in half the bar
};

}  // namespace quillpad
