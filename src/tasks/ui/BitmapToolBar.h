#pragma once
// A toolbar painted with a picture stretched over the whole bar, under its buttons. The
// picture is laid onto the palette's Base, so the bar follows a dark scheme too.

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

    // The picture as painted under the current palette.
    const QPixmap &laidBackground();

signals:
    void resized();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPixmap m_background;
    QPixmap m_laid;
    QRgb m_laidBase = 0, m_laidText = 0;
};

}  // namespace quillpad
