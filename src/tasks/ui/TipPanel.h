#pragma once
// The tip panel under the task tree: an icon and a clickable, word-wrapped text on a
// light yellow ground, as high as the text needs.

#include <QFrame>

class QLabel;

namespace quillpad {

class TipPanel : public QFrame {
    Q_OBJECT

public:
    explicit TipPanel(QWidget *parent = nullptr);
    void showTip(const QString &text, const QIcon &icon);
    void hideTip();
    QString text() const;

signals:
    void clicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_image;
    QLabel *m_text;
};

}  // namespace quillpad
