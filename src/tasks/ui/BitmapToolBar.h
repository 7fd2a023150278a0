#pragma once
// A toolbar painted with a picture stretched over the whole bar, under its buttons.

#include <QPixmap>
#include <QToolBar>

namespace quillpad {

class BitmapToolBar : public QToolBar {
    Q_OBJECT

public:
    BitmapToolBar(const QPixmap &background, QWidget *parent = nullptr)
        : QToolBar(parent), m_background(background)
    {
    }

signals:
    void resized();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPixmap m_background;
};

}  // namespace quillpad
